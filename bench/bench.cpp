// Lorvanta's benchmark: prints figures, asserts nothing.
//
//   lorvanta-bench             all figures below
//   lorvanta-bench --startup   the start-up figure only
//
// The start-up figure runs two separate executables, alternately:
// lorvanta-bench-startup (the program's own start-up path) and
// lorvanta-bench-bare (Qt Widgets only, one Kai glyph), each painting once and
// quitting, and compares their CPU time and peak memory.
#include "app/startup.h"
#include "core/modpub.h"
#include "core/modules.h"
#include "practice/frmmain.h"
#include "resources/texts.h"
#include "rules/readaloud.h"
#include "speech/localspeech.h"
#include "speech/speechengine.h"
#include "tests/support/localserver.h"
#include "viewer/frmplay.h"
#include "widgets/messagebox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long peakRssKb()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

QString bankOf(int items)
{
    // Characters from the first-grade range, then numbered pinyin to make them distinct.
    QStringList l;
    l.reserve(items);
    for (int i = 0; i < items; ++i)
        l << (i % 2 ? QString(QChar(0x4E00 + (i % 20000))) : QStringLiteral("bā%1").arg(i));
    return l.join(QLatin1Char(' '));
}

struct ChildRun {
    double wallMs = 0;
    double cpuMs = 0;
    long peakKb = 0;
};

// One whole process, from spawn to exit: wall time, CPU time (user + system)
// and peak resident memory, as the kernel counts them.
ChildRun runChild(const QByteArray &exe)
{
    ChildRun run;
    char *argv[] = {const_cast<char *>(exe.constData()), nullptr};
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, exe.constData(), nullptr, nullptr, argv, environ) != 0)
        return run;
    int status = 0;
    rusage usage {};
    if (wait4(pid, &status, 0, &usage) < 0)
        return run;
    run.wallMs = t.nsecsElapsed() / 1e6;
    run.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    run.peakKb = usage.ru_maxrss;
    return run;
}

template <typename T> T median(QList<T> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? T() : values[values.size() / 2];
}

// The program's start-up against the bare window, alternating, offscreen.
void startupBench(int runs)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QTemporaryDir runtime; // private (0700), as the session's would be
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    const QByteArray program(LORVANTA_BENCH_STARTUP);
    const QByteArray bare(LORVANTA_BENCH_BARE);
    // One untimed start each: the program writes its default bank, and the
    // font caches are warm for both.
    runChild(program);
    runChild(bare);
    QList<double> pWall, pCpu, bWall, bCpu;
    QList<long> pKb, bKb;
    for (int i = 0; i < runs; ++i) {
        const ChildRun b = runChild(bare);
        const ChildRun p = runChild(program);
        bWall << b.wallMs;
        bCpu << b.cpuMs;
        bKb << b.peakKb;
        pWall << p.wallMs;
        pCpu << p.cpuMs;
        pKb << p.peakKb;
    }
    const double ratioCpu = median(pCpu) / std::max(0.001, median(bCpu));
    const double ratioKb = double(median(pKb)) / std::max(1L, median(bKb));
    std::printf("  bare Qt Widgets window : wall %6.1f ms, CPU %6.1f ms, peak %6ld kB\n", median(bWall),
                median(bCpu), median(bKb));
    std::printf("  Lorvanta               : wall %6.1f ms, CPU %6.1f ms, peak %6ld kB\n", median(pWall),
                median(pCpu), median(pKb));
    std::printf("  ratios (medians of %d) : CPU %.2f, peak memory %.2f\n", runs, ratioCpu, ratioKb);
    std::fflush(stdout);
}

void stepBench(const QTemporaryDir &dir, int items, bool readAloud, LocalServer *server)
{
    modPub::writeTextFile(modPub::bankPath(), bankOf(items), true);
    if (server)
        modPub::saveSetting(QStringLiteral("services"), QStringLiteral("tts"),
                            server->base() + QStringLiteral("/"));
    frmMain w;
    w.show();
    QCoreApplication::processEvents();
    w.Check2->setChecked(readAloud);
    const int steps = std::min(items - 1, 2000);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < steps; ++i)
        w.cmdAfter_Click();
    const double perStep = t.nsecsElapsed() / 1e3 / steps;
    std::printf("  %-9d items%s: %8.1f us per step (%d steps)\n", items,
                readAloud ? ", read-aloud to a local server" : "", perStep, steps);
    if (server)
        modPub::saveSetting(QStringLiteral("services"), QStringLiteral("tts"), QString());
    Q_UNUSED(dir);
}

// One autoplay tick with read-aloud on, until the local server has the request.
void autoplayBench(LocalServer &server)
{
    modPub::writeTextFile(modPub::bankPath(), bankOf(24), true);
    modPub::saveSetting(QStringLiteral("services"), QStringLiteral("tts"),
                        server.base() + QStringLiteral("/"));
    frmMain w;
    w.show();
    QCoreApplication::processEvents();
    w.Check2->setChecked(true);
    w.Label2_Click();
    w.Timer1->stop(); // the ticks are driven here
    server.clear();
    SpeechEngine *engine = w.speechEngine();
    if (!engine) {
        std::printf("  (the audio engine module was not found)\n");
        return;
    }
    // Ready: decoded and handed to the sound output, which a headless run lacks.
    QSignalSpy playing(engine->signalSource(), SIGNAL(audioReady(QString)));
    const auto started = [&playing] { return int(playing.size()); };
    const int steps = 50;
    QElapsedTimer t;
    t.start();
    qint64 inTick = 0;
    qint64 blocked = 0; // the longest the event loop was held while waiting
    for (int i = 0; i < steps; ++i) {
        QElapsedTimer tick;
        tick.start();
        w.Timer1_Timer();
        inTick += tick.nsecsElapsed();
        if (qEnvironmentVariableIsSet("LORVANTA_BENCH_TICKS"))
            std::fprintf(stderr, "tick %d %.1f ms\n", i, tick.nsecsElapsed() / 1e6);
        server.waitForRequests(i + 1, 5000);
        // Let the audio start, so that the next tick has something to cut off.
        QElapsedTimer wait;
        wait.start();
        qint64 longest = 0;
        while (started() < i + 1 && wait.elapsed() < 3000) {
            QElapsedTimer one;
            one.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            longest = std::max(longest, one.elapsed());
        }
        blocked = std::max(blocked, longest);
        if (qEnvironmentVariableIsSet("LORVANTA_BENCH_TICKS"))
            std::fprintf(stderr, "start %d %lld ms\n", i, static_cast<long long>(wait.elapsed()));
    }
    std::printf("  autoplay tick with read-aloud (cutting off the audio playing): %.2f ms in the tick, "
                "%.1f ms until the new audio plays (%d ticks, %d played); event loop held at most %lld ms\n",
                inTick / 1e6 / steps, t.nsecsElapsed() / 1e6 / steps, steps, started(),
                static_cast<long long>(blocked));
    modPub::saveSetting(QStringLiteral("services"), QStringLiteral("tts"), QString());
}

// The viewer opened for the first time in this process, until its first
// frame: offline (the bundled strokes), and online (the dictionary page at a
// local server, the web view module loaded and its page finished).
void viewerBench()
{
    std::printf("Stroke-order viewer, first opening:\n");
    QWidget owner;
    owner.resize(900, 700);
    owner.show();
    {
        modPub::saveSetting(QStringLiteral("services"), QStringLiteral("dictionary"), QString());
        QElapsedTimer t;
        t.start();
        auto *viewer = new frmPlay(&owner);
        viewer->show();
        viewer->setCharacter(QStringLiteral("天"));
        viewer->Command2_Click();
        QCoreApplication::processEvents();
        std::printf("  offline animation: %.1f ms (%s)\n", t.nsecsElapsed() / 1e6,
                    viewer->strokeViewShown() ? "strokes shown" : "nothing shown");
        delete viewer;
    }
    {
        LocalServer server;
        LocalServer::Answer page;
        page.body = "<html><body><img id=\"word_bishun\" data-gif=\"" + server.base().toUtf8()
            + "/gif/tian.gif\"></body></html>";
        server.setAnswer("/zici/s", page);
        LocalServer::Answer gif;
        gif.contentType = "image/gif";
        gif.body = QByteArray::fromBase64("R0lGODlhAQABAIAAAAAAAP///ywAAAAAAQABAAACAUwAOw==");
        server.setAnswer("*", gif);
        modPub::saveSetting(QStringLiteral("services"), QStringLiteral("dictionary"), server.base());
        QElapsedTimer t;
        t.start();
        auto *viewer = new frmPlay(&owner);
        viewer->show();
        QSignalSpy done(viewer, &frmPlay::documentComplete);
        viewer->setCharacter(QStringLiteral("天"));
        viewer->Command2_Click();
        const bool loaded = done.wait(15000) || !done.isEmpty();
        std::printf("  online, module and web view loaded, page finished: %.1f ms (%s)\n",
                    t.nsecsElapsed() / 1e6,
                    !viewer->webViewShown() ? "no web view: offline animation instead"
                        : loaded            ? "page shown"
                                            : "page not finished in 15 s");
        delete viewer;
        modPub::saveSetting(QStringLiteral("services"), QStringLiteral("dictionary"), QString());
    }
}

void localSpeechBench()
{
    const QString table = resources::syllableTable();
    QElapsedTimer t;
    t.start();
    const bool ok = localspeech::available();
    std::printf("Local speech (espeak-ng):\n  start-up %.1f ms%s\n", t.nsecsElapsed() / 1e6,
                ok ? "" : " (not available)");
    if (!ok)
        return;
    for (const QString &caption :
         {QStringLiteral("天地"), QStringLiteral("zhōnɡ huá rén mín ɡònɡ hé ɡuó wàn suì yuè")}) {
        const QString text = localspeech::localText(caption, table);
        t.restart();
        const localspeech::Pcm pcm = localspeech::synthesize(text);
        std::printf("  %s: %.1f ms to synthesise %lld ms of audio\n", qPrintable(caption),
                    t.nsecsElapsed() / 1e6, static_cast<long long>(pcm.durationMs()));
    }
}

} // namespace

int main(int argc, char **argv)
{
    // Measured as root (CI) too, where the browser engine starts only
    // without its sandbox; the program itself never asks for that.
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    prepareApplication(app);
    setMessageAnswerer([](const QString &, MessageIcon, MessageButtons) { return MessageAnswer::No; });

    QTemporaryDir bankDir;
    modPub::setBankDirOverride(bankDir.path());
    // The modules are built beside the program.
    modules::setSearchFolder(QStringLiteral(LORVANTA_MODULE_DIR));
    std::printf("Lorvanta benchmark (platform %s)\n", qPrintable(QGuiApplication::platformName()));

    std::printf("Start-up to the first item painted (whole process, offscreen):\n");
    startupBench(15);
    if (argc > 1 && qstrcmp(argv[1], "--startup") == 0)
        return 0;

    std::printf("One showCurrentItem step (next button):\n");
    for (int n : {24, 3277, 100000})
        stepBench(bankDir, n, false, nullptr);
    {
        LocalServer server;
        LocalServer::Answer wav;
        wav.contentType = "audio/wav";
        localspeech::Pcm silence;
        silence.samples = QByteArray(1600, '\0'); // 0.1 s
        silence.sampleRate = 8000;
        wav.body = localspeech::wavFile(silence);
        server.setAnswer("/text2audio", wav);
        stepBench(bankDir, 24, true, &server);
        autoplayBench(server);
    }

    std::printf("Syllable lookup:\n");
    {
        const QString table = resources::syllableTable();
        const QString caption = QStringLiteral("zhōnɡ huá rén mín ɡònɡ hé ɡuó wàn suì yuè");
        QElapsedTimer t;
        t.start();
        const int runs = 200;
        for (int i = 0; i < runs; ++i)
            (void)readaloud::textToSpeak(caption, table);
        std::printf("  10-syllable pinyin item: %.1f us per lookup\n", t.nsecsElapsed() / 1e3 / runs);
    }

    viewerBench();
    localSpeechBench();

    std::printf("Peak resident memory of this process: %ld kB\n", peakRssKb());
    return 0;
}
