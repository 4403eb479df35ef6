// Start-up: Qt's own texts (context menus, dialogs) are loaded once something
// may show them, not for the practice window, which shows none.
#include "app/startup.h"
#include "tests/support/practicefixture.h"

#include <QDialog>
#include <QFile>
#include <QLibraryInfo>

class AppStartup : public QObject
{
    Q_OBJECT
private slots:
    void qtTextsWaitForAWindowThatMayShowThem()
    {
        if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_zh_CN.qm"))
            QSKIP("Qt's Chinese texts are not installed (qt6-translations-l10n)");
        prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance()));
        const auto copy = [] { return QCoreApplication::translate("QLineEdit", "&Copy"); };
        PracticeFixture f;
        f.open();
        QCOMPARE(copy(), QStringLiteral("&Copy"));
        QDialog other;
        other.show();
        QCOMPARE(copy(), QStringLiteral("复制(&C)"));
    }
};

LORVANTA_TEST_MAIN(AppStartup, QApplication)
#include "app_startup.moc"
