// A Qt printer as the copybook's SheetPrinter.
#pragma once

#include "practice/sheetprinting.h"

#include <memory>

class QPrinter;

class PrinterTarget : public SheetPrinter
{
public:
    // Uses `printer`, which must outlive this object.
    explicit PrinterTarget(QPrinter &printer);
    // Owns `printer`.
    explicit PrinterTarget(std::unique_ptr<QPrinter> printer);
    ~PrinterTarget() override;

    QPagedPaintDevice &device() override;
    int firstPage() const override;
    int lastPage() const override;
    void abort() override;
    bool failed() const override;

private:
    std::unique_ptr<QPrinter> m_owned;
    QPrinter &m_printer;
};
