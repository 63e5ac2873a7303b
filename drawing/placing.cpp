#include "drawing/placing.h"

#include "drawing/clearing.h"
#include "drawing/run_errors.h"
#include "drawing/scan.h"

#include <cstddef>

namespace tvx {
namespace {

struct SheetSymbols {
    host::SFSymbolRef last; // empty when the sheet's own view holds none
    std::size_t count = 0;
};

// Counts the symbols of the sheet's own view before an insertion.
std::size_t countSheetSymbols(HostSession& session) {
    session.hostView = require(session.hostDoc, "GetFirstView")->GetFirstView();
    std::size_t count = 0;
    for (host::SFSymbolRef s = require(session.hostView, "GetFirstView")->GetFirstSFSymbol(); s;
         s = s->GetNext()) {
        ++count;
    }
    return count;
}

// Walks to the last symbol of the sheet's own view, where the host appends a new one.
SheetSymbols lastSheetSymbol(HostSession& session) {
    session.hostView = require(session.hostDoc, "GetFirstView")->GetFirstView();
    SheetSymbols found;
    found.last = require(session.hostView, "GetFirstView")->GetFirstSFSymbol();
    if (!found.last) {
        return found;
    }
    found.count = 1;
    while (found.last->GetNext()) {
        found.last = found.last->GetNext();
        ++found.count;
    }
    return found;
}

host::SurfaceFinishArgs insertArgs(const SymbolSlot& slot) {
    host::SurfaceFinishArgs args;
    args.symType = slot.symbolType;
    args.leaderType = 0;
    args.locX = 0;
    args.locY = 0;
    args.locZ = 0.0;
    args.laySymbol = 0;
    args.arrowType = 1;
    args.prodMethod = slot.method;
    args.maxRoughness = slot.roughness;
    return args;
}

void applySymbolFont(host::Annotation& annotation, const Config& cfg) {
    const host::TextFormatRef format = annotation.gettextformat(0);
    require(format, "gettextformat")->setTypeFaceName(cfg.cfgSymbolFont);
    format->setCharHeight(static_cast<double>(cfg.cfgSymbolHeight) / 4000.0);
    annotation.SetTextFormat(0, false, format);
}

// The error that ends placing is what gets reported; a host that cannot take the toggle back
// either changes nothing about that.
void restoreToggle(host::App& app) noexcept {
    try {
        app.SetUserPreferenceToggle(kViewActivationToggle, true);
    } catch (...) {
    }
}

} // namespace

std::wstring ownSymbolName(std::int32_t slotId) {
    std::wstring digits = std::to_wstring(slotId);
    if (digits.size() < 2) {
        digits.insert(0, 2 - digits.size(), L'0');
    }
    return kOwnSymbolPrefix + digits;
}

void placeOutput(HostSession& session, const SymbolRegister& symbols, const Config& cfg,
                 const SheetPoint& notePoint, const std::wstring& noteText, InsertErrorRoute& route) {
    try {
        placeSymbols(session, symbols, cfg);
        if (symbols.slotCount > 0) {
            placeNote(session, cfg, notePoint, noteText);
        }
    } catch (const std::exception&) {
        route.reportInsertError();
    }
}

void placeSymbols(HostSession& session, const SymbolRegister& symbols, const Config& cfg) {
    const host::AppRef app = require(session.hostApp, "GetUserPreferenceToggle");
    const bool toggleWasOn = app->GetUserPreferenceToggle(kViewActivationToggle);
    if (toggleWasOn) {
        app->SetUserPreferenceToggle(kViewActivationToggle, false);
    }
    try {
        require(session.hostDoc, "ActivateSheet")->ActivateSheet(session.sheetName);
        for (std::int32_t i = 0; i <= symbols.slotCount; ++i) {
            placeSymbol(session, cfg, symbols.slot(i));
        }
    } catch (...) {
        if (toggleWasOn) {
            restoreToggle(*app);
        }
        throw;
    }
    if (toggleWasOn) {
        app->SetUserPreferenceToggle(kViewActivationToggle, true);
    }
}

void placeSymbol(HostSession& session, const Config& cfg, const SymbolSlot& slot) {
    const std::size_t countBefore = countSheetSymbols(session);
    const host::DocRef doc = require(session.hostDoc, "SelectByID");
    doc->SelectByID(session.sheetName, L"SHEET", slot.posX, slot.posY, 0);
    doc->InsertSurfaceFinishSymbol2(insertArgs(slot));
    const SheetSymbols after = lastSheetSymbol(session);
    if (after.count != countBefore + 1) {
        throw InsertionFailed("the sheet's own view did not gain the new symbol");
    }
    const host::AnnotationRef annotation = require(after.last->GetAnnotation(), "GetAnnotation");
    if (!annotation->SetName(ownSymbolName(slot.slotId))) {
        throw InsertionFailed("the host refused the symbol's name");
    }
    if (cfg.cfgKeepSymbolFont == 0) {
        applySymbolFont(*annotation, cfg);
    }
}

void placeNote(HostSession& session, const Config& cfg, const SheetPoint& notePoint,
               const std::wstring& noteText) {
    const host::DocRef doc = require(session.hostDoc, "SelectByID");
    doc->SelectByID(session.sheetName, L"SHEET", notePoint.x, notePoint.y, 0);
    const host::NoteRef note = doc->InsertNote(noteText);
    if (!note) {
        throw InsertionFailed("the host made no note");
    }
    note->setAngle(0);
    note->SetBalloon(0, 0);
    const host::TextFormatRef format = note->gettextformat();
    require(format, "gettextformat")->setTypeFaceName(cfg.cfgNoteFont);
    format->setCharHeightInPts(cfg.cfgNotePoints);
    format->setBold(false);
    note->SetTextFormat(0, format);
    if (!require(note->GetAnnotation(), "GetAnnotation")->SetName(kOwnNoteName)) {
        throw InsertionFailed("the host refused the note's name");
    }
}

} // namespace tvx
