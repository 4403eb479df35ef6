// Paths, the bank file and whole-file text input and output.
#include "core/bankfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <QScopeGuard>

#include <algorithm>
#include <cstring>

#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace modPub {

namespace {
QString &bankDirOverride()
{
    static QString dir;
    return dir;
}

QString withSlash(QString dir)
{
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

// An installed copy has its desktop entry beside its bin folder; its bank
// belongs to each user, not to the program's folder.
bool isInstalledCopy(const QString &exeDir)
{
    return QFileInfo::exists(exeDir + QStringLiteral("../share/applications/lorvanta.desktop"));
}

bool folderIsWritable(const QString &dir)
{
    QFileInfo info(dir);
    return info.isDir() && ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
}

// A portable copy on a write-protected stick still has its own bank: it is
// shown and practised read-only, never swapped for another one unasked.
bool holdsReadableBank(const QString &dir)
{
    const QByteArray name = QFile::encodeName(dir + bankFileName());
    struct stat st;
    return ::stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0
        && ::access(name.constData(), R_OK) == 0;
}
} // namespace

QString appDir() { return withSlash(QCoreApplication::applicationDirPath()); }

QString bankDir()
{
    if (!bankDirOverride().isEmpty())
        return bankDirOverride();
    static const QString dir = [] {
        const QString exeDir = appDir();
        if (!isInstalledCopy(exeDir) && (folderIsWritable(exeDir) || holdsReadableBank(exeDir)))
            return exeDir;
        QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (data.isEmpty())
            data = QDir::homePath() + QStringLiteral("/.local/share");
        data = withSlash(data) + QStringLiteral("lorvanta");
        QDir().mkpath(data);
        return withSlash(data);
    }();
    return dir;
}

void setBankDirOverride(const QString &dir)
{
    bankDirOverride() = dir.isEmpty() ? QString() : withSlash(dir);
}

QString bankPath() { return bankDir() + bankFileName(); }

bool bankReadOnly()
{
    // Replacing the bank needs its folder; a file that may not be written
    // (a read-only mount answers that for root too) is kept as it is.
    const QString dir = bankDir();
    if (!folderIsWritable(dir))
        return true;
    const QByteArray name = QFile::encodeName(bankPath());
    return ::access(name.constData(), F_OK) == 0 && ::access(name.constData(), W_OK) != 0;
}

QString defaultBank() { return QStringLiteral("ā á ǎ à ō ó ǒ ò ē é ě è ī í ǐ ì ū ú ǔ ù ǖ ǘ ǚ ǜ"); }

namespace {
// glibc's converter: ICU's, which Qt's converters use for GB18030, loads
// about 1.4 MB of code and tables into every start of the program, glibc's
// about a third of that.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr char kUtf16[] = "UTF-16LE";
#else
constexpr char kUtf16[] = "UTF-16BE";
#endif
constexpr char kGb18030[] = "GB18030";
} // namespace

QString decodeGbk(const QByteArray &bytes)
{
    const iconv_t cd = iconv_open(kUtf16, kGb18030);
    if (cd == iconv_t(-1))
        return QString::fromLatin1(bytes);
    // Never more code units than bytes: one or two bytes give one, four give two.
    QString text(bytes.size(), Qt::Uninitialized);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char *const begin = reinterpret_cast<char *>(text.data());
    char *out = begin;
    size_t outLeft = size_t(text.size()) * sizeof(char16_t);
    // A bad byte, or a half character at the end, becomes U+FFFD; the
    // bytes after it are read afresh.
    while (inLeft > 0 && iconv(cd, &in, &inLeft, &out, &outLeft) == size_t(-1)
           && (errno == EILSEQ || errno == EINVAL)) {
        const char16_t replacement = 0xFFFD;
        std::memcpy(out, &replacement, sizeof replacement);
        out += sizeof replacement;
        outLeft -= sizeof replacement;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    text.resize((out - begin) / qsizetype(sizeof(char16_t)));
    return text;
}

QByteArray encodeGbk(const QString &text)
{
    const iconv_t cd = iconv_open(kGb18030, kUtf16);
    if (cd == iconv_t(-1))
        return text.toLatin1();
    // At most four bytes a code unit; every character has a code in GB18030.
    QByteArray bytes(text.size() * 4, Qt::Uninitialized);
    char *in = reinterpret_cast<char *>(const_cast<QChar *>(text.constData()));
    size_t inLeft = size_t(text.size()) * sizeof(char16_t);
    char *out = bytes.data();
    size_t outLeft = size_t(bytes.size());
    // A lone surrogate is no character: it is written as U+FFFD.
    while (inLeft > 0 && iconv(cd, &in, &inLeft, &out, &outLeft) == size_t(-1)
           && (errno == EILSEQ || errno == EINVAL)) {
        std::memcpy(out, "\x84\x31\xA4\x37", 4);
        out += 4;
        outLeft -= 4;
        in += sizeof(char16_t);
        inLeft -= sizeof(char16_t);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    bytes.resize(out - bytes.data());
    return bytes;
}

namespace {
// Reads a regular file whole; false when it is missing, unreadable, larger
// than maxTextFileSize, or anything but a regular file (a folder, a FIFO, a
// socket or a device, also behind a symbolic link): opening a FIFO waits for
// a writer, and a device may never end.
bool readBytes(const QString &path, QByteArray &bytes, qint64 limit = maxTextFileSize,
               ReadFailure *why = nullptr)
{
    const auto fail = [why](ReadFailure failure) {
        if (why)
            *why = failure;
        return false;
    };
    const QByteArray name = QFile::encodeName(path);
    // Looked at before opening, since opening a device may already do something.
    struct stat st;
    if (name.isEmpty() || ::stat(name.constData(), &st) != 0)
        return fail(errno == EACCES ? ReadFailure::Unreadable : ReadFailure::Missing);
    if (!S_ISREG(st.st_mode))
        return fail(ReadFailure::NotRegular);
    if (st.st_size > limit)
        return fail(ReadFailure::TooLarge);
    // Non-blocking, and looked at again once open: a FIFO put in its place
    // after the check must not hold the window either.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fail(ReadFailure::Unreadable);
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fail(ReadFailure::NotRegular);
    if (st.st_size > limit)
        return fail(ReadFailure::TooLarge);

    // The size the file claims is only where to start: it may grow while it
    // is read, and the limit holds for what is read (one byte more tells).
    QByteArray out(qsizetype(st.st_size) + 1, Qt::Uninitialized);
    qint64 got = 0;
    for (;;) {
        if (got == out.size()) {
            if (got > limit)
                return fail(ReadFailure::TooLarge);
            out.resize(qsizetype(std::min<qint64>(got * 2, limit + 1)));
        }
        const ssize_t n = ::read(fd, out.data() + got, size_t(out.size() - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(ReadFailure::Unreadable);
        }
        if (n == 0)
            break;
        got += n;
    }
    if (got > limit)
        return fail(ReadFailure::TooLarge);
    out.truncate(qsizetype(got));
    bytes = std::move(out);
    return true;
}

QString dropOneCrLf(QString text)
{
    if (text.endsWith(QStringLiteral("\r\n")))
        text.chop(2);
    return text;
}
} // namespace

namespace {
// Characters that no text file holds: a decoding error, and the control
// characters other than tab, line and page breaks. NUL is looked at apart.
bool isJunk(char16_t c)
{
    if (c == 0xFFFD)
        return true;
    if (c < 0x20)
        return c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f' && c != u'\v';
    return c == 0x7F || (c >= 0x80 && c <= 0x9F);
}

// A decoded file is no text when it holds a NUL (a text editor never writes
// one, and it would end the bank for other programs) or when most of it is junk.
bool looksBinary(QStringView text)
{
    qsizetype junk = 0;
    for (const QChar c : text) {
        if (c.unicode() == 0)
            return true;
        if (isJunk(c.unicode()))
            ++junk;
    }
    return junk * 2 > text.size();
}

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    // Stateless: a half character at the end becomes a replacement character.
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

// Text by its byte-order mark, or nothing when it has none.
std::optional<QString> decodeByMark(QByteArrayView bytes)
{
    const std::optional<ByteOrderMark> mark = byteOrderMark(bytes);
    if (!mark)
        return std::nullopt;
    return decodeWith(mark->encoding, bytes.sliced(mark->length));
}
} // namespace

std::optional<ByteOrderMark> byteOrderMark(QByteArrayView bytes)
{
    // The four-byte marks first: the UTF-32 little-endian one begins like the UTF-16 one.
    if (bytes.startsWith(QByteArrayView("\xFF\xFE\x00\x00", 4)))
        return ByteOrderMark {QStringConverter::Utf32LE, 4};
    if (bytes.startsWith(QByteArrayView("\x00\x00\xFE\xFF", 4)))
        return ByteOrderMark {QStringConverter::Utf32BE, 4};
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return ByteOrderMark {QStringConverter::Utf8, 3};
    if (bytes.startsWith("\xFF\xFE"))
        return ByteOrderMark {QStringConverter::Utf16LE, 2};
    if (bytes.startsWith("\xFE\xFF"))
        return ByteOrderMark {QStringConverter::Utf16BE, 2};
    return std::nullopt;
}

// Text files made on Linux are UTF-8: one whose bytes are valid UTF-8 with
// something beyond ASCII is read as UTF-8. Windows editors mark UTF-16 and
// UTF-8 with a byte-order mark. Only files from elsewhere go through this;
// the bank itself is always GBK, since some GBK text is valid UTF-8 too and
// would be misread.
QString decodeForeignText(const QByteArray &bytes, bool *binary)
{
    QString text;
    // Without a mark, a NUL byte is no text in any of these encodings.
    bool refused = false;
    if (std::optional<QString> marked = decodeByMark(bytes)) {
        text = std::move(*marked);
    } else if (bytes.contains('\0')) {
        refused = true;
    } else {
        const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
        bool utf8 = false;
        if (!ascii) {
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            text = decoder.decode(bytes);
            utf8 = !decoder.hasError();
        }
        if (!utf8)
            text = decodeGbk(bytes);
    }
    refused = refused || looksBinary(text);
    if (binary)
        *binary = refused;
    return refused ? QString() : text;
}

std::optional<QByteArray> readFileBytes(const QString &path)
{
    QByteArray bytes;
    if (!readBytes(path, bytes))
        return std::nullopt;
    return bytes;
}

std::optional<QString> tryReadTextFile(const QString &path)
{
    QByteArray bytes;
    if (!readBytes(path, bytes))
        return std::nullopt;
    return dropOneCrLf(decodeGbk(bytes));
}

QString readTextFile(const QString &path) { return tryReadTextFile(path).value_or(QString()); }

QString readForeignTextFile(const QString &path, bool *binary)
{
    ReadFailure why = ReadFailure::None;
    const std::optional<QString> text = tryReadForeignTextFile(path, maxTextFileSize, &why);
    if (binary)
        *binary = why == ReadFailure::Binary;
    return text.value_or(QString());
}

std::optional<QString> tryReadForeignTextFile(const QString &path, qint64 limit, ReadFailure *why)
{
    if (why)
        *why = ReadFailure::None;
    QByteArray bytes;
    if (!readBytes(path, bytes, limit, why))
        return std::nullopt;
    bool binary = false;
    QString text = dropOneCrLf(decodeForeignText(bytes, &binary));
    if (binary) {
        if (why)
            *why = ReadFailure::Binary;
        return std::nullopt;
    }
    return text;
}

bool syncedToDisk(int fd)
{
    if (fd < 0)
        return true;
    while (::fsync(fd) != 0) {
        if (errno == EINTR)
            continue;
        return errno == EINVAL || errno == ENOTSUP || errno == EROFS;
    }
    return true;
}

bool replaceFile(const QString &path, const QByteArray &bytes, int *error)
{
    if (error)
        *error = 0;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = errno;
        return false;
    }
    // A small write only fills the buffer, and commit() renames the new
    // file over the old one even when flushing that buffer fails (a full
    // disk): the file would be left empty. So the flush is checked here,
    // and the old file stays unless every byte is on disk.
    if (file.write(bytes) != bytes.size() || !file.flush() || !syncedToDisk(file.handle())) {
        if (error)
            *error = errno;
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = errno;
        return false;
    }
    return true;
}

bool writeTextFile(const QString &path, const QString &text, bool overwrite)
{
    // Only a regular file, or a new one, is written: a FIFO would block, and
    // replacing a device (through a link named like the bank) is never wanted.
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (name.isEmpty() || (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode)))
        return false;

    const QByteArray bytes = encodeGbk(text) + QByteArrayLiteral("\r\n");
    if (overwrite)
        return replaceFile(path, bytes);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool ok = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

bool bankFileNeedsDefault(const QString &path)
{
    // Missing means nothing at all at the path: a dangling link, or a folder
    // that cannot be looked into, is not a missing bank.
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0)
        return errno == ENOENT;
    // Anything that is not a regular file with readable content is left alone.
    QByteArray bytes;
    if (!readBytes(path, bytes))
        return false;
    return dropOneCrLf(decodeGbk(bytes)).isEmpty();
}

} // namespace modPub
