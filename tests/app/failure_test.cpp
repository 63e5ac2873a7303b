#include "drawing/messages.h"
#include "drawing/sim/drawing_file.h"
#include "drawing/sim/utf8.h"
#include "stories.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

namespace tvx {
namespace {

using testing::RunFixture;

// A failure after the dialog was hidden: the insertion message, no rebuild, toggle 24 as before.
void expectInsertError(const RunFixture& run, const sim::HostData& before) {
    EXPECT_EQ(run.messages(), std::vector<std::wstring>{msg::kInsertError});
    EXPECT_EQ(run.gef.shown.at(0).title, testing::kMainCaption);
    EXPECT_FALSE(run.gef.shown.at(0).mainFormVisible);
    EXPECT_EQ(run.count("EditRebuild"), 0u);
    EXPECT_EQ(run.drawing().activeDoc->rebuildCount, before.activeDoc->rebuildCount);
    EXPECT_EQ(run.drawing().toggles.at(24), before.toggles.at(24));
    EXPECT_EQ(run.terminator.ended, 1);
}

std::vector<std::wstring> allNames(const sim::HostData& drawing) {
    std::vector<std::wstring> names;
    for (const auto& view : drawing.activeDoc->sheets.at(0).views) {
        for (const auto& s : view.symbols) {
            names.push_back(s.name);
        }
        for (const auto& n : view.notes) {
            names.push_back(n.name);
        }
    }
    return names;
}

TEST(OkFailures, ACalculationErrorIsShownOverTheVisibleDialogAndTouchesNothing) {
    const std::function<void(RunFixture&)> faults[] = {
        [](RunFixture& r) { r.sim.failOperation("GetCurrentSheet"); },
        [](RunFixture& r) { r.form.measurer.knowOnly({L"Arial"}); },
    };
    for (const auto& fault : faults) {
        const sim::HostData before = testing::rerunDrawing();
        RunFixture run(before);
        ASSERT_TRUE(run.start());
        fault(run);
        EXPECT_FALSE(run.ok(testing::kFirstChoice));
        EXPECT_EQ(run.messages(), std::vector<std::wstring>{msg::kCalcError});
        EXPECT_TRUE(run.gef.shown.at(0).mainFormVisible);
        EXPECT_EQ(run.log.callsBefore("hide"), -1);
        EXPECT_EQ(run.drawing(), before);
    }
}

TEST(OkFailures, AClearingFailureEndsTheRunAndWhatWasDeletedStaysDeleted) {
    const sim::HostData before = testing::rerunDrawing();
    RunFixture dry(before);
    dry.start();
    dry.ok(testing::kFirstChoice);

    RunFixture run(before);
    run.sim.failAtCall(dry.callNumber("DeleteSelection", 3)); // the note, ZyrSymbol_99, then this
    ASSERT_TRUE(run.start());
    EXPECT_FALSE(run.ok(testing::kFirstChoice));
    expectInsertError(run, before);
    EXPECT_EQ(run.count("InsertSurfaceFinishSymbol2"), 0u);
    EXPECT_EQ(testing::noteNamed(run.drawing(), L"ZyrNote"), nullptr);
    std::vector<std::wstring> own;
    for (const auto* s : testing::ownSymbols(run.drawing())) {
        own.push_back(s->name);
    }
    EXPECT_EQ(own, (std::vector<std::wstring>{L"ZyrSymbol_01", L"ZyrSymbol_02", L"ZyrSymbol_03"}));
}

TEST(OkFailures, AnInsertionTheHostDidNotMakeNeverRenamesTheUsersSymbol) {
    sim::HostData before = testing::rerunDrawing();
    before.behaviour.refuseSymbolInsert = true;
    RunFixture run(before);
    ASSERT_TRUE(run.start());
    EXPECT_FALSE(run.ok(testing::kFirstChoice));
    expectInsertError(run, before);
    // The earlier output is gone, and the user's symbols keep their names.
    EXPECT_EQ(allNames(run.drawing()),
              (std::vector<std::wstring>{L"Oberflächengüte1", L"Oberflächengüte2",
                                         L"Oberflächengüte3", L"Oberflächengüte4"}));
}

TEST(OkFailures, ARefusedNameIsAFailedPlacing) {
    // The main symbol's name held by an earlier symbol elsewhere in the document.
    const sim::HostData stuck = testing::nameHeldOnAnotherSheet(L"ZyrSymbol_99");
    // A note of an earlier run on another sheet holds the note's name, where names are unique
    // in the whole document.
    sim::HostData otherSheet = testing::foreignDrawing();
    otherSheet.behaviour.nameScope = sim::NameScope::document;
    sim::SheetData second = sim::makeSheet(L"Blatt2");
    second.views[0].notes.push_back(sim::NoteData{L"()", L"ZyrNote", 0, 0, 0, 0, 0, {}, {}, true});
    otherSheet.activeDoc->sheets.push_back(second);

    for (const sim::HostData& before : {stuck, otherSheet}) {
        RunFixture run(before);
        ASSERT_TRUE(run.start());
        EXPECT_FALSE(run.ok(testing::kFirstChoice));
        expectInsertError(run, before);
        const std::size_t names = run.count("SetName");
        ASSERT_GT(names, 0u);
        EXPECT_EQ(run.sim.trace().at(run.callNumber("SetName", names) - 1).result, "BOOL false");
    }
}

// An earlier symbol or note the host will not select (on a locked layer or in a locked view) could
// be neither deleted nor replaced: the run stops before its first change, whichever it is, and
// once it is unlocked the next run replaces the whole earlier output.
TEST(LockedEarlierOutput, StopsTheRunBeforeAnyChangeAndOnceUnlockedTheNextRunIsClean) {
    const sim::HostData original = sim::loadDrawingFile(std::string(TVX_SAMPLES_DIR) + "/rerun-drawing.json");
    RunFixture clean(original);
    ASSERT_TRUE(clean.start());
    ASSERT_FALSE(clean.ok(testing::kFirstChoice));
    ASSERT_TRUE(clean.messages().empty());

    std::vector<std::wstring> own;
    for (const auto& s : original.activeDoc->sheets[0].views[0].symbols) {
        if (s.name.rfind(L"ZyrSymbol_", 0) == 0) {
            own.push_back(s.name);
        }
    }
    own.push_back(L"ZyrNote");
    ASSERT_EQ(own.size(), 4u) << "the main symbol, two others and the note";
    for (const std::wstring& name : own) {
        SCOPED_TRACE(sim::toUtf8(name));
        sim::HostData before = original;
        sim::ViewData& view = before.activeDoc->sheets[0].views[0];
        const auto lock = [&](bool locked) {
            for (auto& s : view.symbols) {
                s.selectable = !(locked && s.name == name);
            }
            for (auto& n : view.notes) {
                n.selectable = !(locked && n.name == name);
            }
        };
        lock(true);
        RunFixture run(before);
        ASSERT_TRUE(run.start());
        EXPECT_FALSE(run.ok(testing::kFirstChoice));
        expectInsertError(run, before);
        // Byte for byte: no deletion, no insertion, toggle 24 and the Undo list as they were.
        EXPECT_EQ(sim::drawingToJson(run.drawing()), sim::drawingToJson(before));
        EXPECT_EQ(run.count("StartRecordingUndoObject"), 0u);
        EXPECT_EQ(run.operations().back(), "ClearSelection2") << "the selection is emptied again";

        lock(false);
        RunFixture unlocked(before);
        ASSERT_TRUE(unlocked.start());
        EXPECT_FALSE(unlocked.ok(testing::kFirstChoice));
        EXPECT_TRUE(unlocked.messages().empty());
        EXPECT_EQ(sim::drawingToJson(unlocked.drawing()), sim::drawingToJson(clean.drawing()));
    }
}

// A note named as ours that the user moved into a drawing view is addressed by that view, so
// clearing never deletes it; locked or not, it must not stop the run either.
TEST(LockedEarlierOutput, AnEarlierNoteInsideADrawingViewIsLeftAloneAndTheRunCompletes) {
    const sim::HostData original = sim::loadDrawingFile(std::string(TVX_SAMPLES_DIR) + "/rerun-drawing.json");
    RunFixture clean(original);
    ASSERT_TRUE(clean.start());
    ASSERT_FALSE(clean.ok(testing::kFirstChoice));
    for (const bool locked : {false, true}) {
        SCOPED_TRACE(locked ? "locked" : "selectable");
        sim::HostData before = original;
        auto& views = before.activeDoc->sheets[0].views;
        auto& sheetNotes = views[0].notes;
        const auto at = std::find_if(sheetNotes.begin(), sheetNotes.end(),
                                     [](const sim::NoteData& n) { return n.name == L"ZyrNote"; });
        ASSERT_NE(at, sheetNotes.end());
        sim::NoteData moved = *at;
        moved.selectable = !locked;
        sheetNotes.erase(at);
        views[1].notes.push_back(moved);

        RunFixture run(before);
        ASSERT_TRUE(run.start());
        EXPECT_FALSE(run.ok(testing::kFirstChoice));
        EXPECT_TRUE(run.messages().empty());
        // As a clean re-run leaves the drawing, with the moved note where it was.
        sim::HostData expected = clean.drawing();
        expected.activeDoc->sheets[0].views[1].notes.push_back(moved);
        EXPECT_EQ(sim::drawingToJson(run.drawing()), sim::drawingToJson(expected));
    }
}

TEST(OkFailures, PlacingBrokenOffKeepsWhatWasPlacedAndSwitchesToggle24BackOn) {
    const sim::HostData before = testing::rerunDrawing();
    RunFixture dry(before);
    dry.start();
    dry.ok(testing::kFirstChoice);

    RunFixture midway(before);
    midway.sim.failAtCall(dry.callNumber("InsertSurfaceFinishSymbol2", 3));
    ASSERT_TRUE(midway.start());
    EXPECT_FALSE(midway.ok(testing::kFirstChoice));
    expectInsertError(midway, before);
    EXPECT_EQ(testing::ownSymbols(midway.drawing()).size(), 2u);
    EXPECT_EQ(testing::noteNamed(midway.drawing(), L"ZyrNote"), nullptr);
    // The toggle back on, then the recording finished before the message.
    const auto operations = midway.operations();
    ASSERT_GE(operations.size(), 2u);
    EXPECT_EQ(operations[operations.size() - 2], "SetUserPreferenceToggle");
    EXPECT_EQ(operations.back(), "FinishRecordingUndoObject2");

    sim::HostData noNote = before;
    noNote.behaviour.noteInsertReturnsEmpty = true;
    RunFixture withoutNote(noNote);
    ASSERT_TRUE(withoutNote.start());
    EXPECT_FALSE(withoutNote.ok(testing::kFirstChoice));
    expectInsertError(withoutNote, noNote);
    EXPECT_EQ(testing::ownSymbols(withoutNote.drawing()).size(), 4u);
}

// Busy is not hung: the message asks the user to close the host's dialog, so once it is confirmed
// the run takes back what it owes the drawing, if the host answers by then. Here the host stops
// at the main symbol's naming, with toggle 24 on and the symbol inserted but not yet named.
TEST(OkFailures, ABusyHostIsTidiedUpOnceItAnswersAgainAndAHungOneIsAskedNothing) {
    const sim::HostData before = testing::rerunDrawing();
    ASSERT_TRUE(before.toggles.at(24));
    RunFixture dry(before);
    dry.start();
    dry.ok(testing::kFirstChoice);
    const std::uint64_t naming = dry.callNumber("SetName", 1);
    const std::vector<std::wstring> known = allNames(before);
    struct Case {
        const char* what;
        host::HostFailure kind;
        bool answersAgain;
        bool tidied;
    };
    const Case cases[] = {
        {"busy, answering again before the user confirms", host::HostFailure::Busy, true, true},
        {"still busy", host::HostFailure::Busy, false, false},
        {"hung", host::HostFailure::Hung, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunFixture run(before);
        run.sim.stopAnsweringAt(naming, c.kind);
        if (c.answersAgain) {
            run.gef.whileShown = [&run] { run.sim.clearFaults(); };
        }
        ASSERT_TRUE(run.start());
        EXPECT_FALSE(run.ok(testing::kFirstChoice));
        EXPECT_EQ(run.messages().size(), 1u);
        EXPECT_EQ(run.terminator.ended, 1);
        EXPECT_EQ(run.terminator.how, RunEnd::HostGone);
        EXPECT_EQ(run.drawing().toggles.at(24), c.tidied);
        std::size_t unnamed = 0;
        for (const std::wstring& name : allNames(run.drawing())) {
            unnamed += name.rfind(L"ZyrSymbol_", 0) != 0 && name != L"ZyrNote" &&
                       std::count(known.begin(), known.end(), name) == 0;
        }
        EXPECT_EQ(unnamed, c.tidied ? 0u : 1u);
        const std::uint64_t callsAfter = run.sim.callCount() - naming;
        if (c.kind == host::HostFailure::Hung) {
            EXPECT_EQ(callsAfter, 0u) << "nothing may be asked of a hung host";
        } else if (!c.tidied) {
            EXPECT_EQ(callsAfter, 1u) << "one more try, rejected, and nothing after it";
        }
    }
}

} // namespace
} // namespace tvx
