// The bank editor through its real window: count, presets, save, drop,
// resize, typing with tone digits and the tone commands.
#include "core/bankfile.h"
#include "core/textutil.h"
#include "editor/frmset.h"
#include "resources/presets.h"
#include "rules/tones.h"
#include "tests/support/fulldisk.h"
#include "tests/support/messagerecorder.h"
#include "tests/support/testsupport.h"
#include "widgets/messagebox.h"
#include "widgets/ui.h"

#include <QApplication>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QProgressDialog>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QUrl>

#include <fcntl.h>
#include <random>
#include <sys/mount.h>
#include <unistd.h>

using namespace modPub;
using testsupport::fileBytes;
using testsupport::FullDisk;
using testsupport::writeBytes;

namespace {
QString title(int n) { return QStringLiteral("管理我的生字库(当前有%1个生字)").arg(n); }

const QString saveFailedMessage = QStringLiteral("字库没有保存成功，可能磁盘已满或文件夹不能写入。");
} // namespace

class EditorFrmSet : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    void setBank(const QString &text) { QVERIFY(writeTextFile(bankPath(), text, true)); }
    QString bankFile() const { return readTextFile(bankPath()); }
    QString path(const QString &name) const { return dir.filePath(name); }

    // Drops data on the box the way the window system delivers it.
    static void drop(frmSet &f, QMimeData *data)
    {
        QWidget *target = f.Text1->viewport();
        const QPointF at(10, 10);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent dropped(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
    }

    static QMimeData *filesDrop(const QStringList &files, const QString &text = QString())
    {
        auto *m = new QMimeData;
        QList<QUrl> urls;
        for (const QString &f : files)
            urls.append(QUrl::fromLocalFile(f));
        m->setUrls(urls);
        if (!text.isEmpty())
            m->setText(text);
        return m;
    }

private slots:
    void initTestCase()
    {
        setBankDirOverride(dir.path());
        ui::installFontSubstitutes();
    }
    void init() { QFile::remove(bankPath()); }

    void windowAtDesign()
    {
        setBank(QStringLiteral("天 地"));
        frmSet f;
        QVERIFY(!f.parentWidget());
        QVERIFY(f.isModal());
        QVERIFY(f.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(f.windowFlags() & Qt::WindowMaximizeButtonHint);
        QVERIFY(!f.windowIcon().isNull());
        QCOMPARE(f.size(), QSize(ui::px(13275), ui::px(5625)));
        QCOMPARE(f.text(), QStringLiteral("天 地"));
        QCOMPARE(f.windowTitle(), title(2));
        QVERIFY(f.Text1->textCursor().atEnd());

        const struct {
            QPushButton *b;
            const char *caption;
            int left, width;
        } buttons[] = {
            {f.Command1, "保存并关闭", 120, 1215},    {f.Command2, "打乱一下", 1320, 1215},
            {f.Command7, "清空", 2520, 1215},         {f.Command3, "单韵母", 4080, 975},
            {f.Command4, "声母", 5040, 975},          {f.Command5, "复韵母", 6000, 975},
            {f.Command6, "整体认读音节", 6960, 1455}, {f.Command8, "拼音加声调", 8520, 1335},
            {f.Command9, "拼音去声调", 9840, 1335},   {f.Command10, "一年级生字表1", 11400, 1575},
        };
        for (const auto &b : buttons) {
            QCOMPARE(b.b->text(), QString::fromUtf8(b.caption));
            QCOMPARE(b.b->geometry(), QRect(ui::px(b.left), ui::px(840), ui::px(b.width), ui::px(495)));
        }
        // Tab order: the box, then the buttons in design order.
        QWidget *order[] = {f.Text1,    f.Command1, f.Command2, f.Command3, f.Command4, f.Command5,
                            f.Command6, f.Command7, f.Command8, f.Command9, f.Command10};
        const auto nextTabStop = [](QWidget *w) {
            do
                w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus));
            return w;
        };
        for (size_t i = 1; i < std::size(order); ++i)
            QCOMPARE(nextTabStop(order[i - 1]), order[i]);
        QVERIFY(f.Text1->tabChangesFocus());

        QCOMPARE(f.Text1->font().family(), ui::designFamily(QStringLiteral("宋体")));
        QCOMPARE(f.Text1->font().pointSizeF(), 18.0);
        QCOMPARE(f.Text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(f.lblTip->font().family(), ui::designFamily(QStringLiteral("微软雅黑")));
        QCOMPARE(f.lblTip->font().pointSizeF(), 10.5);
        QCOMPARE(f.lblTip->palette().color(QPalette::WindowText), QColor(255, 128, 0));
        QCOMPARE(f.lblTip->palette().color(QPalette::Window), QColor(255, 255, 192));
        QCOMPARE(f.lblTip->text(),
                 QStringLiteral(
                     "【字库格式说明】可手动在下面框框添加汉字或拼音，注意每个字或拼音之间用空格隔开。\r\n"
                     "【拼音声调输法】我们用数字键1234表示四个声调，采用组合键输入的办法，如要输ě同时按住e键"
                     "和3即可"));
        QCOMPARE(f.lblTip->pos(), QPoint(ui::px(120), ui::px(120)));

        // Shown at design size, the box and the hint fill the width, the box the height.
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(f.Text1->geometry(), QRect(ui::px(120), ui::px(1440), ui::px(13065), ui::px(4095)));
        QCOMPARE(f.lblTip->width(), ui::px(13065));
    }

    void counting_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("double space") << "一 二  三" << 4;
        QTest::newRow("line break") << "一\n二" << 1;
        QTest::newRow("crlf") << "一\r\n二" << 1;
        QTest::newRow("padded") << " 一 " << 1;
        QTest::newRow("spaces only") << "   " << 0;
        QTest::newRow("tab stays") << "\t一" << 1;
        QTest::newRow("nbsp is no separator") << "一\u00A0二" << 1;
        QTest::newRow("empty") << "" << 0;
    }
    void counting()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        setBank(text);
        frmSet f;
        QCOMPARE(f.windowTitle(), title(count));
        // The title follows every change, also the program's own.
        f.setText(QStringLiteral("甲 乙"));
        QCOMPARE(f.windowTitle(), title(2));
    }

    void missingBankOpensEmpty()
    {
        frmSet f;
        QCOMPARE(f.text(), QString());
        QCOMPARE(f.windowTitle(), title(0));
    }

    void presets()
    {
        frmSet f;
        f.Command3_Click();
        QCOMPARE(f.text(), QStringLiteral("ɑ o e i u ü"));
        f.Command3_Click();
        QCOMPARE(f.text(), QStringLiteral("ɑ o e i u ü"));
        QVERIFY(f.Text1->textCursor().atEnd());

        f.setText(QStringLiteral("o x"));
        f.Command3_Click();
        QCOMPARE(f.text(), QStringLiteral("o x ɑ e i u ü"));

        f.setText(QStringLiteral("ma ga"));
        f.Command3_Click();
        QCOMPARE(f.text(), QStringLiteral("mɑ ɡɑ ɑ o e i u ü"));

        // Each list on an empty box: its items, all distinct, in its own order.
        const struct {
            void (frmSet::*click)();
            int n;
            const char *first;
            const char *last;
        } lists[] = {
            {&frmSet::Command4_Click, 23, "b", "w"},
            {&frmSet::Command5_Click, 18, "ɑi", "onɡ"},
            {&frmSet::Command6_Click, 16, "zhi", "yinɡ"},
            {&frmSet::Command10_Click, 100, "一", "厂"},
        };
        for (const auto &l : lists) {
            f.Command7_Click();
            (f.*l.click)();
            const QStringList items = f.text().split(QLatin1Char(' '));
            QCOMPARE(items.size(), l.n);
            QCOMPARE(QSet<QString>(items.begin(), items.end()).size(), l.n);
            QCOMPARE(items.first(), QString::fromUtf8(l.first));
            QCOMPARE(items.last(), QString::fromUtf8(l.last));
            QCOMPARE(f.windowTitle(), title(l.n));
        }
        QCOMPARE(f.text(), resources::firstGradeCharacters());
        QVERIFY(f.text().contains(QStringLiteral("三 上 口 目")));
        QCOMPARE(resources::initials(), QStringLiteral("b p m f d t n l ɡ k h j q x z c s zh ch sh r y w"));
        QCOMPARE(resources::compoundFinals(),
                 QStringLiteral("ɑi ei ui ɑo ou iu ie üe er ɑn en in un ün ɑnɡ enɡ inɡ onɡ"));
        QCOMPARE(resources::wholeReadSyllables(),
                 QStringLiteral("zhi chi shi ri zi ci si yi wu yu ye yue yuɑn yin yun yinɡ"));
        // Nothing reaches the file until save.
        QVERIFY(!QFile::exists(bankPath()));
    }

    void shuffleKeepsItemsAsTheyAre()
    {
        setBank(QStringLiteral("天 天，ma\n地"));
        frmSet f;
        f.Command2_Click();
        QStringList items = f.text().split(QLatin1Char(' '));
        items.sort();
        QCOMPARE(items,
                 (QStringList {QStringLiteral("ma"), QStringLiteral("地"), QStringLiteral("天"),
                               QStringLiteral("天")}));
        QCOMPARE(f.windowTitle(), title(4));
    }

    void saveWritesCanonicalBank_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("file");
        QTest::newRow("separators") << "一，二。三\n四"
                                    << "一 二 三 四";
        QTest::newRow("repeat") << "mɑ mɑ"
                                << "mɑ";
        QTest::newRow("ascii a g") << "ma  ga"
                                   << "mɑ ɡɑ";
        QTest::newRow("ideographic space, tab, crlf") << "天　地\t人\r\n口."
                                                      << "天 地 人 口";
        QTest::newRow("separator at the ends") << "，一 二。"
                                               << "一 二";
        QTest::newRow("repeat across a comma") << "一，一 二"
                                               << "一 二";
    }
    void saveWritesCanonicalBank()
    {
        QFETCH(QString, text);
        QFETCH(QString, file);
        setBank(QStringLiteral("旧"));
        frmSet f;
        f.show();
        f.setText(text);
        f.Command1_Click();
        QVERIFY(!f.isVisible());
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QCOMPARE(fileBytes(bankPath()), encodeGbk(file) + "\r\n");
    }

    void emptyingTheBankIsAskedFirst()
    {
        setBank(QStringLiteral("天 地"));
        MessageRecorder messages;
        frmSet f;
        f.show();
        f.setText(QStringLiteral(" ，"));
        messages.answer = MessageAnswer::No;
        f.Command1_Click();
        QCOMPARE(messages.texts(), QStringList {QStringLiteral("生字库会变成空的，确定吗？")});
        QVERIFY(f.isVisible());
        QCOMPARE(bankFile(), QStringLiteral("天 地"));
        messages.answer = MessageAnswer::Yes;
        f.Command1_Click();
        QVERIFY(!f.isVisible());
        QCOMPARE(fileBytes(bankPath()), QByteArray("\r\n"));
        // An empty bank saved empty again is not asked about.
        frmSet g;
        g.show();
        g.Command1_Click();
        QCOMPARE(messages.shown.size(), 2);
        QVERIFY(!g.isVisible());
    }

    void closeBoxDiscards()
    {
        setBank(QStringLiteral("天 地"));
        {
            frmSet f;
            f.show();
            f.Command7_Click();
            QCOMPARE(f.windowTitle(), title(0));
            // Ctrl+Z brings the cleared bank back.
            f.Text1->undo();
            QCOMPARE(f.text(), QStringLiteral("天 地"));
            f.Command7_Click();
            f.close();
            // Escape is not a way out.
        }
        QCOMPARE(bankFile(), QStringLiteral("天 地"));
        frmSet g;
        g.show();
        QVERIFY(QTest::qWaitForWindowExposed(&g));
        QTest::keyClick(g.Text1, Qt::Key_Escape);
        QVERIFY(g.isVisible());
        g.Command7_Click();
        MessageRecorder messages;
        g.Command1_Click();
        QCOMPARE(messages.texts(), QStringList {QStringLiteral("生字库会变成空的，确定吗？")});
        QCOMPARE(fileBytes(bankPath()), QByteArray("\r\n"));
    }

    void failedSaveKeepsTheEditorOpen()
    {
        MessageRecorder messages;
        QList<Shown> &shown = messages.shown;
        const auto restore = qScopeGuard([this] { setBankDirOverride(dir.path()); });
        // One message, the window stays open, the text as typed (not normalised).
        const auto saveFails = [&](frmSet &f) {
            const QString typed = f.text();
            shown.clear();
            f.Command1_Click();
            QVERIFY(f.isVisible());
            QCOMPARE(f.text(), typed);
            QCOMPARE(shown,
                     (QList<Shown> {{saveFailedMessage, MessageIcon::Information, MessageButtons::Ok}}));
        };

        // A folder that cannot be created: nothing appears anywhere.
        setBankDirOverride(dir.filePath(QStringLiteral("no/such/folder")));
        {
            frmSet f;
            f.show();
            f.setText(QStringLiteral("新，字  ma"));
            saveFails(f);
        }
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("no"))));

        // A folder without write access keeps the old bank whole, and no temporary file.
        QTemporaryDir ro;
        setBankDirOverride(ro.path());
        setBank(QStringLiteral("天 地"));
        QFile::setPermissions(ro.path(), QFile::ReadOwner | QFile::ExeOwner);
        if (!QFileInfo(ro.path()).isWritable()) {
            frmSet f;
            f.show();
            f.setText(QStringLiteral("新 字"));
            saveFails(f);
            QCOMPARE(bankFile(), QStringLiteral("天 地"));
            QCOMPARE(QDir(ro.path()).entryList(QDir::Files | QDir::Hidden), QStringList {bankFileName()});
        }
        QFile::setPermissions(ro.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void saveOnFullDisk()
    {
        FullDisk disk;
        if (!disk.mounted())
            QSKIP("mounting a small tmpfs is not allowed here (needs root); saving on a full disk is not "
                  "tested");
        MessageRecorder messages;
        QList<Shown> &shown = messages.shown;
        const auto restore = qScopeGuard([this] { setBankDirOverride(dir.path()); });
        setBankDirOverride(disk.path());
        setBank(QStringLiteral("天 地 人"));
        const QByteArray old = fileBytes(bankPath());
        QVERIFY(disk.fill());

        frmSet f;
        f.show();
        f.setText(QStringLiteral("一，二 ma"));
        f.Command1_Click();
        QVERIFY(f.isVisible());
        QCOMPARE(f.text(), QStringLiteral("一，二 ma"));
        QCOMPARE(shown, (QList<Shown> {{saveFailedMessage, MessageIcon::Information, MessageButtons::Ok}}));
        QCOMPARE(fileBytes(bankPath()), old);
        // Clearing the bank and saving (asked, and answered yes) must not empty the file either.
        f.Command7_Click();
        f.Command1_Click();
        QVERIFY(f.isVisible());
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.last().text, saveFailedMessage);
        QCOMPARE(fileBytes(bankPath()), old);

        // With room again the same window saves and closes as usual, without a message.
        f.setText(QStringLiteral("一，二 ma"));
        QVERIFY(QFile::remove(disk.filler()));
        f.Command1_Click();
        QVERIFY(!f.isVisible());
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QCOMPARE(shown.size(), 3);
        QCOMPARE(bankFile(), QStringLiteral("一 二 mɑ"));
    }

    void dropLoadsTheLastFile()
    {
        QVERIFY(writeTextFile(path(QStringLiteral("a.txt")), QStringLiteral("一 二"), true));
        QVERIFY(writeTextFile(path(QStringLiteral("b.txt")), QStringLiteral("ma\r\n天"), true));
        setBank(QStringLiteral("旧 字"));
        frmSet f;
        f.show();

        std::unique_ptr<QMimeData> one(filesDrop({path(QStringLiteral("a.txt"))}));
        drop(f, one.get());
        QCOMPARE(f.text(), QStringLiteral("一 二"));
        QCOMPARE(f.windowTitle(), title(2));

        // Two files, with the paths as text as file managers add them: the last file, as read.
        std::unique_ptr<QMimeData> two(filesDrop(
            {path(QStringLiteral("a.txt")), path(QStringLiteral("b.txt"))}, path(QStringLiteral("a.txt"))));
        drop(f, two.get());
        QCOMPARE(f.text(), QStringLiteral("ma\n天"));

        // Text alone, or a web address, changes nothing.
        QMimeData text;
        text.setText(QStringLiteral("拖来的字"));
        drop(f, &text);
        QMimeData web;
        web.setUrls({QUrl(QStringLiteral("http://127.0.0.1/x.txt"))});
        drop(f, &web);
        QCOMPARE(f.text(), QStringLiteral("ma\n天"));

        // A folder, a file that is gone, one larger than the editor takes (40 MB,
        // sparse: over the drop's limit, under what the bank itself may hold) or
        // one that may not be read is refused by name, and the box keeps its text.
        MessageRecorder messages;
        QFile huge(path(QStringLiteral("huge.txt")));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(40LL * 1024 * 1024));
        huge.close();
        QStringList dropped {dir.path(), path(QStringLiteral("missing.txt")), huge.fileName()};
        QStringList said {QStringLiteral("“%1”不是一个普通文件，没有载入。").arg(QFileInfo(dir.path()).fileName()),
                          QStringLiteral("“missing.txt”找不到了，没有载入。"),
                          QStringLiteral("“huge.txt”太大了（超过 32 MB），没有载入。生字库一般只有几 KB 到几 MB。")};
        if (::geteuid() != 0) {
            QVERIFY(writeTextFile(path(QStringLiteral("secret.txt")), QStringLiteral("秘"), true));
            QVERIFY(QFile::setPermissions(path(QStringLiteral("secret.txt")), QFileDevice::WriteOwner));
            dropped << path(QStringLiteral("secret.txt"));
            said << QStringLiteral("“secret.txt”读不出来（没有读取它的权限），没有载入。");
        }
        for (const QString &file : dropped) {
            std::unique_ptr<QMimeData> data(filesDrop({file}));
            drop(f, data.get());
            QTRY_COMPARE(messages.shown.size(), dropped.indexOf(file) + 1);
        }
        QCOMPARE(messages.texts(), said);
        QCOMPARE(f.text(), QStringLiteral("ma\n天"));

        QCOMPARE(bankFile(), QStringLiteral("旧 字"));
    }

    void dropBinaryAndLargeFiles()
    {
        QByteArray binary;
        for (int i = 0; i < 65536; ++i)
            binary.append(char((i * 7919 + (i >> 8)) & 0xFF));
        QVERIFY(writeBytes(path(QStringLiteral("bin.dat")), binary));
        setBank(QStringLiteral("旧"));
        MessageRecorder messages;
        frmSet f;
        f.show();
        // Refused with a word, once the drop is over; the box keeps its text.
        std::unique_ptr<QMimeData> bin(filesDrop({path(QStringLiteral("bin.dat"))}));
        drop(f, bin.get());
        QVERIFY(messages.shown.isEmpty());
        QTRY_COMPARE(messages.texts(), QStringList {QStringLiteral("“bin.dat”不是文本文件，没有载入。")});
        QCOMPARE(messages.shown[0].icon, MessageIcon::Information);
        QCOMPARE(f.text(), QStringLiteral("旧"));
        // The box stays usable: typing and the commands work on what it holds.
        f.Text1->moveCursor(QTextCursor::End);
        QTest::keyClicks(f.Text1, QStringLiteral(" ma3"));
        QVERIFY(f.text().endsWith(QStringLiteral(" mǎ")));

        // 20 MB, one line of items as a bank is.
        QString big;
        big.reserve(12'600'000);
        for (int i = 0; big.size() < 12'600'000; ++i) {
            big += QChar(0x4E00 + (i * 31) % 20000);
            big += QChar(0x4E00 + (i * 17) % 20000);
            big += QLatin1Char(' ');
        }
        QVERIFY(writeTextFile(path(QStringLiteral("big.txt")), big, true));
        QVERIFY(QFileInfo(path(QStringLiteral("big.txt"))).size() > 20'000'000);
        std::unique_ptr<QMimeData> large(filesDrop({path(QStringLiteral("big.txt"))}));
        drop(f, large.get());
        QCOMPARE(f.text().size(), big.size());
        QCOMPARE(f.windowTitle(), title(int(big.size() / 3)));
        QTest::keyClicks(f.Text1, QStringLiteral("a1"));
        QVERIFY(f.text().endsWith(QStringLiteral(" ā")));
        QApplication::processEvents();
        QCOMPARE(bankFile(), QStringLiteral("旧"));
    }

    void dropUnicodeFilesNeverBringsNul()
    {
        // Windows Notepad's "Unicode": UTF-16 little endian with its mark.
        QByteArray notepad("\xFF\xFE");
        const QString typed = QStringLiteral("天 地\r\nma 1");
        notepad += QByteArray(reinterpret_cast<const char *>(typed.utf16()), typed.size() * 2);
        QVERIFY(writeBytes(path(QStringLiteral("unicode.txt")), notepad));
        setBank(QStringLiteral("旧"));
        MessageRecorder messages;
        frmSet f;
        f.show();
        std::unique_ptr<QMimeData> data(filesDrop({path(QStringLiteral("unicode.txt"))}));
        drop(f, data.get());
        QCOMPARE(f.text(), QStringLiteral("天 地\nma 1"));
        QCOMPARE(f.windowTitle(), title(3));
        // A NUL that arrives by pasting stays out of the box too.
        QMimeData pasted;
        pasted.setText(QString::fromUtf16(u"\0 \u4E2D\0\u6587", 6));
        f.Text1->moveCursor(QTextCursor::End);
        f.Text1->insertFromMimeData(&pasted);
        f.Command1_Click();
        QCOMPARE(fileBytes(bankPath()), encodeGbk(QStringLiteral("天 地 mɑ 1 中文")) + "\r\n");
        QVERIFY(messages.shown.isEmpty());
    }

    void largeBankCommandsOnWorker()
    {
        // A bank past the size where the commands run on a worker thread:
        // the results are those of the functions, each one undo step; a
        // cancelled command leaves the text alone and writes nothing.
        QString big;
        for (int i = 0; big.size() < 1'300'000; ++i)
            big += QStringLiteral("ba%1 ").arg(i);
        big.chop(1);
        setBank(big);
        const QString onDisk = bankFile();
        frmSet f;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));

        seedShuffle(11);
        const QString shuffled = shuffleItems(big);
        seedShuffle(11);
        f.Command2_Click();
        QCOMPARE(f.text(), shuffled);
        const QString next = shuffleItems(shuffled); // the generator went on as on this thread
        f.Text1->undo();
        QCOMPARE(f.text(), big);
        seedShuffle(11);
        QCOMPARE(shuffleItems(big), shuffled);
        Q_UNUSED(next);

        f.Command8_Click();
        const QString toned = tones::addToneMarks(big);
        QCOMPARE(f.text(), toned);
        QCOMPARE(f.windowTitle(), title(int(toned.count(QLatin1Char(' '))) + 1));
        f.Text1->undo();
        QCOMPARE(f.text(), big);

        // Cancelled while it runs: nothing written and the window stays, or,
        // when the work was done before the cancel came, saved and closed.
        QTimer::singleShot(0, &f, [&f] {
            if (auto *box = f.findChild<QProgressDialog *>())
                box->cancel();
        });
        f.Command1_Click();
        QTest::qWait(1500); // a cancelled work ends on its own
        if (f.isVisible()) {
            QCOMPARE(f.text(), big);
            QCOMPARE(bankFile(), onDisk);
            f.setText(shuffled + QStringLiteral(" ba0"));
            f.Command1_Click();
        }
        QVERIFY(!f.isVisible());
        QCOMPARE(bankFile(), normalizeItems(f.text()));
    }

    void countFollowsEditsAcrossPieces()
    {
        // The count is kept per paragraph; after any edit it must be what
        // counting the whole text gives: spaces trimmed at both ends, every
        // other space separating two fields. Edits land at piece breaks, in
        // runs of spaces and at both ends, and are undone and redone.
        const auto reference = [](const QString &t) {
            qsizetype a = 0, e = t.size();
            while (a < e && t.at(a) == QLatin1Char(' '))
                ++a;
            while (e > a && t.at(e - 1) == QLatin1Char(' '))
                --e;
            return a == e ? 0 : int(QStringView(t).mid(a, e - a).count(QLatin1Char(' '))) + 1;
        };
        const qsizetype n = editor::BankTextBox::pieceLength;
        QString items;
        for (int i = 0; items.size() < 3 * n; ++i)
            items += (i % 7 ? QStringLiteral("天地 ") : QStringLiteral("  "));
        setBank(QStringLiteral("  ") + items + QString(n + 5, QChar(0x4E00)) + QStringLiteral("\n \n  "));
        frmSet f;
        QCOMPARE(f.windowTitle(), title(reference(f.text())));
        QVERIFY(f.Text1->document()->blockCount() > 4);
        std::mt19937 rng(7);
        const QString typed[] = {QStringLiteral(" "), QStringLiteral("x"), QStringLiteral("  "),
                                 QStringLiteral("\n"), QStringLiteral("a b")};
        for (int step = 0; step < 300; ++step) {
            QTextCursor c = f.Text1->textCursor();
            const int size = f.Text1->document()->characterCount() - 1;
            // Half the edits at a paragraph's edge, where the pieces meet.
            int at = int(rng() % (size + 1));
            if (step % 2) {
                const QTextBlock b = f.Text1->document()->findBlock(at);
                at = rng() % 2 ? b.position() : b.position() + b.length() - 1;
            }
            c.setPosition(std::min(at, size));
            switch (rng() % 6) {
            case 0: c.deletePreviousChar(); break;
            case 1: c.deleteChar(); break;
            case 2: f.Text1->undo(); break;
            case 3: f.Text1->redo(); break;
            default: f.Text1->insertLogical(c, typed[rng() % std::size(typed)]);
            }
            QCOMPARE(f.windowTitle(), title(reference(f.text())));
        }
        f.Command7_Click();
        QCOMPARE(f.windowTitle(), title(0));
        f.setText(QStringLiteral("   "));
        QCOMPARE(f.windowTitle(), title(0));
    }

    void longLinesKeepTheirText()
    {
        // Long lines are held in pieces; every way in and out sees the real text.
        const qsizetype n = editor::BankTextBox::pieceLength;
        QString items;
        for (int i = 0; items.size() < 3 * n; ++i)
            items += QStringLiteral("天地 ");
        const QString noSpace(n * 2 + 7, QChar(0x4E00));
        const QString text = items + QStringLiteral("mɑ\n") + noSpace + QStringLiteral("\n\u00A0x");
        setBank(text);
        frmSet f;
        f.show();
        QCOMPARE(f.text(), text);
        QVERIFY(f.Text1->document()->blockCount() > 5);
        QCOMPARE(f.windowTitle(), title(int(items.count(QLatin1Char(' '))) + 1));

        // Copy gives the real text, paste of several lines puts it back as it was.
        f.Text1->selectAll();
        std::unique_ptr<QMimeData> copied(f.Text1->createMimeDataFromSelection());
        QCOMPARE(copied->text(), text);
        f.Command7_Click();
        f.Text1->insertFromMimeData(copied.get());
        QCOMPARE(f.text(), text);

        // Typing where a piece ends: a space break is a space, Enter is a line break.
        QTextCursor c = f.Text1->textCursor();
        c.setPosition(f.Text1->document()->findBlockByNumber(1).position());
        f.Text1->setTextCursor(c);
        QTest::keyClicks(f.Text1, QStringLiteral("1"));
        QTest::keyClick(f.Text1, Qt::Key_Backspace);
        QCOMPARE(f.text(), text);
        QTest::keyClick(f.Text1, Qt::Key_Return);
        const qsizetype firstBreak = f.Text1->document()->findBlockByNumber(0).length() - 1;
        QString expected = text;
        expected.insert(firstBreak + 1, QLatin1Char('\n'));
        QCOMPARE(f.text(), expected);
        f.Text1->undo();
        QCOMPARE(f.text(), text);
        // Backspace at the start of a piece takes the space it stands for.
        c.setPosition(f.Text1->document()->findBlockByNumber(1).position());
        f.Text1->setTextCursor(c);
        QTest::keyClick(f.Text1, Qt::Key_Backspace);
        expected = text;
        expected.remove(firstBreak, 1);
        QCOMPARE(f.text(), expected);

        // In a run without spaces the tone digit finds the vowel across the break.
        QString run(n + 10, QLatin1Char('x'));
        run[n - 1] = QLatin1Char('e');
        f.setText(run);
        QCOMPARE(f.Text1->document()->blockCount(), 2);
        c.setPosition(f.Text1->document()->findBlockByNumber(1).position());
        f.Text1->setTextCursor(c);
        QTest::keyClicks(f.Text1, QStringLiteral("4"));
        run[n - 1] = QChar(0x00E8);
        QCOMPARE(f.text(), run);

        // Saved in canonical form all the same.
        f.setText(text);
        f.Command1_Click();
        QCOMPARE(bankFile(), normalizeItems(regexReplace(text, itemSeparatorPattern(), QStringLiteral(" "))));
    }

    void typing_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("result");
        QTest::newRow("ma3") << ""
                             << "ma3"
                             << "mǎ";
        QTest::newRow("hao3") << ""
                              << "hao3"
                              << "hɑǒ";
        QTest::newRow("ha3o") << ""
                              << "ha3o"
                              << "hǎo";
        QTest::newRow("ni13") << ""
                              << "ni13"
                              << "nǐ";
        QTest::newRow("ni130") << ""
                               << "ni130"
                               << "ni";
        QTest::newRow("ni33") << ""
                              << "ni33"
                              << "nǐ";
        QTest::newRow("lv4") << ""
                             << "lv4"
                             << "lǜ";
        QTest::newRow("ga2") << ""
                             << "ga2"
                             << "ɡá";
        QTest::newRow("upper case") << ""
                                    << "AGV1"
                                    << "AGV1";
        QTest::newRow("digit first") << ""
                                     << "1"
                                     << "1";
        QTest::newRow("after consonant") << ""
                                         << "m2"
                                         << "m2";
        QTest::newRow("after space") << ""
                                     << "o 3"
                                     << "o 3";
        QTest::newRow("after character") << "天"
                                         << "4"
                                         << "天4";
        QTest::newRow("after ascii a") << "a"
                                       << "1"
                                       << "a1";
        QTest::newRow("toned vowel") << "nǎ"
                                     << "2"
                                     << "ná";
        QTest::newRow("five after vowel") << ""
                                          << "ma5"
                                          << "mɑ5";
        QTest::newRow("caret after tone") << ""
                                          << "ma3x"
                                          << "mǎx";
    }
    void typing()
    {
        QFETCH(QString, before);
        QFETCH(QString, keys);
        QFETCH(QString, result);
        setBank(before);
        frmSet f;
        f.show();
        QTest::keyClicks(f.Text1, keys);
        QCOMPARE(f.text(), result);
        QVERIFY(f.Text1->textCursor().atEnd());
        QCOMPARE(f.windowTitle(), title(int(result.split(QLatin1Char(' ')).size())));
    }

    void typingInTheMiddle()
    {
        setBank(QStringLiteral("mɑ ni"));
        frmSet f;
        f.show();
        QTextCursor c = f.Text1->textCursor();
        c.setPosition(2);
        f.Text1->setTextCursor(c);
        QTest::keyClick(f.Text1, Qt::Key_4, Qt::NoModifier);
        QCOMPARE(f.text(), QStringLiteral("mà ni"));
        QCOMPARE(f.Text1->textCursor().position(), 2);
        // A toned vowel at the start of a line takes a digit too; a line break before the caret does not.
        f.setText(QStringLiteral("x\ne"));
        QTest::keyClicks(f.Text1, QStringLiteral("2"));
        QCOMPARE(f.text(), QStringLiteral("x\né"));
        c = f.Text1->textCursor();
        c.setPosition(2);
        f.Text1->setTextCursor(c);
        QTest::keyClicks(f.Text1, QStringLiteral("1"));
        QCOMPARE(f.text(), QStringLiteral("x\n1é"));
    }

    void digitOverSelectionIsTyped()
    {
        setBank(QStringLiteral("mɑo"));
        frmSet f;
        f.show();
        QTextCursor c = f.Text1->textCursor();
        c.setPosition(1);
        c.setPosition(2, QTextCursor::KeepAnchor); // ɑ selected
        f.Text1->setTextCursor(c);
        QTest::keyClicks(f.Text1, QStringLiteral("3"));
        QCOMPARE(f.text(), QStringLiteral("m3o"));
        // A substituted letter replaces a selection like any typed letter.
        c.setPosition(1);
        c.setPosition(2, QTextCursor::KeepAnchor);
        f.Text1->setTextCursor(c);
        QTest::keyClicks(f.Text1, QStringLiteral("v"));
        QCOMPARE(f.text(), QStringLiteral("müo"));
        QCOMPARE(f.Text1->textCursor().position(), 2);
    }

    void shortcutsAndInputMethod()
    {
        setBank(QStringLiteral("mɑ"));
        frmSet f;
        f.show();
        // Ctrl+A selects all, it types nothing.
        QTest::keyClick(f.Text1, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(f.Text1->textCursor().hasSelection());
        QCOMPARE(f.text(), QStringLiteral("mɑ"));
        f.Text1->moveCursor(QTextCursor::End);

        // A pinyin input method: preedit, keys while composing, then the commit.
        QInputMethodEvent preedit(QStringLiteral("hao"), {});
        QCoreApplication::sendEvent(f.Text1, &preedit);
        QVERIFY(f.Text1->isComposing());
        QTest::keyClick(f.Text1, Qt::Key_3, Qt::NoModifier);
        QVERIFY(!f.text().contains(QStringLiteral("ǎ")));
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("好ag"));
        QCoreApplication::sendEvent(f.Text1, &commit);
        QVERIFY(!f.Text1->isComposing());
        QVERIFY(f.text().endsWith(QStringLiteral("好ag")));
        QTest::keyClicks(f.Text1, QStringLiteral(" a"));
        QVERIFY(f.text().endsWith(QStringLiteral("好ag ɑ")));
    }

    void toneCommands_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QString>("removed");
        QTest::newRow("priority") << "ɑ b ui iu 一"
                                  << "ā á ǎ à b uī uí uǐ uì īu íu ǐu ìu 一"
                                  << "ɑ b ui iu 一";
        QTest::newRow("hao") << "hǎo"
                             << "hāo háo hǎo hào"
                             << "hɑo";
        QTest::newRow("joined") << "mɑ-mɑ"
                                << "mā-mā má-má mǎ-mǎ mà-mà"
                                << "mɑ-mɑ";
        QTest::newRow("yuan") << "yuɑn"
                              << "yuān yuán yuǎn yuàn"
                              << "yuɑn";
        QTest::newRow("ascii repeat") << "ma ma"
                                      << "mā má mǎ mà"
                                      << "mɑ";
        QTest::newRow("two lines") << "mɑ\nni"
                                   << "mā\nni má\nni mǎ\nni mà\nni"
                                   << "mɑ\nni";
        QTest::newRow("marked") << "nǐ hǎo lǜ"
                                << "nī ní nǐ nì hāo háo hǎo hào lǖ lǘ lǚ lǜ"
                                << "ni hɑo lü";
    }
    void toneCommands()
    {
        QFETCH(QString, text);
        QFETCH(QString, added);
        QFETCH(QString, removed);
        frmSet f;
        f.setText(text);
        f.Command8_Click();
        QCOMPARE(f.text(), added);
        QCOMPARE(f.windowTitle(), title(int(added.split(QLatin1Char(' ')).size())));
        f.Command9_Click();
        QCOMPARE(f.text(), removed);
    }

    void resizeStopsAtFirstFailure()
    {
        frmSet f; // hidden: the handler runs when called, as on a resize
        f.resize(ui::px(9000), ui::px(6000));
        f.Form_Resize();
        QCOMPARE(f.Text1->size(), QSize(ui::px(9000 - 210), ui::px(6000 - 1530)));
        QCOMPARE(f.lblTip->width(), ui::px(9000 - 210));
        const QSize box = f.Text1->size();
        const int tip = f.lblTip->width();

        // Narrower than the box's left offset plus 90: nothing changes.
        f.resize(ui::px(195), ui::px(6000));
        f.Form_Resize();
        QCOMPARE(f.Text1->size(), box);
        QCOMPARE(f.lblTip->width(), tip);

        // Only too low: the box's width follows, its height and the hint's width do not.
        f.resize(ui::px(6000), ui::px(1200));
        f.Form_Resize();
        QCOMPARE(f.Text1->size(), QSize(ui::px(6000 - 210), box.height()));
        QCOMPARE(f.lblTip->width(), tip);

        // Exactly at the limit is still a size (zero).
        f.resize(ui::px(6000), ui::px(1530));
        f.Form_Resize();
        QCOMPARE(f.Text1->height(), 0);
        QCOMPARE(f.lblTip->width(), ui::px(6000 - 210));
    }
};

LORVANTA_TEST_MAIN(EditorFrmSet, QApplication)
#include "editor_frmset.moc"
