// A fault at every host call of a whole run: the run without fault is numbered call by call, then
// run again once per call with that call failing, and each outcome is held against what the run
// must do there: end by itself with the one report of that step, leave the drawing with exactly
// the changes made before the fault, and let a later run without fault put everything right.
#pragma once

#include "tests/support/fake_ui.h"
#include "drawing/sim/model.h"
#include "drawing/sim/trace.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tvx::testing {

struct FaultRow {
    std::uint64_t call = 0;  // 1-based, as SimHost::failAtCall counts
    std::string operation;   // "Doc.DeleteSelection"
    std::string step;        // connection, scan, layout, check, recording, clearing, placing, rebuild
    std::wstring expected;   // the report the step must give; empty when the run goes on
    bool anyUnexpectedReport = false; // expected is the generic report, whatever its detail
    std::vector<std::wstring> shown;

    bool ended = false;      // the terminator was reached once and the run stopped there
    bool messageOk = false;
    bool drawingOk = false;
    std::string drawingNote; // what differs, when not ok
    bool toggleOk = false;   // preference toggle 24 as before the run
    bool rebuildOk = false;  // rebuilt only by a run that completed
    bool rerunOk = false;
    std::string rerunNote;
    // Rows where the host stops taking calls: no call reached it after the one it stopped at,
    // and how many unnamed insertions it kept (the tool could neither name nor take them back).
    // The next run takes such a symbol for a foreign one, so its re-run is judged apart: the
    // message asks the user to check the drawing.
    bool quietAfter = true;
    std::size_t leftovers = 0;
    // The run's changes are one Undo entry: either nothing changed and no entry was made, or one
    // entry named for the run was, and one Undo gives the drawing as before the run (rebuild count
    // aside). Not judged where the recording calls themselves fail: the run goes on without one.
    bool undoJudged = false;
    bool undoOk = true;
    std::string undoNote;

    bool ok() const {
        return ended && messageOk && drawingOk && toggleOk && rebuildOk && (rerunOk || leftovers == 1) &&
               quietAfter && undoOk;
    }
};

// The run without fault, call by call: what a fault at each call is held against.
struct FaultBaseline {
    sim::HostData before;
    std::vector<sim::HostData> afterCalls; // [n]: the drawing once calls 1..n had run
    std::vector<sim::TraceEntry> trace;
    sim::HostData finalDrawing;
    UserChoice choice;
    std::uint64_t shownAt = 0; // calls made when the dialog was shown
    std::uint64_t hiddenAt = 0;
};

// What a fault at a call must lead to.
struct FaultExpectation {
    std::string step;
    std::wstring message;           // empty: no message
    bool anyUnexpected = false;     // the generic report, whatever its detail
    std::uint64_t drawingAfter = 0; // the drawing must be the one after these calls
    bool completes = false;         // the run goes on to its end
};

// [n - 1]: what a fault at call n of the baseline must lead to.
std::vector<FaultExpectation> faultExpectations(const FaultBaseline& baseline);
// The reports a run showed are the one its fault must give (or none where the run goes on).
bool reportsAsExpected(const FaultExpectation& expect, const std::vector<std::wstring>& shown);
// How the drawing a faulted run left differs from the one it must leave (the Undo list aside), or
// "" when it does not.
std::string drawingFault(const FaultBaseline& baseline, const FaultExpectation& expect,
                         const sim::HostData& actual);
// Why a drawing after a later run without fault is not one clean set of output, or "".
std::string outputFault(const FaultBaseline& baseline, const sim::HostData& actual);

struct FaultTable {
    std::uint64_t calls = 0; // host calls of the run without fault
    UserChoice choice;       // what OK took, the dialog's preselection
    std::vector<FaultRow> rows;
    // The host stops taking calls at call N: busy past the client's bound, or hung.
    std::vector<FaultRow> busyRows;
    std::vector<FaultRow> hungRows;

    // Every row of every column as described.
    bool allOk() const;
};

std::size_t messagesAsExpected(const std::vector<FaultRow>& rows);
std::size_t drawingsIntact(const std::vector<FaultRow>& rows);
std::size_t rerunsClean(const std::vector<FaultRow>& rows);
std::size_t rowsOk(const std::vector<FaultRow>& rows);
std::size_t undoJudged(const std::vector<FaultRow>& rows);
std::size_t undoneInOne(const std::vector<FaultRow>& rows);

// Start-up and OK with the dialog's preselection, on this drawing, once without fault and then
// with each call failing. Throws std::runtime_error when the run without fault does not complete.
FaultTable runFaultTable(const sim::HostData& drawing);

// The table and its totals, UTF-8, one row a line.
std::string formatFaultTable(const FaultTable& table);

} // namespace tvx::testing
