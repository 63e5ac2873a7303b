// Checks of a drawing after a run: against the drawing it should be, and for the one set of
// output a run must leave. Each returns an empty text when the check holds, otherwise why not.
#pragma once

#include "drawing/sim/model.h"

#include <string>

namespace tvx::e2e {

// The drawings are equal apart from the preference toggles and the Undo list (the in-memory fault
// table judges that; the server keeps the same model).
std::string compareDrawings(const sim::HostData& expected, const sim::HostData& actual);

// The toggles are as they were.
std::string compareToggles(const sim::HostData& before, const sim::HostData& after);

// After a completed run on `before`: one main symbol, each other symbol of the current sheet
// once, one bracket note when there are others, rebuilt once, toggles as they were.
std::string checkOneSetOfOutput(const sim::HostData& before, const sim::HostData& after);

// Every symbol and note of `original` that no run of the program made is still in `after`,
// unchanged.
std::string checkForeignKept(const sim::HostData& original, const sim::HostData& after);

} // namespace tvx::e2e
