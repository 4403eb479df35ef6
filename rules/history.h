// 学习记录: every checked dictation item and every finished written character,
// one line each, and what a parent wants to know from them: how often an
// item went wrong, whether it has been right often enough since to leave
// the mistake book, each dictation's share right, the writing per day.
//
// A line is "2026-12-09 19:30:05<TAB>听写<TAB>天<TAB>错" or
// "2026-12-09 19:41:12<TAB>练写<TAB>天<TAB>3/4<TAB>对": readable, and safe to
// append to (a line is whole or not there). A dictation's lines carry the
// run's start; when the parent marks the check again, the run's lines are
// written again and the last lines of a run are the ones that count.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace history {

enum class Activity { Dictation, Writing };

struct Entry {
    QDateTime when; // to the second
    Activity activity = Activity::Dictation;
    QString item; // canonical form, as in the mistake book
    // Dictation: written right. Writing: no stroke refused twice and none
    // drawn for the pupil.
    bool right = false;
    int strokes = 0; // writing: the character's strokes
    int firstTry = 0; // writing: those right at the first try
    bool operator==(const Entry &) const = default;
};

QString entryLine(const Entry &entry);
std::optional<Entry> parseEntryLine(QStringView line);

// The first moment of this week (Monday) or this month, or nothing for all.
enum class Period { Week, Month, All };
QDateTime periodStart(Period period, const QDateTime &now);

class History
{
public:
    // Lines that are not entries (edited by hand, cut off) are passed over
    // and their numbers kept; a run written again keeps only its last lines.
    static History parse(QStringView text);

    const QList<Entry> &entries() const { return m_entries; }
    // 1-based numbers of the lines passed over.
    const QList<int> &badLines() const { return m_badLines; }
    // "学习记录.txt 有 2 行看不懂，没有用上：第 3、7 行。" (empty when none).
    QString badLinesText() const;
    // Entries written now, as parse() would have read them back.
    void add(const QList<Entry> &entries);

    struct Run {
        QDateTime when;
        int total = 0;
        int right = 0;
        double share() const { return total > 0 ? double(right) / total : 0.0; }
    };
    // The dictations since `since` (all for an invalid moment), oldest first.
    QList<Run> dictations(const QDateTime &since = {}) const;

    struct Count {
        QString item;
        int wrong = 0;
        bool operator==(const Count &) const = default;
    };
    // The items most often wrong since `since` (in dictation, or written
    // with help), most first; of two as often wrong, the one wrong last first.
    QList<Count> mostOftenWrong(int count, const QDateTime &since = {}) const;
    // Dictations in a row the item was right in since it was last wrong
    // (all its dictations when it never was).
    int rightInARow(const QString &item) const;
    // How often the item went wrong, in dictation and in writing.
    int wrongCount(const QString &item) const;
    // Of `items`, those right in at least `inARow` dictations since they were
    // last wrong, in the order given.
    QStringList mastered(const QStringList &items, int inARow) const;
    // Of the bank's items, how many were dictated at least once since `since`.
    int dictatedAtLeastOnce(const QStringList &bankItems, const QDateTime &since = {}) const;

    struct Day {
        QDate date;
        int characters = 0;
        int right = 0; // characters written without help
        int strokes = 0;
        int firstTry = 0;
    };
    // The writing practice per day since `since`, oldest first.
    QList<Day> writingPerDay(const QDateTime &since = {}) const;

private:
    QList<Entry> m_entries;
    QList<int> m_badLines;
};

// "这些已经连续写对 3 次，可以从错字本里去掉：天 地".
QString masteredQuestion(const QStringList &items, int inARow);

} // namespace history
