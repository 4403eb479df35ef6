// The practice window's rules that need no window: deck, layout arithmetic,
// the syllable table and the read-aloud lookup.
#include "core/network.h"
#include "resources/texts.h"
#include "rules/deck.h"
#include "rules/layout.h"
#include "rules/readaloud.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>

class PracticeRules : public QObject
{
    Q_OBJECT
    QString table;

private slots:
    void initTestCase() { table = resources::syllableTable(); }

    void itemList()
    {
        QCOMPARE(deck::itemList(QStringLiteral("人 口 手")), (QStringList {"", "人", "口", "手"}));
        QCOMPARE(deck::itemList(QStringLiteral("a  b")).size() - 1, 3);
        QCOMPARE(deck::itemList(QStringLiteral(" ")).size() - 1, 2);
        QCOMPARE(deck::itemList(QString()).size() - 1, 1);
        // Line breaks are not separators.
        QCOMPARE(deck::itemList(QStringLiteral("a\r\nb")).size() - 1, 1);
    }

    void itemIndexIsTheItemList()
    {
        // The compact index gives every slot the list gives, at the edges too.
        for (const QString &bank :
             {QStringLiteral("人 口 手"), QStringLiteral("a  b"), QStringLiteral(" "), QString(),
              QStringLiteral(" 天 "), QStringLiteral("a\r\nb  "), QStringLiteral("  x")}) {
            const QStringList list = deck::itemList(bank);
            const deck::ItemIndex index(bank);
            QCOMPARE(index.size(), list.size());
            for (qsizetype i = 1; i < list.size(); ++i)
                QCOMPARE(index.at(i), list.at(i));
            QVERIFY(index.at(list.size()).isEmpty());
        }
    }

    void formsAndClassification()
    {
        QCOMPARE(deck::normalizedForm(QStringLiteral("ga")), QStringLiteral("ɡɑ"));
        QCOMPARE(deck::normalizedForm(QStringLiteral("b-a")), QStringLiteral("b-ɑ"));
        QCOMPARE(deck::displayForm(QStringLiteral("b-ɑ")), QStringLiteral("b ɑ"));
        QCOMPARE(deck::normalizedForm(QStringLiteral("GA")), QStringLiteral("GA"));
        QVERIFY(deck::isChinese(QStringLiteral("ɑ字")));
        QVERIFY(!deck::isChinese(QStringLiteral("ɑnɡ")));
        QVERIFY(!deck::isChinese(QString()));
        QVERIFY(!deck::isChinese(QStringLiteral("\u9FA6\u4DFF"))); // just outside the range
    }

    void baseFontSizes_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("size");
        QTest::newRow("one character") << "人" << 240;
        QTest::newRow("two characters") << "人口" << 210;
        QTest::newRow("eight characters") << "一二三四五六七八" << 30;
        QTest::newRow("nine characters") << "一二三四五六七八九" << 40;
        QTest::newRow("ü") << "ü" << 230;
        QTest::newRow("ɑnɡ") << "ɑnɡ" << 204;
        QTest::newRow("b-ɑ") << "b-ɑ" << 204;
        QTest::newRow("empty") << "" << 243;
        QTest::newRow("18 letters") << QString(18, QLatin1Char('b')) << 9;
        QTest::newRow("19 letters") << QString(19, QLatin1Char('b')) << 40;
        QTest::newRow("mixed") << "ɑ字" << 210;
    }
    void baseFontSizes()
    {
        QFETCH(QString, item);
        QFETCH(int, size);
        QCOMPARE(deck::baseFontSizeFor(item), size);
    }

    void halving()
    {
        QCOMPARE(layout::halfOf(3675), 1837);
        QCOMPARE(layout::halfOf(-101), -50);
        QCOMPARE(layout::halfOf(2.5), 1); // 2.5 rounds to 2
        QCOMPARE(layout::halfOf(3.5), 2); // 3.5 rounds to 4
        QCOMPARE(layout::halfOf(-3), -1);
        QCOMPARE(layout::halfOf(0), 0);
    }

    void fitRatio()
    {
        // Design size: the width ratio 1 wins over 7695/6895.
        QCOMPARE(layout::fitRatio(7695, 12450, 6895, 12450), 1.0);
        // Half the width halves the item.
        QCOMPARE(layout::fitRatio(7695, 6225, 6895, 12450), 0.5);
        // Only lower: the height ratio takes over once it is below the width ratio.
        QCOMPARE(layout::fitRatio(3447.5, 12450, 6895, 12450), 0.5);
        // Wider never enlarges beyond the height, and the reverse.
        QCOMPARE(layout::fitRatio(6895, 24900, 6895, 12450), 1.0);
        QCOMPARE(layout::fitRatio(13790, 12450, 6895, 12450), 1.0);
        QCOMPARE(layout::fitRatio(7695, 0, 6895, 12450), 0.0);
    }

    void resizeAtDesignSize()
    {
        layout::ResizeInput in;
        in.scaleWidth = 12450;
        in.scaleHeight = 7695;
        in.lblShuomingWidth = 840;
        in.lblAboutWidth = 420;
        in.label4Width = 1200;
        const layout::ResizeResult r = layout::resize(in);
        QVERIFY(r.complete);
        QCOMPARE(r.lblBackWidth, 12450.f);
        QCOMPARE(r.lblBackHeight, 6000.f);
        QCOMPARE(r.picture1Left, 1837.f);
        QCOMPARE(r.picture1Top, 6900.f);
        QCOMPARE(r.image3Left, 6120.f);
        QCOMPARE(r.image3Top, 6650.f);
        QCOMPARE(r.lblShuomingLeft, 10890.f);
        QCOMPARE(r.lblAboutLeft, 11895.f);
        QCOMPARE(r.label4Left, 10590.f - 1200.f);
    }

    void resizeTooLow()
    {
        layout::ResizeInput in;
        in.scaleWidth = 5000;
        in.scaleHeight = 1694;
        const layout::ResizeResult r = layout::resize(in);
        QVERIFY(!r.complete);
        QCOMPARE(r.lblBackWidth, 5000.f);
        in.scaleHeight = 1695;
        QVERIFY(layout::resize(in).complete);
        // Positions may go negative when the window is narrow.
        in.scaleWidth = 100;
        QVERIFY(layout::resize(in).picture1Left < 0);
    }

    void syllableTableText()
    {
        QCOMPARE(table.size(), 9460);
        QVERIFY(table.startsWith(QStringLiteral("ɑ啊\r\n")));
        QVERIFY(table.endsWith(QStringLiteral("\r\nzuo作")));
        const QStringList lines = table.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 1539);
        QCOMPARE(table.count(QLatin1Char('\n')), 1538);
        QCOMPARE(table.count(QLatin1Char('\r')), 1538);
        QCOMPARE(lines.at(53), QStringLiteral("ā阿")); // line 54
        QCOMPARE(lines.at(1351), QStringLiteral("zuò作")); // line 1352
        QCOMPARE(lines.at(1352), QStringLiteral("bɑ吧")); // line 1353
        QVERIFY(lines.contains(QStringLiteral("línɡ\"")));
        for (const char *k : {"ang肮", "eng鞥", "ing英", "ong勇"})
            QVERIFY(lines.mid(0, 53).contains(QString::fromUtf8(k)));
        const int fen = int(lines.indexOf(QStringLiteral("fen分")));
        QVERIFY(fen > 1352);
        QCOMPARE(lines.at(fen + 1), QStringLiteral("enɡ缝"));
    }

    void syllableLookups_data()
    {
        QTest::addColumn<QString>("syllable");
        QTest::addColumn<QString>("character");
        QTest::newRow("b") << "b"
                           << "播";
        QTest::newRow("ɑ skips line 1") << "ɑ"
                                        << "阿";
        QTest::newRow("zh") << "zh"
                            << "知";
        QTest::newRow("yue") << "yue"
                             << "约";
        QTest::newRow("ōu inside ɡōu") << "ōu"
                                       << "沟";
        QTest::newRow("onɡ inside ɡonɡ") << "onɡ"
                                         << "公";
        QTest::newRow("ɑnɡ") << "ɑnɡ"
                             << "";
        QTest::newRow("inɡ") << "inɡ"
                             << "";
        QTest::newRow("ɑi") << "ɑi"
                            << "";
        QTest::newRow("z") << "z"
                           << "";
        QTest::newRow("c") << "c"
                           << "";
        QTest::newRow("s") << "s"
                           << "";
        QTest::newRow("línɡ") << "línɡ"
                              << "";
        QTest::newRow("B") << "B"
                           << "播";
        QTest::newRow("empty") << ""
                               << "啊";
    }
    void syllableLookups()
    {
        QFETCH(QString, syllable);
        QFETCH(QString, character);
        QCOMPARE(readaloud::lookupSyllable(syllable, table), character);
    }

    void spokenTexts()
    {
        QCOMPARE(readaloud::textToSpeak(QStringLiteral("b p m f"), table), QStringLiteral("播泼摸佛"));
        QCOMPARE(readaloud::textToSpeak(QStringLiteral("bā hā"), table), QStringLiteral("八哈"));
        QCOMPARE(readaloud::textToSpeak(QStringLiteral("bā  hā"), table), QStringLiteral("八啊哈"));
        QCOMPARE(readaloud::textToSpeak(QStringLiteral("天地"), table), QStringLiteral("天地"));
        QCOMPARE(readaloud::textToSpeak(QStringLiteral("天ɑ"), table), QStringLiteral("天ɑ"));
        // Brackets in a syllable shift the pattern's group: nothing but a
        // representative character is ever sent.
        QCOMPARE(readaloud::textToSpeak(QStringLiteral("zo (K[[[[[["), table), QString());
        QCOMPARE(readaloud::textToSpeak(QStringLiteral("7"), table), QString());
        QVERIFY(readaloud::textToSpeak(QStringLiteral("7"), table).has_value());
        // An item that breaks the pattern is not spoken at all.
        QVERIFY(!readaloud::textToSpeak(QStringLiteral("mɑ("), table).has_value());
        QVERIFY(!readaloud::textToSpeak(QStringLiteral("b [x"), table).has_value());
    }

    void ttsRequest()
    {
        QCOMPARE(
            readaloud::ttsRequest(QStringLiteral("http://h/"), modPub::urlEncode(QStringLiteral("天"))),
            QStringLiteral("http://h/text2audio?tex=%E5%A4%A9&cuid=dict&lan=ZH&ctp=1&pdt=30&vol=8&spd=5"));
        QCOMPARE(readaloud::ttsRequest(QStringLiteral("http://h/"), QString()),
                 QStringLiteral("http://h/text2audio?tex=&cuid=dict&lan=ZH&ctp=1&pdt=30&vol=8&spd=5"));
    }
};

LORVANTA_TEST_MAIN(PracticeRules, QCoreApplication)
#include "practice_rules.moc"
