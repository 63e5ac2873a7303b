// Which host call of a fault-free run belongs to which step, which of them the end-to-end fault
// runs take, and what a run with that call failing must show and leave behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tvx::e2e {

// Recording: the calls that make the run one Undo step (the extension, its start and its finish).
// Check: whether every earlier item takes the selection, before the first change.
// Command: whether a command of the host is open, asked on Ok before anything else changes.
enum class Step { Connection, Scan, Layout, Command, Check, Recording, Clearing, Placing, Rebuild };

const char* stepName(Step step);

struct Call {
    std::uint64_t n = 0; // 1-based, as the host server counts
    std::string operation;
    Step step = Step::Connection;
    // The drawing a fault here must leave is the one before this call: n itself, or the
    // insertion before it when the call falls between an insertion and its naming (an
    // insertion the program could not name is taken back).
    std::uint64_t drawingBefore = 0;

    friend bool operator==(const Call&, const Call&) = default;
};

// The operation of a trace line: `Op(args) -> result`.
std::string traceOperation(const std::string& line);

// Splits the trace of a fault-free run on a drawing into the run's steps. startupCalls is the
// number of calls made before the main dialog showed. Throws std::invalid_argument when the
// trace does not have the shape of a whole run.
std::vector<Call> classifyCalls(const std::vector<std::string>& traceLines, std::uint64_t startupCalls);

// The first call of each operation within each step, and every call of clearing and placing.
std::vector<Call> sampleCalls(const std::vector<Call>& calls);

// What the drawing must hold after the run with the fault.
enum class DrawingRule {
    BeforeCall, // exactly the changes of the calls before Call::drawingBefore
    Completed,  // the fault was passed over and the run completed
};

struct Expectation {
    std::string message; // UTF-8; empty: no message at all
    bool messageIsPrefix = false; // the generic report, followed by what failed
    bool dialogShown = true;
    DrawingRule drawing = DrawingRule::BeforeCall;
};

Expectation expectationFor(const Call& call);

// The first call of each operation: where a busy or hung host is tried.
std::vector<Call> moodCalls(const std::vector<Call>& calls);

// From the first change to the drawing to the last naming: where a host busy past the bound owes
// the run a tidy-up once it answers again. All of them, or the first call of each operation.
std::vector<Call> answerAgainCalls(const std::vector<Call>& calls, bool all);

// A host that stops taking calls at this call (busy past the bound, or hung): its one message,
// wherever it happens, and the drawing exactly as the calls before it left it.
Expectation stopExpectation(const Call& call, bool busy);

// The trace lines that are calls the host ran: without the "-- ..." lines of rejections and hangs,
// and with the host's window handle masked, since every host process has a window of its own.
std::vector<std::string> callLines(const std::vector<std::string>& traceLines);

} // namespace tvx::e2e
