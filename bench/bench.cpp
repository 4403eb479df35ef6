// Lorvanta's benchmark: prints figures, asserts nothing.
//
//   lorvanta-bench                 all figures below
//   lorvanta-bench --startup-child   start exactly as the program does, paint
//                                    the first item once, print and exit
//   lorvanta-bench --bare-child      a bare Qt window with one label, for comparison
#include "app/startup.h"
#include "core/modpub.h"
#include "practice/frmmain.h"
#include "speech/localspeech.h"
#include "widgets/messagebox.h"
#include "speech/speaker.h"
#include "rules/readaloud.h"
#include "resources/texts.h"
#include "tests/support/localserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

long peakRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Quits the application the first time the watched widget has been painted.
class FirstPaint : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && !done) {
            done = true;
            QTimer::singleShot(0, qApp, [] {
                std::printf("painted rss_kb=%ld\n", peakRssKb());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(o, e);
    }
    bool done = false;
};

int startupChild(int argc, char **argv, bool bare)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    FirstPaint watcher;
    if (bare) {
        auto *label = new QLabel(QStringLiteral("ā"));
        label->installEventFilter(&watcher);
        label->show();
    } else {
        prepareApplication(app);
        frmMain *w = startProgram();
        w->lblChar->installEventFilter(&watcher);
    }
    return app.exec();
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

// Median wall time of `runs` process starts, in ms, with the child's peak RSS.
void timeStartups(const QString &self, const QString &mode, const QString &bankDir, int runs)
{
    QList<double> times;
    QString rss;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LORVANTA_BENCH_BANKDIR"), bankDir);
        p.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        p.start(self, {mode});
        p.waitForFinished(30000);
        times << t.nsecsElapsed() / 1e6;
        const QString out = QString::fromLatin1(p.readAllStandardOutput()).trimmed();
        rss = out.section(QStringLiteral("rss_kb="), 1, 1);
    }
    std::sort(times.begin(), times.end());
    std::printf("  %-28s median %7.1f ms  (min %.1f, max %.1f, %d runs)  peak RSS %s kB\n",
                qPrintable(mode), times[times.size() / 2], times.first(), times.last(), runs, qPrintable(rss));
}

void stepBench(const QTemporaryDir &dir, int items, bool readAloud, LocalServer *server)
{
    modPub::writeTextFile(modPub::bankPath(), bankOf(items), true);
    if (server)
        modPub::saveSetting(QStringLiteral("services"), QStringLiteral("tts"), server->base() + QStringLiteral("/"));
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
    modPub::saveSetting(QStringLiteral("services"), QStringLiteral("tts"), server.base() + QStringLiteral("/"));
    frmMain w;
    w.show();
    QCoreApplication::processEvents();
    w.Check2->setChecked(true);
    w.Label2_Click();
    w.Timer1->stop(); // the ticks are driven here
    server.clear();
    int started = 0;
    QObject::connect(w.speaker(), &Speaker::playbackStarted, [&started] { ++started; });
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
        while (started < i + 1 && wait.elapsed() < 3000) {
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
                inTick / 1e6 / steps, t.nsecsElapsed() / 1e6 / steps, steps, started,
                static_cast<long long>(blocked));
    modPub::saveSetting(QStringLiteral("services"), QStringLiteral("tts"), QString());
}

void localSpeechBench()
{
    const QString table = resources::syllableTable();
    QElapsedTimer t;
    t.start();
    const bool ok = localspeech::available();
    std::printf("Local speech (espeak-ng):\n  start-up %.1f ms%s\n", t.nsecsElapsed() / 1e6, ok ? "" : " (not available)");
    if (!ok)
        return;
    for (const QString &caption : {QStringLiteral("天地"), QStringLiteral("zhōnɡ huá rén mín ɡònɡ hé ɡuó wàn suì yuè")}) {
        const QString text = localspeech::localText(caption, table);
        t.restart();
        const localspeech::Pcm pcm = localspeech::synthesize(text);
        std::printf("  %s: %.1f ms to synthesise %lld ms of audio\n", qPrintable(caption), t.nsecsElapsed() / 1e6,
                    static_cast<long long>(pcm.durationMs()));
    }
}

} // namespace

int main(int argc, char **argv)
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QStringLiteral("--startup-child") || mode == QStringLiteral("--bare-child")) {
        modPub::setBankDirOverride(qEnvironmentVariable("LORVANTA_BENCH_BANKDIR"));
        return startupChild(argc, argv, mode == QStringLiteral("--bare-child"));
    }

    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    prepareApplication(app);
    setMessageAnswerer([](const QString &, MessageIcon, MessageButtons) { return MessageAnswer::No; });

    QTemporaryDir bankDir;
    modPub::setBankDirOverride(bankDir.path());
    std::printf("Lorvanta benchmark (platform %s)\n", qPrintable(QGuiApplication::platformName()));

    std::printf("Start-up to the first item painted (whole process, default bank):\n");
    const QString self = QCoreApplication::applicationFilePath();
    QTemporaryDir startDir;
    timeStartups(self, QStringLiteral("--bare-child"), startDir.path(), 7);
    timeStartups(self, QStringLiteral("--startup-child"), startDir.path(), 7);

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

    localSpeechBench();

    std::printf("Peak resident memory of this process: %ld kB\n", peakRssKb());
    return 0;
}
