#include "sheet/sheet.h"

#include "core/strokeformat.h"
#include "core/textutil.h"
#include "resources/fonts.h"
#include "rules/deck.h"
#include "sheet/pinyinglyphs.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>

namespace sheet {
namespace {

// Black for what the pupil copies, light grey for what is traced over; the
// grid in a red that prints as a pale grey on a black-and-white printer.
const QColor kPaper(255, 255, 255);
const QColor kInk(0, 0, 0);
const QColor kTrace(200, 200, 200);
const QColor kPinyinInk(64, 64, 64);
const QColor kGridOuter(214, 96, 96);
const QColor kGridInner(228, 150, 150);
const QColor kLineOuter(228, 150, 150);
const QColor kLineMiddle(214, 96, 96);
const QColor kNote(90, 90, 90);

// Line widths and dashes in millimetres.
constexpr double kOuterWidth = 0.35;
constexpr double kInnerWidth = 0.2;
constexpr double kLineWidth = 0.2;
constexpr double kMiddleLineWidth = 0.3;
constexpr double kDashMm = 0.9;
constexpr double kDashGapMm = 0.7;
// Thinner than this many device pixels, a line fades away in the preview.
constexpr double kMinLinePixels = 0.75;

// The stroke data's box.
constexpr double kGridUnits = strokeformat::gridUnits;
constexpr double kTopY = strokeformat::topY;
// Room between the character and the cell's edge.
constexpr double kGlyphInset = 0.06;

// Text is drawn as outlines of a font at this pixel size, then scaled, so that
// it comes out the same on any device.
constexpr int kTextPixels = 200;

// A pinyin item longer than this is cut: nothing that long is a syllable, and
// laying out megabytes of text for one row would hold everything up.
constexpr qsizetype kMaxPinyinChars = 80;

bool isHan(char32_t cp) { return QChar::script(cp) == QChar::Script_Han; }

// Something to write: letters, not only spaces and hyphens.
bool hasLetters(QStringView item)
{
    for (const QChar c : item)
        if (!c.isSpace() && c != QLatin1Char('-'))
            return true;
    return false;
}

// The design face, then its stand-ins, as the windows have them.
QFont faceFont(const QString &designFace)
{
    QFont f;
    f.setFamilies(QStringList {designFace} + resources::faceSubstitutes(designFace));
    f.setPixelSize(kTextPixels);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setStyleStrategy(QFont::PreferOutline);
    return f;
}

// A pen `mm` wide that stays visible when the page is small.
QPen linePen(const QColor &colour, double mm, double scale, bool dashed = false)
{
    const double width = std::max(mm, kMinLinePixels / scale);
    QPen pen(colour, width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    if (dashed) {
        pen.setStyle(Qt::CustomDashLine);
        pen.setDashPattern({kDashMm / width, kDashGapMm / width});
    }
    return pen;
}

// Draws `text` with its baseline starting at `origin`, `em` millimetres high.
// Returns its advance width in millimetres.
double drawText(QPainter &p, const QFont &font, const QString &text, QPointF origin, double em,
                const QColor &colour, Qt::Alignment align = Qt::AlignLeft)
{
    const double k = em / kTextPixels;
    const double width = QFontMetricsF(font).horizontalAdvance(pinyinglyphs::bodyText(text)) * k;
    if (align & Qt::AlignRight)
        origin.rx() -= width;
    else if (align & Qt::AlignHCenter)
        origin.rx() -= width / 2;
    // Toned a's on the single-storey ɑ, like the pinyin letters around them.
    const QPainterPath path = pinyinglyphs::textPath(font, text);
    p.save();
    p.translate(origin);
    p.scale(k, k);
    p.setPen(Qt::NoPen);
    p.fillPath(path, colour);
    p.restore();
    return width;
}
} // namespace

// Walks the bank from a cursor, block by block: one block per Chinese
// character of a Chinese item, one per pinyin item with letters. Items are cut
// at single spaces, as the practice deck cuts them; empty ones are skipped.
class Sheet::Scanner
{
public:
    Scanner(const QString &text, const Cursor &from) : m_text(text), m_pos(from.pos), m_itemEnd(from.itemEnd)
    { }

    qsizetype pos() const { return m_pos; }

    bool next(Block &block)
    {
        const qsizetype n = m_text.size();
        for (;;) {
            if (m_itemEnd < 0) {
                while (m_pos < n && m_text.at(m_pos) == QLatin1Char(' '))
                    ++m_pos;
                if (m_pos >= n)
                    return false;
                qsizetype end = m_text.indexOf(QLatin1Char(' '), m_pos);
                if (end < 0)
                    end = n;
                const QStringView item = QStringView(m_text).mid(m_pos, end - m_pos);
                if (!deck::isChinese(item.toString())) {
                    const qsizetype start = m_pos;
                    m_pos = end;
                    if (!hasLetters(item))
                        continue;
                    block.kind = BlockKind::Pinyin;
                    block.start = Cursor {start, -1, 0};
                    block.end = end;
                    block.codePoint = 0;
                    return true;
                }
                m_itemEnd = end;
            }
            // Inside a Chinese item: its characters, one after another; letters,
            // digits and punctuation mixed in are not written.
            while (m_pos < m_itemEnd) {
                const qsizetype start = m_pos;
                char32_t cp = m_text.at(m_pos).unicode();
                ++m_pos;
                if (QChar::isHighSurrogate(cp) && m_pos < m_itemEnd && m_text.at(m_pos).isLowSurrogate())
                    cp = QChar::surrogateToUcs4(char16_t(cp), m_text.at(m_pos++).unicode());
                if (isHan(cp)) {
                    block.kind = BlockKind::Character;
                    block.start = Cursor {start, m_itemEnd, 0};
                    block.end = m_pos;
                    block.codePoint = cp;
                    return true;
                }
            }
            m_itemEnd = -1;
        }
    }

private:
    const QString &m_text;
    qsizetype m_pos;
    qsizetype m_itemEnd;
};

Sheet::Sheet(QString bankText, const Options &options)
    : m_text(std::move(bankText)), m_options(normalized(options)), m_geometry(pageGeometry(m_options)),
      m_kaiFont(faceFont(QStringLiteral("楷体"))), m_pinyinFont(faceFont(QStringLiteral("宋体")))
{
    m_empty = !hasPrintableItems(m_text);
    if (m_empty) {
        m_done = true;
        return;
    }
    m_pages.append(Cursor {});
    m_scanner = std::make_unique<Scanner>(m_text, Cursor {});
    const double x = QFontMetricsF(m_pinyinFont).xHeight();
    if (x > 0)
        m_pinyinXHeight = x / kTextPixels;
}

Sheet::~Sheet() = default;

bool Sheet::hasPrintableItems(const QString &bankText)
{
    Block block;
    return Scanner(bankText, Cursor {}).next(block);
}

double Sheet::paginatedShare() const
{
    if (m_done || m_text.isEmpty())
        return 1;
    return double(m_scanner->pos()) / double(m_text.size());
}

int Sheet::expectedPageCount() const
{
    const int found = pageCount();
    if (m_done)
        return found;
    const double share = paginatedShare();
    if (!(share > 0))
        return found;
    return int(std::clamp(std::ceil(found / share), double(found), double(INT_MAX / 2)));
}

int Sheet::strokeCount(char32_t codePoint) const
{
    const auto cached = m_strokeCounts.constFind(codePoint);
    if (cached != m_strokeCounts.constEnd())
        return *cached;
    const auto g = glyph(codePoint);
    const int count = g ? int(g->outlines.size()) : 0;
    m_strokeCounts.insert(codePoint, count);
    return count;
}

std::shared_ptr<const StrokeGlyph> Sheet::glyph(char32_t codePoint) const
{
    const auto cached = m_glyphs.constFind(codePoint);
    if (cached != m_glyphs.constEnd())
        return *cached;
    // Outlines of a few pages' worth of characters are kept; a bank of
    // thousands of different characters does not keep them all.
    if (m_glyphs.size() > 2000)
        m_glyphs.clear();
    std::shared_ptr<const StrokeGlyph> g;
    if (auto found = StrokeData::bundled().find(codePoint); found && !found->outlines.isEmpty())
        g = std::make_shared<const StrokeGlyph>(std::move(*found));
    m_glyphs.insert(codePoint, g);
    return g;
}

int Sheet::blockRows(const Block &block) const
{
    if (block.kind == BlockKind::Pinyin)
        return pinyinRows(m_options);
    const int strokes = m_options.strokeOrder ? strokeCount(block.codePoint) : 0;
    return characterCells(strokes, m_options, m_geometry.columns).rows;
}

bool Sheet::paginate(int budgetMs)
{
    if (m_done)
        return true;
    QElapsedTimer clock;
    clock.start();
    const int perPage = m_geometry.rowsPerPage;
    int blocks = 0;
    do {
        Block block;
        if (!m_scanner->next(block)) {
            m_done = true;
            m_scanner.reset();
            break;
        }
        const int rows = blockRows(block);
        if (rows <= perPage) {
            // A block that fits on a page is never split.
            if (m_rowOnPage > 0 && m_rowOnPage + rows > perPage) {
                m_pages.append(block.start);
                m_rowOnPage = 0;
            }
            m_rowOnPage += rows;
        } else {
            for (int r = 0; r < rows;) {
                if (m_rowOnPage == perPage) {
                    Cursor c = block.start;
                    c.row = r;
                    m_pages.append(c);
                    m_rowOnPage = 0;
                }
                const int take = std::min(perPage - m_rowOnPage, rows - r);
                r += take;
                m_rowOnPage += take;
            }
        }
        // The clock is read every few blocks only.
    } while ((++blocks & 63) != 0 || clock.elapsed() < budgetMs);
    return m_done;
}

void Sheet::paintPage(QPainter &p, const QRectF &pageRect, int index) const
{
    if (index < 0 || index >= m_pages.size())
        return;
    const QSizeF paper = m_geometry.paper;
    const double scale = std::min(pageRect.width() / paper.width(), pageRect.height() / paper.height());
    if (!(scale > 0))
        return;

    p.save();
    p.translate(pageRect.center().x() - paper.width() * scale / 2,
                pageRect.center().y() - paper.height() * scale / 2);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRectF(QPointF(0, 0), paper), kPaper);

    if (m_options.heading)
        paintHeading(p);

    // The same placement as paginate(), from this page's first block to the
    // first block that belongs on the next page.
    const int perPage = m_geometry.rowsPerPage;
    const Cursor &from = m_pages.at(index);
    Scanner scanner(m_text, from);
    int pageRow = 0;
    bool first = true;
    Block block;
    while (pageRow < perPage && scanner.next(block)) {
        const int rows = blockRows(block);
        if (!first && rows <= perPage && pageRow + rows > perPage)
            break;
        for (int r = first ? from.row : 0; r < rows && pageRow < perPage; ++r, ++pageRow) {
            if (block.kind == BlockKind::Character)
                paintCharacterRow(p, block, r, pageRow, scale);
            else
                paintPinyinRow(p, block, r, pageRow, scale);
        }
        first = false;
    }

    paintFooter(p, index);
    p.restore();
}

void Sheet::paintHeading(QPainter &p) const
{
    const QRectF &h = m_geometry.heading;
    const double em = 5;
    const QPointF baseline(h.left(), h.bottom() - 2);
    drawText(p, m_pinyinFont, QStringLiteral("姓名：________"), baseline, em, kInk);
    if (m_options.date.isValid()) {
        const QString date = QStringLiteral("%1年%2月%3日")
                                 .arg(m_options.date.year())
                                 .arg(m_options.date.month())
                                 .arg(m_options.date.day());
        drawText(p, m_pinyinFont, date, QPointF(h.right(), baseline.y()), em, kInk, Qt::AlignRight);
    }
}

void Sheet::paintFooter(QPainter &p, int index) const
{
    const QRectF &f = m_geometry.footer;
    const QString text = m_done ? QStringLiteral("第 %1 页 / 共 %2 页").arg(index + 1).arg(m_pages.size())
                                : QStringLiteral("第 %1 页").arg(index + 1);
    drawText(p, m_pinyinFont, text, QPointF(f.center().x(), f.bottom() - 2), 3.5, kNote, Qt::AlignHCenter);
}

void Sheet::paintCharacterRow(QPainter &p, const Block &block, int blockRow, int pageRow, double scale) const
{
    const int columns = m_geometry.columns;
    const int strokes = m_options.strokeOrder ? strokeCount(block.codePoint) : 0;
    const CharacterCells cells = characterCells(strokes, m_options, columns);

    // The grid first, the characters over it.
    p.setBrush(Qt::NoBrush);
    const QPen inner = linePen(kGridInner, kInnerWidth, scale, true);
    p.setPen(inner);
    for (int c = 0; c < columns; ++c) {
        const QRectF r = m_geometry.cellRect(pageRow, c);
        p.drawLine(QLineF(r.left(), r.center().y(), r.right(), r.center().y()));
        p.drawLine(QLineF(r.center().x(), r.top(), r.center().x(), r.bottom()));
    }
    p.setPen(linePen(kGridOuter, kOuterWidth, scale));
    for (int c = 0; c < columns; ++c)
        p.drawRect(m_geometry.cellRect(pageRow, c));

    for (int c = 0; c < columns; ++c) {
        const int k = blockRow * columns + c;
        if (k >= cells.filled())
            break;
        const QRectF r = m_geometry.cellRect(pageRow, c);
        if (k == 0)
            paintCharacter(p, r, block.codePoint, INT_MAX, kInk); // the model
        else if (k <= cells.strokeCells)
            paintCharacter(p, r, block.codePoint, k, kInk); // strokes so far
        else
            paintCharacter(p, r, block.codePoint, 0, kTrace); // to trace
    }
}

void Sheet::paintCharacter(QPainter &p, const QRectF &cell, char32_t codePoint, int blackStrokes,
                           const QColor &ink) const
{
    const double inset = cell.width() * kGlyphInset;
    const QRectF square = cell.adjusted(inset, inset, -inset, -inset);
    const auto g = glyph(codePoint);
    p.save();
    p.setPen(Qt::NoPen);
    if (g) {
        // The viewer's shapes: the data's upward y axis flipped, its top edge
        // on the square's.
        const double s = square.width() / kGridUnits;
        p.translate(square.left(), square.top() + kTopY * s);
        p.scale(s, -s);
        // The strokes still to write first, so that where they cross a
        // written stroke, the written one stays black.
        const qsizetype black = std::min<qsizetype>(blackStrokes, g->outlines.size());
        for (qsizetype i = black; i < g->outlines.size(); ++i)
            p.fillPath(g->outlines.at(i), kTrace);
        for (qsizetype i = 0; i < black; ++i)
            p.fillPath(g->outlines.at(i), kInk);
    } else {
        // No stroke data: the character in the Kai face, on the same box (an
        // ideograph's em box reaches 0.88 of its height above the baseline).
        const double s = square.width() / kTextPixels;
        QPainterPath path;
        path.addText(0, 0, m_kaiFont, QString::fromUcs4(&codePoint, 1));
        p.translate(square.left(), square.top() + square.height() * kTopY / kGridUnits);
        p.scale(s, s);
        p.fillPath(path, blackStrokes > 0 ? ink : kTrace);
    }
    p.restore();
}

void Sheet::paintPinyinRow(QPainter &p, const Block &block, int blockRow, int pageRow, double scale) const
{
    const QRectF row = m_geometry.rowRect(pageRow);
    const PinyinLines lines = pinyinLines(row);
    p.setPen(linePen(kLineOuter, kLineWidth, scale));
    p.drawLine(QLineF(row.left(), lines.y[0], row.right(), lines.y[0]));
    p.drawLine(QLineF(row.left(), lines.y[3], row.right(), lines.y[3]));
    p.setPen(linePen(kLineMiddle, kMiddleLineWidth, scale));
    p.drawLine(QLineF(row.left(), lines.y[1], row.right(), lines.y[1]));
    p.drawLine(QLineF(row.left(), lines.y[2], row.right(), lines.y[2]));
    if (blockRow != 0)
        return;

    const qsizetype length = modPub::shownLength(
        QStringView(m_text).mid(block.start.pos, block.end - block.start.pos), kMaxPinyinChars);
    QString text = deck::displayForm(deck::normalizedForm(m_text.mid(block.start.pos, length)));
    if (length < block.end - block.start.pos)
        text += QStringLiteral("…");
    // Line breaks and tabs of an odd bank are written as spaces.
    for (QChar &c : text)
        if (c.isSpace())
            c = QLatin1Char(' ');

    // The letters' x-height fills the middle band; tone marks rise into the top one.
    const double band = lines.band();
    double em = band / m_pinyinXHeight;
    const double pad = band * 0.6;
    const double gap = band * 1.6;
    const double room = row.width() - 2 * pad;
    double width
        = QFontMetricsF(m_pinyinFont).horizontalAdvance(pinyinglyphs::bodyText(text)) * em / kTextPixels;
    if (width > room) {
        em *= room / width;
        width = room;
    }
    const int copies = pinyinCopies(width, gap, room, m_options);
    const double baseline = lines.y[2];
    double x = row.left() + pad;
    drawText(p, m_pinyinFont, text, QPointF(x, baseline), em, kPinyinInk);
    for (int i = 0; i < copies; ++i) {
        x += width + gap;
        drawText(p, m_pinyinFont, text, QPointF(x, baseline), em, kTrace);
    }
}

int paintPages(Pages &sheet, QPagedPaintDevice &device, const Progress &progress, int first, int last)
{
    while (!sheet.paginate(50))
        if (progress && !progress(0, 0))
            return -1;
    const int total = sheet.pageCount();
    if (total == 0)
        return 0;
    first = std::clamp(first, 1, total);
    last = last <= 0 ? total : std::min(last, total);
    if (first > last)
        return 0;

    QPainter p;
    if (!p.begin(&device))
        return -1;
    const QRectF page(0, 0, device.width(), device.height());
    const int count = last - first + 1;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !device.newPage()) {
            p.end();
            return -1;
        }
        sheet.paintPage(p, page, first - 1 + i);
        if (progress && !progress(i + 1, count)) {
            p.end();
            return -1;
        }
    }
    return p.end() ? count : -1;
}

void setUpPdfWriter(QPdfWriter &writer, const Options &options, const QString &title)
{
    writer.setPageSize(QPageSize(options.paper == Paper::Letter ? QPageSize::Letter : QPageSize::A4));
    writer.setPageOrientation(QPageLayout::Portrait);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(600);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Lorvanta"));
}

namespace {
// Passes the PDF on to the file and remembers whether every byte went in.
class CheckedOutput : public QIODevice
{
public:
    explicit CheckedOutput(QIODevice &out) : m_out(out) { open(QIODevice::WriteOnly); }
    bool failed() const { return m_failed; }
    qint64 written() const { return m_written; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 len) override
    {
        if (m_failed)
            return -1;
        const qint64 n = m_out.write(data, len);
        if (n > 0)
            m_written += n;
        if (n != len) {
            m_failed = true;
            return -1;
        }
        return n;
    }

private:
    QIODevice &m_out;
    qint64 m_written = 0;
    bool m_failed = false;
};
} // namespace

PdfResult writePdf(Pages &sheet, QIODevice &out, const Progress &progress, int first, int last)
{
    CheckedOutput checked(out);
    PdfResult result;
    {
        QPdfWriter writer(&checked);
        setUpPdfWriter(writer, sheet.options(), sheet.title());
        // A file that stopped taking bytes ends the job: the rest would go nowhere.
        result.pages = paintPages(
            sheet, writer,
            [&](int done, int total) { return !checked.failed() && (!progress || progress(done, total)); },
            first, last);
    }
    result.bytes = checked.written();
    result.refused = checked.failed();
    result.complete = result.pages > 0 && !result.refused;
    return result;
}

qint64 estimatePdfBytes(const Pages &sheet, int first, int pages)
{
    // Pages written to measure: a few, as they differ from one another.
    constexpr int kEstimateSamples = 6;
    if (pages <= 0 || sheet.pageCount() == 0)
        return 0;
    first = std::clamp(first, 1, sheet.pageCount());
    const int last = std::clamp(first + pages - 1, first, sheet.pageCount());
    // Pages spread over the range, the last one among them.
    QList<int> samples;
    const int spread = std::min(last - first, kEstimateSamples - 1);
    for (int i = 0; i <= spread; ++i) {
        const int page = spread == 0 ? first : first + int(qint64(last - first) * i / spread);
        if (samples.isEmpty() || samples.last() != page)
            samples << page;
    }
    // A page's content goes out when the next page begins, so the size after
    // each newPage() tells what one page took; the last one carries the end
    // of the file.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QList<qint64> sizes;
    {
        QPdfWriter writer(&buffer);
        setUpPdfWriter(writer, sheet.options(), sheet.title());
        QPainter p(&writer);
        const QRectF page(0, 0, writer.width(), writer.height());
        qint64 before = 0;
        for (qsizetype i = 0; i < samples.size(); ++i) {
            if (i > 0) {
                writer.newPage();
                sizes << buffer.size() - before;
                before = buffer.size();
            }
            sheet.paintPage(p, page, samples.at(i) - 1);
        }
        p.end();
        sizes << buffer.size() - before;
    }
    if (sizes.size() == 1)
        return sizes.first() * pages;
    // The last page of a range is often a short one: it counts once, the
    // others stand for the pages before it.
    const double full = std::accumulate(sizes.begin(), sizes.end() - 1, 0.0) / double(sizes.size() - 1);
    return qint64(std::ceil(full * (pages - 1))) + sizes.last();
}
} // namespace sheet
