// Read-aloud under fast stepping: prints figures, asserts nothing.
//
//   lorvanta-bench-speech            every figure below, each case in a process
//                                    of its own (a process keeps the sound
//                                    server it first found)
//   lorvanta-bench-speech --burst CASE N
//   lorvanta-bench-speech --autoplay CASE STEPS INTERVAL_MS
//   lorvanta-bench-speech --cutoff CASE REPEATS
//
// CASE: local (no TTS address: espeak-ng), online (a local server answering
// WAV), corrupt (a local server answering random bytes as audio/mpeg), nodevice
// (local speech, no sound server). Sound goes to a private PulseAudio server
// with a null sink whose monitor is recorded with parec; without PulseAudio
// every case runs without a device.
#include "tests/support/testsupport.h"
#include "app/startup.h"
#include "core/bankfile.h"
#include "core/modules.h"
#include "core/settings.h"
#include "core/textutil.h"
#include "resources/texts.h"
#include "practice/frmmain.h"
#include "speech/localspeech.h"
#include "speech/speechengine.h"
#include "tests/speech_pulse.h"
#include "tests/support/localserver.h"
#include "widgets/messagebox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

using speechtest::monotonicUs;

namespace {

const QString pulseMonitorEnv = QStringLiteral("LORVANTA_BENCH_MONITOR");

// Resident memory now (not the peak), in kB.
long rssKb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

int threadsNow()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("Threads:"))
            return line.mid(8).trimmed().toInt();
    return -1;
}

// Counts the streams open on the private sound server (the outputs as the
// server sees them) every 50 ms, from a thread of its own so that asking does
// not hold the window.
class StreamWatch
{
public:
    StreamWatch()
    {
        const QByteArray server = qgetenv("PULSE_SERVER");
        if (server.isEmpty() || qEnvironmentVariableIsEmpty(qPrintable(pulseMonitorEnv)))
            return;
        const QByteArray command = "pactl --server=" + server + " list short sink-inputs 2>/dev/null";
        m_thread = std::thread([this, command] {
            while (!m_stop) {
                if (FILE *p = popen(command.constData(), "r")) {
                    int lines = 0;
                    for (int c; (c = std::fgetc(p)) != EOF;)
                        lines += c == '\n';
                    pclose(p);
                    int seen = m_most.load();
                    while (lines > seen && !m_most.compare_exchange_weak(seen, lines)) { }
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }
    ~StreamWatch()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // The most streams seen since the last call; -1 without a server.
    int takeMost() { return m_thread.joinable() ? m_most.exchange(0) : -1; }

private:
    std::thread m_thread;
    std::atomic<bool> m_stop {false};
    std::atomic<int> m_most {0};
};

// A WAV file of ms milliseconds of a voice-like tone (22,050 Hz mono, a
// 180 Hz fundamental with overtones), as the service would send speech.
QByteArray speechWav(int ms = 1500)
{
    const int rate = 22050;
    const int n = rate * ms / 1000;
    QByteArray pcm(n * 2, Qt::Uninitialized);
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / rate;
        const double v = std::sin(2 * M_PI * 180 * t) + 0.5 * std::sin(2 * M_PI * 360 * t)
            + 0.25 * std::sin(2 * M_PI * 720 * t);
        qToLittleEndian<qint16>(qint16(6000 * v), pcm.data() + 2 * i);
    }
    localspeech::Pcm tone;
    tone.samples = pcm;
    tone.sampleRate = rate;
    return localspeech::wavFile(tone);
}

QByteArray randomBytes(int n)
{
    QByteArray b(n, Qt::Uninitialized);
    quint32 seed = 12345;
    for (char &c : b) {
        seed = seed * 1664525u + 1013904223u;
        c = char(seed >> 24);
    }
    return b;
}

// The local server on a thread of its own: in the program the service is
// another machine, which does not wait for the window's event loop.
class ServerThread
{
public:
    explicit ServerThread(const LocalServer::Answer &answer)
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_context,
            [this, answer] {
                m_server = new LocalServer;
                m_server->setAnswer("/text2audio", answer);
            },
            Qt::BlockingQueuedConnection);
    }
    ~ServerThread()
    {
        QMetaObject::invokeMethod(
            &m_context, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    QString base() const { return m_server->base(); }
    // Forgets the requests recorded so far, so that the server's own record
    // does not count as the program's memory.
    void forget()
    {
        QMetaObject::invokeMethod(
            &m_context, [this] { m_server->clear(); }, Qt::BlockingQueuedConnection);
    }

private:
    QThread m_thread;
    QObject m_context;
    LocalServer *m_server = nullptr;
};

// Notes the longest time the event loop did not come round, from a 2 ms
// heartbeat.
class Stall : public QObject
{
public:
    // Gaps that end before `from` are left out.
    explicit Stall(qint64 from = 0) : m_from(from)
    {
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = monotonicUs();
            if (m_last > 0 && now >= m_from)
                longest = std::max(longest, now - m_last);
            m_last = now;
        });
        m_timer.start();
    }
    qint64 m_from;
    qint64 longest = 0;

private:
    QTimer m_timer;
    qint64 m_last = 0;
};

struct Case {
    QString name;
    std::unique_ptr<ServerThread> server;
};

// Sets the TTS address for a case; the server lives as long as the result.
std::unique_ptr<ServerThread> prepareCase(const QString &name, const QByteArray &onlineAudio, int delayMs = 0)
{
    std::unique_ptr<ServerThread> server;
    if (name == u"online" || name == u"corrupt") {
        LocalServer::Answer a;
        a.contentType = "audio/mpeg";
        a.body = name == u"online" ? onlineAudio : randomBytes(6000);
        if (name == u"online")
            a.contentType = "audio/wav";
        a.delayMs = delayMs;
        server = std::make_unique<ServerThread>(a);
        modPub::saveSetting(QStringLiteral("services"), QStringLiteral("tts"),
                            server->base() + QStringLiteral("/"));
    } else {
        modPub::saveSetting(QStringLiteral("services"), QStringLiteral("tts"), QString());
    }
    return server;
}

void postKey(QWindow *window, int key)
{
    QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
}

void waitEvents(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

std::unique_ptr<speechtest::MonitorRecorder> startRecorder()
{
    const QString monitor = qEnvironmentVariable(qPrintable(pulseMonitorEnv));
    if (monitor.isEmpty())
        return nullptr;
    auto recorder = std::make_unique<speechtest::MonitorRecorder>();
    if (!recorder->start(qEnvironmentVariable("PULSE_SERVER"), monitor))
        return nullptr;
    return recorder;
}

// ---------------------------------------------------------------- burst

// N presses of Right 30 ms apart, posted from another thread as the window
// system would queue them, then Delete; the answer time is from the last
// Right to the delete question.
int burstChild(const QString &caseName, int presses)
{
    QStringList bank;
    for (int i = 0; i < presses + 20; ++i)
        bank << (i % 2 ? QStringLiteral("zhōnɡ-huá-rén-mín-%1").arg(i)
                       : QStringLiteral("天地人口手%1").arg(i));
    modPub::writeTextFile(modPub::bankPath(), bank.join(u' '), true);
    const auto server = prepareCase(caseName, speechWav());
    const auto recorder = startRecorder();

    qint64 questionAt = 0;
    QString counterAtQuestion;
    frmMain w;
    setMessageAnswerer([&](const QString &, MessageIcon, MessageButtons) {
        questionAt = monotonicUs();
        counterAtQuestion = testsupport::child<QPushButton>(&w, "cmdSet")->text();
        return MessageAnswer::No;
    });
    w.show();
    waitEvents(200);
    testsupport::child<QCheckBox>(&w, "Check2")->setChecked(true);
    QWindow *window = w.windowHandle();

    // The engine is loaded by the first item spoken; its signals are
    // watched from then on.
    std::unique_ptr<QSignalSpy> ready, started;
    std::atomic<qint64> lastRight {0}, deleteAt {0};
    std::atomic<bool> fed {false};
    // The keyboard device is made by the first key event: here, not in the feeder.
    QKeyEvent(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    const qint64 begin = monotonicUs();
    // The first item spoken loads the engine's module (tens of ms, once);
    // measured on its own.
    Stall all;
    Stall afterFirst(begin + 100'000);
    std::thread feeder([&] {
        for (int i = 0; i < presses; ++i) {
            std::this_thread::sleep_until(std::chrono::steady_clock::now()
                                          + std::chrono::microseconds(begin + i * 30'000 - monotonicUs()));
            postKey(window, Qt::Key_Right);
            lastRight = monotonicUs();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        deleteAt = monotonicUs();
        postKey(window, Qt::Key_Delete);
        fed = true;
    });
    QElapsedTimer guard;
    guard.start();
    while ((!fed || questionAt == 0) && guard.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!ready && w.speechEngine()) {
            ready
                = std::make_unique<QSignalSpy>(w.speechEngine()->signalSource(), SIGNAL(audioReady(QString)));
            started = std::make_unique<QSignalSpy>(w.speechEngine()->signalSource(),
                                                   SIGNAL(playbackStarted(QString)));
        }
    }
    feeder.join();
    const qint64 stallAll = all.longest;
    const qint64 stallAfterFirst = afterFirst.longest;
    // What plays once the keys have stopped.
    waitEvents(2500);
    const QObject *speaker = w.speechEngine() ? w.speechEngine()->signalSource() : nullptr;
    const QString spoken = speaker ? speaker->property("currentCaption").toString() : QString();
    const QString lastCaption = w.caption();
    QString heard = QStringLiteral("no device");
    if (recorder) {
        // The last item's audio. The step cuts the one before within a few
        // ms (see the cut-off figures), so sound from 15 ms on is the last
        // item's.
        const qint64 from = recorder->firstSoundSince(lastRight + 15'000, 100);
        const qint64 to = recorder->lastSoundSince(lastRight, 100);
        heard = from < 0 ? QStringLiteral("nothing")
                         : QStringLiteral("%1 ms of audio from %2 ms after the last Right")
                               .arg((to - from) / 1000)
                               .arg((from - lastRight) / 1000);
    }
    std::printf("  %-8s %2d presses: answer %6.1f ms after the last Right (%5.1f ms after Delete); "
                "event loop held at most %5.1f ms (%5.1f ms with the first item, which loads the engine); "
                "counter \"%s\"; audio ready %lld, started %lld times; "
                "speaking the last item: %s; heard: %s\n",
                qPrintable(caseName), presses, questionAt ? (questionAt - lastRight) / 1000.0 : -1.0,
                questionAt ? (questionAt - deleteAt) / 1000.0 : -1.0, stallAfterFirst / 1000.0,
                stallAll / 1000.0, qPrintable(counterAtQuestion),
                ready ? static_cast<long long>(ready->size()) : 0LL,
                started ? static_cast<long long>(started->size()) : 0LL,
                spoken == lastCaption ? "yes" : qPrintable(u"no ("_qs + spoken + u")"_qs), qPrintable(heard));
    return 0;
}

// ---------------------------------------------------------------- autoplay

int autoplayChild(const QString &caseName, int steps, int intervalMs)
{
    QStringList bank;
    for (int i = 0; i < 24; ++i)
        bank << (i % 2 ? QStringLiteral("bā-hā") : QStringLiteral("天地"));
    modPub::writeTextFile(modPub::bankPath(), bank.join(u' '), true);
    const auto server = prepareCase(caseName, speechWav());
    setMessageAnswerer([](const QString &, MessageIcon, MessageButtons) { return MessageAnswer::No; });
    frmMain w;
    w.show();
    waitEvents(200);
    testsupport::child<QCheckBox>(&w, "Check2")->setChecked(true);
    w.Label2_Click();
    // Shortened from the 1 s minimum so that 500 steps take a minute, not
    // eight; every step still finds the previous item's audio playing.
    testsupport::child<QTimer>(&w, "Timer1")->setInterval(intervalMs);
    int ticks = 0;
    QObject::connect(testsupport::child<QTimer>(&w, "Timer1"), &QTimer::timeout, [&ticks, &server] {
        ++ticks;
        if (server)
            server->forget();
    });
    std::unique_ptr<QSignalSpy> started;
    Stall stall;
    StreamWatch streams;
    long firstRss = -1;
    while (ticks < steps) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!started && w.speechEngine())
            started = std::make_unique<QSignalSpy>(w.speechEngine()->signalSource(),
                                                   SIGNAL(playbackStarted(QString)));
        static int reported = -1;
        if (ticks % 100 == 0 && ticks != reported && ticks > 0) {
            reported = ticks;
            const QObject *speaker = w.speechEngine() ? w.speechEngine()->signalSource() : nullptr;
            if (firstRss < 0)
                firstRss = rssKb();
            std::printf("  %-8s after %3d steps: RSS %6ld kB (%+ld since step 100), threads %d, outputs %d, "
                        "server streams at most %d, audio started %lld times\n",
                        qPrintable(caseName), ticks, rssKb(), rssKb() - firstRss, threadsNow(),
                        speaker ? speaker->property("openOutputs").toInt() : 0, streams.takeMost(),
                        started ? static_cast<long long>(started->size()) : 0LL);
            std::fflush(stdout);
        }
    }
    const QObject *speaker = w.speechEngine() ? w.speechEngine()->signalSource() : nullptr;
    std::printf("  %-8s %d steps at %d ms: event loop held at most %.1f ms\n", qPrintable(caseName), ticks,
                intervalMs, stall.longest / 1000.0);
    return 0;
}

// ---------------------------------------------------------------- cut-off

// How long the previous item's audio goes on after a step. The next item
// says nothing (local: a letter the voice does not spell) or arrives late
// (online: the server holds it 500 ms), so whatever is heard right after the
// step is the old item's tail.
int cutoffChild(const QString &caseName, int repeats)
{
    const auto recorder = startRecorder();
    if (!recorder) {
        std::printf("  %-8s (no sound server to record: skipped)\n", qPrintable(caseName));
        return 0;
    }
    const bool online = caseName == u"online";
    QStringList bank;
    for (int i = 0; i < repeats + 1; ++i)
        bank << QStringLiteral("zhōnɡ-huá-rén-mín-ɡònɡ-hé-ɡuó") << QStringLiteral("v");
    modPub::writeTextFile(modPub::bankPath(), bank.join(u' '), true);
    // Three seconds of audio from the service.
    const QByteArray longWav = speechWav(3000);
    const auto server = prepareCase(caseName, longWav, online ? 500 : 0);
    setMessageAnswerer([](const QString &, MessageIcon, MessageButtons) { return MessageAnswer::No; });
    frmMain w;
    w.show();
    waitEvents(200);
    testsupport::child<QCheckBox>(&w, "Check2")->setChecked(true);
    QList<double> tails;
    for (int r = 0; r < repeats; ++r) {
        // Onto a long item (the first time, speak the one shown).
        const qint64 asked = monotonicUs();
        if (r == 0)
            w.lblChar_Click();
        else
            w.cmdAfter_Click();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000 && !recorder->soundSince(asked))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        waitEvents(400);
        // Off it, in the middle of its audio.
        const qint64 step = monotonicUs();
        w.cmdAfter_Click();
        waitEvents(online ? 350 : 500);
        // Any sound at all: a cut-off leaves exact silence.
        const qint64 last = recorder->lastSoundSince(step, 100);
        tails << (last < 0 ? 0.0 : (last - step) / 1000.0);
    }
    std::sort(tails.begin(), tails.end());
    std::printf("  %-8s old audio heard after the step: median %.1f ms, max %.1f ms (%lld steps; "
                "arrival at the monitor, so parec's 5 ms latency included)\n",
                qPrintable(caseName), tails.value(tails.size() / 2), tails.isEmpty() ? 0.0 : tails.last(),
                static_cast<long long>(tails.size()));
    return 0;
}

// ---------------------------------------------------------------- parent

void runChild(const QStringList &args, bool withSound, const speechtest::PrivatePulse *pulse)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (withSound && pulse) {
        env.insert(QStringLiteral("PULSE_SERVER"), pulse->server());
        env.insert(pulseMonitorEnv, pulse->monitor());
    } else {
        // An address where no server answers: no device, and none spawned.
        env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent/lorvanta-no-sound"));
        env.remove(pulseMonitorEnv);
    }
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), args);
    p.waitForFinished(-1);
    std::fputs(p.readAllStandardOutput().constData(), stdout);
    std::fflush(stdout);
}

// The offline voice's synthesis time, median of `runs`.
void synthesisFigures()
{
    const QString table = resources::syllableTable();
    const QString tenSyllables = localspeech::localText(u"bā hā zhōnɡ ɡuó tiān dì rén shuǐ huǒ mù"_qs, table);
    std::printf("Offline synthesis (espeak-ng), median of 15:\n");
    const std::pair<const char *, QString> texts[] = {{"two characters 天地", u"天地"_qs},
                                                      {"ten syllables", tenSyllables}};
    for (const auto &[what, text] : texts) {
        std::vector<double> ms;
        qint64 samples = 0;
        for (int i = 0; i < 15; ++i) {
            const qint64 t0 = monotonicUs();
            samples = localspeech::synthesize(text).sampleCount();
            ms.push_back((monotonicUs() - t0) / 1000.0);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("  %-20s %6.1f ms (%lld samples)\n", what, ms[ms.size() / 2],
                    static_cast<long long>(samples));
    }
    std::fflush(stdout);
}

int parent(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    synthesisFigures();
    speechtest::PrivatePulse pulse;
    const bool sound = pulse.start();
    std::printf("Lorvanta read-aloud benchmark (%s)\n",
                sound ? "sound to a private PulseAudio null sink"
                      : "PulseAudio not found: no sound device in any case");
    std::fflush(stdout);

    std::printf("Bursts of Right 30 ms apart with 朗读 ticked, then Delete:\n");
    std::fflush(stdout);
    for (int n : {20, 40})
        for (const QString &c : {u"local"_qs, u"online"_qs, u"corrupt"_qs, u"nodevice"_qs})
            runChild({u"--burst"_qs, c, QString::number(n)}, c != u"nodevice", sound ? &pulse : nullptr);

    std::printf("Previous audio cut off by a step:\n");
    std::fflush(stdout);
    for (const QString &c : {u"local"_qs, u"online"_qs})
        runChild({u"--cutoff"_qs, c, u"10"_qs}, true, sound ? &pulse : nullptr);

    const QString steps = qEnvironmentVariable("LORVANTA_BENCH_AUTOPLAY_STEPS", u"500"_qs);
    std::printf("Autoplay with 朗读 ticked, interval shortened to 100 ms, Timer1 driving the steps:\n");
    std::fflush(stdout);
    for (const QString &c : {u"local"_qs, u"online"_qs})
        runChild({u"--autoplay"_qs, c, steps, u"100"_qs}, true, sound ? &pulse : nullptr);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode.isEmpty())
        return parent(argc, argv);

    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    prepareApplication(app);
    modules::setSearchFolder(QStringLiteral(LORVANTA_MODULE_DIR));
    QTemporaryDir bankDir;
    modPub::setBankDirOverride(bankDir.path());

    const QString caseName = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const int n = argc > 3 ? QByteArray(argv[3]).toInt() : 0;
    if (mode == u"--burst")
        return burstChild(caseName, n);
    if (mode == u"--autoplay")
        return autoplayChild(caseName, n, argc > 4 ? QByteArray(argv[4]).toInt() : 100);
    if (mode == u"--cutoff")
        return cutoffChild(caseName, n);
    std::fprintf(stderr, "unknown mode %s\n", argv[1]);
    return 2;
}
