// Sheet positions of every symbol: the other symbols from the corner leftward, the bracket note
// around them, the main symbol left of the bracket.
#pragma once

#include "config/config.h"
#include "drawing/host.h"
#include "drawing/symbol_register.h"
#include "layout/layout_result.h"
#include "layout/measuring_surface.h"

namespace tvx {

// x of the corner for the sheet properties the host gave: paper-size codes 11..7 pick
// cfgCornerX 0..4, codes 0..6 and 12 the corner line's x where the file has one, any other
// code 0.0. Properties that are no array, or a code that is no number,
// throw CalcError.
double cornerX(const host::HostValue& properties, const Config& cfg);

// Any failure throws (CalcError, HostError, IndexError, the surface's refusal); nothing in the
// drawing is touched, only the slots' widths and positions and the result.
void computeLayout(MeasuringSurface& surface, const Config& cfg, const host::DocRef& hostDoc,
                   SymbolRegister& symbols, LayoutResult& result);

} // namespace tvx
