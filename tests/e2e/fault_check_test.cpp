// The plan and the verdicts of the end-to-end fault runs, on small made-up runs and drawings.
#include "drawing/messages.h"
#include "drawing/sim/utf8.h"
#include "tests/e2e/drawing_checks.h"
#include "tests/e2e/fault_plan.h"

#include <gtest/gtest.h>

namespace tvx::e2e {
namespace {

std::vector<std::string> wholeRun() {
    return {
        "ActiveDoc() -> DISPATCH Doc", "GetType() -> I4 3", "GetFirstView() -> DISPATCH View",
        "GetCurrentSheet() -> DISPATCH Sheet", "GetName() -> BSTR \"Blatt1\"",
        // scan: 6..14
        "GetFirstView() -> DISPATCH View", "GetFirstSFSymbol() -> DISPATCH SFSymbol", "GetSymbolType() -> I4 1",
        "GetText(I4 5) -> BSTR \"1,6\"", "GetText(I4 2) -> BSTR \"x\"", "GetAnnotation() -> DISPATCH Annotation",
        "GetName() -> BSTR \"ZyrSymbol_99\"", "GetNext() -> DISPATCH null", "GetNextView() -> DISPATCH null",
        // layout: 15, 16
        "GetCurrentSheet() -> DISPATCH Sheet", "GetProperties() -> ARRAY[R8 8]",
        // clearing: 17..19
        "Extension() -> DISPATCH Extension", "SelectByID(BSTR \"ZyrNote@Blatt1\") -> BOOL false",
        "DeleteSelection(BOOL true) -> BOOL true",
        // placing: 20..31
        "GetUserPreferenceToggle(I4 24) -> BOOL true", "SetUserPreferenceToggle(I4 24, BOOL false)",
        "ActivateSheet(BSTR \"Blatt1\") -> BOOL true", "GetFirstView() -> DISPATCH View",
        "InsertSurfaceFinishSymbol2(I4 1) -> BOOL true", "GetAnnotation() -> DISPATCH Annotation",
        "SetName(BSTR \"ZyrSymbol_99\") -> BOOL true", "gettextformat(I2 0) -> DISPATCH TextFormat",
        "SetUserPreferenceToggle(I4 24, BOOL true)", "InsertNote(BSTR \"( )\") -> DISPATCH Note", "angle(I2 0)",
        "SetName(BSTR \"ZyrNote\") -> BOOL true",
        // 32
        "EditRebuild()",
    };
}

TEST(FaultPlan, AWholeRunSplitsIntoItsStepsAndInsertionsReachToTheirNaming) {
    const auto calls = classifyCalls(wholeRun(), 14);
    ASSERT_EQ(calls.size(), 32u);
    const auto stepOf = [&](std::size_t n) { return calls.at(n - 1).step; };
    EXPECT_EQ(stepOf(5), Step::Connection);
    EXPECT_EQ(stepOf(6), Step::Scan);
    EXPECT_EQ(stepOf(12), Step::Scan); // a symbol's name is the scan's, not the connection's
    EXPECT_EQ(stepOf(14), Step::Scan);
    EXPECT_EQ(stepOf(15), Step::Layout);
    EXPECT_EQ(stepOf(17), Step::Clearing);
    EXPECT_EQ(stepOf(19), Step::Clearing);
    EXPECT_EQ(stepOf(20), Step::Placing);
    EXPECT_EQ(stepOf(31), Step::Placing);
    EXPECT_EQ(stepOf(32), Step::Rebuild);

    std::vector<std::uint64_t> before;
    for (const auto& c : calls) {
        before.push_back(c.drawingBefore);
    }
    const std::vector<std::uint64_t> expected{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                              17, 18, 19, 20, 21, 22, 23, 24, 24, 24, 27, 28, 29, 29, 29, 32};
    EXPECT_EQ(before, expected);
}

TEST(FaultPlan, TheRecordingsCallsAreAStepOfTheirOwnThatNeedsNoMessage) {
    auto run = wholeRun();
    run.insert(run.begin() + 16, {"Extension() -> DISPATCH Extension", "StartRecordingUndoObject()"});
    run.insert(run.end() - 1, "FinishRecordingUndoObject2(BSTR \"Oberfl\u00e4chenangabe\", BOOL false) -> BOOL true");
    const auto calls = classifyCalls(run, 14);
    ASSERT_EQ(calls.size(), 35u);
    for (const std::size_t n : {17u, 18u, 34u}) {
        EXPECT_EQ(calls.at(n - 1).step, Step::Recording) << n;
        const Expectation e = expectationFor(calls.at(n - 1));
        EXPECT_TRUE(e.message.empty()) << n;
        EXPECT_EQ(e.drawing, DrawingRule::Completed) << n;
    }
    EXPECT_EQ(calls.at(18).step, Step::Clearing) << "the clearing's own extension";
    EXPECT_EQ(calls.at(34).step, Step::Rebuild);
}

// A failure there is passed over: no message, the dialog shown, the run completed.
void expectPassedOver(const Call& call) {
    const Expectation e = expectationFor(call);
    EXPECT_TRUE(e.message.empty()) << call.operation;
    EXPECT_TRUE(e.dialogShown) << call.operation;
    EXPECT_EQ(e.drawing, DrawingRule::Completed) << call.operation;
}

TEST(FaultPlan, TheDrawingsTitleEndsTheConnectionAndIsPassedOver) {
    auto run = wholeRun();
    run.insert(run.begin() + 5, "GetTitle() -> BSTR \"Welle_0815\"");
    const auto calls = classifyCalls(run, 15);
    EXPECT_EQ(calls.at(4).step, Step::Connection);
    EXPECT_EQ(calls.at(5).step, Step::Connection);
    EXPECT_EQ(calls.at(6).step, Step::Scan);
    expectPassedOver(calls.at(5));
}

TEST(FaultPlan, TheQuestionForAnOpenHostCommandIsPassedOverAmidTheLayout) {
    auto run = wholeRun();
    run.insert(run.begin() + 14, "GetRunningCommandInfo(I4|BYREF 0, BSTR|BYREF \"\", BOOL|BYREF false) -> out I4 0, "
                                 "BSTR \"\", BOOL false");
    const auto calls = classifyCalls(run, 14);
    EXPECT_EQ(calls.at(13).step, Step::Scan);
    EXPECT_EQ(calls.at(14).step, Step::Command);
    EXPECT_EQ(calls.at(15).step, Step::Layout);
    expectPassedOver(calls.at(14));
}

TEST(FaultPlan, TheCheckBeforeTheFirstChangeIsAStepOfItsOwnThatChangesNothing) {
    auto run = wholeRun();
    run.insert(run.begin() + 16, {"Extension() -> DISPATCH Extension", "SelectByID(BSTR \"ZyrNote@Blatt1\") -> BOOL true",
                                  "GetAnnotation() -> DISPATCH Annotation", "Select2(BOOL false, I2 0) -> BOOL true",
                                  "ClearSelection2(BOOL true)", "Extension() -> DISPATCH Extension",
                                  "StartRecordingUndoObject()"});
    const auto calls = classifyCalls(run, 14);
    for (std::size_t n = 17; n <= 21; ++n) {
        const Call& call = calls.at(n - 1);
        EXPECT_EQ(call.step, Step::Check) << n;
        EXPECT_EQ(call.drawingBefore, n);
        EXPECT_EQ(expectationFor(call).message, sim::toUtf8(msg::kInsertError)) << n;
    }
    EXPECT_EQ(calls.at(21).step, Step::Recording);
    EXPECT_EQ(calls.at(23).step, Step::Clearing) << "the clearing's own extension";
    for (const Call& call : answerAgainCalls(calls, true)) {
        EXPECT_NE(call.step, Step::Check) << "the check changes nothing a busy host would owe";
    }
}

TEST(FaultPlan, ATraceThatIsNoWholeFaultFreeRunIsRefused) {
    auto failed = wholeRun();
    failed[20] = "SetUserPreferenceToggle(I4 24, BOOL false) -> FAILED injected fault";
    EXPECT_THROW(classifyCalls(failed, 14), std::invalid_argument);
    auto cut = wholeRun();
    cut.pop_back();
    EXPECT_THROW(classifyCalls(cut, 14), std::invalid_argument);
    EXPECT_THROW(classifyCalls(wholeRun(), 0), std::invalid_argument);
    EXPECT_THROW(classifyCalls(wholeRun(), 40), std::invalid_argument);
    auto noClearing = wholeRun();
    noClearing[16] = "Other() -> EMPTY";
    EXPECT_THROW(classifyCalls(noClearing, 14), std::invalid_argument);
}

TEST(FaultPlan, TheSampleTakesEachOperationOncePerStepAndEveryCallOfClearingAndPlacing) {
    const auto sample = sampleCalls(classifyCalls(wholeRun(), 14));
    std::vector<std::uint64_t> numbers;
    for (const auto& c : sample) {
        numbers.push_back(c.n);
    }
    // The scan's second GetText is left out; the connection's and the scan's GetFirstView are both in.
    const std::vector<std::uint64_t> expected{1,  2,  3,  4,  5,  6,  7,  8,  9,  11, 12, 13, 14, 15, 16, 17,
                                              18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
    EXPECT_EQ(numbers, expected);
}

// A busy or hung host is tried once per operation, wherever it comes first; its message is the
// same in every step, and neither rejections nor the hang count as calls.
TEST(FaultPlan, AStoppedHostIsTriedAtEachOperationsFirstCallAndSaysSoAlike) {
    const auto calls = classifyCalls(wholeRun(), 14);
    std::vector<std::uint64_t> numbers;
    for (const auto& c : moodCalls(calls)) {
        numbers.push_back(c.n);
    }
    const std::vector<std::uint64_t> expected{1,  2,  3,  4,  5,  7,  8,  9,  11, 13, 14, 16, 17,
                                              18, 19, 20, 21, 22, 24, 26, 27, 29, 30, 32};
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(stopExpectation(calls.at(0), true).message,
              sim::toUtf8(msg::kHostBusy));
    EXPECT_FALSE(stopExpectation(calls.at(0), false).dialogShown);
    EXPECT_EQ(stopExpectation(calls.at(30), false).message, sim::toUtf8(msg::kHostNotAnswering));
    EXPECT_TRUE(stopExpectation(calls.at(30), false).dialogShown);
    EXPECT_EQ(callLines({"GetHWnd() -> I4 65602", "-- busy: Doc.GetType rejected, call 2 not run --",
                         "GetType() -> I4 3", "-- hung: App.ActiveDoc, call 3 never answered --"}),
              (std::vector<std::string>{"GetHWnd() -> I4 <window>", "GetType() -> I4 3"}));
}

TEST(FaultPlan, EachStepExpectsItsOwnMessage) {
    const auto utf8 = [](const wchar_t* t) { return sim::toUtf8(t); };
    const auto at = [](Step step, const char* op) { return expectationFor(Call{1, op, step, 1}); };

    EXPECT_EQ(at(Step::Connection, "ActiveDoc").message, utf8(msg::kNoDocument));
    EXPECT_FALSE(at(Step::Connection, "ActiveDoc").dialogShown);
    const Expectation firstView = at(Step::Connection, "GetFirstView");
    EXPECT_TRUE(firstView.message.empty());
    EXPECT_EQ(firstView.drawing, DrawingRule::Completed);
    for (const char* passedOver : {"RevisionNumber", "Frame", "GetHWnd"}) {
        EXPECT_TRUE(at(Step::Connection, passedOver).message.empty()) << passedOver;
        EXPECT_EQ(at(Step::Connection, passedOver).drawing, DrawingRule::Completed) << passedOver;
    }
    EXPECT_EQ(at(Step::Connection, "GetName").message, utf8(msg::kInsertError));
    EXPECT_TRUE(at(Step::Connection, "GetName").dialogShown);
    EXPECT_TRUE(at(Step::Connection, "GetType").messageIsPrefix);

    const Expectation scan = at(Step::Scan, "GetText");
    EXPECT_EQ(scan.message, utf8(msg::kUnexpectedError));
    EXPECT_TRUE(scan.messageIsPrefix);
    EXPECT_FALSE(scan.dialogShown);
    EXPECT_EQ(at(Step::Layout, "GetProperties").message, utf8(msg::kCalcError));
    EXPECT_EQ(at(Step::Clearing, "Select2").message, utf8(msg::kInsertError));
    EXPECT_EQ(at(Step::Placing, "SetName").message, utf8(msg::kInsertError));
    EXPECT_EQ(at(Step::Placing, "SetName").drawing, DrawingRule::BeforeCall);
    EXPECT_TRUE(at(Step::Rebuild, "EditRebuild").messageIsPrefix);
}

// ---- drawings ---------------------------------------------------------------------------------

sim::SymbolData symbol(std::wstring name, std::int32_t type, std::wstring roughness, std::wstring method) {
    sim::SymbolData s;
    s.name = std::move(name);
    s.symbolType = type;
    s.texts[5] = std::move(roughness);
    if (!method.empty()) {
        s.texts[2] = std::move(method);
    }
    return s;
}

sim::NoteData note(std::wstring name, std::wstring text) {
    sim::NoteData n;
    n.name = std::move(name);
    n.text = std::move(text);
    return n;
}

// Two foreign symbols in a drawing view, a foreign note on the sheet, nothing of the program.
sim::HostData plainDrawing() {
    sim::SheetData sheet = sim::makeSheet(L"Blatt1");
    sheet.views[0].notes.push_back(note(L"DetailItem1", L"Toleranzen"));
    sheet.views.push_back(sim::ViewData{L"Ansicht", {}, {}, {}});
    sheet.views[1].symbols.push_back(symbol(L"A", 1, L"3,2", L"gefräst"));
    sheet.views[1].symbols.push_back(symbol(L"B", 0, L"6,3", L""));
    sheet.views[1].symbols.push_back(symbol(L"B2", 0, L"6,3", L"")); // a duplicate of B
    return sim::makeDrawingHost({sheet, sim::makeSheet(L"Blatt2")});
}

// plainDrawing after a completed run.
sim::HostData withOutput(const sim::HostData& before) {
    sim::HostData after = before;
    auto& own = after.activeDoc->sheets[0].views[0];
    own.symbols.push_back(symbol(L"ZyrSymbol_99", 1, L"1,6", L""));
    own.symbols.push_back(symbol(L"ZyrSymbol_01", 1, L"3,2", L"gefräst"));
    own.symbols.push_back(symbol(L"ZyrSymbol_02", 0, L"6,3", L""));
    own.notes.push_back(note(L"ZyrNote", L"(  )"));
    ++after.activeDoc->rebuildCount;
    return after;
}

TEST(DrawingChecks, ComparingIgnoresOnlyTheTogglesAndNamesTheDifference) {
    const sim::HostData a = plainDrawing();
    sim::HostData b = a;
    b.toggles[sim::kViewActivationToggle] = false;
    EXPECT_EQ(compareDrawings(a, b), "");
    EXPECT_EQ(compareToggles(a, b), "toggle 24 off, was on");

    b.activeDoc->sheets[0].views[1].symbols[0].name = L"ZyrSymbol_";
    EXPECT_NE(compareDrawings(a, b).find("listing line"), std::string::npos);
    b = a;
    ++b.activeDoc->rebuildCount;
    EXPECT_EQ(compareDrawings(a, b), "rebuilt 1 times, expected 0");
    b = a;
    b.activeDoc->sheets[0].views[1].symbols[0].format.bold = true;
    EXPECT_NE(compareDrawings(a, b), "");
}

TEST(DrawingChecks, OneSetOfOutputIsOneMainSymbolEachOtherOnceAndOneNote) {
    const sim::HostData before = plainDrawing();
    const sim::HostData good = withOutput(before);
    EXPECT_EQ(checkOneSetOfOutput(before, good), "");

    sim::HostData twoMains = good;
    twoMains.activeDoc->sheets[0].views[1].symbols.push_back(symbol(L"ZyrSymbol_99", 1, L"1,6", L""));
    EXPECT_NE(checkOneSetOfOutput(before, twoMains), "");

    sim::HostData missingOther = good;
    missingOther.activeDoc->sheets[0].views[0].symbols.pop_back();
    EXPECT_NE(checkOneSetOfOutput(before, missingOther).find("other symbols"), std::string::npos);

    sim::HostData secondNote = good;
    secondNote.activeDoc->sheets[1].views[0].notes.push_back(note(L"ZyrNote", L"( )"));
    EXPECT_EQ(checkOneSetOfOutput(before, secondNote), "2 bracket notes, expected 1");

    sim::HostData notRebuilt = good;
    --notRebuilt.activeDoc->rebuildCount;
    EXPECT_EQ(checkOneSetOfOutput(before, notRebuilt), "not rebuilt exactly once");

    sim::HostData toggleOff = good;
    toggleOff.toggles[sim::kViewActivationToggle] = false;
    EXPECT_NE(checkOneSetOfOutput(before, toggleOff), "");

    // A main symbol equal to a foreign one is not repeated among the others.
    sim::HostData twin = before;
    twin.activeDoc->sheets[0].views[1].symbols.push_back(symbol(L"C", 1, L"1,6", L""));
    EXPECT_EQ(checkOneSetOfOutput(twin, withOutput(twin)), "");
}

TEST(DrawingChecks, AForeignSymbolOrNoteLostOrChangedIsFound) {
    const sim::HostData original = plainDrawing();
    EXPECT_EQ(checkForeignKept(original, withOutput(original)), "");

    sim::HostData lost = withOutput(original);
    lost.activeDoc->sheets[0].views[1].symbols.pop_back(); // B2, a duplicate, still counts
    EXPECT_NE(checkForeignKept(original, lost).find("B2"), std::string::npos);

    sim::HostData moved = withOutput(original);
    moved.activeDoc->sheets[0].views[1].symbols[0].x += 0.001;
    EXPECT_NE(checkForeignKept(original, moved), "");

    sim::HostData noteGone = withOutput(original);
    noteGone.activeDoc->sheets[0].views[0].notes.erase(noteGone.activeDoc->sheets[0].views[0].notes.begin());
    EXPECT_EQ(checkForeignKept(original, noteGone), "note DetailItem1 lost or changed");

    // The program's own output of an earlier run may go.
    EXPECT_EQ(checkForeignKept(withOutput(original), original), "");
}

} // namespace
} // namespace tvx::e2e
