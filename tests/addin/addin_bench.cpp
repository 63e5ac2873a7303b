// Not a test: it prints figures. Click to filled dialog, and Ok to the end of the run, with
// Tarvenix.dll in this process playing its host, against the exe's run across processes: the same
// sequences and dialogs through the automation client against a tvx-hostserver process holding the
// same drawing. On the sample drawing and on the 2,000-symbol drawing; medians and exe/add-in.
// Last, the check after a save on each drawing as the run left it, in process.
// The add-in runs once with its support log and once with it switched off (HKCU\Software\Tarvenix
// Log = 0, in the prefix the bench runs in), to show what the log costs.
//   scripts/wine-run.sh .../addin_bench.exe [--runs N] [--big-exe-runs N] [--sample-only]
// The exe's figures leave out the start and the end of its process. With the log on, the add-in's
// record splits click to filled dialog into its parts, printed as medians; --dll measures another
// build of Tarvenix.dll with the same clock.
#include "app/sequences.h"
#include "tests/support/bench_drawings.h"
#include "tests/support/fake_ui.h"
#include "app/win32/control_ids.h"
#include "app/win32/main_form.h"
#include "app/win32/message_dialog.h"
#include "drawing/com/com_host.h"
#include "drawing/sim/drawing_file.h"
#include "tests/addin/loaded_addin.h"
#include "tests/com/server_process.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <sstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tvx {
namespace {

using addin::testing::hostPump;
using addin::testing::visibleMainForm;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A message would hold its run in a modal loop: it is closed there and the run counts as failed.
std::vector<std::wstring> messagesShown;

void CALLBACK closeMessage(HWND, UINT, UINT_PTR, DWORD) {
    const HWND message = FindWindowW(ids::kMessageDialogClass, nullptr);
    if (message != nullptr && IsWindowVisible(message)) {
        wchar_t text[512] = {};
        GetWindowTextW(GetDlgItem(message, ids::Info), text, 512);
        messagesShown.emplace_back(text);
        SendMessageW(message, WM_CLOSE, 0, 0);
    }
}

// The parts of the start-up as the run's log names them, in its order.
constexpr const char* kSplitParts[] = {"Konfiguration", "Fenster", "Bilder", "Listen", "Host-Aufrufe"};
constexpr std::size_t kSplitCount = std::size(kSplitParts);

struct Timing {
    double toDialog = 0; // ms
    double okToEnd = 0;  // ms
    std::optional<std::array<double, kSplitCount>> split; // ms, from the run's log when it was on
    std::uint64_t callsToDialog = 0, callsOk = 0; // host calls, counted on the add-in's side
    std::string drawing; // as the run left it
};

void require(bool condition, const std::string& what) {
    if (!condition) {
        throw std::runtime_error(what);
    }
}

void requireNoMessage(const char* where) {
    if (!messagesShown.empty()) {
        const std::wstring& text = messagesShown.front();
        throw std::runtime_error(std::string(where) + ": the run showed a message: " +
                                 std::string(text.begin(), text.end()));
    }
}

std::filesystem::path runLogFile() {
    wchar_t folder[MAX_PATH] = {};
    GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH);
    return std::filesystem::path(folder) / "Tarvenix" / "Tarvenix.log";
}

// The split the run's record gives ("Start bis Dialog: Konfiguration 2,10 ms, Fenster ..."), when
// the log was on.
std::optional<std::array<double, kSplitCount>> splitFromLog() {
    std::ifstream file(runLogFile(), std::ios::binary);
    std::ostringstream read;
    read << file.rdbuf();
    const std::string text = read.str();
    const std::size_t line = text.rfind("Start bis Dialog: ");
    if (line == std::string::npos) {
        return std::nullopt;
    }
    std::array<double, kSplitCount> split{};
    for (std::size_t i = 0; i < kSplitCount; ++i) {
        const std::size_t at = text.find(std::string(kSplitParts[i]) + " ", line);
        if (at == std::string::npos) {
            return std::nullopt;
        }
        std::string number = text.substr(at + std::strlen(kSplitParts[i]) + 1, 16);
        std::replace(number.begin(), number.end(), ',', '.');
        split[i] = std::strtod(number.c_str(), nullptr);
    }
    return split;
}

// One click on the add-in's command over a fresh copy of the drawing, then Ok on its dialog.
Timing addinRun(const addin::testing::LoadedAddin& loaded, const sim::HostData& drawing) {
    addin::testing::DrawingHost host(drawing);
    com::ComPtr<ISwAddin> addin = loaded.create();
    require(static_cast<bool>(addin), "no add-in object");
    VARIANT_BOOL connected = VARIANT_FALSE;
    require(addin->ConnectToSW(&host.fake.app, 7, &connected) == S_OK && connected == VARIANT_TRUE,
            "the add-in did not connect");
    messagesShown.clear();
    std::error_code ignored;
    std::filesystem::remove(runLogFile(), ignored);

    Timing timing;
    const std::uint64_t before = host.sim.callCount();
    auto start = Clock::now();
    require(host.fake.click() == 1, "the command is not enabled");
    hostPump();
    timing.toDialog = msSince(start);
    timing.callsToDialog = host.sim.callCount() - before;
    const HWND form = visibleMainForm();
    requireNoMessage("add-in, start-up");
    require(form != nullptr, "the add-in's dialog did not come up");

    start = Clock::now();
    addin::testing::press(form, ids::cmd_Ok);
    timing.okToEnd = msSince(start);
    timing.callsOk = host.sim.callCount() - before - timing.callsToDialog;
    requireNoMessage("add-in, Ok");
    require(visibleMainForm() == nullptr, "the add-in's dialog is still up after Ok");
    timing.drawing = sim::drawingToJson(std::as_const(host.sim).data());

    VARIANT_BOOL done = VARIANT_FALSE;
    addin->DisconnectFromSW(&done);
    addin.reset();
    host.fake.dropCallbacks();
    hostPump();
    // The record is on disk once the disconnection has returned.
    timing.split = splitFromLog();
    return timing;
}

// The exe's run: its dialogs in this process, its host calls through the automation client to a
// stand-in host process of its own, started before the clock.
Timing exeRun(const std::filesystem::path& folder, const sim::HostData& drawing) {
    std::filesystem::create_directories(folder / "server");
    com::testing::ServerProcess server(folder / "server", drawing, {}, false);
    messagesShown.clear();
    Timing timing;
    {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        auto start = Clock::now();
        win::Win32MainForm form(instance, folder.wstring());
        win::Win32MessageDialog gef(instance);
        testing::UiLog log;
        testing::TestTerminator terminator(log);
        com::ComConnector connector;
        Program program(form, gef, terminator, connector, folder.wstring());
        bool endedEarly = false;
        try {
            runHandler(program, Form_Load);
        } catch (const RunEnded&) {
            endedEarly = true;
        }
        hostPump();
        timing.toDialog = msSince(start);
        requireNoMessage("exe, start-up");
        require(!endedEarly && visibleMainForm() != nullptr, "the exe's dialog did not come up");

        start = Clock::now();
        try {
            runHandler(program, cmd_Ok_Click);
        } catch (const RunEnded&) {
        }
        hostPump();
        timing.okToEnd = msSince(start);
        requireNoMessage("exe, Ok");
        require(terminator.ended == 1, "the exe's run did not end");
    }
    require(server.stop("save") == 0, "the stand-in host did not save");
    timing.drawing = sim::drawingToJson(sim::loadDrawingFile(server.drawingFile()));
    return timing;
}

struct Row {
    const char* drawing;
    std::vector<Timing> addin;
    std::vector<Timing> exe;
    std::vector<Timing> addinNoLog;
};

// The support log switched off while it lives.
class LogSwitchedOff {
public:
    LogSwitchedOff() {
        const DWORD off = 0;
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Tarvenix", L"Log", REG_DWORD, &off, sizeof off);
    }
    LogSwitchedOff(const LogSwitchedOff&) = delete;
    LogSwitchedOff& operator=(const LogSwitchedOff&) = delete;
    ~LogSwitchedOff() { RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Tarvenix", L"Log"); }
};

// The first run of each side pays for what stays loaded afterwards (fonts, bitmaps, classes):
// one of each, untimed, on the sample.
void warmUp(const addin::testing::LoadedAddin& loaded, const std::filesystem::path& folder,
            const sim::HostData& sample) {
    addinRun(loaded, sample);
    exeRun(folder, sample);
}

Row measure(const char* name, const sim::HostData& drawing, int addinRuns, int exeRuns,
            const addin::testing::LoadedAddin& loaded, const std::filesystem::path& folder) {
    Row row{name, {}, {}, {}};
    // Alternating, so that neither side gets the quieter moments of a shared machine.
    for (int i = 0; i < std::max(addinRuns, exeRuns); ++i) {
        std::fprintf(stderr, "  %s, run %d (ms to dialog + Ok to end):", name, i + 1);
        if (i < addinRuns) {
            // With and without the log in turns, so that neither always follows the exe's run.
            for (int side = 0; side < 2; ++side) {
                if ((side + i) % 2 == 0) {
                    row.addin.push_back(addinRun(loaded, drawing));
                    std::fprintf(stderr, " add-in %.1f + %.1f", row.addin.back().toDialog, row.addin.back().okToEnd);
                } else {
                    const LogSwitchedOff off;
                    row.addinNoLog.push_back(addinRun(loaded, drawing));
                    std::fprintf(stderr, " (no log %.1f + %.1f)", row.addinNoLog.back().toDialog,
                                 row.addinNoLog.back().okToEnd);
                }
            }
        }
        if (i < exeRuns) {
            row.exe.push_back(exeRun(folder, drawing));
            std::fprintf(stderr, " exe %.1f + %.1f", row.exe.back().toDialog, row.exe.back().okToEnd);
        }
        std::fprintf(stderr, "\n");
    }
    return row;
}

std::vector<double> pick(const std::vector<Timing>& runs, double Timing::*field) {
    std::vector<double> values;
    for (const Timing& t : runs) {
        values.push_back(t.*field);
    }
    return values;
}

bool sameDrawings(const Row& row) {
    for (const Timing& t : row.exe) {
        if (t.drawing != row.addin.front().drawing) {
            return false;
        }
    }
    for (const auto* side : {&row.addin, &row.addinNoLog}) {
        for (const Timing& t : *side) {
            if (t.drawing != row.addin.front().drawing) {
                return false;
            }
        }
    }
    return true;
}

void print(const std::vector<Row>& rows) {
    std::printf("\nTarvenix.dll in process against the exe's run across processes (median ms)\n");
    std::printf("%-14s %-24s %11s %6s %12s %6s %12s %11s %14s %11s %18s\n", "drawing", "step", "host calls", "runs",
                "add-in", "runs", "exe", "exe/add-in", "add-in no log", "log/no log", "fastest log/no log");
    struct Step {
        const char* name;
        double Timing::*time;
        std::uint64_t Timing::*calls;
    };
    const Step steps[] = {{"click to filled dialog", &Timing::toDialog, &Timing::callsToDialog},
                          {"Ok to end", &Timing::okToEnd, &Timing::callsOk}};
    for (const Row& row : rows) {
        for (const Step& step : steps) {
            const double addin = median(pick(row.addin, step.time));
            const double exe = median(pick(row.exe, step.time));
            const double noLog = median(pick(row.addinNoLog, step.time));
            // On a shared machine the quickest run says more about the log's own cost than the median.
            const auto fastest = [&](const std::vector<Timing>& runs) {
                const std::vector<double> values = pick(runs, step.time);
                return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
            };
            const double fastestLog = fastest(row.addin);
            const double fastestNoLog = fastest(row.addinNoLog);
            std::printf("%-14s %-24s %11llu %6zu %12.1f %6zu %12.1f %11.1f %14.1f %11.2f %8.1f/%.1f ms\n", row.drawing,
                        step.name, static_cast<unsigned long long>(row.addin.front().*step.calls), row.addin.size(),
                        addin, row.exe.size(), exe, addin > 0 ? exe / addin : 0.0, noLog, noLog > 0 ? addin / noLog : 0.0,
                        fastestLog, fastestNoLog);
        }
    }
    std::printf("\nClick to filled dialog, the add-in's parts as its log gives them (median ms; the rest is the\n"
                "host's click and loop, the one-run claim and the configuration's message)\n");
    for (const Row& row : rows) {
        std::vector<std::array<double, kSplitCount>> splits;
        for (const Timing& t : row.addin) {
            if (t.split) {
                splits.push_back(*t.split);
            }
        }
        std::printf("%-14s", row.drawing);
        if (splits.empty()) {
            std::printf(" no split in the log (a build of Tarvenix.dll without it)\n");
            continue;
        }
        double parts = 0;
        for (std::size_t i = 0; i < kSplitCount; ++i) {
            std::vector<double> values;
            for (const auto& split : splits) {
                values.push_back(split[i]);
            }
            parts += median(values);
            std::printf(" %s %.1f", kSplitParts[i], median(values));
        }
        std::printf(" | rest %.1f of %.1f\n", median(pick(row.addin, &Timing::toDialog)) - parts,
                    median(pick(row.addin, &Timing::toDialog)));
    }
    for (const Row& row : rows) {
        std::printf("%s: every run left %s\n", row.drawing,
                    sameDrawings(row) ? "the same drawing" : "NOT THE SAME DRAWING in every run");
    }
}

// The check after a save, in process: the add-in connected to a host that offers the idle
// notification and the drawing's events, over the drawing a run left; each save is followed by
// the host's idle notification, and the time runs from the save's notification until the check
// has answered. Median ms and the host calls of one check.
struct CheckFigures {
    double median = 0;
    double fastest = 0;
    std::uint64_t calls = 0;
};

CheckFigures checkAfterSave(const addin::testing::LoadedAddin& loaded, const std::string& drawing, int runs) {
    addin::testing::DrawingHost host(sim::parseDrawing(drawing, "the run's drawing"));
    addin::testing::FakeAppEvents app(host.fake);
    addin::testing::FakeDrawingEvents events(host.fake);
    com::ComPtr<ISwAddin> addin = loaded.create();
    require(static_cast<bool>(addin), "no add-in object");
    VARIANT_BOOL connected = VARIANT_FALSE;
    require(addin->ConnectToSW(&host.fake.app, 7, &connected) == S_OK && connected == VARIANT_TRUE,
            "the add-in did not connect");
    hostPump();
    require(static_cast<bool>(events.sink), "the add-in did not subscribe to the drawing");
    std::vector<double> times;
    CheckFigures figures;
    for (int i = 0; i < runs + 1; ++i) {
        const std::uint64_t before = host.sim.callCount();
        const auto start = Clock::now();
        events.saved();
        app.idle();
        const double ms = msSince(start);
        figures.calls = host.sim.callCount() - before;
        if (i > 0) { // the first pays for what stays loaded
            times.push_back(ms);
        }
    }
    require(FindWindowW(ids::kStaleNoticeClass, nullptr) == nullptr, "the group of a run counts as stale");
    require(figures.calls > 0, "the check made no host call");
    VARIANT_BOOL done = VARIANT_FALSE;
    addin->DisconnectFromSW(&done);
    addin.reset();
    host.fake.dropCallbacks();
    hostPump();
    figures.median = median(times);
    figures.fastest = *std::min_element(times.begin(), times.end());
    return figures;
}

void printChecks(const std::vector<Row>& rows, const addin::testing::LoadedAddin& loaded, int runs) {
    std::printf("\nThe check after a save, in process, on the drawing the run left (median ms)\n");
    std::printf("%-14s %-24s %11s %6s %12s %12s\n", "drawing", "step", "host calls", "runs", "add-in", "fastest");
    for (const Row& row : rows) {
        const CheckFigures figures = checkAfterSave(loaded, row.addin.front().drawing, runs);
        std::printf("%-14s %-24s %11llu %6d %12.1f %12.1f\n", row.drawing, "save to checked",
                    static_cast<unsigned long long>(figures.calls), runs, figures.median, figures.fastest);
    }
}

int number(const wchar_t* text) {
    const int n = static_cast<int>(std::wcstol(text, nullptr, 10));
    if (n < 1) {
        throw std::runtime_error("a number of runs is 1 or more");
    }
    return n;
}

} // namespace
} // namespace tvx

int wmain(int argc, wchar_t** argv) {
    using namespace tvx;
    int runs = 5;
    int bigExeRuns = 2;
    bool sampleOnly = false;
    std::filesystem::path dll = com::testing::windowsPath(TVX_ADDIN_DLL);
    try {
        for (int i = 1; i < argc; ++i) {
            const std::wstring option = argv[i];
            if (option == L"--sample-only") {
                sampleOnly = true;
            } else if (option == L"--runs" && i + 1 < argc) {
                runs = number(argv[++i]);
            } else if (option == L"--dll" && i + 1 < argc) {
                dll = argv[++i];
            } else if (option == L"--big-exe-runs" && i + 1 < argc) {
                bigExeRuns = number(argv[++i]);
            } else {
                std::fprintf(stderr, "usage: addin_bench [--runs N] [--big-exe-runs N] [--sample-only] [--dll PATH]\n");
                return 2;
            }
        }
        const com::ComApartment apartment;
        const com::testing::ScratchFolder folder("addin-bench");
        // The runs' support log goes to the scratch folder, not to the prefix's user.
        std::filesystem::create_directories(folder.path() / "appdata");
        SetEnvironmentVariableW(L"LOCALAPPDATA", (folder.path() / "appdata").wstring().c_str());
        const addin::testing::LoadedAddin loaded(folder.path(), dll, com::testing::windowsPath(TVX_SOURCE_DIR));
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, &closeMessage);
        const sim::HostData sample = sim::loadDrawingFile(com::testing::windowsPath(TVX_SOURCE_DIR) / "samples" /
                                                          "sample-drawing.json");
        std::vector<Row> rows;
        // The exe's run reads the configuration and previews beside the add-in's copy.
        warmUp(loaded, loaded.folder(), sample);
        rows.push_back(measure("sample", sample, runs, runs, loaded, loaded.folder()));
        if (!sampleOnly) {
            rows.push_back(measure("2000 symbols", testing::bigDrawing(), runs, bigExeRuns, loaded, loaded.folder()));
        }
        print(rows);
        printChecks(rows, loaded, runs);
        KillTimer(nullptr, timer);
        return std::all_of(rows.begin(), rows.end(), sameDrawings) ? 0 : 3;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "addin_bench: %s\n", e.what());
        return 1;
    }
}
