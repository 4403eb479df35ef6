#include "progress/frmprogress.h"

#include "core/clock.h"
#include "core/keptfile.h"
#include "progress/progresschart.h"
#include "progress/progressfiles.h"
#include "rules/dictation.h"
#include "rules/history.h"
#include "widgets/filedialog.h"
#include "widgets/messagebox.h"
#include "widgets/ui.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace progresswindow {
namespace {

const QString chartTitle = QStringLiteral("每次听写写对的比例");
const QString noDictationText = QStringLiteral("这段时间还没有听写。");
const QString noModuleText = QStringLiteral("没有找到画图的模块，只列出数字。");

QTreeWidget *newList(const char *name, const QStringList &columns)
{
    auto *list = new QTreeWidget;
    list->setObjectName(QLatin1String(name));
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setHeaderLabels(columns);
    list->header()->setSectionsMovable(false);
    list->header()->setDefaultAlignment(Qt::AlignCenter);
    return list;
}

QTreeWidgetItem *newRow(const QStringList &texts)
{
    auto *row = new QTreeWidgetItem(texts);
    for (int c = 1; c < texts.size(); ++c)
        row->setTextAlignment(c, Qt::AlignCenter);
    return row;
}

class ProgressDialog : public QDialog
{
public:
    ProgressDialog(QWidget *owner, const QString &bankText);

private:
    QHBoxLayout *createChartRow();
    void refresh();
    void savePicture();

    history::History m_history;
    QStringList m_bankItems;
    ProgressChartFactory *m_factory = nullptr;
    QComboBox *m_period = nullptr;
    QStackedWidget *m_chartPages = nullptr;
    QWidget *m_chart = nullptr; // null without the module
    QLabel *m_noChart = nullptr;
    QTreeWidget *m_wrong = nullptr;
    QLabel *m_coverage = nullptr;
    QTreeWidget *m_writing = nullptr;
    QLabel *m_note = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_save = nullptr;
};

ProgressDialog::ProgressDialog(QWidget *owner, const QString &bankText)
    : QDialog(owner), m_bankItems(dictation::bookItems(bankText))
{
    QString why;
    m_history = progressfiles::readHistory(&why);

    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(QStringLiteral("学习记录"));
    // A parent may want the chart large: the window can be maximised.
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);
    setFont(ui::designFont(QStringLiteral("宋体"), 10.5));

    auto *layout = new QVBoxLayout(this);

    m_period = new QComboBox;
    m_period->setObjectName(QStringLiteral("cboPeriod"));
    m_period->addItem(QStringLiteral("这周"), int(history::Period::Week));
    m_period->addItem(QStringLiteral("这个月"), int(history::Period::Month));
    m_period->addItem(QStringLiteral("全部"), int(history::Period::All));
    m_period->setCurrentIndex(2);
    m_coverage = new QLabel;
    m_coverage->setObjectName(QStringLiteral("lblCoverage"));
    auto *top = new QHBoxLayout;
    top->addWidget(m_period);
    top->addSpacing(16);
    top->addWidget(m_coverage, 1);
    layout->addLayout(top);

    layout->addLayout(createChartRow(), 3);

    m_writing = newList("lstWriting",
                        {QStringLiteral("日期"), QStringLiteral("写了几个字"),
                         QStringLiteral("不用帮忙写对的"), QStringLiteral("一次写对的笔画")});
    m_writing->header()->setSectionResizeMode(QHeaderView::Stretch);
    m_writing->setMinimumHeight(100);
    layout->addWidget(m_writing, 2);

    // What of the history could not be read, in the parent's sight.
    m_note = new QLabel(why.isEmpty() ? m_history.badLinesText() : why);
    m_note->setObjectName(QStringLiteral("lblNote"));
    m_note->setWordWrap(true);
    ui::setTextColour(m_note, QColor(176, 0, 0));
    m_note->setVisible(!m_note->text().isEmpty());
    layout->addWidget(m_note);

    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setWordWrap(true);
    m_save = new QPushButton(QStringLiteral("保存图片…"));
    m_save->setObjectName(QStringLiteral("cmdSavePng"));
    auto *close = new QPushButton(QStringLiteral("关闭"));
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_save);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(m_period, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(m_save, &QPushButton::clicked, this, [this] { savePicture(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    refresh();
    resize(720, 520);
    if (owner)
        ui::centreOnOwnerOnFirstShow(this, owner);
}

// The chart, or why there is none, beside the items most often wrong.
QHBoxLayout *ProgressDialog::createChartRow()
{
    // Made on the window, so that the chart's font is the window's already.
    m_chartPages = new QStackedWidget(this);
    m_noChart = new QLabel;
    m_noChart->setObjectName(QStringLiteral("lblChart"));
    m_noChart->setAlignment(Qt::AlignCenter);
    m_noChart->setWordWrap(true);
    m_noChart->setFrameShape(QFrame::StyledPanel);
    m_chartPages->addWidget(m_noChart);
    m_factory = modules::get<ProgressChartFactory>();
    if (m_factory) {
        m_chart = m_factory->createShareChart(m_chartPages, {}, chartTitle);
        m_chart->setObjectName(QStringLiteral("chart"));
        m_chart->setMinimumSize(240, 160);
        m_chartPages->addWidget(m_chart);
    }
    m_wrong = newList("lstWrong", {QStringLiteral("字或拼音"), QStringLiteral("错了几次")});
    m_wrong->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    // The count's column as wide as its heading, with room to breathe.
    m_wrong->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    m_wrong->header()->setStretchLastSection(false);
    m_wrong->header()->resizeSection(
        1, m_wrong->fontMetrics().horizontalAdvance(QStringLiteral("错了几次")) + 24);
    m_wrong->setMinimumWidth(200);
    auto *middle = new QHBoxLayout;
    middle->addWidget(m_chartPages, 3);
    middle->addWidget(m_wrong, 1);
    return middle;
}

void ProgressDialog::refresh()
{
    const auto period = history::Period(m_period->currentData().toInt());
    const QDateTime since = history::periodStart(period, Clock::now());

    const QList<history::History::Run> runs = m_history.dictations(since);
    ProgressChartFactory::Points points;
    points.reserve(runs.size());
    for (const history::History::Run &run : runs)
        points.append({run.when, run.share() * 100.0});
    if (m_chart)
        m_factory->setPoints(m_chart, points);
    const bool charted = m_chart && !points.isEmpty();
    QStringList why;
    if (!m_chart)
        why << noModuleText;
    if (points.isEmpty())
        why << noDictationText;
    m_noChart->setText(why.join(u'\n'));
    m_chartPages->setCurrentWidget(charted ? m_chart : m_noChart);
    m_save->setEnabled(charted);

    m_wrong->clear();
    const QFont itemFont = ui::designFont(QStringLiteral("楷体"), 15);
    for (const history::History::Count &c : m_history.mostOftenWrong(10, since)) {
        QTreeWidgetItem *row = newRow({c.item, QString::number(c.wrong)});
        // The items as the pupil writes them.
        row->setFont(0, itemFont);
        m_wrong->addTopLevelItem(row);
    }

    m_coverage->setText(QStringLiteral("生字库里听写过的：%1 个，共 %2 个")
                            .arg(m_history.dictatedAtLeastOnce(m_bankItems, since))
                            .arg(m_bankItems.size()));

    // The newest day on top, where a parent looks first.
    m_writing->clear();
    const QList<history::History::Day> days = m_history.writingPerDay(since);
    for (auto it = days.crbegin(); it != days.crend(); ++it)
        m_writing->addTopLevelItem(
            newRow({it->date.toString(QStringLiteral("yyyy-MM-dd")), QString::number(it->characters),
                    QString::number(it->right), QStringLiteral("%1/%2").arg(it->firstTry).arg(it->strokes)}));
}

void ProgressDialog::savePicture()
{
    if (!m_chart)
        return;
    const QString proposed = QDir::home().filePath(
        QStringLiteral("学习记录 %1.png").arg(Clock::today().toString(QStringLiteral("yyyy-MM-dd"))));
    QString path = FileDialog::instance().getSaveFileName(this, QStringLiteral("保存图片"), proposed,
                                                          QStringLiteral("PNG 图片 (*.png)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".png");
    const auto fail = [this](const QString &why) {
        m_status->clear();
        showMessage(this, QStringLiteral("图片没有保存。\n%1").arg(why), MessageIcon::Information,
                    MessageButtons::Ok);
    };
    // Never over the bank or another kept file, also not through a link.
    if (const QString why = keptfile::refusal(path); !why.isEmpty())
        return fail(why);
    const QString target = keptfile::reachedPath(path);
    const QImage image = m_chart->grab().toImage();
    // Written beside the target and put in its place only when whole.
    QSaveFile file(target);
    const bool opened = file.open(QIODevice::WriteOnly);
    // What the name leads to is looked at again now that the file is open.
    const bool same = opened && keptfile::refusal(path).isEmpty() && keptfile::reachedPath(path) == target;
    if (!same || !image.save(&file, "PNG") || !file.commit()) {
        const bool full = file.error() == QFileDevice::ResourceError;
        QString cause = keptfile::failureCause(target, full, QStringLiteral("这张图片"));
        if (cause.isEmpty())
            cause
                = file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("写入时出错。");
        file.cancelWriting();
        return fail(QStringLiteral("无法写入“%1”：%2").arg(QDir::toNativeSeparators(path), cause));
    }
    m_status->setText(QStringLiteral("图片已保存：%1").arg(QDir::toNativeSeparators(path)));
}

} // namespace

QDialog *create(QWidget *owner, const QString &bankText) { return new ProgressDialog(owner, bankText); }

void open(QWidget *owner, const QString &bankText)
{
    const std::unique_ptr<QDialog> box(create(owner, bankText));
    box->exec();
}

} // namespace progresswindow
