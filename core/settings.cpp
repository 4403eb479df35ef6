// The settings store: text values under application "LORVANTA", and the
// service addresses kept there.
#include "core/modpub.h"

#include <QSettings>
#include <QUrl>

namespace modPub {

QString getSetting(const QString &section, const QString &key)
{
    QSettings settings(QStringLiteral("LORVANTA"), QStringLiteral("LORVANTA"));
    return settings.value(section + QLatin1Char('/') + key).toString();
}

void saveSetting(const QString &section, const QString &key, const QString &value)
{
    QSettings settings(QStringLiteral("LORVANTA"), QStringLiteral("LORVANTA"));
    settings.setValue(section + QLatin1Char('/') + key, value);
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

QString ttsEndpoint() { return serviceAddress(getSetting(QStringLiteral("services"), QStringLiteral("tts"))); }

QString dictionaryBase()
{
    QString base = serviceAddress(getSetting(QStringLiteral("services"), QStringLiteral("dictionary")));
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

QString dictionaryPageEndpoint() { return dictionaryBase() + QStringLiteral("/zici/s?wd="); }

} // namespace modPub
