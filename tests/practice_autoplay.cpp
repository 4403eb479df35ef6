// Autoplay, the interval box, the clock and the three stored settings.
#include "core/bankfile.h"
#include "core/clock.h"
#include "core/settings.h"
#include "core/textutil.h"
#include "resources/artwork.h"
#include "tests/support/practicefixture.h"

#include <QElapsedTimer>
#include <QImage>
#include <QSettings>

using testsupport::child;

namespace {
// A picture as a label shows it.
QImage pictureShown(const QImage &picture) { return QPixmap::fromImage(picture).toImage(); }
} // namespace

using namespace modPub;

namespace {
void store(const QString &jiange, const QString &dalu, const QString &langdu)
{
    QSettings s(QStringLiteral("LORVANTA"), QStringLiteral("LORVANTA"));
    s.setValue(QStringLiteral("main/jiange"), jiange);
    s.setValue(QStringLiteral("main/dalu"), dalu);
    s.setValue(QStringLiteral("main/langdu"), langdu);
}
// Left and right edge of the dark ink in a picture of a text box.
std::pair<int, int> inkColumns(const QImage &image)
{
    int left = -1, right = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (qGray(image.pixel(x, y)) < 100) {
                if (left < 0)
                    left = x;
                right = x;
                break;
            }
    return {left, right};
}

QString stored(const QString &key)
{
    return QSettings(QStringLiteral("LORVANTA"), QStringLiteral("LORVANTA"))
        .value(QStringLiteral("main/") + key)
        .toString();
}
} // namespace

class PracticeAutoplay : public QObject
{
    Q_OBJECT
private slots:
    void init() { clearSettings(); }

    void firstStartAndClose()
    {
        PracticeFixture f;
        frmMain *w = f.open();
        QCOMPARE(child<QLineEdit>(w, "Text2")->text(), QStringLiteral("5"));
        QCOMPARE(child<QTimer>(w, "Timer1")->interval(), 5000);
        QVERIFY(!child<QCheckBox>(w, "Check1")->isChecked() && !child<QCheckBox>(w, "Check2")->isChecked());
        QVERIFY(!child<QTimer>(w, "Timer1")->isActive());
        QVERIFY(child<QTimer>(w, "Timer2")->isActive());
        QCOMPARE(child<QTimer>(w, "Timer2")->interval(), 800);
        // The clock shows the local date in the system's short form and the time.
        Clock::setMoment(QDateTime(QDate(2024, 9, 2), QTime(9, 5, 3)));
        w->Timer2_Timer();
        QCOMPARE(child<QLabel>(w, "Label4")->text(),
                 QLocale::system().toString(QDate(2024, 9, 2), QLocale::ShortFormat)
                     + QStringLiteral(" 9:05:03"));
        Clock::setMoment(QDateTime());
        w->close();
        QCOMPARE(stored(QStringLiteral("jiange")), QStringLiteral("5"));
        QCOMPARE(stored(QStringLiteral("dalu")), QStringLiteral("0"));
        QCOMPARE(stored(QStringLiteral("langdu")), QStringLiteral("0"));
        QVERIFY(QFile::exists(testsupport::settingsFile()));
    }

    void closingWithALockedStoreEndsAtOnce()
    {
        store(QStringLiteral("12"), QStringLiteral("1"), QStringLiteral("0"));
        PracticeFixture f;
        f.writeBankText(QStringLiteral("天 地"));
        frmMain *w = f.open();
        child<QLineEdit>(w, "Text2")->setText(QStringLiteral("30"));
        // A folder where the store's lock file goes: the close does not wait for it.
        const QString lock = testsupport::settingsFile() + QStringLiteral(".lock");
        QVERIFY(QDir().mkpath(lock));
        QElapsedTimer t;
        t.start();
        w->close();
        QVERIFY2(t.elapsed() < 3 * settingsLockWaitMs, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!w->isVisible());
        QVERIFY(QDir(lock).removeRecursively());
        // The store keeps what it had, the bank is untouched.
        QCOMPARE(stored(QStringLiteral("jiange")), QStringLiteral("12"));
        QCOMPARE(f.bankBytes(), QByteArray("\xCC\xEC \xB5\xD8\r\n"));
    }

    void storedSettingsComeBack()
    {
        store(QStringLiteral("12"), QStringLiteral("1"), QStringLiteral("0"));
        PracticeFixture f;
        frmMain *w = f.open();
        QCOMPARE(child<QLineEdit>(w, "Text2")->text(), QStringLiteral("12"));
        QVERIFY(child<QCheckBox>(w, "Check1")->isChecked());
        QVERIFY(!child<QCheckBox>(w, "Check2")->isChecked());
        QCOMPARE(child<QTimer>(w, "Timer1")->interval(), 12000);
        child<QCheckBox>(w, "Check2")->setChecked(true);
        child<QLineEdit>(w, "Text2")->setText(QStringLiteral("90"));
        w->close();
        QCOMPARE(stored(QStringLiteral("jiange")), QStringLiteral("90")); // never clamped in the box
        QCOMPARE(stored(QStringLiteral("dalu")), QStringLiteral("1"));
        QCOMPARE(stored(QStringLiteral("langdu")), QStringLiteral("1"));
    }

    void garbageInTheStore()
    {
        { // No digit at all: treated as a first start, the options are not read.
            store(QStringLiteral("abc"), QStringLiteral("1"), QStringLiteral("1"));
            PracticeFixture f;
            frmMain *w = f.open();
            QCOMPARE(child<QLineEdit>(w, "Text2")->text(), QStringLiteral("5"));
            QVERIFY(!child<QCheckBox>(w, "Check1")->isChecked() && !child<QCheckBox>(w, "Check2")->isChecked());
        }
        { // Digits are kept, values outside 0..2 count as unticked.
            store(QStringLiteral("7x"), QStringLiteral("9"), QStringLiteral("-1"));
            PracticeFixture f;
            frmMain *w = f.open();
            QCOMPARE(child<QLineEdit>(w, "Text2")->text(), QStringLiteral("7"));
            QCOMPARE(child<QTimer>(w, "Timer1")->interval(), 7000);
            QVERIFY(!child<QCheckBox>(w, "Check1")->isChecked() && !child<QCheckBox>(w, "Check2")->isChecked());
        }
        { // An empty interval was saved: the next start is a first start.
            store(QString(), QStringLiteral("1"), QStringLiteral("1"));
            PracticeFixture f;
            frmMain *w = f.open();
            QCOMPARE(child<QLineEdit>(w, "Text2")->text(), QStringLiteral("5"));
            QVERIFY(!child<QCheckBox>(w, "Check1")->isChecked());
        }
    }

    void intervalBox()
    {
        PracticeFixture f;
        frmMain *w = f.open();
        w->Label2_Click();
        child<QLineEdit>(w, "Text2")->setFocus();
        child<QLineEdit>(w, "Text2")->clear();
        QCOMPARE(child<QTimer>(w, "Timer1")->interval(), 1000); // empty means one second
        QTest::keyClicks(child<QLineEdit>(w, "Text2"), QStringLiteral("0"));
        QCOMPARE(child<QTimer>(w, "Timer1")->interval(), 1000);
        child<QLineEdit>(w, "Text2")->clear();
        QTest::keyClicks(child<QLineEdit>(w, "Text2"), QStringLiteral("7a5-"));
        QCOMPARE(child<QLineEdit>(w, "Text2")->text(), QStringLiteral("75"));
        QCOMPARE(child<QTimer>(w, "Timer1")->interval(), 60000);
        // Pasted or programmatic text is stripped to digits.
        child<QLineEdit>(w, "Text2")->setText(QStringLiteral("1 2s"));
        QCOMPARE(child<QLineEdit>(w, "Text2")->text(), QStringLiteral("12"));
        QCOMPARE(child<QTimer>(w, "Timer1")->interval(), 12000);
        QTest::keyClicks(child<QLineEdit>(w, "Text2"), QStringLiteral("3456789"));
        QCOMPARE(child<QLineEdit>(w, "Text2")->text().size(), 6);
    }

    // Stopping autoplay hides the interval box; when it had the focus, the
    // focus goes to the hidden box, so that Space reads the item aloud
    // instead of pressing the bank button (which would open the editor).
    void stoppingAutoplayKeepsTheKeysForTheWindow()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口 手"));
        frmMain *w = f.open();
        QTest::mouseClick(child<QLabel>(w, "Label2"), Qt::LeftButton);
        QTest::mouseClick(child<QLineEdit>(w, "Text2"), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "Text2"));
        QTest::mouseClick(child<QLabel>(w, "Label2"), Qt::LeftButton);
        QVERIFY(!child<QTimer>(w, "Timer1")->isActive());
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "Text1"));

        bool editorOpened = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            if (QWidget *m = QApplication::activeModalWidget()) {
                editorOpened = true;
                m->close();
            }
        });
        watch.start(10);
        QTest::keyClick(w->windowHandle(), Qt::Key_Space);
        QTest::qWait(100);
        QVERIFY(!editorOpened);

        // With the focus elsewhere, stopping leaves it where it is.
        w->Label2_Click();
        child<QCheckBox>(w, "Check2")->setFocus();
        w->Label2_Click();
        QCOMPARE(QApplication::focusWidget(), child<QCheckBox>(w, "Check2"));
    }

    // A double click raises one click (its second press is the double click):
    // one toggle, so autoplay starts.
    void doubleClickTogglesOnce()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口 手"));
        frmMain *w = f.open();
        // Through the window, as the window system delivers them: press,
        // release, double click, release.
        QTest::mouseDClick(w->windowHandle(), Qt::LeftButton, Qt::NoModifier, child<QLabel>(w, "Label2")->geometry().center());
        QVERIFY(child<QTimer>(w, "Timer1")->isActive());
        QTest::mouseDClick(w->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                           child<QLabel>(w, "imgBofang")->geometry().center());
        QVERIFY(!child<QTimer>(w, "Timer1")->isActive());
        // Two single clicks are two toggles.
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          child<QLabel>(w, "imgBofang")->geometry().center());
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          child<QLabel>(w, "imgBofang")->geometry().center());
        QVERIFY(!child<QTimer>(w, "Timer1")->isActive());
    }

    // Six digits, the most the box takes, are all visible at the design size.
    void sixDigitsFitTheIntervalBox()
    {
        PracticeFixture f;
        frmMain *w = f.open();
        w->Label2_Click();
        QCOMPARE(child<QLineEdit>(w, "Text2")->size(), QSize(ui::px(615), ui::px(375)));
        child<QLineEdit>(w, "Text2")->setFocus();
        child<QLineEdit>(w, "Text2")->selectAll();
        QTest::keyClicks(child<QLineEdit>(w, "Text2"), QStringLiteral("888888"));
        QCOMPARE(child<QLineEdit>(w, "Text2")->text(), QStringLiteral("888888"));
        child<QLineEdit>(w, "Text1")->setFocus(); // no caret in the picture

        // The same digits in a box wide enough for them: the ink must span as far.
        QLineEdit wide(QStringLiteral("888888"));
        wide.setFont(child<QLineEdit>(w, "Text2")->font());
        wide.setAlignment(Qt::AlignCenter);
        wide.resize(300, child<QLineEdit>(w, "Text2")->height());
        const auto [wl, wr] = inkColumns(wide.grab().toImage());
        for (const int caret : {6, 0}) {
            child<QLineEdit>(w, "Text2")->setCursorPosition(caret);
            const QImage image = child<QLineEdit>(w, "Text2")->grab().toImage();
            const auto [l, r] = inkColumns(image);
            QVERIFY2(r - l == wr - wl,
                     qPrintable(QStringLiteral("caret %1: ink %2..%3 of %4, needs %5")
                                    .arg(caret)
                                    .arg(l)
                                    .arg(r)
                                    .arg(image.width())
                                    .arg(wr - wl + 1)));
        }
    }

    void switchingAutoplay()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口 手"));
        frmMain *w = f.open();
        w->cmdAfter_Click();
        QVERIFY(child<QLineEdit>(w, "Text2")->isHidden() && child<QLabel>(w, "Label3")->isHidden() && child<QCheckBox>(w, "Check1")->isHidden());
        QTest::mouseClick(child<QLabel>(w, "Label2"), Qt::LeftButton);
        QVERIFY(child<QTimer>(w, "Timer1")->isActive());
        QVERIFY(!child<QLineEdit>(w, "Text2")->isHidden() && !child<QLabel>(w, "Label3")->isHidden() && !child<QCheckBox>(w, "Check1")->isHidden());
        QCOMPARE(child<QLabel>(w, "Label2")->text(), QStringLiteral("正在自动播放  间隔:"));
        QCOMPARE(child<QLabel>(w, "imgBofang")->pixmap().toImage(), pictureShown(resources::stopPicture()));
        // Navigation now gives the focus to the interval box.
        w->cmdBefore_Click();
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "Text2"));
        QTest::mouseClick(child<QLabel>(w, "imgBofang"), Qt::LeftButton);
        QVERIFY(!child<QTimer>(w, "Timer1")->isActive());
        QVERIFY(child<QLineEdit>(w, "Text2")->isHidden());
        QCOMPARE(child<QLabel>(w, "Label2")->text(), QStringLiteral("点击这里自动播放"));
        QCOMPARE(child<QLabel>(w, "imgBofang")->pixmap().toImage(), pictureShown(resources::playPicture()));
        QCOMPARE(w->deck().index(), 1);
        QCOMPARE(w->deck().text(), QStringLiteral("人 口 手"));
    }

    void roundsWrapAndReshuffle()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口 手"));
        frmMain *w = f.open();
        w->cmdAfter_Click();
        w->Label2_Click();
        QStringList seen;
        for (int i = 0; i < 5; ++i) {
            w->Timer1_Timer();
            seen << w->caption();
        }
        QCOMPARE(seen, (QStringList {"手", "人", "口", "手", "人"}));
        QCOMPARE(child<QPushButton>(w, "cmdSet")->text(), QStringLiteral("我的生字库 1/3"));

        // Ticked: the bank is reshuffled in memory each time a round ends.
        // A fixed seed makes the rounds' orders the same at every run.
        seedShuffle(12);
        child<QCheckBox>(w, "Check1")->setChecked(true);
        w->Timer1_Timer();
        w->Timer1_Timer();
        QCOMPARE(w->deck().index(), 3);
        QStringList orders;
        for (int round = 0; round < 30; ++round) {
            for (int i = 0; i < 3; ++i)
                w->Timer1_Timer();
            QCOMPARE(w->deck().index(), 3);
            QStringList items = w->deck().text().split(QLatin1Char(' '));
            orders << w->deck().text();
            items.sort();
            QCOMPARE(items, (QStringList {"人", "口", "手"}));
        }
        orders.removeDuplicates();
        QVERIFY(orders.size() > 1);
        QCOMPARE(f.bankBytes(), encodeGbk(QStringLiteral("人 口 手")) + "\r\n"); // the file keeps its order

        // The editor closed without changes still reports the shuffled bank and reloads it.
        QTimer::singleShot(0, qApp, [] {
            if (QWidget *m = QApplication::activeModalWidget())
                m->close();
        });
        QVERIFY(w->deck().text() != QStringLiteral("人 口 手")); // as this seed leaves it
        w->cmdSet_Click();
        QCOMPARE(f.texts().value(0), QStringLiteral("生字库发生变化，系统自动重新载入"));
        QCOMPARE(w->deck().text(), QStringLiteral("人 口 手"));
    }

    void oneItemAndEmptyBanks()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("天"));
        frmMain *w = f.open();
        w->Label2_Click();
        for (int i = 0; i < 3; ++i) {
            w->Timer1_Timer();
            QCOMPARE(w->caption(), QStringLiteral("天"));
            QCOMPARE(child<QPushButton>(w, "cmdSet")->text(), QStringLiteral("我的生字库 1/1"));
        }
        // Emptied by a deletion: each step tells the pupil, and nothing breaks.
        w->Command2_Click();
        f.shown.clear();
        w->Timer1_Timer();
        w->Timer1_Timer();
        QCOMPARE(f.texts(),
                 (QStringList {QStringLiteral("当前生字库内容为空，请点击“我的生字库”输入生字"),
                               QStringLiteral("当前生字库内容为空，请点击“我的生字库”输入生字")}));
    }

    void realTimerAdvances()
    {
        PracticeFixture f;
        f.writeBankText(QStringLiteral("人 口"));
        frmMain *w = f.open();
        w->Label2_Click();
        child<QLineEdit>(w, "Text2")->setText(QStringLiteral("1"));
        QTRY_COMPARE_WITH_TIMEOUT(w->deck().index(), 2, 2500);
    }
};

LORVANTA_TEST_MAIN(PracticeAutoplay, QApplication)
#include "practice_autoplay.moc"
