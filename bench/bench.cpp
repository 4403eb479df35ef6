// Lorvanta's benchmark: prints figures, asserts nothing.
//
//   lorvanta-bench             all figures below
//   lorvanta-bench --startup   the start-up figures only
//   lorvanta-bench --editor    the editor's figures only
//   lorvanta-bench --animation the stroke animation's figures only
//
// The start-up figure runs two separate executables, alternately:
// lorvanta-bench-startup (the program's own start-up path) and
// lorvanta-bench-bare (Qt Widgets only, one Kai glyph), each painting once and
// quitting, and compares their CPU time and peak memory: offscreen, and on a
// private Xvfb with a window manager (displays from LORVANTA_BENCH_DISPLAYS,
// else LORVANTA_E2E_DISPLAYS, else 90-94), where Qt offers OpenGL as on a
// desktop. There both also measure the step from an arrow key pressed through
// the X server to the painted item, and the stroke-order animation's CPU
// time and wake-ups in view, maximised, minimised and covered, beside the bare
// window's at rest (bench/animationbench.cpp).
#include "tests/support/testsupport.h"
#include "app/startup.h"
#include "bench/animationbench.h"
#include "bench/benchsupport.h"
#include "core/bankfile.h"
#include "core/modules.h"
#include "core/settings.h"
#include "editor/frmset.h"
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
#include <QKeyEvent>
#include <QSettings>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

using bench::ChildRun;
using bench::median;
using bench::runChild;

namespace {

long peakRssKb()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Resident memory now and the peak since the last resetPeak(), in kB, read
// from the kernel (VmRSS, VmHWM); -1 where it does not tell.
long statusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    return -1;
}

void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
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

// The program's start-up against the bare window, alternating.
void startupBench(int runs)
{
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

// Arrow keys through the X server to the painted item, both sides alternating
// (each run prints its median and longest step).
void keyStepBench(int runs)
{
    QList<double> bMed, pMed, bMax, pMax;
    for (int i = 0; i < runs; ++i) {
        for (bool isProgram : {false, true}) {
            QByteArray out;
            runChild(isProgram ? QByteArray(LORVANTA_BENCH_STARTUP) : QByteArray(LORVANTA_BENCH_BARE),
                     {"--keys", "40"}, &out);
            double med = 0, longest = 0;
            long long count = 0;
            if (std::sscanf(out.constData(), "%lf %lf %lld", &med, &longest, &count) != 3 || count < 40)
                continue;
            (isProgram ? pMed : bMed) << med;
            (isProgram ? pMax : bMax) << longest;
        }
    }
    if (bMed.isEmpty() || pMed.isEmpty()) {
        std::printf("  key to painted item: not measured (no XTEST, or the window had no keyboard)\n");
        return;
    }
    std::printf("  key to painted item    : bare %.2f ms (longest %.2f), Lorvanta %.2f ms (longest %.2f); "
                "ratio %.2f (medians of %lld runs of 40 keys)\n",
                median(bMed) / 1e3, median(bMax) / 1e3, median(pMed) / 1e3, median(pMax) / 1e3,
                median(pMed) / std::max(0.001, median(bMed)), static_cast<long long>(pMed.size()));
    std::fflush(stdout);
}

// The start-up and the key step, and on X the stroke animation, each
// against the bare window.
void xFigures(int runs, bool startup, bool animation)
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray display = qgetenv("DISPLAY");
    static QTemporaryDir runtime; // private (0700), as the session's would be
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    if (startup) {
        std::printf("Start-up to the first item painted (whole process, offscreen):\n");
        qputenv("QT_QPA_PLATFORM", "offscreen");
        startupBench(runs);
    }
    {
        bench::PrivateDisplay x;
        if (x.ok()) {
            qputenv("QT_QPA_PLATFORM", "xcb");
            if (startup) {
                std::printf("Start-up to the first item painted (whole process, Xvfb %s with openbox):\n",
                            x.name().constData());
                startupBench(runs);
                keyStepBench(std::max(3, runs / 3));
            }
            if (animation)
                animationBench(QByteArray(LORVANTA_BENCH_STARTUP), QByteArray(LORVANTA_BENCH_BARE), 3, 5);
        } else {
            std::printf("X figures: no private Xvfb could be started\n");
        }
    }
    for (const auto &[name, value] :
         {std::pair {"QT_QPA_PLATFORM", platform}, std::pair {"DISPLAY", display}}) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
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
    testsupport::child<QCheckBox>(&w, "Check2")->setChecked(readAloud);
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
    testsupport::child<QCheckBox>(&w, "Check2")->setChecked(true);
    w.Label2_Click();
    testsupport::child<QTimer>(&w, "Timer1")->stop(); // the ticks are driven here
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

// The editor with a large bank: one typed key (a letter at the end, as
// typing goes), and the whole-bank commands.
void editorBench()
{
    std::printf("Editor with a large bank:\n");
    for (int n : {100000, 3000000}) {
        modPub::writeTextFile(modPub::bankPath(), bankOf(n), true);
        QElapsedTimer open;
        open.start();
        frmSet f;
        f.show();
        QCoreApplication::processEvents();
        const double openMs = open.nsecsElapsed() / 1e6;
        f.Text1->moveCursor(QTextCursor::End);
        QList<double> keys;
        for (int i = 0; i < 21; ++i) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            QElapsedTimer t;
            t.start();
            QCoreApplication::sendEvent(f.Text1, &press);
            f.Text1->repaint();
            keys << t.nsecsElapsed() / 1e6;
        }
        std::printf(
            "  %7d items: opened in %.0f ms; one typed key %.2f ms (median of 21, with the repaint)\n", n,
            openMs, median(keys));
        std::fflush(stdout);
    }

    // About 18 MB on disk: the whole-bank commands, and the longest the
    // window's event loop was held meanwhile (a 10 ms timer watches).
    modPub::writeTextFile(modPub::bankPath(), bankOf(2'800'000), true);
    const qint64 fileBytes = QFileInfo(modPub::bankPath()).size();
    // The editor's own cost: the peak from here on, above what the process
    // held before (the runs above leave their high-water mark behind).
    const long before = statusKb("VmRSS:");
    resetPeak();
    const auto editorPeakMb = [before] { return (statusKb("VmHWM:") - before) / 1e3; };
    QElapsedTimer open;
    open.start();
    auto *f = new frmSet;
    f->show();
    QCoreApplication::processEvents();
    std::printf("  %.1f MB bank: opened in %.0f ms, %.0f MB above the %.0f MB held before\n", fileBytes / 1e6,
                open.nsecsElapsed() / 1e6, editorPeakMb(), before / 1e3);
    QElapsedTimer gap;
    qint64 longest = 0;
    QTimer probe;
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longest = std::max(longest, gap.elapsed());
        gap.restart();
    });
    const auto run = [&](const char *what, const std::function<void()> &command) {
        longest = 0;
        resetPeak();
        gap.start();
        probe.start();
        QElapsedTimer t;
        t.start();
        command();
        QCoreApplication::processEvents();
        longest = std::max(longest, gap.elapsed());
        probe.stop();
        std::printf(
            "  %-16s %7.0f ms, window held at most %5lld ms, editor's peak %.0f MB, text %.1f M characters\n",
            what, t.nsecsElapsed() / 1e6, static_cast<long long>(longest), editorPeakMb(),
            f->Text1->document()->characterCount() / 1e6);
        std::fflush(stdout);
    };
    // Shuffled first, on the bank as opened; the figures after it include
    // the undo history the earlier commands left.
    run("打乱一下", [f] { f->Command2_Click(); });
    run("拼音加声调", [f] { f->Command8_Click(); });
    run("undo", [f] { f->Text1->undo(); });
    run("保存并关闭", [f] { f->Command1_Click(); });
    delete f;
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
    QApplication app(argc, argv);
    prepareApplication(app);
    setMessageAnswerer([](const QString &, MessageIcon, MessageButtons) { return MessageAnswer::No; });

    QTemporaryDir bankDir;
    modPub::setBankDirOverride(bankDir.path());
    // The modules are built beside the program.
    modules::setSearchFolder(QStringLiteral(LORVANTA_MODULE_DIR));
    std::printf("Lorvanta benchmark (platform %s)\n", qPrintable(QGuiApplication::platformName()));

    if (argc > 1 && qstrcmp(argv[1], "--editor") == 0) {
        editorBench();
        return 0;
    }
    const QByteArray only = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    xFigures(15, only != "--animation", only != "--startup");
    if (!only.isEmpty())
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
    editorBench();
    localSpeechBench();

    std::printf("Peak resident memory of this process: %ld kB\n", peakRssKb());
    return 0;
}
