// The service's audio turned into samples: the formats a speech service
// sends, written here with libsndfile, and data that is no audio at all.
#include "speech/audiodecoder.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QtEndian>
#include <cmath>

#include <sndfile.h>

namespace {
// 0.5 s of a 440 Hz tone in the given format; the right channel of a stereo
// file is silent, so that mixing halves the level.
QByteArray encoded(int format, int rate, int channels)
{
    QTemporaryDir dir;
    const QByteArray path = (dir.path() + u"/tone"_qs).toLocal8Bit();
    SF_INFO info {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE *file = sf_open(path.constData(), SFM_WRITE, &info);
    if (!file)
        return QByteArray();
    const int frames = rate / 2;
    std::vector<short> data(size_t(frames * channels), 0);
    for (int i = 0; i < frames; ++i)
        data[size_t(i * channels)] = short(10000 * std::sin(2 * M_PI * 440 * i / rate));
    sf_writef_short(file, data.data(), frames);
    sf_close(file);
    return testsupport::fileBytes(QString::fromLocal8Bit(path));
}

int peak(const localspeech::Pcm &pcm)
{
    int p = 0;
    for (qint64 i = 0; i < pcm.sampleCount(); ++i)
        p = std::max(p, std::abs(int(qFromLittleEndian<qint16>(pcm.samples.constData() + 2 * i))));
    return p;
}
} // namespace

class SpeechDecoder : public QObject
{
    Q_OBJECT
private slots:
    void formats_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::newRow("WAV 16 kHz mono") << (SF_FORMAT_WAV | SF_FORMAT_PCM_16) << 16000 << 1;
        QTest::newRow("WAV 44.1 kHz stereo") << (SF_FORMAT_WAV | SF_FORMAT_PCM_16) << 44100 << 2;
        QTest::newRow("WAV float") << (SF_FORMAT_WAV | SF_FORMAT_FLOAT) << 22050 << 1;
        QTest::newRow("MP3 24 kHz") << (SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III) << 24000 << 1;
        QTest::newRow("FLAC") << (SF_FORMAT_FLAC | SF_FORMAT_PCM_16) << 16000 << 1;
        QTest::newRow("Ogg Vorbis") << (SF_FORMAT_OGG | SF_FORMAT_VORBIS) << 22050 << 1;
    }
    void formats()
    {
        QFETCH(int, format);
        QFETCH(int, rate);
        QFETCH(int, channels);
        const QByteArray file = encoded(format, rate, channels);
        QVERIFY(!file.isEmpty());
        const localspeech::Pcm pcm = audiodecoder::decode(file);
        QCOMPARE(pcm.sampleRate, rate);
        // Half a second; MP3 adds a little encoder delay and padding.
        QVERIFY2(qAbs(pcm.durationMs() - 500) <= 80, qPrintable(QString::number(pcm.durationMs())));
        const int expected = channels == 1 ? 10000 : 5000;
        QVERIFY2(qAbs(peak(pcm) - expected) < expected / 5, qPrintable(QString::number(peak(pcm))));
    }

    void cutShortAtTheLimit()
    {
        const QByteArray file = encoded(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1);
        QCOMPARE(audiodecoder::decode(file, 0).sampleCount(), 0);
        QVERIFY(audiodecoder::decode(file, 0).samples.isEmpty());
        const QByteArray truncated = file.left(file.size() / 2);
        const localspeech::Pcm half = audiodecoder::decode(truncated);
        // What arrived is played; the rest is missing, not garbage.
        QVERIFY(half.durationMs() > 150 && half.durationMs() < 300);
    }

    void noAudio_data()
    {
        QTest::addColumn<QByteArray>("data");
        QByteArray random(4000, Qt::Uninitialized);
        quint32 seed = 99;
        for (char &c : random) {
            seed = seed * 1664525u + 1013904223u;
            c = char(seed >> 24);
        }
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("random") << random;
        QTest::newRow("text") << QByteArray(R"({"err_no":501,"err_msg":"tex param err"})");
        QTest::newRow("ID3 tag over junk") << QByteArrayLiteral("ID3\x03\x00\x00\x00\x00\x00\x10") + random;
        QTest::newRow("WAV header only") << encoded(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1).left(44);
        // A header that claims 65535 channels at 1 Hz.
        QByteArray absurd = encoded(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1);
        absurd.replace(22, 2, QByteArray("\xFF\xFF", 2));
        absurd.replace(24, 4, QByteArray("\x01\x00\x00\x00", 4));
        QTest::newRow("absurd WAV header") << absurd;
    }
    void noAudio()
    {
        QFETCH(QByteArray, data);
        const localspeech::Pcm pcm = audiodecoder::decode(data);
        QVERIFY(pcm.isEmpty());
        QCOMPARE(pcm.sampleRate, 0);
    }
};

LORVANTA_TEST_MAIN(SpeechDecoder, QCoreApplication)
#include "speech_decoder.moc"
