// Removing what an earlier run placed on the current sheet.
#pragma once

#include "drawing/insert_error.h"
#include "drawing/session.h"
#include "drawing/symbol_register.h"

namespace tvx {

inline constexpr wchar_t kOwnNoteName[] = L"ZyrNote";

// deleteOldNote, then deleteOwnSymbols; any failure goes to the route, and what was deleted
// before it stays deleted. An unknown sheet name is such a failure, before anything is deleted.
void clearOldOutput(HostSession& session, const SymbolRegister& symbols, InsertErrorRoute& route);

void deleteOldNote(HostSession& session);

// An own symbol the host will not select stays where it is.
void deleteOwnSymbols(HostSession& session, const SymbolRegister& symbols);

} // namespace tvx
