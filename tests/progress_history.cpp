// The history of dictation and writing: its lines, what a parent is told
// from them, and the files it and the mistake book live in.
#include "core/bankfile.h"
#include "progress/progressfiles.h"
#include "rules/dictation.h"
#include "rules/history.h"
#include "tests/support/fulldisk.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>

#include <csignal>

using history::Activity;
using history::Entry;
using history::History;
using testsupport::fileBytes;
using testsupport::writeBytes;

namespace {
QDateTime at(int day, int hour, int minute = 0, int second = 0)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute, second));
}

// One dictation: items with a 错 marker prefixed by "!".
QList<Entry> run(const QDateTime &when, const QStringList &items)
{
    QList<Entry> out;
    for (const QString &i : items)
        out << Entry {when, Activity::Dictation, i.startsWith(u'!') ? i.mid(1) : i, !i.startsWith(u'!')};
    return out;
}

QString linesOf(const QList<Entry> &entries)
{
    QStringList lines;
    for (const Entry &e : entries)
        lines << history::entryLine(e);
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}
} // namespace

class TestProgressHistory : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { modPub::setBankDirOverride(dir.path()); }

    void linesReadBackAndHandEditsArePassedOver()
    {
        const Entry dictated {at(9, 19, 30, 5), Activity::Dictation, QStringLiteral("天"), false};
        const Entry written {at(9, 19, 41, 12), Activity::Writing, QStringLiteral("地"), true, 6, 5};
        QCOMPARE(history::entryLine(dictated), QStringLiteral("2026-12-09 19:30:05\t听写\t天\t错"));
        QCOMPARE(history::entryLine(written), QStringLiteral("2026-12-09 19:41:12\t练写\t地\t5/6\t对"));
        QCOMPARE(history::parseEntryLine(history::entryLine(written)), written);
        const QString text = history::entryLine(dictated) + QStringLiteral("\r\n")
            + QStringLiteral("家长写的一句话\r\n"
                             "2026-13-01 10:00:00\t听写\t人\t对\r\n" // no such month
                             "2026-12-09 19:50:00\t练写\t人\t7/6\t对\r\n" // more right than strokes
                             "2026-12-09 19:50:00\t听写\t人\t也许\r\n"
                             "\r\n")
            + history::entryLine(written) + QStringLiteral("\r\n2026-12-09 20:00:00\t听") // cut off
            ;
        const History h = History::parse(text);
        QCOMPARE(h.entries(), (QList<Entry> {dictated, written}));
        // The last line, cut off without its end, is a stopped write: not named.
        QCOMPARE(h.badLines(), (QList<int> {2, 3, 4, 5}));
        QCOMPARE(h.badLinesText(), QStringLiteral("学习记录.txt 有 4 行看不懂，没有用上：第 2、3、4、5 行。"));
    }

    void aRunMarkedAgainCountsOnce()
    {
        // The first marks, a written character, then the same run marked again.
        QList<Entry> all = run(at(1, 19), {"天", "!地"});
        all << Entry {at(1, 19, 5), Activity::Writing, QStringLiteral("人"), true, 2, 2};
        all += run(at(1, 19), {"天", "地"});
        const History h = History::parse(linesOf(all));
        const QList<History::Run> runs = h.dictations();
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs.first().total, 2);
        QCOMPARE(runs.first().right, 2);
        QCOMPARE(h.wrongCount(QStringLiteral("地")), 0);
        // Added in memory the same way.
        History mem;
        mem.add(run(at(1, 19), {"天", "!地"}));
        mem.add(run(at(1, 19), {"天", "地"}));
        QCOMPARE(mem.dictations().first().right, 2);
    }

    void whatTheParentIsTold()
    {
        History h;
        h.add(run(at(1, 19), {"天", "!地", "!人", "ɑ"}));
        h.add({Entry {at(2, 18), Activity::Writing, QStringLiteral("人"), false, 2, 0}});
        h.add(run(at(2, 19), {"天", "地", "!你"}));
        h.add(run(at(8, 19), {"地", "!天"}));
        h.add(run(at(9, 19), {"地", "你"}));
        // 地 wrong once, then right three times; 天 wrong last; 人 never dictated since.
        QCOMPARE(h.rightInARow(QStringLiteral("地")), 3);
        QCOMPARE(h.rightInARow(QStringLiteral("天")), 0);
        QCOMPARE(h.rightInARow(QStringLiteral("ɑ")), 1);
        const QStringList book = {"人", "地", "天", "你", "ɑ"};
        QCOMPARE(h.mastered(book, 3), QStringList {QStringLiteral("地")});
        QCOMPARE(h.mastered(book, 4), QStringList());
        QCOMPARE(h.mastered(book, 1), (QStringList {"地", "你", "ɑ"}));
        // 人: wrong in dictation and written with help; ties go to the later mistake.
        QCOMPARE(h.mostOftenWrong(3), (QList<History::Count> {{"人", 2}, {"天", 1}, {"你", 1}}));
        QCOMPARE(h.mostOftenWrong(10).size(), 4);
        const QDateTime week = history::periodStart(history::Period::Week, at(9, 20));
        QCOMPARE(week, at(7, 0)); // 2026-12-07 is a Monday
        QCOMPARE(history::periodStart(history::Period::Month, at(9, 20)), at(1, 0));
        QCOMPARE(h.dictations(week).size(), 2);
        QCOMPARE(h.dictations().first().share(), 0.5);
        QCOMPARE(h.mostOftenWrong(10, week), (QList<History::Count> {{"天", 1}}));
        QCOMPARE(h.dictatedAtLeastOnce({"天", "地", "山", "人"}), 3);
        QCOMPARE(h.dictatedAtLeastOnce({"天", "地", "山", "人"}, week), 2);
        const QList<History::Day> days = h.writingPerDay();
        QCOMPARE(days.size(), 1);
        QCOMPARE(days.first().date, QDate(2026, 12, 2));
        QCOMPARE(days.first().characters, 1);
        QCOMPARE(days.first().right, 0);
        QVERIFY(h.writingPerDay(week).isEmpty());
        QCOMPARE(history::masteredQuestion({"地", "你"}, 3),
                 QStringLiteral("这些已经连续写对 3 次，可以从错字本里去掉：地 你"));
    }

    void historyFileIsAppendedAndBookLetsGo()
    {
        const QString path = progressfiles::historyPath();
        QVERIFY(writeBytes(path, QByteArray("2026-12-01 19:00:00\t\xcc\xfd\xd0\xb4\t\xcc\xec\t\xb4\xed\r\n")));
        keptfile::Appended block;
        QCOMPARE(progressfiles::appendEntries(run(at(2, 19), {"天", "!地"}), block), QString());
        // Marked again while still the file's end: replaced, not repeated.
        QCOMPARE(progressfiles::appendEntries(run(at(2, 19), {"天", "地"}), block), QString());
        QString why;
        History h = progressfiles::readHistory(&why);
        QCOMPARE(why, QString());
        QCOMPARE(h.entries().size(), 3);
        QCOMPARE(QString::fromUtf8(fileBytes(path)).count(u'\n'), 3);
        QCOMPARE(h.rightInARow(QStringLiteral("天")), 1);

        // The book stays in its encoding (UTF-8 here) and loses only what was asked.
        const QString book = progressfiles::mistakeBookPath();
        QVERIFY(writeBytes(book, QStringLiteral("天 地  人\r\n").toUtf8()));
        QCOMPARE(progressfiles::removeFromMistakeBook({"地", "山"}), QString());
        QCOMPARE(fileBytes(book), QStringLiteral("天 人\r\n").toUtf8());
        const QByteArray before = fileBytes(book);
        QCOMPARE(progressfiles::removeFromMistakeBook({"山"}), QString());
        QCOMPARE(fileBytes(book), before);
        // A history that is a link to the bank is never written.
        QFile::remove(path);
        QVERIFY(writeBytes(modPub::bankPath(), QByteArray("abc\r\n")));
        QVERIFY(QFile::link(modPub::bankPath(), path));
        keptfile::Appended none;
        QVERIFY(progressfiles::appendEntries(run(at(3, 19), {"天"}), none).contains(QStringLiteral("生字库")));
        QCOMPARE(fileBytes(modPub::bankPath()), QByteArray("abc\r\n"));
        QFile::remove(path);

        // The setting: 2 to 5, anything else its default.
        const auto mastered = [](const char *v) {
            return dictation::Settings::fromValues([v](const QString &key) {
                       return key == u"mastered" ? QString::fromLatin1(v) : QString();
                   })
                .masteredAfter;
        };
        QCOMPARE(mastered(" 2 "), 2);
        QCOMPARE(mastered("6"), 3);
        QCOMPARE(mastered("x"), 3);
    }

    void fullDiskLeavesTheHistoryWhole()
    {
        testsupport::FullDisk disk;
        if (!disk.mounted())
            QSKIP("mounting a small tmpfs is not allowed here (needs root)");
        modPub::setBankDirOverride(disk.path());
        const auto back = qScopeGuard([this] { modPub::setBankDirOverride(dir.path()); });
        keptfile::Appended block;
        QCOMPARE(progressfiles::appendEntries(run(at(1, 19), {"天"}), block), QString());
        const QByteArray before = fileBytes(progressfiles::historyPath());
        QVERIFY(disk.fill());
        QStringList many;
        for (int i = 0; i < 400; ++i)
            many << QStringLiteral("天");
        keptfile::Appended next;
        QVERIFY(progressfiles::appendEntries(run(at(2, 19), many), next).contains(QStringLiteral("磁盘已满")));
        QCOMPARE(fileBytes(progressfiles::historyPath()), before);
        QCOMPARE(progressfiles::readHistory().entries().size(), 1);
    }

    void killedWhileWritingLeavesNoHalfEntry()
    {
        // The writer appends runs of 200 lines as fast as it can and is
        // killed at a random moment, eight times over the same files.
        QTemporaryDir folder;
        const QString bank = folder.filePath(modPub::bankFileName());
        const QString book = folder.filePath(keptfile::mistakeBookName());
        QVERIFY(writeBytes(bank, QByteArray("\xcc\xec \xb5\xd8\r\n")));
        QVERIFY(writeBytes(book, QByteArray("\xb5\xd8\r\n")));
        const QString historyFile = folder.filePath(keptfile::historyName());
        int written = 0;
        for (int round = 0; round < 8; ++round) {
            QProcess writer;
            writer.start(QStringLiteral(LORVANTA_HISTORY_WRITER), {folder.path(), QString::number(round * 1000000)});
            QVERIFY(writer.waitForStarted());
            QVERIFY(writer.waitForReadyRead(5000));
            QTest::qWait(int(QRandomGenerator::global()->bounded(5, 60)));
            ::kill(pid_t(writer.processId()), SIGKILL);
            QVERIFY(writer.waitForFinished(5000));
            const QList<QByteArray> counts = writer.readAllStandardOutput().split('\n');
            written += counts.size() >= 2 ? counts.at(counts.size() - 2).toInt() : 0;
            const QString text = modPub::decodeGbk(fileBytes(historyFile));
            const History h = History::parse(text);
            QCOMPARE(h.badLines(), QList<int>());
            // Whole lines only; of the run cut off, the lines written whole.
            QVERIFY(h.entries().size() >= qsizetype(written) * 200);
            QVERIFY(h.entries().size() <= qsizetype(written + round + 1) * 200);
        }
        QVERIFY(written > 0);
        // A run cut off in the middle of a line is taken back by the next lines written.
        QVERIFY(writeBytes(historyFile, fileBytes(historyFile) + QByteArray("2026-12-01 19:00:00\t\xcc")));
        modPub::setBankDirOverride(folder.path());
        const auto back = qScopeGuard([this] { modPub::setBankDirOverride(dir.path()); });
        const qsizetype before = History::parse(modPub::decodeGbk(fileBytes(historyFile))).entries().size();
        keptfile::Appended block;
        QCOMPARE(progressfiles::appendEntries(run(at(20, 19), {"天"}), block), QString());
        const History after = History::parse(modPub::decodeGbk(fileBytes(historyFile)));
        QCOMPARE(after.badLines(), QList<int>());
        QCOMPARE(after.entries().size(), before + 1);
        QCOMPARE(fileBytes(bank), QByteArray("\xcc\xec \xb5\xd8\r\n"));
        QCOMPARE(fileBytes(book), QByteArray("\xb5\xd8\r\n"));
    }
};

LORVANTA_TEST_MAIN(TestProgressHistory, QCoreApplication)
#include "progress_history.moc"
