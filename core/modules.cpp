#include "core/modules.h"

#include "core/bankfile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QPluginLoader>
#include <QStringList>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

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
    QStringList list;
    for (const QString &dir : folders())
        list << dir + name;
    return list;
}

// Owned by root or by the user, and writable by no one else.
bool safelyOwned(const QString &path, bool folder)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    if (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
        return false;
    return (st.st_uid == 0 || st.st_uid == ::geteuid()) && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}
} // namespace

QStringList folders()
{
    const QString dir = modPub::appDir();
    QStringList list;
    if (!searchFolder().isEmpty())
        list << searchFolder() + QLatin1Char('/');
    // A portable copy keeps its modules beside the executable, an installed
    // one in the program's folder under the library directory.
    list << dir << dir + QStringLiteral(LORVANTA_MODULE_RELDIR "/");
    return list;
}

bool trusted(const QString &path)
{
    // The file as it really is, and its folder both as named and as it
    // really is: whoever may write any of them may put in code of their own.
    const QFileInfo named(path);
    const QString real = named.canonicalFilePath();
    if (real.isEmpty() || !safelyOwned(real, false))
        return false;
    const QString namedFolder = named.absolutePath();
    const QString realFolder = QFileInfo(real).absolutePath();
    return safelyOwned(realFolder, true) && (namedFolder == realFolder || safelyOwned(namedFolder, true));
}

QObject *instance(const QString &fileName)
{
    const auto found = loaded().constFind(fileName);
    if (found != loaded().constEnd())
        return found.value();
    QObject *object = nullptr;
    for (const QString &path : candidates(fileName)) {
        if (!QFileInfo(path).isFile())
            continue;
        // A module is code run as the user: one that others could have put
        // or changed there counts as missing.
        if (!trusted(path)) {
            std::fprintf(
                stderr, "Lorvanta：没有加载模块 %s：它或它的文件夹别人也能写入，或者不属于 root 或当前用户\n",
                QFile::encodeName(path).constData());
            continue;
        }
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

QString fileNameOf(const char *iid)
{
    for (const Module &m : list)
        if (qstrcmp(m.iid, iid) == 0)
            return QString::fromLatin1(m.fileName);
    return QString();
}

bool attempted(const QString &fileName) { return loaded().contains(fileName); }

void setSearchFolder(const QString &folder) { searchFolder() = folder; }
} // namespace modules
