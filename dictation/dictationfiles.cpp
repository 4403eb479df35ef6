#include "dictation/dictationfiles.h"

#include "core/bankfile.h"
#include "rules/dictation.h"
#include "rules/dictationwords.h"

#include <QFileInfo>

namespace dictationfiles {

QString mistakeBookPath() { return modPub::bankDir() + dictation::mistakeBookFileName(); }

QString recordPath() { return modPub::bankDir() + dictation::recordFileName(); }

QString ownWordsPath() { return modPub::bankDir() + dictation::ownWordsFileName(); }

bool readKeptFile(const QString &path, QString &text)
{
    text.clear();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    // A file that cannot be read (a folder, a FIFO, too large, no permission) is none to replace.
    std::optional<QString> read = modPub::tryReadTextFile(path);
    if (!read)
        return false;
    text = std::move(*read);
    return true;
}

bool writeKeptFile(const QString &path, const QString &text)
{
    return modPub::writeTextFile(path, text, true);
}

BookResult addToMistakeBook(const QStringList &items)
{
    BookResult r;
    const QString path = mistakeBookPath();
    QString old;
    if (!readKeptFile(path, old)) {
        r.outcome = BookResult::Unreadable;
        return r;
    }
    const qsizetype before = dictation::bookItems(old).size();
    const QString merged = dictation::mergeMistakes(old, items);
    r.total = merged.isEmpty() ? 0 : merged.count(QLatin1Char(' ')) + 1;
    r.added = r.total - before;
    if (r.added == 0 && QFileInfo::exists(path))
        r.outcome = BookResult::AlreadyThere;
    else if (!writeKeptFile(path, merged))
        r.outcome = BookResult::NotSaved;
    return r;
}

RecordResult writeRecordLine(const QString &line, const QString &previous)
{
    const QString path = recordPath();
    QString text;
    if (!readKeptFile(path, text))
        return RecordResult::Unreadable;
    // Marked again after it was written: this run's line is replaced, not repeated.
    if (!previous.isEmpty() && text.endsWith(previous))
        text.chop(previous.size());
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    return writeKeptFile(path, dictation::appendRecordLine(text, line)) ? RecordResult::Written
                                                                        : RecordResult::NotSaved;
}

} // namespace dictationfiles
