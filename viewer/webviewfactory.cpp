#include "viewer/webviewfactory.h"

#include "core/modules.h"

#include <unistd.h>

namespace webview {
namespace {
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
} // namespace

WebViewFactory *factory()
{
    if (!engineMayStart())
        return nullptr;
    return modules::get<WebViewFactory>();
}
} // namespace webview
