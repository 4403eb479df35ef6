// The settings store: text values under application "LORVANTA", and the
// service addresses kept there.
#include "core/settings.h"

#include "core/appsettings.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QUrl>

namespace modPub {

namespace {
QString storeName() { return QStringLiteral("LORVANTA"); }

// QSettings takes a lock file beside the store before it writes, and waits
// for it without end: a lock that can never be taken (a folder in its place,
// or a writer that hangs) would hold the program on closing for ever. The
// lock is tried here first, for a moment only; when it cannot be had the
// values are not written at all, so that QSettings never waits for it.
bool storeLockFree(const QString &file)
{
    // QSettings makes the store's folder when it writes the first time; the
    // lock file needs it first.
    QDir().mkpath(QFileInfo(file).absolutePath());
    QLockFile lock(file + QStringLiteral(".lock"));
    if (!lock.tryLock(settingsLockWaitMs))
        return false;
    lock.unlock();
    return true;
}
} // namespace

QString getSetting(const QString &section, const QString &key)
{
    QSettings settings(storeName(), storeName());
    return settings.value(section + QLatin1Char('/') + key).toString();
}

bool saveSettings(const QString &section, const QList<std::pair<QString, QString>> &values)
{
    QSettings settings(storeName(), storeName());
    if (!storeLockFree(settings.fileName()))
        return false;
    for (const auto &[key, value] : values)
        settings.setValue(section + QLatin1Char('/') + key, value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool saveSetting(const QString &section, const QString &key, const QString &value)
{
    return saveSettings(section, {{key, value}});
}

QString serviceAddress(const QString &text)
{
    const QString address = text.trimmed();
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return QString();
    return address;
}

QString ttsEndpoint() { return appsettings::ServicesSection::load().tts; }

QString dictionaryBase() { return appsettings::ServicesSection::load().dictionary; }

QString dictionaryPageEndpoint() { return dictionaryBase() + QStringLiteral("/zici/s?wd="); }

} // namespace modPub
