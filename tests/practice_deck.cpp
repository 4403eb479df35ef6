// The practice deck without its window: the position at the edges of a deck
// that shrinks under it, and what deleting from a deck of mistakes writes.
#include "core/bankfile.h"
#include "practice/practicedeck.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>

class PracticeDeckTest : public QObject
{
    Q_OBJECT
private slots:
    void positionAtTheEdges()
    {
        PracticeDeck d;
        d.loadBank(QStringLiteral("天 地 人"));
        QCOMPARE(d.settle(), QStringLiteral("天"));
        QVERIFY(!d.canGoBack() && d.canGoOn());
        d.next();
        d.next();
        QCOMPARE(d.settle(), QStringLiteral("人"));
        QVERIFY(d.canGoBack() && !d.canGoOn());
        QCOMPARE(d.counterCaption(), QStringLiteral("我的生字库 3/3"));
        // Two items taken away elsewhere: the position comes back to the last.
        d.setText(QStringLiteral("ɡe"));
        QCOMPARE(d.settle(), QStringLiteral("ɡe"));
        QCOMPARE(d.index(), 1);
        d.newRound(false);
        QCOMPARE(d.settle(), std::nullopt);
        d.next();
        QCOMPARE(d.settle(), QStringLiteral("ɡe"));
        // The bank after the editor: the same text needs no reloading.
        QVERIFY(!d.bankChangedTo(QStringLiteral("ɡe")));
        QVERIFY(d.bankChangedTo(QStringLiteral("ɡe 天")));
    }

    void deletingFromDecksOfMistakes()
    {
        QTemporaryDir dir;
        modPub::setBankDirOverride(dir.path());
        modPub::writeTextFile(modPub::bankPath(), QStringLiteral("天 地"), true);
        const QByteArray bank = testsupport::fileBytes(modPub::bankPath());

        // One run's mistakes live in memory only.
        PracticeDeck d;
        d.loadMistakes({QStringLiteral("天"), QStringLiteral("地")}, QStringLiteral("听写错字"), QString());
        QCOMPARE(d.deletionSource(), QStringLiteral("这次听写的错字"));
        QVERIFY(d.remove(QStringLiteral("天")));
        QCOMPARE(d.text(), QStringLiteral("地"));
        QCOMPARE(d.counterCaption(), QStringLiteral("听写错字 1/1"));

        // A book that cannot be read as one keeps the deck whole, and the bank.
        const QString book = dir.filePath(QStringLiteral("错字本.txt"));
        QVERIFY(QDir().mkpath(book));
        d.loadMistakes({QStringLiteral("天"), QStringLiteral("地")}, QStringLiteral("错字本"), book);
        QCOMPARE(d.deletionSource(), QStringLiteral("错字本"));
        QVERIFY(!d.remove(QStringLiteral("天")));
        QCOMPARE(d.text(), QStringLiteral("天 地"));
        QVERIFY(QDir(book).removeRecursively());
        QVERIFY(modPub::writeTextFile(book, QStringLiteral("天 地 口"), true));
        QVERIFY(d.remove(QStringLiteral("天")));
        QCOMPARE(modPub::readTextFile(book), QStringLiteral("地 口"));
        QCOMPARE(testsupport::fileBytes(modPub::bankPath()), bank);
        modPub::setBankDirOverride(QString());
    }
};

LORVANTA_TEST_MAIN(PracticeDeckTest, QCoreApplication)
#include "practice_deck.moc"
