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

std::int32_t countOwnNamed(const HostSession& session) {
    std::int32_t count = 0;
    for (host::ViewRef view = require(session.hostDoc, "GetFirstView")->GetFirstView(); view;
         view = view->GetNextView()) {
        for (host::SFSymbolRef s = view->GetFirstSFSymbol(); s; s = s->GetNext()) {
            if (isOwnName(require(s->GetAnnotation(), "GetAnnotation")->GetName())) {
                ++count;
            }
        }
    }
    return count;
}

// A scanned symbol deleted while another was named by hand leaves the count as it was.
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
    return sameSheet(session) && countOwnNamed(session) == symbols.ownSymbolCount &&
           scannedStillOwn(symbols);
}

} // namespace tvx
