// The files the pupil's progress lives in, beside the bank: the history of
// what was dictated and written (学习记录.txt) and the mistake book
// (错字本.txt). Dictation and writing practice both feed them, the 学习记录
// window reads them. Every read and write goes through the one writer of the
// files beside the bank (core/keptfile.h): the history is only ever appended
// to, the book replaced whole or not at all.
#pragma once

#include "core/keptfile.h"
#include "rules/history.h"

#include <QString>
#include <QStringList>

namespace progressfiles {

QString historyPath();
QString mistakeBookPath();

// The history as far as it can be read: lines that are no entries are
// passed over (History::badLines names them). When the file cannot be read
// at all, the empty history and why in *why.
history::History readHistory(QString *why = nullptr);

// Appends the entries as one block. `block` holds what this run appended
// before (the parent marked the check again): taken back while it is still
// the file's end, so that the run keeps one set of lines; it is updated.
// Empty on success, else why.
QString appendEntries(const QList<history::Entry> &entries, keptfile::Appended &block);

// What adding to the mistake book came to.
struct BookResult {
    enum Outcome { Added, AlreadyThere, Unreadable, NotSaved } outcome = Added;
    qsizetype added = 0;
    qsizetype total = 0;
    QString why; // for Unreadable and NotSaved
};
BookResult addToMistakeBook(const QStringList &items);
// The book's items.
std::optional<QStringList> mistakeBookItems(QString *why);
// Takes the items out of the book (read afresh: a dictation since may have
// added to it); empty on success, else why.
QString removeFromMistakeBook(const QStringList &items, const QString &path = mistakeBookPath());

} // namespace progressfiles
