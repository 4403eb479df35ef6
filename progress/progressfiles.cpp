#include "progress/progressfiles.h"

#include "core/bankfile.h"
#include "core/settings.h"
#include "rules/dictation.h"

namespace progressfiles {

namespace {
const QString settingsSection = QStringLiteral("dictation");
const QString rightInARowKey = QStringLiteral("mastered");
} // namespace

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

QString appendEntries(const QList<history::Entry> &entries, keptfile::Appended &block)
{
    if (entries.isEmpty())
        return QString();
    QStringList lines;
    lines.reserve(entries.size());
    for (const history::Entry &e : entries)
        lines << history::entryLine(e);
    keptfile::Appended written;
    const QString why = keptfile::appendLine(historyPath(), keptfile::Kind::History,
                                             lines.join(QStringLiteral("\r\n")), &written,
                                             block.offset >= 0 ? &block : nullptr);
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

QString removeFromMistakeBook(const QStringList &items)
{
    const QString path = mistakeBookPath();
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

int rightInARow()
{
    bool ok = false;
    const int v = modPub::getSetting(settingsSection, rightInARowKey).trimmed().toInt(&ok);
    return ok && v >= history::minRightInARow && v <= history::maxRightInARow ? v : history::defaultRightInARow;
}

void setRightInARow(int times)
{
    modPub::saveSetting(settingsSection, rightInARowKey,
                        QString::number(std::clamp(times, history::minRightInARow, history::maxRightInARow)));
}

} // namespace progressfiles
