// The main dialog is modeless: while it waits, the user keeps working in the drawing. Clearing
// trusts what the scan found, so before anything is deleted the drawing is read once more.
#pragma once

#include "drawing/session.h"
#include "drawing/symbol_register.h"

namespace tvx {

// True while the drawing still holds what the scan found that clearing and placing depend on:
// the same current sheet, and exactly the scanned symbols named with the tool's prefix, each
// still there under such a name. Other changes (foreign symbols, the note, positions) cannot
// make a run delete or lose anything and are not looked at. Only reads; host errors pass.
bool drawingAsScanned(const HostSession& session, const SymbolRegister& symbols);

} // namespace tvx
