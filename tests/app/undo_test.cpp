#include "app/sequences.h"
#include "drawing/messages.h"
#include "drawing/undo_recording.h"
#include "stories.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

using testing::RunFixture;

std::vector<std::wstring> undoNames(const sim::HostData& drawing) {
    std::vector<std::wstring> names;
    for (const auto& entry : drawing.activeDoc->undoList) {
        names.push_back(entry.name);
    }
    return names;
}

// The document as before the run, its Undo list included; no Undo takes back a rebuild.
void expectAsBefore(const sim::HostData& before, const sim::HostData& now) {
    sim::DocumentData doc = *now.activeDoc;
    doc.rebuildCount = before.activeDoc->rebuildCount;
    EXPECT_TRUE(doc == *before.activeDoc);
    EXPECT_EQ(undoNames(now), undoNames(before));
}

std::vector<std::wstring> plus(std::vector<std::wstring> names, const std::wstring& name) {
    names.push_back(name);
    return names;
}

// On a second sheet that already carries an earlier run's output, made current.
sim::HostData secondSheetRerun() {
    sim::HostData drawing = testing::rerunDrawing();
    sim::SheetData second = drawing.activeDoc->sheets[0];
    second.name = L"Blatt2";
    second.views[0].name = L"Blatt2";
    drawing.activeDoc->sheets.push_back(second);
    drawing.activeDoc->currentSheet = 1;
    return drawing;
}

TEST(OneUndoStep, TakesBackAFirstRunAReRunAndARunOnASecondSheet) {
    for (const sim::HostData& before :
         {testing::foreignDrawing(), testing::rerunDrawing(), secondSheetRerun()}) {
        RunFixture run(before);
        ASSERT_TRUE(run.start());
        EXPECT_FALSE(run.ok({2, L"gefräst", L"3,2"}));
        EXPECT_TRUE(run.messages().empty());
        // One entry for the whole run; the toggle switched around the insertions is none.
        EXPECT_EQ(undoNames(run.drawing()), plus(undoNames(before), L"Oberflächenangabe"));
        EXPECT_EQ(run.count("StartRecordingUndoObject"), 1u);
        EXPECT_EQ(run.count("FinishRecordingUndoObject2"), 1u);
        const auto finish = run.callNumber("FinishRecordingUndoObject2", 1);
        EXPECT_EQ(run.sim.trace().at(finish - 1).args.at(1).value, "false") << "never hidden";
        const auto start = run.callNumber("StartRecordingUndoObject", 1);
        EXPECT_GT(start, static_cast<std::uint64_t>(run.log.callsBefore("hide")));
        EXPECT_LT(start, run.callNumber("InsertSurfaceFinishSymbol2", 1));
        if (run.count("DeleteSelection") > 0) {
            EXPECT_LT(start, run.callNumber("DeleteSelection", 1));
        }
        EXPECT_EQ(run.callNumber("EditRebuild", 1), finish + 1);

        run.sim.editUndo(1);
        expectAsBefore(before, run.drawing());
    }
}

TEST(OneUndoStep, AnOlderHostGetsItsFinishAndAHostWithoutTheCallsTheRunAsBefore) {
    const sim::HostData current = testing::rerunDrawing();
    RunFixture reference(current);
    reference.start();
    reference.ok(testing::kFirstChoice);

    sim::HostData older = current;
    older.behaviour.undoCalls = sim::UndoCalls::older;
    RunFixture oldRun(older);
    ASSERT_TRUE(oldRun.start());
    EXPECT_FALSE(oldRun.ok(testing::kFirstChoice));
    EXPECT_TRUE(oldRun.messages().empty());
    EXPECT_EQ(oldRun.count("FinishRecordingUndoObject"), 1u);
    EXPECT_EQ(undoNames(oldRun.drawing()), plus(undoNames(older), L"Oberflächenangabe"));
    oldRun.sim.editUndo(1);
    expectAsBefore(older, oldRun.drawing());

    sim::HostData without = current;
    without.behaviour.undoCalls = sim::UndoCalls::none;
    RunFixture plain(without);
    ASSERT_TRUE(plain.start());
    EXPECT_FALSE(plain.ok(testing::kFirstChoice));
    EXPECT_TRUE(plain.messages().empty());
    EXPECT_EQ(plain.count("FinishRecordingUndoObject2") + plain.count("FinishRecordingUndoObject"), 0u);
    sim::DocumentData same = *plain.drawing().activeDoc;
    same.undoList = reference.drawing().activeDoc->undoList;
    EXPECT_TRUE(same == *reference.drawing().activeDoc) << "the same drawing as with the recording";
    EXPECT_GT(plain.drawing().activeDoc->undoList.size(), current.activeDoc->undoList.size() + 1)
        << "each change an entry of its own";
}

TEST(OneUndoStep, AfterAnInsertionErrorOneUndoGivesTheDrawingBack) {
    // The earlier output is replaced up to the symbol whose name is held elsewhere.
    const sim::HostData held = testing::nameHeldOnAnotherSheet(L"ZyrSymbol_01");
    RunFixture run(held);
    ASSERT_TRUE(run.start());
    EXPECT_FALSE(run.ok(testing::kFirstChoice));
    EXPECT_EQ(run.messages(), std::vector<std::wstring>{msg::kInsertError});
    // Finished before the message, which then shows a drawing one Undo takes back.
    EXPECT_LT(run.callNumber("FinishRecordingUndoObject2", 1),
              static_cast<std::uint64_t>(run.log.callsBefore("Raise")) + 1);
    EXPECT_EQ(undoNames(run.drawing()), plus(undoNames(held), L"Oberflächenangabe"));
    run.sim.editUndo(1);
    expectAsBefore(held, run.drawing());
    EXPECT_EQ(run.program.session.undoRecording, nullptr);
}

TEST(OneUndoStep, AHostThatStopsTakingCallsIsNotAskedToFinishAndTheRecordingCanBeTriedLater) {
    const sim::HostData before = testing::rerunDrawing();
    RunFixture dry(before);
    dry.start();
    dry.ok(testing::kFirstChoice);

    RunFixture run(before);
    run.sim.stopAnsweringAt(dry.callNumber("InsertSurfaceFinishSymbol2", 2), host::HostFailure::Busy);
    ASSERT_TRUE(run.start());
    HostSession kept;
    run.gef.whileShown = [&run, &kept] { kept = run.program.session; };
    EXPECT_FALSE(run.ok(testing::kFirstChoice));
    EXPECT_EQ(run.messages(), std::vector<std::wstring>{msg::kHostBusy});
    EXPECT_EQ(run.count("FinishRecordingUndoObject2"), 0u);
    // Once the host answers again, one try finishes what it recorded.
    ASSERT_NE(kept.undoRecording, nullptr);
    run.sim.clearFaults();
    tryFinishUndoRecording(kept);
    EXPECT_EQ(kept.undoRecording, nullptr);
    tryFinishUndoRecording(kept);
    EXPECT_EQ(run.count("FinishRecordingUndoObject2"), 1u) << "finished exactly once";
    run.sim.editUndo(1);
    expectAsBefore(before, run.drawing());
}

// Ok arrives as the user clicks it, again and again, from the moment the dialog exists.
TEST(DialogHandlers, OkInsideAMessageOrInsideTheRunDoesNothing) {
    const sim::HostData unknownKind =
        testing::drawingWith({testing::sfSymbol(5, L"", L"", L"ZyrSymbol_99")});
    RunFixture failing(unknownKind);
    int clicks = 0;
    failing.gef.whileShown = [&] {
        for (; clicks < 3; ++clicks) {
            runDialogHandler(failing.program, cmd_Ok_Click);
        }
    };
    EXPECT_FALSE(failing.start());
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(failing.messages(), std::vector<std::wstring>{msg::kUnknownMainKind + std::wstring(L"5")});
    EXPECT_EQ(failing.count("DeleteSelection") + failing.count("InsertSurfaceFinishSymbol2"), 0u);
    EXPECT_EQ(failing.drawing(), unknownKind);

    RunFixture good(testing::rerunDrawing());
    good.sim.setCallObserver([&good](std::uint64_t) { runDialogHandler(good.program, cmd_Ok_Click); });
    ASSERT_TRUE(good.start());
    EXPECT_FALSE(good.ok(testing::kFirstChoice));
    good.sim.setCallObserver({});
    EXPECT_TRUE(good.messages().empty());
    EXPECT_EQ(good.terminator.ended, 1);
    EXPECT_EQ(good.count("EditRebuild"), 1u);
    EXPECT_EQ(good.count("StartRecordingUndoObject"), 1u);
}

} // namespace
} // namespace tvx
