// The note that puts brackets around the other symbols: "(", blanks, ")".
#pragma once

#include "config/config.h"
#include "drawing/symbol_register.h"
#include "layout/layout_result.h"
#include "layout/measuring_surface.h"

#include <cstdint>

namespace tvx {

// Most blanks the search tries. A blank without width or a bracket far beyond any sheet would
// otherwise keep it going; reaching it is a calculation error. Even at a 6 pt note font (a blank
// about 0.9 mm) this spans some 3.6 m, three times the width of an A0 sheet.
inline constexpr std::int32_t kBlankSearchLimit = 4000;

// Needs slotCount >= 1, widthSum and cornerPoint; sets noteText and notePoint and leaves the
// surface in the note's font.
void buildBracketNote(MeasuringSurface& surface, const Config& cfg, const SymbolRegister& symbols,
                      LayoutResult& result);

} // namespace tvx
