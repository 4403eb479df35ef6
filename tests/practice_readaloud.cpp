// Read-aloud through the practice window: the exact requests that reach a
// local speech service, and when the window speaks at all.
#include "core/settings.h"
#include "speech/speechengine.h"
#include "tests/support/localserver.h"
#include "tests/support/practicefixture.h"

using testsupport::child;

using namespace modPub;

namespace {
const QByteArray fixedPairs = "&cuid=dict&lan=ZH&ctp=1&pdt=30&vol=8&spd=5";

QByteArray wav()
{
    // 0.05 s of silence, 8 kHz mono 16-bit.
    const QByteArray pcm(800, '\0');
    QByteArray h("RIFF");
    auto le32 = [&h](quint32 v) {
        for (int i = 0; i < 4; ++i)
            h.append(char((v >> (8 * i)) & 0xFF));
    };
    auto le16 = [&h](quint16 v) {
        h.append(char(v & 0xFF));
        h.append(char(v >> 8));
    };
    le32(36 + pcm.size());
    h += "WAVEfmt ";
    le32(16);
    le16(1);
    le16(1);
    le32(8000);
    le32(16000);
    le16(2);
    le16(16);
    h += "data";
    le32(pcm.size());
    return h + pcm;
}
} // namespace

class PracticeReadAloud : public QObject
{
    Q_OBJECT
    LocalServer server;

private slots:
    void initTestCase() { server.setAnswer("/tts/text2audio", {200, "audio/wav", wav()}); }
    void init()
    {
        clearSettings();
        saveSetting(QStringLiteral("services"), QStringLiteral("tts"),
                    server.base() + QStringLiteral("/tts/"));
        server.clear();
    }

    void requestsForChineseAndPinyin()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("天地 bā-hā b-p-m-f 7"));
        frmMain *w = f.open();
        child<QCheckBox>(w, "Check2")->setChecked(true);
        // The first item at start-up is not read: the window was not yet shown.
        QCOMPARE(server.requests().size(), 0);

        QTest::keyClick(w->windowHandle(), Qt::Key_Space);
        QVERIFY(server.waitForRequests(1));
        QCOMPARE(server.requests().last().target, "/tts/text2audio?tex=%E5%A4%A9%E5%9C%B0" + fixedPairs);

        const QList<QByteArray> expected = {
            "/tts/text2audio?tex=%E5%85%AB%E5%93%88" + fixedPairs, // 八哈
            "/tts/text2audio?tex=%E6%92%AD%E6%B3%BC%E6%91%B8%E4%BD%9B" + fixedPairs, // 播泼摸佛
            "/tts/text2audio?tex=" + fixedPairs, // nothing found
        };
        for (const QByteArray &target : expected) {
            server.clear();
            w->cmdAfter_Click(); // every shown item is read while 朗读 is ticked
            QVERIFY(server.waitForRequests(1));
            QCOMPARE(server.requests().last().target, target);
        }

        // The card and the loudspeaker speak too; the same item again.
        server.clear();
        QTest::mouseClick(child<QLabel>(w, "Image3"), Qt::LeftButton);
        QVERIFY(server.waitForRequests(1));
        QTest::mouseClick(child<QLabel>(w, "lblBack"), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(server.waitForRequests(2));
        QCOMPARE(server.requests()[0].target, server.requests()[1].target);
    }

    void untickedOrUnlookableItemsStaySilent()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 mɑ( 口"));
        frmMain *w = f.open();
        w->cmdAfter_Click();
        w->cmdAfter_Click();
        QTest::qWait(200);
        QCOMPARE(server.requests().size(), 0); // 朗读 not ticked
        child<QCheckBox>(w, "Check2")->setChecked(true);
        w->cmdBefore_Click(); // mɑ( breaks the lookup pattern: nothing is sent
        QTest::qWait(200);
        QCOMPARE(server.requests().size(), 0);
        QCOMPARE(w->caption(), QStringLiteral("mɑ("));
        w->cmdBefore_Click();
        QVERIFY(server.waitForRequests(1));
        QCOMPARE(server.requests().last().target, "/tts/text2audio?tex=%E4%BA%BA" + fixedPairs);
    }

    void autoplayStepsSpeak()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人"));
        frmMain *w = f.open();
        child<QCheckBox>(w, "Check2")->setChecked(true);
        w->Label2_Click();
        SpeechEngine *engine = w->speechEngine();
        QVERIFY(engine); // the module was found and loaded
        // Decoded and handed to the sound output (the tests have no sound device).
        QSignalSpy ready(engine->signalSource(), SIGNAL(audioReady(QString)));
        w->Timer1_Timer();
        QVERIFY(server.waitForRequests(1));
        w->Timer1_Timer();
        QVERIFY(server.waitForRequests(2));
        QCOMPARE(server.requests()[0].target, server.requests()[1].target);
        QTRY_VERIFY_WITH_TIMEOUT(ready.size() > 0, 5000);
    }

    void speechIsLoadedByTheFirstItemSpoken()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口"));
        saveSetting(QStringLiteral("main"), QStringLiteral("jiange"), QStringLiteral("5"));
        saveSetting(QStringLiteral("main"), QStringLiteral("langdu"), QStringLiteral("1"));
        const auto speakers = [](const QObject *w) {
            int n = 0;
            for (const QObject *o : w->findChildren<QObject *>())
                n += QByteArray(o->metaObject()->className()) == "Speaker";
            return n;
        };
        frmMain *w = f.open();
        QVERIFY(child<QCheckBox>(w, "Check2")->isChecked());
        QCOMPARE(speakers(w), 0); // the first item was shown before the window
        QTest::keyClick(w->windowHandle(), Qt::Key_Right);
        QCOMPARE(speakers(w), 1);
    }

    // Keys as fast as a child can press them, with local speech: the window
    // keeps up, and only the item it ends on is spoken.
    void burstOfStepsSpeaksTheLastItem()
    {
        saveSetting(QStringLiteral("services"), QStringLiteral("tts"), QString());
        PracticeFixture f;
        QStringList bank;
        for (int i = 0; i < 45; ++i)
            bank << QStringLiteral("zhōnɡ-huá-rén-mín-ɡònɡ-hé-ɡuó-%1").arg(i);
        f.writeBankText(bank.join(u' '));
        frmMain *w = f.open();
        child<QCheckBox>(w, "Check2")->setChecked(true);
        std::unique_ptr<QSignalSpy> ready;
        for (int i = 0; i < 40; ++i) {
            QTest::keyClick(w->windowHandle(), Qt::Key_Right);
            if (!ready) {
                QVERIFY(w->speechEngine());
                ready = std::make_unique<QSignalSpy>(w->speechEngine()->signalSource(),
                                                     SIGNAL(audioReady(QString)));
            }
            QTest::qWait(5);
        }
        QCOMPARE(child<QPushButton>(w, "cmdSet")->text(), QStringLiteral("我的生字库 41/45"));
        QTRY_VERIFY_WITH_TIMEOUT(!ready->isEmpty(), 5000);
        QTest::qWait(300);
        // Items overtaken while the voice was at them were dropped.
        QVERIFY2(ready->size() < 40, qPrintable(QString::number(ready->size())));
        const QObject *speaker = w->speechEngine()->signalSource();
        QCOMPARE(speaker->property("currentCaption").toString(),
                 QStringLiteral("zhōnɡ huá rén mín ɡònɡ hé ɡuó 40"));
        QVERIFY(speaker->property("lastLocalText").toString().endsWith(QStringLiteral(" 40")));
    }
};

LORVANTA_TEST_MAIN(PracticeReadAloud, QApplication)
#include "practice_readaloud.moc"
