// The printing module: Qt's printers and print dialog behind the copybook's
// SheetPrintingFactory.
#include "practice/printing/printertarget.h"

#include <QObject>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

class QtSheetPrinting : public QObject, public SheetPrintingFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID SheetPrintingFactory_iid)
    Q_INTERFACES(SheetPrintingFactory)
public:
    bool printerAvailable() override { return !QPrinterInfo::availablePrinterNames().isEmpty(); }

    std::unique_ptr<SheetPrinter> askPrinter(QWidget *parent, const QString &title, const QPageSize &paper,
                                             int pageCount) override
    {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setPageSize(paper);
        printer->setPageOrientation(QPageLayout::Portrait);
        QPrintDialog dialog(printer.get(), parent);
        dialog.setWindowTitle(title);
        if (pageCount > 0)
            dialog.setMinMax(1, pageCount);
        if (dialog.exec() != QDialog::Accepted)
            return nullptr;
        return std::make_unique<PrinterTarget>(std::move(printer));
    }
};

#include "printplugin.moc"
