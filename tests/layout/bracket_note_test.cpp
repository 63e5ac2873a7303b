#include "layout/bracket_note.h"
#include "layout/calc_error.h"
#include "layout/table_measurer.h"
#include "worked_example.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

std::wstring bracket(std::size_t blanks) { return L"(" + std::wstring(blanks, L' ') + L")"; }

struct NoteCase {
    TableMeasurer surface = bracketExampleMeasurer();
    Config cfg = testing::workedExampleConfig();
    SymbolRegister symbols = testing::workedExampleSymbols();
    LayoutResult result;

    NoteCase() {
        result.widthSum = 0.008;
        result.cornerPoint = {0.4, 0.01};
    }
    void build() { buildBracketNote(surface, cfg, symbols, result); }
};

TEST(BracketNote, WorkedExampleCentresTheFinalNoteNotTheOneThatEndedTheSearch) {
    NoteCase c;
    c.build();
    EXPECT_EQ(c.result.noteText, bracket(16));
    EXPECT_NEAR(c.result.notePoint.x, 0.3655, 1e-12);
    EXPECT_NEAR(c.result.notePoint.y, 0.014, 1e-12);

    const auto& measured = c.surface.measurements();
    ASSERT_EQ(measured.size(), 18u); // k = 1..17, then the note itself
    EXPECT_EQ(measured[16].text, bracket(17));
    EXPECT_EQ(measured[17].text, bracket(16));
    for (const auto& m : measured) {
        EXPECT_EQ(m.fontName, L"Arial");
        EXPECT_EQ(m.fontSize, 10.0f);
    }
}

TEST(BracketNote, AWidthEqualToTheNeededOneEndsTheSearchAndOneSymbolHasNoGap) {
    NoteCase c;
    c.symbols.slotCount = 1;
    c.cfg.cfgSymbolWidth = 0.012;
    c.cfg.cfgBracketPad = 0.0;
    c.cfg.cfgSymbolGap = 1.0; // would make the bracket a metre wide if it counted
    c.result.widthSum = 0.0;
    c.build(); // "(" + 5 blanks + ")" is 12 mm
    EXPECT_EQ(c.result.noteText, bracket(4));
    EXPECT_NEAR(c.result.notePoint.x, 0.4 + (0.012 - 0.010) / 2 - 0.012, 1e-12);
}

TEST(BracketNote, OneBlankAlreadyWideEnoughGivesEmptyBrackets) {
    NoteCase c;
    c.symbols.slotCount = 1;
    c.cfg.cfgSymbolWidth = 0.001;
    c.cfg.cfgBracketPad = 0.0;
    c.result.widthSum = 0.0;
    c.build();
    EXPECT_EQ(c.result.noteText, L"()");
    EXPECT_NEAR(c.result.notePoint.x, 0.3985, 1e-12);
}

TEST(BracketNote, ABlankWithoutWidthStopsAtTheSearchLimit) {
    NoteCase c;
    c.surface.setWidth(L' ', 0.0f);
    c.surface.setRecording(false);
    EXPECT_THROW(c.build(), CalcError);
    EXPECT_EQ(c.surface.measurementCount(), static_cast<std::size_t>(kBlankSearchLimit));
}

TEST(BracketNote, AnOverflowingWidthIsACalculationError) {
    NoteCase c;
    c.cfg.cfgSymbolWidth = 1e308;
    EXPECT_THROW(c.build(), CalcError);
    EXPECT_EQ(c.surface.measurementCount(), 0u);
}

} // namespace
} // namespace tvx
