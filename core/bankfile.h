// modPub: the program's folders, the bank file and whole-file text input and
// output (GBK, and foreign text decoded by its mark).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringConverter>
#include <QtGlobal>

#include <optional>

namespace modPub {

// Folder of the executable, always ending in "/".
QString appDir();
// Folder that holds the bank: appDir() for a portable copy whose folder can be
// written or already holds a bank (on a write-protected stick), the per-user
// data folder for an installed copy or a read-only one without a bank.
QString bankDir();
// bankDir() + "配置文件.txt".
QString bankPath();
// True when the bank can be read but not written (a read-only folder or
// file): it is practised as it is, and editing or deleting says why not.
bool bankReadOnly();
// The bank's file name.
inline QString bankFileName() { return QStringLiteral("配置文件.txt"); }
// Overrides the folder of the bank (the benchmark and the tests use a temporary folder).
void setBankDirOverride(const QString &dir);

// The whole text of a GBK file, one trailing CR LF dropped; the empty text on
// any failure (missing, unreadable, too large, or not a regular file: a
// folder, FIFO, socket or device, also behind a symbolic link).
QString readTextFile(const QString &path);
// The same, but nothing at all when the file cannot be read (missing,
// unreadable, too large, not a regular file), so that a caller can tell that
// from a file that holds no text.
std::optional<QString> tryReadTextFile(const QString &path);
// Like readTextFile for a text file from elsewhere (dropped on the editor):
// decoded by its byte-order mark (UTF-8, UTF-16 or UTF-32, little or big
// endian) when it has one, else UTF-8 when the file is UTF-8, GBK otherwise.
// A file that is no text (NUL characters, or mostly characters no text
// holds) gives the empty text and, when asked, *binary = true.
QString readForeignTextFile(const QString &path, bool *binary = nullptr);
// A byte-order mark at the start of `bytes`: its encoding and length.
struct ByteOrderMark {
    QStringConverter::Encoding encoding;
    int length;
};
std::optional<ByteOrderMark> byteOrderMark(QByteArrayView bytes);
// Why a file could not be read.
enum class ReadFailure { None, Missing, NotRegular, Unreadable, TooLarge, Binary };
// readForeignTextFile for a file of at most `limit` bytes, saying why when
// there is no text: nothing at all (and *why) when the file is missing, no
// regular file, unreadable, larger than `limit` or no text.
std::optional<QString> tryReadForeignTextFile(const QString &path, qint64 limit, ReadFailure *why);
// The decoding of readForeignTextFile applied to bytes already read.
QString decodeForeignText(const QByteArray &bytes, bool *binary = nullptr);
// Writes text + CR LF in GBK. Overwriting replaces the file atomically, so a
// crash mid-write or a full disk leaves the old bank. Only a regular file (or
// a new one) is written. Returns false on any failure.
bool writeTextFile(const QString &path, const QString &text, bool overwrite);
// Replaces the file at `path` with `bytes` atomically (a new file renamed
// over the old one once every byte is on disk), following a link to the
// file it leads to. False on any failure, the old file left whole; *error
// then holds the system's error number when one is known.
bool replaceFile(const QString &path, const QByteArray &bytes, int *error = nullptr);
// The bytes of a regular file, with the limits of readTextFile; nothing
// when it cannot be read.
std::optional<QByteArray> readFileBytes(const QString &path);
// Whether what is written to the open file `fd` so far has reached the disk
// (fsync). A file system that cannot sync at all is no failure; one that
// reports a lost write is. No file (fd < 0) has nothing to lose.
bool syncedToDisk(int fd);
// True when the start-up may write the default bank: the file is missing or
// holds nothing (zero bytes or only CR LF). An unreadable file, or anything
// that is not a regular file, is left alone.
bool bankFileNeedsDefault(const QString &path);
// The 24 toned vowels.
QString defaultBank();
// Files larger than this are treated as unreadable rather than loaded; the
// limit holds for the bytes read, whatever size the file claims.
constexpr qint64 maxTextFileSize = 128LL * 1024 * 1024;

// GBK text conversion (GB18030 underneath: byte-identical for GBK text and
// able to carry every character, so nothing turns into "?"). A half character
// at the end decodes to U+FFFD like any other bad byte.
QString decodeGbk(const QByteArray &bytes);
QByteArray encodeGbk(const QString &text);

} // namespace modPub
