// An SVG picture of one sheet: paper, frame, views, symbols and notes, in millimetres.
#pragma once

#include "drawing/sim/model.h"

#include <cstddef>
#include <optional>
#include <string>

namespace tvx::sim {

// A part of a sheet, in millimetres from its lower-left corner.
struct SheetAreaMm {
    double left = 0.0;
    double bottom = 0.0;
    double width = 0.0;
    double height = 0.0;
};

struct SvgOptions {
    std::optional<SheetAreaMm> area; // the whole sheet when empty
    bool names = true;               // each annotation's name beside it, small and grey
};

// Throws std::out_of_range when there is no document or no such sheet, std::invalid_argument
// for an area without size.
std::string renderSheetSvg(const HostData& data, std::size_t sheetIndex,
                           const SvgOptions& options = {});

} // namespace tvx::sim
