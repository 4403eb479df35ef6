#include "core/keptfile.h"

#include "core/bankfile.h"
#include "core/modules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace keptfile {
namespace {
constexpr int kMaxLinks = 40;
// Below this much room a failed write is a full disk.
constexpr qint64 kFullBelowBytes = 64 * 1024;
// How much of each end of a file tells its encoding when a line is appended.
constexpr qint64 kSniffBytes = 64 * 1024;

QString shown(const QString &path) { return QDir::toNativeSeparators(path); }

bool statOf(const QString &path, struct stat &st)
{
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

bool isLink(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The link's target as written in it, made absolute against the link's folder.
QString linkTarget(const QString &link)
{
    QByteArray buf(PATH_MAX, Qt::Uninitialized);
    const ssize_t n = ::readlink(QFile::encodeName(link).constData(), buf.data(), size_t(buf.size()));
    if (n <= 0)
        return QString();
    const QString target = QFile::decodeName(buf.left(n));
    return QFileInfo(target).isAbsolute() ? target
                                          : QFileInfo(link).absolutePath() + QLatin1Char('/') + target;
}

// The kept file, other than `path` itself, that a write to `path` would reach.
std::optional<OwnFile> otherOwnFile(const QString &path, const QString &reached, const struct stat *st)
{
    const QString self = QFileInfo(path).absoluteFilePath();
    for (const OwnFile &own : ownFiles()) {
        if (QFileInfo(own.path).absoluteFilePath() == self)
            continue;
        struct stat ost;
        if (reachedPath(own.path) == reached
            || (st && statOf(own.path, ost) && ost.st_dev == st->st_dev && ost.st_ino == st->st_ino))
            return own;
    }
    return std::nullopt;
}

QString refusalOf(const QString &path, const QString &reached, const struct stat *st)
{
    if (st && !S_ISREG(st->st_mode))
        return QStringLiteral("“%1”不是普通文件，没有改动它。").arg(shown(path));
    if (const std::optional<OwnFile> own = otherOwnFile(path, reached, st)) {
        const QString what = kindName(own->kind);
        return isLink(path) ? QStringLiteral("“%1”是一个链接，指向%2“%3”，没有改动它。")
                                  .arg(shown(path), what, shown(own->path))
                            : QStringLiteral("“%1”和%2“%3”是同一个文件，没有改动它。")
                                  .arg(shown(path), what, shown(own->path));
    }
    if (st && st->st_uid != ::geteuid())
        return QStringLiteral("“%1”属于另一个用户，没有改动它。").arg(shown(path));
    return QString();
}

QByteArray encoded(const QString &text, Encoding encoding, bool withMark)
{
    if (encoding.encoding == QStringConverter::System)
        return modPub::encodeGbk(text);
    QStringEncoder encoder(encoding.encoding,
                           withMark ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    return encoder.encode(text);
}

std::optional<QString> decodedStrictly(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
}

// The encoding of text without a mark: UTF-8 when its bytes are UTF-8 with
// something beyond ASCII, else GBK. `cutAtStart` and `cutAtEnd` say a
// character may be cut off at that end of the sample.
Encoding unmarkedEncoding(QByteArrayView bytes, bool cutAtStart, bool cutAtEnd)
{
    if (cutAtStart)
        while (!bytes.isEmpty() && (uchar(bytes.front()) & 0xC0) == 0x80)
            bytes = bytes.sliced(1);
    if (cutAtEnd) {
        // Back to the start of the last character, which may be incomplete.
        qsizetype last = bytes.size();
        for (int i = 0; i < 4 && last > 0; ++i)
            if ((uchar(bytes[--last]) & 0xC0) != 0x80)
                break;
        bytes = bytes.first(last);
    }
    if (isAscii(bytes) || !decodedStrictly(QStringConverter::Utf8, bytes))
        return gbk();
    return Encoding {QStringConverter::Utf8, false};
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QByteArray readAt(int fd, qint64 offset, qint64 length)
{
    QByteArray bytes(qsizetype(std::max<qint64>(length, 0)), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + got, size_t(bytes.size() - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

// The encoding of an open file, from its mark or from its two ends.
Encoding encodingOf(int fd, qint64 size)
{
    const QByteArray head = readAt(fd, 0, std::min(size, kSniffBytes));
    if (const std::optional<modPub::ByteOrderMark> mark = modPub::byteOrderMark(head))
        return Encoding {mark->encoding, true};
    const Encoding first = unmarkedEncoding(head, false, size > kSniffBytes);
    if (first.encoding != QStringConverter::System || size <= kSniffBytes)
        return first;
    const qint64 from = std::max(kSniffBytes, size - kSniffBytes);
    return unmarkedEncoding(readAt(fd, from, size - from), true, false);
}

QString notWritten(const QString &path, Kind kind, int error)
{
    const QString cause = failureCause(path, error == ENOSPC || error == EDQUOT, kindName(kind));
    return cause.isEmpty() ? QStringLiteral("写入“%1”时出错（%2）。").arg(shown(path), qt_error_string(error))
                           : cause;
}
} // namespace

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::Bank: return QStringLiteral("生字库");
    case Kind::Settings: return QStringLiteral("设置");
    case Kind::MistakeBook: return QStringLiteral("错字本");
    case Kind::Record: return QStringLiteral("听写记录");
    case Kind::WordList: return QStringLiteral("组词");
    case Kind::History: return QStringLiteral("学习记录");
    case Kind::Program: break;
    }
    return QStringLiteral("程序文件");
}

Encoding gbk() { return Encoding {}; }

QString settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/LORVANTA/LORVANTA.conf");
}

// The file a write to `path` reaches: links followed, the folder's own links
// resolved. Empty when a link leads nowhere or the folder does not exist.
QString reachedPath(const QString &path)
{
    QString file = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; isLink(file); ++depth) {
        if (depth == kMaxLinks)
            return QString();
        file = linkTarget(file);
        if (file.isEmpty())
            return QString();
    }
    const QFileInfo info(file);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + info.fileName();
}

QString besideBank(const QString &name) { return modPub::bankDir() + name; }

QList<OwnFile> ownFiles()
{
    const QString settings = settingsPath();
    QList<OwnFile> files {{modPub::bankPath(), Kind::Bank},
                          {modPub::appDir() + modPub::bankFileName(), Kind::Bank},
                          {settings, Kind::Settings},
                          {settings + QStringLiteral(".lock"), Kind::Settings},
                          {besideBank(mistakeBookName()), Kind::MistakeBook},
                          {besideBank(recordName()), Kind::Record},
                          {besideBank(wordListName()), Kind::WordList},
                          {besideBank(historyName()), Kind::History},
                          {QCoreApplication::applicationFilePath(), Kind::Program}};
    for (const QString &dir : modules::folders())
        for (const QString &name : QDir(dir).entryList({QStringLiteral("lorvanta*")}, QDir::Files))
            files.append({dir + name, Kind::Program});
    return files;
}

std::optional<OwnFile> ownFileAt(const QString &path)
{
    const QString reached = reachedPath(path);
    struct stat st;
    const bool exists = statOf(path, st);
    for (const OwnFile &own : ownFiles()) {
        struct stat ost;
        if ((!reached.isEmpty() && reachedPath(own.path) == reached)
            || (exists && statOf(own.path, ost) && ost.st_dev == st.st_dev && ost.st_ino == st.st_ino))
            return own;
    }
    return std::nullopt;
}

QString refusal(const QString &path)
{
    const QString reached = reachedPath(path);
    if (reached.isEmpty())
        return isLink(path)
            ? QStringLiteral("“%1”是一个链接，但它指不到一个文件，没有改动它。").arg(shown(path))
            : QStringLiteral("文件夹“%1”不存在。").arg(shown(QFileInfo(path).absolutePath()));
    struct stat st;
    const bool exists = statOf(reached, st);
    return refusalOf(path, reached, exists ? &st : nullptr);
}

std::optional<Text> read(const QString &path, Kind kind, QString *error)
{
    const auto fail = [error](const QString &why) -> std::optional<Text> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (const QString why = refusal(path); !why.isEmpty())
        return fail(why);
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 && errno == ENOENT)
        return Text {};
    const std::optional<QByteArray> bytes = modPub::readFileBytes(path);
    if (!bytes)
        return fail(QStringLiteral("%1“%2”读不出来，没有改动它。").arg(kindName(kind), shown(path)));
    std::optional<QString> text;
    Encoding encoding;
    if (const std::optional<modPub::ByteOrderMark> mark = modPub::byteOrderMark(*bytes)) {
        encoding = Encoding {mark->encoding, true};
        text = decodedStrictly(mark->encoding, QByteArrayView(*bytes).sliced(mark->length));
    } else {
        encoding = unmarkedEncoding(*bytes, false, false);
        if (encoding.encoding == QStringConverter::Utf8) {
            text = decodedStrictly(QStringConverter::Utf8, *bytes);
        } else {
            // GBK (GB18030 underneath) decodes bad bytes without a word; only
            // a text that encodes back to the same bytes was read whole.
            text = modPub::decodeGbk(*bytes);
            if (modPub::encodeGbk(*text) != *bytes)
                text.reset();
        }
    }
    if (!text)
        return fail(
            QStringLiteral("%1“%2”不是 GBK 或 UTF-8 文本，没有改动它。").arg(kindName(kind), shown(path)));
    if (text->endsWith(QStringLiteral("\r\n")))
        text->chop(2);
    return Text {*text, encoding, true};
}

QString rewrite(const QString &path, Kind kind, const QString &text, Encoding encoding)
{
    if (const QString why = refusal(path); !why.isEmpty())
        return why;
    int error = 0;
    if (!modPub::replaceFile(path, encoded(text + QStringLiteral("\r\n"), encoding, encoding.marked), &error))
        return notWritten(path, kind, error);
    return QString();
}

QString appendLine(const QString &path, Kind kind, const QString &line, Appended *done,
                   const Appended *replace)
{
    if (const QString why = refusal(path); !why.isEmpty())
        return why;
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return notWritten(path, kind, errno);
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    // Looked at again once open: something put in the file's place after
    // the first look must not be written either.
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return notWritten(path, kind, errno);
    if (const QString why = refusalOf(path, reachedPath(path), &st); !why.isEmpty())
        return why;
    qint64 size = st.st_size;
    if (replace && replace->offset >= 0 && size == replace->offset + replace->bytes.size()
        && readAt(fd, replace->offset, replace->bytes.size()) == replace->bytes) {
        if (::ftruncate(fd, off_t(replace->offset)) != 0)
            return notWritten(path, kind, errno);
        size = replace->offset;
    }
    const Encoding encoding = size > 0 ? encodingOf(fd, size) : gbk();
    QByteArray bytes;
    const QByteArray lineFeed = encoded(QStringLiteral("\n"), encoding, false);
    if (size > 0 && readAt(fd, size - lineFeed.size(), lineFeed.size()) != lineFeed)
        bytes = encoded(QStringLiteral("\r\n"), encoding, false);
    bytes += encoded(line + QStringLiteral("\r\n"), encoding, false);
    if (!writeAll(fd, bytes) || !modPub::syncedToDisk(fd)) {
        const int error = errno;
        // No half line is left behind: the file ends where it ended.
        [[maybe_unused]] const int cut = ::ftruncate(fd, off_t(size));
        return notWritten(path, kind, error);
    }
    if (done)
        *done = Appended {size, bytes};
    return QString();
}

QString failureCause(const QString &file, bool diskFull, const QString &what)
{
    const QFileInfo info(file);
    const QString folder = info.absolutePath();
    const QFileInfo dir(folder);
    if (!dir.exists())
        return QStringLiteral("文件夹“%1”不存在。").arg(shown(folder));
    if (!dir.isDir())
        return QStringLiteral("“%1”不是文件夹。").arg(shown(folder));
    const QByteArray name = QFile::encodeName(folder);
    struct statvfs vfs;
    const bool known = ::statvfs(name.constData(), &vfs) == 0;
    if (known && (vfs.f_flag & ST_RDONLY))
        return QStringLiteral("这个位置是只读的（比如写保护的 U 盘或光盘），不能往里面写文件。");
    if (::access(name.constData(), W_OK | X_OK) != 0 && (errno == EACCES || errno == EPERM))
        return QStringLiteral("没有在这个文件夹里写文件的权限。");
    if (info.exists() && ::access(QFile::encodeName(file).constData(), W_OK) != 0
        && (errno == EACCES || errno == EPERM))
        return QStringLiteral("没有改写这个文件的权限。");
    if (diskFull || (known && qint64(vfs.f_bavail) * qint64(vfs.f_frsize) < kFullBelowBytes))
        return QStringLiteral("磁盘已满，放不下%1。").arg(what);
    return QString();
}

} // namespace keptfile
