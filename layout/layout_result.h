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
    double noteWidth = 0.0;  // noteText measured in the note's font, metres
    std::optional<double> paperCode; // the sheet's paper-size code, once read as a number
    // The sheet's width and height in metres, when the host gave both as positive numbers.
    std::optional<SheetPoint> sheetSize;
};

} // namespace tvx
