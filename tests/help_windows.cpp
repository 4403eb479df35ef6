// The instructions and About windows: layout, text, animation in the window,
// links handed to the desktop, one instance reopened afresh.
#include "core/programversion.h"
#include "help/frmabout.h"
#include "help/frmshuoming.h"
#include "resources/artwork.h"
#include "tests/support/testsupport.h"
#include "widgets/ui.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QScreen>
#include <QScrollBar>
#include <QUrl>

// Receives the addresses the windows hand to the desktop.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

namespace {
QRectF twipRect(const QWidget *w)
{
    return QRectF(ui::leftOf(w), ui::topOf(w), ui::widthOf(w), ui::heightOf(w));
}

// Lets closed windows go.
void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

const QStringList instructionLines {
    QStringLiteral("Lorvanta"),
    QString(),
    QStringLiteral("一、软件说明"),
    QStringLiteral("本软件是小学生学习汉字拼音辅助软件，可以自由添加生字库，点击左上角软件按顺序轮播也可以随"
                   "机打乱，根据熟练程度设置轮播间隔的秒速。已经熟练掌握的可以点击红色的那个按钮删除，直至剩"
                   "下的疑难部分加强联系，慢慢逐步掌握。"),
    QString(),
    QStringLiteral("生字库已经内置了韵母声母等拼音，可一键添加，非常方便。也可以家长输入需要学习的汉字。"),
    QString(),
    QStringLiteral("二、生字库管理功能说明"),
    QStringLiteral("【字库格式说明】可手动在下面框框添加汉字或拼音，注意每个字或拼音之间用空格隔开。"),
    QStringLiteral("【拼音声调输法】我们用数字键1234表示四个声调，采用组合键输入的办法，如要输ě同时按住e键和3"
                   "，不同时摁住也可以的，先输入e然后摁上面的数字键1234看看，输错声调可随时修改，例如不小心声"
                   "调输入错了，比如想输入第二声的结果摁了1，这时候无须按删除键，直接按数字2即可。"),
    QString(),
    QStringLiteral("三、如何输入音节词？"),
    QStringLiteral("如果要输入音节词可以用“-”相连接，例如要输入“bá "
                   "hé”，应当在生字库里输入“bá-hé”，这样软件才能整体显示。"),
    QString(),
    QStringLiteral("四、系统支持的一些快捷键"),
    QStringLiteral("上一个下一个可以通过键盘方向键来控制。↑↓可控制上一个下一个，或者用← →"),
    QStringLiteral("如果要删除掉某个拼音可直接按delete键，然后按回车确定。"),
    QString(),
    QStringLiteral("五、如何使用听写模式？"),
    QStringLiteral("首选勾选“朗读”，然后点击左上角三角形按钮后点就可以自动逐个读了，这时开始听写即可。"),
    QString(),
    QString(),
    QStringLiteral("使用过程中有问题欢迎和我联系。"),
};
} // namespace

class HelpWindows : public QObject
{
    Q_OBJECT
    QWidget *m_owner = nullptr;
    UrlRecorder m_recorder;

private slots:
    void initTestCase()
    {
        ui::installFontSubstitutes();
        m_owner = new QWidget;
        m_owner->resize(800, 600);
        m_owner->show();
        for (const char *scheme : {"https", "http", "mailto", "tencent", "file"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &m_recorder, "open");
    }

    void cleanupTestCase()
    {
        for (const char *scheme : {"https", "http", "mailto", "tencent", "file"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        delete m_owner;
    }

    void cleanup()
    {
        if (frmAbout::instance())
            frmAbout::instance()->close();
        if (frmShuoming::instance())
            frmShuoming::instance()->close();
        flushDeletes();
        m_recorder.urls.clear();
    }

    // ---- Instructions window ----

    void instructionsText()
    {
        frmShuoming *w = frmShuoming::showInstance(m_owner);
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("使用说明"));
        QCOMPARE(w->parentWidget(), m_owner);
        QVERIFY(!w->windowIcon().isNull());
        QVERIFY(w->Text1->isReadOnly());
        QCOMPARE(w->Text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(w->Text1->font().pointSizeF(), 12.0);

        const QStringList lines = w->Text1->toPlainText().split(QLatin1Char('\n'));
        // 23 lines, the closing empty line, and nothing after its line end.
        QCOMPARE(lines.size(), 25);
        for (int i = 0; i < instructionLines.size(); ++i)
            QCOMPARE(lines.at(i), instructionLines.at(i));
        QCOMPARE(lines.at(23), QString());
        QCOMPARE(lines.at(24), QString());
    }

    void instructionsReadOnlyButCopyable()
    {
        frmShuoming *w = frmShuoming::showInstance(m_owner);
        const QString before = w->Text1->toPlainText();
        w->Text1->setFocus();
        QTest::keyClicks(w->Text1, QStringLiteral("abc"));
        QTest::keyClick(w->Text1, Qt::Key_Delete);
        QTest::keyClick(w->Text1, Qt::Key_Backspace);
        QCOMPARE(w->Text1->toPlainText(), before);

        QApplication::clipboard()->clear();
        w->Text1->selectAll();
        w->Text1->copy();
        QVERIFY(QApplication::clipboard()->text().startsWith(QStringLiteral("Lorvanta\n\n一、软件说明")));
    }

    void instructionsLayout()
    {
        frmShuoming *w = frmShuoming::showInstance(m_owner);
        QCOMPARE(w->width(), ui::px(10995));
        QCOMPARE(w->height(), ui::px(8565));
        QCOMPARE(twipRect(w->Text1), QRectF(45, 45, 10905, 8475));

        w->resize(ui::px(6000), ui::px(3000));
        QCOMPARE(twipRect(w->Text1), QRectF(45, 45, 5910, 2910));
        // Narrower than the margins: the box keeps its place and size.
        w->resize(ui::px(75), ui::px(3000));
        QCOMPARE(twipRect(w->Text1), QRectF(45, 45, 5910, 2910));
        w->resize(ui::px(6000), ui::px(60));
        QCOMPARE(twipRect(w->Text1), QRectF(45, 45, 5910, 2910));
    }

    void instructionsOneInstanceReopenedAfresh()
    {
        frmShuoming *w = frmShuoming::showInstance(m_owner);
        QCOMPARE(frmShuoming::showInstance(m_owner), w);
        QVERIFY(QTest::qWaitForWindowExposed(w));

        QScrollBar *bar = w->Text1->verticalScrollBar();
        w->resize(ui::px(6000), ui::px(1500));
        QCoreApplication::processEvents();
        QVERIFY(bar->maximum() > 0);
        bar->setValue(bar->maximum());
        w->Text1->moveCursor(QTextCursor::End);

        const QPointer<frmShuoming> old(w);
        w->close();
        flushDeletes();
        QVERIFY(!old);
        QVERIFY(!frmShuoming::instance());

        w = frmShuoming::showInstance(m_owner);
        QCoreApplication::processEvents();
        QCOMPARE(w->Text1->verticalScrollBar()->value(), 0);
        QCOMPARE(w->Text1->textCursor().position(), 0);
        QCOMPARE(w->width(), ui::px(10995));
        QVERIFY(!w->windowIcon().isNull());
    }

    // ---- About window ----

    void aboutLoad()
    {
        frmAbout *w = frmAbout::showInstance(m_owner);
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("关于"));
        QCOMPARE(w->parentWidget(), m_owner);
        QCOMPARE(w->size(), QSize(ui::px(4890), ui::px(2400)));
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(w->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!w->windowIcon().isNull());

        QCOMPARE(w->Label1->text(), modPub::programTitle());
        QCOMPARE(w->Label1->text(),
                 QStringLiteral("Lorvanta V%1.%2").arg(modPub::versionMajor).arg(modPub::versionMinor));
        QCOMPARE(w->Label9->text(), QStringLiteral("2017-9-26"));
        QCOMPARE(w->Label5->text(), QStringLiteral("Q  Q:"));
        QCOMPARE(w->Label11->text(), QStringLiteral("【使用说明】"));
        QCOMPARE(w->Label11->palette().color(QPalette::WindowText), QColor(255, 128, 0));
        QCOMPARE(w->Command1->text(), QStringLiteral("确定"));
        QCOMPARE(twipRect(w->Command1), QRectF(1800, 1920, 1215, 330));
        QCOMPARE(twipRect(w->Image1), QRectF(240, 120, 555, 555));
        QCOMPARE(ui::leftOf(w->Label8), 1560.0f);
        QCOMPARE(ui::topOf(w->Label8), 1200.0f);

        for (QLabel *link : {static_cast<QLabel *>(w->Label4), static_cast<QLabel *>(w->Label6),
                             static_cast<QLabel *>(w->Label8)}) {
            QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
            QVERIFY(link->font().underline());
            QCOMPARE(link->font().pointSizeF(), 9.0);
            // The hand of Label4, handed on to the other two links.
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
            QVERIFY(link->width() > 0);
        }
        QVERIFY(!w->Label2->font().underline());

        QCOMPARE(w->image1Tag(), QStringLiteral("120"));
        QCOMPARE(w->image1Top(), 120.0f);
        QVERIFY(!w->Timer1->isActive());
        QCOMPARE(w->Timer1->interval(), 300);
    }

    void aboutDropInTheWindow()
    {
        frmAbout *w = frmAbout::showInstance(m_owner);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTest::mouseClick(w->Image1, Qt::LeftButton);
        QVERIFY(w->Timer1->isActive());

        // Ticks driven by hand; the event loop does not run in between.
        for (int tick = 1; tick <= 69; ++tick)
            w->Timer1_Timer();
        QVERIFY(w->Timer1->isActive());
        QCOMPARE(w->image1Tag(), QStringLiteral("1920"));
        w->Timer1_Timer();
        QVERIFY(!w->Timer1->isActive());
        QCOMPARE(w->image1Top(), 1815.0f);
        QCOMPARE(w->Image1->y(), ui::px(1815));
        QCOMPARE(w->Image1->x(), ui::px(240));
        QCOMPARE(w->Timer1->interval(), 285);

        // A second click at rest: one tick, same place.
        QTest::mouseClick(w->Image1, Qt::LeftButton);
        QVERIFY(w->Timer1->isActive());
        w->Timer1_Timer();
        QVERIFY(!w->Timer1->isActive());
        QCOMPARE(w->image1Top(), 1815.0f);

        // The real timer drives it too.
        QTest::mouseClick(w->Image1, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!w->Timer1->isActive(), 2000);
        QCOMPARE(w->image1Top(), 1815.0f);
    }

    void aboutReopenedAfresh()
    {
        frmAbout *w = frmAbout::showInstance(m_owner);
        QCOMPARE(frmAbout::showInstance(m_owner), w);
        w->Image1_Click();
        for (int i = 0; i < 20; ++i)
            w->Timer1_Timer();
        QVERIFY(w->image1Top() != 120.0f);

        const QPointer<frmAbout> old(w);
        w->Command1_Click();
        flushDeletes();
        QVERIFY(!old);
        QVERIFY(!frmAbout::instance());

        w = frmAbout::showInstance(m_owner);
        QCOMPARE(w->image1Top(), 120.0f);
        QCOMPARE(w->Image1->y(), ui::px(120));
        QCOMPARE(w->image1Tag(), QStringLiteral("120"));
        QVERIFY(!w->Timer1->isActive());
        QCOMPARE(w->Timer1->interval(), 300);
    }

    void aboutLinks()
    {
        frmAbout *w = frmAbout::showInstance(m_owner);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTest::mouseClick(w->Label4, Qt::LeftButton);
        QTest::mouseClick(w->Label6, Qt::LeftButton);
        QTest::mouseClick(w->Label8, Qt::LeftButton);
        QCOMPARE(m_recorder.urls.size(), 3);

        QCOMPARE(m_recorder.urls.at(0).toString(), w->Label4->text());
        QCOMPARE(m_recorder.urls.at(0).scheme(), QStringLiteral("https"));

        const QString messenger = QStringLiteral("tencent://message?uin=") + w->Label6->text()
            + QStringLiteral("&Site=好人&Menu=yes");
        QCOMPARE(m_recorder.urls.at(1).toString(), messenger);
        QCOMPARE(m_recorder.urls.at(1).query(QUrl::FullyDecoded),
                 QStringLiteral("uin=%1&Site=好人&Menu=yes").arg(w->Label6->text()));

        // The bare address goes to the mail program.
        QCOMPARE(m_recorder.urls.at(2).scheme(), QStringLiteral("mailto"));
        QCOMPARE(m_recorder.urls.at(2).path(), w->Label8->text());
        QVERIFY(w->Label8->text().contains(QLatin1Char('@')));
        QVERIFY(!w->Label8->text().startsWith(QLatin1String("mailto:")));
    }

    // Clicks on the falling picture only switch the animation on; a running
    // one goes on falling however often the picture is clicked.
    void aboutClicksWhileFallingLeaveItFalling()
    {
        frmAbout *w = frmAbout::showInstance(m_owner);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTest::mouseClick(w->Image1, Qt::LeftButton);
        QVERIFY(w->Timer1->isActive());
        // A click every 60 ms for a second, while the steps come every 300 ms or less.
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 1000) {
            QTest::mouseClick(w->Image1, Qt::LeftButton);
            QTest::qWait(60);
        }
        QVERIFY2(w->image1Top() >= 120 + 2 * 150, qPrintable(QString::number(w->image1Top())));
        // A double click is one click.
        w->Timer1->stop();
        QTest::mouseDClick(w->windowHandle(), Qt::LeftButton, Qt::NoModifier, w->Image1->geometry().center());
        QVERIFY(w->Timer1->isActive());
    }

    // Both windows are dialogs of their owner: the window manager keeps them
    // above it. Each is centred the first time it is shown (About on its owner,
    // the instructions on the screen).
    void windowsStayAboveTheirOwners()
    {
        m_owner->move(40, 30);
        frmAbout *about = frmAbout::showInstance(m_owner);
        QVERIFY(QTest::qWaitForWindowExposed(about));
        QCOMPARE(about->windowType(), Qt::Dialog);
        QCOMPARE(about->windowHandle()->transientParent(), m_owner->windowHandle());
        QTRY_VERIFY((about->frameGeometry().center() - m_owner->frameGeometry().center()).manhattanLength()
                    <= 2);

        about->Label11_Click();
        frmShuoming *help = frmShuoming::instance();
        QVERIFY(QTest::qWaitForWindowExposed(help));
        QCOMPARE(help->windowType(), Qt::Dialog);
        QCOMPARE(help->windowHandle()->transientParent(), about->windowHandle());
        QVERIFY(help->windowFlags() & Qt::WindowMaximizeButtonHint);
        const QRect screen = help->screen()->availableGeometry();
        const QRect expected
            = QRect(QPoint(), help->frameGeometry().size())
                  .translated(screen.center() - QRect(QPoint(), help->frameGeometry().size()).center());
        QTRY_COMPARE(
            help->frameGeometry().topLeft(),
            QPoint(std::max(expected.left(), screen.left()), std::max(expected.top(), screen.top())));
        // Moved by the user, reopened: it stays where the user put it.
        help->move(5, 6);
        frmShuoming::showInstance(m_owner);
        QCOMPARE(help->pos(), QPoint(5, 6));
    }

    void aboutOpensInstructionsItOwns()
    {
        frmAbout *w = frmAbout::showInstance(m_owner);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTest::mouseClick(w->Label11, Qt::LeftButton);
        frmShuoming *help = frmShuoming::instance();
        QVERIFY(help);
        QCOMPARE(help->parentWidget(), w);
        QVERIFY(help->isVisible());

        // Closing the About window takes its instructions window with it;
        // the practice window can open a new one.
        const QPointer<frmShuoming> owned(help);
        w->close();
        flushDeletes();
        QVERIFY(!owned);
        QVERIFY(frmShuoming::showInstance(m_owner));
        QCOMPARE(frmShuoming::instance()->parentWidget(), m_owner);
    }
};

LORVANTA_TEST_MAIN(HelpWindows, QApplication)
#include "help_windows.moc"
