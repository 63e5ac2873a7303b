// tvx-faultcheck: the plan and the verdict of the end-to-end fault runs (tests/e2e/fault_e2e.sh).
//   tvx-faultcheck plan BASE [--all]      the calls to fault: "N step operation" a line
//   tvx-faultcheck table ORIGINAL BASE RUNS
//   tvx-faultcheck moods BASE             the calls a busy or hung host is tried at
//   tvx-faultcheck mood-table ORIGINAL BASE RUNS LIMIT_MS
//   tvx-faultcheck again BASE [--all]     the calls a host busy past the bound answers again after
//   tvx-faultcheck again-table ORIGINAL BASE RUNS
// RUNS/busy-N holds the run with the host busy for a moment at call N, RUNS/past-N or RUNS/hung-N
// the one with the host busy past the program's bound or hung there: outcome.txt, drawing.json,
// trace.txt and (not for busy-N) rerun.txt; a hung run's outcome.txt also has "stopped_ms MS", the
// time from the hang to the program's end, which must stay within LIMIT_MS.
// RUNS/again-N: the host busy past the bound at call N answers again before the message is
// confirmed; with outcome.txt, drawing.json, trace.txt and rerun.txt.
// BASE holds the fault-free run: trace.txt, startup.txt (calls before the dialog showed),
// outcome.txt, drawing.json and snapshots/N.json (the drawing before call N). RUNS/N holds the
// run with call N failing: outcome.txt, drawing.json, and rerun.txt naming the folder of the
// fault-free run made on that drawing afterwards. An outcome.txt has the lines "ended 0|1",
// "dialog 0|1" and one "message TEXT" per message shown. The host runs with add-in hosting, so each
// trace.txt ends with what the program still held on host objects when the host stopped.
// Exit codes: 0 every check held, 1 a check failed, 2 unusable input.
#include "drawing/sim/drawing_file.h"
#include "tests/e2e/drawing_checks.h"
#include "tests/e2e/fault_plan.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace tvx;
using namespace tvx::e2e;

namespace {

struct Outcome {
    bool ended = false;
    bool dialog = false;
    std::vector<std::string> messages;
    long long stoppedMs = -1;
};

std::vector<std::string> readLines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + file.string());
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

Outcome readOutcome(const fs::path& folder) {
    Outcome o;
    for (const auto& line : readLines(folder / "outcome.txt")) {
        if (line == "ended 1") {
            o.ended = true;
        } else if (line == "dialog 1") {
            o.dialog = true;
        } else if (line.rfind("message ", 0) == 0) {
            o.messages.push_back(line.substr(8));
        } else if (line.rfind("stopped_ms ", 0) == 0) {
            o.stoppedMs = std::stoll(line.substr(11));
        }
    }
    return o;
}

std::vector<Call> baseCalls(const fs::path& base) {
    const auto startup = readLines(base / "startup.txt");
    if (startup.empty()) {
        throw std::runtime_error("startup.txt is empty");
    }
    return classifyCalls(callLines(readLines(base / "trace.txt")), std::stoull(startup.front()));
}

// What the program still held on host objects when the host stopped, as the host counted it: ""
// when nothing.
std::string checkReferencesLeft(const fs::path& run) {
    const std::string counted = "-- references left on host objects: ";
    for (const auto& line : readLines(run / "trace.txt")) {
        if (line.rfind(counted, 0) == 0) {
            const std::string left = line.substr(counted.size());
            return left == "0" ? std::string() : "references left: " + left;
        }
    }
    return "the host did not count the references left";
}

std::string checkFaultFreeRun(const Outcome& o) {
    if (!o.ended) {
        return "did not end";
    }
    if (!o.dialog) {
        return "no dialog";
    }
    if (!o.messages.empty()) {
        return "message \"" + o.messages.front() + "\"";
    }
    return {};
}

std::string checkMessage(const Expectation& e, const Outcome& o) {
    if (!o.ended) {
        return "did not end";
    }
    if (o.dialog != e.dialogShown) {
        return e.dialogShown ? "the dialog never showed" : "the dialog showed";
    }
    if (e.message.empty()) {
        return o.messages.empty() ? std::string() : std::to_string(o.messages.size()) + " messages, expected none";
    }
    if (o.messages.size() != 1) {
        return std::to_string(o.messages.size()) + " messages, expected one";
    }
    const std::string& got = o.messages.front();
    const bool matches = e.messageIsPrefix ? got.rfind(e.message, 0) == 0 && got.size() > e.message.size()
                                           : got == e.message;
    return matches ? std::string() : "expected \"" + e.message + (e.messageIsPrefix ? "...\"" : "\"");
}

int plan(const fs::path& base, bool all) {
    const auto calls = baseCalls(base);
    for (const auto& call : all ? calls : sampleCalls(calls)) {
        std::printf("%llu %s %s\n", static_cast<unsigned long long>(call.n), stepName(call.step), call.operation.c_str());
    }
    return 0;
}

struct Totals {
    int faulted = 0, ended = 0, messages = 0, drawings = 0, reruns = 0, released = 0;
};

int table(const fs::path& originalFile, const fs::path& base, const fs::path& runs) {
    const sim::HostData original = sim::loadDrawingFile(originalFile);
    const auto calls = baseCalls(base);
    const sim::HostData completed = sim::loadDrawingFile(base / "drawing.json");
    bool allGood = true;

    if (const std::string why = checkFaultFreeRun(readOutcome(base)) + checkOneSetOfOutput(original, completed) +
                                checkForeignKept(original, completed) + checkReferencesLeft(base);
        !why.empty()) {
        std::printf("the fault-free run itself failed: %s\n", why.c_str());
        allGood = false;
    }

    std::printf("%4s  %-10s  %-27s  %-58s  %-7s  %-6s  %s\n", "N", "step", "operation", "message", "drawing", "re-run",
                "references");
    Totals t;
    std::vector<std::string> reasons;
    for (const auto& call : calls) {
        const fs::path run = runs / std::to_string(call.n);
        if (!fs::exists(run / "outcome.txt")) {
            continue;
        }
        ++t.faulted;
        const Expectation e = expectationFor(call);
        const Outcome o = readOutcome(run);
        t.ended += o.ended ? 1 : 0;

        const std::string messageWhy = checkMessage(e, o);
        std::string referencesWhy;
        try {
            referencesWhy = checkReferencesLeft(run);
        } catch (const std::exception& ex) {
            referencesWhy = ex.what();
        }
        std::string drawingWhy;
        std::string rerunWhy;
        std::optional<sim::HostData> after;
        try {
            after = sim::loadDrawingFile(run / "drawing.json");
            const sim::HostData expected =
                e.drawing == DrawingRule::Completed
                    ? completed
                    : sim::loadDrawingFile(base / "snapshots" / (std::to_string(call.drawingBefore) + ".json"));
            drawingWhy = compareDrawings(expected, *after);
            if (drawingWhy.empty()) {
                drawingWhy = compareToggles(original, *after);
            }
        } catch (const std::exception& ex) {
            drawingWhy = ex.what();
        }
        try {
            const auto rerunFolder = readLines(run / "rerun.txt");
            if (rerunFolder.empty()) {
                throw std::runtime_error("rerun.txt is empty");
            }
            const fs::path rerun = runs / rerunFolder.front();
            rerunWhy = checkFaultFreeRun(readOutcome(rerun));
            if (!after) {
                rerunWhy = "no drawing after the fault";
            } else if (rerunWhy.empty()) {
                const sim::HostData again = sim::loadDrawingFile(rerun / "drawing.json");
                rerunWhy = checkOneSetOfOutput(*after, again);
                if (rerunWhy.empty()) {
                    rerunWhy = checkForeignKept(original, again);
                }
            }
        } catch (const std::exception& ex) {
            rerunWhy = ex.what();
        }

        t.messages += messageWhy.empty() ? 1 : 0;
        t.drawings += drawingWhy.empty() ? 1 : 0;
        t.reruns += rerunWhy.empty() ? 1 : 0;
        t.released += referencesWhy.empty() ? 1 : 0;
        const std::string shown = o.messages.empty() ? "-" : o.messages.front();
        std::printf("%4llu  %-10s  %-27s  %-58s  %-7s  %-6s  %s\n", static_cast<unsigned long long>(call.n),
                    stepName(call.step), call.operation.c_str(), (messageWhy.empty() ? shown : "FAIL " + shown).c_str(),
                    drawingWhy.empty() ? "ok" : "FAIL", rerunWhy.empty() ? "ok" : "FAIL",
                    referencesWhy.empty() ? "none" : "FAIL");
        const std::string label = std::to_string(call.n) + " " + call.operation + ": ";
        for (const std::string& why : {messageWhy, drawingWhy, rerunWhy, referencesWhy}) {
            if (!why.empty()) {
                reasons.push_back(label + why);
            }
        }
    }
    for (const auto& r : reasons) {
        std::printf("FAIL %s\n", r.c_str());
    }
    std::printf("calls faulted %d of %zu; ended by themselves %d; messages as expected %d; drawings intact %d; "
                "re-runs clean %d; no reference left %d\n",
                t.faulted, calls.size(), t.ended, t.messages, t.drawings, t.reruns, t.released);
    allGood = allGood && t.faulted > 0 && reasons.empty();
    return allGood ? 0 : 1;
}

// The fault-free run made on the drawing a run left, held against that drawing.
std::string checkRerun(const fs::path& runs, const fs::path& run, const sim::HostData& original,
                       const sim::HostData& after) {
    const auto rerunFolder = readLines(run / "rerun.txt");
    if (rerunFolder.empty()) {
        return "rerun.txt is empty";
    }
    const fs::path rerun = runs / rerunFolder.front();
    std::string why = checkFaultFreeRun(readOutcome(rerun));
    if (why.empty()) {
        const sim::HostData again = sim::loadDrawingFile(rerun / "drawing.json");
        why = checkOneSetOfOutput(after, again);
        if (why.empty()) {
            why = checkForeignKept(original, again);
        }
    }
    return why;
}

// Busy for a moment at call n: the run completes as the fault-free one did, and the host ran
// every call once, in the same order, the rejected one after its rejections.
std::string checkBusyShort(const fs::path& run, const std::vector<std::string>& baseTrace,
                           const sim::HostData& original, const sim::HostData& completed, int& rejected) {
    std::string why = checkFaultFreeRun(readOutcome(run));
    const auto trace = readLines(run / "trace.txt");
    rejected = static_cast<int>(std::count_if(trace.begin(), trace.end(),
                                              [](const std::string& l) { return l.rfind("-- busy", 0) == 0; }));
    if (why.empty() && rejected == 0) {
        why = "the host rejected nothing";
    }
    if (why.empty() && callLines(trace) != baseTrace) {
        why = "the host's calls differ from the fault-free run's";
    }
    if (why.empty()) {
        const sim::HostData after = sim::loadDrawingFile(run / "drawing.json");
        why = compareDrawings(completed, after) + compareToggles(original, after);
    }
    return why.empty() ? checkReferencesLeft(run) : why;
}

// Stopped at call n: the one message, no call the host ran from n on, the drawing (toggle 24
// included) exactly as before call n, a clean re-run.
std::string checkStopped(const fs::path& runs, const fs::path& base, const Call& call, bool busy,
                         const sim::HostData& original, long long limitMs) {
    const fs::path run = runs / ((busy ? "past-" : "hung-") + std::to_string(call.n));
    const Outcome o = readOutcome(run);
    std::string why = checkMessage(stopExpectation(call, busy), o);
    if (!why.empty()) {
        return why;
    }
    if (callLines(readLines(run / "trace.txt")).size() != call.n - 1) {
        return "the host ran calls from the stopped one on";
    }
    if (!busy && (o.stoppedMs < 0 || o.stoppedMs > limitMs)) {
        return "ended " + std::to_string(o.stoppedMs) + " ms after the hang, limit " + std::to_string(limitMs);
    }
    const sim::HostData before = sim::loadDrawingFile(base / "snapshots" / (std::to_string(call.n) + ".json"));
    const sim::HostData after = sim::loadDrawingFile(run / "drawing.json");
    why = compareDrawings(before, after) + compareToggles(before, after);
    // A busy host still takes its references back; a hung one never can be told.
    if (why.empty() && busy) {
        why = checkReferencesLeft(run);
    }
    return why.empty() ? checkRerun(runs, run, original, after) : why;
}

// Busy past the bound at call n, answering again before the user confirms: the busy message, then
// what the run owed the drawing taken back: the drawing as a failed call there leaves it (an
// unnamed insertion taken back), toggle 24 as before the run, and a clean re-run.
std::string checkAnsweredAgain(const fs::path& runs, const fs::path& base, const Call& call,
                               const sim::HostData& original) {
    const fs::path run = runs / ("again-" + std::to_string(call.n));
    std::string why = checkMessage(stopExpectation(call, true), readOutcome(run));
    if (!why.empty()) {
        return why;
    }
    const sim::HostData expected =
        sim::loadDrawingFile(base / "snapshots" / (std::to_string(call.drawingBefore) + ".json"));
    const sim::HostData after = sim::loadDrawingFile(run / "drawing.json");
    why = compareDrawings(expected, after) + compareToggles(original, after) + checkReferencesLeft(run);
    return why.empty() ? checkRerun(runs, run, original, after) : why;
}

int againTable(const fs::path& originalFile, const fs::path& base, const fs::path& runs) {
    const sim::HostData original = sim::loadDrawingFile(originalFile);
    int tried = 0, tidied = 0;
    std::vector<std::string> reasons;
    std::printf("%4s  %-10s  %-27s  %s\n", "N", "step", "operation", "busy past bound, answering again");
    for (const auto& call : answerAgainCalls(baseCalls(base), true)) {
        if (!fs::exists(runs / ("again-" + std::to_string(call.n)))) {
            continue;
        }
        ++tried;
        std::string why;
        try {
            why = checkAnsweredAgain(runs, base, call, original);
        } catch (const std::exception& ex) {
            why = ex.what();
        }
        tidied += why.empty() ? 1 : 0;
        std::printf("%4llu  %-10s  %-27s  %s\n", static_cast<unsigned long long>(call.n), stepName(call.step),
                    call.operation.c_str(), why.empty() ? "ok" : "FAIL");
        if (!why.empty()) {
            reasons.push_back(std::to_string(call.n) + " " + call.operation + ": " + why);
        }
    }
    for (const auto& r : reasons) {
        std::printf("FAIL %s\n", r.c_str());
    }
    std::printf("busy past the bound and answering again: %d tried, tidied up as described %d\n", tried, tidied);
    return tried > 0 && reasons.empty() ? 0 : 1;
}

int moodTable(const fs::path& originalFile, const fs::path& base, const fs::path& runs, long long limitMs) {
    const sim::HostData original = sim::loadDrawingFile(originalFile);
    const sim::HostData completed = sim::loadDrawingFile(base / "drawing.json");
    const auto baseTrace = callLines(readLines(base / "trace.txt"));
    const auto calls = moodCalls(baseCalls(base));
    std::printf("%4s  %-10s  %-27s  %-26s  %s\n", "N", "step", "operation", "busy short",
                "busy past bound / hung");
    int recovered = 0, past = 0, hung = 0, tried = 0, pastTried = 0, hungTried = 0;
    long long longest = -1;
    std::vector<std::string> reasons;
    const auto attempt = [](auto check) {
        try {
            return check();
        } catch (const std::exception& ex) {
            return std::string(ex.what());
        }
    };
    for (const auto& call : calls) {
        ++tried;
        int rejected = 0;
        const std::string shortWhy = attempt([&] {
            return checkBusyShort(runs / ("busy-" + std::to_string(call.n)), baseTrace, original, completed, rejected);
        });
        // Each call is tried with one of the two, in turn.
        const bool busy = fs::exists(runs / ("past-" + std::to_string(call.n)));
        const std::string stopWhy = attempt([&] { return checkStopped(runs, base, call, busy, original, limitMs); });
        long long stopped = -1;
        if (!busy) {
            try {
                stopped = readOutcome(runs / ("hung-" + std::to_string(call.n))).stoppedMs;
            } catch (const std::exception&) {
            }
            longest = std::max(longest, stopped);
        }
        recovered += shortWhy.empty() ? 1 : 0;
        (busy ? past : hung) += stopWhy.empty() ? 1 : 0;
        (busy ? pastTried : hungTried) += 1;
        const std::string shortCell =
            shortWhy.empty() ? "ok, " + std::to_string(rejected) + " rejected, run once" : "FAIL";
        const std::string stopCell = std::string(busy ? "busy: " : "hung: ") +
                                     (!stopWhy.empty() ? "FAIL"
                                      : busy           ? "ok"
                                                       : "ok, ended " + std::to_string(stopped) + " ms later");
        std::printf("%4llu  %-10s  %-27s  %-26s  %s\n", static_cast<unsigned long long>(call.n),
                    stepName(call.step), call.operation.c_str(), shortCell.c_str(), stopCell.c_str());
        const std::string label = std::to_string(call.n) + " " + call.operation;
        for (const auto& [column, why] : {std::pair{"busy short", shortWhy},
                                          std::pair{busy ? "busy past bound" : "hung", stopWhy}}) {
            if (!why.empty()) {
                reasons.push_back(label + " (" + column + "): " + why);
            }
        }
    }
    for (const auto& r : reasons) {
        std::printf("FAIL %s\n", r.c_str());
    }
    std::printf("operations tried %d: busy and recovered %d; busy past the bound as described %d of %d; hung as "
                "described %d of %d; longest time from a hung call to the program's end %lld ms\n",
                tried, recovered, past, pastTried, hung, hungTried, longest);
    return tried > 0 && reasons.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.size() >= 2 && args.size() <= 3 && args[0] == "plan" && (args.size() == 2 || args[2] == "--all")) {
            return plan(args[1], args.size() == 3);
        }
        if (args.size() == 4 && args[0] == "table") {
            return table(args[1], args[2], args[3]);
        }
        if (args.size() == 2 && args[0] == "moods") {
            for (const auto& call : moodCalls(baseCalls(args[1]))) {
                std::printf("%llu %s %s\n", static_cast<unsigned long long>(call.n), stepName(call.step),
                            call.operation.c_str());
            }
            return 0;
        }
        if (args.size() == 5 && args[0] == "mood-table") {
            return moodTable(args[1], args[2], args[3], std::stoll(args[4]));
        }
        if (args.size() >= 2 && args.size() <= 3 && args[0] == "again" && (args.size() == 2 || args[2] == "--all")) {
            for (const auto& call : answerAgainCalls(baseCalls(args[1]), args.size() == 3)) {
                std::printf("%llu %s %s\n", static_cast<unsigned long long>(call.n), stepName(call.step),
                            call.operation.c_str());
            }
            return 0;
        }
        if (args.size() == 4 && args[0] == "again-table") {
            return againTable(args[1], args[2], args[3]);
        }
        std::fputs("usage: tvx-faultcheck plan BASE [--all] | table ORIGINAL BASE RUNS | moods BASE\n"
                   "       | mood-table ORIGINAL BASE RUNS LIMIT_MS | again BASE [--all]\n"
                   "       | again-table ORIGINAL BASE RUNS\n",
                   stderr);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tvx-faultcheck: %s\n", e.what());
        return 2;
    }
}
