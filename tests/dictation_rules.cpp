// 听写 rules without a window: the schedule on a fake clock, the items of a
// run, the stored options, the tile numbers, the mistake book and the record.
#include "core/settings.h"
#include "core/textutil.h"
#include "rules/dictation.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMap>
#include <QSettings>

using namespace dictation;
using Phase = Schedule::Phase;

namespace {
std::optional<Reading> at(int item, int repeat) { return Reading {item, repeat}; }
} // namespace

class DictationRules : public QObject
{
    Q_OBJECT

private slots:
    void timedRun()
    {
        // Two items, read twice, 2 s between readings, 8 s to write.
        Schedule s(2, 2, 2000, 8000, false);
        QCOMPARE(s.due(0), std::nullopt); // nothing before the start
        QCOMPARE(s.start(0), at(0, 1));
        QCOMPARE(s.start(5), std::nullopt);
        QCOMPARE(s.phase(), Phase::Speaking);
        QCOMPARE(s.nextDue(), Schedule::speakingLimitMs);
        // The pause counts from the end of the sound, not from the request.
        s.soundEnded(1200);
        QCOMPARE(s.phase(), Phase::BetweenReadings);
        QCOMPARE(s.nextDue(), 3200);
        QCOMPARE(s.due(3199), std::nullopt);
        QCOMPARE(s.due(3200), at(0, 2));
        s.soundEnded(4000);
        QCOMPARE(s.phase(), Phase::Writing);
        QCOMPARE(s.progress(), 0.5);
        QCOMPARE(s.due(11999), std::nullopt);
        QCOMPARE(s.due(12000), at(1, 1));
        QCOMPARE(s.reached(), 2);
        s.soundEnded(13000);
        QCOMPARE(s.due(15000), at(1, 2));
        s.soundEnded(16000);
        // Writing time after the last item, then the end.
        QCOMPARE(s.due(24000), std::nullopt);
        QVERIFY(s.finished());
        QCOMPARE(s.nextDue(), -1);
        QCOMPARE(s.progress(), 1.0);
        QCOMPARE(s.repeatNow(25000), std::nullopt);
    }

    void soundThatNeverEnds()
    {
        // No end of the sound is heard: the run goes on after the limit,
        // with the pause counted from then.
        Schedule s(1, 2, 1000, 1000, false);
        s.start(0);
        QCOMPARE(s.due(Schedule::speakingLimitMs - 1), std::nullopt);
        QCOMPARE(s.due(Schedule::speakingLimitMs), std::nullopt);
        QCOMPARE(s.phase(), Phase::BetweenReadings);
        QCOMPARE(s.due(Schedule::speakingLimitMs + 1000), at(0, 2));
        // A zero pause reads the next time at once, within the same call.
        Schedule z(1, 3, 0, 1000, false);
        z.start(0);
        QCOMPARE(z.due(Schedule::speakingLimitMs), at(0, 2));
    }

    void keysDuringRun()
    {
        Schedule s(3, 2, 2000, 8000, false);
        s.start(0);
        // R during the pause: read again, the second reading still follows.
        s.soundEnded(1000);
        QCOMPARE(s.repeatNow(1500), at(0, 1));
        s.soundEnded(2500);
        QCOMPARE(s.due(4500), at(0, 2));
        // R while writing: read again and the writing time starts anew.
        s.soundEnded(5000);
        QCOMPARE(s.repeatNow(9000), at(0, 2));
        s.soundEnded(10000);
        QCOMPARE(s.nextDue(), 18000);
        // Right at once, Left back to the item before, Left at the first reads it again.
        QCOMPARE(s.forward(11000), at(1, 1));
        QCOMPARE(s.forward(11100), at(2, 1));
        QCOMPARE(s.reached(), 3);
        QCOMPARE(s.back(11200), at(1, 1));
        QCOMPARE(s.back(11300), at(0, 1));
        QCOMPARE(s.back(11400), at(0, 1));
        QCOMPARE(s.reached(), 3);
        QCOMPARE(s.forward(11500), at(1, 1));
        QCOMPARE(s.forward(11600), at(2, 1));
        QCOMPARE(s.forward(11700), std::nullopt);
        QVERIFY(s.finished());
    }

    void pauseAndResume()
    {
        Schedule s(2, 1, 2000, 8000, false);
        s.start(0);
        s.soundEnded(1000); // writing until 9000
        s.pause(4000);
        QVERIFY(s.paused());
        QCOMPARE(s.nextDue(), -1);
        QCOMPARE(s.due(60000), std::nullopt);
        // What was left of the writing time goes on after the pause.
        QCOMPARE(s.resume(100000), std::nullopt);
        QCOMPARE(s.nextDue(), 105000);
        QCOMPARE(s.due(105000), at(1, 1));
        // A pause cuts the reading off: resuming reads it from its start.
        s.pause(105500);
        s.soundEnded(105600); // the cut-off sound ending changes nothing
        QCOMPARE(s.phase(), Phase::Speaking);
        QCOMPARE(s.resume(200000), at(1, 1));
        QCOMPARE(s.resume(200001), std::nullopt);
        // A step while paused goes on unpaused.
        s.pause(200100);
        QCOMPARE(s.back(200200), at(0, 1));
        QVERIFY(!s.paused());
    }

    void manualAndEmpty()
    {
        Schedule s(2, 2, 1000, 8000, true);
        s.start(0);
        s.soundEnded(500);
        QCOMPARE(s.due(1500), at(0, 2)); // readings still come by themselves
        s.soundEnded(2000);
        QCOMPARE(s.phase(), Phase::WaitingForParent);
        QCOMPARE(s.nextDue(), -1);
        QCOMPARE(s.due(1000000), std::nullopt);
        QCOMPARE(s.forward(1000000), at(1, 1));

        Schedule none(0, 2, 1000, 1000, false);
        QCOMPARE(none.start(0), std::nullopt);
        QVERIFY(none.finished());
    }

    void itemsOfARun()
    {
        // Slots: "", 人, 口, "", 手, 口, b-a, "天\r\n地", ga
        const QString bank = QStringLiteral("人 口  手 口 b-a 天\r\n地 ga");
        QCOMPARE(runItems(bank, Order::InOrder, 1, true),
                 (QStringList {"人", "口", "手", "b-ɑ", "天", "地", "ɡɑ"}));
        QCOMPARE(runItems(bank, Order::InOrder, 1, false), (QStringList {"人", "口", "手", "天", "地"}));
        // From the shown slot (the empty one) to the end; 口 came before it.
        QCOMPARE(runItems(bank, Order::FromShown, 3, true),
                 (QStringList {"手", "口", "b-ɑ", "天", "地", "ɡɑ"}));
        QCOMPARE(runItems(bank, Order::FromShown, 99, true), QStringList());
        QCOMPARE(runItems(QString(), Order::InOrder, 1, true), QStringList());
        modPub::seedShuffle(7);
        QStringList shuffled = runItems(bank, Order::Shuffled, 1, true);
        QStringList sorted = runItems(bank, Order::InOrder, 1, true);
        std::sort(shuffled.begin(), shuffled.end());
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(shuffled, sorted);
    }

    void storedOptions()
    {
        QMap<QString, QString> stored {{"order", "4"},  {"repeats", "3"}, {"pause", "1"},
                                       {"write", "300"}, {"manual", "1"}, {"pinyin", "0"},
                                       {"words", "2"},   {"last", "999"}};
        Settings s = Settings::fromValues([&](const QString &k) { return stored.value(k); });
        QCOMPARE(s.order, Order::Picked);
        QCOMPARE(s.repeats, 3);
        QCOMPARE(s.pauseSeconds, 1);
        QCOMPARE(s.writeSeconds, 300);
        QVERIFY(s.manual && !s.pinyin);
        QCOMPARE(s.words, WordMode::WordOnly);
        QCOMPARE(s.lastCount, 999);
        // Out of range (a pause under a second runs the readings into one),
        // not numbers, a greyed check box: each value falls back alone.
        stored = {{"order", "5"}, {"repeats", "-1"}, {"pause", "0"},  {"write", "0"},
                  {"manual", "2"}, {"pinyin", "yes"}, {"words", "3"}, {"last", "0"}};
        QCOMPARE(Settings::fromValues([&](const QString &k) { return stored.value(k); }), Settings());
        stored = {{"pause", "99999999999"}, {"last", "1000"}};
        QCOMPARE(Settings::fromValues([&](const QString &k) { return stored.value(k); }), Settings());
        stored = {{"repeats", "4"}, {"write", "8 s"}};
        QCOMPARE(Settings::fromValues([&](const QString &k) { return stored.value(k); }), Settings());

        // Through the settings store, section "dictation".
        s.save();
        QCOMPARE(Settings::load(), s);
        QCOMPARE(modPub::getSetting(QStringLiteral("dictation"), QStringLiteral("manual")),
                 QStringLiteral("1"));

        // A store whose lock cannot be taken: the section gives up in one short
        // wait and keeps what it held.
        const QString lock = testsupport::settingsFile() + QStringLiteral(".lock");
        QVERIFY(QDir().mkpath(lock));
        QElapsedTimer t;
        t.start();
        Settings().save();
        QVERIFY2(t.elapsed() < 2 * modPub::settingsLockWaitMs, qPrintable(QString::number(t.elapsed())));
        QVERIFY(QDir(lock).removeRecursively());
        QCOMPARE(Settings::load(), s);
    }

    void tileNumbers()
    {
        NumberEntry n;
        QCOMPARE(n.feed(3, 0, 20), std::optional<int>(3)); // 30 is no tile: taken at once
        QCOMPARE(n.feed(1, 100, 20), std::nullopt); // 1 or 1x
        QCOMPARE(n.nextDue(), 100 + NumberEntry::waitMs);
        QCOMPARE(n.feed(2, 300, 20), std::optional<int>(12));
        QCOMPARE(n.feed(1, 400, 20), std::nullopt);
        QCOMPARE(n.due(400 + NumberEntry::waitMs - 1), std::nullopt);
        QCOMPARE(n.due(400 + NumberEntry::waitMs), std::optional<int>(1));
        QCOMPARE(n.nextDue(), -1);
        // "2" then "5" of 20: 25 is no tile, the 5 is tile 5.
        QCOMPARE(n.feed(2, 2000, 20), std::nullopt);
        QCOMPARE(n.feed(5, 2100, 20), std::optional<int>(5));
        // No tile 0, none beyond the count.
        QCOMPARE(n.feed(0, 3000, 20), std::nullopt);
        QCOMPARE(n.feed(7, 3100, 5), std::nullopt);
        QCOMPARE(n.feed(5, 3200, 5), std::optional<int>(5));
        QCOMPARE(n.nextDue(), -1);
    }

    void mistakeBook()
    {
        // A hand-edited book: line breaks, a repeat, ASCII letters.
        const QString book = QStringLiteral("天 地\r\n人  天 ga");
        QCOMPARE(bookItems(book), (QStringList {"天", "地", "人", "ɡɑ"}));
        QCOMPARE(mergeMistakes(book, {"地", "ɡɑ", "口", "b-a", "口"}), QStringLiteral("天 地 人 ɡɑ 口 b-ɑ"));
        QCOMPARE(mergeMistakes(QString(), {"口"}), QStringLiteral("口"));
        QCOMPARE(scoreText(17, 3), QStringLiteral("对 17 个，错 3 个"));
    }

    void record()
    {
        Record r;
        r.when = QDateTime(QDate(2026, 12, 9), QTime(19, 30));
        r.total = 20;
        r.wrong = QStringList {"天", "地", "b-ɑ"};
        const QString line = recordLine(r);
        QCOMPARE(line, QStringLiteral("2026-12-09 19:30 共 20 个，对 17 个，错 3 个：天 地 b-ɑ"));
        QCOMPARE(parseRecordLine(line), std::optional<Record>(r));
        Record none = r;
        none.wrong.clear();
        QCOMPARE(recordLine(none), QStringLiteral("2026-12-09 19:30 共 20 个，对 20 个，错 0 个"));
        // Counts that do not add up, or no date: no record.
        QCOMPARE(parseRecordLine(QStringLiteral("2026-12-09 19:30 共 20 个，对 18 个，错 3 个：天 地 b-ɑ")),
                 std::nullopt);
        QCOMPARE(parseRecordLine(QStringLiteral("2026-13-40 19:30 共 1 个，对 1 个，错 0 个")), std::nullopt);

        QString file = appendRecordLine(QString(), recordLine(none));
        file = appendRecordLine(file, QStringLiteral("hand-written note"));
        file = appendRecordLine(file, line);
        QCOMPARE(file.count(QStringLiteral("\r\n")), 2);
        const QList<Record> last = lastRecords(file, 5);
        QCOMPARE(last.size(), 2);
        QCOMPARE(last.first(), r); // newest first
        QCOMPARE(lastRecords(file, 1).size(), 1);
    }
};

LORVANTA_TEST_MAIN(DictationRules, QCoreApplication)
#include "dictation_rules.moc"
