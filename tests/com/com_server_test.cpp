// The client and the stand-in host server in two processes, attached through the running object
// table as the program attaches to the real host.
#include "drawing/com/com_host.h"
#include "drawing/com/failure_text.h"
#include "drawing/sim/drawing_file.h"
#include "tests/com/every_operation.h"
#include "tests/com/server_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tvx::com {
namespace {

using testing::ServerProcess;

class CrossProcess : public ::testing::Test {
protected:
    ComApartment apartment;
    testing::ScratchFolder folder{"com-server"};

    host::AppRef attach() { return ComConnector().attach(host::kHostClassName); }
};

std::string fileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(CrossProcess, WithNoServerRunningAttachingIsTheNoRunningInstanceCase) {
    try {
        attach();
        FAIL() << "attached with no server running";
    } catch (const host::HostError& e) {
        EXPECT_EQ(e.operation(), "attach");
        EXPECT_TRUE(contains(e.what(), "MK_E_UNAVAILABLE")) << e.what();
    }
    // A class name nobody registered is the same case for the program.
    EXPECT_THROW(ComConnector().attach(L"Tarvenix.NoSuchHost"), host::HostError);
}

// A command of the host left running, as the stop file plays it: its three by-reference answers
// cross the process boundary in the host's types, and a selection call meanwhile is marked.
TEST_F(CrossProcess, ARunningCommandAnswersThroughItsThreeReferencesAndASelectionInItIsMarked) {
    ServerProcess server(folder.path(), testing::sampleHost());
    {
        const host::AppRef app = attach();
        const host::DocRef doc = app->ActiveDoc();
        const auto ask = [&app] {
            std::int32_t id = -1;
            std::wstring title = L"?";
            bool active = true;
            app->GetRunningCommandInfo(id, title, active);
            return std::to_string(id) + " " + toUtf8(title) + (active ? " active" : " none");
        };
        EXPECT_EQ(ask(), "0  none");
        server.command("command open 2101 Notiz \xc3\xbc 2");
        EXPECT_EQ(ask(), "2101 Notiz \xc3\xbc 2 active");
        doc->ClearSelection2(true);
        server.command("command close");
        EXPECT_EQ(ask(), "0  none");
        doc->ClearSelection2(true);
    }
    EXPECT_EQ(server.stop("quit"), 0u);
    const std::vector<std::string> lines = server.traceLines();
    std::vector<std::string> marked;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(marked),
                 [](const std::string& line) { return line.rfind("!!", 0) == 0; });
    EXPECT_EQ(marked, std::vector<std::string>{"!! called during a running command: Doc.ClearSelection2"});
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "GetRunningCommandInfo(I4|BYREF 0, BSTR|BYREF \"\", BOOL|BYREF false) -> out I4 2101, "
                        "BSTR \"Notiz \xc3\xbc 2\", BOOL true"),
              lines.end());
}

TEST_F(CrossProcess, EveryOperationOnceTheServersTraceShowsEachArgumentsTypeInOrder) {
    ServerProcess server(folder.path(), testing::sampleHost());
    testing::runEveryOperation(attach());
    const std::vector<std::string> expected = {
        "ActiveDoc() -> DISPATCH Doc",
        "GetUserPreferenceToggle(I4 24) -> BOOL true",
        "SetUserPreferenceToggle(I4 24, BOOL false)",
        "GetType() -> I4 3",
        "GetFirstView() -> DISPATCH View",
        "GetCurrentSheet() -> DISPATCH Sheet",
        "GetName() -> BSTR \"Blatt1\"",
        "GetCurrentSheet() -> DISPATCH Sheet",
        "GetProperties() -> ARRAY[R8 8, R8 8, R8 1, R8 1, R8 1, R8 0.42, R8 0.297]",
        "Extension() -> DISPATCH Extension",
        "SelectByID(BSTR \"ZyrNote@Blatt1\", BSTR \"NOTE\", I2 0, I2 0, I2 0, BOOL false, I2 0, DISPATCH null) "
        "-> BOOL true",
        "DeleteSelection(BOOL true) -> BOOL true",
        "ActivateSheet(BSTR \"Blatt1\") -> BOOL true",
        "SelectByID(BSTR \"Blatt1\", BSTR \"SHEET\", R8 0.25, R8 0.125, I2 0) -> BOOL true",
        "InsertSurfaceFinishSymbol2(I4 2, I2 0, I2 0, I2 0, R8 0, I2 0, I2 1, BSTR \"\", BSTR \"\", "
        "BSTR \"geschliffen\", BSTR \"\", BSTR \"1,6\", BSTR \"\", BSTR \"\") -> BOOL true",
        "GetFirstSFSymbol() -> DISPATCH SFSymbol",
        "GetNext() -> DISPATCH SFSymbol",
        "GetNext() -> DISPATCH null",
        "GetNextView() -> DISPATCH View",
        "GetSymbolType() -> I4 2",
        "GetText(I4 2) -> BSTR \"geschliffen\"",
        "GetAnnotation() -> DISPATCH Annotation",
        "SetName(BSTR \"ZyrSymbol_99\") -> BOOL true",
        "GetName() -> BSTR \"ZyrSymbol_99\"",
        "GetAnnotation() -> DISPATCH Annotation",
        "Select2(BOOL false, I2 0) -> BOOL true",
        "gettextformat(I2 0) -> DISPATCH TextFormat",
        "TypeFaceName(BSTR \"ISOCP\")",
        "CharHeight(R8 0.0035)",
        "SetTextFormat(I2 0, BOOL false, DISPATCH TextFormat) -> BOOL true",
        "SelectByID(BSTR \"Blatt1\", BSTR \"SHEET\", R8 0.3, R8 0.02, I2 0) -> BOOL true",
        "InsertNote(BSTR \"(  )\") -> DISPATCH Note",
        "angle(I2 0)",
        "SetBalloon(I2 0, I2 0) -> BOOL true",
        "gettextformat() -> DISPATCH TextFormat",
        "TypeFaceName(BSTR \"Arial\")",
        "CharHeightInPts(I4 12)",
        "Bold(BOOL false)",
        "SetTextFormat(I2 0, DISPATCH TextFormat) -> BOOL true",
        "GetAnnotation() -> DISPATCH Annotation",
        "SetName(BSTR \"ZyrNote\") -> BOOL true",
        "EditRebuild()",
        "Extension() -> DISPATCH Extension",
        "StartRecordingUndoObject()",
        "angle(I2 0)",
        "FinishRecordingUndoObject2(BSTR \"Oberflächenangabe\", BOOL false) -> BOOL true",
        "FinishRecordingUndoObject(BSTR \"Oberflächenangabe\") -> BOOL false",
        "GetFirstNote() -> DISPATCH Note",
        "GetNext() -> DISPATCH null",
        "ClearSelection2(BOOL true)",
        "GetTitle() -> BSTR \"Zeichnung1\"",
    };
    EXPECT_EQ(server.traceLines(), expected);
}

TEST_F(CrossProcess, ADocumentThatIsNoDrawingAnswersItsOwnTypeCode) {
    sim::HostData part = testing::sampleHost();
    part.activeDoc->type = 1;
    ServerProcess server(folder.path(), part);
    const host::DocRef doc = attach()->ActiveDoc();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetType(), 1);
}

TEST_F(CrossProcess, NoDocumentIsTheEmptyReferenceInEachOfItsThreeForms) {
    for (const wchar_t* form : {L"dispatch", L"empty", L"null"}) {
        SCOPED_TRACE(toUtf8(form));
        ServerProcess server(folder.path(), sim::HostData{}, {L"--empty-as", form});
        EXPECT_EQ(attach()->ActiveDoc(), nullptr);
        const std::vector<std::string> trace = server.traceLines();
        ASSERT_EQ(trace.size(), 1u);
        EXPECT_TRUE(contains(trace[0], "ActiveDoc() -> ")) << trace[0];
        EXPECT_EQ(server.stop("quit"), 0u);
    }
}

TEST_F(CrossProcess, AHostErrorArrivesAsTheHostErrorOfTheOperation) {
    ServerProcess server(folder.path(), testing::sampleHost(), {L"--fail-op", L"InsertNote", L"--fail-at", L"3"});
    const host::DocRef doc = attach()->ActiveDoc(); // call 1
    EXPECT_TRUE(doc->ActivateSheet(L"Blatt1"));     // call 2
    try {
        doc->GetType(); // call 3
        ADD_FAILURE() << "no fault at the third call";
    } catch (const host::HostError& e) {
        EXPECT_EQ(e.operation(), "GetType");
        EXPECT_STREQ(e.what(), "GetType: injected fault [E_FAIL (0x80004005)]");
    }
    EXPECT_EQ(doc->GetType(), 3);
    try {
        doc->InsertNote(L"x");
        ADD_FAILURE() << "InsertNote did not fail";
    } catch (const host::HostError& e) {
        EXPECT_EQ(e.operation(), "InsertNote");
    }
    EXPECT_EQ(server.traceLines().back(), "InsertNote(BSTR \"x\") -> FAILED injected fault");
}

TEST_F(CrossProcess, AHostThatDiesInMidRunIsAHostErrorNotAHangOrACrash) {
    ServerProcess server(folder.path(), testing::sampleHost(), {L"--die-at", L"3"});
    const host::DocRef doc = attach()->ActiveDoc();
    EXPECT_EQ(doc->GetType(), 3);
    try {
        doc->GetCurrentSheet(); // the host dies answering this
        ADD_FAILURE() << "the dead host answered";
    } catch (const host::HostError& e) {
        EXPECT_EQ(e.operation(), "GetCurrentSheet");
        EXPECT_TRUE(contains(e.what(), "no longer reachable")) << e.what();
    }
    EXPECT_EQ(server.waitForExit(), 99u);
    EXPECT_THROW(doc->GetType(), host::HostError);
    // The dead host's entry is gone from the running object table: nothing to attach to.
    EXPECT_THROW(attach(), host::HostError);
}

TEST_F(CrossProcess, TheDrawingIsSavedOnlyWhenToldAndThenAtomically) {
    const sim::HostData original = testing::sampleHost();
    {
        ServerProcess server(folder.path(), original);
        const std::string before = fileBytes(server.drawingFile());
        attach()->ActiveDoc()->EditRebuild();
        EXPECT_EQ(server.stop("quit"), 0u);
        EXPECT_EQ(fileBytes(server.drawingFile()), before);
    }
    {
        ServerProcess server(folder.path(), original);
        attach()->ActiveDoc()->EditRebuild();
        EXPECT_EQ(server.stop("save"), 0u);
        const sim::HostData saved = sim::loadDrawingFile(server.drawingFile());
        EXPECT_EQ(saved.activeDoc->rebuildCount, 1);
        sim::HostData expected = original;
        expected.activeDoc->rebuildCount = 1;
        EXPECT_EQ(saved, expected);
    }
    // Nothing but the drawing, the trace and the ready and stop signals is left in the folder.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"drawing.json", "ready", "stop", "trace.txt"}));
}

TEST_F(CrossProcess, SnapshotsShowTheDrawingBeforeEachCallUpToTheOneTheHostDiedAt) {
    const sim::HostData original = testing::sampleHost();
    const auto snapshots = folder.path() / "snapshots";
    std::filesystem::create_directory(snapshots);
    ServerProcess server(folder.path(), original, {L"--snapshots", snapshots.wstring(), L"--die-at", L"4"});
    const host::DocRef doc = attach()->ActiveDoc();
    doc->EditRebuild();
    doc->EditRebuild();
    EXPECT_THROW(doc->GetType(), host::HostError);
    EXPECT_EQ(server.waitForExit(), 99u);

    sim::HostData expected = original;
    for (int call = 1; call <= 4; ++call) {
        expected.activeDoc->rebuildCount = original.activeDoc->rebuildCount + std::max(0, call - 2);
        EXPECT_EQ(sim::loadDrawingFile(snapshots / (std::to_string(call) + ".json")), expected) << call;
    }
    EXPECT_FALSE(std::filesystem::exists(snapshots / "5.json"));
}

TEST_F(CrossProcess, ASaveThatCannotBeWrittenLeavesTheDrawingAsItWas) {
    const auto target = folder.path() / "missing-folder" / "out.json";
    ServerProcess server(folder.path(), testing::sampleHost(), {L"--save-to", target.wstring()});
    const std::string before = fileBytes(server.drawingFile());
    attach()->ActiveDoc()->EditRebuild();
    EXPECT_EQ(server.stop("save"), 3u);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(fileBytes(server.drawingFile()), before);
}

} // namespace
} // namespace tvx::com
