// The stand-in host server's command line.
#include "tools/hostserver/server_options.h"
#include "tools/hostserver/stop_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace tvx::hostserver {
namespace {

std::vector<std::wstring> with(std::vector<std::wstring> extra) {
    std::vector<std::wstring> args{L"--drawing", L"d.json", L"--stop-file", L"stop"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

TEST(ServerOptions, EverythingGivenIsTakenAndTheDrawingIsSavedInPlaceUnlessTold) {
    const ServerOptions plain = parseServerOptions(with({}));
    EXPECT_EQ(plain.saveTo, L"d.json");
    EXPECT_EQ(plain.failAt, 0u);
    EXPECT_EQ(plain.emptyForm, EmptyForm::NullDispatch);

    const ServerOptions all = parseServerOptions(
        with({L"--save-to", L"out.json", L"--trace", L"t.txt", L"--ready-file", L"r", L"--fail-at", L"12",
              L"--fail-op", L"InsertNote", L"--fail-op", L"GetName", L"--die-at", L"3", L"--empty-as", L"null",
              L"--timeout", L"5", L"--snapshots", L"snaps"}));
    EXPECT_EQ(all.saveTo, L"out.json");
    EXPECT_EQ(all.traceFile, L"t.txt");
    EXPECT_EQ(all.readyFile, L"r");
    EXPECT_EQ(all.failAt, 12u);
    EXPECT_EQ(all.failOps, (std::vector<std::string>{"InsertNote", "GetName"}));
    EXPECT_EQ(all.dieAt, 3u);
    EXPECT_EQ(all.emptyForm, EmptyForm::Null);
    EXPECT_EQ(all.timeoutSeconds, 5u);
    EXPECT_EQ(all.snapshotDir, L"snaps");
    EXPECT_TRUE(plain.snapshotDir.empty());
    EXPECT_EQ(parseServerOptions(with({L"--empty-as", L"empty"})).emptyForm, EmptyForm::Empty);
    EXPECT_EQ(parseServerOptions(with({L"--revision", L"22.0.0"})).revision, L"22.0.0");
}

TEST(ServerOptions, AFaultyCommandLineIsRefusedWithItsReason) {
    const std::vector<std::vector<std::wstring>> faulty = {
        {},
        {L"--drawing", L"d.json"},
        {L"--stop-file", L"stop"},
        with({L"--fail-at"}),
        with({L"--fail-at", L"0"}),
        with({L"--fail-at", L"-1"}),
        with({L"--fail-at", L"3x"}),
        with({L"--fail-at", L"99999999999999999999"}),
        with({L"--die-at", L"\u0663"}), // a digit, but not an ASCII one
        with({L"--timeout", L"86401"}),
        with({L"--fail-op", L""}),
        with({L"--snapshots", L""}),
        with({L"--snapshots"}),
        with({L"--empty-as", L"nothing"}),
        with({L"--answer-form", L"int"}),
        with({L"--answer-form", L"int=i8"}),
        with({L"--answer-form", L"number=i2"}),
        with({L"--answer-form", L":int=i2"}),
        with({L"--unknown"}),
        with({L"--ui-state", L"ui.json"}), // without --addins there are no command bars to keep
        with({L"--revision", L"22.0.0 old"}),
    };
    for (const auto& args : faulty) {
        EXPECT_THROW(parseServerOptions(args), UsageError) << args.size();
    }
}

TEST(ServerOptions, AProfileSetsWhatItRecordedLaterSwitchesWinAndAFaultyOneIsRefused) {
    const auto file = std::filesystem::temp_directory_path() / "tvx-server-options-profile.json";
    const auto profile = [&](const std::string& nameScope, const std::string& nothing) {
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            << R"({"format": "tarvenix-hostprofile", "version": 1, "revision": "", "wrote": true,
                  "nameScope": ")" << nameScope << R"(", "duplicateInOwnerAccepted": false, "writeError": "",
                  "drawingChanges": [], "calls": [
                  {"label": "GetNext", "object": "SFSymbol", "operation": "GetNext", "kind": "object",
                   "standIn": "VT_DISPATCH", "answer": "VT_DISPATCH", "nothing": ")" << nothing << R"(",
                   "count": 3, "medianMs": 0.5}]})";
        return file.wstring();
    };
    const ServerOptions recorded = parseServerOptions(with({L"--profile", profile("document", "VT_NULL")}));
    EXPECT_EQ(recorded.emptyForm, EmptyForm::Null);
    EXPECT_EQ(recorded.nameScope, sim::NameScope::document);
    EXPECT_TRUE(recorded.answerForms.empty()) << "every answer was in the stand-in's own form";
    const ServerOptions overridden =
        parseServerOptions(with({L"--profile", profile("unsettled", "VT_EMPTY"), L"--empty-as", L"dispatch"}));
    EXPECT_EQ(overridden.emptyForm, EmptyForm::NullDispatch);
    EXPECT_FALSE(overridden.nameScope.has_value()) << "an unsettled scope leaves the drawing's own";
    EXPECT_EQ(parseServerOptions(with({L"--profile", profile("owner", "VT_EMPTY")})).emptyForm, EmptyForm::Empty);

    for (const auto& args : {with({L"--profile", profile("sheet", "VT_NULL")}),
                             with({L"--profile", (file.parent_path() / "no-such-profile.json").wstring()}),
                             with({L"--profile"})}) {
        EXPECT_THROW(parseServerOptions(args), UsageError);
    }
    std::filesystem::remove(file);
}

TEST(StopFile, UndoBusyLoopAndCommandTakeAWholeNumberInTheirRange) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "tvx-stop-file-test";
    const struct {
        const char* text;
        StopFileCommand::Kind kind;
        int steps;
        int busyMs = 0;
        int commandId = 0;
        const wchar_t* title = L"";
    } cases[] = {
        {"undo 1\n", StopFileCommand::Kind::Undo, 1},
        {"  undo\t12 \r\n", StopFileCommand::Kind::Undo, 12},
        {"undo 1000", StopFileCommand::Kind::Undo, 1000},
        {"undo 1001", StopFileCommand::Kind::Undo, 0},
        {"undo 0", StopFileCommand::Kind::Undo, 0},
        {"undo -1", StopFileCommand::Kind::Undo, 0},
        {"undo 2x", StopFileCommand::Kind::Undo, 0},
        {"undo", StopFileCommand::Kind::Undo, 0},
        {"undone 1", StopFileCommand::Kind::Discard, 0},
        {"save", StopFileCommand::Kind::Save, 0},
        {"busyloop 2000\n", StopFileCommand::Kind::BusyLoop, 0, 2000},
        {"busyloop 60001", StopFileCommand::Kind::BusyLoop, 0, 0},
        {"busyloop", StopFileCommand::Kind::BusyLoop, 0, 0},
        {"pumploop 2000", StopFileCommand::Kind::PumpLoop, 0, 2000},
        {"pumploop x", StopFileCommand::Kind::PumpLoop, 0, 0},
        {"modal open", StopFileCommand::Kind::ModalOpen, 0},
        {" modal close\r\n", StopFileCommand::Kind::ModalClose, 0},
        {"modal", StopFileCommand::Kind::Discard, 0},
        {"command open 1 Notiz\r\n", StopFileCommand::Kind::CommandOpen, 0, 0, 1, L"Notiz"},
        {"command open 2101  Bohrung \xc3\xbc 2 ", StopFileCommand::Kind::CommandOpen, 0, 0, 2101, L"Bohrung \u00fc 2"},
        {"command open 0 Notiz", StopFileCommand::Kind::CommandOpen, 0, 0, 0, L"Notiz"},
        {"command open Notiz", StopFileCommand::Kind::CommandOpen, 0, 0, 0, L""},
        {"command open", StopFileCommand::Kind::CommandOpen, 0, 0, 0, L""},
        {"command opened 1 Notiz", StopFileCommand::Kind::Discard, 0},
        {"command close", StopFileCommand::Kind::CommandClose, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::ofstream(file, std::ios::binary) << c.text;
        const StopFileCommand command = readStopFile(file.wstring());
        EXPECT_EQ(command.kind, c.kind);
        EXPECT_EQ(command.undoSteps, c.steps);
        EXPECT_EQ(command.busyMs, c.busyMs);
        EXPECT_EQ(command.commandId, c.commandId);
        EXPECT_EQ(command.pageTitle, c.title);
    }
    std::filesystem::remove(file);
}

} // namespace
} // namespace tvx::hostserver
