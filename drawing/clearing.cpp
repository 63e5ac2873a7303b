#include "drawing/clearing.h"

#include "drawing/run_errors.h"

#include <cstddef>

namespace tvx {

void clearOldOutput(HostSession& session, const SymbolRegister& symbols, InsertErrorRoute& route) {
    try {
        // Without the sheet's name neither the old note nor the sheet can be addressed: going on
        // would delete the earlier symbols and then fail to place new ones.
        if (session.sheetName.empty()) {
            throw InsertionFailed("the current sheet's name is unknown");
        }
        deleteOldNote(session);
        deleteOwnSymbols(session, symbols);
    } catch (const std::exception&) {
        rethrowIfHostStopped();
        route.reportInsertError();
    }
}

void deleteOldNote(HostSession& session) {
    const std::wstring name = std::wstring(kOwnNoteName) + L"@" + session.sheetName;
    const host::DocRef doc = require(session.hostDoc, "Extension");
    const host::ExtensionRef extension = require(doc->Extension(), "Extension");
    if (extension->SelectByID(name, L"NOTE", 0, 0, 0, false, 0, host::EmptyRef{})) {
        doc->DeleteSelection(true);
    }
}

void deleteOwnSymbols(HostSession& session, const SymbolRegister& symbols) {
    for (std::int32_t i = 0; i < symbols.ownSymbolCount; ++i) {
        const host::SFSymbolRef& symbol = symbols.ownSymbols.at(static_cast<std::size_t>(i));
        const host::AnnotationRef annotation =
            require(require(symbol, "GetAnnotation")->GetAnnotation(), "GetAnnotation");
        if (annotation->Select2(false, 0)) {
            require(session.hostDoc, "DeleteSelection")->DeleteSelection(true);
        }
    }
}

} // namespace tvx
