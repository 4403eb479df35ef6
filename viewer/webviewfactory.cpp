#include "viewer/webviewfactory.h"

#include "core/modpub.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPluginLoader>
#include <QStringList>

#include <unistd.h>

namespace webview {
namespace {
bool g_attempted = false;

QString &searchFolder()
{
    static QString folder;
    return folder;
}

// The browser engine refuses to run as root with its sandbox on and then ends
// the process. Only an explicit request to run without the sandbox (the test
// environment sets one) lets it start as root.
bool engineMayStart()
{
    if (::geteuid() != 0)
        return true;
    if (qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        return true;
    return qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS").contains(QLatin1String("--no-sandbox"));
}

QStringList candidates()
{
    const QString name = moduleFileName();
    const QString dir = modPub::appDir();
    QStringList list;
    if (!searchFolder().isEmpty())
        list << searchFolder() + QLatin1Char('/') + name;
    // A portable copy keeps the module beside the executable; an installed one
    // in the program's folder under the library directory.
    list << dir + name
         << dir + QStringLiteral(LORVANTA_MODULE_RELDIR "/") + name;
    return list;
}
} // namespace

QString moduleFileName()
{
    return QStringLiteral("lorvanta_webview.so");
}

bool loadAttempted()
{
    return g_attempted;
}

void setSearchFolder(const QString &folder)
{
    searchFolder() = folder;
}

WebViewFactory *factory()
{
    static WebViewFactory *instance = [] () -> WebViewFactory * {
        g_attempted = true;
        if (!engineMayStart())
            return nullptr;
        for (const QString &path : candidates()) {
            if (!QFileInfo(path).isFile())
                continue;
            // The loader stays alive (and the module loaded) for the rest of the run.
            auto *loader = new QPluginLoader(path, QCoreApplication::instance());
            if (auto *f = qobject_cast<WebViewFactory *>(loader->instance()))
                return f;
            delete loader;
        }
        return nullptr;
    }();
    return instance;
}
} // namespace webview
