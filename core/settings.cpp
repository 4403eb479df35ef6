// The settings store: text values under application "LORVANTA", and the
// service addresses kept there.
#include "core/modpub.h"

#include <QSettings>

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

QString ttsEndpoint() { return getSetting(QStringLiteral("services"), QStringLiteral("tts")).trimmed(); }

QString dictionaryBase()
{
    QString base = getSetting(QStringLiteral("services"), QStringLiteral("dictionary")).trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

QString dictionaryPageEndpoint() { return dictionaryBase() + QStringLiteral("/zici/s?wd="); }

} // namespace modPub
