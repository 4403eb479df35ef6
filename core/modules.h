// Modules: parts of the program in shared libraries of their own, loaded the
// first time they are needed (the web view, the audio engine). Linking them
// into the program would make every start-up pay for libraries that many
// runs never use.
#pragma once

#include <QString>

class QObject;

namespace modules {
// The module's plugin object, loading it on the first call; nullptr when the
// module is missing or cannot be loaded. The result is kept for the run, a
// failure included.
QObject *instance(const QString &fileName);
// Whether a module file may be loaded: the file and its folder are owned by
// root or by the user and writable by no one else.
bool trusted(const QString &path);
// Whether instance() has been asked for this module yet.
bool attempted(const QString &fileName);
// A folder searched before the program's own (the tests' build folder).
void setSearchFolder(const QString &folder);
} // namespace modules
