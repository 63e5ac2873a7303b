// An SVG picture of one sheet: paper, frame, views, symbols and notes, in millimetres.
#pragma once

#include "drawing/sim/model.h"

#include <cstddef>
#include <string>

namespace tvx::sim {

// Throws std::out_of_range when there is no document or no such sheet.
std::string renderSheetSvg(const HostData& data, std::size_t sheetIndex);

} // namespace tvx::sim
