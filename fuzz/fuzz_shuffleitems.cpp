// shuffleItems returns a permutation of the items between separators.
#include "core/textutil.h"
#include "fuzz/fuzzcheck.h"

#include <algorithm>

namespace {
// The separator class [\s,，.。　] written out: ASCII white space (the engine
// runs without Unicode properties), commas, full stops, ideographic space.
bool isSeparator(QChar c)
{
    switch (c.unicode()) {
    case u' ':
    case u'\t':
    case u'\n':
    case 0x0B:
    case u'\f':
    case u'\r':
    case u',':
    case 0xFF0C:
    case u'.':
    case 0x3002:
    case 0x3000: return true;
    default: return false;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Well-formed text only: the engine does not match in malformed UTF-16,
    // which no bank file or text box can produce.
    QString in = (size > 0 && data[0] & 1) ? fuzz::utf16(data + 1, size - 1) : fuzz::utf8(data, size);
    for (QChar &c : in)
        if (c.isSurrogate())
            c = QChar(0xFFFD);
    QStringList expected;
    QString piece;
    for (const QChar c : in) {
        if (isSeparator(c)) {
            if (!piece.isEmpty())
                expected.append(piece);
            piece.clear();
        } else {
            piece += c;
        }
    }
    if (!piece.isEmpty())
        expected.append(piece);

    const QString out = modPub::shuffleItems(in);
    QStringList got = out.isEmpty() ? QStringList() : out.split(QLatin1Char(' '));
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    FUZZ_CHECK(got == expected, "a permutation of the separated items");
    return 0;
}
