#include "rules/deck.h"

#include "core/textutil.h"

#include <algorithm>

namespace deck {

QStringList itemList(const QString &bankText)
{
    return (QLatin1Char(' ') + bankText).split(QLatin1Char(' '));
}

ItemIndex::ItemIndex(const QString &bankText) : m_text(bankText)
{
    m_starts.reserve(bankText.count(QLatin1Char(' ')) + 2);
    m_starts.append(0);
    m_starts.append(0);
    for (qsizetype i = 0; i < bankText.size(); ++i)
        if (bankText.at(i) == QLatin1Char(' '))
            m_starts.append(i + 1);
}

QString ItemIndex::at(qsizetype slot) const
{
    if (slot <= 0 || slot >= m_starts.size())
        return QString();
    const qsizetype start = m_starts.at(slot);
    const qsizetype end = slot + 1 < m_starts.size() ? m_starts.at(slot + 1) - 1 : m_text.size();
    return m_text.mid(start, end - start);
}

QString normalizedForm(const QString &stored) { return modPub::normalizeLetters(stored); }

QString displayForm(const QString &normalized)
{
    QString d = normalized;
    d.replace(QLatin1Char('-'), QLatin1Char(' '));
    return d;
}

bool isChinese(const QString &normalized)
{
    // Same test as regexTest(item, "[\u4e00-\u9fa5]"), without compiling a pattern per item.
    return std::any_of(normalized.begin(), normalized.end(), isChineseCharacter);
}

int baseFontSizeFor(const QString &normalized)
{
    const qint64 l = normalized.size();
    const qint64 size = isChinese(normalized) ? 240 - 30 * (l - 1) : 230 - 13 * (l - 1);
    return size <= 0 ? 40 : static_cast<int>(size);
}

QString counterCaption(int curIndex, int upperBound)
{
    return QStringLiteral("我的生字库 %1/%2").arg(curIndex).arg(upperBound);
}

QString withoutItem(const QString &bankText, const QString &tag)
{
    QStringList kept;
    for (const QString &item : bankText.split(QLatin1Char(' ')))
        if (normalizedForm(item) != tag)
            kept.append(item);
    return modPub::normalizeItems(kept.join(QLatin1Char(' ')));
}
} // namespace deck
