// The files dictation keeps beside the bank: the mistake book (错字本.txt),
// the record of runs (听写记录.txt) and the parent's own words (组词.txt).
// Every read and write of them is here, through the one writer of the files
// beside the bank (core/keptfile.h): a link to the bank, another user's file
// or a FIFO is refused, a UTF-8 book stays UTF-8, a record line is appended.
#pragma once

#include "core/keptfile.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace dictationfiles {

QString mistakeBookPath();
QString recordPath();
QString ownWordsPath();

// Appends this run's record line. `line` holds what this run appended
// before (marks changed since), which the new line replaces while it is
// still the file's last; it is updated. Empty on success, else why.
QString writeRecordLine(const QString &text, keptfile::Appended &line);

} // namespace dictationfiles
