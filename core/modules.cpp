#include "core/modules.h"

#include "core/modpub.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QPluginLoader>
#include <QStringList>

namespace modules {
namespace {
QString &searchFolder()
{
    static QString folder;
    return folder;
}

// Found modules by file name; nullptr for one that could not be loaded.
QHash<QString, QObject *> &loaded()
{
    static QHash<QString, QObject *> map;
    return map;
}

QStringList candidates(const QString &name)
{
    const QString dir = modPub::appDir();
    QStringList list;
    if (!searchFolder().isEmpty())
        list << searchFolder() + QLatin1Char('/') + name;
    // A portable copy keeps its modules beside the executable, an installed
    // one in the program's folder under the library directory.
    list << dir + name << dir + QStringLiteral(LORVANTA_MODULE_RELDIR "/") + name;
    return list;
}
} // namespace

QObject *instance(const QString &fileName)
{
    const auto found = loaded().constFind(fileName);
    if (found != loaded().constEnd())
        return found.value();
    QObject *object = nullptr;
    for (const QString &path : candidates(fileName)) {
        if (!QFileInfo(path).isFile())
            continue;
        // The loader stays, and the module with it, for the rest of the run.
        auto *loader = new QPluginLoader(path, QCoreApplication::instance());
        object = loader->instance();
        if (object)
            break;
        delete loader;
    }
    loaded().insert(fileName, object);
    return object;
}

bool attempted(const QString &fileName) { return loaded().contains(fileName); }

void setSearchFolder(const QString &folder) { searchFolder() = folder; }
} // namespace modules
