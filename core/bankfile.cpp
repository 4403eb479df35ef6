// Paths, the bank file and whole-file text input and output.
#include "core/modpub.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

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
    return info.isDir() && info.isWritable();
}
} // namespace

QString programTitle()
{
    return QStringLiteral("Lorvanta V%1.%2").arg(versionMajor).arg(versionMinor);
}

QString appDir()
{
    return withSlash(QCoreApplication::applicationDirPath());
}

QString bankDir()
{
    if (!bankDirOverride().isEmpty())
        return bankDirOverride();
    static const QString dir = [] {
        const QString exeDir = appDir();
        if (!isInstalledCopy(exeDir) && folderIsWritable(exeDir))
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

QString bankPath()
{
    return bankDir() + bankFileName();
}

QString defaultBank()
{
    return QStringLiteral("ā á ǎ à ō ó ǒ ò ē é ě è ī í ǐ ì ū ú ǔ ù ǖ ǘ ǚ ǜ");
}

QString decodeGbk(const QByteArray &bytes)
{
    QStringDecoder decoder("GB18030");
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray encodeGbk(const QString &text)
{
    QStringEncoder encoder("GB18030");
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(text);
}

namespace {
// Reads the whole file; false when it is missing, a folder, too large or unreadable.
bool readBytes(const QString &path, QByteArray &bytes)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isDir() || info.size() > maxTextFileSize)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
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
// Text files made on Linux are UTF-8: one that carries the UTF-8 mark, or
// whose bytes are valid UTF-8 with something beyond ASCII, is read as UTF-8.
// Only files from elsewhere go through this; the bank itself is always GBK,
// since some GBK text is valid UTF-8 too and would be misread.
QString decodeForeignText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
    if (!ascii) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(bytes);
        if (!utf8.hasError())
            return text;
    }
    return decodeGbk(bytes);
}
} // namespace

QString readTextFile(const QString &path)
{
    QByteArray bytes;
    if (!readBytes(path, bytes))
        return QString();
    return dropOneCrLf(decodeGbk(bytes));
}

QString readForeignTextFile(const QString &path)
{
    QByteArray bytes;
    if (!readBytes(path, bytes))
        return QString();
    return dropOneCrLf(decodeForeignText(bytes));
}

bool writeTextFile(const QString &path, const QString &text, bool overwrite)
{
    const QByteArray bytes = encodeGbk(text) + QByteArrayLiteral("\r\n");
    if (overwrite) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        if (file.write(bytes) != bytes.size()) {
            file.cancelWriting();
            return false;
        }
        return file.commit();
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

bool bankFileNeedsDefault(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    QByteArray bytes;
    if (!readBytes(path, bytes))
        return false;
    return dropOneCrLf(decodeGbk(bytes)).isEmpty();
}

} // namespace modPub
