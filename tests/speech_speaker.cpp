// The speaker behind read-aloud: the online request as given, cut-off of older
// requests, local speech when the service fails or sends what cannot be
// decoded, and silence without a sound device (this process has no sound
// server: its runtime folder is a private one).
#include "core/network.h"
#include "rules/readaloud.h"
#include "speech/localspeech.h"
#include "speech/speaker.h"
#include "tests/support/localserver.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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
    localspeech::Pcm tone;
    tone.samples = pcm;
    tone.sampleRate = rate;
    return localspeech::wavFile(tone);
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

QByteArray randomBytes(int n, quint32 seed)
{
    QByteArray b(n, Qt::Uninitialized);
    for (char &c : b) {
        seed = seed * 1664525u + 1013904223u;
        c = char(seed >> 24);
    }
    return b;
}
} // namespace

class SpeechSpeaker : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // A sound server that is not there: no device, and none spawned.
        qputenv("PULSE_SERVER", (testsupport::sandbox().path() + u"/no-such-server"_qs).toLocal8Bit());
    }

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
        QSignalSpy ready(&speaker, &Speaker::audioReady);
        const QString url = request(server, text);
        speaker.speak(url, text, text);
        QVERIFY(ready.wait(5000));
        QCOMPARE(ready.first().first().toString(), u"online"_qs);
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
        QSignalSpy ready(&speaker, &Speaker::audioReady);
        speaker.speak(readaloud::ttsRequest(server.base() + u"/slow/"_qs, u"%E5%A4%A9"_qs), u"天"_qs,
                      u"天"_qs);
        QVERIFY(server.waitForRequests(1));
        speaker.speak(request(server, u"地"_qs), u"地"_qs, u"地"_qs);
        QVERIFY(ready.wait(5000));
        // The first connection is closed before its answer, which never plays.
        QTRY_VERIFY_WITH_TIMEOUT(server.requests().first().cancelled, 3000);
        QTest::qWait(900);
        QCOMPARE(ready.size(), 1);
        QCOMPARE(ready.first().first().toString(), u"online"_qs);
        QCOMPARE(speaker.currentAudio(), current);
        QCOMPARE(speaker.currentCaption(), u"地"_qs);
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
        QSignalSpy ready(&speaker, &Speaker::audioReady);
        QSignalSpy silent(&speaker, &Speaker::silent);
        speaker.speak(request(server, u"天"_qs), u"天"_qs, u"天"_qs);
        QVERIFY(server.waitForRequests(1));
        speaker.stop();
        QTRY_VERIFY_WITH_TIMEOUT(server.requests().first().cancelled, 3000);
        // Not even the time limit brings local speech back after a stop.
        QTest::qWait(400);
        QCOMPARE(ready.size(), 0);
        QCOMPARE(silent.size(), 0);
    }

    void failedRequestFallsBackToLocalSpeech_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("refused") << u"refused"_qs;
        QTest::newRow("no answer in time") << u"never"_qs;
        QTest::newRow("error page") << u"500"_qs;
        QTest::newRow("not found") << u"404"_qs;
        // Playable audio is still no answer when the status says it failed.
        QTest::newRow("audio under 503") << u"audio503"_qs;
        QTest::newRow("json error under 200") << u"json"_qs;
        QTest::newRow("garbage declared as audio") << u"garbage"_qs;
        QTest::newRow("empty body") << u"empty"_qs;
        // Bytes that pass for audio at a glance, then fail in the decoder.
        QTest::newRow("random bytes as audio") << u"random"_qs;
        QTest::newRow("ID3 tag over junk") << u"id3"_qs;
        QTest::newRow("MPEG frame header over junk") << u"mpeg"_qs;
        QTest::newRow("Ogg page header over junk") << u"ogg"_qs;
        QTest::newRow("FLAC marker over junk") << u"flac"_qs;
        QTest::newRow("WAV header over junk") << u"wav"_qs;
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
            a = LocalServer::Answer {404, "text/html", "<html>missing</html>"};
        } else if (failure == u"audio503") {
            a = audio(toneWav(300));
            a.status = 503;
        } else if (failure == u"json") {
            a.contentType = "application/json";
            a.body = R"({"err_no":501,"err_msg":"tex param err"})";
        } else if (failure == u"garbage") {
            a.contentType = "audio/mpeg";
            a.body = QByteArray("this is not audio at all, only words. ").repeated(40);
        } else if (failure == u"empty") {
            a.contentType = "audio/mpeg";
        } else {
            const QByteArray junk = randomBytes(3000, 7);
            a.contentType = "audio/mpeg";
            a.body = failure == u"id3" ? QByteArrayLiteral("ID3\x03\x00\x00\x00\x00\x00\x10") + junk
                : failure == u"mpeg"   ? QByteArrayLiteral("\xFF\xFB\x90\x64") + junk
                : failure == u"ogg"    ? QByteArrayLiteral("OggS\x00\x02") + junk
                : failure == u"flac"   ? QByteArrayLiteral("fLaC\x00\x00\x00\x22") + junk
                : failure == u"wav"    ? QByteArrayLiteral("RIFF\x00\x10\x00\x00WAVE") + junk
                                       : junk;
        }
        server.setAnswer("/tts/text2audio", a);
        const QString url = request(server, u"八哈"_qs);
        if (failure == u"refused")
            server.close();

        Speaker speaker;
        speaker.setRequestTimeout(400);
        QSignalSpy ready(&speaker, &Speaker::audioReady);
        speaker.speak(url, u"bā hā"_qs, u"八哈"_qs);
        QVERIFY(ready.wait(5000));
        QCOMPARE(ready.size(), 1);
        QCOMPARE(ready.first().first().toString(), u"local"_qs);
        QCOMPARE(speaker.lastLocalText(), u"bā hā"_qs);
        QVERIFY(speaker.lastLocalSampleCount() > 0);
        QCOMPARE(speaker.currentAudio().left(4), QByteArray("RIFF"));
        if (failure == u"never")
            QTRY_VERIFY_WITH_TIMEOUT(server.requests().first().cancelled, 3000);
    }

    // Without a time-out of its own the request may take four seconds.
    void defaultTimeoutIsFourSeconds()
    {
        LocalServer server;
        LocalServer::Answer never;
        never.never = true;
        server.setAnswer("/tts/text2audio", never);
        Speaker speaker;
        QSignalSpy ready(&speaker, &Speaker::audioReady);
        QElapsedTimer clock;
        clock.start();
        speaker.speak(request(server, u"八"_qs), u"bā"_qs, u"八"_qs);
        QVERIFY(ready.wait(15000));
        // Within a tenth: a time-out twice as long, or another default, is a fault.
        QVERIFY2(clock.elapsed() >= 3600 && clock.elapsed() <= 4400,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(ready.first().first().toString(), u"local"_qs);
    }

    // A caption the local voice has no reading for (a letter that is no
    // initial) is said as the text the request would have carried.
    void emptyLocalReadingSaysTheRequestText()
    {
        Speaker speaker;
        QSignalSpy ready(&speaker, &Speaker::audioReady);
        speaker.speak(QString(), u"v"_qs, u"八"_qs);
        QVERIFY(ready.wait(5000));
        QCOMPARE(speaker.lastLocalText(), u"八"_qs);
        QVERIFY(speaker.lastLocalSampleCount() > 0);
    }

    void decoderRecoversAfterUnplayableAudio()
    {
        LocalServer server;
        LocalServer::Answer bad {200, "audio/mpeg", QByteArray(2000, 'x')};
        server.setAnswer("/bad/text2audio", bad);
        const QByteArray wav = toneWav(200);
        server.setAnswer("/tts/text2audio", audio(wav));
        Speaker speaker;
        QSignalSpy ready(&speaker, &Speaker::audioReady);
        speaker.speak(readaloud::ttsRequest(server.base() + u"/bad/"_qs, u"x"_qs), u"天"_qs, u"天"_qs);
        QVERIFY(ready.wait(5000));
        QCOMPARE(ready.last().first().toString(), u"local"_qs);
        speaker.speak(request(server, u"天"_qs), u"天"_qs, u"天"_qs);
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 2, 5000);
        QCOMPARE(ready.last().first().toString(), u"online"_qs);
        QCOMPARE(speaker.currentAudio(), wav);
    }

    void withoutSoundDeviceItIsSilent_data()
    {
        QTest::addColumn<bool>("online");
        QTest::newRow("local speech") << false;
        QTest::newRow("online audio") << true;
    }
    void withoutSoundDeviceItIsSilent()
    {
        QFETCH(bool, online);
        LocalServer server;
        server.setAnswer("/tts/text2audio", audio(toneWav(300)));
        Speaker speaker;
        QSignalSpy ready(&speaker, &Speaker::audioReady);
        QSignalSpy silent(&speaker, &Speaker::silent);
        QSignalSpy started(&speaker, &Speaker::playbackStarted);
        speaker.speak(online ? request(server, u"天"_qs) : QString(), u"天"_qs, u"天"_qs);
        QVERIFY(silent.wait(5000));
        QCOMPARE(ready.size(), 1);
        QCOMPARE(ready.first().first().toString(), online ? u"online"_qs : u"local"_qs);
        // And again: a missing device is no reason to stop trying.
        speaker.speak(QString(), u"地"_qs, u"地"_qs);
        QVERIFY(silent.wait(5000));
        QCOMPARE(started.size(), 0);
    }

    void burstSpeaksOnlyTheLastItem_data()
    {
        QTest::addColumn<bool>("online");
        QTest::newRow("local speech") << false;
        QTest::newRow("online audio") << true;
    }
    void burstSpeaksOnlyTheLastItem()
    {
        QFETCH(bool, online);
        LocalServer server;
        server.setAnswer("/tts/text2audio", audio(toneWav(300), 30));
        Speaker speaker;
        QSignalSpy ready(&speaker, &Speaker::audioReady);
        // Long items: each would take the voice a good while.
        const QString item = u"zhōnɡ huá rén mín ɡònɡ hé ɡuó wàn suì"_qs;
        for (int i = 0; i < 40; ++i) {
            const QString caption = item + u" "_qs + QString::number(i);
            speaker.speak(online ? request(server, caption) : QString(), caption, caption);
        }
        QVERIFY(ready.wait(5000));
        QTest::qWait(300);
        QCOMPARE(ready.size(), 1);
        QCOMPARE(speaker.currentCaption(), item + u" 39"_qs);
        if (!online)
            QVERIFY(speaker.lastLocalText().endsWith(u" 39"_qs));
        if (online) {
            // Older requests were dropped before they went out or cancelled
            // on their way; the one answered is the last item's.
            QVERIFY(!server.requests().isEmpty());
            QVERIFY(server.requests().last().target.contains("su%C3%AC%2039&"));
            QTRY_VERIFY_WITH_TIMEOUT(std::all_of(server.requests().begin(), server.requests().end() - 1,
                                                 [](const auto &r) { return r.cancelled; }),
                                     3000);
        }
    }

    void nothingIsCreatedBeforeTheFirstItem()
    {
        Speaker speaker;
        QCOMPARE(speaker.threadCount(), 0);
        QVERIFY(speaker.findChildren<QObject *>().isEmpty());
        speaker.stop(); // stopping nothing creates nothing either
        QCOMPARE(speaker.threadCount(), 0);
        QSignalSpy ready(&speaker, &Speaker::audioReady);
        speaker.speak(QString(), u"天"_qs, u"天"_qs);
        QCOMPARE(speaker.threadCount(), 2);
        QVERIFY(ready.wait(5000));
    }

    void nothingToSayIsSilent()
    {
        Speaker speaker;
        QSignalSpy silent(&speaker, &Speaker::silent);
        speaker.speak(QString(), u"  "_qs, QString());
        QCOMPARE(silent.size(), 1);
        QCOMPARE(speaker.threadCount(), 0);
    }
};

LORVANTA_TEST_MAIN(SpeechSpeaker, QCoreApplication)
#include "speech_speaker.moc"
