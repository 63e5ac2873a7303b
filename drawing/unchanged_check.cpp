#include "drawing/unchanged_check.h"

#include "drawing/run_errors.h"
#include "drawing/scan.h"

#include <algorithm>
#include <cstddef>
#include <vector>

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

std::vector<std::wstring> sortedOwnNames(const SymbolRegister& symbols) {
    std::vector<std::wstring> names(symbols.ownNames.begin(), symbols.ownNames.begin() + symbols.ownSymbolCount);
    std::sort(names.begin(), names.end());
    return names;
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
    HostSession cursor; // the scan walks hostView
    cursor.hostDoc = session.hostDoc;
    SymbolRegister now;
    try {
        scanDrawing(cursor, now);
    } catch (const ReportedError&) {
        // The start read the drawing within the register's limits: it has changed since.
        return false;
    }
    // The names first: a scanned symbol deleted since would only answer with an error.
    return sameSymbols(symbols, now) && sortedOwnNames(symbols) == sortedOwnNames(now) &&
           scannedStillOwn(symbols);
}

} // namespace tvx
