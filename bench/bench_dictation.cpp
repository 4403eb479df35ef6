// 听写 timing: prints figures, asserts nothing.
//
//   lorvanta-bench-dictation
//
// 1. From a step (Right, while the item before is still being read) to the
//    next item's sound with offline speech: to its samples reaching the
//    output, to the output playing, and to the first sound at the monitor of
//    a private PulseAudio null sink (when PulseAudio is installed).
// 2. Key answer time during a timed run: R, Right, Left and P, 40 ms apart,
//    each timed from delivery to the window's return, and the longest time
//    the event loop did not come round meanwhile.
// 3. Opening the window on banks of 24, 3,277 and 100,000 items (characters
//    and pinyin): the word list read, every item's spoken form found, the
//    setup page's list filled, and the switch to "在右边的表里勾选".
#include "app/startup.h"
#include "core/bankfile.h"
#include "core/settings.h"
#include "dictation/frmdictation.h"
#include "dictation/dictationfiles.h"
#include "practice/frmmain.h"
#include "speech/speechengine.h"
#include "tests/speech_pulse.h"
#include "tests/support/testsupport.h"
#include "widgets/messagebox.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>

using speechtest::monotonicUs;

namespace {

void waitEvents(int ms)
{
    const qint64 until = monotonicUs() + qint64(ms) * 1000;
    while (monotonicUs() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

template <typename Pred> bool waitFor(Pred done, int ms)
{
    const qint64 until = monotonicUs() + qint64(ms) * 1000;
    while (!done() && monotonicUs() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    return done();
}

QString summary(QList<double> v)
{
    if (v.isEmpty())
        return QStringLiteral("none");
    std::sort(v.begin(), v.end());
    return QStringLiteral("median %1 ms, max %2 ms (%3)")
        .arg(v.at(v.size() / 2), 0, 'f', 1)
        .arg(v.last(), 0, 'f', 1)
        .arg(v.size());
}

frmDictation *openDictation(frmMain &w, bool manual, int repeats)
{
    w.openDictation();
    auto *d = w.findChild<frmDictation *>();
    dictation::Settings s = d->run().settings();
    s.order = dictation::Order::InOrder;
    s.repeats = repeats;
    s.pauseSeconds = 1;
    s.writeSeconds = 1;
    s.manual = manual;
    d->run().setSettings(s);
    waitEvents(200);
    return d;
}

qint64 sendKey(QWindow *window, int key)
{
    const qint64 t0 = monotonicUs();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &release);
    return monotonicUs() - t0;
}

void stepToSound(frmMain &w, const speechtest::MonitorRecorder *recorder)
{
    frmDictation *d = openDictation(w, true, 1);
    d->run().start();
    SpeechEngine *engine = w.speechEngine();
    if (!engine) {
        std::printf("  no speech module: skipped\n");
        return;
    }
    QSignalSpy ready(engine->signalSource(), SIGNAL(audioReady(QString)));
    QSignalSpy started(engine->signalSource(), SIGNAL(playbackStarted(QString)));
    // The first item loads the voice; the figures are for the steps after it.
    waitFor([&] { return ready.size() > 0; }, 5000);
    waitEvents(400);
    QList<double> toReady, toPlaying, toHeard;
    for (int i = 0; i < 15 && d->run().running(); ++i) {
        const int r0 = int(ready.size());
        const int s0 = int(started.size());
        const qint64 t0 = monotonicUs();
        sendKey(d->windowHandle(), Qt::Key_Right);
        qint64 readyAt = 0, startedAt = 0;
        waitFor(
            [&] {
                if (!readyAt && ready.size() > r0)
                    readyAt = monotonicUs();
                if (!startedAt && started.size() > s0)
                    startedAt = monotonicUs();
                return readyAt && (startedAt || !recorder);
            },
            3000);
        if (readyAt)
            toReady << (readyAt - t0) / 1000.0;
        if (startedAt)
            toPlaying << (startedAt - t0) / 1000.0;
        waitEvents(350); // the item is being read when the next step comes
        if (recorder) {
            // The step cuts the item before off within a few ms (see the
            // read-aloud benchmark), so sound from 20 ms on is the new item's.
            const qint64 heard = recorder->firstSoundSince(t0 + 20'000, 100);
            if (heard > 0)
                toHeard << (heard - t0) / 1000.0;
        }
    }
    std::printf("  step to the next item's samples at the output: %s\n", qPrintable(summary(toReady)));
    std::printf("  step to the output playing it:                 %s\n", qPrintable(summary(toPlaying)));
    std::printf("  step to its first sound at the sink's monitor: %s\n",
                recorder ? qPrintable(summary(toHeard)) : "no sound server to record");
    d->close();
    waitEvents(200);
}

void keyAnswers(frmMain &w)
{
    frmDictation *d = openDictation(w, false, 2);
    d->run().start();
    QList<double> answers;
    qint64 longest = 0, last = 0;
    QTimer heartbeat;
    heartbeat.setInterval(2);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = monotonicUs();
        if (last > 0)
            longest = std::max(longest, now - last);
        last = now;
    });
    waitEvents(500); // the voice is loaded
    heartbeat.start();
    const int keys[] = {Qt::Key_R, Qt::Key_Right, Qt::Key_Left, Qt::Key_P, Qt::Key_P, Qt::Key_Space};
    const char *names[] = {"R", "Right", "Left", "P (pause)", "P (resume)", "Space"};
    QList<double> byKey[6];
    for (int i = 0; i < 120 && d->run().running(); ++i) {
        const double ms = sendKey(d->windowHandle(), keys[i % 6]) / 1000.0;
        answers << ms;
        byKey[i % 6] << ms;
        waitEvents(40);
    }
    heartbeat.stop();
    std::printf("  key answer (delivery to return): %s; event loop held at most %.1f ms\n",
                qPrintable(summary(answers)), longest / 1000.0);
    for (int k = 0; k < 6; ++k)
        std::printf("    %-10s %s\n", names[k], qPrintable(summary(byKey[k])));
    d->close();
    waitEvents(200);
}

void openOnLargeBanks(frmMain &w)
{
    const QStringList pieces = {QStringLiteral("天"), QStringLiteral("línɡ"), QStringLiteral("地上"),
                                QStringLiteral("ɑnɡ"), QStringLiteral("5")};
    for (int count : {24, 3277, 100000}) {
        // Distinct items: a run holds each item once.
        QStringList items;
        for (int i = 0; i < count; ++i)
            items << (i < 5 ? pieces.at(i) : QString(QChar(0x4E00 + i % 20000)) + QString::number(i / 20000));
        w.deck().setText(items.join(u' '));
        const qint64 t0 = monotonicUs();
        w.openDictation();
        auto *d = w.findChild<frmDictation *>();
        QCoreApplication::processEvents();
        const qint64 t1 = monotonicUs();
        dictation::Settings s = d->run().settings();
        s.order = dictation::Order::Picked;
        d->run().setSettings(s);
        QCoreApplication::processEvents();
        const qint64 t2 = monotonicUs();
        std::printf("  %6d items: open %.1f ms, to the ticked list %.1f ms\n", count, (t1 - t0) / 1000.0,
                    (t2 - t1) / 1000.0);
        d->close();
        waitEvents(100);
    }
}

// The check's record line on a record of 10 years and more (50 MB): the
// line is appended, never the file read or rewritten.
void recordOnALargeFile(frmMain &w)
{
    QByteArray year;
    for (int i = 0; year.size() < 1024 * 1024; ++i)
        year += modPub::encodeGbk(QStringLiteral("2024-09-02 19:30  18/20  错：天 地\r\n"));
    const QString path = dictationfiles::recordPath();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    for (int i = 0; i < 50; ++i)
        file.write(year);
    file.close();
    QList<double> times;
    for (int i = 0; i < 5; ++i) {
        w.deck().setText(QStringLiteral("天 地 人"));
        w.openDictation();
        auto *d = w.findChild<frmDictation *>();
        dictation::Settings s = d->run().settings();
        s.manual = true;
        d->run().setSettings(s);
        d->run().start();
        d->run().finish();
        d->run().toggleMark(i % 3);
        const qint64 t0 = monotonicUs();
        const QString why = d->run().saveRecord();
        times << (monotonicUs() - t0) / 1000.0;
        if (!why.isEmpty())
            std::printf("  the record was not written: %s\n", qPrintable(why));
        d->close();
        waitEvents(50);
    }
    std::printf("  the record line on a %lld MB record: %s\n", QFileInfo(path).size() / (1024 * 1024),
                qPrintable(summary(times)));
    QFile::remove(path);
}

} // namespace

int main(int argc, char **argv)
{
    // Private settings, data and runtime folders, the build's modules, offscreen.
    testsupport::prepareEnvironment();
    QApplication app(argc, argv);
    prepareApplication(app);
    QTemporaryDir bankDir;
    modPub::setBankDirOverride(bankDir.path());
    setMessageAnswerer([](const QString &, MessageIcon, MessageButtons) { return MessageAnswer::No; });

    // Offline speech only: no service address.
    modPub::saveSetting(QStringLiteral("services"), QStringLiteral("tts"), QString());
    QStringList bank;
    for (const char *item : {"天", "地", "人", "你", "我", "他", "上", "下", "大", "小",
                             "山", "水", "日", "月", "火", "木", "禾", "竹", "田", "土"})
        bank << QString::fromUtf8(item);
    modPub::writeTextFile(modPub::bankPath(), bank.join(u' '), true);

    // The sound server is chosen when the audio engine first starts.
    speechtest::PrivatePulse pulse;
    std::unique_ptr<speechtest::MonitorRecorder> recorder;
    if (pulse.start()) {
        qputenv("PULSE_SERVER", pulse.server().toLocal8Bit());
        recorder = std::make_unique<speechtest::MonitorRecorder>();
        if (!recorder->start(pulse))
            recorder.reset();
    } else {
        qputenv("PULSE_SERVER", "unix:/nonexistent/lorvanta-no-sound");
    }
    std::printf("Lorvanta dictation benchmark (%s)\n",
                recorder ? "sound to a private PulseAudio null sink" : "no sound device");

    frmMain w;
    w.show();
    waitEvents(300);
    std::printf(
        "Right during a manual run of 20 characters, offline speech, each step 350 ms after the last:\n");
    stepToSound(w, recorder.get());
    std::printf("Keys during a timed run (2 readings, 1 s pauses), 40 ms apart:\n");
    keyAnswers(w);
    std::printf("Opening the dictation window:\n");
    openOnLargeBanks(w);
    std::printf("Saving the check:\n");
    recordOnALargeFile(w);
    return 0;
}
