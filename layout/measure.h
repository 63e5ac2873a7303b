// Text widths on the measuring surface, in metres.
#pragma once

#include "config/config.h"
#include "drawing/symbol_register.h"
#include "layout/layout_result.h"
#include "layout/measuring_surface.h"

#include <cstdint>
#include <string>

namespace tvx {

// An empty font name or a size of 0 leaves the surface's font as it is, so the font set once
// holds for every later call; an empty text only sets the font and measures 0.
double measureText(MeasuringSurface& surface, const std::wstring& text,
                   const std::wstring& fontName, std::int32_t fontSize);

// textWidth of slots 0..slotCount in the surface's current font, times cfgWidthFactor; widthSum
// over the other symbols only.
void measureSlotWidths(MeasuringSurface& surface, const Config& cfg, SymbolRegister& symbols,
                       LayoutResult& result);

} // namespace tvx
