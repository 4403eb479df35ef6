// The settings store: text values under application "LORVANTA", and the
// service addresses kept there.
#include "core/settings.h"

#include "core/appsettings.h"
#include "core/keptfile.h"
#include "core/network.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QUrl>

#include <cstdio>
#include <sys/stat.h>

namespace modPub {

namespace {
QString storeName() { return QStringLiteral("LORVANTA"); }

// QSettings takes a lock file beside the store before it writes, and waits
// for it without end: a lock that can never be taken (a folder in its place,
// or a writer that hangs) would hold the program on closing for ever. The
// lock is tried here first, for a moment only; when it cannot be had the
// values are not written at all, so that QSettings never waits for it.
QString storeLocked(const QString &file)
{
    QLockFile lock(file + QStringLiteral(".lock"));
    if (lock.tryLock(settingsLockWaitMs)) {
        lock.unlock();
        return QString();
    }
    const QString cause = keptfile::failureCause(file, false, QStringLiteral("设置"));
    if (lock.error() == QLockFile::PermissionError && !cause.isEmpty())
        return cause;
    return QStringLiteral("设置文件“%1”锁不住（它的锁文件“%1.lock”的位置被占了，或者别的程序正在写它）。")
        .arg(QDir::toNativeSeparators(file));
}

// Said once per run and cause: a store left alone is no reason to fill the terminal.
void warnOnce(const QString &why)
{
    static QStringList said;
    if (said.contains(why))
        return;
    said << why;
    std::fprintf(stderr, "Lorvanta：设置文件没有用上：%s\n", why.toLocal8Bit().constData());
}

// QSettings reads its file when it is made: a FIFO there would hold the
// program for ever, a folder or a device is no store. Such a store is read
// as missing.
bool storeReadable()
{
    const QString file = keptfile::settingsPath();
    struct stat st;
    if (::stat(QFile::encodeName(file).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return true;
    warnOnce(QStringLiteral("“%1”不是普通文件，设置按默认值。").arg(QDir::toNativeSeparators(file)));
    return false;
}
} // namespace

QString getSetting(const QString &section, const QString &key)
{
    if (!storeReadable())
        return QString();
    QSettings settings(storeName(), storeName());
    return settings.value(section + QLatin1Char('/') + key).toString();
}

bool saveSettings(const QString &section, const QList<std::pair<QString, QString>> &values, QString *why)
{
    // Said on standard error too: options saved along the way (the copybook's,
    // dictation's, writing's) are not worth a message box each.
    const auto fail = [why](const QString &cause) {
        warnOnce(cause);
        if (why)
            *why = cause;
        return false;
    };
    // Never written through a link to, or as a second name of, another file
    // the program keeps (the bank would become INI text), nor over a file of
    // another user or something that is no regular file.
    const QString file = keptfile::settingsPath();
    // QSettings makes the store's folder when it writes the first time; the
    // lock file needs it first.
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (const QString refused = keptfile::refusal(file); !refused.isEmpty())
        return fail(refused);
    if (const QString locked = storeLocked(file); !locked.isEmpty())
        return fail(locked);
    QSettings settings(storeName(), storeName());
    for (const auto &[key, value] : values)
        settings.setValue(section + QLatin1Char('/') + key, value);
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    const QString cause = keptfile::failureCause(file, false, QStringLiteral("设置"));
    return fail(cause.isEmpty() ? QStringLiteral("设置文件“%1”写不进去。").arg(QDir::toNativeSeparators(file))
                                : cause);
}

bool saveSetting(const QString &section, const QString &key, const QString &value)
{
    return saveSettings(section, {{key, value}});
}

QString serviceAddress(const QString &text)
{
    const QString address = text.trimmed();
    if (!isWebAddress(QUrl(address, QUrl::StrictMode)))
        return QString();
    return address;
}

QString ttsEndpoint() { return appsettings::ServicesSection::load().tts; }

QString dictionaryBase() { return appsettings::ServicesSection::load().dictionary; }

QString dictionaryPageEndpoint() { return dictionaryBase() + QStringLiteral("/zici/s?wd="); }

} // namespace modPub
