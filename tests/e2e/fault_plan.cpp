#include "tests/e2e/fault_plan.h"

#include "drawing/messages.h"
#include "drawing/sim/utf8.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <stdexcept>
#include <utility>

namespace tvx::e2e {

const char* stepName(Step step) {
    switch (step) {
    case Step::Connection: return "connection";
    case Step::Scan: return "scan";
    case Step::Layout: return "layout";
    case Step::Command: return "command";
    case Step::Check: return "check";
    case Step::Recording: return "recording";
    case Step::Clearing: return "clearing";
    case Step::Placing: return "placing";
    case Step::Rebuild: return "rebuild";
    }
    return "?";
}

std::string traceOperation(const std::string& line) {
    const std::size_t open = line.find('(');
    return open == std::string::npos ? std::string() : line.substr(0, open);
}

std::vector<Call> classifyCalls(const std::vector<std::string>& traceLines, std::uint64_t startupCalls) {
    std::vector<std::string> ops;
    for (const auto& line : traceLines) {
        ops.push_back(traceOperation(line));
        if (ops.back().empty()) {
            throw std::invalid_argument("not a trace line: " + line);
        }
        if (line.find(" -> FAILED ") != std::string::npos) {
            throw std::invalid_argument("the run was not fault-free: " + line);
        }
    }
    const std::size_t total = ops.size();
    if (startupCalls == 0 || startupCalls >= total || ops.back() != "EditRebuild") {
        throw std::invalid_argument("the trace is not one whole run ending in EditRebuild");
    }
    // The connection ends with the sheet's name and the drawing's title; the scan asks for names
    // only after a symbol.
    const auto sheetName = std::find(ops.begin(), ops.end(), "GetName");
    const auto clearingStart = std::find(ops.begin() + static_cast<std::ptrdiff_t>(startupCalls), ops.end(), "Extension");
    const auto placingStart = std::find(clearingStart, ops.end(), "GetUserPreferenceToggle");
    // The check before the first change ends by emptying the selection.
    const auto checkEnd = std::find(clearingStart, placingStart, "ClearSelection2");
    if (sheetName == ops.end() || static_cast<std::uint64_t>(sheetName - ops.begin()) >= startupCalls ||
        clearingStart == ops.end() || placingStart == ops.end()) {
        throw std::invalid_argument("the trace lacks the sheet name, the clearing or the placing");
    }
    const auto title = sheetName + 1 != ops.end() && sheetName[1] == "GetTitle" ? sheetName + 1 : sheetName;
    const auto connectionEnd = static_cast<std::size_t>(title - ops.begin()) + 1;
    const auto clearingBegin = static_cast<std::size_t>(clearingStart - ops.begin());
    const auto placingBegin = static_cast<std::size_t>(placingStart - ops.begin());
    const auto checkLast = checkEnd == placingStart ? clearingBegin : static_cast<std::size_t>(checkEnd - ops.begin()) + 1;

    std::vector<Call> calls;
    std::uint64_t openInsertion = 0;
    for (std::size_t i = 0; i < total; ++i) {
        Step step = Step::Placing;
        if (i < connectionEnd) {
            step = Step::Connection;
        } else if (i < startupCalls) {
            step = Step::Scan;
        } else if (i < clearingBegin) {
            step = Step::Layout;
        } else if (i < checkLast) {
            step = Step::Check;
        } else if (i < placingBegin) {
            step = Step::Clearing;
        } else if (i + 1 == total) {
            step = Step::Rebuild;
        }
        const bool startsRecording = ops[i] == "Extension" && i + 1 < total && ops[i + 1] == "StartRecordingUndoObject";
        if (startsRecording || ops[i] == "StartRecordingUndoObject" || ops[i] == "FinishRecordingUndoObject2") {
            step = Step::Recording;
        }
        if (ops[i] == "GetRunningCommandInfo") {
            step = Step::Command;
        }
        const std::uint64_t n = i + 1;
        if (step == Step::Placing && (ops[i] == "InsertSurfaceFinishSymbol2" || ops[i] == "InsertNote")) {
            openInsertion = n;
        }
        calls.push_back(Call{n, ops[i], step, openInsertion != 0 ? openInsertion : n});
        if (ops[i] == "SetName") {
            openInsertion = 0;
        }
    }
    return calls;
}

std::vector<Call> sampleCalls(const std::vector<Call>& calls) {
    std::set<std::pair<Step, std::string>> seen;
    std::vector<Call> sample;
    for (const auto& call : calls) {
        const bool everyCall = call.step == Step::Clearing || call.step == Step::Placing;
        if (seen.insert({call.step, call.operation}).second || everyCall) {
            sample.push_back(call);
        }
    }
    return sample;
}

std::vector<Call> moodCalls(const std::vector<Call>& calls) {
    std::set<std::string> seen;
    std::vector<Call> sample;
    for (const auto& call : calls) {
        if (seen.insert(call.operation).second) {
            sample.push_back(call);
        }
    }
    return sample;
}

std::vector<Call> answerAgainCalls(const std::vector<Call>& calls, bool all) {
    std::uint64_t lastNaming = 0;
    for (const auto& call : calls) {
        if (call.step == Step::Placing && call.operation == "SetName") {
            lastNaming = call.n;
        }
    }
    std::set<std::string> seen;
    std::vector<Call> sample;
    for (const auto& call : calls) {
        const bool changing = call.step == Step::Clearing || call.step == Step::Placing;
        if (changing && call.n <= lastNaming && (all || seen.insert(call.operation).second)) {
            sample.push_back(call);
        }
    }
    return sample;
}

Expectation stopExpectation(const Call& call, bool busy) {
    Expectation e;
    e.message = sim::toUtf8(busy ? msg::kHostBusy : msg::kHostNotAnswering);
    e.dialogShown = call.step != Step::Connection && call.step != Step::Scan;
    e.drawing = DrawingRule::BeforeCall;
    return e;
}

std::vector<std::string> callLines(const std::vector<std::string>& traceLines) {
    static const std::string windowAnswer = "GetHWnd() -> I4 ";
    std::vector<std::string> lines;
    for (const std::string& line : traceLines) {
        if (line.rfind("-- ", 0) == 0) {
            continue;
        }
        lines.push_back(line.rfind(windowAnswer, 0) == 0 ? windowAnswer + "<window>" : line);
    }
    return lines;
}

Expectation expectationFor(const Call& call) {
    const auto utf8 = [](const wchar_t* text) { return sim::toUtf8(text); };
    Expectation e;
    switch (call.step) {
    case Step::Connection:
        e.dialogShown = false;
        if (call.operation == "ActiveDoc") {
            e.message = utf8(msg::kNoDocument);
        } else if (call.operation == "RevisionNumber" || call.operation == "Frame" || call.operation == "GetHWnd") {
            // Passed over: without the revision the log calls it unknown; without the host's
            // window the dialog opens on the primary monitor.
            e.dialogShown = true;
            e.drawing = DrawingRule::Completed;
        } else if (call.operation == "GetFirstView" || call.operation == "GetTitle") {
            // Passed over: the scan asks for the first view again; the title is for the support
            // log only.
            e.dialogShown = true;
            e.drawing = DrawingRule::Completed;
        } else if (call.operation == "GetCurrentSheet" || call.operation == "GetName") {
            // Passed over, leaving the sheet's name unknown: the run stops before it changes
            // anything, since neither the old note nor the sheet can be addressed.
            e.dialogShown = true;
            e.message = utf8(msg::kInsertError);
        } else {
            e.message = utf8(msg::kUnexpectedError);
            e.messageIsPrefix = true;
        }
        break;
    case Step::Scan:
        e.dialogShown = false;
        e.message = utf8(msg::kUnexpectedError);
        e.messageIsPrefix = true;
        break;
    case Step::Layout: e.message = utf8(msg::kCalcError); break;
    case Step::Command:
        // A host that does not answer the question is passed over, as one without the call.
    case Step::Recording:
        // A host that refuses the recording gets the run as before, without a message.
        e.drawing = DrawingRule::Completed;
        break;
    case Step::Check:
    case Step::Clearing:
    case Step::Placing: e.message = utf8(msg::kInsertError); break;
    case Step::Rebuild:
        e.message = utf8(msg::kUnexpectedError);
        e.messageIsPrefix = true;
        break;
    }
    return e;
}

} // namespace tvx::e2e
