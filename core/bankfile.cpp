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

QString readTextFile(const QString &path)
{
    QByteArray bytes;
    if (!readBytes(path, bytes))
        return QString();
    return dropOneCrLf(decodeGbk(bytes));
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
