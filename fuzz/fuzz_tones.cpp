// The tone commands and the typing aids on arbitrary text.
#include "core/textutil.h"
#include "fuzz/fuzzcheck.h"
#include "rules/tones.h"

namespace {
bool hasToneMark(const QString &s, const QString &table)
{
    for (int i = 0; i < table.size(); ++i)
        if (i % tones::rowLength != 0 && s.contains(table.at(i)))
            return true;
    return false;
}

bool hasVowel(const QString &item, const QString &table)
{
    for (int r = 0; r < tones::rowCount; ++r)
        if (item.contains(table.at(r * tones::rowLength)))
            return true;
    return false;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString table = tones::toneTable();
    FUZZ_CHECK(table.size() == tones::rowCount * tones::rowLength, "table of 30");
    const QString in = fuzz::utf8(data, size);

    const QString plain = tones::removeToneMarks(in);
    FUZZ_CHECK(!hasToneMark(plain, table), "no tone mark left");
    FUZZ_CHECK(modPub::normalizeItems(plain) == plain, "removal leaves a normalised bank");
    FUZZ_CHECK(tones::removeToneMarks(plain) == plain, "removal is idempotent");

    const QString toned = tones::addToneMarks(in);
    FUZZ_CHECK(modPub::normalizeItems(toned) == toned, "adding leaves a normalised bank");
    FUZZ_CHECK(tones::removeToneMarks(toned) == plain, "taking the marks off again gives the plain bank");
    qsizetype expectedItems = 0;
    if (!plain.isEmpty())
        for (const QString &item : plain.split(QLatin1Char(' ')))
            expectedItems += hasVowel(item, table) ? 4 : 1;
    const qsizetype gotItems = toned.isEmpty() ? 0 : toned.split(QLatin1Char(' ')).size();
    FUZZ_CHECK(gotItems == expectedItems, "four toned forms per item with a vowel, others kept");

    // Typing aids, on pairs of input characters.
    for (qsizetype i = 0; i + 1 < in.size(); i += 2) {
        const char16_t before = in.at(i).unicode();
        const char16_t key = in.at(i + 1).unicode();
        const char16_t sub = tones::substituteKey(key);
        FUZZ_CHECK(sub == 0 || key == u'a' || key == u'g' || key == u'v', "only a, g and v are substituted");
        const char16_t digit = u'0' + key % 5;
        const char16_t result = tones::toneDigitResult(before, digit);
        const qsizetype p = table.indexOf(QChar(before));
        if (p < 0) {
            FUZZ_CHECK(result == 0, "no vowel, the digit is typed");
        } else {
            const qsizetype row = p / tones::rowLength;
            FUZZ_CHECK(result == table.at(row * tones::rowLength + (digit - u'0')).unicode(),
                       "the same vowel with the digit's tone");
        }
        FUZZ_CHECK(tones::toneDigitResult(before, u'5') == 0, "5 is always a digit");
    }
    return 0;
}
