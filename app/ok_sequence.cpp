#include "app/sequences.h"

#include "drawing/clearing.h"
#include "drawing/host_command.h"
#include "drawing/messages.h"
#include "drawing/placing.h"
#include "drawing/run_errors.h"
#include "drawing/undo_recording.h"
#include "drawing/unchanged_check.h"
#include "layout/positions.h"
#include "layout/sheet_fit.h"

#include <cstdio>
#include <string_view>

namespace tvx {
namespace {

class ProgramInsertErrorRoute final : public InsertErrorRoute {
public:
    explicit ProgramInsertErrorRoute(Program& program) : program_(program) {}
    // The message shows a drawing whose changes are already one Undo step.
    [[noreturn]] void reportInsertError() override {
        tryFinishUndoRecording(program_.session);
        tvx::reportInsertError(program_);
    }

private:
    Program& program_;
};

// The user may have worked in the drawing while the dialog waited. Reading it again changes
// nothing, so a host failure here is reported as the layout's, over the still visible dialog.
void confirmDrawingAsScanned(Program& program) {
    bool asScanned = false;
    try {
        asScanned = drawingAsScanned(program.session, program.symbols);
    } catch (const std::exception&) {
        rethrowIfHostStopped();
        reportCalcError(program);
    }
    if (!asScanned) {
        errorRoute(program, msg::kDrawingChanged);
    }
}

// Selecting does not work well while a command of the host runs, and the user may have left one
// open beside the modeless dialog. The run then changes nothing and waits for the next Ok; it asks
// before the register drops the main symbol's twin, so that the next Ok finds it as scanned.
bool hostCommandOpen(Program& program) {
    if (!openHostCommand(program.session, program.log)) {
        return false;
    }
    raiseMessage(program, msg::kHostCommandOpen);
    // The run goes on: its end is not one after a message.
    program.messageShown = false;
    return true;
}

void notePaperCode(Program& program) {
    if (program.layout.paperCode) {
        char code[32];
        std::snprintf(code, sizeof code, "%g", *program.layout.paperCode);
        program.log.note("Papiercode", std::string_view(code));
    }
}

// Every failure of the layout is the calculation error, shown over the still visible dialog.
void computeLayoutOrReport(Program& program) {
    try {
        computeLayout(program.form.txtCalc(), program.config, program.session.hostDoc,
                      program.symbols, program.layout);
    } catch (const std::exception&) {
        notePaperCode(program);
        rethrowIfHostStopped();
        reportCalcError(program);
    }
    notePaperCode(program);
}

// An indication off the sheet is one nobody sees: stop before any change, over the dialog.
void confirmGroupOnSheet(Program& program) {
    const SheetFit fit = groupOnSheet(program.config, program.symbols, program.layout);
    if (fit == SheetFit::SizeUnknown) {
        program.log.note("Blattgröße", std::string_view("unbekannt, Lage auf dem Blatt nicht geprüft"));
    } else if (fit != SheetFit::Inside) {
        errorRoute(program, offSheetMessage(program.config, program.layout.paperCode.value_or(0.0), fit));
    }
}

} // namespace

void cmd_Ok_Click(Program& program) {
    SymbolSlot& main = program.symbols.slot(0);
    main.symbolType = program.form.stdSFSSymbol().listIndex();
    main.method = program.form.stdSFSMet().text();
    main.roughness = program.form.stdSFSRough().text();
    program.log.note("Auswahl", L"Symbol " + std::to_wstring(main.symbolType) + L", Methode \"" + main.method +
                                    L"\", Rauheit \"" + main.roughness + L"\"");
    confirmDrawingAsScanned(program);
    if (hostCommandOpen(program)) {
        return;
    }
    program.symbols.removeMainTwin();
    computeLayoutOrReport(program);
    confirmGroupOnSheet(program);
    program.form.hide();
    ProgramInsertErrorRoute route(program);
    // Before the recording starts: a run stopped here changes nothing and leaves no Undo entry.
    checkOldOutputSelectable(program.session, program.symbols, route);
    tryStartUndoRecording(program.session);
    program.undoEntryStarted = program.session.undoRecording != nullptr;
    // Owed before anything else, so that it is settled last: what a busy host gets taken back
    // once it answers again lands inside the one Undo entry.
    const OwedSteps::Ticket undo = program.session.owed.owe(
        "finish the Undo recording", [&session = program.session] { tryFinishUndoRecording(session); });
    program.drawingChanged = true;
    try {
        clearOldOutput(program.session, program.symbols, route);
        placeOutput(program.session, program.symbols, program.config, program.layout.notePoint,
                    program.layout.noteText, route);
    } catch (...) {
        // A host that takes no more calls cannot be asked to finish. Leaving the recording open is
        // safe: it only groups the changes for Undo and changes nothing in the drawing. A busy
        // host may be asked again once it answers (the recording stays in the session).
        if (hostStillAnswers()) {
            tryFinishUndoRecording(program.session);
        }
        throw;
    }
    tryFinishUndoRecording(program.session);
    program.session.owed.paid(undo);
    require(program.session.hostDoc, "EditRebuild")->EditRebuild();
    shutDown(program);
}

} // namespace tvx
