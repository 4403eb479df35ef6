#include "resources/texts.h"

#include <QFile>

namespace resources {
namespace {
QString readUtf8(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}
} // namespace

QString syllableTable() { return readUtf8(QStringLiteral(":/texts/syllables.txt")); }

QString instructionsText() { return readUtf8(QStringLiteral(":/texts/instructions.txt")); }
} // namespace resources
