#include "dictation/dictationfiles.h"

#include "core/bankfile.h"
#include "rules/dictation.h"
#include "rules/dictationwords.h"

#include <QFileInfo>

namespace dictationfiles {

QString mistakeBookPath() { return modPub::bankDir() + dictation::mistakeBookFileName(); }

QString recordPath() { return modPub::bankDir() + dictation::recordFileName(); }

QString ownWordsPath() { return modPub::bankDir() + dictation::ownWordsFileName(); }

std::optional<keptfile::Text> readKeptFile(const QString &path, keptfile::Kind kind, QString *why)
{
    return keptfile::read(path, kind, why);
}

QString writeKeptFile(const QString &path, keptfile::Kind kind, const QString &text,
                      keptfile::Encoding encoding)
{
    return keptfile::rewrite(path, kind, text, encoding);
}

BookResult addToMistakeBook(const QStringList &items)
{
    BookResult r;
    const QString path = mistakeBookPath();
    const std::optional<keptfile::Text> old = readKeptFile(path, keptfile::Kind::MistakeBook, &r.why);
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
    else if (r.why = writeKeptFile(path, keptfile::Kind::MistakeBook, merged, old->encoding);
             !r.why.isEmpty())
        r.outcome = BookResult::NotSaved;
    return r;
}

QString writeRecordLine(const QString &text, keptfile::Appended &line)
{
    keptfile::Appended written;
    const QString why = keptfile::appendLine(recordPath(), keptfile::Kind::Record, text, &written,
                                             line.offset >= 0 ? &line : nullptr);
    if (why.isEmpty())
        line = written;
    return why;
}

} // namespace dictationfiles
