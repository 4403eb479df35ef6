// The web view lives in a module of its own, loaded the first time an online
// page is shown: linking the browser engine into the program would cost every
// start-up tens of milliseconds and megabytes, for a view many never open.
#pragma once

#include "core/modules.h"

#include <QString>
#include <QtPlugin>

class QWidget;

class WebViewFactory
{
public:
    virtual ~WebViewFactory() = default;
    // A web view as a plain widget. Its "url" property reads and points it at
    // an address; its signal loadFinished(bool) reports a finished page.
    virtual QWidget *createView(QWidget *parent) = 0;
    // Runs a script in the view's current page, without waiting for it.
    virtual void runJavaScript(QWidget *view, const QString &script) = 0;
};

Q_DECLARE_INTERFACE(WebViewFactory, WebViewFactory_iid)

namespace webview {
// The module's factory, loaded on the first call; nullptr when the module or
// the browser engine is missing or cannot be loaded, or when the engine must
// not start (as root with its sandbox on, the engine would end the whole
// program). A failed load is not retried.
WebViewFactory *factory();
} // namespace webview
