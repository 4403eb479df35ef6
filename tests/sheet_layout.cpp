// The copybook's arithmetic and pagination, without rasterising: page
// geometry for every paper and cell size, the cells of a character, which
// items make blocks, keeping blocks whole, large banks, stored options.
#include "core/settings.h"
#include "resources/presets.h"
#include "sheet/sheet.h"
#include "tests/support/testsupport.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSettings>

using namespace sheet;

namespace {
Options optionsWith(Paper paper, CellSize size, bool heading)
{
    Options o;
    o.paper = paper;
    o.cellSize = size;
    o.heading = heading;
    return o;
}

int pagesOf(const QString &bank, const Options &o)
{
    Sheet s(bank, o);
    while (!s.paginate(1000)) { }
    return s.pageCount();
}

QString repeated(const QString &item, int times)
{
    QStringList l;
    for (int i = 0; i < times; ++i)
        l << item;
    return l.join(QLatin1Char(' '));
}
} // namespace

class SheetLayout : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QSettings s(QStringLiteral("LORVANTA"), QStringLiteral("LORVANTA"));
        s.clear();
    }

    void everyPaperAndSizeFitsItsGridBetweenHeadingAndFooter()
    {
        for (Paper paper : {Paper::A4, Paper::Letter})
            for (CellSize size : {CellSize::Small, CellSize::Medium, CellSize::Large})
                for (bool heading : {true, false}) {
                    const PageGeometry g = pageGeometry(optionsWith(paper, size, heading));
                    const QByteArray what
                        = QByteArray::number(int(paper)) + "/" + QByteArray::number(int(size));
                    QVERIFY2(g.grid.left() >= marginSideMm - 1e-9, what);
                    QVERIFY2(g.grid.right() <= g.paper.width() - marginSideMm + 1e-9, what);
                    QVERIFY2(g.rowRect(g.rowsPerPage - 1).bottom() <= g.footer.top() + 1e-9, what);
                    // One more row would not fit, nor one more column.
                    QVERIFY2(g.rowRect(g.rowsPerPage).bottom() > g.footer.top(), what);
                    QVERIFY2((g.columns + 1) * g.cell > g.paper.width() - 2 * marginSideMm, what);
                    QVERIFY2(!heading || g.heading.bottom() <= g.grid.top(), what);
                    QCOMPARE(g.cellRect(2, 3).size(), QSizeF(g.cell, g.cell));
                    QCOMPARE(g.cellRect(2, 3).left(), g.grid.left() + 3 * g.cell);
                    QCOMPARE(g.rowRect(2).top(), g.grid.top() + 2 * g.cell * (1 + rowGapShare));
                    // Centred across the paper.
                    QVERIFY(qAbs(g.grid.center().x() - g.paper.width() / 2) < 1e-9);
                }
        // The medium A4 page: 12 cells of 15 mm across, 14 rows with the heading, 15 without.
        const PageGeometry a4 = pageGeometry(optionsWith(Paper::A4, CellSize::Medium, true));
        QCOMPARE(a4.columns, 12);
        QCOMPARE(a4.rowsPerPage, 14);
        QCOMPARE(pageGeometry(optionsWith(Paper::A4, CellSize::Medium, false)).rowsPerPage, 15);
        QCOMPARE(pageGeometry(optionsWith(Paper::Letter, CellSize::Medium, true)).rowsPerPage, 13);
    }

    void aCharacterTakesModelStrokesAndCopiesInWholeRows()
    {
        Options o; // stroke order on, copies fill the row, one row
        // 天: model, 4 strokes, 7 copies to the end of the row.
        CharacterCells c = characterCells(4, o, 12);
        QCOMPARE(c.strokeCells, 4);
        QCOMPARE(c.tracing, 7);
        QCOMPARE(c.rows, 1);
        // Model and strokes fill a row exactly: a whole row of copies follows.
        c = characterCells(11, o, 12);
        QCOMPARE(c.tracing, 12);
        QCOMPARE(c.rows, 2);
        // More strokes than a row holds continue on the next row.
        c = characterCells(20, o, 12);
        QCOMPARE(c.strokeCells, 20);
        QCOMPARE(c.tracing, 3);
        QCOMPARE(c.rows, 2);
        // No stroke data: model and copies.
        c = characterCells(0, o, 12);
        QCOMPARE(c.filled(), 12);
        QCOMPARE(c.rows, 1);
        // A number of copies flows on to the next row when it must.
        o.tracingCopies = 3;
        c = characterCells(10, o, 12);
        QCOMPARE(c.filled(), 14);
        QCOMPARE(c.rows, 2);
        o.tracingCopies = 0;
        o.strokeOrder = false;
        c = characterCells(10, o, 12);
        QCOMPARE(c.strokeCells, 0);
        QCOMPARE(c.filled(), 1);
        QCOMPARE(c.rows, 1);
        // Rows per character is a minimum.
        o.rowsPerItem = 3;
        QCOMPARE(characterCells(10, o, 12).rows, 3);
        QCOMPARE(pinyinRows(o), 3);
    }

    void pinyinLinesAndCopies()
    {
        const PinyinLines l = pinyinLines(QRectF(10, 30, 180, 15));
        QCOMPARE(l.y[0], 30.0);
        QCOMPARE(l.y[1], 35.0);
        QCOMPARE(l.y[2], 40.0);
        QCOMPARE(l.y[3], 45.0);
        Options o;
        // 20 wide with 8 between: model at 0, copies at 28, 56, ... up to 160 within 180.
        QCOMPARE(pinyinCopies(20, 8, 180, o), 5);
        o.tracingCopies = 2;
        QCOMPARE(pinyinCopies(20, 8, 180, o), 2);
        o.tracingCopies = 50;
        QCOMPARE(pinyinCopies(20, 8, 180, o), 5);
        QCOMPARE(pinyinCopies(200, 8, 180, o), 0);
        QCOMPARE(pinyinCopies(0, 8, 180, o), 0);
    }

    void blocksComeFromCharactersAndPinyinItemsWithLetters()
    {
        QVERIFY(!Sheet::hasPrintableItems(QString()));
        QVERIFY(!Sheet::hasPrintableItems(QStringLiteral("   ")));
        QVERIFY(!Sheet::hasPrintableItems(QStringLiteral(" - -- ")));
        QVERIFY(!Sheet::hasPrintableItems(QStringLiteral("\r\n")));
        QVERIFY(Sheet::hasPrintableItems(QStringLiteral("  ɑ")));
        QVERIFY(Sheet::hasPrintableItems(QStringLiteral("1")));
        QVERIFY(Sheet::hasPrintableItems(QStringLiteral("a字")));

        Sheet empty(QStringLiteral("  "), Options());
        QVERIFY(empty.isEmpty());
        QVERIFY(empty.isPaginated());
        QCOMPARE(empty.pageCount(), 0);

        // Three rows per block and 14 rows a page: four blocks a page. The
        // blocks here: 天, 地, 字 (the a is no character), ɑ, b; the lone
        // hyphen and the empty items between doubled spaces make none.
        Options o;
        o.rowsPerItem = 3;
        QCOMPARE(pagesOf(QStringLiteral("天地 a字 - ɑ  b"), o), 2);
        QCOMPARE(pagesOf(QStringLiteral("天地 a字 - ɑ  "), o), 1);
        // A character outside the basic range, a surrogate pair, is one block.
        QCOMPARE(pagesOf(QStringLiteral("天𠀀地 ɑ"), o), 1);
        QCOMPARE(pagesOf(QStringLiteral("天𠀀地 ɑ ɑ"), o), 2);
    }

    void blocksAreNeverSplitAcrossPages()
    {
        Options o;
        o.rowsPerItem = 3;
        // 14 rows: four blocks of three a page, two rows left empty.
        QCOMPARE(pagesOf(repeated(QStringLiteral("ɑ"), 4), o), 1);
        QCOMPARE(pagesOf(repeated(QStringLiteral("ɑ"), 5), o), 2);
        QCOMPARE(pagesOf(repeated(QStringLiteral("ɑ"), 40), o), 10);
        o.rowsPerItem = 1;
        QCOMPARE(pagesOf(repeated(QStringLiteral("ɑ"), 14), o), 1);
        QCOMPARE(pagesOf(repeated(QStringLiteral("ɑ"), 15), o), 2);
        // Two rows each, characters and pinyin alike: seven blocks a page.
        o.tracingCopies = 0;
        o.strokeOrder = false;
        o.rowsPerItem = 2;
        QCOMPARE(pagesOf(repeated(QStringLiteral("天 ɑ"), 3) + QStringLiteral(" 地"), o), 1);
        QCOMPARE(pagesOf(repeated(QStringLiteral("天 ɑ"), 4), o), 2);
    }

    void firstGradeListTakesEightMediumPages()
    {
        // The editor's first-grade list: no character there has more than
        // ten strokes, so each takes one row: 100 rows, 14 to an A4 page.
        const QString list = resources::firstGradeCharacters();
        QCOMPARE(pagesOf(list, Options()), 8);
        QCOMPARE(pagesOf(list, optionsWith(Paper::A4, CellSize::Small, true)), 6);
        QCOMPARE(pagesOf(list, optionsWith(Paper::A4, CellSize::Large, true)), 10);
        QCOMPARE(pagesOf(list, optionsWith(Paper::Letter, CellSize::Medium, true)), 8);
    }

    void aHugeBankShowsItsFirstPageBeforeItIsCounted()
    {
        // 1,000,000 characters in one item and 200,000 pinyin items.
        QString bank = QString(1000 * 1000, QChar(0x5929));
        bank += QLatin1Char(' ') + repeated(QStringLiteral("ɑ"), 200 * 1000);
        Options o;
        Sheet s(bank, o);
        QVERIFY(!s.paginate(1));
        QVERIFY(s.pageCount() >= 1);
        QVERIFY(s.paginatedShare() < 1);
        QImage page(210, 297, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter p(&page);
            s.paintPage(p, QRectF(page.rect()), 0);
        }
        int inked = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                inked += page.pixel(x, y) != qRgb(255, 255, 255);
        QVERIFY(inked > 1000);
        while (!s.paginate(1000)) { }
        // 天 takes one row: 1,000,000 rows and 200,000 more, 14 to a page.
        QCOMPARE(s.pageCount(), (1000 * 1000 + 200 * 1000 + 13) / 14);
        QCOMPARE(s.paginatedShare(), 1.0);
    }

    void optionsAreRememberedAndBadValuesFallBack()
    {
        Options o;
        QCOMPARE(loadOptions(), o); // defaults when nothing is stored
        o.paper = Paper::Letter;
        o.cellSize = CellSize::Large;
        o.rowsPerItem = 3;
        o.tracingCopies = 4;
        o.strokeOrder = false;
        o.heading = false;
        o.onlyShownItem = true;
        saveOptions(o);
        QCOMPARE(loadOptions(), o);
        QCOMPARE(modPub::getSetting(QStringLiteral("sheet"), QStringLiteral("cell")),
                 QStringLiteral("large"));
        o.tracingCopies = fillRow;
        saveOptions(o);
        QCOMPARE(modPub::getSetting(QStringLiteral("sheet"), QStringLiteral("copies")),
                 QStringLiteral("all"));
        QCOMPARE(loadOptions().tracingCopies, fillRow);

        // Damaged values: defaults, or clamped to what a page holds.
        modPub::saveSetting(QStringLiteral("sheet"), QStringLiteral("paper"), QStringLiteral("B5"));
        modPub::saveSetting(QStringLiteral("sheet"), QStringLiteral("cell"), QStringLiteral("huge"));
        modPub::saveSetting(QStringLiteral("sheet"), QStringLiteral("rows"), QStringLiteral("9"));
        modPub::saveSetting(QStringLiteral("sheet"), QStringLiteral("copies"), QStringLiteral("99"));
        modPub::saveSetting(QStringLiteral("sheet"), QStringLiteral("strokes"), QStringLiteral("yes"));
        const Options bad = loadOptions();
        QCOMPARE(bad.paper, Paper::A4);
        QCOMPARE(bad.cellSize, CellSize::Medium);
        QCOMPARE(bad.rowsPerItem, 3);
        QCOMPARE(bad.tracingCopies, 11);
        QCOMPARE(bad.strokeOrder, true);
        modPub::saveSetting(QStringLiteral("sheet"), QStringLiteral("rows"), QStringLiteral("-2"));
        modPub::saveSetting(QStringLiteral("sheet"), QStringLiteral("copies"), QStringLiteral("zwei"));
        QCOMPARE(loadOptions().rowsPerItem, 1);
        QCOMPARE(loadOptions().tracingCopies, fillRow);
        // Too large for a number: the default, not a wrapped value.
        modPub::saveSetting(QStringLiteral("sheet"), QStringLiteral("rows"), QStringLiteral("4294967298"));
        QCOMPARE(loadOptions().rowsPerItem, 1);
        // The practice window's own settings are not touched.
        QVERIFY(modPub::getSetting(QStringLiteral("main"), QStringLiteral("jiange")).isEmpty());
    }
};

LORVANTA_TEST_MAIN(SheetLayout, QGuiApplication)
#include "sheet_layout.moc"
