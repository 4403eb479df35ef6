// Local synthesis: what the voice is asked to say, and that it says it.
#include "resources/texts.h"
#include "speech/localspeech.h"
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
    // Chinese captions first.
    void captionReading_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("characters") << u"天地"_qs << u"天地"_qs;
        QTest::newRow("empty") << QString() << QString();
        // Pinyin letters among the characters are read as pinyin: the voice
        // would give ɑ the English letter name.
        QTest::newRow("lone letter after") << u"天ɑ"_qs << u"天 阿"_qs;
        QTest::newRow("toneless syllable") << u"天mɑ"_qs << u"天 ma5"_qs;
        QTest::newRow("toned syllable between") << u"天ɡuó地"_qs << u"天 guó 地"_qs;
        QTest::newRow("digit") << u"天1"_qs << u"天 1"_qs;
        QTest::newRow("spaces and punctuation") << u"天 地，人"_qs << u"天 地 人"_qs;
        // Pinyin captions. Toned syllables and finals as pinyin, with ASCII a and g for the voice.
        QTest::newRow("bā hā") << u"bā hā"_qs << u"bā hā"_qs;
        QTest::newRow("toned ɡ") << u"ɡuó"_qs << u"guó"_qs;
        // Toneless syllables in the neutral tone.
        QTest::newRow("toneless mɑ") << u"mɑ"_qs << u"ma5"_qs;
        QTest::newRow("final ɑnɡ") << u"ɑnɡ"_qs << u"ang5"_qs;
        QTest::newRow("final ɑi") << u"ɑi"_qs << u"ai5"_qs;
        QTest::newRow("final üe") << u"üe"_qs << u"üe5"_qs;
        // A tone digit is the writer's tone.
        QTest::newRow("tone digit") << u"mɑ3"_qs << u"ma3"_qs;
        QTest::newRow("number") << u"7"_qs << u"7"_qs;
        QTest::newRow("toned ü") << u"lǜ"_qs << u"lǜ"_qs;
        QTest::newRow("capital") << u"Bā"_qs << u"bā"_qs;
        QTest::newRow("lone toned vowel") << u"ā"_qs << u"ā"_qs;
        // Lone letters and bare initials through the syllable table's character.
        QTest::newRow("b p m f") << u"b p m f"_qs << u"播 泼 摸 佛"_qs;
        QTest::newRow("zh") << u"zh"_qs << u"知"_qs;
        QTest::newRow("ɡ") << u"ɡ"_qs << u"哥"_qs;
        QTest::newRow("e") << u"e"_qs << u"婀"_qs;
        QTest::newRow("ɑ") << u"ɑ"_qs << u"阿"_qs;
        QTest::newRow("ü") << u"ü"_qs << u"芋"_qs;
        QTest::newRow("capital B") << u"B"_qs << u"播"_qs;
        // z, c, s have no line of their own.
        QTest::newRow("z c s") << u"z c s"_qs << u"zī cī sī"_qs;
        // Not a pinyin letter: the voice could only spell it in English.
        QTest::newRow("unknown letter") << u"v"_qs << QString();
        // Empty syllables say nothing.
        QTest::newRow("double space") << u"bā  hā"_qs << u"bā hā"_qs;
        QTest::newRow("mixed") << u"b ɑnɡ"_qs << u"播 ang5"_qs;
    }
    void captionReading()
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
        QVERIFY2(pcm.durationMs() >= minMs && pcm.durationMs() <= maxMs,
                 qPrintable(QString::number(pcm.durationMs())));
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

    // What the voice makes of the texts above, against characters whose
    // reading is known.
    void voicing_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("sameAs");
        QTest::addColumn<QString>("notAs");
        QTest::newRow("toneless mɑ is 吗, not 妈") << u"mɑ"_qs << u"吗"_qs << u"妈"_qs;
        QTest::newRow("toneless ɡe in the neutral tone") << u"ɡe"_qs << u"ge5"_qs << u"ge"_qs;
        QTest::newRow("天ɑ is 天阿, not a letter name") << u"天ɑ"_qs << u"天阿"_qs << u"天ɑ"_qs;
        QTest::newRow("天b is 天播, not a letter name") << u"天b"_qs << u"天播"_qs << u"天b"_qs;
        QTest::newRow("toned pinyin is its character") << u"bā hā"_qs << u"八哈"_qs << u"八吗"_qs;
        QTest::newRow("z is zī") << u"z"_qs << u"资"_qs << u"z"_qs;
    }
    void voicing()
    {
        QFETCH(QString, caption);
        QFETCH(QString, sameAs);
        QFETCH(QString, notAs);
        const QString spoken = phonemes(localText(caption, table));
        QVERIFY(!spoken.isEmpty());
        QCOMPARE(spoken, phonemes(sameAs));
        QVERIFY2(spoken != phonemes(notAs), qPrintable(spoken));
        QVERIFY(!synthesize(localText(caption, table)).isEmpty());
    }

    void cancelledSynthesisGivesNothing()
    {
        const QString text = localText(u"zhōnɡ huá rén mín ɡònɡ hé ɡuó wàn suì"_qs, table);
        int asked = 0;
        const Pcm pcm = synthesize(text, [&asked] { return ++asked > 2; });
        QVERIFY(pcm.isEmpty());
        // Abandoned at once, not asked again for every chunk of the item.
        QVERIFY2(asked <= 4, qPrintable(QString::number(asked)));
        // The voice is usable afterwards.
        QVERIFY(!synthesize(u"天"_qs).isEmpty());
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
        QCOMPARE(qFromLittleEndian<quint16>(wav.constData() + 20), quint16(1)); // PCM
        QCOMPARE(qFromLittleEndian<quint16>(wav.constData() + 22), quint16(1)); // mono
        QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 24), quint32(pcm.sampleRate));
        QCOMPARE(qFromLittleEndian<quint16>(wav.constData() + 34), quint16(16));
        QCOMPARE(wav.mid(36, 4), QByteArray("data"));
        QCOMPARE(qFromLittleEndian<quint32>(wav.constData() + 40), quint32(pcm.samples.size()));
        QCOMPARE(wav.mid(44), pcm.samples);
    }

    void tenSyllablesAreTenWords()
    {
        const QString text = localText(u"bā hā zhōnɡ ɡuó tiān dì rén shuǐ huǒ mù"_qs, table);
        QCOMPARE(text.count(QLatin1Char(' ')), 9);
    }
};

LORVANTA_TEST_MAIN(SpeechLocal, QCoreApplication)
#include "speech_local.moc"
