// The files the program keeps, and the one writer for those beside the bank
// (the mistake book, the dictation record, the word list, the history).
//
// A family's folder is not always tidy: a file may be a link to the bank, a
// second name of another kept file, a file another user owns (the program
// run as root), a FIFO, or a text the parent saved as UTF-8. The writer
// refuses the first four with a message and never rewrites a text it cannot
// decode without loss; a file it rewrites keeps the encoding it had, and a
// new file is GBK, like the bank.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringConverter>

#include <optional>

namespace keptfile {

enum class Kind { Bank, Settings, MistakeBook, Record, WordList, History, Program };
// The kind as a message names it: 生字库, 设置, 错字本, 听写记录, 组词, 学习记录, 程序文件.
QString kindName(Kind kind);

// The files beside the bank, by name.
inline QString mistakeBookName() { return QStringLiteral("错字本.txt"); }
inline QString recordName() { return QStringLiteral("听写记录.txt"); }
inline QString wordListName() { return QStringLiteral("组词.txt"); }
inline QString historyName() { return QStringLiteral("学习记录.txt"); }

struct OwnFile {
    QString path;
    Kind kind;
};

// The settings store's file where QSettings keeps it (the user's XDG config
// folder), found without opening it: a FIFO there would hold the caller.
QString settingsPath();
// A file of that name in the bank's folder.
QString besideBank(const QString &name);
// The file a write to `path` reaches: links followed, the folder's own
// links resolved. Empty when a link leads nowhere (or round in a circle) or
// the folder does not exist.
QString reachedPath(const QString &path);
// Every file the program keeps: the bank (in its folder and beside the
// program), the settings store and its lock, the files beside the bank, then
// the executable and its modules.
QList<OwnFile> ownFiles();
// The kept file that `path` is or leads to: the same real path, or the same
// file under a second name (a hard link). Nothing for any other file.
std::optional<OwnFile> ownFileAt(const QString &path);

// Why `path` may not be written as one of the program's files, as a
// Chinese sentence, or empty when it may: something other than a regular
// file (a folder, a FIFO, a device), a link to or a second name of another
// file the program keeps, or a file that belongs to another user. A missing
// file may be created; a link to a file of the user's own elsewhere is
// written through.
QString refusal(const QString &path);

// How a kept text file is encoded: GBK (also plain ASCII, and every new
// file), UTF-8 without a mark, or a byte-order mark's encoding.
struct Encoding {
    QStringConverter::Encoding encoding = QStringConverter::System; // System stands for GBK
    bool marked = false;
    bool operator==(const Encoding &) const = default;
};
Encoding gbk();

struct Text {
    QString text; // one trailing CR LF dropped, as for the bank
    Encoding encoding;
    bool exists = false;
};

// Reads a kept file in its own encoding. A missing file is the empty text
// (GBK, exists false). Nothing, and why in *error, when the file may not be
// written as `kind` (refusal()), cannot be read, or is not text that
// decodes without loss: "…不是 GBK 或 UTF-8 文本，没有改动它". `kind` names
// the file in messages.
std::optional<Text> read(const QString &path, Kind kind, QString *error);

// Replaces the file with text + CR LF in `encoding` (what read() found),
// atomically: on any failure the old file stays whole. Empty on success,
// else why, in Chinese.
QString rewrite(const QString &path, Kind kind, const QString &text, Encoding encoding);

// One line appended at the end of a kept file: opened with O_APPEND, written
// in the file's encoding (its mark, else its first and last 64 KB tell),
// flushed and synced; the file is never read whole nor rewritten. A line
// break comes first when the file does not end in one.
struct Appended {
    qint64 offset = -1; // where the line's bytes begin
    QByteArray bytes;
};
// Appends `line` + CR LF. With `replace` set, a line this run appended
// before is taken back first, when it is still the file's last line (the
// parent marked the check again), so the run keeps one line. Empty on
// success (*done then says what was written), else why.
QString appendLine(const QString &path, Kind kind, const QString &line, Appended *done,
                   const Appended *replace = nullptr);

// Why writing `file` failed, in Chinese, for the usual causes: the folder
// missing or no folder, a read-only place, no permission, the disk full (also
// when `diskFull` says so); empty when none of them is the cause. `what`
// names what did not fit on a full disk ("这份字帖").
QString failureCause(const QString &file, bool diskFull, const QString &what);

} // namespace keptfile
