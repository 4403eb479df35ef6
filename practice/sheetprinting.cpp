#include "practice/sheetprinting.h"

#include "core/modules.h"

namespace sheetprinting {
SheetPrintingFactory *factory() { return modules::get<SheetPrintingFactory>(); }
} // namespace sheetprinting
