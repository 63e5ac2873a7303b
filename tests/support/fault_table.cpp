#include "tests/support/fault_table.h"

#include "tests/support/run_fixture.h"
#include "drawing/messages.h"
#include "drawing/undo_recording.h"
#include "drawing/sim/listing.h"
#include "drawing/sim/utf8.h"

#include <algorithm>
#include <iomanip>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace tvx::testing {
namespace {

constexpr wchar_t kOwnPrefix[] = L"ZyrSymbol_";
constexpr wchar_t kMainName[] = L"ZyrSymbol_99";
constexpr wchar_t kNoteName[] = L"ZyrNote";

// A loop that keeps calling the host after a fault would never end a run; past this many calls
// the host dies, so every later call fails and the run has to stop.
std::uint64_t callBudget(std::uint64_t calls) { return 10 * calls + 100; }

std::string key(const sim::TraceEntry& entry) { return entry.object + "." + entry.operation; }

std::string utf8(const std::wstring& text) {
    try {
        return sim::toUtf8(text);
    } catch (const std::exception&) {
        return "<not printable>";
    }
}

bool startsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

using Baseline = FaultBaseline;
using Expectation = FaultExpectation;

Baseline runWithoutFault(const sim::HostData& drawing) {
    Baseline b;
    b.before = drawing;
    RunFixture run(drawing);
    run.sim.setCallObserver([&b, &run](std::uint64_t) {
        b.afterCalls.push_back(std::as_const(run.sim).data());
    });
    if (!run.start()) {
        throw std::runtime_error("the run without fault ended at start-up");
    }
    b.choice.kind = static_cast<std::int16_t>(run.form.kind.listIndex());
    b.choice.method = run.form.method.text();
    b.choice.roughness = run.form.rough.text();
    if (run.ok(b.choice) || !run.messages().empty() || run.terminator.ended != 1) {
        throw std::runtime_error("the run without fault did not complete without a message");
    }
    run.sim.setCallObserver({});
    b.afterCalls.push_back(run.drawing()); // after the last call
    b.trace = run.sim.trace();
    b.finalDrawing = run.drawing();
    b.shownAt = static_cast<std::uint64_t>(run.log.callsBefore("show"));
    b.hiddenAt = static_cast<std::uint64_t>(run.log.callsBefore("hide"));
    return b;
}

// The drawing once calls 1..n had run (n = 0: before the run).
const sim::HostData& after(const Baseline& b, std::uint64_t n) {
    return b.afterCalls.at(static_cast<std::size_t>(n));
}

std::uint64_t indexOf(const Baseline& b, const std::string& op, std::uint64_t from = 1) {
    for (std::uint64_t i = from; i <= b.trace.size(); ++i) {
        if (key(b.trace[i - 1]) == op) {
            return i;
        }
    }
    return 0;
}

class Expectations {
public:
    explicit Expectations(const Baseline& b) : b_(b) {
        sessionEnd_ = indexOf(b, "Doc.GetTitle");
        placingStart_ = indexOf(b, "App.GetUserPreferenceToggle", b.hiddenAt + 1);
        rebuild_ = indexOf(b, "Doc.EditRebuild");
        const std::uint64_t start = indexOf(b, "Extension.StartRecordingUndoObject");
        recording_ = {start - 1, start, indexOf(b, "Extension.FinishRecordingUndoObject2")};
        checkEnd_ = indexOf(b, "Doc.ClearSelection2", b.hiddenAt + 1);
        // An insertion the tool could not name is taken back: a fault between the insertion
        // and the naming leaves the drawing as it was before the insertion.
        for (const char* insert : {"Doc.InsertSurfaceFinishSymbol2", "Doc.InsertNote"}) {
            for (std::uint64_t i = indexOf(b, insert); i != 0; i = indexOf(b, insert, i + 1)) {
                const std::uint64_t named = indexOf(b, "Annotation.SetName", i + 1);
                windows_.push_back({i, named});
            }
        }
    }

    Expectation at(std::uint64_t n) const {
        const std::string op = key(b_.trace.at(static_cast<std::size_t>(n - 1)));
        if (op == "App.GetRunningCommandInfo") {
            // Passed over: the question only keeps the run from selecting inside a host command.
            return {"command", {}, false, n - 1, true};
        }
        if (n <= sessionEnd_) {
            return session(n, op);
        }
        if (n <= b_.shownAt) {
            return {"scan", {}, true, n - 1, false};
        }
        if (n <= b_.hiddenAt) {
            return {"layout", msg::kCalcError, false, n - 1, false};
        }
        if (std::find(recording_.begin(), recording_.end(), n) != recording_.end()) {
            // A host that refuses the recording gets the run as before, without a message.
            return {"recording", {}, false, 0, true};
        }
        if (n <= checkEnd_) {
            // The check before the first change: the drawing stays as it was when Ok was pressed.
            return {"check", msg::kInsertError, false, b_.hiddenAt, false};
        }
        if (n < placingStart_) {
            return {"clearing", msg::kInsertError, false, n - 1, false};
        }
        if (n < rebuild_) {
            std::uint64_t drawing = n - 1;
            for (const auto& [insert, named] : windows_) {
                if (n > insert && n <= named) {
                    drawing = insert - 1;
                }
            }
            return {"placing", msg::kInsertError, false, drawing, false};
        }
        return {"rebuild", {}, true, n - 1, false};
    }

private:
    Expectation session(std::uint64_t n, const std::string& op) const {
        if (op == "system.attach") {
            return {"connection", msg::kNoHostInstance, false, n - 1, false};
        }
        if (op == "App.ActiveDoc") {
            return {"connection", msg::kNoDocument, false, n - 1, false};
        }
        if (op == "Doc.GetFirstView" || op == "Doc.GetTitle") {
            // Passed over: the scan asks for the first view itself; the title is for the support
            // log only.
            return {"connection", {}, false, 0, true};
        }
        if (op == "Doc.GetCurrentSheet" || op == "Sheet.GetName") {
            // Passed over, so the sheet's name is unknown: the run cannot address its note or
            // its sheet and stops before changing anything.
            return {"connection", msg::kInsertError, false, 0, false};
        }
        // The type query: a document of unknown type is not taken for a drawing.
        return {"connection", {}, true, n - 1, false};
    }

    const Baseline& b_;
    std::uint64_t sessionEnd_ = 0;
    std::uint64_t placingStart_ = 0;
    std::uint64_t rebuild_ = 0;
    std::uint64_t checkEnd_ = 0; // the check's last call, the selection emptied again
    std::vector<std::uint64_t> recording_; // the extension, the start and the finish
    std::vector<std::pair<std::uint64_t, std::uint64_t>> windows_;
};

// The first line in which two listings differ, for a note.
std::string firstDifference(sim::HostData expected, sim::HostData actual) {
    // The toggles and the Undo list are checked on their own.
    expected.toggles = actual.toggles;
    expected.activeDoc->undoList.clear();
    actual.activeDoc->undoList.clear();
    std::istringstream e(sim::listAnnotations(expected));
    std::istringstream a(sim::listAnnotations(actual));
    std::string le;
    std::string la;
    while (true) {
        const bool moreE = static_cast<bool>(std::getline(e, le));
        const bool moreA = static_cast<bool>(std::getline(a, la));
        if (!moreE && !moreA) {
            return "differs outside the listing";
        }
        if (!moreE || !moreA || le != la) {
            auto trim = [](std::string s) { return s.size() > 70 ? s.substr(0, 70) + "..." : s; };
            return "expected [" + (moreE ? trim(le) : "nothing") + "], found [" +
                   (moreA ? trim(la) : "nothing") + "]";
        }
    }
}

// The Undo list aside, which the undo column judges.
bool sameDrawing(const sim::HostData& a, const sim::HostData& b) {
    sim::DocumentData left = *a.activeDoc;
    left.undoList = b.activeDoc->undoList;
    return left == *b.activeDoc;
}

// The drawing as before the run, Undo list included, the rebuild count aside.
bool asBeforeTheRun(const sim::HostData& before, const sim::HostData& d) {
    sim::DocumentData doc = *d.activeDoc;
    doc.rebuildCount = before.activeDoc->rebuildCount;
    return doc == *before.activeDoc;
}

void judgeUndo(FaultRow& row, const Baseline& b, RunFixture& run) {
    row.undoJudged = true;
    if (asBeforeTheRun(b.before, run.drawing())) {
        return; // nothing changed, and no entry made
    }
    const auto& list = run.drawing().activeDoc->undoList;
    const auto& earlier = b.before.activeDoc->undoList;
    if (list.size() != earlier.size() + 1 || list.back().name != kUndoEntryName) {
        row.undoOk = false;
        row.undoNote = std::to_string(list.size() - earlier.size()) + " entries, not one for the run";
        return;
    }
    run.sim.editUndo(1);
    row.undoOk = asBeforeTheRun(b.before, run.drawing());
    if (!row.undoOk) {
        row.undoNote = firstDifference(b.before, run.drawing());
    }
}

std::vector<const sim::SymbolData*> allSymbols(const sim::HostData& d) {
    std::vector<const sim::SymbolData*> out;
    for (const auto& sheet : d.activeDoc->sheets) {
        for (const auto& view : sheet.views) {
            for (const auto& s : view.symbols) {
                out.push_back(&s);
            }
        }
    }
    return out;
}

std::multiset<std::wstring> foreignNames(const sim::HostData& d) {
    std::multiset<std::wstring> names;
    for (const auto* s : allSymbols(d)) {
        if (!startsWith(s->name, kOwnPrefix)) {
            names.insert(s->name);
        }
    }
    return names;
}

// Why a drawing after a run without fault is not one clean set of output, or "".
std::string cleanOutputFault(const sim::HostData& original, const sim::HostData& d,
                             const sim::HostData& reference) {
    std::map<std::wstring, int> own;
    for (const auto* s : allSymbols(d)) {
        if (startsWith(s->name, kOwnPrefix)) {
            ++own[s->name];
        }
    }
    if (own[kMainName] != 1) {
        return std::to_string(own[kMainName]) + " main symbols";
    }
    for (const auto& [name, count] : own) {
        if (count > 1) {
            return utf8(name) + " placed " + std::to_string(count) + " times";
        }
    }
    int notes = 0;
    const auto& sheet = d.activeDoc->sheets.at(d.activeDoc->currentSheet);
    for (const auto& view : sheet.views) {
        notes += static_cast<int>(std::count_if(view.notes.begin(), view.notes.end(),
                                                [](const auto& n) { return n.name == kNoteName; }));
    }
    if (notes > 1) {
        return std::to_string(notes) + " notes on the sheet";
    }
    if (foreignNames(d) != foreignNames(original)) {
        return "foreign symbols lost or added";
    }
    sim::HostData expected = reference;
    expected.activeDoc->rebuildCount = d.activeDoc->rebuildCount;
    if (!sameDrawing(expected, d)) {
        return firstDifference(expected, d);
    }
    return {};
}

// Annotations the host made that neither the drawing before the run nor the tool's names account
// for: an insertion the tool could not name before the host stopped taking calls.
std::set<std::wstring> leftoverNames(const sim::HostData& original, const sim::HostData& d) {
    std::set<std::wstring> known;
    std::set<std::wstring> left;
    auto names = [](const sim::HostData& data, auto visit) {
        for (const auto& sheet : data.activeDoc->sheets) {
            for (const auto& view : sheet.views) {
                for (const auto& s : view.symbols) {
                    visit(s.name);
                }
                for (const auto& n : view.notes) {
                    visit(n.name);
                }
            }
        }
    };
    names(original, [&](const std::wstring& name) { known.insert(name); });
    names(d, [&](const std::wstring& name) {
        if (known.count(name) == 0 && !startsWith(name, kOwnPrefix) && name != kNoteName) {
            left.insert(name);
        }
    });
    return left;
}

void removeNamed(sim::HostData& d, const std::set<std::wstring>& names) {
    for (auto& sheet : d.activeDoc->sheets) {
        for (auto& view : sheet.views) {
            std::erase_if(view.symbols, [&](const auto& s) { return names.count(s.name) != 0; });
            std::erase_if(view.notes, [&](const auto& n) { return names.count(n.name) != 0; });
        }
    }
}

// A run with call n failing (or the host stopping there), until it ends.
struct FaultedRun {
    RunFixture run;
    bool goesOn = false;
    explicit FaultedRun(const sim::HostData& before) : run(before) {}
};

void runUntilEnd(FaultedRun& f, const Baseline& b) {
    const std::uint64_t budget = callBudget(b.trace.size());
    f.run.sim.setCallObserver([&f, budget](std::uint64_t call) {
        if (call > budget) {
            f.run.sim.kill();
        }
    });
    f.goesOn = f.run.start();
    if (f.goesOn) {
        f.goesOn = f.run.ok(b.choice);
    }
    f.run.sim.setCallObserver({});
}

FaultRow rowFor(const Baseline& b, const Expectation& expect, std::uint64_t n) {
    FaultRow row;
    row.call = n;
    row.operation = key(b.trace.at(static_cast<std::size_t>(n - 1)));
    row.step = expect.step;
    row.expected = expect.message;
    row.anyUnexpectedReport = expect.anyUnexpected;
    return row;
}

void judgeMessage(FaultRow& row, const Expectation& expect, const RunFixture& run) {
    const bool titled = std::all_of(run.gef.shown.begin(), run.gef.shown.end(),
                                    [](const auto& s) { return s.title == kMainCaption; });
    row.messageOk = reportsAsExpected(expect, row.shown) && titled;
    if (expect.step == "layout") {
        // Shown over the dialog, which is still there.
        row.messageOk = row.messageOk && !run.gef.shown.empty() && run.gef.shown[0].mainFormVisible;
    }
}

// The drawing a run left against the one it must leave; its toggles and rebuild count apart.
void judgeDrawing(FaultRow& row, const sim::HostData& actual, const sim::HostData& wanted,
                  const std::map<std::int32_t, bool>& toggles, std::int32_t rebuilds) {
    row.drawingOk = sameDrawing(actual, wanted);
    if (!row.drawingOk) {
        row.drawingNote = firstDifference(wanted, actual);
    }
    row.toggleOk = actual.toggles == toggles;
    row.rebuildOk = actual.activeDoc->rebuildCount == rebuilds;
}

const sim::HostData& wantedDrawing(const Baseline& b, const Expectation& expect) {
    return expect.completes ? b.finalDrawing : after(b, expect.drawingAfter);
}

// Rebuilt only by a run that completed; toggle 24 back as before the run.
void judgeFaultedDrawing(FaultRow& row, const Baseline& b, const Expectation& expect, const sim::HostData& actual) {
    judgeDrawing(row, actual, wantedDrawing(b, expect), b.before.toggles,
                 b.before.activeDoc->rebuildCount + (expect.completes ? 1 : 0));
}

// A later run without fault on the drawing left, apart from what the host kept of an insertion.
void judgeRerun(FaultRow& row, const Baseline& b, const sim::HostData& actual,
                const std::set<std::wstring>& leftovers) {
    RunFixture rerun(actual);
    const bool rerunWaits = rerun.start();
    const bool rerunGoesOn = rerunWaits && rerun.ok(b.choice);
    if (!rerunWaits || rerunGoesOn || !rerun.messages().empty()) {
        row.rerunNote = rerun.messages().empty() ? "did not complete"
                                                 : "shows " + utf8(rerun.messages().front());
    } else {
        sim::HostData result = rerun.drawing();
        removeNamed(result, leftovers);
        row.rerunNote = cleanOutputFault(b.before, result, b.finalDrawing);
    }
    row.rerunOk = row.rerunNote.empty();
}

FaultRow faultRun(const Baseline& b, const Expectations& expectations, std::uint64_t n) {
    const Expectation expect = expectations.at(n);
    FaultRow row = rowFor(b, expect, n);
    FaultedRun f(b.before);
    f.run.sim.failAtCall(n);
    runUntilEnd(f, b);
    const RunFixture& run = f.run;
    row.shown = run.messages();
    row.ended = !f.goesOn && run.terminator.ended == 1 && run.sim.callCount() <= callBudget(b.trace.size());
    judgeMessage(row, expect, run);

    const sim::HostData& actual = run.drawing();
    judgeFaultedDrawing(row, b, expect, actual);
    judgeRerun(row, b, actual, {});
    if (expect.step != "recording") {
        judgeUndo(row, b, f.run);
    }
    return row;
}

// What a run may still ask of a host that answers again after being busy: the toggle back on,
// an unnamed insertion found and taken back, and the Undo recording finished.
bool tidyCall(const sim::TraceEntry& entry) {
    static const std::set<std::string> tidying = {
        "App.SetUserPreferenceToggle", "Doc.GetFirstView", "View.GetFirstSFSymbol", "SFSymbol.GetNext",
        "SFSymbol.GetAnnotation", "Note.GetAnnotation", "Annotation.GetName", "Annotation.Select2",
        "Doc.DeleteSelection", "Extension.FinishRecordingUndoObject2", "Extension.FinishRecordingUndoObject"};
    return tidying.count(key(entry)) != 0;
}

// The host stops taking calls at call n. Hung: the run shows that one report and ends, asks the
// host nothing more, and leaves the drawing as the calls before n made it (the toggle too: it
// cannot be switched back on a host that takes no calls). Busy: the host answers again while the
// report is up, so once it is confirmed the run takes back what it owes the drawing (the toggle,
// an unnamed insertion), as after a failed call, and asks nothing else.
FaultRow stopRun(const Baseline& b, const Expectations& expectations, std::uint64_t n,
                 host::HostFailure kind) {
    Expectation expect = expectations.at(n);
    const bool busy = kind == host::HostFailure::Busy;
    expect.message = busy ? msg::kHostBusy : msg::kHostNotAnswering;
    expect.anyUnexpected = false;
    FaultRow row = rowFor(b, expect, n);
    FaultedRun f(b.before);
    f.run.sim.stopAnsweringAt(n, kind);
    if (busy) {
        f.run.gef.whileShown = [&f] { f.run.sim.clearFaults(); };
    }
    runUntilEnd(f, b);
    const RunFixture& run = f.run;
    row.shown = run.messages();
    row.ended = !f.goesOn && run.terminator.ended == 1;
    const auto& trace = run.sim.trace();
    row.quietAfter = busy ? std::all_of(trace.begin() + static_cast<std::ptrdiff_t>(std::min<std::uint64_t>(n, trace.size())),
                                        trace.end(), tidyCall)
                          : run.sim.callCount() == n;
    judgeMessage(row, expect, run);

    const sim::HostData& actual = run.drawing();
    // A busy recording call stops the run where a refused one is passed over: the drawing then
    // stays as the calls before it made it.
    const bool asFailed = busy && expect.step != "recording";
    const sim::HostData& wanted = after(b, asFailed ? expect.drawingAfter : n - 1);
    judgeDrawing(row, actual, wanted, busy ? b.before.toggles : wanted.toggles, b.before.activeDoc->rebuildCount);
    const std::set<std::wstring> leftovers = leftoverNames(b.before, actual);
    row.leftovers = leftovers.size();
    judgeRerun(row, b, actual, leftovers);
    // At most the one insertion under way when the host stopped.
    if (row.leftovers > 1) {
        row.rerunOk = false;
        row.rerunNote = std::to_string(row.leftovers) + " unnamed insertions left";
    }
    return row;
}

std::string pad(std::string text, std::size_t width) {
    // Columns count characters, not bytes.
    std::size_t chars = 0;
    for (const char c : text) {
        chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    if (chars < width) {
        text.append(width - chars, ' ');
    }
    return text;
}

std::string shownText(const FaultRow& row) {
    if (row.shown.empty()) {
        return "-";
    }
    std::string text = utf8(row.shown.front());
    if (row.anyUnexpectedReport && startsWith(row.shown.front(), msg::kUnexpectedError)) {
        text = "Unerwarteter Fehler ...";
    }
    if (row.shown.size() > 1) {
        text += " (+" + std::to_string(row.shown.size() - 1) + " more)";
    }
    return text;
}

} // namespace

template <class Pred>
std::size_t countRows(const std::vector<FaultRow>& rows, Pred pred) {
    return static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(), pred));
}

std::size_t messagesAsExpected(const std::vector<FaultRow>& rows) {
    return countRows(rows, [](const FaultRow& r) { return r.messageOk; });
}

std::size_t drawingsIntact(const std::vector<FaultRow>& rows) {
    return countRows(rows, [](const FaultRow& r) { return r.drawingOk && r.toggleOk && r.rebuildOk; });
}

std::size_t rerunsClean(const std::vector<FaultRow>& rows) {
    return countRows(rows, [](const FaultRow& r) { return r.rerunOk; });
}

std::size_t rowsOk(const std::vector<FaultRow>& rows) {
    return countRows(rows, [](const FaultRow& r) { return r.ok(); });
}

std::size_t undoJudged(const std::vector<FaultRow>& rows) {
    return countRows(rows, [](const FaultRow& r) { return r.undoJudged; });
}

std::size_t undoneInOne(const std::vector<FaultRow>& rows) {
    return countRows(rows, [](const FaultRow& r) { return r.undoJudged && r.undoOk; });
}

bool FaultTable::allOk() const {
    return rowsOk(rows) == rows.size() && rowsOk(busyRows) == busyRows.size() &&
           rowsOk(hungRows) == hungRows.size() && rows.size() == calls && busyRows.size() == calls &&
           hungRows.size() == calls;
}

std::vector<FaultExpectation> faultExpectations(const FaultBaseline& baseline) {
    const Expectations expectations(baseline);
    std::vector<FaultExpectation> all;
    for (std::uint64_t n = 1; n <= baseline.trace.size(); ++n) {
        all.push_back(expectations.at(n));
    }
    return all;
}

bool reportsAsExpected(const FaultExpectation& expect, const std::vector<std::wstring>& shown) {
    if (expect.anyUnexpected) {
        return shown.size() == 1 && startsWith(shown[0], msg::kUnexpectedError);
    }
    if (expect.message.empty()) {
        return shown.empty();
    }
    return shown == std::vector<std::wstring>{expect.message};
}

std::string drawingFault(const FaultBaseline& baseline, const FaultExpectation& expect,
                         const sim::HostData& actual) {
    FaultRow row;
    judgeFaultedDrawing(row, baseline, expect, actual);
    std::string note = row.drawingNote;
    if (!row.toggleOk) {
        note += " toggle 24";
    }
    if (!row.rebuildOk) {
        note += " rebuilt " + std::to_string(actual.activeDoc->rebuildCount - baseline.before.activeDoc->rebuildCount) +
                " times";
    }
    return note;
}

std::string outputFault(const FaultBaseline& baseline, const sim::HostData& actual) {
    return cleanOutputFault(baseline.before, actual, baseline.finalDrawing);
}

FaultTable runFaultTable(const sim::HostData& drawing) {
    const Baseline b = runWithoutFault(drawing);
    const Expectations expectations(b);
    FaultTable table;
    table.calls = b.trace.size();
    table.choice = b.choice;
    for (std::uint64_t n = 1; n <= table.calls; ++n) {
        table.rows.push_back(faultRun(b, expectations, n));
        table.busyRows.push_back(stopRun(b, expectations, n, host::HostFailure::Busy));
        table.hungRows.push_back(stopRun(b, expectations, n, host::HostFailure::Hung));
    }
    return table;
}

namespace {

// One cell of the busy or hung column: what differs from the description, or "ok".
std::string stopCell(const FaultRow& row) {
    if (row.ok()) {
        return row.leftovers == 0 ? "ok" : row.rerunOk ? "ok, kept 1" : "ok, kept 1 (!)";
    }
    std::string cell = "WRONG:";
    if (!row.ended) {
        cell += " did not end";
    }
    if (!row.messageOk) {
        cell += " shows " + shownText(row);
    }
    if (!row.quietAfter) {
        cell += " called the host again";
    }
    if (!row.drawingOk) {
        cell += " drawing " + row.drawingNote;
    }
    if (!row.toggleOk) {
        cell += " toggle 24";
    }
    if (!row.rebuildOk) {
        cell += " rebuilt";
    }
    if (!row.rerunOk) {
        cell += " re-run " + row.rerunNote;
    }
    return cell;
}

void totals(std::ostringstream& out, const char* what, const std::vector<FaultRow>& rows, std::uint64_t calls) {
    out << what << rows.size() << " of " << calls << ", messages as expected: " << messagesAsExpected(rows)
        << ", drawings intact: " << drawingsIntact(rows) << ", re-runs clean: " << rerunsClean(rows);
    const std::size_t kept = countRows(rows, [](const FaultRow& r) { return r.leftovers > 0; });
    if (kept > 0) {
        out << " (" << kept << " kept an unnamed insertion)";
    }
    out << ", rows as described: " << rowsOk(rows) << '\n';
}

} // namespace

std::string formatFaultTable(const FaultTable& table) {
    std::ostringstream out;
    out << pad("N", 5) << pad("operation", 38) << pad("step", 12) << pad("message", 54)
        << pad("drawing", 10) << pad("re-run", 8) << pad("undo 1", 8) << pad("busy past bound", 17) << "hung\n";
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        const FaultRow& row = table.rows[i];
        std::string drawing = row.drawingOk ? "intact" : "CHANGED: " + row.drawingNote;
        if (!row.toggleOk) {
            drawing += " TOGGLE 24 CHANGED";
        }
        if (!row.rebuildOk) {
            drawing += " REBUILD WRONG";
        }
        std::string message = shownText(row);
        if (!row.messageOk) {
            message = "WRONG: " + message;
        }
        if (!row.ended) {
            message += " DID NOT END";
        }
        out << pad(std::to_string(row.call), 5) << pad(row.operation, 38) << pad(row.step, 12)
            << pad(message, 54) << pad(drawing, 10)
            << pad(row.rerunOk ? std::string("clean") : "FAILED: " + row.rerunNote, 8)
            << pad(!row.undoJudged ? std::string("-") : row.undoOk ? "before" : "WRONG: " + row.undoNote, 8)
            << pad(i < table.busyRows.size() ? stopCell(table.busyRows[i]) : "-", 17)
            << (i < table.hungRows.size() ? stopCell(table.hungRows[i]) : "-") << '\n';
    }
    out << "\nkept 1: the host stopped between an insertion and its naming, and keeps that symbol or note\n"
           "(!): the next run takes it for a foreign symbol and does not end with one clean set of output\n\n";
    totals(out, "calls faulted: ", table.rows, table.calls);
    out << "one undo after the fault gives the drawing before the run: " << undoneInOne(table.rows) << " of "
        << undoJudged(table.rows) << " (the recording's own calls not judged: the run goes on without it)\n";
    totals(out, "busy past the bound: ", table.busyRows, table.calls);
    totals(out, "hung: ", table.hungRows, table.calls);
    return out.str();
}

} // namespace tvx::testing
