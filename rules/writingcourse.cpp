#include "rules/writingcourse.h"

#include "rules/deck.h"

#include <QList>

#include <algorithm>

namespace writingcourse {

Course::Course(int strokeCount, int missesForDrawing)
{
    setMissesForDrawing(missesForDrawing);
    reset(strokeCount);
}

void Course::reset(int strokeCount)
{
    m_total = std::max(0, strokeCount);
    m_current = 0;
    m_misses = 0;
}

void Course::setMissesForDrawing(int misses)
{
    m_missesForDrawing = std::clamp(misses, kLeastMisses, kMostMisses);
}

Course::Outcome Course::record(bool accepted)
{
    if (complete())
        return Outcome::Accepted;
    if (accepted) {
        ++m_current;
        m_misses = 0;
        return Outcome::Accepted;
    }
    ++m_misses;
    if (m_misses >= m_missesForDrawing) {
        ++m_current;
        m_misses = 0;
        return Outcome::DrawnForPupil;
    }
    // From the second miss on, and on the last before the stroke is drawn.
    return m_misses >= std::min(2, m_missesForDrawing - 1) ? Outcome::Hint : Outcome::Missed;
}

bool Course::stepBack()
{
    if (m_current == 0)
        return false;
    --m_current;
    m_misses = 0;
    return true;
}

int starsFor(int rightFirstTime, int total)
{
    if (total <= 0 || rightFirstTime >= total)
        return 3;
    const double share = double(std::max(0, rightFirstTime)) / total;
    return share >= 0.75 ? 2 : 1;
}

QString scoreText(int rightFirstTime, int total)
{
    return QStringLiteral("一次写对 %1 笔，共 %2 笔").arg(rightFirstTime).arg(total);
}

QString nextCharacter(const QString &bankText, const QString &character,
                      const std::function<bool(QChar)> &hasStrokes)
{
    QList<QChar> chars;
    for (QChar c : bankText)
        if (deck::isChineseCharacter(c) && !chars.contains(c) && hasStrokes(c))
            chars.append(c);
    const qsizetype at = character.size() == 1 ? chars.indexOf(character[0]) : -1;
    // The one after it, round the bank; never the character itself.
    if (chars.isEmpty() || (chars.size() == 1 && at == 0))
        return QString();
    return QString(chars[(at + 1) % chars.size()]);
}

QString characterFor(const QString &item)
{
    for (QChar c : item)
        if (deck::isChineseCharacter(c))
            return QString(c);
    return QStringLiteral("天");
}

QString menuText(const QString &item)
{
    const bool chinese = std::any_of(item.cbegin(), item.cend(), deck::isChineseCharacter);
    return chinese || item.isEmpty() ? QStringLiteral("练习书写…")
                                     : QStringLiteral("练习书写“%1”…").arg(characterFor(item));
}

} // namespace writingcourse
