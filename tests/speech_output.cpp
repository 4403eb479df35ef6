// Read-aloud through a real sound server: a private PulseAudio with a null
// sink, whose monitor tells what was heard. Skipped without PulseAudio.
#include "rules/readaloud.h"
#include "speech/localspeech.h"
#include "speech/speaker.h"
#include "tests/speech_pulse.h"
#include "tests/support/localserver.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QtEndian>
#include <cmath>

#include <sndfile.h>

using speechtest::monotonicUs;

namespace {
QByteArray toneWav(int ms)
{
    const int rate = 16000;
    const int n = rate * ms / 1000;
    QByteArray pcm(n * 2, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        qToLittleEndian<qint16>(qint16(8000 * std::sin(2 * M_PI * 440 * i / rate)), pcm.data() + 2 * i);
    localspeech::Pcm tone;
    tone.samples = pcm;
    tone.sampleRate = rate;
    return localspeech::wavFile(tone);
}

// The tone as MP3, the service's own format.
QByteArray toneMp3(int ms)
{
    QTemporaryDir dir;
    const QByteArray path = (dir.path() + u"/tone.mp3"_qs).toLocal8Bit();
    SF_INFO info {};
    info.samplerate = 16000;
    info.channels = 1;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    SNDFILE *file = sf_open(path.constData(), SFM_WRITE, &info);
    if (!file)
        return QByteArray();
    const int n = 16000 * ms / 1000;
    std::vector<short> pcm(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        pcm[static_cast<size_t>(i)] = short(8000 * std::sin(2 * M_PI * 440 * i / 16000));
    sf_writef_short(file, pcm.data(), n);
    sf_close(file);
    return testsupport::fileBytes(QString::fromLocal8Bit(path));
}

// About three seconds of speech.
const QString longItem = QStringLiteral("zhōnɡ huá rén mín ɡònɡ hé ɡuó wàn suì bā hā");
} // namespace

class SpeechOutput : public QObject
{
    Q_OBJECT
    speechtest::PrivatePulse pulse;
    speechtest::MonitorRecorder recorder;
    LocalServer server;

    // Speaks and waits until the monitor hears it. Counted from the start of
    // playback: until then the end of an earlier item may still be heard.
    bool speakUntilHeard(Speaker &speaker, const QString &url, const QString &caption)
    {
        QSignalSpy started(&speaker, &Speaker::playbackStarted);
        speaker.speak(url, caption, caption);
        if (!started.wait(5000))
            return false;
        const qint64 from = monotonicUs();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000 && !recorder.soundSince(from))
            QTest::qWait(10);
        return recorder.soundSince(from);
    }

private slots:
    void initTestCase()
    {
        if (!pulse.start())
            QSKIP("PulseAudio is not installed (scripts/setup.sh installs it)");
        pulse.useInThisProcess();
        QVERIFY(recorder.start(pulse));
        QByteArray wav = toneWav(400);
        server.setAnswer("/tts/text2audio", {200, "audio/wav", wav});
        LocalServer::Answer late {200, "audio/wav", wav};
        late.delayMs = 800;
        server.setAnswer("/late/text2audio", late);
        server.setAnswer("/mp3/text2audio", {200, "audio/mpeg", toneMp3(400)});
    }

    void itemIsHeardToItsEnd_data()
    {
        QTest::addColumn<QString>("service");
        QTest::newRow("local speech") << QString();
        QTest::newRow("online WAV") << u"/tts/"_qs;
        QTest::newRow("online MP3") << u"/mp3/"_qs;
    }
    void itemIsHeardToItsEnd()
    {
        QFETCH(QString, service);
        const bool online = !service.isEmpty();
        Speaker speaker;
        QSignalSpy started(&speaker, &Speaker::playbackStarted);
        QSignalSpy finished(&speaker, &Speaker::playbackFinished);
        QSignalSpy silent(&speaker, &Speaker::silent);
        const QString url
            = online ? readaloud::ttsRequest(server.base() + service, u"%E5%A4%A9"_qs) : QString();
        const qint64 from = monotonicUs();
        speaker.speak(url, u"天"_qs, u"天"_qs);
        QVERIFY(finished.wait(5000));
        QCOMPARE(started.size(), 1);
        QCOMPARE(started.first().first().toString(), online ? u"online"_qs : u"local"_qs);
        QCOMPARE(silent.size(), 0);
        QVERIFY(recorder.soundSince(from));
        QCOMPARE(speaker.openOutputs(), 1); // kept for the next item
    }

    void stopSilencesAtOnce()
    {
        Speaker speaker;
        QSignalSpy finished(&speaker, &Speaker::playbackFinished);
        QVERIFY(speakUntilHeard(speaker, QString(), longItem));
        speaker.stop();
        const qint64 stopped = monotonicUs();
        QTest::qWait(1200);
        // Far less than the rest of the item; the benchmark measures how fast.
        const qint64 last = recorder.lastSoundSince(stopped);
        QVERIFY2(last < 0 || last - stopped < 300'000, qPrintable(QString::number((last - stopped) / 1000)));
        QCOMPARE(finished.size(), 0);
    }

    void nextItemCutsTheOldOff()
    {
        Speaker speaker;
        QSignalSpy started(&speaker, &Speaker::playbackStarted);
        QVERIFY(speakUntilHeard(speaker, QString(), longItem));
        // The next item's audio comes late: until then there is silence.
        speaker.speak(readaloud::ttsRequest(server.base() + u"/late/"_qs, u"%E5%9C%B0"_qs), u"地"_qs,
                      u"地"_qs);
        const qint64 stepped = monotonicUs();
        QTRY_COMPARE_WITH_TIMEOUT(started.size(), 2, 5000);
        QTest::qWait(100);
        // The old item would have gone on for seconds; instead there is
        // silence until the new item's audio arrives.
        const qint64 resumed = recorder.firstSoundSince(stepped + 300'000);
        QVERIFY(resumed > 0);
        QVERIFY2(resumed - stepped > 600'000, qPrintable(QString::number((resumed - stepped) / 1000)));
    }

    void burstPlaysOnlyTheLastItem()
    {
        Speaker speaker;
        QSignalSpy started(&speaker, &Speaker::playbackStarted);
        for (int i = 0; i < 40; ++i) {
            speaker.speak(QString(), longItem + u" "_qs + QString::number(i), QString());
            QTest::qWait(i % 2 ? 5 : 30);
        }
        const qint64 last = monotonicUs();
        QTRY_VERIFY_WITH_TIMEOUT(recorder.soundSince(last), 5000); // and it is heard
        QTest::qWait(300);
        // Earlier items were overtaken before or soon after their audio
        // started; the one playing is the last.
        QVERIFY(started.size() < 40);
        QCOMPARE(speaker.currentCaption(), longItem + u" 39"_qs);
        QVERIFY(speaker.openOutputs() <= 1);
    }

    // Last: these take the device and then the server away.
    void deviceThatDisappearsGivesSilence()
    {
        Speaker speaker;
        QSignalSpy silent(&speaker, &Speaker::silent);
        QSignalSpy started(&speaker, &Speaker::playbackStarted);
        QVERIFY(speakUntilHeard(speaker, QString(), longItem));
        recorder.stop();
        QVERIFY(pulse.pactl({u"unload-module"_qs, u"module-null-sink"_qs}));
        QTest::qWait(300);
        // No device left: silence, promptly, as often as asked.
        for (const QString &item : {u"天"_qs, u"地"_qs}) {
            speaker.speak(QString(), item, item);
            QVERIFY(silent.wait(5000));
        }
        // A device that comes (a headset plugged in) is used for the next item.
        QVERIFY(pulse.pactl({u"load-module"_qs, u"module-null-sink"_qs, u"sink_name=lorvanta_later"_qs}));
        QTest::qWait(300);
        const int before = started.size();
        speaker.speak(QString(), u"人"_qs, u"人"_qs);
        QTRY_COMPARE_WITH_TIMEOUT(started.size(), before + 1, 5000);
    }

    void serverThatEndsGivesSilence()
    {
        Speaker speaker;
        QSignalSpy silent(&speaker, &Speaker::silent);
        QSignalSpy started(&speaker, &Speaker::playbackStarted);
        speaker.speak(QString(), longItem, QString());
        QVERIFY(started.wait(5000));
        pulse.stop();
        QTest::qWait(300);
        speaker.speak(QString(), u"天"_qs, u"天"_qs);
        QVERIFY(silent.wait(5000));
        speaker.speak(QString(), u"地"_qs, u"地"_qs);
        QVERIFY(silent.wait(5000));
    }
};

LORVANTA_TEST_MAIN(SpeechOutput, QCoreApplication)
#include "speech_output.moc"
