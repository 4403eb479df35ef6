#include "app/startup.h"

#include "core/banklock.h"
#include "core/version.h"
#include "practice/frmmain.h"
#include "widgets/messagebox.h"
#include "widgets/ui.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QScreen>
#include <QTranslator>

namespace {
// Qt's own texts: the file and print dialogs, dialog buttons, the context
// menus of text boxes and scroll bars. The practice window shows none of
// them, so they are loaded only when a context menu is first asked for or
// a window other than the practice window is first shown; what exists by
// then is translated anew as the language changes.
class QtTextsOnDemand : public QObject
{
public:
    explicit QtTextsOnDemand(QApplication *app) : QObject(app) { app->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const bool windowShown = event->type() == QEvent::Show && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->isWindow() && !qobject_cast<frmMain *>(watched);
        if (event->type() == QEvent::ContextMenu || windowShown)
            load();
        return false;
    }

private:
    void load()
    {
        qApp->removeEventFilter(this);
        auto *texts = new QTranslator(qApp);
        if (texts->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(texts);
        else
            delete texts;
        deleteLater();
    }
};
} // namespace

void prepareEnvironment()
{
    // Each frame of the stroke animation repaints part of what the frame
    // before repainted. Through shared memory, Qt must then wait for the X
    // server to have read the last frame before it paints over it: three
    // wake-ups a frame. Sent over the connection, a frame costs one, and the
    // few large repaints (a new item, a resize) a little more copying.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
}

void prepareApplication(QApplication &app)
{
    app.setApplicationName(QStringLiteral("Lorvanta"));
    app.setApplicationVersion(QStringLiteral(LORVANTA_VERSION_STRING));
    app.setDesktopFileName(QStringLiteral("lorvanta"));
    ui::installFontSubstitutes();
    // A Simplified Chinese face by default, so that fallback never picks
    // Japanese or Traditional glyph shapes.
    app.setFont(ui::designFont(QStringLiteral("微软雅黑"), 9));
    // Every text the program shows is Chinese, Qt's own included, whatever
    // the locale; they are loaded once something may show them.
    new QtTextsOnDemand(&app);
}

bool takeBankFolder(BankLock &lock)
{
    if (lock.claim() != BankLock::Claim::Taken)
        return true; // ours, or a folder that holds no lock: nothing to guard
    // The running copy may itself be starting still.
    if (!lock.wakeOwner(3000))
        showMessage(nullptr, QStringLiteral("这个生字库已经在另一个 Lorvanta 窗口里打开了。"),
                    MessageIcon::Information, MessageButtons::Ok);
    return false;
}

frmMain *startProgram(BankLock *lock)
{
    auto *main = new frmMain;
    main->setAttribute(Qt::WA_DeleteOnClose);
    // Centred on the screen when first shown, frame and title bar included.
    ui::centreOnFirstShow(main, [main] {
        const QScreen *screen = main->screen();
        return screen ? screen->availableGeometry() : main->frameGeometry();
    });
    main->show();
    if (lock)
        QObject::connect(lock, &BankLock::wakeRequested, main, [main] { ui::bringToFront(main); });
    return main;
}
