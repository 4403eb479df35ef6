#include "practice/sheetprinting.h"

#include "core/modules.h"

namespace sheetprinting {
QString moduleFileName() { return QStringLiteral("lorvanta_print.so"); }

SheetPrintingFactory *factory()
{
    return qobject_cast<SheetPrintingFactory *>(modules::instance(moduleFileName()));
}
} // namespace sheetprinting
