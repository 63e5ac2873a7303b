// The drawings the benchmarks measure large runs on, built the same way wherever they are timed.
#pragma once

#include "drawing/sim/model.h"

namespace tvx::testing {

// The i-th foreign symbol: five distinct keys in turn, each symbol with a name of its own.
sim::SymbolData foreignSymbol(int i);

// One sheet whose own view and 19 drawing views share 2,000 foreign symbols round robin.
sim::HostData bigDrawing();

} // namespace tvx::testing
