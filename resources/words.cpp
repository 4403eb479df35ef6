#include "resources/words.h"

#include <QFile>

namespace resources {
QString dictationWords()
{
    QFile file(QStringLiteral(":/words/words.txt"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace resources
