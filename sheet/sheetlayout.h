// The copybook's options and its page arithmetic, in millimetres: where the
// heading, the rows, the cells and the page number go, and how many cells and
// rows each character or pinyin item takes. Plain values, no painting.
#pragma once

#include "core/appsettings.h"

#include <QDate>
#include <QRectF>
#include <QSizeF>

namespace sheet {

// As the settings store keeps them.
using appsettings::CellSize;
using appsettings::Paper;

// Tracing copies that fill the rest of the row.
constexpr int fillRow = -1;
constexpr int minRowsPerItem = 1;
constexpr int maxRowsPerItem = 3;

struct Options {
    Paper paper = Paper::A4;
    CellSize cellSize = CellSize::Medium;
    int rowsPerItem = 1; // at least this many rows per character or pinyin item
    int tracingCopies = fillRow; // grey copies after the model, or fillRow
    bool strokeOrder = true; // one cell per stroke after the model
    bool heading = true; // "姓名：________" and the date on every page
    QDate date; // printed in the heading
    bool onlyShownItem = false; // the dialog's choice of items; the renderer gets the text
};

bool operator==(const Options &a, const Options &b);

// Paper in portrait, width x height.
QSizeF paperSize(Paper paper);
// Side of one 田字格 cell, which is also the height of a pinyin row.
double cellSideMm(CellSize size);

// Fixed parts of every page.
constexpr double marginSideMm = 15;
constexpr double marginTopMm = 12;
constexpr double marginBottomMm = 10;
constexpr double headingHeightMm = 10;
constexpr double headingGapMm = 3;
constexpr double footerHeightMm = 8;
// Between two rows, as a share of the cell side.
constexpr double rowGapShare = 0.2;

struct PageGeometry {
    QSizeF paper;
    double cell = 0;
    double rowGap = 0;
    int columns = 0;
    int rowsPerPage = 0;
    QRectF heading; // empty when the heading is off
    QRectF grid; // the rows, centred across the page
    QRectF footer;

    QRectF rowRect(int row) const;
    QRectF cellRect(int row, int column) const;
};

PageGeometry pageGeometry(const Options &options);

// The cells one character takes, in order: the model, one cell per stroke,
// the tracing copies; the last row is filled up with empty cells and the
// block has at least rowsPerItem rows.
struct CharacterCells {
    int strokeCells = 0;
    int tracing = 0;
    int rows = 0;

    int filled() const { return 1 + strokeCells + tracing; }
};

// `strokes` is the character's stroke count, 0 when it has no stroke data.
CharacterCells characterCells(int strokes, const Options &options, int columns);
// Rows of one pinyin item.
int pinyinRows(const Options &options);

// The four lines of a 四线三格 row, top to bottom, dividing it in three equal bands.
struct PinyinLines {
    double y[4] = {0, 0, 0, 0};
    double band() const { return y[1] - y[0]; }
};
PinyinLines pinyinLines(const QRectF &row);

// How many copies of a pinyin item `width` wide fit in a row `rowWidth` wide
// after the model, with `gap` between them; limited by the tracing option.
int pinyinCopies(double width, double gap, double rowWidth, const Options &options);

// The options clamped to what the pages can hold: rows per item 1 to 3,
// tracing copies 0 to one less than the columns (or fillRow).
Options normalized(Options options);

// Stored in the settings store, section "sheet". Missing or damaged values
// fall back to the defaults; the date is not stored.
Options loadOptions();
void saveOptions(const Options &options);
} // namespace sheet
