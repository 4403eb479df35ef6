// The history read from arbitrary text: every line is an entry or named as
// passed over, an entry written again reads back the same, and what the
// 学习记录 window asks of it stays within the entries.
#include "fuzz/fuzzcheck.h"
#include "rules/history.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const history::History h = history::History::parse(text);
    const qsizetype lines = text.count(u'\n') + 1;
    FUZZ_CHECK(h.entries().size() + h.badLines().size() <= lines, "more entries and bad lines than lines");
    for (int n : h.badLines())
        FUZZ_CHECK(n >= 1 && n <= lines, "a bad line's number outside the text");
    QStringList items;
    for (const history::Entry &e : h.entries()) {
        FUZZ_CHECK(history::parseEntryLine(history::entryLine(e)) == e, "an entry does not read back");
        items << e.item;
    }
    // The history parsed from its own lines is itself.
    QStringList written;
    for (const history::Entry &e : h.entries())
        written << history::entryLine(e);
    FUZZ_CHECK(history::History::parse(written.join(u'\n')).entries() == h.entries(), "written again, it differs");
    int total = 0;
    for (const history::History::Run &r : h.dictations()) {
        FUZZ_CHECK(r.total > 0 && r.right >= 0 && r.right <= r.total, "a run's counts");
        total += r.total;
    }
    FUZZ_CHECK(h.mostOftenWrong(10).size() <= 10, "more than ten most often wrong");
    FUZZ_CHECK(h.dictatedAtLeastOnce(items) <= items.size(), "more dictated than items");
    for (const QString &item : h.mastered(items, 2))
        FUZZ_CHECK(h.rightInARow(item) >= 2, "mastered without the run of right dictations");
    return 0;
}
