#include "bench/animationbench.h"

#include "bench/benchsupport.h"

#include <QElapsedTimer>
#include <QList>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

struct Kind {
    const char *label;
    bool program;
    QByteArray state; // the program's --viewer argument, or the bare window's
    bool covered = false;
};

struct Figures {
    QList<double> cpuPercent;
    QList<double> wakeups;
};

// One process of a kind, once ready and settled: its CPU share and wake-ups
// a second over the time, or over one whole round of an animation that the
// child reports. False when it never got ready.
bool measure(const QByteArray &exe, const Kind &kind, const QByteArray &bare, int seconds, Figures &into)
{
    bench::LongChild child(exe, {kind.program ? QByteArray("--viewer") : QByteArray("--stay"), kind.state});
    QByteArray round;
    if (!child.waitReady(20000, &round))
        return false;
    const double roundMs = round.toDouble();
    const long waitUs = long(1000 * (roundMs > 0 ? roundMs : seconds * 1000.0));
    std::unique_ptr<bench::LongChild> cover;
    if (kind.covered) {
        cover = std::make_unique<bench::LongChild>(bare, QList<QByteArray> {"--cover"});
        if (!cover->waitReady(10000))
            return false;
    }
    usleep(1000 * 1000); // the window manager's and the program's first moments
    const bench::LongChild::Counts before = child.counts();
    QElapsedTimer t;
    t.start();
    usleep(waitUs);
    const bench::LongChild::Counts after = child.counts();
    const double ms = t.nsecsElapsed() / 1e6;
    into.cpuPercent << (after.cpuMs - before.cpuMs) / ms * 100;
    into.wakeups << (after.switches - before.switches) / (ms / 1000);
    return true;
}

} // namespace

void animationBench(const QByteArray &program, const QByteArray &bare, int runs, int seconds)
{
    const QList<Kind> kinds = {
        {"bare Qt Widgets window, at rest", false, "view"},
        {"Lorvanta, viewer closed", true, "closed"},
        {"viewer in view, design size", true, "view"},
        {"viewer in view, maximised", true, "maximised"},
        {"viewer minimised", true, "minimised"},
        {"viewer covered by another window", true, "view", true},
    };
    std::printf("Stroke-order animation of 天 (whole process, one round of it or %d s each, medians of %d "
                "alternating runs):\n",
                seconds, runs);
    std::fflush(stdout);
    QList<Figures> figures(kinds.size());
    for (int run = 0; run < runs; ++run)
        for (qsizetype k = 0; k < kinds.size(); ++k)
            if (!measure(kinds[k].program ? program : bare, kinds[k], bare, seconds, figures[k]))
                std::printf("  (%s: not ready in time)\n", kinds[k].label);
    for (qsizetype k = 0; k < kinds.size(); ++k) {
        if (figures[k].wakeups.isEmpty())
            continue;
        std::printf("  %-34s: CPU %5.2f %% of a core, %6.1f wake-ups a second\n", kinds[k].label,
                    bench::median(figures[k].cpuPercent), bench::median(figures[k].wakeups));
    }
    std::fflush(stdout);
}
