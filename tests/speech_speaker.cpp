// The player behind read-aloud: the online request as given, cut-off of older
// requests, local speech when the service fails, playback without a sound card.
#include "core/modpub.h"
#include "rules/readaloud.h"
#include "speech/speaker.h"
#include "tests/support/localserver.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QtEndian>
#include <cmath>

namespace {
// A short 16-bit mono sine tone as a WAV file.
QByteArray toneWav(int ms, int hz = 440)
{
    const int rate = 16000;
    const int n = rate * ms / 1000;
    QByteArray pcm(n * 2, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        qToLittleEndian<qint16>(qint16(8000 * std::sin(2 * M_PI * hz * i / rate)), pcm.data() + 2 * i);
    QByteArray wav = "RIFF";
    const auto u32 = [&wav](quint32 v) { char b[4]; qToLittleEndian(v, b); wav.append(b, 4); };
    const auto u16 = [&wav](quint16 v) { char b[2]; qToLittleEndian(v, b); wav.append(b, 2); };
    u32(36 + pcm.size());
    wav += "WAVEfmt ";
    u32(16); u16(1); u16(1); u32(rate); u32(rate * 2); u16(2); u16(16);
    wav += "data";
    u32(pcm.size());
    return wav + pcm;
}

LocalServer::Answer audio(const QByteArray &body, int delayMs = 0)
{
    LocalServer::Answer a;
    a.contentType = "audio/wav";
    a.body = body;
    a.delayMs = delayMs;
    return a;
}

QString request(const LocalServer &server, const QString &text)
{
    return readaloud::ttsRequest(server.base() + QStringLiteral("/tts/"), modPub::urlEncode(text));
}
} // namespace

class SpeechSpeaker : public QObject
{
    Q_OBJECT
private slots:
    void requestGoesOutExactlyAsGiven_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("chinese") << u"天地"_qs;
        QTest::newRow("pinyin characters") << u"播泼摸佛"_qs;
        QTest::newRow("empty tex") << QString();
    }
    void requestGoesOutExactlyAsGiven()
    {
        QFETCH(QString, text);
        LocalServer server;
        const QByteArray wav = toneWav(200);
        server.setAnswer("/tts/text2audio", audio(wav));
        Speaker speaker;
        QSignalSpy started(&speaker, &Speaker::playbackStarted);
        const QString url = request(server, text);
        speaker.speak(url, text, text);
        QVERIFY(started.wait(5000));
        QCOMPARE(started.first().first().toString(), u"online"_qs);
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(server.requests().first().method, QByteArray("GET"));
        QCOMPARE(QString::fromLatin1(server.requests().first().target), url.mid(server.base().size()));
        QCOMPARE(speaker.currentAudio(), wav);
    }

    void newerSpeakCutsOlderRequestOff()
    {
        LocalServer server;
        const QByteArray late = toneWav(300, 300);
        const QByteArray current = toneWav(200, 600);
        server.setAnswer("/slow/text2audio", audio(late, 700));
        server.setAnswer("/tts/text2audio", audio(current));
        Speaker speaker;
        QSignalSpy started(&speaker, &Speaker::playbackStarted);
        QSignalSpy silent(&speaker, &Speaker::silent);
        speaker.speak(readaloud::ttsRequest(server.base() + u"/slow/"_qs, u"%E5%A4%A9"_qs), u"天"_qs, u"天"_qs);
        QVERIFY(server.waitForRequests(1));
        speaker.speak(request(server, u"地"_qs), u"地"_qs, u"地"_qs);
        QVERIFY(started.wait(5000));
        // The first connection is closed before its answer, which never plays.
        QTRY_VERIFY_WITH_TIMEOUT(server.requests().first().cancelled, 3000);
        QTest::qWait(900);
        QCOMPARE(started.size(), 1);
        QCOMPARE(started.first().first().toString(), u"online"_qs);
        QCOMPARE(speaker.currentAudio(), current);
        QCOMPARE(silent.size(), 0);
        QCOMPARE(server.requests().size(), 2);
    }

    void stopCancelsRequestInFlight()
    {
        LocalServer server;
        LocalServer::Answer never;
        never.never = true;
        server.setAnswer("*", never);
        Speaker speaker;
        speaker.setRequestTimeout(300);
        QSignalSpy started(&speaker, &Speaker::playbackStarted);
        QSignalSpy silent(&speaker, &Speaker::silent);
        speaker.speak(request(server, u"天"_qs), u"天"_qs, u"天"_qs);
        QVERIFY(server.waitForRequests(1));
        speaker.stop();
        QTRY_VERIFY_WITH_TIMEOUT(server.requests().first().cancelled, 3000);
        // Not even the time limit brings local speech back after a stop.
        QTest::qWait(400);
        QCOMPARE(started.size(), 0);
        QCOMPARE(silent.size(), 0);
    }

    void failedRequestFallsBackToLocalSpeech_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("refused") << u"refused"_qs;
        QTest::newRow("no answer in time") << u"never"_qs;
        QTest::newRow("error page") << u"500"_qs;
        QTest::newRow("not found") << u"404"_qs;
        QTest::newRow("json error under 200") << u"json"_qs;
        QTest::newRow("garbage declared as audio") << u"garbage"_qs;
        QTest::newRow("empty body") << u"empty"_qs;
    }
    void failedRequestFallsBackToLocalSpeech()
    {
        QFETCH(QString, failure);
        LocalServer server;
        LocalServer::Answer a;
        if (failure == u"never") {
            a.never = true;
        } else if (failure == u"500") {
            a.status = 500;
            a.body = "<html><body>Internal error</body></html>";
        } else if (failure == u"404") {
            a = LocalServer::Answer{404, "text/html", "<html>missing</html>"};
        } else if (failure == u"json") {
            a.contentType = "application/json";
            a.body = R"({"err_no":501,"err_msg":"tex param err"})";
        } else if (failure == u"garbage") {
            a.contentType = "audio/mpeg";
            a.body = QByteArray("this is not audio at all, only words. ").repeated(40);
        } else if (failure == u"empty") {
            a.contentType = "audio/mpeg";
        }
        server.setAnswer("/tts/text2audio", a);
        const QString url = request(server, u"八哈"_qs);
        if (failure == u"refused")
            server.close();

        Speaker speaker;
        speaker.setRequestTimeout(400);
        QSignalSpy started(&speaker, &Speaker::playbackStarted);
        QSignalSpy silent(&speaker, &Speaker::silent);
        speaker.speak(url, u"bā hā"_qs, u"八哈"_qs);
        QVERIFY(started.wait(5000));
        QCOMPARE(started.size(), 1);
        QCOMPARE(started.first().first().toString(), u"local"_qs);
        QCOMPARE(silent.size(), 0);
        QCOMPARE(speaker.lastLocalText(), u"bā hā"_qs);
        QVERIFY(speaker.lastLocalSampleCount() > 0);
        QCOMPARE(speaker.currentAudio().left(4), QByteArray("RIFF"));
        if (failure == u"never")
            QTRY_VERIFY_WITH_TIMEOUT(server.requests().first().cancelled, 3000);
    }

    void playerRecoversAfterUnplayableAudio()
    {
        LocalServer server;
        LocalServer::Answer bad{200, "audio/mpeg", QByteArray(2000, 'x')};
        server.setAnswer("/bad/text2audio", bad);
        const QByteArray wav = toneWav(200);
        server.setAnswer("/tts/text2audio", audio(wav));
        Speaker speaker;
        QSignalSpy started(&speaker, &Speaker::playbackStarted);
        speaker.speak(readaloud::ttsRequest(server.base() + u"/bad/"_qs, u"x"_qs), u"天"_qs, u"天"_qs);
        QVERIFY(started.wait(5000));
        QCOMPARE(started.last().first().toString(), u"local"_qs);
        speaker.speak(request(server, u"天"_qs), u"天"_qs, u"天"_qs);
        QTRY_COMPARE_WITH_TIMEOUT(started.size(), 2, 5000);
        QCOMPARE(started.last().first().toString(), u"online"_qs);
        QCOMPARE(speaker.currentAudio(), wav);
    }

    void noEndpointSpeaksLocallyToTheEnd()
    {
        Speaker speaker;
        QSignalSpy started(&speaker, &Speaker::playbackStarted);
        QSignalSpy finished(&speaker, &Speaker::playbackFinished);
        speaker.speak(QString(), u"天"_qs, u"天"_qs);
        // With no sound card the pipeline still runs through the audio.
        QVERIFY(finished.wait(5000));
        QCOMPARE(started.size(), 1);
        QCOMPARE(finished.first().first().toString(), u"local"_qs);
        QCOMPARE(speaker.lastLocalText(), u"天"_qs);
    }

    void newItemCutsPlayingAudioOff()
    {
        Speaker speaker;
        QSignalSpy started(&speaker, &Speaker::playbackStarted);
        QSignalSpy finished(&speaker, &Speaker::playbackFinished);
        // About three seconds of speech, cut off as soon as it plays.
        speaker.speak(QString(), u"bā hā zhōnɡ ɡuó tiān dì rén shuǐ huǒ mù"_qs, QString());
        QVERIFY(started.wait(5000));
        const qint64 longSamples = speaker.lastLocalSampleCount();
        speaker.speak(QString(), u"b"_qs, u"播"_qs);
        QCOMPARE(speaker.lastLocalText(), u"播"_qs);
        QVERIFY(speaker.lastLocalSampleCount() < longSamples);
        QVERIFY(finished.wait(5000));
        QCOMPARE(started.size(), 2);
        QCOMPARE(finished.size(), 1);
        speaker.stop();
        QVERIFY(speaker.currentAudio().isEmpty());
    }

    void nothingToSayIsSilent()
    {
        Speaker speaker;
        QSignalSpy silent(&speaker, &Speaker::silent);
        speaker.speak(QString(), u"  "_qs, QString());
        QCOMPARE(silent.size(), 1);
    }
};

LORVANTA_TEST_MAIN(SpeechSpeaker, QCoreApplication)
#include "speech_speaker.moc"
