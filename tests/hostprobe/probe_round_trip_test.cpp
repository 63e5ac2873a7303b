// The probe against the stand-in host server in its answer forms and name scopes: the profile
// it writes names exactly that setting, the stand-in started with the profile gives a whole run
// the drawing the setting gives, and the probe leaves the drawing as it found it, Undo list and
// current sheet included: its own inserts are one Undo step, taken back by one Undo.
#include "drawing/com/com_host.h"
#include "drawing/com/com_owners.h"
#include "drawing/sim/drawing_file.h"
#include "tests/com/automation_run.h"
#include "tests/com/server_process.h"
#include "tools/hostprobe/bundle.h"
#include "tools/hostprobe/probe.h"
#include "tools/hostprobe/window_watch.h"
#include "tools/hostprofile/profile_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <set>

namespace tvx {
namespace {

using com::testing::ServerProcess;
using hostprofile::NameScope;
using testing::AutomationRun;
using testing::fileBytes;

// The sample with a second sheet behind the first, its symbol named as no symbol of the first
// sheet is: only a document-wide name scope refuses that name for the probe's symbol.
sim::HostData withSecondSheet(sim::HostData drawing) {
    sim::SheetData second = sim::makeSheet(L"Blatt2");
    sim::SymbolData symbol;
    symbol.symbolType = 1;
    symbol.texts = {{2, L"gedreht"}, {5, L"1,6"}};
    symbol.name = L"Oberfl\u00e4cheng\u00fcte9";
    symbol.x = 0.1;
    symbol.y = 0.1;
    second.views.front().symbols.push_back(symbol);
    drawing.activeDoc->sheets.push_back(second);
    return drawing;
}

const hostprofile::CallRecord& recordOf(const hostprofile::HostProfile& profile, const std::string& label) {
    const auto it = std::find_if(profile.calls.begin(), profile.calls.end(),
                                 [&](const hostprofile::CallRecord& r) { return r.label == label; });
    if (it == profile.calls.end()) {
        throw std::logic_error("no record " + label);
    }
    return *it;
}

const testing::UserChoice kChoice{0, L"geschliffen", L"6,4"};

struct Setting {
    const char* name;
    std::vector<std::wstring> options;
    sim::NameScope scope;
    // What the profile must name.
    std::vector<std::string> forms;
    std::string emptyAs;
    // What the stand-in started with the profile must send over the wire.
    std::vector<std::string> traced;
};

std::vector<std::wstring> serverOptions(std::initializer_list<const wchar_t*> forms, const wchar_t* emptyAs = nullptr) {
    std::vector<std::wstring> options;
    for (const wchar_t* rule : forms) {
        options.insert(options.end(), {L"--answer-form", rule});
    }
    if (emptyAs != nullptr) {
        options.insert(options.end(), {L"--empty-as", emptyAs});
    }
    return options;
}

// The operation of a trace line: "GetText(I4 2) -> BSTR null" is GetText.
std::string operationOf(const std::string& line) { return line.substr(0, line.find('(')); }

class ProbeRoundTrip : public ::testing::Test {
protected:
    std::filesystem::path nextFolder() {
        const auto dir = folder.path() / std::to_string(++runs);
        std::filesystem::create_directories(dir / "program");
        return dir;
    }

    hostprofile::HostProfile probe(ServerProcess&, bool write, com::CallBounds bounds = {}) {
        auto line = std::make_shared<com::HostLine>(bounds);
        return hostprobe::probeHost(com::attachRunning(*line, host::kHostClassName), line, {write, 3, nullptr, {}});
    }

    // A whole run (start-up, OK) against a server with the options; the drawing it saved and the
    // messages shown.
    std::string runOver(const sim::HostData& drawing, const std::vector<std::wstring>& options,
                        std::vector<std::wstring>& shown, std::vector<std::string>& trace) {
        const auto dir = nextFolder();
        ServerProcess server(dir, drawing, options);
        AutomationRun run(dir / "program");
        run.startAndOk(kChoice);
        for (const auto& message : run.gef.shown) {
            shown.push_back(message.text);
        }
        EXPECT_EQ(server.stop("save"), 0u);
        trace = server.traceLines();
        return fileBytes(server.drawingFile());
    }

    com::ComApartment apartment;
    com::testing::ScratchFolder folder{"probe-round-trip"};
    int runs = 0;
    const sim::HostData sample =
        sim::loadDrawingFile(com::testing::windowsPath(TVX_SAMPLES_DIR) / "sample-drawing.json");
    const sim::HostData twoSheets = withSecondSheet(sample);
};

TEST_F(ProbeRoundTrip, EachSettingIsNamedByItsProfileAndTheProfileGivesTheSameRun) {
    const std::vector<Setting> settings{
        {"the stand-in's defaults", {}, sim::NameScope::owner, {}, "dispatch", {"GetType() -> I4 3", "GetNext() -> DISPATCH null"}},
        {"every other form, names unique in the document",
         serverOptions({L"int=i2", L"bool=i4", L"text=null", L"array=variant", L"object=unknown"}, L"empty"),
         sim::NameScope::document,
         {"int=i2", "bool=i4", "text=null", "array=variant", "object=unknown"},
         "empty",
         {"GetType() -> I2 3", "GetUserPreferenceToggle(I4 24) -> I4 1", "ActiveDoc() -> UNKNOWN Doc",
          "GetText(I4 2) -> BSTR null", "GetNext() -> EMPTY"}},
        {"reals, VT_EMPTY texts, I4 properties, VT_NULL for nothing",
         serverOptions({L"int=r8", L"text=empty", L"array=i4"}, L"null"), sim::NameScope::owner,
         {"int=r8", "text=empty", "array=i4"}, "null",
         {"GetType() -> R8 3", "GetText(I4 2) -> EMPTY", "GetProperties() -> ARRAY[I4 8, I4 8", "GetNext() -> NULL"}},
        {"one operation's own forms",
         serverOptions({L"GetType:int=i2", L"GetProperties:array=variant", L"GetProperties:int=i2"}),
         sim::NameScope::owner, {"GetType:int=i2", "array=variant", "GetProperties:int=i2"}, "dispatch",
         {"GetType() -> I2 3", "GetSymbolType() -> I4 1",
          "GetProperties() -> ARRAY[I2 8, I2 8, I2 1, I2 1, I2 1, R8 0.42, R8 0.297]"}},
    };
    for (const Setting& setting : settings) {
        SCOPED_TRACE(setting.name);
        sim::HostData drawing = twoSheets;
        drawing.behaviour.nameScope = setting.scope;
        // An older host: only the one-argument finish of the Undo recording.
        const bool olderUndo = setting.scope == sim::NameScope::document;
        drawing.behaviour.undoCalls = olderUndo ? sim::UndoCalls::older : sim::UndoCalls::current;
        const std::string unchanged = sim::drawingToJson(drawing);

        const auto probeDir = nextFolder();
        hostprofile::HostProfile recorded;
        {
            ServerProcess server(probeDir, drawing, setting.options);
            recorded = probe(server, true);
            EXPECT_EQ(server.stop("save"), 0u);
            EXPECT_EQ(fileBytes(server.drawingFile()), unchanged) << "the probe changed the drawing";
        }
        EXPECT_TRUE(recorded.drawingChanges.empty()) << recorded.drawingChanges.front();
        EXPECT_EQ(recorded.writeError, "");
        EXPECT_EQ(recorded.undo, hostprofile::UndoAnswer::TookBack);
        EXPECT_EQ(recordOf(recorded, "FinishRecordingUndoObject").count, olderUndo ? 1u : 0u);
        EXPECT_EQ(recorded.otherSheetName, setting.scope == sim::NameScope::document
                                               ? hostprofile::OtherSheetName::Refused
                                               : hostprofile::OtherSheetName::Accepted);
        EXPECT_EQ(recorded.revision, "0.0.0 stand-in");
        // The open questions as the stand-in answers them: its strict 16-bit coordinates, no
        // question before deleting, the sheet's own notes listed and selectable.
        EXPECT_EQ(hostprofile::findingOf(recorded, "SelectByID.VT_I2"), "true");
        EXPECT_NE(hostprofile::findingOf(recorded, "SelectByID.VT_I4").find("DISP_E_TYPEMISMATCH"), std::string::npos);
        EXPECT_NE(hostprofile::findingOf(recorded, "SelectByID.VT_R8").find("DISP_E_TYPEMISMATCH"), std::string::npos);
        EXPECT_EQ(hostprofile::findingOf(recorded, hostprofile::kDeleteConfirm), "none");
        EXPECT_EQ(hostprofile::findingOf(recorded, hostprofile::kSheetNoteSelect), "true");
        EXPECT_EQ(hostprofile::findingOf(recorded, hostprofile::kSheetViewNotes), "1");
        EXPECT_EQ(hostprofile::findingOf(recorded, hostprofile::kSelect2KeepsFirst), "false");
        const auto profileFile = probeDir / "hostprofile.json";
        std::ofstream(profileFile, std::ios::binary) << hostprofile::profileToJson(recorded);
        const hostprofile::StandInSwitches named =
            hostprofile::switchesFor(hostprofile::parseProfile(fileBytes(profileFile)));
        EXPECT_EQ(named.answerForms, setting.forms);
        EXPECT_EQ(named.emptyAs, setting.emptyAs);
        EXPECT_EQ(named.nameScope, setting.scope == sim::NameScope::document ? NameScope::Document : NameScope::Owner);

        // The profile over a drawing of the other scope: it is the profile that decides. The
        // setting's own run is the run in memory (the answer-form tests hold them equal).
        sim::HostData otherScope = drawing;
        otherScope.behaviour.nameScope =
            setting.scope == sim::NameScope::owner ? sim::NameScope::document : sim::NameScope::owner;
        otherScope.behaviour.undoCalls = olderUndo ? sim::UndoCalls::current : sim::UndoCalls::older;
        std::vector<std::wstring> shown;
        std::vector<std::string> trace;
        const std::string byProfile = runOver(otherScope, {L"--profile", profileFile.wstring()}, shown, trace);
        for (const std::string& text : setting.traced) {
            EXPECT_TRUE(std::any_of(trace.begin(), trace.end(),
                                    [&](const std::string& line) { return line.find(text) != std::string::npos; }))
                << "not sent: " << text;
        }
        const std::string finish = olderUndo ? "FinishRecordingUndoObject(BSTR" : "FinishRecordingUndoObject2(BSTR";
        EXPECT_TRUE(std::any_of(trace.begin(), trace.end(),
                                [&](const std::string& line) { return line.find(finish) != std::string::npos; }))
            << "the run's Undo step not finished as the probed host finishes it";
        testing::RunFixture inMemory(drawing);
        inMemory.start();
        inMemory.ok(kChoice);
        EXPECT_EQ(byProfile, sim::drawingToJson(inMemory.drawing()));
        EXPECT_NE(byProfile, unchanged) << "the run placed nothing";
        EXPECT_TRUE(shown.empty() && inMemory.messages().empty()) << "a message was shown";
    }
}

TEST_F(ProbeRoundTrip, TheDrawingsEventsAreAskedASaveOnlyUnderItsFlagAndTheProfileReplaysBoth) {
    using hostprofile::DocSubscription;
    const auto probeWith = [&](const std::vector<std::wstring>& options, bool saveTest, std::vector<std::string>& trace) {
        ServerProcess server(nextFolder(), sample, options);
        auto line = std::make_shared<com::HostLine>();
        hostprobe::ProbeOptions probing;
        probing.repeats = 1;
        probing.saveTest = saveTest;
        const auto found = hostprobe::probeHost(com::attachRunning(*line, host::kHostClassName), line, probing);
        EXPECT_EQ(server.stop("quit"), 0u);
        trace = server.traceLines();
        return found;
    };
    const auto saves = [](const std::vector<std::string>& trace) {
        return std::count_if(trace.begin(), trace.end(),
                             [](const std::string& l) { return l.rfind("-- the drawing was saved to", 0) == 0; });
    };
    std::vector<std::string> trace;
    hostprofile::HostProfile found = probeWith({}, false, trace);
    EXPECT_EQ(found.documentEvents.subscription, DocSubscription::Accepted) << found.documentEvents.adviseAnswer;
    EXPECT_FALSE(found.documentEvents.saveTested);
    EXPECT_EQ(saves(trace), 0) << "saved without --save-test";
    found = probeWith({}, true, trace);
    EXPECT_EQ(found.documentEvents.saveNotifications, (std::vector<std::int32_t>{6, 26}));
    EXPECT_EQ(saves(trace), 1);

    const auto profileSaying = [&](hostprofile::DocumentEvents events) {
        hostprofile::HostProfile profile = found;
        profile.documentEvents = std::move(events);
        const auto path = folder.path() / ("profile" + std::to_string(++runs) + ".json");
        std::ofstream(path, std::ios::binary) << hostprofile::profileToJson(profile);
        return std::vector<std::wstring>{L"--profile", path.wstring()};
    };
    found = probeWith(profileSaying({DocSubscription::Accepted, "", true, {23, 26}, ""}), true, trace);
    EXPECT_EQ(found.documentEvents.saveNotifications, (std::vector<std::int32_t>{23, 26}));
    found = probeWith(profileSaying({DocSubscription::Refused, "CONNECT_E_CANNOTCONNECT", true, {6, 26}, ""}), true, trace);
    EXPECT_EQ(found.documentEvents.subscription, DocSubscription::Refused);
    EXPECT_FALSE(found.documentEvents.saveTested) << "no save without a sink to hear it";
}

TEST_F(ProbeRoundTrip, ReadingAsksNothingThatChangesAndABusyHostEndsTheProbeWithinItsBound) {
    // Reading visits every sheet by activating it; that changes nothing the drawing keeps.
    const std::set<std::string> reading{"RevisionNumber", "ActiveDoc", "GetUserPreferenceToggle", "GetType",
                                        "GetFirstView", "GetCurrentSheet", "Extension", "GetName", "GetProperties",
                                        "GetFirstSFSymbol", "GetNextView", "GetNext", "GetSymbolType", "GetText",
                                        "GetAnnotation", "gettextformat", "GetFirstNote", "GetSheetNames",
                                        "ActivateSheet", "Frame", "GetHWnd", "GetLocalizedMenuName",
                                        "GetRunningCommandInfo"};
    const std::string unchanged = sim::drawingToJson(twoSheets);
    {
        ServerProcess server(nextFolder(), twoSheets);
        const hostprofile::HostProfile read = probe(server, false);
        EXPECT_FALSE(read.wrote);
        EXPECT_EQ(read.nameScope, NameScope::Unsettled);
        // An idle host: no command of its own, and its idle notifications reach a program outside.
        EXPECT_TRUE(read.runningCommand.asked && !read.runningCommand.active && read.runningCommand.failure.empty());
        EXPECT_EQ(read.idle.subscription, hostprofile::IdleSubscription::Accepted) << read.idle.failure;
        EXPECT_GT(read.idle.perSecond, 5u);
        EXPECT_EQ(server.stop("save"), 0u);
        auto lines = server.traceLines();
        // The application's subscription and the drawing's, each given back.
        const auto remarks = std::stable_partition(lines.begin(), lines.end(),
                                                   [](const std::string& line) { return line.rfind("-- ", 0) != 0; });
        EXPECT_EQ(std::vector<std::string>(remarks, lines.end()),
                  (std::vector<std::string>{"-- event sink 1 subscribed", "-- event sink 1 unsubscribed",
                                            "-- document event sink 1 subscribed",
                                            "-- document event sink 1 unsubscribed"}));
        lines.erase(remarks, lines.end());
        EXPECT_GT(lines.size(), 50u);
        std::vector<std::string> activated;
        for (const std::string& line : lines) {
            if (line.rfind("-- ", 0) == 0) {
                continue; // the host's remarks (the drawing's events subscribed and given back) are no calls
            }
            EXPECT_TRUE(reading.count(operationOf(line)) == 1) << "changes something: " << line;
            if (operationOf(line) == "ActivateSheet") {
                activated.push_back(line);
            }
        }
        EXPECT_EQ(activated, (std::vector<std::string>{"ActivateSheet(BSTR \"Blatt2\") -> BOOL true",
                                                       "ActivateSheet(BSTR \"Blatt1\") -> BOOL true"}));
        // The second sheet's symbol and the first sheet's note were read.
        const auto answered = [&](const std::string& text) {
            return std::any_of(lines.begin(), lines.end(),
                               [&](const std::string& line) { return line.find(text) != std::string::npos; });
        };
        EXPECT_TRUE(answered("-> BSTR \"gedreht\""));
        EXPECT_TRUE(answered("-> BSTR \"Allgemeintoleranzen"));
        EXPECT_EQ(fileBytes(server.drawingFile()), unchanged);
    }
    {
        // A host that deletes nothing: the probe's symbol and note stay, and the comparison names
        // both; the one Undo is not tried, since the recording holds the failed deletions.
        ServerProcess server(nextFolder(), twoSheets, {L"--fail-op", L"DeleteSelection"});
        const hostprofile::HostProfile kept = probe(server, true);
        EXPECT_NE(kept.writeError, "");
        const auto named = [&](const std::string& text) {
            return std::any_of(kept.drawingChanges.begin(), kept.drawingChanges.end(), [&](const std::string& change) {
                return change.find(text) != std::string::npos;
            });
        };
        EXPECT_TRUE(named("neu: Blatt \"Blatt1\", Ansicht 1, Notiz 2: Name \"TvxProbe_Notiz\", Text \"TvxProbe\""));
        EXPECT_TRUE(named("neu: Blatt \"Blatt1\", Ansicht 1, Symbol 3:"));
        EXPECT_EQ(kept.drawingChanges.size(), 2u);
        server.stop("stop");
    }
    {
        // Busy from the third call on for far longer than the bound.
        ServerProcess server(nextFolder(), twoSheets, {L"--busy-at", L"3", L"--busy-for", L"60000"});
        const auto start = std::chrono::steady_clock::now();
        try {
            probe(server, true, {std::chrono::milliseconds(1500), std::chrono::milliseconds(3000)});
            ADD_FAILURE() << "the probe ended without a word";
        } catch (const host::HostError& e) {
            EXPECT_EQ(e.kind(), host::HostFailure::Busy);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << "not bounded";
        server.stop("save");
        EXPECT_EQ(fileBytes(server.drawingFile()), unchanged);
    }
}

// The host's state as the probe found it comes back from the stand-in started with the profile:
// a refused subscription and a command of the host's left open; an idle host's rate of idle
// notifications; a refused GetRunningCommandInfo.
TEST_F(ProbeRoundTrip, TheHostsStateWhileProbedIsReplayedFromItsProfile) {
    const auto probeOver = [&](const std::vector<std::wstring>& options, const char* command) {
        ServerProcess server(nextFolder(), sample, options);
        if (command != nullptr) {
            server.command(command);
        }
        hostprofile::HostProfile read = probe(server, false);
        server.stop("stop");
        return read;
    };
    const auto replayed = [&](const hostprofile::HostProfile& recorded) {
        const auto file = nextFolder() / "hostprofile.json";
        std::ofstream(file, std::ios::binary) << hostprofile::profileToJson(recorded);
        return probeOver({L"--profile", file.wstring()}, nullptr);
    };

    const hostprofile::HostProfile busy = probeOver({L"--no-idle-events"}, "command open 7 Bohrung");
    EXPECT_EQ(busy.idle.subscription, hostprofile::IdleSubscription::Refused);
    EXPECT_NE(busy.idle.failure.find("0x80040201"), std::string::npos) << busy.idle.failure;
    EXPECT_TRUE(busy.runningCommand.active);
    EXPECT_EQ(busy.runningCommand.id, 7);
    EXPECT_EQ(busy.runningCommand.title, "Bohrung");
    const hostprofile::HostProfile again = replayed(busy);
    EXPECT_EQ(again.idle.subscription, hostprofile::IdleSubscription::Refused);
    EXPECT_TRUE(again.runningCommand.active);
    EXPECT_EQ(again.runningCommand.id, 7);
    EXPECT_EQ(again.runningCommand.title, "Bohrung");

    // Four notifications a second instead of the stand-in's twenty.
    hostprofile::HostProfile slow = busy;
    slow.idle = {hostprofile::IdleSubscription::Accepted, "", 4};
    slow.runningCommand = {true, "DISP_E_EXCEPTION (0x80020009)", 0, "", false};
    const hostprofile::HostProfile slowAgain = replayed(slow);
    EXPECT_EQ(slowAgain.idle.subscription, hostprofile::IdleSubscription::Accepted);
    EXPECT_GE(slowAgain.idle.perSecond, 2u);
    EXPECT_LE(slowAgain.idle.perSecond, 5u);
    EXPECT_NE(slowAgain.runningCommand.failure, "");
    EXPECT_FALSE(slowAgain.runningCommand.active);

    // A host that takes SelectByID's coordinates as 16-bit integers and Doubles but not as 32-bit
    // ones, keeps the selection under Select2(False, 0), and lists two notes of its sheet format in
    // the sheet's own view, which Select2 does not select: the probe finds all of it again, the
    // sample's own note after the sheet format's, and the sheet format's notes are not saved.
    hostprofile::HostProfile doubles;
    const std::string mismatch = "DISP_E_TYPEMISMATCH (0x80020005)";
    doubles.findings = {{"SelectByID.VT_I2", "true"}, {"SelectByID.VT_I4", mismatch}, {"SelectByID.VT_R8", "true"},
                        {hostprofile::kSelect2KeepsFirst, "true"}, {hostprofile::kSheetNoteSelect, "false"},
                        {hostprofile::kSheetViewNoteTexts, "„Maßstab 1:1“, „Blatt 1 von 1“"}};
    const auto file = nextFolder() / "hostprofile.json";
    std::ofstream(file, std::ios::binary) << hostprofile::profileToJson(doubles);
    ServerProcess server(nextFolder(), sample, {L"--profile", file.wstring()});
    const hostprofile::HostProfile found = probe(server, true);
    EXPECT_EQ(server.stop("save"), 0u);
    for (const hostprofile::Finding& f : doubles.findings) {
        EXPECT_EQ(hostprofile::findingOf(found, f.question).substr(0, f.answer.size()), f.answer) << f.question;
    }
    EXPECT_EQ(found.writeError, "");
    EXPECT_TRUE(found.drawingChanges.empty()) << found.drawingChanges.front();
    EXPECT_EQ(hostprofile::findingOf(found, hostprofile::kSheetViewNotes), "3");
    EXPECT_EQ(hostprofile::findingOf(found, hostprofile::kSheetViewNoteTexts).rfind("„Maßstab 1:1“, „Blatt 1 von 1“, „Allgemein", 0), 0u)
        << hostprofile::findingOf(found, hostprofile::kSheetViewNoteTexts);
    EXPECT_EQ(fileBytes(server.drawingFile()).find("Blatt 1 von 1"), std::string::npos) << "the sheet format's notes saved";
    // A whole run on that host: the sheet format's notes walked past, the drawing of the run in memory.
    std::vector<std::wstring> shown;
    std::vector<std::string> trace;
    const std::string byProfile = runOver(sample, {L"--profile", file.wstring()}, shown, trace);
    testing::RunFixture inMemory(sample);
    inMemory.start();
    inMemory.ok(kChoice);
    EXPECT_EQ(byProfile, sim::drawingToJson(inMemory.drawing()));
    EXPECT_TRUE(shown.empty()) << "a message was shown";
}

// The watch for a host's question: a window of the watched process that comes up while it
// watches is seen at once, with its title and class; one that was there before is not.
TEST(WindowWatch, SeesTheWindowsThatComeUpWhileItWatches) {
    const auto popup = [](const wchar_t* title) {
        return CreateWindowExW(0, L"STATIC", title, WS_POPUP | WS_VISIBLE, 0, 0, 50, 20, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    };
    const HWND before = popup(L"Schon da");
    std::atomic<int> told{0};
    hostprobe::WindowWatch watch(GetCurrentProcessId(), [&](const hostprobe::SeenWindow&) { ++told; });
    const HWND asking = popup(L"L\u00f6schen best\u00e4tigen");
    for (int i = 0; i < 100 && told == 0; ++i) {
        Sleep(20);
    }
    EXPECT_EQ(told, 1) << "not told while the call would still wait";
    const std::vector<hostprobe::SeenWindow> seen = watch.stop();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, L"L\u00f6schen best\u00e4tigen");
    EXPECT_EQ(seen[0].className, L"Static");
    DestroyWindow(asking);
    DestroyWindow(before);
}

// The support file: the seat, the probe's folder, the report, the profile or why there is none,
// and both support logs whole; the add-in's last word on GetGroupDataFromRegistry read from them.
TEST(SupportFile, HoldsTheSeatTheReportTheProfileAndBothLogs) {
    const com::testing::ScratchFolder folder("support-file");
    const auto logs = folder.path() / "Tarvenix";
    std::filesystem::create_directories(logs);
    std::ofstream(logs / "Tarvenix.1.log", std::ios::binary)
        << "Tarvenix: 1.0.0.0, Add-in\r\nGetGroupDataFromRegistry: False, Ausgabe VT_EMPTY\r\n";
    std::ofstream(logs / "Tarvenix.log", std::ios::binary)
        << "Tarvenix: 1.0.0.0, Add-in\r\nGetGroupDataFromRegistry: True, Ausgabe VT_ARRAY|VT_I2\r\nEnde: ok\r\n";
    wchar_t was[MAX_PATH] = {};
    const DWORD wasLength = GetEnvironmentVariableW(L"LOCALAPPDATA", was, MAX_PATH);
    SetEnvironmentVariableW(L"LOCALAPPDATA", folder.path().wstring().c_str());

    EXPECT_EQ(hostprobe::lastLogged("GetGroupDataFromRegistry"), "True, Ausgabe VT_ARRAY|VT_I2");
    EXPECT_EQ(hostprobe::lastLogged("GetRunningCommandInfo"), "");
    hostprobe::BundleParts parts;
    parts.whyNoProfile = "siehe Bericht";
    parts.report = "Keine aktive SolidWorks Instanz gefunden !\n";
    const std::string text = hostprobe::bundleText(parts);
    // The time as the support log gives it, with its offset from UTC, wherever the file is read.
    const std::string first = text.substr(0, text.find('\n'));
    const std::size_t utc = first.find(" UTC");
    ASSERT_NE(utc, std::string::npos) << first;
    EXPECT_EQ(first.find_first_not_of("+-", utc + 4), utc + 5) << first;
    EXPECT_EQ(first.substr(utc + 7, 1), ":") << first;
    for (const char* expected :
         {"\n===== Arbeitsplatz =====\nWindows: Windows ", "\nSolidWorks-Revision: unbekannt\n", "\nMonitor 1 ",
          "\n===== Installierte Dateien von Tarvenix =====\nOrdner: ", "hostprobe_round_trip_tests.exe: ",
          "(WinVerifyTrust 0x", "\n===== Bericht von tvx-hostprobe =====\nKeine aktive SolidWorks Instanz gefunden !\n",
          "\n===== hostprofile.json =====\nkein Profil: siehe Bericht\n",
          "Tarvenix.1.log (78 Bytes)\nTarvenix: 1.0.0.0, Add-in\r\nGetGroupDataFromRegistry: False",
          "Tarvenix.log (93 Bytes)\nTarvenix: 1.0.0.0, Add-in\r\nGetGroupDataFromRegistry: True, Ausgabe VT_ARRAY|VT_I2\r\nEnde: ok\r\n"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << "missing: " << expected << "\n" << text;
    }
    SetEnvironmentVariableW(L"LOCALAPPDATA", wasLength == 0 || wasLength >= MAX_PATH ? nullptr : was);
}

} // namespace
} // namespace tvx
