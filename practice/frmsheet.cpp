#include "practice/frmsheet.h"

#include "core/bankfile.h"
#include "core/clock.h"
#include "core/textutil.h"
#include "practice/sheetexport.h"
#include "practice/sheetfile.h"
#include "practice/sheetprinting.h"
#include "widgets/filedialog.h"
#include "widgets/messagebox.h"
#include "widgets/ui.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QShortcut>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QVBoxLayout>

#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString printCaption = QStringLiteral("打印…");
const QString nothingToPrint = QStringLiteral("生字库里没有可以打印的字或拼音。");
// Pagination gives the window back this often, so it keeps answering.
constexpr int kPaginateSliceMs = 15;

} // namespace

// ---------------------------------------------------------------- preview

SheetPreview::SheetPreview(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(300, 400);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void SheetPreview::setPage(const sheet::Sheet *sheet, int page)
{
    m_sheet = sheet;
    m_page = page;
    invalidate();
}

void SheetPreview::invalidate()
{
    m_image = QImage();
    update();
}

void SheetPreview::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Mid));
    if (!m_sheet || m_sheet->isEmpty() || m_page >= m_sheet->pageCount()) {
        p.setPen(palette().color(QPalette::Light));
        p.drawText(rect(), Qt::AlignCenter, m_sheet && m_sheet->isEmpty() ? m_emptyText : QString());
        return;
    }
    // Only the page in view is rendered, at the size it is shown.
    const QSizeF paper = m_sheet->geometry().paper;
    const QRectF room = QRectF(rect()).adjusted(8, 8, -8, -8);
    const double scale = std::min(room.width() / paper.width(), room.height() / paper.height());
    const QSize size = (paper * scale).toSize();
    const qreal dpr = devicePixelRatioF();
    if (m_image.isNull() || m_image.size() != size * dpr) {
        m_image = QImage(size * dpr, QImage::Format_RGB32);
        m_image.setDevicePixelRatio(dpr);
        m_image.fill(Qt::white);
        QPainter ip(&m_image);
        m_sheet->paintPage(ip, QRectF(QPointF(0, 0), QSizeF(size)), m_page);
        ip.end();
        emit pageRendered(m_page);
    }
    const QRect target(
        QPoint(int(room.center().x() - size.width() / 2.0), int(room.center().y() - size.height() / 2.0)),
        size);
    p.drawImage(target, m_image);
}

// ---------------------------------------------------------------- dialog

frmSheet::frmSheet(QWidget *owner, const QString &bankText, const QString &shownItem,
                   const QString &bankLabel)
    : QDialog(owner), m_bankText(bankText), m_shownItem(shownItem), m_bankLabel(bankLabel)
{
    setWindowTitle(QStringLiteral("打印字帖"));
    if (owner)
        setWindowIcon(owner->windowIcon());
    setFont(ui::designFont(QStringLiteral("宋体"), 10.5));

    createControls();
    layOut();
    applyStoredOptions();
    connectControls();

    m_loading = false;
    rebuild();
}

void frmSheet::createControls()
{
    cboPaper = new QComboBox(this);
    cboPaper->addItems({QStringLiteral("A4"), QStringLiteral("Letter")});
    cboCell = new QComboBox(this);
    cboCell->addItems(
        {QStringLiteral("小（12 毫米）"), QStringLiteral("中（15 毫米）"), QStringLiteral("大（18 毫米）")});
    cboRows = new QComboBox(this);
    cboRows->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    cboCopies = new QComboBox(this);
    chkStrokes = new QCheckBox(QStringLiteral("笔顺：一笔一格"), this);
    chkHeading = new QCheckBox(QStringLiteral("页眉：姓名和日期"), this);
    optBank
        = new QRadioButton(m_bankLabel.isEmpty() ? QStringLiteral("整个生字库，按顺序") : m_bankLabel, this);
    const QString shown = modPub::shortened(m_shownItem, 12);
    optShown = new QRadioButton(QStringLiteral("只打印当前这一项：%1").arg(shown), this);
    spnFirstPage = new QSpinBox(this);
    spnFirstPage->setRange(1, 9999999);
    spnLastPage = new QSpinBox(this);
    spnLastPage->setRange(0, 9999999);
    spnLastPage->setSpecialValueText(QStringLiteral("最后一页"));
    spnLastPage->setValue(0);
    auto *items = new QButtonGroup(this);
    items->addButton(optBank);
    items->addButton(optShown);

    cmdPrint = new QPushButton(printCaption, this);
    cmdPdf = new QPushButton(QStringLiteral("保存为 PDF…"), this);
    cmdClose = new QPushButton(QStringLiteral("关闭"), this);
    cmdPrevPage = new QPushButton(QStringLiteral("上一页"), this);
    cmdNextPage = new QPushButton(QStringLiteral("下一页"), this);
    lblPage = new QLabel(this);
    lblPage->setAlignment(Qt::AlignCenter);
    lblStatus = new QLabel(this);
    lblStatus->setWordWrap(true);
    lblStatus->setTextFormat(Qt::PlainText);
    preview = new SheetPreview(this);
}

// The options in a column on the left, the preview and its page buttons on the right.
void frmSheet::layOut()
{
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("纸张"), cboPaper);
    form->addRow(QStringLiteral("格子大小"), cboCell);
    form->addRow(QStringLiteral("每个字的行数"), cboRows);
    form->addRow(QStringLiteral("描红个数"), cboCopies);
    form->addRow(chkStrokes);
    form->addRow(chkHeading);
    form->addRow(new QLabel(QStringLiteral("内容"), this));
    form->addRow(optBank);
    form->addRow(optShown);
    auto *range = new QHBoxLayout;
    range->addWidget(spnFirstPage, 1);
    range->addWidget(new QLabel(QStringLiteral("到"), this));
    range->addWidget(spnLastPage, 1);
    form->addRow(QStringLiteral("PDF 的页"), range);

    // A column of its own width, so that a long status line wraps instead of
    // pushing the preview aside.
    auto *panel = new QWidget(this);
    panel->setFixedWidth(300);
    auto *left = new QVBoxLayout(panel);
    left->setContentsMargins(0, 0, 0, 0);
    left->addLayout(form);
    left->addStretch(1);
    left->addWidget(lblStatus);
    left->addWidget(cmdPrint);
    left->addWidget(cmdPdf);
    left->addWidget(cmdClose);

    auto *nav = new QHBoxLayout;
    nav->addWidget(cmdPrevPage);
    nav->addWidget(lblPage, 1);
    nav->addWidget(cmdNextPage);
    auto *right = new QVBoxLayout;
    right->addWidget(preview, 1);
    right->addLayout(nav);

    auto *top = new QHBoxLayout(this);
    top->addWidget(panel);
    top->addLayout(right, 1);
    resize(900, 720);
}

// The options as last saved, and whether there is a printer to print on.
void frmSheet::applyStoredOptions()
{
    const sheet::Options o = sheet::loadOptions();
    cboPaper->setCurrentIndex(o.paper == sheet::Paper::Letter ? 1 : 0);
    cboCell->setCurrentIndex(int(o.cellSize));
    cboRows->setCurrentIndex(o.rowsPerItem - 1);
    fillCopies(sheet::pageGeometry(o).columns, o.tracingCopies);
    chkStrokes->setChecked(o.strokeOrder);
    chkHeading->setChecked(o.heading);
    (o.onlyShownItem ? optShown : optBank)->setChecked(true);

    // Asked once: the printing system may take a moment to answer.
    m_hasPrinter = printerAvailable();
    if (!m_hasPrinter) {
        cmdPrint->setEnabled(false);
        cmdPrint->setText(QStringLiteral("打印…（没有安装打印机）"));
        cmdPrint->setToolTip(QStringLiteral("没有找到打印机。可以先保存为 PDF，再在别的电脑上打印。"));
    }
}

void frmSheet::connectControls()
{
    for (QComboBox *c : {cboPaper, cboCell, cboRows, cboCopies})
        connect(c, &QComboBox::currentIndexChanged, this, &frmSheet::optionsChanged);
    for (QAbstractButton *b : std::initializer_list<QAbstractButton *> {chkStrokes, chkHeading, optShown})
        connect(b, &QAbstractButton::toggled, this, &frmSheet::optionsChanged);
    connect(cmdPrint, &QPushButton::clicked, this, &frmSheet::cmdPrint_Click);
    connect(cmdPdf, &QPushButton::clicked, this, &frmSheet::cmdPdf_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(cmdPrevPage, &QPushButton::clicked, this, &frmSheet::cmdPrevPage_Click);
    connect(cmdNextPage, &QPushButton::clicked, this, &frmSheet::cmdNextPage_Click);
    m_paginate.setInterval(0);
    connect(&m_paginate, &QTimer::timeout, this, &frmSheet::paginateSome);
}

frmSheet::~frmSheet() = default;

void frmSheet::fillCopies(int columns, int selected)
{
    const QSignalBlocker block(cboCopies);
    cboCopies->clear();
    for (int i = 0; i < columns; ++i)
        cboCopies->addItem(QString::number(i), i);
    cboCopies->addItem(QStringLiteral("整行"), sheet::fillRow);
    const int at = cboCopies->findData(selected);
    cboCopies->setCurrentIndex(at >= 0 ? at : cboCopies->count() - 1);
}

sheet::Options frmSheet::options() const
{
    sheet::Options o;
    o.paper = cboPaper->currentIndex() == 1 ? sheet::Paper::Letter : sheet::Paper::A4;
    o.cellSize = sheet::CellSize(std::clamp(cboCell->currentIndex(), 0, 2));
    o.rowsPerItem = cboRows->currentIndex() + 1;
    o.tracingCopies = cboCopies->currentData().isValid() ? cboCopies->currentData().toInt() : sheet::fillRow;
    o.strokeOrder = chkStrokes->isChecked();
    o.heading = chkHeading->isChecked();
    o.onlyShownItem = optShown->isChecked();
    o.date = Clock::today();
    return sheet::normalized(o);
}

void frmSheet::optionsChanged()
{
    if (m_loading)
        return;
    // The number of copies offered follows the columns of the paper and cell size.
    sheet::Options o = options();
    const int columns = sheet::pageGeometry(o).columns;
    if (cboCopies->count() != columns + 1)
        fillCopies(columns, o.tracingCopies);
    o = options();
    sheet::saveOptions(o);
    rebuild();
}

void frmSheet::rebuild()
{
    const sheet::Options o = options();
    m_sheet = std::make_unique<sheet::Sheet>(o.onlyShownItem ? m_shownItem : m_bankText, o);
    // The first slice runs now: a bank of ordinary size is counted before the
    // window is first painted, a large one goes on in the background.
    m_sheet->paginate(kPaginateSliceMs);
    if (!m_sheet->isPaginated())
        m_paginate.start();
    else
        m_paginate.stop();
    preview->setEmptyText(o.onlyShownItem ? QStringLiteral("当前这一项没有可以打印的字或拼音。")
                                          : nothingToPrint);
    preview->setPage(m_sheet.get(), 0);
    cmdPdf->setEnabled(!m_sheet->isEmpty());
    if (m_hasPrinter)
        cmdPrint->setEnabled(!m_sheet->isEmpty());
    lblStatus->clear();
    updatePageControls();
}

void frmSheet::paginateSome()
{
    if (!m_sheet || m_sheet->paginate(kPaginateSliceMs)) {
        m_paginate.stop();
        // The page numbers now carry the total.
        preview->invalidate();
    }
    updatePageControls();
}

void frmSheet::updatePageControls()
{
    const int page = preview->page();
    const int count = m_sheet ? m_sheet->pageCount() : 0;
    if (!m_sheet || m_sheet->isEmpty())
        lblPage->setText(QString());
    else if (m_sheet->isPaginated())
        lblPage->setText(QStringLiteral("第 %1 页 / 共 %2 页").arg(page + 1).arg(count));
    else
        lblPage->setText(QStringLiteral("第 %1 页 / 共 %2 页以上（正在计算）").arg(page + 1).arg(count));
    cmdPrevPage->setEnabled(page > 0);
    cmdNextPage->setEnabled(page + 1 < count);
}

void frmSheet::cmdPrevPage_Click()
{
    if (preview->page() > 0)
        preview->setPage(m_sheet.get(), preview->page() - 1);
    updatePageControls();
}

void frmSheet::cmdNextPage_Click()
{
    if (m_sheet && preview->page() + 1 < m_sheet->pageCount())
        preview->setPage(m_sheet.get(), preview->page() + 1);
    updatePageControls();
}

QString frmSheet::defaultPdfPath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QDir::homePath();
    return dir + QStringLiteral("/字帖-") + Clock::today().toString(QStringLiteral("yyyy-MM-dd"))
        + QStringLiteral(".pdf");
}

bool frmSheet::printerAvailable()
{
    SheetPrintingFactory *printing = sheetprinting::factory();
    return printing && printing->printerAvailable();
}

int frmSheet::runWithProgress(const QString &label, const std::function<int(const sheet::Progress &)> &job,
                              bool *cancelled)
{
    QProgressDialog box(label, QStringLiteral("取消"), 0, 1000, this);
    box.setWindowTitle(windowTitle());
    box.setWindowModality(Qt::WindowModal);
    box.setMinimumDuration(400);
    box.setAutoClose(false);
    box.setAutoReset(false);
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    const sheet::Sheet *s = m_sheet.get();
    const sheet::Progress progress = [&](int done, int total) {
        // Counting the pages is the first fifth of the bar.
        const int value = total == 0 ? int(200 * s->paginatedShare()) : 200 + 800 * done / total;
        box.setValue(std::clamp(value, 0, 999));
        if (sinceEvents.elapsed() >= 30) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
        return !box.wasCanceled();
    };
    m_busy = true;
    m_paginate.stop();
    const int pages = job(progress);
    m_busy = false;
    *cancelled = box.wasCanceled();
    // Stopped while the pages were being counted: the preview counts on.
    if (!m_sheet->isPaginated())
        m_paginate.start();
    updatePageControls();
    preview->invalidate();
    return pages;
}

bool frmSheet::savePdf(const QString &path)
{
    if (!m_sheet || m_sheet->isEmpty() || m_busy)
        return false;
    QString status;
    const bool saved = sheetexport::savePdf(this, *m_sheet, path, spnFirstPage->value(), spnLastPage->value(),
                                            runner(), &status);
    if (!status.isEmpty())
        lblStatus->setText(status);
    return saved;
}

bool frmSheet::printTo(SheetPrinter &printer)
{
    if (!m_sheet || m_sheet->isEmpty() || m_busy)
        return false;
    QString status;
    const bool printed = sheetexport::printTo(this, *m_sheet, printer, runner(), &status);
    if (!status.isEmpty())
        lblStatus->setText(status);
    return printed;
}

sheetexport::Runner frmSheet::runner()
{
    return [this](const QString &label, const std::function<int(const sheet::Progress &)> &job,
                  bool *cancelled) { return runWithProgress(label, job, cancelled); };
}

void frmSheet::cmdPrint_Click()
{
    if (!cmdPrint->isEnabled() || m_busy)
        return;
    SheetPrintingFactory *printing = sheetprinting::factory();
    if (!printing)
        return;
    const QPageSize paper(m_sheet->options().paper == sheet::Paper::Letter ? QPageSize::Letter
                                                                           : QPageSize::A4);
    const std::unique_ptr<SheetPrinter> printer = printing->askPrinter(
        this, QStringLiteral("打印字帖"), paper, m_sheet->isPaginated() ? m_sheet->pageCount() : 0);
    if (printer)
        printTo(*printer);
}

void frmSheet::cmdPdf_Click()
{
    if (!cmdPdf->isEnabled() || m_busy)
        return;
    QString path = FileDialog::instance().getSaveFileName(
        this, QStringLiteral("保存为 PDF"), defaultPdfPath(), QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty())
        return;
    // Only a .pdf file is ever written: a name typed with another ending
    // (the bank's own file, say) gets ".pdf" added rather than overwritten.
    if (QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) != 0) {
        path += QStringLiteral(".pdf");
        if (QFileInfo::exists(path)
            && showMessage(this,
                           QStringLiteral("“%1”已经存在，要替换它吗？").arg(QDir::toNativeSeparators(path)),
                           MessageIcon::Information, MessageButtons::YesNo)
                != MessageAnswer::Yes)
            return;
    }
    savePdf(path);
}

// ---------------------------------------------------------------- entry points

namespace sheetwindow {

frmSheet *open(QWidget *owner, const QString &bankText, const QString &shownItem, const QString &bankLabel)
{
    if (!sheet::Sheet::hasPrintableItems(bankText)) {
        showMessage(owner, nothingToPrint, MessageIcon::Information, MessageButtons::Ok);
        return nullptr;
    }
    auto *dialog = new frmSheet(owner, bankText, shownItem, bankLabel);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Modal to the practice window: the bank it shows cannot change under it.
    dialog->setWindowModality(Qt::WindowModal);
    if (owner)
        ui::centreWindow(dialog, owner->frameGeometry());
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

} // namespace sheetwindow
