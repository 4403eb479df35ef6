// Printing pages and saving them as PDF, for the copybook and the 听写纸 alike:
// the PDF goes only to a file of its own (sheetfile::resolve), replaces an
// existing one only when complete, is refused when it would not fit on the
// disk, and a failure says why.
#pragma once

#include "sheet/sheet.h"

#include <functional>

class QWidget;
class SheetPrinter;

namespace sheetexport {

// Runs a painting job with a progress box labelled `label`; returns the job's result.
using Runner = std::function<int(const QString &label, const std::function<int(const sheet::Progress &)> &job,
                                 bool *cancelled)>;

// Writes pages `first` to `last` (0 for the last page) to `path`. Asks first
// when it would be more than askAbovePages pages. `status` gets a line for
// the status bar. True when written.
bool savePdf(QWidget *owner, sheet::Pages &pages, const QString &path, int first, int last, const Runner &run,
             QString *status);
constexpr int askAbovePages = 300;
// Paints the pages onto a printer already set up. True when every page went to it.
bool printTo(QWidget *owner, sheet::Pages &pages, SheetPrinter &printer, const Runner &run, QString *status);

// "打印…" and "保存为 PDF…" in a menu at the mouse: the system's print
// dialog, or a file chosen for the PDF, for pages that need no preview.
void printOrSave(QWidget *owner, sheet::Pages &pages, const QString &name);

} // namespace sheetexport
