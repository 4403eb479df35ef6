// 听写: the bank read aloud with the item hidden, then checked by a parent.
// The rules that need no window: which items a run holds, the schedule of the
// readings (driven by times passed in, so that it runs on any clock), the
// score, the mistake book and the lines of the record file.
#pragma once

#include "core/keptfile.h"
#include "core/settingkeys.h"

#include "rules/dictationwords.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace dictation {

// ---- Options (settings section "dictation") ------------------------------

// The whole bank in order or shuffled, from the shown item on, the last N
// items added, or the items ticked in the setup page's list.
enum class Order { InOrder = 0, Shuffled = 1, FromShown = 2, Last = 3, Picked = 4 };

struct Settings {
    Order order = Order(settingkeys::dictationOrder.fallback);
    int repeats = settingkeys::dictationRepeats.fallback; // readings of each item
    int pauseSeconds = settingkeys::dictationPause.fallback; // between two readings of an item
    int writeSeconds = settingkeys::dictationWrite.fallback; // after the last reading, before the next item
    bool manual = settingkeys::dictationManual.fallback; // the parent goes on with Space or Right
    bool pinyin = settingkeys::dictationPinyin.fallback; // pinyin items are dictated too
    WordMode words = WordMode(settingkeys::dictationWords.fallback);
    int lastCount = settingkeys::dictationLast.fallback; // for Order::Last
    // Dictations right in a row after its last mistake that let an item
    // leave the mistake book (the parent is asked).
    int masteredAfter = settingkeys::dictationMastered.fallback;

    static constexpr int maxRepeats = settingkeys::dictationRepeats.high;
    static constexpr int minPauseSeconds = settingkeys::dictationPause.low;
    static constexpr int maxPauseSeconds = settingkeys::dictationPause.high;
    static constexpr int maxLastCount = settingkeys::dictationLast.high;
    static constexpr int maxWriteSeconds = settingkeys::dictationWrite.high;
    static constexpr int minMasteredAfter = settingkeys::dictationMastered.low;
    static constexpr int maxMasteredAfter = settingkeys::dictationMastered.high;

    // Every stored value is checked: anything out of range, not a number, or
    // a check box other than "0" and "1" gives that value's default.
    static Settings fromValues(const std::function<QString(const QString &key)> &stored);
    static Settings load();
    // Empty when saved; otherwise why not.
    QString save() const;
    bool operator==(const Settings &) const = default;
};

// ---- The items of a run ---------------------------------------------------

// The items to dictate, in their normalized form: the bank's items (line
// breaks inside a slot separate items too), each once, pinyin items only when
// asked for. `shownIndex` is the practice window's position (1-based slot),
// used by FromShown; `lastCount` by Last. Picked gives the whole bank, from
// which the parent ticks. Shuffled uses the program's one random source.
QStringList runItems(const QString &bankText, Order order, int shownIndex, bool pinyin, int lastCount = 10);

// ---- The schedule ----------------------------------------------------------

// One reading to start now: item (0-based) and reading of it (1-based).
struct Reading {
    int item = 0;
    int repeat = 1;
    bool operator==(const Reading &) const = default;
};

// The readings of a run as a state machine. Every call gets the time now (ms
// on any monotonic clock) and returns the reading to start at once, if any;
// starting one cuts off whatever was playing. nextDue() tells when to call
// due() again.
class Schedule
{
public:
    enum class Phase {
        Speaking, // a reading is playing; soundEnded() is expected
        BetweenReadings, // the pause before the next reading of the item
        Writing, // the time to write before the next item
        WaitingForParent, // manual: nothing happens until the parent goes on
        Finished,
    };

    // How long a reading may take before the schedule goes on without
    // hearing that it ended (a service that never answers, say).
    static constexpr qint64 speakingLimitMs = 15000;

    Schedule(int itemCount, int repeats, int pauseMs, int writeMs, bool manual);

    std::optional<Reading> start(qint64 now);
    // Whatever is due by now: the next reading, the next item, or the end.
    std::optional<Reading> due(qint64 now);
    // The current reading has been heard, or nothing could be heard of it.
    void soundEnded(qint64 now);
    // Reads the current item again now, then goes on from where it was.
    std::optional<Reading> repeatNow(qint64 now);
    // The next item now; after the last one the run is finished.
    std::optional<Reading> forward(qint64 now);
    // The item before (the first item is read again).
    std::optional<Reading> back(qint64 now);
    // Pausing cuts the reading off; resuming reads it again, or waits out
    // what was left of the pause.
    void pause(qint64 now);
    std::optional<Reading> resume(qint64 now);
    void finish();

    // When due() has something to do; -1 when only a key or a sound can move the run.
    qint64 nextDue() const;
    Phase phase() const { return m_phase; }
    bool paused() const { return m_paused; }
    bool finished() const { return m_phase == Phase::Finished; }
    int item() const { return m_item; }
    int repeat() const { return m_repeat; }
    int itemCount() const { return m_count; }
    int repeats() const { return m_repeats; }
    bool manual() const { return m_manual; }
    // Items read so far: the furthest reached, plus one.
    int reached() const { return m_reached; }
    // Where the run is, from 0 to 1.
    double progress() const;

private:
    std::optional<Reading> speak(int item, int repeat, qint64 now);
    void afterReading(qint64 now);

    int m_count;
    int m_repeats;
    qint64 m_pauseMs;
    qint64 m_writeMs;
    bool m_manual;
    Phase m_phase = Phase::WaitingForParent;
    bool m_started = false;
    bool m_paused = false;
    int m_item = 0;
    int m_repeat = 1;
    int m_reached = 0;
    qint64 m_due = -1;
    qint64 m_leftWhenPaused = 0;
};

// ---- Checking ---------------------------------------------------------------

// "对 17 个，错 3 个".
QString scoreText(int right, int wrong);

// Digits typed on the check grid pick a tile by its number: a number is taken
// as soon as no further digit could make another tile's number of it, or
// after a short wait ("1" then "2" is tile 12 of 20; "3" is tile 3 at once).
class NumberEntry
{
public:
    static constexpr qint64 waitMs = 700;
    // The tile number (1-based) taken now, if any.
    std::optional<int> feed(int digit, qint64 now, int tileCount);
    std::optional<int> due(qint64 now);
    qint64 nextDue() const { return m_pending > 0 ? m_since + waitMs : -1; }

private:
    int m_pending = 0;
    qint64 m_since = 0;
};

// ---- The mistake book -------------------------------------------------------

inline QString mistakeBookFileName() { return keptfile::mistakeBookName(); }
// The items of a mistake book's text (any white space separates them).
QStringList bookItems(const QString &bookText);
// The book with the items added at its end, in canonical form: single spaces,
// each item once, ɑ and ɡ for a and g.
QString mergeMistakes(const QString &bookText, const QStringList &items);

// ---- The record of runs -----------------------------------------------------

inline QString recordFileName() { return keptfile::recordName(); }

struct Record {
    QDateTime when; // to the minute
    int total = 0;
    QStringList wrong;
    int right() const { return total - int(wrong.size()); }
    bool operator==(const Record &) const = default;
};

// "2026-12-09 19:30 共 20 个，对 17 个，错 3 个：天 地 人" (no colon part when none is wrong).
QString recordLine(const Record &record);
std::optional<Record> parseRecordLine(const QString &line);
// The file's text with the line added as its last line.
QString appendRecordLine(const QString &fileText, const QString &line);
// The last `count` runs of a record file, newest first; lines that are not
// records (edited by hand) are passed over.
QList<Record> lastRecords(const QString &fileText, int count);

} // namespace dictation
