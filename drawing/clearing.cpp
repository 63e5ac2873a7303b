#include "drawing/clearing.h"

#include "drawing/run_errors.h"

#include <cstddef>

namespace tvx {

namespace {

// Without the sheet's name neither the old note nor the sheet can be addressed: going on would
// delete the earlier symbols and then fail to place new ones.
void requireSheetName(const HostSession& session) {
    if (session.sheetName.empty()) {
        throw InsertionFailed("the current sheet's name is unknown");
    }
}

// False also when the sheet has no such note.
bool selectOldNote(HostSession& session) {
    const std::wstring name = std::wstring(kOwnNoteName) + L"@" + session.sheetName;
    const host::ExtensionRef extension = require(require(session.hostDoc, "Extension")->Extension(), "Extension");
    return extension->SelectByID(name, L"NOTE", 0, 0, 0, false, 0, host::EmptyRef{});
}

bool selectOwnSymbol(const SymbolRegister& symbols, std::int32_t i) {
    const host::SFSymbolRef& symbol = symbols.ownSymbols.at(static_cast<std::size_t>(i));
    return require(require(symbol, "GetAnnotation")->GetAnnotation(), "GetAnnotation")->Select2(false, 0);
}

bool everyOwnSymbolSelectable(const SymbolRegister& symbols) {
    for (std::int32_t i = 0; i < symbols.ownSymbolCount; ++i) {
        if (!selectOwnSymbol(symbols, i)) {
            return false;
        }
    }
    return true;
}

} // namespace

void checkOldOutputSelectable(HostSession& session, const SymbolRegister& symbols, InsertErrorRoute& route) {
    try {
        requireSheetName(session);
        // The host answers for a locked note as for none, so only a note not selected is looked for.
        const bool selectable =
            (selectOldNote(session) || !oldNoteOnSheet(session)) && everyOwnSymbolSelectable(symbols);
        require(session.hostDoc, "ClearSelection2")->ClearSelection2(true);
        if (!selectable) {
            throw InsertionFailed("an earlier symbol or note cannot be selected, so it could not be replaced");
        }
    } catch (const std::exception&) {
        rethrowIfHostStopped();
        route.reportInsertError();
    }
}

void clearOldOutput(HostSession& session, const SymbolRegister& symbols, InsertErrorRoute& route) {
    try {
        requireSheetName(session);
        deleteOldNote(session);
        deleteOwnSymbols(session, symbols);
    } catch (const std::exception&) {
        rethrowIfHostStopped();
        route.reportInsertError();
    }
}

bool oldNoteOnSheet(const HostSession& session) {
    const host::ViewRef sheetView = require(session.hostDoc, "GetFirstView")->GetFirstView();
    if (!sheetView) {
        return false;
    }
    for (host::NoteRef note = sheetView->GetFirstNote(); note; note = note->GetNext()) {
        if (require(note->GetAnnotation(), "GetAnnotation")->GetName() == kOwnNoteName) {
            return true;
        }
    }
    return false;
}

void deleteOldNote(HostSession& session) {
    if (selectOldNote(session)) {
        require(session.hostDoc, "DeleteSelection")->DeleteSelection(true);
    }
}

void deleteOwnSymbols(HostSession& session, const SymbolRegister& symbols) {
    for (std::int32_t i = 0; i < symbols.ownSymbolCount; ++i) {
        if (selectOwnSymbol(symbols, i)) {
            require(session.hostDoc, "DeleteSelection")->DeleteSelection(true);
        }
    }
}

} // namespace tvx
