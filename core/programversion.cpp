#include "core/programversion.h"

namespace modPub {

QString programTitle() { return QStringLiteral("Lorvanta V%1.%2").arg(versionMajor).arg(versionMinor); }

} // namespace modPub
