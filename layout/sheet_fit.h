// Whether the computed group, every symbol and the bracket note, stands on its sheet, and what a
// designer is told to correct when it does not.
#pragma once

#include "config/config.h"
#include "drawing/symbol_register.h"
#include "layout/layout_result.h"

#include <string>

namespace tvx {

enum class SheetFit {
    Inside,
    OffSideways, // the corner x leaves part of the group left or right of the sheet
    OffUpOrDown, // the corner y (with the rises) leaves it below or above
    SizeUnknown, // the host gave no usable sheet size: nothing could be checked
};

SheetFit groupOnSheet(const Config& cfg, const SymbolRegister& symbols, const LayoutResult& result);

// The message for a group that does not fit: the paper code, and the line or item to write or
// correct in the configuration.
std::wstring offSheetMessage(const Config& cfg, double paperCode, SheetFit fit);

} // namespace tvx
