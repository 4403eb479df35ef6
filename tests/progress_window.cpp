// The 学习记录 window on a history beside a bank in a temporary folder: what
// each period shows, the chart's picture saved (and refused onto the bank),
// an unreadable history, and the window without its chart module.
#include "core/bankfile.h"
#include "core/clock.h"
#include "core/modules.h"
#include "progress/frmprogress.h"
#include "progress/progresschart.h"
#include "progress/progressfiles.h"
#include "tests/support/messagerecorder.h"
#include "tests/support/testsupport.h"
#include "widgets/filedialog.h"
#include "widgets/ui.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>

#include <memory>

namespace {
const QString bankText = QStringLiteral("天 地 人 口 手 山");

// Three dictations (November, the 1st of December, this week's Wednesday),
// writing on two days, and a line no one can read (line 7).
const char *historyLines[] = {
    "2026-11-20 19:00:00\t听写\t天\t错",
    "2026-11-20 19:00:00\t听写\t地\t对",
    "2026-11-20 19:00:00\t听写\t人\t错",
    "2026-12-01 18:00:00\t听写\t天\t错",
    "2026-12-01 18:00:00\t听写\t地\t对",
    "2026-12-01 18:05:00\t练写\t人\t2/2\t对",
    "这一行是手改坏的",
    "2026-12-09 19:30:05\t听写\t天\t错",
    "2026-12-09 19:30:05\t听写\t口\t对",
    "2026-12-09 19:30:05\t听写\t手\t对",
    "2026-12-09 19:30:05\t听写\t人\t对",
    "2026-12-09 19:41:12\t练写\t天\t3/4\t对",
    "2026-12-09 19:42:00\t练写\t地\t2/6\t错",
};

// A bank folder of its own with the history in it, every box answered.
struct Bank : MessageRecorder {
    Bank()
    {
        modPub::setBankDirOverride(dir.path());
        modPub::writeTextFile(modPub::bankPath(), bankText, true);
        QStringList lines;
        for (const char *line : historyLines)
            lines << QString::fromUtf8(line);
        testsupport::writeBytes(progressfiles::historyPath(), lines.join(QStringLiteral("\r\n")).toUtf8());
    }
    ~Bank() { modPub::setBankDirOverride(QString()); }

    QDialog *open()
    {
        window.reset(progresswindow::create(nullptr, bankText));
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("progress window not exposed");
        return window.get();
    }
    template <typename T = QWidget> T *child(const char *name)
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QStringList row(const char *list, int index)
    {
        QStringList texts;
        const QTreeWidgetItem *item = child<QTreeWidget>(list)->topLevelItem(index);
        for (int c = 0; item && c < item->columnCount(); ++c)
            texts << item->text(c);
        return texts;
    }

    QTemporaryDir dir;
    std::unique_ptr<QDialog> window;
};
} // namespace

class ProgressWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        ui::installFontSubstitutes();
        // Thursday evening: the week began on Monday the 7th.
        Clock::setMoment(QDateTime(QDate(2026, 12, 10), QTime(20, 0)));
    }
    void cleanupTestCase() { Clock::setMoment(QDateTime()); }

    void periodsChooseWhatIsShown()
    {
        Bank b;
        QDialog *w = b.open();
        QCOMPARE(w->objectName(), QStringLiteral("frmProgress"));
        QCOMPARE(w->windowTitle(), QStringLiteral("学习记录"));
        auto *period = b.child<QComboBox>("cboPeriod");
        QCOMPARE(period->currentText(), QStringLiteral("全部"));
        QWidget *chart = b.child("chart");
        QVERIFY(chart);
        QVERIFY(chart->isVisible());
        QCOMPARE(chart->property("points").toInt(), 3);
        // 天 wrong in all three dictations; 人 and 地 once each, 地 last (written with help).
        QCOMPARE(b.child<QTreeWidget>("lstWrong")->topLevelItemCount(), 3);
        QCOMPARE(b.row("lstWrong", 0), (QStringList {"天", "3"}));
        QCOMPARE(b.row("lstWrong", 1), (QStringList {"地", "1"}));
        QCOMPARE(b.child<QLabel>("lblCoverage")->text(), QStringLiteral("生字库里听写过的：5 个，共 6 个"));
        // Newest day first; strokes right at the first try of all strokes.
        QCOMPARE(b.child<QTreeWidget>("lstWriting")->topLevelItemCount(), 2);
        QCOMPARE(b.row("lstWriting", 0), (QStringList {"2026-12-09", "2", "1", "5/10"}));
        QCOMPARE(b.row("lstWriting", 1), (QStringList {"2026-12-01", "1", "1", "2/2"}));
        const auto *note = b.child<QLabel>("lblNote");
        QVERIFY(note->isVisible());
        QVERIFY2(note->text().contains(QStringLiteral("第 7 行")), qPrintable(note->text()));

        period->setCurrentText(QStringLiteral("这个月"));
        QCOMPARE(chart->property("points").toInt(), 2);
        QCOMPARE(b.row("lstWrong", 0), (QStringList {"天", "2"}));

        // This week: only Wednesday's dictation; of one mistake each, the later one first.
        period->setCurrentText(QStringLiteral("这周"));
        QCOMPARE(chart->property("points").toInt(), 1);
        QCOMPARE(b.row("lstWrong", 0), (QStringList {"地", "1"}));
        QCOMPARE(b.row("lstWrong", 1), (QStringList {"天", "1"}));
        QCOMPARE(b.child<QLabel>("lblCoverage")->text(), QStringLiteral("生字库里听写过的：4 个，共 6 个"));
        QCOMPARE(b.child<QTreeWidget>("lstWriting")->topLevelItemCount(), 1);

        // A week without dictations says so, and has no picture to save.
        Clock::setMoment(QDateTime(QDate(2026, 12, 16), QTime(8, 0)));
        period->setCurrentText(QStringLiteral("这个月"));
        period->setCurrentText(QStringLiteral("这周"));
        Clock::setMoment(QDateTime(QDate(2026, 12, 10), QTime(20, 0)));
        QVERIFY(!chart->isVisible());
        QCOMPARE(b.child<QLabel>("lblChart")->text(), QStringLiteral("这段时间还没有听写。"));
        QVERIFY(!b.child<QPushButton>("cmdSavePng")->isEnabled());
        QCOMPARE(b.child<QTreeWidget>("lstWrong")->topLevelItemCount(), 0);
        QVERIFY(b.shown.isEmpty());
    }

    void chartSavedAsPicture()
    {
        Bank b;
        b.open();
        QWidget *chart = b.child("chart");
        QTemporaryDir out;
        const QString path = out.filePath(QStringLiteral("进步.png"));
        FileDialog::instance().setNextFileName(path);
        b.child<QPushButton>("cmdSavePng")->click();
        QVERIFY2(b.shown.isEmpty(), qPrintable(b.texts().join(u'\n')));
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage image = reader.read();
        QCOMPARE(image.size(), chart->size() * chart->devicePixelRatio());
        // The line and its points are in the picture (they are blue).
        int blue = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                blue += c.blue() > c.red() + 80 ? 1 : 0;
            }
        QVERIFY2(blue > 50, qPrintable(QString::number(blue)));

        // A link to the bank is refused, and the bank stays as it was.
        const QByteArray bank = testsupport::fileBytes(modPub::bankPath());
        const QString link = out.filePath(QStringLiteral("link.png"));
        QVERIFY(QFile::link(modPub::bankPath(), link));
        FileDialog::instance().setNextFileName(link);
        b.child<QPushButton>("cmdSavePng")->click();
        QCOMPARE(b.shown.size(), 1);
        QVERIFY2(b.shown.first().text.startsWith(QStringLiteral("图片没有保存。"))
                     && b.shown.first().text.contains(QStringLiteral("生字库")),
                 qPrintable(b.shown.first().text));
        QCOMPARE(testsupport::fileBytes(modPub::bankPath()), bank);
        QVERIFY(QFileInfo(link).isSymLink());
        // A name without an ending gets ".png"; a folder that is not there is said.
        FileDialog::instance().setNextFileName(out.filePath(QStringLiteral("无后缀")));
        b.child<QPushButton>("cmdSavePng")->click();
        QVERIFY(QFileInfo::exists(out.filePath(QStringLiteral("无后缀.png"))));
        FileDialog::instance().setNextFileName(out.filePath(QStringLiteral("没有/图.png")));
        b.child<QPushButton>("cmdSavePng")->click();
        QCOMPARE(b.shown.size(), 2);
        QVERIFY2(b.shown.last().text.contains(QStringLiteral("不存在")), qPrintable(b.shown.last().text));
    }

    void unreadableHistoryIsSaid()
    {
        Bank b;
        QFile::remove(progressfiles::historyPath());
        QVERIFY(QDir().mkdir(progressfiles::historyPath()));
        b.open();
        const auto *note = b.child<QLabel>("lblNote");
        QVERIFY2(note->isVisible() && note->text().contains(QStringLiteral("学习记录.txt")),
                 qPrintable(note->text()));
        QCOMPARE(b.child<QLabel>("lblCoverage")->text(), QStringLiteral("生字库里听写过的：0 个，共 6 个"));
        QCOMPARE(b.child<QLabel>("lblChart")->text(), QStringLiteral("这段时间还没有听写。"));
    }

    // Last: a full run has loaded the module by now, and the first answer
    // holds for the run. Run on its own ("progress_window withoutChartModule"),
    // it finds no module.
    void withoutChartModule()
    {
        if (modules::attempted<ProgressChartFactory>())
            QSKIP("runs on its own only: the module is loaded already");
        QTemporaryDir empty;
        modules::setSearchFolder(empty.path());
        Bank b;
        b.open();
        QVERIFY(!b.child("chart"));
        const auto *label = b.child<QLabel>("lblChart");
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), QStringLiteral("没有找到画图的模块，只列出数字。"));
        QVERIFY(!b.child<QPushButton>("cmdSavePng")->isEnabled());
        QCOMPARE(b.row("lstWrong", 0), (QStringList {"天", "3"}));
        QCOMPARE(b.child<QLabel>("lblCoverage")->text(), QStringLiteral("生字库里听写过的：5 个，共 6 个"));
        b.child<QComboBox>("cboPeriod")->setCurrentText(QStringLiteral("这周"));
        QCOMPARE(b.child<QTreeWidget>("lstWriting")->topLevelItemCount(), 1);
        QVERIFY(b.shown.isEmpty());
    }
};

LORVANTA_TEST_MAIN(ProgressWindow, QApplication)
#include "progress_window.moc"
