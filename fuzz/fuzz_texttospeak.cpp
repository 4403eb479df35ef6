// The syllable lookup behind read-aloud, with arbitrary captions against the
// real syllable table: no crash and no hang; a Chinese caption goes out
// unchanged, anything else becomes at most one representative character per
// syllable.
#include "fuzz/fuzzcheck.h"
#include "rules/readaloud.h"

#include <QFile>

namespace {
const QString &table()
{
    static const QString t = [] {
        QFile f(QStringLiteral(LORVANTA_SYLLABLE_TABLE));
        FUZZ_CHECK(f.open(QIODevice::ReadOnly), "syllable table");
        return QString::fromUtf8(f.readAll());
    }();
    return t;
}

bool isHan(QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FA5; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString caption = fuzz::utf8(data, size);
    const std::optional<QString> spoken = readaloud::textToSpeak(caption, table());
    if (caption.isEmpty()) {
        FUZZ_CHECK(spoken && spoken->isEmpty(), "nothing to say for an empty caption");
        return 0;
    }
    if (isHan(caption.at(0))) {
        FUZZ_CHECK(spoken && *spoken == caption, "a Chinese caption is sent unchanged");
        return 0;
    }
    if (!spoken)
        return 0; // a syllable the engine cannot use: nothing is spoken
    FUZZ_CHECK(spoken->size() <= caption.count(QLatin1Char(' ')) + 1, "at most one character per syllable");
    for (const QChar c : *spoken)
        FUZZ_CHECK(isHan(c), "only representative characters");
    return 0;
}
