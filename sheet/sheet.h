// The copybook (字帖) of a bank: a 田字格 row block for every Chinese character
// (model, stroke order, grey copies to trace) and a 四线三格 row block for
// every pinyin item, cut into pages. No widgets: the same code paints the
// preview into an image and the pages into a PDF or onto a printer.
//
// Pagination is incremental, so a very large bank shows its first page at
// once while the rest is counted; a page is painted from where it starts,
// without walking the pages before it.
#pragma once

#include "core/strokedata.h"
#include "sheet/sheetlayout.h"

#include <QFont>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class QIODevice;
class QPainter;
class QPagedPaintDevice;
class QPdfWriter;

namespace sheet {

// Pages to print or save: the copybook, or another sheet printed the same way.
class Pages
{
public:
    virtual ~Pages() = default;
    virtual const Options &options() const = 0;
    // The document's name in a PDF.
    virtual QString title() const { return QStringLiteral("字帖"); }
    // True when there is nothing to print; such pages are none.
    virtual bool isEmpty() const = 0;
    // Counts pages for about `budgetMs` milliseconds (at least one block);
    // true once all are counted.
    virtual bool paginate(int budgetMs) = 0;
    virtual bool isPaginated() const = 0;
    // The pages found so far: all of them once isPaginated().
    virtual int pageCount() const = 0;
    // Share counted so far, 0 to 1.
    virtual double paginatedShare() const = 0;
    // The number of pages: exact once counted, until then the pages found so
    // far scaled to the share they cover.
    virtual int expectedPageCount() const = 0;
    // Paints page `index` (0-based, below pageCount()) with the paper fitted
    // and centred in `pageRect` (device coordinates).
    virtual void paintPage(QPainter &painter, const QRectF &pageRect, int index) const = 0;
};

// A bank as a copybook, paginated on demand.
class Sheet : public Pages
{
public:
    Sheet(QString bankText, const Options &options);
    ~Sheet() override;
    Sheet(const Sheet &) = delete;
    Sheet &operator=(const Sheet &) = delete;

    const Options &options() const override { return m_options; }
    const PageGeometry &geometry() const { return m_geometry; }

    // True when the text holds nothing to print (no Chinese character and no
    // pinyin item with letters); such a sheet has no pages.
    bool isEmpty() const override { return m_empty; }

    bool paginate(int budgetMs) override;
    bool isPaginated() const override { return m_done; }
    int pageCount() const override { return int(m_pages.size()); }
    double paginatedShare() const override;
    int expectedPageCount() const override;

    // The page number shows the total only once the whole bank is counted.
    void paintPage(QPainter &painter, const QRectF &pageRect, int index) const override;

    // Whether the text holds anything to print: a Chinese character, or a
    // pinyin item with letters.
    static bool hasPrintableItems(const QString &bankText);

private:
    struct Cursor {
        qsizetype pos = 0; // where the block starts in the bank
        qsizetype itemEnd = -1; // end of the Chinese item it lies in; -1 between items
        int row = 0; // first row of the block on this page
    };

    enum class BlockKind { Character, Pinyin };
    struct Block {
        BlockKind kind = BlockKind::Character;
        Cursor start;
        qsizetype end = 0; // character: after its code units; pinyin: the item's end
        char32_t codePoint = 0; // character only
    };
    class Scanner;

    int strokeCount(char32_t codePoint) const;
    std::shared_ptr<const StrokeGlyph> glyph(char32_t codePoint) const;
    int blockRows(const Block &block) const;

    void paintHeading(QPainter &p) const;
    void paintFooter(QPainter &p, int index) const;
    void paintCharacterRow(QPainter &p, const Block &block, int blockRow, int pageRow, double scale) const;
    void paintPinyinRow(QPainter &p, const Block &block, int blockRow, int pageRow, double scale) const;
    void paintCharacter(QPainter &p, const QRectF &cell, char32_t codePoint, int blackStrokes,
                        const QColor &ink) const;

    QString m_text;
    Options m_options;
    PageGeometry m_geometry;
    bool m_empty = true;
    bool m_done = false;
    QList<Cursor> m_pages;
    std::unique_ptr<Scanner> m_scanner; // where pagination goes on
    int m_rowOnPage = 0;
    QFont m_kaiFont;
    QFont m_pinyinFont;
    double m_pinyinXHeight = 0.5; // x-height of the pinyin face, share of its pixel size
    mutable QHash<char32_t, int> m_strokeCounts;
    mutable QHash<char32_t, std::shared_ptr<const StrokeGlyph>> m_glyphs;
};

// Called with (pages done, pages in all); returning false stops the job.
using Progress = std::function<bool(int done, int total)>;

// Paints pages `first` to `last` (1-based, inclusive; 0 for the last page)
// of the bank's sheet onto a paged device (a PDF writer or a printer whose
// painter starts at the paper's corner), one page per sheet. Counting the
// pages reports (0, 0) now and then, so a long count can be stopped too; a
// printer's job is aborted by the caller's progress function before it
// returns false. Returns the number of pages painted (0 when there is
// nothing to print), or -1 when stopped or the device could not be painted on.
int paintPages(Pages &sheet, QPagedPaintDevice &device, const Progress &progress = {}, int first = 1,
               int last = 0);

// Prepares a PDF writer for the options' paper: portrait, no margins (the
// sheet keeps its own), a title.
void setUpPdfWriter(QPdfWriter &writer, const Options &options,
                    const QString &title = QStringLiteral("字帖"));

// What writing a PDF came to.
struct PdfResult {
    int pages = 0; // as paintPages() returns them
    bool complete = false; // painted to the end, every byte taken by the device
    bool refused = false; // the device took a write only in part, or not at all
    qint64 bytes = 0; // bytes the device took
};

// Paints pages `first` to `last` (as paintPages()) as a PDF into `out`, open
// for writing. A write that the device takes only in part (a full disk) stops
// the job and leaves the result incomplete: QPdfWriter stops writing at the
// first short write without telling anyone, and the file device sees no error
// in a short write, so the check is made here, on every write.
PdfResult writePdf(Pages &sheet, QIODevice &out, const Progress &progress = {}, int first = 1, int last = 0);

// About how many bytes the PDF of `pages` pages from page `first` will take:
// up to six of the pages already counted in that range, spread over it and
// written into memory, scaled to the number of pages.
qint64 estimatePdfBytes(const Pages &sheet, int first, int pages);
} // namespace sheet
