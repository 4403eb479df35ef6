// normalizeItems: single spaces, no empty or repeated items, no ASCII a or g,
// nothing invented or lost, and a second pass changes nothing.
#include "core/textutil.h"
#include "fuzz/fuzzcheck.h"

#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString in = (size > 0 && data[0] & 1) ? fuzz::utf16(data + 1, size - 1) : fuzz::utf8(data, size);
    const QString out = modPub::normalizeItems(in);

    FUZZ_CHECK(!out.startsWith(QLatin1Char(' ')) && !out.endsWith(QLatin1Char(' ')), "no outer space");
    FUZZ_CHECK(!out.contains(QStringLiteral("  ")), "single spaces");
    FUZZ_CHECK(!out.contains(QLatin1Char('a')) && !out.contains(QLatin1Char('g')), "ɑ and ɡ only");

    QSet<QString> items;
    const QStringList outItems = out.isEmpty() ? QStringList() : out.split(QLatin1Char(' '));
    for (const QString &item : outItems) {
        FUZZ_CHECK(!item.isEmpty(), "no empty item");
        FUZZ_CHECK(!items.contains(item), "no repeated item");
        items.insert(item);
    }
    QSet<QString> source;
    for (const QString &piece : modPub::normalizeLetters(in).split(QLatin1Char(' ')))
        if (!piece.isEmpty())
            source.insert(piece);
    FUZZ_CHECK(items == source, "the items are exactly the input's pieces");
    FUZZ_CHECK(modPub::normalizeItems(out) == out, "idempotent");
    return 0;
}
