// The web view module: Qt WebEngine behind the program's WebViewFactory.
#include "viewer/webviewfactory.h"

#include <QLoggingCategory>
#include <QObject>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {
QLoggingCategory::CategoryFilter previousFilter = nullptr;

// When the engine starts it describes the shared OpenGL context in an
// informational message, reading that context without asking whether there
// is one; with none, the program would crash. The description is therefore
// never enabled, whatever the logging rules say.
void withoutContextReport(QLoggingCategory *category)
{
    if (previousFilter)
        previousFilter(category);
    if (qstrcmp(category->categoryName(), "qt.webenginecontext") == 0) {
        category->setEnabled(QtDebugMsg, false);
        category->setEnabled(QtInfoMsg, false);
    }
}
} // namespace

class WebEngineViewFactory : public QObject, public WebViewFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID WebViewFactory_iid)
    Q_INTERFACES(WebViewFactory)
public:
    QWidget *createView(QWidget *parent) override
    {
        // The program shares no OpenGL context from its start (that would
        // load Mesa and LLVM at every start-up for a view few ever open), so
        // the view draws in software: the engine composites the page into an
        // image and Qt Quick's software renderer shows it in the widget.
        if (!m_prepared) {
            m_prepared = true;
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
            previousFilter = QLoggingCategory::installFilter(withoutContextReport);
        }
        return new QWebEngineView(parent);
    }

    void runJavaScript(QWidget *view, const QString &script) override
    {
        if (auto *web = qobject_cast<QWebEngineView *>(view))
            web->page()->runJavaScript(script);
    }

private:
    bool m_prepared = false;
};

#include "webengineplugin.moc"
