#include "progress/progressfiles.h"

#include "core/bankfile.h"
#include "rules/dictation.h"

#include <QFile>

namespace progressfiles {

QString historyPath() { return keptfile::besideBank(keptfile::historyName()); }

QString mistakeBookPath() { return keptfile::besideBank(keptfile::mistakeBookName()); }

history::History readHistory(QString *why)
{
    QString error;
    const std::optional<keptfile::Text> text = keptfile::read(historyPath(), keptfile::Kind::History, &error);
    if (why)
        *why = error;
    return text ? history::History::parse(text->text) : history::History();
}

namespace {
// The end of a history whose last write was cut off (a kill, a power cut):
// a last line without its line break that is no entry. Taken back before the
// next lines, so that no half entry stays. Nothing when the file ends whole.
keptfile::Appended cutOffEnd(const QString &path)
{
    if (!keptfile::refusal(path).isEmpty())
        return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() == 0)
        return {};
    // UTF-16 line breaks are two bytes: such a file is left as it is.
    const QByteArray head = f.peek(2);
    if (head == QByteArray("\xff\xfe") || head == QByteArray("\xfe\xff"))
        return {};
    const qint64 size = f.size();
    const qint64 from = std::max<qint64>(0, size - 4096);
    if (!f.seek(from))
        return {};
    const QByteArray tail = f.read(size - from);
    const qsizetype lf = tail.lastIndexOf('\n');
    if (tail.size() != size - from || tail.endsWith('\n') || (lf < 0 && from > 0))
        return {};
    const QByteArray rest = tail.mid(lf + 1);
    if (history::parseEntryLine(modPub::decodeGbk(rest)) || history::parseEntryLine(QString::fromUtf8(rest)))
        return {};
    return {size - rest.size(), rest};
}
} // namespace

QString appendEntries(const QList<history::Entry> &entries, keptfile::Appended &block)
{
    if (entries.isEmpty())
        return QString();
    QStringList lines;
    lines.reserve(entries.size());
    for (const history::Entry &e : entries)
        lines << history::entryLine(e);
    const QString path = historyPath();
    const keptfile::Appended cut = block.offset >= 0 ? block : cutOffEnd(path);
    keptfile::Appended written;
    const QString why = keptfile::appendLine(path, keptfile::Kind::History, lines.join(QStringLiteral("\r\n")),
                                             &written, cut.offset >= 0 ? &cut : nullptr);
    if (why.isEmpty())
        block = written;
    return why;
}

BookResult addToMistakeBook(const QStringList &items)
{
    BookResult r;
    const QString path = mistakeBookPath();
    const std::optional<keptfile::Text> old = keptfile::read(path, keptfile::Kind::MistakeBook, &r.why);
    if (!old) {
        r.outcome = BookResult::Unreadable;
        return r;
    }
    const qsizetype before = dictation::bookItems(old->text).size();
    const QString merged = dictation::mergeMistakes(old->text, items);
    r.total = merged.isEmpty() ? 0 : merged.count(QLatin1Char(' ')) + 1;
    r.added = r.total - before;
    if (r.added == 0 && old->exists)
        r.outcome = BookResult::AlreadyThere;
    else if (r.why = keptfile::rewrite(path, keptfile::Kind::MistakeBook, merged, old->encoding);
             !r.why.isEmpty())
        r.outcome = BookResult::NotSaved;
    return r;
}

std::optional<QStringList> mistakeBookItems(QString *why)
{
    const std::optional<keptfile::Text> text = keptfile::read(mistakeBookPath(), keptfile::Kind::MistakeBook, why);
    if (!text)
        return std::nullopt;
    return dictation::bookItems(text->text);
}

QString removeFromMistakeBook(const QStringList &items, const QString &path)
{
    QString why;
    const std::optional<keptfile::Text> text = keptfile::read(path, keptfile::Kind::MistakeBook, &why);
    if (!text)
        return why;
    const QStringList before = dictation::bookItems(text->text);
    QStringList kept = before;
    for (const QString &item : items)
        kept.removeAll(item);
    if (kept.size() == before.size())
        return QString(); // none of them is in the book (any more)
    return keptfile::rewrite(path, keptfile::Kind::MistakeBook, kept.join(u' '), text->encoding);
}

} // namespace progressfiles
