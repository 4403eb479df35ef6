#include "rules/tones.h"

#include "core/textutil.h"

#include <QStringTokenizer>

namespace tones {

namespace {
constexpr char16_t table[rowCount * rowLength] = {
    0x0251, 0x0101, 0x00E1, 0x01CE, 0x00E0, // ɑ ā á ǎ à
    0x006F, 0x014D, 0x00F3, 0x01D2, 0x00F2, // o ō ó ǒ ò
    0x0065, 0x0113, 0x00E9, 0x011B, 0x00E8, // e ē é ě è
    0x0069, 0x012B, 0x00ED, 0x01D0, 0x00EC, // i ī í ǐ ì
    0x0075, 0x016B, 0x00FA, 0x01D4, 0x00F9, // u ū ú ǔ ù
    0x00FC, 0x01D6, 0x01D8, 0x01DA, 0x01DC, // ü ǖ ǘ ǚ ǜ
};

// Index of c in the table (first occurrence), or -1.
int tablePosition(char16_t c)
{
    for (int p = 0; p < rowCount * rowLength; ++p)
        if (table[p] == c)
            return p;
    return -1;
}

// A toned vowel (ā … ǜ), not one of the plain ones that head the rows.
bool isToned(int tablePos) { return tablePos >= 0 && tablePos % rowLength != 0; }
} // namespace

QString toneTable() { return QString(reinterpret_cast<const QChar *>(table), rowCount * rowLength); }

char16_t substituteKey(char16_t key)
{
    switch (key) {
    case u'a': return 0x0251;
    case u'g': return 0x0261;
    case u'v': return 0x00FC;
    default: return 0;
    }
}

char16_t toneDigitResult(char16_t before, char16_t digit)
{
    if (digit < u'0' || digit > u'4')
        return 0;
    const int p = tablePosition(before);
    if (p < 0)
        return 0;
    const int row = p / rowLength;
    return table[row * rowLength + (digit - u'0')];
}

QString removeToneMarks(const QString &text)
{
    QString t = modPub::normalizeItems(text);
    // One pass over the text does what replacing each toned form in table
    // order does: every toned form maps to exactly one plain vowel.
    for (QChar &c : t) {
        const int p = tablePosition(c.unicode());
        if (isToned(p))
            c = QChar(table[(p / rowLength) * rowLength]);
    }
    return modPub::normalizeItems(t);
}

QString expandToneMarks(const QString &text)
{
    const QString normal = modPub::normalizeItems(text);
    if (normal.isEmpty())
        return normal;
    // The row of the vowel that takes the mark: the first of the priority
    // found anywhere in the item; -1 for none.
    const auto rowOf = [](QStringView item) {
        for (int r = 0; r < rowCount; ++r)
            if (item.contains(QChar(table[r * rowLength])))
                return r;
        return -1;
    };
    // Views of the items, twice over: a bank can hold millions of them, and a
    // string each would cost more than the text.
    const auto forEachItem = [&normal](auto &&use) {
        for (const QStringView item : QStringTokenizer(normal, QLatin1Char(' ')))
            use(item);
    };
    qsizetype size = -1;
    bool marked = false;
    forEachItem([&](QStringView item) {
        size += 1 + (rowOf(item) < 0 ? item.size() : 4 * item.size() + 3);
        for (qsizetype i = 0; i < item.size() && !marked; ++i)
            marked = isToned(tablePosition(item.at(i).unicode()));
    });
    QString out;
    out.reserve(size);
    // The items are distinct and unmarked, so each one is replaced where it
    // stands; a variant carries a mark and can never be taken for a later item.
    forEachItem([&](QStringView item) {
        if (!out.isEmpty())
            out += QLatin1Char(' ');
        const int row = rowOf(item);
        if (row < 0) {
            out += item;
            return;
        }
        const QChar plain(table[row * rowLength]);
        for (int t = 1; t <= 4; ++t) {
            if (t > 1)
                out += QLatin1Char(' ');
            const qsizetype from = out.size();
            out += item;
            const QChar toned(table[row * rowLength + t]);
            for (qsizetype i = from; i < out.size(); ++i)
                if (out.at(i) == plain)
                    out[i] = toned;
        }
    });
    // Unmarked items give variants that are all distinct; only an item that
    // already carried a mark (called without addToneMarks) can repeat one.
    return marked ? modPub::normalizeItems(out) : out;
}

QString addToneMarks(const QString &text) { return expandToneMarks(removeToneMarks(text)); }

} // namespace tones
