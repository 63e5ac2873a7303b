// The main dialog is modeless: while it waits, the user keeps working in the drawing. Clearing and
// the bracket note trust what the scan found, so before anything is changed the drawing is read
// once more.
#pragma once

#include "drawing/session.h"
#include "drawing/symbol_register.h"

namespace tvx {

// True while the drawing still reads as the scan found it: the same current sheet, the same
// distinct other symbols (in any order), and as many symbols named with the tool's prefix, each
// scanned one still there under such a name. Call it before slot 0 has changed the other
// symbols. What the scan does not look at (notes, positions, duplicates of other symbols) is not
// compared: a note named as the tool's is found by its name alone on Ok, as at any time.
// Only reads. Host errors pass; a drawing the scan now finds beyond the register's limits has
// changed.
bool drawingAsScanned(const HostSession& session, const SymbolRegister& symbols);

} // namespace tvx
