// The files dictation keeps beside the bank: the mistake book (错字本.txt),
// the record of runs (听写记录.txt) and the parent's own words (组词.txt).
// Every read and write of them is here, through the bank's own reader and
// safe writer, so that they change in one place.
#pragma once

#include <QString>
#include <QStringList>

namespace dictationfiles {

QString mistakeBookPath();
QString recordPath();
QString ownWordsPath();

// The text of a kept file; false when it exists but cannot be read as one
// (a folder, a FIFO, unreadable, far too large): then it must not be
// overwritten. A missing file is the empty text.
bool readKeptFile(const QString &path, QString &text);
// Replaces the file whole, in GBK, only by a complete new one.
bool writeKeptFile(const QString &path, const QString &text);

// What adding to the mistake book came to.
struct BookResult {
    enum Outcome { Added, AlreadyThere, Unreadable, NotSaved } outcome = Added;
    qsizetype added = 0;
    qsizetype total = 0;
};
BookResult addToMistakeBook(const QStringList &items);

// Writes this run's record line; `previous` is the line this run wrote
// before (marks changed since), which the new one replaces.
enum class RecordResult { Written, Unreadable, NotSaved };
RecordResult writeRecordLine(const QString &line, const QString &previous);

} // namespace dictationfiles
