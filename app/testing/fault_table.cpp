#include "app/testing/fault_table.h"

#include "app/testing/run_fixture.h"
#include "drawing/messages.h"
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

// What the run without fault did, call by call.
struct Baseline {
    sim::HostData before;
    std::vector<sim::HostData> afterCalls; // [n]: the drawing once calls 1..n had run
    std::vector<sim::TraceEntry> trace;
    sim::HostData finalDrawing;
    UserChoice choice;
    std::uint64_t shownAt = 0; // calls made when the dialog was shown
    std::uint64_t hiddenAt = 0;
};

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

// What a fault at a call must lead to.
struct Expectation {
    std::string step;
    std::wstring message;        // empty: no message, the run completes
    bool anyUnexpected = false;
    std::uint64_t drawingAfter = 0; // the drawing must be the one after these calls
    bool completes = false;
};

class Expectations {
public:
    explicit Expectations(const Baseline& b) : b_(b) {
        sessionEnd_ = indexOf(b, "Sheet.GetName");
        placingStart_ = indexOf(b, "App.GetUserPreferenceToggle", b.hiddenAt + 1);
        rebuild_ = indexOf(b, "Doc.EditRebuild");
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
        if (n <= sessionEnd_) {
            return session(n, op);
        }
        if (n <= b_.shownAt) {
            return {"scan", {}, true, n - 1, false};
        }
        if (n <= b_.hiddenAt) {
            return {"layout", msg::kCalcError, false, n - 1, false};
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
        if (op == "Doc.GetFirstView") {
            // Passed over: the scan asks for the first view itself.
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
    std::vector<std::pair<std::uint64_t, std::uint64_t>> windows_;
};

// The first line in which two listings differ, for a note.
std::string firstDifference(sim::HostData expected, sim::HostData actual) {
    // The toggles are checked on their own.
    expected.toggles = actual.toggles;
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

bool sameDrawing(const sim::HostData& a, const sim::HostData& b) { return a.activeDoc == b.activeDoc; }

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
std::string outputFault(const sim::HostData& original, const sim::HostData& d,
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

// A run with call n failing, held against the expectation.
FaultRow faultRun(const Baseline& b, const Expectations& expectations, std::uint64_t n) {
    const Expectation expect = expectations.at(n);
    FaultRow row;
    row.call = n;
    row.operation = key(b.trace.at(static_cast<std::size_t>(n - 1)));
    row.step = expect.step;
    row.expected = expect.message;
    row.anyUnexpectedReport = expect.anyUnexpected;

    RunFixture run(b.before);
    run.sim.failAtCall(n);
    const std::uint64_t budget = callBudget(b.trace.size());
    run.sim.setCallObserver([&run, budget](std::uint64_t call) {
        if (call > budget) {
            run.sim.kill();
        }
    });
    bool goesOn = run.start();
    if (goesOn) {
        goesOn = run.ok(b.choice);
    }
    run.sim.setCallObserver({});
    row.shown = run.messages();
    row.ended = !goesOn && run.terminator.ended == 1 && run.sim.callCount() <= budget;

    const bool titled = std::all_of(run.gef.shown.begin(), run.gef.shown.end(),
                                    [](const auto& s) { return s.title == kMainCaption; });
    if (expect.anyUnexpected) {
        row.messageOk = row.shown.size() == 1 && startsWith(row.shown[0], msg::kUnexpectedError);
    } else if (expect.message.empty()) {
        row.messageOk = row.shown.empty();
    } else {
        row.messageOk = row.shown == std::vector<std::wstring>{expect.message};
    }
    row.messageOk = row.messageOk && titled;
    if (expect.step == "layout") {
        // Shown over the dialog, which is still there.
        row.messageOk = row.messageOk && !run.gef.shown.empty() && run.gef.shown[0].mainFormVisible;
    }

    const sim::HostData& actual = run.drawing();
    const sim::HostData& wanted = expect.completes ? b.finalDrawing : after(b, expect.drawingAfter);
    row.drawingOk = sameDrawing(actual, wanted);
    if (!row.drawingOk) {
        row.drawingNote = firstDifference(wanted, actual);
    }
    row.toggleOk = actual.toggles == b.before.toggles;
    const std::int32_t rebuilt = actual.activeDoc->rebuildCount - b.before.activeDoc->rebuildCount;
    row.rebuildOk = rebuilt == (expect.completes ? 1 : 0);

    RunFixture rerun(actual);
    const bool rerunWaits = rerun.start();
    const bool rerunGoesOn = rerunWaits && rerun.ok(b.choice);
    if (!rerunWaits || rerunGoesOn || !rerun.messages().empty()) {
        row.rerunNote = rerun.messages().empty() ? "did not complete"
                                                 : "shows " + utf8(rerun.messages().front());
    } else {
        row.rerunNote = outputFault(b.before, rerun.drawing(), b.finalDrawing);
    }
    row.rerunOk = row.rerunNote.empty();
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

std::size_t FaultTable::messagesAsExpected() const {
    return static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [](const FaultRow& r) { return r.messageOk; }));
}

std::size_t FaultTable::drawingsIntact() const {
    return static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(), [](const FaultRow& r) {
        return r.drawingOk && r.toggleOk && r.rebuildOk;
    }));
}

std::size_t FaultTable::rerunsClean() const {
    return static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [](const FaultRow& r) { return r.rerunOk; }));
}

std::size_t FaultTable::rowsOk() const {
    return static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [](const FaultRow& r) { return r.ok(); }));
}

FaultTable runFaultTable(const sim::HostData& drawing) {
    const Baseline b = runWithoutFault(drawing);
    const Expectations expectations(b);
    FaultTable table;
    table.calls = b.trace.size();
    table.choice = b.choice;
    for (std::uint64_t n = 1; n <= table.calls; ++n) {
        table.rows.push_back(faultRun(b, expectations, n));
    }
    return table;
}

std::string formatFaultTable(const FaultTable& table) {
    std::ostringstream out;
    out << pad("N", 5) << pad("operation", 34) << pad("step", 12) << pad("message", 54)
        << pad("drawing", 10) << "re-run\n";
    for (const FaultRow& row : table.rows) {
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
        out << pad(std::to_string(row.call), 5) << pad(row.operation, 34) << pad(row.step, 12)
            << pad(message, 54) << pad(drawing, 10)
            << (row.rerunOk ? std::string("clean") : "FAILED: " + row.rerunNote) << '\n';
    }
    out << "\ncalls faulted: " << table.rows.size() << " of " << table.calls
        << ", messages as expected: " << table.messagesAsExpected()
        << ", drawings intact: " << table.drawingsIntact()
        << ", re-runs clean: " << table.rerunsClean()
        << ", rows as described: " << table.rowsOk() << '\n';
    return out.str();
}

} // namespace tvx::testing
