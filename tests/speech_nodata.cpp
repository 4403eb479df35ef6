// espeak-ng without its data: silence, and the program goes on.
#include "speech/localspeech.h"
#include "speech/speaker.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QSignalSpy>

class SpeechNoData : public QObject
{
    Q_OBJECT
    QTemporaryDir empty;
private slots:
    void initTestCase()
    {
        QVERIFY(empty.isValid());
        localspeech::setDataPath(empty.path());
    }
    void missingDataGivesSilence()
    {
        QVERIFY(!localspeech::available());
        QVERIFY(localspeech::synthesize(u"天"_qs).isEmpty());
        Speaker speaker;
        QSignalSpy silent(&speaker, &Speaker::silent);
        QSignalSpy ready(&speaker, &Speaker::audioReady);
        speaker.speak(QString(), u"天"_qs, u"天"_qs);
        QVERIFY(silent.wait(5000));
        speaker.speak(QString(), u"bā"_qs, u"八"_qs);
        QVERIFY(silent.wait(5000));
        QTest::qWait(50);
        QCOMPARE(silent.size(), 2);
        QCOMPARE(ready.size(), 0);
        QVERIFY(speaker.currentAudio().isEmpty());
    }
};

LORVANTA_TEST_MAIN(SpeechNoData, QCoreApplication)
#include "speech_nodata.moc"
