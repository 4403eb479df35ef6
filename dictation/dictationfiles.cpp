#include "dictation/dictationfiles.h"

#include "core/bankfile.h"
#include "progress/progressfiles.h"
#include "rules/dictation.h"
#include "rules/dictationwords.h"

#include <QFileInfo>

namespace dictationfiles {

QString mistakeBookPath() { return progressfiles::mistakeBookPath(); }

QString recordPath() { return modPub::bankDir() + dictation::recordFileName(); }

QString ownWordsPath() { return modPub::bankDir() + dictation::ownWordsFileName(); }

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
