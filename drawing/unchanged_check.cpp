#include "drawing/unchanged_check.h"

#include "drawing/run_errors.h"
#include "drawing/scan.h"

#include <cstddef>

namespace tvx {
namespace {

bool sameSheet(const HostSession& session) {
    // An unknown name cannot be compared; clearing refuses to go on without it anyway.
    if (session.sheetName.empty()) {
        return true;
    }
    const host::SheetRef sheet = require(session.hostDoc, "GetCurrentSheet")->GetCurrentSheet();
    return require(sheet, "GetCurrentSheet")->GetName() == session.sheetName;
}

bool sameSymbols(const SymbolRegister& scanned, const SymbolRegister& now) {
    if (now.slotCount != scanned.slotCount || now.ownSymbolCount != scanned.ownSymbolCount) {
        return false;
    }
    // The bracket repeats them as a set; a duplicate met earlier than before changes nothing.
    for (std::int32_t i = 1; i <= scanned.slotCount; ++i) {
        const SymbolSlot& s = scanned.slot(i);
        if (now.findSymbol(s.symbolType, s.roughness, s.method) == -1) {
            return false;
        }
    }
    return true;
}

// A scanned symbol deleted while another was named by hand leaves the count as it was; clearing
// would then fail on the deleted one after the note is gone.
bool scannedStillOwn(const SymbolRegister& symbols) {
    for (std::int32_t i = 0; i < symbols.ownSymbolCount; ++i) {
        const host::SFSymbolRef& symbol = symbols.ownSymbols.at(static_cast<std::size_t>(i));
        if (!isOwnName(require(symbol->GetAnnotation(), "GetAnnotation")->GetName())) {
            return false;
        }
    }
    return true;
}

} // namespace

bool drawingAsScanned(const HostSession& session, const SymbolRegister& symbols) {
    if (!sameSheet(session)) {
        return false;
    }
    HostSession cursor = session; // the scan walks hostView
    SymbolRegister now;
    scanDrawing(cursor, now);
    return sameSymbols(symbols, now) && scannedStillOwn(symbols);
}

} // namespace tvx
