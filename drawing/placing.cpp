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

// Counts the symbols of the sheet's own view before the first insertion.
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

// A symbol inserted but not named would pass for one of the user's on the next run and stay for
// good, so it goes again. Only a view that gained exactly the one symbol is touched.
void takeBackUnnamedSymbol(HostSession& session, std::size_t countBefore, const std::wstring& name) {
    const SheetSymbols now = lastSheetSymbol(session);
    if (now.count != countBefore + 1) {
        return;
    }
    const host::AnnotationRef annotation = require(now.last->GetAnnotation(), "GetAnnotation");
    if (annotation->GetName() != name && annotation->Select2(false, 0)) {
        require(session.hostDoc, "DeleteSelection")->DeleteSelection(true);
    }
}

// Likewise a note that did not get its name: the next run could not find it to replace it.
void takeBackUnnamedNote(host::Doc& doc, host::Note& note) {
    const host::AnnotationRef annotation = require(note.GetAnnotation(), "GetAnnotation");
    if (annotation->GetName() != kOwnNoteName && annotation->Select2(false, 0)) {
        doc.DeleteSelection(true);
    }
}

// Called inside a catch block. A host that still answers is tidied up at once; one that stopped
// taking calls leaves the step owed, for the end of the run to try once more.
void payNowIfHostAnswers(OwedSteps& owed, OwedSteps::Ticket ticket) {
    if (hostStillAnswers()) {
        owed.payNow(ticket);
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
        rethrowIfHostStopped();
        route.reportInsertError();
    }
}

void placeSymbols(HostSession& session, const SymbolRegister& symbols, const Config& cfg) {
    const host::AppRef app = require(session.hostApp, "GetUserPreferenceToggle");
    const bool toggleWasOn = app->GetUserPreferenceToggle(kViewActivationToggle);
    OwedSteps::Ticket toggleBack = 0;
    if (toggleWasOn) {
        app->SetUserPreferenceToggle(kViewActivationToggle, false);
        toggleBack = session.owed.owe("toggle 24 back on",
                                      [app] { app->SetUserPreferenceToggle(kViewActivationToggle, true); });
    }
    try {
        require(session.hostDoc, "ActivateSheet")->ActivateSheet(session.sheetName);
        // Each insertion's own walk counts the view for the next one.
        std::size_t count = countSheetSymbols(session);
        for (std::int32_t i = 0; i <= symbols.slotCount; ++i) {
            count = placeSymbol(session, cfg, symbols.slot(i), count);
        }
        if (toggleWasOn) {
            app->SetUserPreferenceToggle(kViewActivationToggle, true);
            session.owed.paid(toggleBack);
        }
    } catch (...) {
        // Also when switching it back on was what failed: the user's setting must not stay off.
        if (toggleWasOn) {
            payNowIfHostAnswers(session.owed, toggleBack);
        }
        throw;
    }
}

std::size_t placeSymbol(HostSession& session, const Config& cfg, const SymbolSlot& slot,
                        std::size_t countBefore) {
    const host::DocRef doc = require(session.hostDoc, "SelectByID");
    doc->SelectByID(session.sheetName, L"SHEET", slot.posX, slot.posY, 0);
    const std::wstring name = ownSymbolName(slot.slotId);
    host::AnnotationRef annotation;
    SheetSymbols after;
    // Owed before the insertion: a call that failed may still have made the symbol.
    const OwedSteps::Ticket takeBack =
        session.owed.owe("take back the unnamed symbol",
                         [&session, countBefore, name] { takeBackUnnamedSymbol(session, countBefore, name); });
    try {
        doc->InsertSurfaceFinishSymbol2(insertArgs(slot));
        after = lastSheetSymbol(session);
        if (after.count != countBefore + 1) {
            throw InsertionFailed("the sheet's own view did not gain the new symbol");
        }
        annotation = require(after.last->GetAnnotation(), "GetAnnotation");
        if (!annotation->SetName(name)) {
            throw InsertionFailed("the host refused the symbol's name");
        }
    } catch (...) {
        payNowIfHostAnswers(session.owed, takeBack);
        throw;
    }
    session.owed.paid(takeBack);
    if (cfg.cfgKeepSymbolFont == 0) {
        applySymbolFont(*annotation, cfg);
    }
    return after.count;
}

void placeNote(HostSession& session, const Config& cfg, const SheetPoint& notePoint,
               const std::wstring& noteText) {
    const host::DocRef doc = require(session.hostDoc, "SelectByID");
    doc->SelectByID(session.sheetName, L"SHEET", notePoint.x, notePoint.y, 0);
    const host::NoteRef note = doc->InsertNote(noteText);
    if (!note) {
        throw InsertionFailed("the host made no note");
    }
    const OwedSteps::Ticket takeBack =
        session.owed.owe("take back the unnamed note", [doc, note] { takeBackUnnamedNote(*doc, *note); });
    try {
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
    } catch (...) {
        payNowIfHostAnswers(session.owed, takeBack);
        throw;
    }
    session.owed.paid(takeBack);
}

} // namespace tvx
