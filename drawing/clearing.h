// Removing what an earlier run placed on the current sheet.
#pragma once

#include "drawing/insert_error.h"
#include "drawing/session.h"
#include "drawing/symbol_register.h"

namespace tvx {

inline constexpr wchar_t kOwnNoteName[] = L"ZyrNote";

// Before the first change: whether the earlier note and every earlier symbol on the sheet take
// the selection as clearing will select them; a note not selected by its name must be no note of
// that name on the sheet itself (one inside a drawing view is not ours to clear). The selection is emptied again either way. Clearing passes over an item it cannot select,
// so a locked one would leave the drawing half replaced with every run; any failure, and an item
// that cannot be selected, go to the route.
void checkOldOutputSelectable(HostSession& session, const SymbolRegister& symbols, InsertErrorRoute& route);

// deleteOldNote, then deleteOwnSymbols; any failure goes to the route, and what was deleted
// before it stays deleted. An unknown sheet name is such a failure, before anything is deleted.
void clearOldOutput(HostSession& session, const SymbolRegister& symbols, InsertErrorRoute& route);

void deleteOldNote(HostSession& session);

// Whether the sheet's own view holds a note named as the tool's, found by reading alone (no
// selection). Only that view holds what the note's name addresses.
bool oldNoteOnSheet(const HostSession& session);

// An own symbol the host will not select stays where it is.
void deleteOwnSymbols(HostSession& session, const SymbolRegister& symbols);

} // namespace tvx
