#pragma once

#include "drawing/sheet_point.h"

#include <optional>
#include <string>

namespace tvx {

// What the layout computes besides the slots' widths and positions.
struct LayoutResult {
    double widthSum = 0.0;   // text widths of slots 1..slotCount, metres
    SheetPoint cornerPoint;  // reference corner of the group on the current sheet
    SheetPoint notePoint;    // insertion point of the bracket note
    std::wstring noteText;   // "(", blanks, ")"
    std::optional<double> paperCode; // the sheet's paper-size code, once read as a number
};

} // namespace tvx
