// The tone table and the rules behind the editor's tone entry and tone commands.
#include "rules/tones.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>

using namespace tones;

class EditorTones : public QObject
{
    Q_OBJECT

private slots:
    void tableOrder()
    {
        const QString t = toneTable();
        QCOMPARE(t, QStringLiteral("ɑāáǎàoōóǒòeēéěèiīíǐìuūúǔùüǖǘǚǜ"));
        QCOMPARE(t.at(0).unicode(), u'\u0251');
        QCOMPARE(t.at(25).unicode(), u'\u00FC');
        QCOMPARE(t.size(), rowCount * rowLength);
    }

    void keySubstitution()
    {
        QCOMPARE(substituteKey(u'a'), u'\u0251');
        QCOMPARE(substituteKey(u'g'), u'\u0261');
        QCOMPARE(substituteKey(u'v'), u'\u00FC');
        for (char16_t k : {u'A', u'G', u'V', u'b', u'0', u'3', u' ', u'\u0251'})
            QCOMPARE(substituteKey(k), char16_t(0));
    }

    void toneDigits()
    {
        QCOMPARE(toneDigitResult(u'\u0251', u'3'), u'ǎ');
        QCOMPARE(toneDigitResult(u'o', u'1'), u'ō');
        QCOMPARE(toneDigitResult(u'e', u'4'), u'è');
        QCOMPARE(toneDigitResult(u'i', u'2'), u'í');
        QCOMPARE(toneDigitResult(u'u', u'3'), u'ǔ');
        QCOMPARE(toneDigitResult(u'\u00FC', u'4'), u'ǜ');
        // A toned vowel changes its tone, 0 takes the mark off, the same digit keeps it.
        QCOMPARE(toneDigitResult(u'ǎ', u'2'), u'á');
        QCOMPARE(toneDigitResult(u'ǎ', u'0'), u'\u0251');
        QCOMPARE(toneDigitResult(u'ǜ', u'0'), u'\u00FC');
        QCOMPARE(toneDigitResult(u'ǐ', u'3'), u'ǐ');
        QCOMPARE(toneDigitResult(u'i', u'0'), u'i');
        // Not a vowel of the table, or not a tone digit: typed as is.
        for (char16_t c : {u'a', u'A', u'v', u'm', u' ', u'一', u'\n', u'3', u'O'})
            QCOMPARE(toneDigitResult(c, u'1'), char16_t(0));
        for (char16_t d : {u'5', u'9', u'x', u'/'})
            QCOMPARE(toneDigitResult(u'\u0251', d), char16_t(0));
    }

    void removeMarks_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("syllables") << "nǐ hǎo lǜ"
                                   << "ni hɑo lü";
        QTest::newRow("collapse") << "mā má mǎ mà"
                                  << "mɑ";
        QTest::newRow("every row") << "āáǎà ōóǒò ēéěè īíǐì ūúǔù ǖǘǚǜ"
                                   << "ɑɑɑɑ oooo eeee iiii uuuu üüüü";
        QTest::newRow("ascii and spaces") << "  ma  gē 天 "
                                          << "mɑ ɡe 天";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("other marks stay") << "ń ǹ Ā"
                                          << "ń ǹ Ā";
    }
    void removeMarks()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(removeToneMarks(in), out);
    }

    void addMarks_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("priority") << "ɑ b ui iu 一"
                                  << "ā á ǎ à b uī uí uǐ uì īu íu ǐu ìu 一";
        QTest::newRow("marks removed first") << "hǎo"
                                             << "hāo háo hǎo hào";
        QTest::newRow("every occurrence") << "mɑ-mɑ"
                                          << "mā-mā má-má mǎ-mǎ mà-mà";
        QTest::newRow("yuan") << "yuɑn"
                              << "yuān yuán yuǎn yuàn";
        QTest::newRow("ascii and repeat") << "ma ma"
                                          << "mā má mǎ mà";
        QTest::newRow("ao ou") << "ɑo ou"
                               << "āo áo ǎo ào ōu óu ǒu òu";
        QTest::newRow("ü") << "lü"
                           << "lǖ lǘ lǚ lǜ";
        QTest::newRow("two lines one item") << "mɑ\nni"
                                            << "mā\nni má\nni mǎ\nni mà\nni";
        QTest::newRow("toned twins collapse") << "mā mà zh"
                                              << "mā má mǎ mà zh";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("no vowel") << "zh ch 天地"
                                  << "zh ch 天地";
    }
    void addMarks()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(addToneMarks(in), out);
    }

    void expandKeepsItemsDistinct()
    {
        // Without the removal first, a marked item can equal a variant of a
        // later one: it is kept once, where it first stands.
        QCOMPARE(tones::expandToneMarks(QStringLiteral("ā ɑ zh")), QStringLiteral("ā á ǎ à zh"));
        QCOMPARE(tones::expandToneMarks(QStringLiteral("ni  ɑ ")), QStringLiteral("nī ní nǐ nì ā á ǎ à"));
    }

    void addTwiceIsStable()
    {
        // Adding again starts from the plain forms: four variants collapse to one, then expand.
        const QString once = addToneMarks(QStringLiteral("mɑ ni"));
        QCOMPARE(addToneMarks(once), once);
    }
};

LORVANTA_TEST_MAIN(EditorTones, QCoreApplication)
#include "editor_tones.moc"
