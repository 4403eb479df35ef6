#include "sheet/sheetlayout.h"

#include <algorithm>
#include <cmath>

namespace sheet {

bool operator==(const Options &a, const Options &b)
{
    return a.paper == b.paper && a.cellSize == b.cellSize && a.rowsPerItem == b.rowsPerItem
        && a.tracingCopies == b.tracingCopies && a.strokeOrder == b.strokeOrder && a.heading == b.heading
        && a.date == b.date && a.onlyShownItem == b.onlyShownItem;
}

QSizeF paperSize(Paper paper) { return paper == Paper::Letter ? QSizeF(215.9, 279.4) : QSizeF(210, 297); }

double cellSideMm(CellSize size)
{
    switch (size) {
    case CellSize::Small: return 12;
    case CellSize::Large: return 18;
    case CellSize::Medium: break;
    }
    return 15;
}

QRectF PageGeometry::rowRect(int row) const
{
    return QRectF(grid.left(), grid.top() + row * (cell + rowGap), grid.width(), cell);
}

QRectF PageGeometry::cellRect(int row, int column) const
{
    return QRectF(grid.left() + column * cell, grid.top() + row * (cell + rowGap), cell, cell);
}

PageGeometry pageGeometry(const Options &options)
{
    PageGeometry g;
    g.paper = paperSize(options.paper);
    g.cell = cellSideMm(options.cellSize);
    g.rowGap = g.cell * rowGapShare;

    const double left = marginSideMm;
    const double width = g.paper.width() - 2 * marginSideMm;
    double top = marginTopMm;
    if (options.heading) {
        g.heading = QRectF(left, top, width, headingHeightMm);
        top += headingHeightMm + headingGapMm;
    }
    const double bottom = g.paper.height() - marginBottomMm;
    g.footer = QRectF(left, bottom - footerHeightMm, width, footerHeightMm);

    const double height = g.footer.top() - top;
    // A small allowance keeps a row that fits exactly from being lost to rounding.
    g.columns = std::max(1, int(std::floor(width / g.cell + 1e-9)));
    g.rowsPerPage = std::max(1, int(std::floor((height + g.rowGap) / (g.cell + g.rowGap) + 1e-9)));
    const double gridWidth = g.columns * g.cell;
    const double gridHeight = g.rowsPerPage * g.cell + (g.rowsPerPage - 1) * g.rowGap;
    g.grid = QRectF(left + (width - gridWidth) / 2, top, gridWidth, gridHeight);
    return g;
}

CharacterCells characterCells(int strokes, const Options &options, int columns)
{
    columns = std::max(1, columns);
    CharacterCells c;
    c.strokeCells = options.strokeOrder ? std::max(0, strokes) : 0;
    const int written = 1 + c.strokeCells;
    if (options.tracingCopies == fillRow) {
        // The rest of the row where the model and strokes end; a row they
        // fill exactly gets a whole row of copies after it.
        const int used = written % columns;
        c.tracing = used == 0 ? columns : columns - used;
    } else {
        c.tracing = std::max(0, options.tracingCopies);
    }
    const int needed = (c.filled() + columns - 1) / columns;
    c.rows = std::max(needed, std::clamp(options.rowsPerItem, minRowsPerItem, maxRowsPerItem));
    return c;
}

int pinyinRows(const Options &options)
{
    return std::clamp(options.rowsPerItem, minRowsPerItem, maxRowsPerItem);
}

PinyinLines pinyinLines(const QRectF &row)
{
    PinyinLines l;
    for (int i = 0; i < 4; ++i)
        l.y[i] = row.top() + row.height() * i / 3;
    return l;
}

int pinyinCopies(double width, double gap, double rowWidth, const Options &options)
{
    if (width <= 0 || width + gap <= 0)
        return 0;
    const int fit = std::max(0, int(std::floor((rowWidth - width) / (width + gap) + 1e-9)));
    if (options.tracingCopies == fillRow)
        return fit;
    return std::min(fit, std::max(0, options.tracingCopies));
}

Options normalized(Options options)
{
    options.rowsPerItem = std::clamp(options.rowsPerItem, minRowsPerItem, maxRowsPerItem);
    if (options.tracingCopies != fillRow) {
        const int columns = pageGeometry(options).columns;
        options.tracingCopies = std::clamp(options.tracingCopies, 0, columns - 1);
    }
    return options;
}

static_assert(settingkeys::sheetRows.low == minRowsPerItem && settingkeys::sheetRows.high == maxRowsPerItem
              && settingkeys::sheetCopies.low == fillRow);

Options loadOptions()
{
    const appsettings::SheetSection stored = appsettings::SheetSection::load();
    Options o;
    o.paper = stored.paper;
    o.cellSize = stored.cellSize;
    o.rowsPerItem = stored.rowsPerItem;
    o.tracingCopies = stored.tracingCopies; // a full row is the table's lowest, fillRow
    o.strokeOrder = stored.strokeOrder;
    o.heading = stored.heading;
    o.onlyShownItem = stored.onlyShownItem;
    return normalized(o);
}

void saveOptions(const Options &options)
{
    appsettings::SheetSection stored;
    stored.paper = options.paper;
    stored.cellSize = options.cellSize;
    stored.rowsPerItem = options.rowsPerItem;
    stored.tracingCopies = options.tracingCopies;
    stored.strokeOrder = options.strokeOrder;
    stored.heading = options.heading;
    stored.onlyShownItem = options.onlyShownItem;
    stored.save();
}
} // namespace sheet
