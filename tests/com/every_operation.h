// What the client tests share: a small drawing and a run of every host operation the program uses.
#pragma once

#include "drawing/host.h"
#include "drawing/sim/model.h"

namespace tvx::com::testing {

// A drawing on two sheets: "Blatt1" with a foreign symbol, a note "ZyrNote" and a second view.
sim::HostData sampleHost();

// Calls every operation of the host table once (a few twice), checking the answers the sample
// drawing gives. Afterwards the sheet's own view holds a new symbol "ZyrSymbol_99" and a new
// note "ZyrNote" in place of the old one.
void runEveryOperation(const host::AppRef& app);

} // namespace tvx::com::testing
