// The deck's rules that need no window: the item list, the three forms of an
// item, Chinese or pinyin, and the base font size.
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

namespace deck {
// " " + bankText cut at every single space: slot 0 is always empty, the items
// are slots 1..U (U = size - 1).
QStringList itemList(const QString &bankText);
// The same list kept as where each slot starts in the bank text: a few
// bytes an item instead of a string each, so a bank of millions of items
// costs little more than its text.
class ItemIndex
{
public:
    ItemIndex() = default;
    explicit ItemIndex(const QString &bankText);
    qsizetype size() const { return m_starts.size(); }
    QString at(qsizetype slot) const;

private:
    QString m_text;
    // Slot i (i >= 1) starts at m_starts[i]; slot 0 is the empty one before.
    QList<qsizetype> m_starts;
};
// g -> ɡ, then a -> ɑ.
QString normalizedForm(const QString &stored);
// Hyphens shown as spaces.
QString displayForm(const QString &normalized);
// A character from U+4E00 to U+9FA5.
inline bool isChineseCharacter(QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FA5; }
// Holds a character from U+4E00 to U+9FA5.
bool isChinese(const QString &normalized);
// 240 - 30(L-1) for Chinese, 230 - 13(L-1) for pinyin, 40 when that is not positive.
int baseFontSizeFor(const QString &normalized);
// "我的生字库 3/20".
QString counterCaption(int curIndex, int upperBound);
// The bank with every item taken out whose normalized form is tag, in canonical form.
QString withoutItem(const QString &bankText, const QString &tag);
} // namespace deck
