// Local synthesis: what the voice is asked to say, and that it says it.
#include "speech/localspeech.h"
#include "resources/texts.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QtEndian>

using namespace localspeech;

class SpeechLocal : public QObject
{
    Q_OBJECT
private:
    QString table = resources::syllableTable();

    // Milliseconds of the audio that are clearly not silence.
    static qint64 voicedMs(const Pcm &pcm)
    {
        qint64 loud = 0;
        const char *p = pcm.samples.constData();
        for (qint64 i = 0; i < pcm.sampleCount(); ++i)
            if (qAbs(int(qFromLittleEndian<qint16>(p + 2 * i))) > 500)
                ++loud;
        return loud * 1000 / pcm.sampleRate;
    }

private slots:
    void chineseCaptionIsReadAsItIs()
    {
        QCOMPARE(localText(u"天地"_qs, table), u"天地"_qs);
        QCOMPARE(localText(u"天ɑ"_qs, table), u"天ɑ"_qs);
        QCOMPARE(localText(QString(), table), QString());
    }

    void pinyinCaption_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("spoken");
        // Toned syllables and finals as pinyin, with ASCII a and g for the voice.
        QTest::newRow("bā hā") << u"bā hā"_qs << u"bā hā"_qs;
        QTest::newRow("toned ɡ") << u"ɡuó"_qs << u"guó"_qs;
        QTest::newRow("final ɑnɡ") << u"ɑnɡ"_qs << u"ang"_qs;
        QTest::newRow("final ɑi") << u"ɑi"_qs << u"ai"_qs;
        QTest::newRow("final üe") << u"üe"_qs << u"üe"_qs;
        QTest::newRow("toned ü") << u"lǜ"_qs << u"lǜ"_qs;
        QTest::newRow("capital") << u"Bā"_qs << u"bā"_qs;
        QTest::newRow("lone toned vowel") << u"ā"_qs << u"ā"_qs;
        // Lone letters and bare initials through the table's character.
        QTest::newRow("b p m f") << u"b p m f"_qs << u"播 泼 摸 佛"_qs;
        QTest::newRow("zh") << u"zh"_qs << u"知"_qs;
        QTest::newRow("ɡ") << u"ɡ"_qs << u"哥"_qs;
        QTest::newRow("e") << u"e"_qs << u"婀"_qs;
        QTest::newRow("ɑ") << u"ɑ"_qs << u"阿"_qs;
        QTest::newRow("ü") << u"ü"_qs << u"芋"_qs;
        QTest::newRow("capital B") << u"B"_qs << u"播"_qs;
        // z, c, s have no line of their own.
        QTest::newRow("z c s") << u"z c s"_qs << u"zi ci si"_qs;
        // Empty syllables say nothing.
        QTest::newRow("double space") << u"bā  hā"_qs << u"bā hā"_qs;
        QTest::newRow("mixed") << u"b ɑnɡ"_qs << u"播 ang"_qs;
    }
    void pinyinCaption()
    {
        QFETCH(QString, caption);
        QFETCH(QString, spoken);
        QCOMPARE(localText(caption, table), spoken);
    }

    void synthesisHasPlausibleLength_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        // One syllable lasts a few tenths of a second, two about twice that.
        QTest::newRow("天") << u"天"_qs << 150 << 900;
        QTest::newRow("bā hā") << localText(u"bā hā"_qs, table) << 300 << 1600;
        QTest::newRow("zh") << localText(u"zh"_qs, table) << 150 << 900;
        QTest::newRow("天地") << u"天地"_qs << 300 << 1600;
    }
    void synthesisHasPlausibleLength()
    {
        QFETCH(QString, text);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        QVERIFY(available());
        const Pcm pcm = synthesize(text);
        QVERIFY(pcm.sampleRate >= 8000);
        QVERIFY2(pcm.durationMs() >= minMs && pcm.durationMs() <= maxMs, qPrintable(QString::number(pcm.durationMs())));
        // Not a silent buffer: most of a syllable is voiced.
        QVERIFY2(voicedMs(pcm) >= minMs / 2, qPrintable(QString::number(voicedMs(pcm))));
    }

    void twoSyllablesLastLongerThanOne()
    {
        const qint64 one = synthesize(u"八"_qs).sampleCount();
        const qint64 two = synthesize(localText(u"bā hā"_qs, table)).sampleCount();
        QVERIFY(one > 0);
        QVERIFY2(two > one * 3 / 2, qPrintable(QStringLiteral("%1 %2").arg(one).arg(two)));
        // The pinyin and the characters are the same sounds.
        const qint64 chars = synthesize(u"八哈"_qs).sampleCount();
        QVERIFY(qAbs(chars - two) < two / 10);
    }

    void nothingToSay()
    {
        QVERIFY(synthesize(QString()).isEmpty());
        QVERIFY(synthesize(u"   "_qs).isEmpty());
    }

    void wavHeaderDescribesTheSamples()
    {
        const Pcm pcm = synthesize(u"天"_qs);
        const QByteArray wav = wavFile(pcm);
        QCOMPARE(wav.size(), 44 + pcm.samples.size());
        QCOMPARE(wav.left(4), QByteArray("RIFF"));
        QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 4), quint32(wav.size() - 8));
        QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
        QCOMPARE(qFromLittleEndian<quint16>(wav.constData() + 20), quint16(1));  // PCM
        QCOMPARE(qFromLittleEndian<quint16>(wav.constData() + 22), quint16(1));  // mono
        QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 24), quint32(pcm.sampleRate));
        QCOMPARE(qFromLittleEndian<quint16>(wav.constData() + 34), quint16(16));
        QCOMPARE(wav.mid(36, 4), QByteArray("data"));
        QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 40), quint32(pcm.samples.size()));
        QCOMPARE(wav.mid(44), pcm.samples);
    }

    // Figures for the notes; nothing is asserted about time.
    void benchmarkCharacters()
    {
        QBENCHMARK { synthesize(u"天地"_qs); }
    }
    void benchmarkTenSyllables()
    {
        const QString text = localText(u"bā hā zhōnɡ ɡuó tiān dì rén shuǐ huǒ mù"_qs, table);
        QCOMPARE(text.count(QLatin1Char(' ')), 9);
        QBENCHMARK { synthesize(text); }
    }
};

LORVANTA_TEST_MAIN(SpeechLocal, QCoreApplication)
#include "speech_local.moc"
