// Printing lives in a module of its own, loaded when the copybook dialog
// first opens: Qt's printing library is of no use to the first item shown,
// so the program does not link it.
#pragma once

#include "core/modules.h"

#include <QString>
#include <QtPlugin>

#include <memory>

class QPageSize;
class QPagedPaintDevice;
class QWidget;

// A printer set up for one job, by the system's print dialog or by a test.
class SheetPrinter
{
public:
    virtual ~SheetPrinter() = default;
    // What the pages are painted on: the whole sheet of paper, no printer
    // margin added to the sheet's own.
    virtual QPagedPaintDevice &device() = 0;
    // The pages asked for, counted from 1; lastPage() is 0 when all are.
    virtual int firstPage() const = 0;
    virtual int lastPage() const = 0;
    // Cancels the job; pages already sent are not recalled.
    virtual void abort() = 0;
    // Whether the printer refused the job.
    virtual bool failed() const = 0;
};

class SheetPrintingFactory
{
public:
    virtual ~SheetPrintingFactory() = default;
    virtual bool printerAvailable() = 0;
    // Shows the system's print dialog, owned by `parent`, for a sheet of
    // `pageCount` pages (0 while they are still being counted) on `paper`.
    // The printer chosen, or nullptr when the dialog was cancelled.
    virtual std::unique_ptr<SheetPrinter> askPrinter(QWidget *parent, const QString &title,
                                                     const QPageSize &paper, int pageCount)
        = 0;
};

Q_DECLARE_INTERFACE(SheetPrintingFactory, SheetPrintingFactory_iid)

namespace sheetprinting {
// The module's factory, loaded on the first call; nullptr when the module
// is missing or cannot be loaded (then nothing can be printed, and the
// copybook can still be saved as PDF).
SheetPrintingFactory *factory();
} // namespace sheetprinting
