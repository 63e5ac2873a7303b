#include "drawing/sim/drawing_file.h"
#include "drawing/sim/listing.h"
#include "golden.h"
#include "stories.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace tvx {
namespace {

using testing::RunFixture;
using testing::sfSymbol;

const std::set<std::string> kChangingOperations = {
    "SelectByID", "DeleteSelection", "Select2", "ActivateSheet", "InsertSurfaceFinishSymbol2",
    "InsertNote", "SetName", "SetTextFormat", "SetUserPreferenceToggle", "EditRebuild"};

std::vector<std::wstring> namesOf(const std::vector<const sim::SymbolData*>& symbols) {
    std::vector<std::wstring> names;
    for (const auto* s : symbols) {
        names.push_back(s->name);
    }
    return names;
}

std::wstring text(const sim::SymbolData& s, std::int32_t index) {
    const auto it = s.texts.find(index);
    return it == s.texts.end() ? L"" : it->second;
}

TEST(FirstRun, PlacesMainSymbolOthersAndNoteAfterHidingTheDialogAndRebuildsOnce) {
    RunFixture run(testing::foreignDrawing());
    ASSERT_TRUE(run.start());
    EXPECT_FALSE(run.ok(testing::kFirstChoice));

    EXPECT_TRUE(run.messages().empty());
    EXPECT_EQ(run.log.names().back(), "end");
    const std::int64_t hiddenAt = run.log.callsBefore("hide");
    ASSERT_GT(hiddenAt, 0);
    for (std::size_t i = 0; i < static_cast<std::size_t>(hiddenAt); ++i) {
        EXPECT_EQ(kChangingOperations.count(run.sim.trace()[i].operation), 0u) << i;
    }
    EXPECT_EQ(run.operations().back(), "EditRebuild");
    EXPECT_EQ(run.drawing().activeDoc->rebuildCount, 1);
    EXPECT_TRUE(run.drawing().toggles.at(24));
    EXPECT_TRUE(testing::matchesGolden(sim::listAnnotations(run.drawing()), "first-run.txt"));
}

TEST(Rerun, ProposesTheEarlierMainSymbolAndReplacesTheEarlierOutput) {
    RunFixture first(testing::foreignDrawing());
    first.start();
    first.ok(testing::kFirstChoice);

    RunFixture same(first.drawing());
    ASSERT_TRUE(same.start());
    EXPECT_EQ(same.form.kind.listIndex(), 0);
    EXPECT_EQ(same.form.rough.text(), L"6,4");
    EXPECT_EQ(same.form.method.text(), L"geschliffen");
    EXPECT_FALSE(same.ok(testing::kFirstChoice));
    sim::HostData expected = first.drawing();
    expected.activeDoc->rebuildCount = 2;
    expected.activeDoc->undoList.push_back({L"Oberflächenangabe", nullptr}); // the second run's
    EXPECT_EQ(same.drawing(), expected);

    RunFixture other(first.drawing());
    ASSERT_TRUE(other.start());
    EXPECT_FALSE(other.ok({2, L"poliert", L"0,4"}));
    EXPECT_TRUE(testing::matchesGolden(sim::listAnnotations(other.drawing()), "rerun.txt"));
}

TEST(Cancel, LeavesTheDrawingWithAnEarlierRunsOutputExactlyAsItWas) {
    const sim::HostData before = testing::rerunDrawing();
    RunFixture run(before);
    ASSERT_TRUE(run.start());
    EXPECT_FALSE(run.cancel());
    EXPECT_EQ(run.drawing(), before);
    EXPECT_TRUE(run.messages().empty());
    EXPECT_EQ(run.terminator.ended, 1);
    EXPECT_EQ(run.program.session.hostApp, nullptr);
    for (const auto& operation : run.operations()) {
        EXPECT_EQ(kChangingOperations.count(operation), 0u) << operation;
    }
}

TEST(MainSymbolTwin, IsNotRepeatedAndTheOthersKeepTheirIds) {
    RunFixture run(testing::drawingWith({sfSymbol(1, L"0,4", L"", L"A"), sfSymbol(1, L"1,6", L"", L"B"),
                                         sfSymbol(2, L"3,2", L"poliert", L"C")}));
    ASSERT_TRUE(run.start());
    EXPECT_FALSE(run.ok({1, L"", L"1,6"}));
    const auto own = testing::ownSymbols(run.drawing());
    ASSERT_EQ(namesOf(own), (std::vector<std::wstring>{L"ZyrSymbol_99", L"ZyrSymbol_01", L"ZyrSymbol_03"}));
    EXPECT_EQ(text(*own[0], 5), L"1,6");
    EXPECT_EQ(text(*own[1], 5), L"0,4");
    EXPECT_EQ(own[2]->symbolType, 2);
    EXPECT_EQ(text(*own[2], 2), L"poliert");
}

TEST(Placing, WithoutOtherSymbolsOnlyTheMainSymbolStandsAtTheCorner) {
    RunFixture run(testing::drawingWith({}));
    ASSERT_TRUE(run.start());
    EXPECT_FALSE(run.ok({2, L"poliert", L""}));
    const auto own = testing::ownSymbols(run.drawing());
    ASSERT_EQ(namesOf(own), std::vector<std::wstring>{L"ZyrSymbol_99"});
    EXPECT_NEAR(own[0]->x, 0.4 - 0.002 - 0.007 - (0.01 - 0.001), 1e-12);
    EXPECT_NEAR(own[0]->y, 0.015, 1e-12);
    EXPECT_EQ(own[0]->symbolType, 2);
    EXPECT_EQ(text(*own[0], 2), L"poliert");
    EXPECT_EQ(run.count("InsertNote"), 0u);
    EXPECT_TRUE(testing::sheetView(run.drawing()).notes.empty());
}

// A4 landscape with an earlier run's output and a foreign symbol, so the group has a note.
sim::HostData a4Landscape(double width = 0.297, double height = 0.21) {
    sim::HostData data = testing::rerunDrawing();
    sim::SheetData& sheet = testing::firstSheet(data);
    sheet.paperCode = 6;
    sheet.width = width;
    sheet.height = height;
    return data;
}

TEST(Placing, AGroupThatWouldLeaveItsSheetChangesNothingAndSaysWhatToWrite) {
    const std::string withLine = testing::configText() + "Eckpunkt 6 = 0.287\n";
    const std::string tooHigh = [] {
        std::string text = testing::configText();
        text.replace(text.find("0.01, 0.005"), 4, "0.25");
        return text;
    }();
    sim::HostData portrait = a4Landscape(0.15, 0.297);
    testing::firstSheet(portrait).paperCode = 7;
    // The host's older answer without the sheet's size: nothing to check, placed as ever.
    sim::HostData sizeless = a4Landscape();
    testing::firstSheet(sizeless).propertiesOverride = host::HostArray{6.0, 6.0, 1.0, 1.0, 0.0};

    struct Case {
        const char* what;
        sim::HostData drawing;
        std::string config;
        std::wstring message; // empty: the run completes
    };
    const Case cases[] = {
        {"no corner line", a4Landscape(), testing::configText(),
         L"Kein Eckpunkt für Papierformat 6: bitte „Eckpunkt 6 = …“ in der Konfiguration ergänzen."},
        {"corner line", a4Landscape(), withLine, L""},
        {"corner line beyond a narrow sheet", a4Landscape(0.2), withLine,
         L"Angabe passt nicht auf Papierformat 6: bitte „Eckpunkt 6 = …“ in der Konfiguration "
         L"korrigieren."},
        {"item's corner beyond a narrow sheet", portrait, testing::configText(),
         L"Angabe passt nicht auf Papierformat 7: bitte Nr. 5 (Eckpunkt x) in der Konfiguration "
         L"korrigieren."},
        {"corner y above the sheet", a4Landscape(), tooHigh + "Eckpunkt 6 = 0.287\n",
         L"Angabe passt nicht auf Papierformat 6: bitte Nr. 6 (Eckpunkt y) in der Konfiguration "
         L"korrigieren."},
        {"no sheet size", sizeless, testing::configText(), L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunFixture run(c.drawing, c.config);
        std::string log;
        run.program.log.writeTo([&log](std::string_view record) { log += record; });
        ASSERT_TRUE(run.start());
        EXPECT_FALSE(run.ok(testing::kFirstChoice));
        EXPECT_EQ(run.terminator.how, c.message.empty() ? RunEnd::Done : RunEnd::Message);
        if (c.message.empty()) {
            EXPECT_TRUE(run.messages().empty());
            const double cx = run.program.layout.cornerPoint.x;
            const auto own = testing::ownSymbols(run.drawing());
            ASSERT_EQ(own.size(), static_cast<std::size_t>(run.program.symbols.slotCount) + 1);
            EXPECT_EQ(own[1]->x, run.program.symbols.slot(1).posX);
            EXPECT_NEAR(own[1]->x, cx - 0.002 - (0.01 - 0.001) - run.program.symbols.slot(1).textWidth,
                        1e-12);
            EXPECT_EQ(testing::noteNamed(run.drawing(), L"ZyrNote")->x, run.program.layout.notePoint.x);
            EXPECT_EQ(log.find("Lage auf dem Blatt nicht geprüft") != std::string::npos,
                      c.drawing.activeDoc->sheets.at(0).propertiesOverride.has_value());
            continue;
        }
        EXPECT_EQ(run.messages(), std::vector<std::wstring>{c.message});
        EXPECT_TRUE(run.gef.shown.at(0).mainFormVisible);
        EXPECT_EQ(run.log.callsBefore("hide"), -1);
        EXPECT_EQ(run.count("StartRecordingUndoObject"), 0u);
        EXPECT_EQ(run.drawing(), c.drawing);
        EXPECT_EQ(run.drawing().activeDoc->undoList, c.drawing.activeDoc->undoList);
        EXPECT_EQ(run.terminator.ended, 1);
    }
}

TEST(Placing, FiveOtherSymbolsGiveSixSymbolsInSlotOrderAndOneNote) {
    std::vector<sim::SymbolData> five;
    for (int i = 0; i < 5; ++i) {
        five.push_back(sfSymbol(1, L"0," + std::to_wstring(i), L"", L"F" + std::to_wstring(i)));
    }
    RunFixture run(testing::drawingWith({}, {five}));
    ASSERT_TRUE(run.start());
    EXPECT_FALSE(run.ok(testing::kFirstChoice));
    EXPECT_EQ(namesOf(testing::ownSymbols(run.drawing())),
              (std::vector<std::wstring>{L"ZyrSymbol_99", L"ZyrSymbol_01", L"ZyrSymbol_02",
                                         L"ZyrSymbol_03", L"ZyrSymbol_04", L"ZyrSymbol_05"}));
    ASSERT_EQ(testing::sheetView(run.drawing()).notes.size(), 1u);
    const sim::NoteData& note = testing::sheetView(run.drawing()).notes[0];
    EXPECT_EQ(note.name, L"ZyrNote");
    EXPECT_EQ(note.text, run.program.layout.noteText);
    EXPECT_EQ(note.x, run.program.layout.notePoint.x);
    EXPECT_EQ(note.y, run.program.layout.notePoint.y);
}

TEST(Placing, SymbolFontIsSetOnlyWhenNotKeptWhileTheNoteAlwaysGetsItsFont) {
    for (const int keep : {0, 1}) {
        const sim::HostData data = testing::drawingWith({sfSymbol(1, L"3,2", L"", L"A")});
        RunFixture run(data, testing::configText(keep));
        ASSERT_TRUE(run.start());
        EXPECT_FALSE(run.ok(testing::kFirstChoice));
        for (const auto* s : testing::ownSymbols(run.drawing())) {
            if (keep == 0) {
                EXPECT_EQ(s->format.typeFaceName, L"ISOCP");
                EXPECT_DOUBLE_EQ(s->format.charHeight, 0.0035);
            } else {
                EXPECT_EQ(s->format, data.activeDoc->defaultFormat);
            }
        }
        const sim::NoteData* note = testing::noteNamed(run.drawing(), L"ZyrNote");
        ASSERT_NE(note, nullptr);
        EXPECT_EQ(note->format.typeFaceName, L"ISOCP");
        EXPECT_EQ(note->format.charHeightInPts, 14);
        EXPECT_FALSE(note->format.bold);
    }
}

TEST(Placing, Toggle24IsOffAroundTheInsertionsOnlyWhenItWasOn) {
    for (const bool on : {true, false}) {
        sim::HostData data = testing::foreignDrawing();
        data.toggles[24] = on;
        RunFixture run(data);
        ASSERT_TRUE(run.start());
        EXPECT_FALSE(run.ok(testing::kFirstChoice));
        EXPECT_EQ(run.drawing().toggles.at(24), on);
        if (!on) {
            EXPECT_EQ(run.count("SetUserPreferenceToggle"), 0u);
            continue;
        }
        const std::uint64_t off = run.callNumber("SetUserPreferenceToggle", 1);
        const std::uint64_t back = run.callNumber("SetUserPreferenceToggle", 2);
        EXPECT_EQ(run.sim.trace()[off - 1].args[1].value, "false");
        EXPECT_LT(off, run.callNumber("InsertSurfaceFinishSymbol2", 1));
        EXPECT_GT(back, run.callNumber("InsertSurfaceFinishSymbol2", 4));
        EXPECT_LT(back, run.callNumber("InsertNote", 1));
    }
}

TEST(SampleDrawings, RunToTheEndWithTheSampleConfiguration) {
    std::ifstream configFile(std::string(TVX_SAMPLES_DIR) + "/Tarvenix.txt", std::ios::binary);
    std::ostringstream config;
    config << configFile.rdbuf();
    ASSERT_FALSE(config.str().empty());
    for (const char* name : {"sample-drawing.json", "rerun-drawing.json"}) {
        const sim::HostData before =
            sim::loadDrawingFile(std::string(TVX_SAMPLES_DIR) + "/" + name);
        RunFixture run(before, config.str());
        ASSERT_TRUE(run.start()) << name;
        EXPECT_FALSE(run.ok(testing::kFirstChoice));
        EXPECT_TRUE(run.messages().empty()) << name;
        EXPECT_EQ(run.drawing().activeDoc->rebuildCount, before.activeDoc->rebuildCount + 1);
        const auto own = testing::ownSymbols(run.drawing());
        ASSERT_FALSE(own.empty()) << name;
        EXPECT_EQ(own[0]->name, L"ZyrSymbol_99");
    }
}

} // namespace
} // namespace tvx
