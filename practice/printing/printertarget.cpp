#include "practice/printing/printertarget.h"

#include <QPrinter>

PrinterTarget::PrinterTarget(QPrinter &printer) : m_printer(printer)
{
    // The sheet's layout has its own margins, measured from the paper's edge.
    m_printer.setFullPage(true);
    m_printer.setDocName(QStringLiteral("字帖"));
}

PrinterTarget::PrinterTarget(std::unique_ptr<QPrinter> printer) : PrinterTarget(*printer)
{
    m_owned = std::move(printer);
}

PrinterTarget::~PrinterTarget() = default;

QPagedPaintDevice &PrinterTarget::device() { return m_printer; }

int PrinterTarget::firstPage() const
{
    return m_printer.printRange() == QPrinter::PageRange ? m_printer.fromPage() : 1;
}

int PrinterTarget::lastPage() const
{
    return m_printer.printRange() == QPrinter::PageRange ? m_printer.toPage() : 0;
}

void PrinterTarget::abort() { m_printer.abort(); }

bool PrinterTarget::failed() const { return m_printer.printerState() == QPrinter::Error; }
