// Writing practice: the time to judge one stroke, how long the writing
// square takes to show the ink of one pointer move and to take a finished
// stroke, and how often the check takes what pupils write and refuses what is
// wrong. Prints, asserts nothing.
//
//   lorvanta-bench-writing                    every figure
//   lorvanta-bench-writing --rates [--before PROGRAM] [--no-hanzi-writer]
//                                             the table of rates only (PROGRAM:
//                                             an earlier build's, run with --judge)
//   lorvanta-bench-writing --judge FILE       judges a file of attempts (bench/writingjudge.h)
#include "bench/writingjudge.h"
#include "bench/writingrates.h"
#include "core/strokedata.h"
#include "resources/presets.h"
#include "rules/strokecheck.h"
#include "tests/support/testsupport.h"
#include "writing/frmwrite.h"
#include "writing/writecanvas.h"
#include "writing/writingsession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPolygonF>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

// CPU time of this thread in ms: the machine may be busy with other work,
// which wall time would count.
double cpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double percentile(QList<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[std::min<qsizetype>(v.size() - 1, qsizetype(p * v.size()))];
}

// The median as a pointer would give it: many close points, a little off.
QList<QPointF> pointerLine(const QList<QPointF> &median, int points)
{
    QList<QPointF> out = strokecheck::resample(median, points);
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] += QPointF((i % 3) - 1, ((i / 2) % 3) - 1) * 3 + QPointF(12, -8);
    return out;
}

void judgeBench()
{
    const QStringList chars = resources::firstGradeCharacters().split(u' ', Qt::SkipEmptyParts);
    QList<double> us;
    double worst = 0;
    QString worstChar;
    for (const QString &c : chars) {
        const auto glyph = StrokeData::bundled().find(*StrokeData::singleCodePoint(c));
        if (!glyph)
            continue;
        QList<strokecheck::StrokeShape> shapes;
        for (qsizetype i = 0; i < glyph->medians.size(); ++i)
            shapes.append({glyph->medians[i], glyph->outlines[i].toFillPolygon().toList()});
        QList<QList<QPointF>> taken;
        for (qsizetype i = 0; i < shapes.size(); ++i) {
            // 200 points: a slow stroke sampled finely, the costly case.
            const QList<QPointF> drawn = pointerLine(shapes[i].median, 200);
            constexpr int kRuns = 20;
            const double start = cpuMs();
            for (int r = 0; r < kRuns; ++r)
                strokecheck::judgeStroke(shapes, int(i), taken, drawn, strokecheck::Strictness::Normal);
            taken.append(drawn);
            const double one = (cpuMs() - start) * 1e3 / kRuns;
            us.append(one);
            if (one > worst) {
                worst = one;
                worstChar = QStringLiteral("%1 stroke %2 of %3").arg(c).arg(i + 1).arg(shapes.size());
            }
        }
    }
    std::printf("Judging one stroke (CPU time; 200 drawn points, normal strictness, the strokes before it "
                "taken, %lld strokes of the first-grade list):\n",
                static_cast<long long>(us.size()));
    std::printf("  median %.1f us, 95th percentile %.1f us, slowest %.1f us (%s)\n", percentile(us, 0.5),
                percentile(us, 0.95), worst, qPrintable(worstChar));
}

void inkBench()
{
    frmWrite w(nullptr);
    w.setCharacter(QStringLiteral("我"));
    w.show();
    QCoreApplication::processEvents();
    auto *canvas = w.findChild<WriteCanvas *>(QStringLiteral("canvas"));
    const QList<QPointF> median = StrokeData::bundled().find(U'我')->medians[0];
    QList<double> moveMs, moveCpu;
    QList<double> releaseMs, releaseCpu;
    for (int round = 0; round < 7; ++round) {
        w.session()->restart();
        QCoreApplication::processEvents();
        const QList<QPointF> line = pointerLine(median, 120);
        auto send = [&](QEvent::Type type, const QPointF &grid, Qt::MouseButtons buttons) {
            const QPointF at = canvas->toWidget(grid);
            QMouseEvent e(type, at, canvas->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(canvas, &e);
        };
        send(QEvent::MouseButtonPress, line[0], Qt::LeftButton);
        QCoreApplication::processEvents();
        for (qsizetype i = 1; i < line.size(); ++i) {
            QElapsedTimer t;
            t.start();
            const double cpu = cpuMs();
            send(QEvent::MouseMove, line[i], Qt::LeftButton);
            // The repaint the move asked for, done now.
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            moveMs.append(t.nsecsElapsed() / 1e6);
            moveCpu.append(cpuMs() - cpu);
        }
        QElapsedTimer t;
        t.start();
        const double cpu = cpuMs();
        send(QEvent::MouseButtonRelease, line.last(), Qt::NoButton);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        releaseMs.append(t.nsecsElapsed() / 1e6);
        releaseCpu.append(cpuMs() - cpu);
    }
    std::printf("Writing square (%dx%d, platform %s):\n", canvas->width(), canvas->height(),
                qPrintable(QGuiApplication::platformName()));
    std::printf("  one pointer move, ink painted (%lld moves): wall median %.3f ms, 99th percentile %.3f ms; "
                "CPU median %.3f ms, 99th percentile %.3f ms\n",
                static_cast<long long>(moveMs.size()), percentile(moveMs, 0.5), percentile(moveMs, 0.99),
                percentile(moveCpu, 0.5), percentile(moveCpu, 0.99));
    std::printf(
        "  end of a stroke, judged and repainted: wall median %.3f ms; CPU median %.3f ms, slowest %.3f ms\n",
        percentile(releaseMs, 0.5), percentile(releaseCpu, 0.5), percentile(releaseCpu, 1.0));
}

} // namespace

int main(int argc, char **argv)
{
    const QStringList args = [&] {
        QStringList l;
        for (int i = 1; i < argc; ++i)
            l.append(QString::fromLocal8Bit(argv[i]));
        return l;
    }();
    testsupport::prepareEnvironment();
    if (args.value(0) == QLatin1String("--judge")) {
        if (args.size() != 2) {
            std::fprintf(stderr, "usage: lorvanta-bench-writing --judge FILE\n");
            return 2;
        }
        QCoreApplication app(argc, argv);
        return writingjudge::run(args[1]);
    }
    const qsizetype before = args.indexOf(QLatin1String("--before"));
    QApplication app(argc, argv);
    if (!args.contains(QLatin1String("--rates"))) {
        judgeBench();
        inkBench();
    }
    writingrates::Options options;
    options.before = before >= 0 ? args.value(before + 1) : QString();
    options.hanziWriter = !args.contains(QLatin1String("--no-hanzi-writer"));
    writingrates::run(options);
    return 0;
}
