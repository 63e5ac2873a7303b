// Whole runs over the stand-in host: a drawing of 20 views and 2,000 symbols (five distinct
// foreign keys, the rest duplicates), without and with an earlier run's output; the sample
// drawing; and a sheet whose own view holds 36 symbols, where the walks of placing weigh most. Last,
// the check after a save on the sample and the 2,000 symbols as a run left them.
// Reports host calls per run, the time per run, and how the run's own time compares with the
// host's.
//
// The timed run talks to the stand-in directly. A second run of the same drawing, untimed, goes
// through a decorator that adds up the time inside the host's calls (less the clock's own share
// per call); the run's own time is the first run's time less that.
#include "app/sequences.h"
#include "drawing/sim/drawing_file.h"
#include "drawing/sim/sim_host.h"
#include "drawing/stale_check.h"
#include "layout/positions.h"
#include "layout/table_measurer.h"
#include "timing_host.h"

#include "tests/support/fake_ui.h"
#include "tests/support/run_fixture.h"
#include "tests/support/bench_drawings.h"
#include "../tests/drawing/drawing_builders.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

namespace tvx::bench {
namespace {

using SteadyClock = std::chrono::steady_clock;

const testing::UserChoice kChoice{1, L"geschliffen", L"1,6"};

using testing::bigDrawing;
using testing::foreignSymbol;

// 36 symbols on the sheet itself and no drawing views.
sim::HostData crowdedSheet() {
    std::vector<sim::SymbolData> onSheet;
    for (int i = 0; i < 36; ++i) {
        onSheet.push_back(foreignSymbol(i));
    }
    return testing::drawingWith(std::move(onSheet));
}

const std::wstring& configFolder() {
    static const std::wstring folder = [] {
        const auto dir = std::filesystem::temp_directory_path() / "tvx-run-bench";
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "Tarvenix.txt", std::ios::binary) << testing::configText();
        return dir.wstring();
    }();
    return folder;
}

// One process's worth of program over the stand-in, with the host's time taken apart.
struct Harness {
    sim::SimHost sim;
    HostClock clock;
    std::unique_ptr<host::Connector> connector;
    testing::UiLog log;
    testing::FakeMainForm form;
    testing::FakeMessageDialog gef;
    testing::TestTerminator terminator;
    Program program;

    Harness(sim::HostData drawing, bool timeTheHost)
        : sim(std::move(drawing)),
          connector(timeTheHost ? timingConnector(sim.connector(), clock) : nullptr), form(log),
          gef(log, form), terminator(log),
          program(form, gef, terminator, connector ? *connector : sim.connector(), configFolder()) {
        sim.setTracing(false);
    }

    // Start-up, the user's choice, OK; true when the run placed its output without a message.
    bool run() {
        const std::int32_t rebuilt = std::as_const(sim).data().activeDoc->rebuildCount;
        try {
            runHandler(program, Form_Load);
            testing::playChoice(form, kChoice);
            runHandler(program, cmd_Ok_Click);
        } catch (const RunEnded&) {
        }
        return gef.shown.empty() && std::as_const(sim).data().activeDoc->rebuildCount == rebuilt + 1;
    }
};

const sim::HostData& drawingWithEarlierOutput() {
    static const sim::HostData drawing = [] {
        Harness first(bigDrawing(), false);
        first.run();
        return std::as_const(first.sim).data();
    }();
    return drawing;
}

void wholeRun(benchmark::State& state, const sim::HostData& drawing) {
    static const double clockShareNs = static_cast<double>(emptyCallTime().count());
    double totalNs = 0.0;
    double hostNs = 0.0;
    double calls = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        auto harness = std::make_unique<Harness>(drawing, false);
        state.ResumeTiming();
        const auto start = SteadyClock::now();
        const bool placed = harness->run();
        const auto end = SteadyClock::now();
        state.PauseTiming();
        Harness timedHost(drawing, true);
        if (!placed || !timedHost.run()) {
            state.SkipWithError("the run did not place its output");
            break;
        }
        const auto hostCalls = static_cast<double>(timedHost.clock.calls);
        totalNs += static_cast<double>(std::chrono::nanoseconds(end - start).count());
        hostNs += static_cast<double>(timedHost.clock.inHost.count()) - hostCalls * clockShareNs;
        calls += static_cast<double>(harness->sim.callCount());
        harness.reset();
        state.ResumeTiming();
    }
    const auto n = static_cast<double>(state.iterations());
    if (n > 0.0) {
        state.counters["host_calls"] = calls / n;
    }
    if (n > 0.0 && hostNs > 0.0) {
        state.counters["clock_ns"] = clockShareNs;
        state.counters["host_ms"] = hostNs / n / 1e6;
        state.counters["own_ms"] = (totalNs - hostNs) / n / 1e6;
        state.counters["own_per_host"] = (totalNs - hostNs) / hostNs;
    }
}

// The register and the layout alone, for the same 2,000 symbols: what the run adds of its own
// beyond handling the host's answers.
void BM_RegisterAndLayout(benchmark::State& state) {
    const sim::HostData drawing = bigDrawing();
    std::vector<const sim::SymbolData*> all;
    for (const auto& view : drawing.activeDoc->sheets[0].views) {
        for (const auto& symbol : view.symbols) {
            all.push_back(&symbol);
        }
    }
    sim::SimHost sim(testing::drawingWith({}));
    sim.setTracing(false);
    const host::DocRef doc = sim.connector().attach(host::kHostClassName)->ActiveDoc();
    const Config cfg = [] {
        Config c;
        c.cfgCornerX = {0.8, 0.6, 0.45, 0.4, 0.2};
        c.cfgBracketPad = 0.002;
        c.cfgSymbolWidth = 0.01;
        c.cfgSymbolGap = 0.003;
        c.cfgWidthFactor = 1.0;
        return c;
    }();
    TableMeasurer surface = bracketExampleMeasurer();
    surface.setRecording(false);
    for (auto _ : state) {
        SymbolRegister symbols;
        for (const sim::SymbolData* s : all) {
            const std::wstring& roughness = s->texts.count(5) ? s->texts.at(5) : std::wstring();
            const std::wstring& method = s->texts.count(2) ? s->texts.at(2) : std::wstring();
            if (symbols.findSymbol(s->symbolType, roughness, method) == -1) {
                symbols.appendOther(s->symbolType, roughness, method);
            }
        }
        symbols.slots[0] = SymbolSlot{kMainSlotId, L"1,6", L"geschliffen", 0, 1, 0, 0};
        symbols.removeMainTwin();
        LayoutResult result;
        computeLayout(surface, cfg, doc, symbols, result);
        benchmark::DoNotOptimize(result);
    }
}

// The check after a save on the drawing a run has just left (so it reads the whole group and
// finds it current), straight on the stand-in: the add-in's own share of it, without the
// automation calls across which it runs in the host.
void groupCheck(benchmark::State& state, const sim::HostData& drawing) {
    Harness harness(drawing, false);
    if (!harness.run()) {
        state.SkipWithError("the run did not place its output");
        return;
    }
    const host::DocRef doc = harness.sim.connector().attach(host::kHostClassName)->ActiveDoc();
    const std::uint64_t before = harness.sim.callCount();
    for (auto _ : state) {
        const GroupCheck check = checkGroup(doc);
        if (check.state != GroupState::Current) {
            state.SkipWithError("the group a run left does not count as current");
            break;
        }
    }
    const auto n = static_cast<double>(state.iterations());
    if (n > 0.0) {
        state.counters["host_calls"] = static_cast<double>(harness.sim.callCount() - before) / n;
    }
}

void BM_FirstRun(benchmark::State& state) { wholeRun(state, bigDrawing()); }
void BM_Rerun(benchmark::State& state) { wholeRun(state, drawingWithEarlierOutput()); }
void BM_SampleDrawing(benchmark::State& state) {
    wholeRun(state, sim::loadDrawingFile(TVX_SAMPLES_DIR "/sample-drawing.json"));
}
void BM_CrowdedSheet(benchmark::State& state) { wholeRun(state, crowdedSheet()); }
void BM_CheckAfterSaveSample(benchmark::State& state) {
    groupCheck(state, sim::loadDrawingFile(TVX_SAMPLES_DIR "/sample-drawing.json"));
}
void BM_CheckAfterSaveBig(benchmark::State& state) { groupCheck(state, bigDrawing()); }

BENCHMARK(BM_RegisterAndLayout)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstRun)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rerun)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SampleDrawing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CrowdedSheet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckAfterSaveSample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckAfterSaveBig)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tvx::bench

BENCHMARK_MAIN();
