// The copybook dialog: options, a live preview of the pages, printing and
// saving as PDF. Opened from the practice card's context menu or Ctrl+P.
#pragma once

#include "practice/sheetexport.h"
#include "sheet/sheet.h"

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class SheetPrinter;

// Paints one page of a sheet, rendered when it is first shown at a size.
class SheetPreview : public QWidget
{
    Q_OBJECT
public:
    explicit SheetPreview(QWidget *parent = nullptr);
    void setPage(const sheet::Sheet *sheet, int page);
    // What an empty sheet shows instead of a page.
    void setEmptyText(const QString &text) { m_emptyText = text; }
    // Drops the rendered image, so the next paint renders again.
    void invalidate();
    int page() const { return m_page; }
    // The page as last painted (null before the first paint).
    const QImage &image() const { return m_image; }
signals:
    void pageRendered(int page);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const sheet::Sheet *m_sheet = nullptr;
    int m_page = 0;
    QImage m_image;
    QString m_emptyText;
};

class frmSheet : public QDialog
{
    Q_OBJECT
public:
    // `bankText` is the whole bank, `shownItem` the item on the card;
    // `bankLabel` says what the text holds when it is not the bank
    // ("听写错字（4 个）").
    frmSheet(QWidget *owner, const QString &bankText, const QString &shownItem,
             const QString &bankLabel = {});
    ~frmSheet() override;

    sheet::Options options() const;
    const sheet::Sheet *currentSheet() const { return m_sheet.get(); }

    // Writes the pages chosen in spnFirstPage/spnLastPage to `path`; an
    // existing file is replaced only by a complete PDF, and never one of the
    // program's own files (sheetfile::resolve). Asks first when it would be
    // more than askAbovePages pages, refuses when it would not fit on the
    // disk, and says why when it cannot. True when written.
    bool savePdf(const QString &path);
    // More pages than this are written only when the question is answered yes.
    static constexpr int askAbovePages = sheetexport::askAbovePages;
    // Paints the sheet onto a printer already set up (the system dialog's
    // choice of pages is kept). True when every page went to the printer.
    bool printTo(SheetPrinter &printer);

    // The default file of "保存为 PDF…": 字帖-YYYY-MM-DD.pdf in the Documents folder.
    static QString defaultPdfPath();
    static bool printerAvailable();

    void cmdPrint_Click();
    void cmdPdf_Click();
    void cmdPrevPage_Click();
    void cmdNextPage_Click();

    QComboBox *cboPaper = nullptr;
    QComboBox *cboCell = nullptr;
    QComboBox *cboRows = nullptr;
    QComboBox *cboCopies = nullptr;
    QCheckBox *chkStrokes = nullptr;
    QCheckBox *chkHeading = nullptr;
    QRadioButton *optBank = nullptr;
    QRadioButton *optShown = nullptr;
    // The pages of the PDF: from, to (0 for the last page).
    QSpinBox *spnFirstPage = nullptr;
    QSpinBox *spnLastPage = nullptr;
    QPushButton *cmdPrint = nullptr;
    QPushButton *cmdPdf = nullptr;
    QPushButton *cmdClose = nullptr;
    QPushButton *cmdPrevPage = nullptr;
    QPushButton *cmdNextPage = nullptr;
    QLabel *lblPage = nullptr;
    QLabel *lblStatus = nullptr;
    SheetPreview *preview = nullptr;

private:
    void createControls();
    void layOut();
    void applyStoredOptions();
    void connectControls();
    void optionsChanged();
    void rebuild();
    void fillCopies(int columns, int selected);
    void paginateSome();
    void updatePageControls();
    // Runs an export with a cancellable progress box; the painter work is in `job`.
    sheetexport::Runner runner();
    int runWithProgress(const QString &label, const std::function<int(const sheet::Progress &)> &job,
                        bool *cancelled);

    QString m_bankText;
    QString m_shownItem;
    QString m_bankLabel;
    std::unique_ptr<sheet::Sheet> m_sheet;
    QTimer m_paginate;
    bool m_loading = true;
    bool m_hasPrinter = false;
    bool m_busy = false;
};

namespace sheetwindow {
// Opens the dialog for a bank, owned by `owner` and modal to it; when the text
// holds nothing to print, says so instead and returns nullptr.
frmSheet *open(QWidget *owner, const QString &bankText, const QString &shownItem,
               const QString &bankLabel = {});
} // namespace sheetwindow
