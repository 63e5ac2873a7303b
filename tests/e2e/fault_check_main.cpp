// tvx-faultcheck: the plan and the verdict of the end-to-end fault runs (tests/e2e/fault_e2e.sh).
//   tvx-faultcheck plan BASE [--all]      the calls to fault: "N step operation" a line
//   tvx-faultcheck table ORIGINAL BASE RUNS
// BASE holds the fault-free run: trace.txt, startup.txt (calls before the dialog showed),
// outcome.txt, drawing.json and snapshots/N.json (the drawing before call N). RUNS/N holds the
// run with call N failing: outcome.txt, drawing.json, and rerun.txt naming the folder of the
// fault-free run made on that drawing afterwards. An outcome.txt has the lines "ended 0|1",
// "dialog 0|1" and one "message TEXT" per message shown.
// Exit codes: 0 every check held, 1 a check failed, 2 unusable input.
#include "drawing/sim/drawing_file.h"
#include "tests/e2e/drawing_checks.h"
#include "tests/e2e/fault_plan.h"

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
        }
    }
    return o;
}

std::vector<Call> baseCalls(const fs::path& base) {
    const auto startup = readLines(base / "startup.txt");
    if (startup.empty()) {
        throw std::runtime_error("startup.txt is empty");
    }
    return classifyCalls(readLines(base / "trace.txt"), std::stoull(startup.front()));
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
    int faulted = 0, ended = 0, messages = 0, drawings = 0, reruns = 0;
};

int table(const fs::path& originalFile, const fs::path& base, const fs::path& runs) {
    const sim::HostData original = sim::loadDrawingFile(originalFile);
    const auto calls = baseCalls(base);
    const sim::HostData completed = sim::loadDrawingFile(base / "drawing.json");
    bool allGood = true;

    if (const std::string why = checkFaultFreeRun(readOutcome(base)) + checkOneSetOfOutput(original, completed) +
                                checkForeignKept(original, completed);
        !why.empty()) {
        std::printf("the fault-free run itself failed: %s\n", why.c_str());
        allGood = false;
    }

    std::printf("%4s  %-10s  %-27s  %-58s  %-7s  %s\n", "N", "step", "operation", "message", "drawing", "re-run");
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
        const std::string shown = o.messages.empty() ? "-" : o.messages.front();
        std::printf("%4llu  %-10s  %-27s  %-58s  %-7s  %s\n", static_cast<unsigned long long>(call.n),
                    stepName(call.step), call.operation.c_str(), (messageWhy.empty() ? shown : "FAIL " + shown).c_str(),
                    drawingWhy.empty() ? "ok" : "FAIL", rerunWhy.empty() ? "ok" : "FAIL");
        const std::string label = std::to_string(call.n) + " " + call.operation + ": ";
        for (const std::string& why : {messageWhy, drawingWhy, rerunWhy}) {
            if (!why.empty()) {
                reasons.push_back(label + why);
            }
        }
    }
    for (const auto& r : reasons) {
        std::printf("FAIL %s\n", r.c_str());
    }
    std::printf("calls faulted %d of %zu; ended by themselves %d; messages as expected %d; drawings intact %d; "
                "re-runs clean %d\n",
                t.faulted, calls.size(), t.ended, t.messages, t.drawings, t.reruns);
    allGood = allGood && t.faulted > 0 && reasons.empty();
    return allGood ? 0 : 1;
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
        std::fputs("usage: tvx-faultcheck plan BASE [--all] | table ORIGINAL BASE RUNS\n", stderr);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tvx-faultcheck: %s\n", e.what());
        return 2;
    }
}
