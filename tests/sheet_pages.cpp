// The copybook as printed: the editor's presets rendered to PDF, counted with
// pdfinfo and rasterised with pdftoppm, then checked by pixels: grid and
// pinyin lines where the page geometry puts them, the stroke order of 天 in
// black, tracing copies in light grey, characters without stroke data.
//
// Set LORVANTA_SHEET_KEEP to a folder to keep the PDFs there.
#include "core/bankfile.h"
#include "core/strokedata.h"
#include "resources/presets.h"
#include "sheet/dictationpaper.h"
#include "sheet/sheet.h"
#include "tests/support/testsupport.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>

#include <cmath>

using namespace sheet;

namespace {
constexpr int kDpi = 200;

int px(double mm) { return int(std::lround(mm * kDpi / 25.4)); }

bool isRed(QRgb c) { return qRed(c) > 150 && qRed(c) - qGreen(c) > 40; }

bool isNeutral(QRgb c) { return std::abs(qRed(c) - qGreen(c)) < 14 && std::abs(qGreen(c) - qBlue(c)) < 14; }

bool isBlack(QRgb c) { return isNeutral(c) && qGreen(c) < 100; }

bool isLightGrey(QRgb c) { return isNeutral(c) && qGreen(c) >= 150 && qGreen(c) < 240; }

struct Ink {
    int black = 0;
    int grey = 0; // light grey
    int darkest = 255; // of the neutral pixels
};

Ink inkIn(const QImage &page, const QRect &area)
{
    Ink ink;
    const QRect r = area.intersected(page.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb c = page.pixel(x, y);
            if (!isNeutral(c) || qGreen(c) >= 240)
                continue;
            ink.darkest = std::min(ink.darkest, qGreen(c));
            if (isBlack(c))
                ++ink.black;
            else if (isLightGrey(c))
                ++ink.grey;
        }
    return ink;
}

// A cell's inside, without its grid lines.
QRect inside(const QRectF &cellMm)
{
    return QRect(QPoint(px(cellMm.left()) + 3, px(cellMm.top()) + 3),
                 QPoint(px(cellMm.right()) - 3, px(cellMm.bottom()) - 3));
}

// Share of red pixels along a horizontal (or vertical) line, allowing the
// line to lie a pixel or two off.
double redAlongRow(const QImage &page, double yMm, double x0Mm, double x1Mm)
{
    const int y = px(yMm);
    int red = 0, all = 0;
    for (int x = px(x0Mm); x <= px(x1Mm); ++x, ++all)
        for (int dy = -2; dy <= 2; ++dy)
            if (isRed(page.pixel(x, std::clamp(y + dy, 0, page.height() - 1)))) {
                ++red;
                break;
            }
    return all ? double(red) / all : 0;
}

double redAlongColumn(const QImage &page, double xMm, double y0Mm, double y1Mm)
{
    const int x = px(xMm);
    int red = 0, all = 0;
    for (int y = px(y0Mm); y <= px(y1Mm); ++y, ++all)
        for (int dx = -2; dx <= 2; ++dx)
            if (isRed(page.pixel(std::clamp(x + dx, 0, page.width() - 1), y))) {
                ++red;
                break;
            }
    return all ? double(red) / all : 0;
}

// Mean green of the reddest pixel across a horizontal line: lower is stronger.
double lineStrength(const QImage &page, double yMm, double x0Mm, double x1Mm)
{
    const int y = px(yMm);
    double sum = 0;
    int n = 0;
    for (int x = px(x0Mm); x <= px(x1Mm); ++x) {
        int best = 255;
        for (int dy = -3; dy <= 3; ++dy) {
            const QRgb c = page.pixel(x, std::clamp(y + dy, 0, page.height() - 1));
            if (isRed(c))
                best = std::min(best, qGreen(c));
        }
        if (best < 255) {
            sum += best;
            ++n;
        }
    }
    return n ? sum / n : 255;
}
} // namespace

// A device with room for `capacity` bytes: past that it takes a write only
// in part, then nothing, as write(2) does on a full disk.
class LimitedDevice : public QIODevice
{
public:
    explicit LimitedDevice(qint64 capacity) : m_capacity(capacity) { open(QIODevice::WriteOnly); }
    qint64 taken() const { return m_taken; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 len) override
    {
        const qint64 n = std::min(len, m_capacity - m_taken);
        m_taken += n;
        return n > 0 ? n : -1;
    }

private:
    qint64 m_capacity;
    qint64 m_taken = 0;
};

class SheetPages : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_folder;
    bool m_tools = false;

    QString writePdf(const QString &name, const QString &bank, const Options &o, int *pages = nullptr)
    {
        const QString path = m_folder + QLatin1Char('/') + name + QStringLiteral(".pdf");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        int painted = 0;
        {
            QPdfWriter writer(&file);
            setUpPdfWriter(writer, o);
            Sheet s(bank, o);
            painted = paintPages(s, writer);
        }
        if (pages)
            *pages = painted;
        return path;
    }

    int pdfPages(const QString &path)
    {
        QProcess p;
        p.start(QStringLiteral("pdfinfo"), {path});
        p.waitForFinished(30000);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(out);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }

    QImage raster(const QString &pdf, int page)
    {
        const QString prefix = pdf + QStringLiteral("-p") + QString::number(page);
        QProcess p;
        p.start(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QString::number(kDpi), QStringLiteral("-f"), QString::number(page),
                 QStringLiteral("-l"), QString::number(page), QStringLiteral("-png"),
                 QStringLiteral("-singlefile"), pdf, prefix});
        p.waitForFinished(60000);
        return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
    }

private slots:
    void initTestCase()
    {
        m_folder = qEnvironmentVariableIsSet("LORVANTA_SHEET_KEEP")
            ? qEnvironmentVariable("LORVANTA_SHEET_KEEP")
            : m_dir.path();
        QDir().mkpath(m_folder);
        m_tools = !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty()
            && !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
        QVERIFY(StrokeData::bundled().isValid());
    }

    void init()
    {
        if (!m_tools)
            QSKIP("pdftoppm and pdfinfo (poppler-utils) are not installed");
    }

    void presetsBecomePdfsOfTheirPageCount_data()
    {
        QTest::addColumn<QString>("bank");
        QTest::addColumn<int>("pages");
        // Medium cells on A4: 14 rows a page, one row per item.
        QTest::newRow("first-grade") << resources::firstGradeCharacters() << 8;
        QTest::newRow("simple-finals") << resources::simpleFinals() << 1;
        QTest::newRow("initials") << resources::initials() << 2;
        QTest::newRow("compound-finals") << resources::compoundFinals() << 2;
        QTest::newRow("whole-read") << resources::wholeReadSyllables() << 2;
        QTest::newRow("toned-vowels") << modPub::defaultBank() << 2;
    }

    void presetsBecomePdfsOfTheirPageCount()
    {
        QFETCH(QString, bank);
        QFETCH(int, pages);
        int painted = 0;
        const QString pdf = writePdf(QString::fromLatin1(QTest::currentDataTag()), bank, Options(), &painted);
        QCOMPARE(painted, pages);
        QCOMPARE(pdfPages(pdf), pages);
        // Every page has its grid and its page number; the last page ends
        // where the items end.
        const PageGeometry g = pageGeometry(Options());
        const QImage last = raster(pdf, pages);
        QVERIFY(std::abs(last.width() - px(210)) <= 1 && std::abs(last.height() - px(297)) <= 1);
        QVERIFY(inkIn(last,
                      QRect(QPoint(px(g.footer.left()), px(g.footer.top())),
                            QPoint(px(g.footer.right()), px(g.footer.bottom()))))
                    .darkest
                < 150);
        const int items = bank.split(QLatin1Char(' ')).size();
        const int rowsOnLast = items - (pages - 1) * g.rowsPerPage;
        QVERIFY(redAlongRow(last, g.rowRect(rowsOnLast - 1).top(), g.grid.left(), g.grid.right()) > 0.5);
        if (rowsOnLast < g.rowsPerPage)
            QCOMPARE(
                redAlongRow(last, g.rowRect(rowsOnLast).top() + g.cell / 2, g.grid.left(), g.grid.right()),
                0.0);
    }

    void gridLinesAreWhereTheOptionsPutThem_data()
    {
        QTest::addColumn<int>("paper");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("heading");
        QTest::newRow("A4 small") << int(Paper::A4) << int(CellSize::Small) << true;
        QTest::newRow("A4 medium") << int(Paper::A4) << int(CellSize::Medium) << true;
        QTest::newRow("A4 large, no heading") << int(Paper::A4) << int(CellSize::Large) << false;
        QTest::newRow("Letter medium") << int(Paper::Letter) << int(CellSize::Medium) << true;
    }

    void gridLinesAreWhereTheOptionsPutThem()
    {
        QFETCH(int, paper);
        QFETCH(int, size);
        QFETCH(bool, heading);
        Options o;
        o.paper = Paper(paper);
        o.cellSize = CellSize(size);
        o.heading = heading;
        o.date = QDate(2024, 9, 2);
        // No copies and no stroke order: every cell but the first is empty.
        o.tracingCopies = 0;
        o.strokeOrder = false;
        const QString pdf = writePdf(QStringLiteral("grid-%1-%2-%3").arg(paper).arg(size).arg(heading),
                                     resources::firstGradeCharacters(), o);
        const QImage page = raster(pdf, 1);
        const PageGeometry g = pageGeometry(o);
        QVERIFY(std::abs(page.width() - px(g.paper.width())) <= 1);
        QVERIFY(std::abs(page.height() - px(g.paper.height())) <= 1);

        for (int r = 0; r < g.rowsPerPage; ++r) {
            const QRectF row = g.rowRect(r);
            // Solid outer squares: the row's top and bottom, every column edge.
            QVERIFY2(redAlongRow(page, row.top(), row.left(), row.right()) > 0.97,
                     qPrintable(QString::number(r)));
            QVERIFY(redAlongRow(page, row.bottom(), row.left(), row.right()) > 0.97);
            for (int c = 0; c <= g.columns; ++c)
                QVERIFY2(redAlongColumn(page, row.left() + c * g.cell, row.top(), row.bottom()) > 0.97,
                         qPrintable(QStringLiteral("row %1 column %2").arg(r).arg(c)));
            // Nothing between the rows.
            if (r + 1 < g.rowsPerPage)
                QCOMPARE(redAlongRow(page, row.bottom() + g.rowGap / 2, row.left(), row.right()), 0.0);
            // Dashed middle lines in the empty cells: part red, part gap.
            for (int c = 1; c < g.columns; ++c) {
                const QRectF cell = g.cellRect(r, c);
                const double across = redAlongRow(page, cell.center().y(), cell.left() + 1, cell.right() - 1);
                const double down
                    = redAlongColumn(page, cell.center().x(), cell.top() + 1, cell.bottom() - 1);
                QVERIFY2(across > 0.4 && across < 0.9, qPrintable(QString::number(across)));
                QVERIFY2(down > 0.4 && down < 0.9, qPrintable(QString::number(down)));
            }
        }
        // No row below the last, nothing right of the last column.
        const QRectF below = g.rowRect(g.rowsPerPage);
        QVERIFY(below.top() < g.footer.bottom());
        QCOMPARE(redAlongRow(page, below.top() + 0.3, g.grid.left(), g.grid.right()), 0.0);
        QCOMPARE(redAlongColumn(page, g.grid.right() + g.cell / 2, g.grid.top(), g.grid.bottom()), 0.0);
        // The heading holds the name field and the date, or the page starts with the grid.
        const QRect top(QPoint(px(marginSideMm), px(marginTopMm)),
                        QPoint(px(g.paper.width() - marginSideMm), px(marginTopMm + headingHeightMm)));
        if (heading)
            QVERIFY(inkIn(page, top).black > 100);
        else
            QCOMPARE(g.grid.top(), marginTopMm);
    }

    void strokeOrderCellsOfTianShowOneToFourStrokesInBlack()
    {
        const auto tian = StrokeData::bundled().find(U'天');
        QVERIFY(tian);
        QCOMPARE(tian->outlines.size(), 4);
        // Each stroke's own share of the character, from the data.
        QList<double> area;
        double all = 0;
        for (const QPainterPath &outline : tian->outlines) {
            QImage img(256, 256, QImage::Format_Grayscale8);
            img.fill(0);
            QPainter p(&img);
            p.scale(0.25, -0.25);
            p.translate(0, -900);
            p.fillPath(outline, Qt::white);
            p.end();
            double n = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    n += img.pixelColor(x, y).valueF();
            area << n;
            all += n;
        }

        const Options o; // stroke order on, copies fill the row
        const QImage page = raster(writePdf(QStringLiteral("tian"), QStringLiteral("天"), o), 1);
        const PageGeometry g = pageGeometry(o);
        const Ink model = inkIn(page, inside(g.cellRect(0, 0)));
        QVERIFY(model.black > 1000);
        QVERIFY(model.darkest < 40);
        QVERIFY2(model.grey < model.black / 5,
                 qPrintable(QStringLiteral("%1 %2").arg(model.grey).arg(model.black)));

        double written = 0;
        int before = 0;
        for (int k = 1; k <= 4; ++k) {
            written += area.at(k - 1);
            const Ink cell = inkIn(page, inside(g.cellRect(0, k)));
            const double share = double(cell.black) / model.black;
            QVERIFY2(
                std::abs(share - written / all) < 0.08,
                qPrintable(
                    QStringLiteral("cell %1: %2 black, expected %3").arg(k).arg(share).arg(written / all)));
            QVERIFY(cell.black > before);
            before = cell.black;
            // The strokes not yet written are there in grey (beyond the grey
            // of the black strokes' smoothed edges, which the model has too).
            const double rest = double(cell.grey - model.grey) / model.black;
            QVERIFY2(
                std::abs(rest - (1 - written / all)) < 0.1,
                qPrintable(
                    QStringLiteral("cell %1: %2 grey, expected %3").arg(k).arg(rest).arg(1 - written / all)));
        }
        // Then light grey copies to the end of the row, and nothing after.
        for (int c = 5; c < g.columns; ++c) {
            const Ink copy = inkIn(page, inside(g.cellRect(0, c)));
            QVERIFY2(copy.grey > model.black * 8 / 10, qPrintable(QString::number(c)));
            QVERIFY(copy.black == 0);
            QVERIFY(copy.darkest >= 150);
        }
        QCOMPARE(inkIn(page, inside(g.cellRect(1, 0))).grey, 0);
    }

    void aCharacterWithoutStrokeDataGetsModelAndCopies()
    {
        // The first character of the basic range that the data lacks but the Kai face has.
        QFont kai(QStringLiteral("AR PL UKai CN"));
        QFontMetrics metrics(kai);
        char32_t missing = 0;
        for (char32_t cp = 0x4E00; cp <= 0x9FA5 && !missing; ++cp)
            if (!StrokeData::bundled().find(cp) && metrics.inFontUcs4(cp))
                missing = cp;
        if (!missing)
            QSKIP("every character of the Kai face has stroke data");
        const Options o;
        const QImage page = raster(writePdf(QStringLiteral("nodata"), QString::fromUcs4(&missing, 1), o), 1);
        const PageGeometry g = pageGeometry(o);
        const Ink model = inkIn(page, inside(g.cellRect(0, 0)));
        QVERIFY2(model.black > 500, qPrintable(QString::number(model.black)));
        // No stroke cells: light grey copies from the second cell to the end of the row.
        for (int c = 1; c < g.columns; ++c) {
            const Ink copy = inkIn(page, inside(g.cellRect(0, c)));
            QVERIFY2(copy.grey > model.black / 2, qPrintable(QString::number(c)));
            QCOMPARE(copy.black, 0);
        }
        // The same shapes, the same place: the copy's ink is the model's.
        const Ink copy = inkIn(page, inside(g.cellRect(0, 1)));
        QVERIFY(std::abs(copy.grey - model.black) < model.black / 5);
    }

    void pinyinRowsHaveFourLinesADarkModelAndGreyCopies_data()
    {
        QTest::addColumn<QString>("bank");
        QTest::addColumn<int>("size");
        QTest::newRow("simple-finals") << resources::simpleFinals() << int(CellSize::Medium);
        QTest::newRow("initials") << resources::initials() << int(CellSize::Small);
        QTest::newRow("compound-finals") << resources::compoundFinals() << int(CellSize::Large);
        QTest::newRow("whole-read") << resources::wholeReadSyllables() << int(CellSize::Medium);
        QTest::newRow("toned-vowels") << modPub::defaultBank() << int(CellSize::Medium);
    }

    void pinyinRowsHaveFourLinesADarkModelAndGreyCopies()
    {
        QFETCH(QString, bank);
        QFETCH(int, size);
        Options o;
        o.cellSize = CellSize(size);
        const QImage page = raster(
            writePdf(QStringLiteral("pinyin-") + QString::fromLatin1(QTest::currentDataTag()), bank, o), 1);
        const PageGeometry g = pageGeometry(o);
        const int rows = std::min(int(bank.split(QLatin1Char(' ')).size()), g.rowsPerPage);
        for (int r = 0; r < rows; ++r) {
            const QRectF row = g.rowRect(r);
            const PinyinLines lines = pinyinLines(row);
            const QString what = QStringLiteral("row %1").arg(r);
            for (double y : lines.y)
                QVERIFY2(redAlongRow(page, y, row.left(), row.right()) > 0.6, qPrintable(what));
            // Between the lines, and between the rows, no line.
            for (int i = 0; i < 3; ++i)
                QVERIFY(redAlongRow(page, (lines.y[i] + lines.y[i + 1]) / 2, row.left(), row.right()) < 0.05);
            QCOMPARE(redAlongRow(page, row.bottom() + g.rowGap / 2, row.left(), row.right()), 0.0);
            // The middle band's lines are the stronger ones.
            const double outer = std::max(lineStrength(page, lines.y[0], row.left(), row.right()),
                                          lineStrength(page, lines.y[3], row.left(), row.right()));
            const double middle = std::min(lineStrength(page, lines.y[1], row.left(), row.right()),
                                           lineStrength(page, lines.y[2], row.left(), row.right()));
            QVERIFY2(middle + 20 < outer, qPrintable(what));
            // The model in dark grey at the start of the row ...
            const double band = lines.band();
            const QRect model(QPoint(px(row.left()), px(row.top()) + 2),
                              QPoint(px(row.left() + band * 2), px(row.bottom()) - 2));
            const Ink m = inkIn(page, model);
            QVERIFY2(m.darkest >= 40 && m.darkest < 110, qPrintable(what + QString::number(m.darkest)));
            // ... and only light grey copies in the second half of the row.
            const QRect copies(QPoint(px(row.center().x()), px(row.top()) + 2),
                               QPoint(px(row.right()) - 2, px(row.bottom()) - 2));
            const Ink c = inkIn(page, copies);
            QVERIFY2(c.grey > 50, qPrintable(what));
            QVERIFY2(c.darkest >= 150, qPrintable(what + QString::number(c.darkest)));
        }
    }

    void toneMarksRiseAboveTheMiddleBand()
    {
        // "ā" has its mark in the top band, "ɑ" nothing there; the letters
        // themselves sit in the middle band on its lower line.
        const Options o;
        const QImage page = raster(writePdf(QStringLiteral("tones"), QStringLiteral("ā ɑ"), o), 1);
        const PageGeometry g = pageGeometry(o);
        auto topBand = [&](int r) {
            const PinyinLines l = pinyinLines(g.rowRect(r));
            return inkIn(page,
                         QRect(QPoint(px(g.grid.left()), px(l.y[0]) + 3),
                               QPoint(px(g.grid.left() + l.band() * 2.5), px(l.y[1]) - 3)));
        };
        auto middleBand = [&](int r) {
            const PinyinLines l = pinyinLines(g.rowRect(r));
            return inkIn(page,
                         QRect(QPoint(px(g.grid.left()), px(l.y[1]) + 3),
                               QPoint(px(g.grid.left() + l.band() * 2.5), px(l.y[2]) - 3)));
        };
        auto bottomBand = [&](int r) {
            const PinyinLines l = pinyinLines(g.rowRect(r));
            return inkIn(page,
                         QRect(QPoint(px(g.grid.left()), px(l.y[2]) + 3),
                               QPoint(px(g.grid.left() + l.band() * 2.5), px(l.y[3]) - 3)));
        };
        QVERIFY(topBand(0).darkest < 110);
        QCOMPARE(topBand(1).darkest, 255);
        QVERIFY(middleBand(0).darkest < 110);
        QVERIFY(middleBand(1).darkest < 110);
        QCOMPARE(bottomBand(1).darkest, 255);
    }
    // What a save is told before it starts is about the size it writes; a
    // device that takes a write only in part leaves the PDF incomplete.
    void dictationPaperHasTheRunsBoxesInItsOrder()
    {
        // 天, a pinyin line, a two-character word, and more than one page of them.
        QStringList items {QStringLiteral("天"), QStringLiteral("línɡ"), QStringLiteral("天地")};
        for (int i = 0; i < 120; ++i)
            items << QStringLiteral("人");
        DictationPaper paper(items, {QStringLiteral("今天")}, {QStringLiteral("tiān")}, QDate(2026, 12, 9));
        const QList<DictationPaper::Block> &b = paper.blocks();
        QCOMPARE(b.size(), items.size());
        QCOMPARE(b.at(0).cells.size(), 1);
        QVERIFY(b.at(1).cells.isEmpty() && !b.at(1).lines.isNull());
        QCOMPARE(b.at(2).cells.size(), 2);
        QVERIFY(b.at(0).cells.first().right() <= b.at(1).lines.left()
                && b.at(1).lines.right() <= b.at(2).number.left());
        QCOMPARE(paper.writingPages(), 2);
        QCOMPARE(paper.pageCount(), 4); // and two pages of answers
        QCOMPARE(b.last().page, 1);

        const QString pdf = m_folder + QStringLiteral("/dictation-paper.pdf");
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(sheet::writePdf(paper, file).complete);
        file.close();
        QCOMPARE(pdfPages(pdf), 4);
        const QImage page = raster(pdf, 1);
        // The 田字格's solid sides, and the pinyin box's four lines across.
        const QRectF cell = b.at(0).cells.first();
        QVERIFY(redAlongColumn(page, cell.left(), cell.top(), cell.bottom()) > 0.97);
        QVERIFY(redAlongRow(page, cell.top(), cell.left(), cell.right()) > 0.97);
        const QRectF box = b.at(1).lines;
        const PinyinLines lines = pinyinLines(box);
        for (double y : lines.y)
            QVERIFY2(redAlongRow(page, y, box.left() + 1, box.right() - 1) > 0.9,
                     qPrintable(QString::number(y)));
        QCOMPARE(redAlongColumn(page, box.center().x(), box.top() - 3, box.top() - 1), 0.0);
    }

    void theEstimateIsAboutTheSizeAndAShortWriteIsNoSuccess()
    {
        const Options o;
        Sheet s(resources::firstGradeCharacters(), o);
        while (!s.paginate(1000)) { }
        QBuffer all;
        all.open(QIODevice::WriteOnly);
        const PdfResult whole = sheet::writePdf(s, all);
        QCOMPARE(whole.pages, 8);
        QVERIFY(whole.complete && !whole.refused);
        QCOMPARE(whole.bytes, all.size());
        const qint64 estimate = estimatePdfBytes(s, 1, 8);
        QVERIFY2(estimate > all.size() * 3 / 4 && estimate < all.size() * 4 / 3,
                 qPrintable(QStringLiteral("%1 estimated, %2 written").arg(estimate).arg(all.size())));
        // Pages 2 to 3 alone are estimated as two pages.
        QVERIFY(estimatePdfBytes(s, 2, 2) < estimate / 2);

        LimitedDevice half(all.size() / 2);
        const PdfResult cut = sheet::writePdf(s, half);
        QVERIFY(cut.refused);
        QVERIFY(!cut.complete);
        QCOMPARE(cut.bytes, half.taken());
    }
};

LORVANTA_TEST_MAIN(SheetPages, QGuiApplication)
#include "sheet_pages.moc"
