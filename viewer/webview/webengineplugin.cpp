// The web view module: Qt WebEngine behind the program's WebViewFactory.
#include "viewer/webviewfactory.h"

#include <QObject>
#include <QWebEnginePage>
#include <QWebEngineView>

class WebEngineViewFactory : public QObject, public WebViewFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID WebViewFactory_iid)
    Q_INTERFACES(WebViewFactory)
public:
    QWidget *createView(QWidget *parent) override { return new QWebEngineView(parent); }

    void runJavaScript(QWidget *view, const QString &script) override
    {
        if (auto *web = qobject_cast<QWebEngineView *>(view))
            web->page()->runJavaScript(script);
    }
};

#include "webengineplugin.moc"
