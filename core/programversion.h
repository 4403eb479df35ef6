// modPub: the program's version and the titles made from it.
#pragma once

#include "core/version.h"

#include <QString>

namespace modPub {

constexpr int versionMajor = LORVANTA_VERSION_MAJOR;
constexpr int versionMinor = LORVANTA_VERSION_MINOR;
// "Lorvanta V" + major + "." + minor: the practice window's caption and the About window's title line.
QString programTitle();
// Title of every message box.
inline QString appTitle() { return QStringLiteral("Lorvanta"); }

} // namespace modPub
