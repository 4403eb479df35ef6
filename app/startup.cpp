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
    // Every text the program shows is Chinese, Qt's own included (the file
    // and print dialogs, the text boxes' context menus), whatever the locale.
    auto *qtTexts = new QTranslator(&app);
    if (qtTexts->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(qtTexts);
    else
        delete qtTexts;
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
