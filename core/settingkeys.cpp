#include "core/settingkeys.h"

#include "core/settings.h"

#include <algorithm>

namespace settingkeys {

int parse(const Key &key, const QString &stored)
{
    const QString text = stored.trimmed();
    switch (key.type) {
    case Type::Integer: {
        if (key.lowWord && text.compare(QLatin1String(key.lowWord), Qt::CaseInsensitive) == 0)
            return key.low;
        bool ok = false;
        const int v = text.toInt(&ok);
        if (ok && key.clamped)
            return std::clamp(v, key.low, key.high);
        return ok && v >= key.low && v <= key.high ? v : key.fallback;
    }
    case Type::Flag: return text == u"1" ? 1 : text == u"0" ? 0 : key.fallback;
    case Type::Word:
        for (size_t i = 0; i < key.words.size() && key.words[i]; ++i)
            if (text.compare(QLatin1String(key.words[i]), Qt::CaseInsensitive) == 0)
                return int(i);
        return key.fallback;
    case Type::Text:
    case Type::Address: break;
    }
    return key.fallback;
}

QString format(const Key &key, int value)
{
    switch (key.type) {
    case Type::Integer:
        return key.lowWord && value <= key.low ? QLatin1String(key.lowWord) : QString::number(value);
    case Type::Flag: return value ? QStringLiteral("1") : QStringLiteral("0");
    case Type::Word:
        if (value >= 0 && size_t(value) < key.words.size() && key.words[size_t(value)])
            return QLatin1String(key.words[size_t(value)]);
        return QLatin1String(key.words[size_t(key.fallback)]);
    case Type::Text:
    case Type::Address: break;
    }
    return QString::number(value);
}

int read(const Key &key)
{
    return parse(key, modPub::getSetting(QLatin1String(key.section), QLatin1String(key.name)));
}

QString readText(const Key &key)
{
    const QString stored = modPub::getSetting(QLatin1String(key.section), QLatin1String(key.name));
    return key.type == Type::Address ? modPub::serviceAddress(stored) : stored;
}

QString save(const QList<Value> &values)
{
    if (values.isEmpty())
        return QString();
    const QString section = QLatin1String(values.first().key.section);
    QList<std::pair<QString, QString>> pairs;
    for (const Value &v : values) {
        Q_ASSERT(section == QLatin1String(v.key.section));
        pairs.append({QLatin1String(v.key.name), v.text});
    }
    QString why;
    if (modPub::saveSettings(section, pairs, &why))
        return QString();
    return why.isEmpty() ? QStringLiteral("设置没有保存。") : why;
}

} // namespace settingkeys
