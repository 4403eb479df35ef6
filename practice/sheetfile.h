// Where the copybook's PDF may be written, and what to say when it cannot.
// The PDF is written only to a file of its own: never over the bank, the
// settings or the program and its modules, also not through a symbolic link
// or a second name of one of them, and never over a file that is not a PDF.
#pragma once

#include <QString>
#include <QStringList>

namespace sheetfile {

struct Target {
    // The file written: the path chosen or, for a link, the file it leads
    // to, with the links of its folder resolved. Empty when refused.
    QString path;
    // Why the chosen path cannot take the PDF, for a message; empty when it can.
    QString refusal;
};

// Looks at `path` as a destination. A link is written through (the link
// stays and the file it leads to is replaced), but only to a regular file
// ending in ".pdf", or a new one in an existing folder, that is none of the
// program's own files.
Target resolve(const QString &path);

// Why writing into `folder` failed, in Chinese, for the usual causes: disk
// full (also when `diskFull` says so), the folder missing, a read-only place,
// no permission; an empty text when none of them is the cause.
QString failureCause(const QString &folder, bool diskFull);

// The whole message for a PDF not saved to `shownPath`: the cause (or, when
// no usual cause is found, that the file could not be written) and the
// system's own text as a detail.
QString notSavedText(const QString &shownPath, const QString &cause, const QString &systemText);
} // namespace sheetfile
