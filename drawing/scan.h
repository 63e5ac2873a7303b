// Reading the drawing's surface-finish symbols into the register.
#pragma once

#include "drawing/session.h"
#include "drawing/symbol_register.h"

#include <string>
#include <string_view>

namespace tvx {

inline constexpr wchar_t kOwnSymbolPrefix[] = L"ZyrSymbol_";

// Exact and case-sensitive: "zyrsymbol_01" is the user's.
inline bool isOwnName(std::wstring_view name) { return name.substr(0, 10) == kOwnSymbolPrefix; }

// Walks every view of the current sheet, the sheet's own first. Symbols named with the tool's
// prefix go to ownSymbols (the one ending in 99 also into slot 0); each distinct foreign symbol
// becomes an other symbol. A drawing beyond the register's limits throws ReportedError before
// anything is stored beyond them; the drawing is only read.
void scanDrawing(HostSession& session, SymbolRegister& symbols);

} // namespace tvx
