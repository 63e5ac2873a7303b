// Inserting the symbols and the bracket note at the computed places, each named so that the next
// run finds it again.
#pragma once

#include "config/config.h"
#include "drawing/insert_error.h"
#include "drawing/session.h"
#include "drawing/sheet_point.h"
#include "drawing/symbol_register.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tvx {

inline constexpr std::int32_t kViewActivationToggle = 24;

// "ZyrSymbol_" and the id with at least two digits.
std::wstring ownSymbolName(std::int32_t slotId);

// placeSymbols, then placeNote when there are other symbols; any failure goes to the route, and
// what was inserted and named before it stays.
void placeOutput(HostSession& session, const SymbolRegister& symbols, const Config& cfg,
                 const SheetPoint& notePoint, const std::wstring& noteText, InsertErrorRoute& route);

// Toggle 24 is off while the symbols go in when it was on, and on again afterwards, also when
// placing fails: at once while the host answers, else owed to the end of the run.
void placeSymbols(HostSession& session, const SymbolRegister& symbols, const Config& cfg);

// countBefore is how many symbols the sheet's own view holds now; the result is how many it
// holds afterwards. Throws InsertionFailed when the view did not gain exactly one symbol (so a
// symbol the user placed is never renamed) or when the host refuses the name. A symbol it
// inserted but could not name is deleted again before the failure goes on, or owed to the end of
// the run when the host stopped taking calls.
std::size_t placeSymbol(HostSession& session, const Config& cfg, const SymbolSlot& slot,
                        std::size_t countBefore);

// Throws InsertionFailed when the host makes no note or refuses its name. A note it inserted but
// could not name is deleted again before the failure goes on (or owed, as a symbol is).
void placeNote(HostSession& session, const Config& cfg, const SheetPoint& notePoint,
               const std::wstring& noteText);

} // namespace tvx
