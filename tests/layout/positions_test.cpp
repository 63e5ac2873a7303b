#include "drawing/sim/sim_host.h"
#include "layout/calc_error.h"
#include "layout/positions.h"
#include "layout/table_measurer.h"
#include "worked_example.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

struct LayoutCase {
    sim::SimHost sim;
    host::DocRef doc;
    TableMeasurer surface = bracketExampleMeasurer();
    Config cfg = testing::workedExampleConfig();
    SymbolRegister symbols = testing::workedExampleSymbols();
    LayoutResult result;

    explicit LayoutCase(sim::SheetData sheet = sim::makeSheet(L"Blatt1"))
        : sim(sim::makeDrawingHost({std::move(sheet)})),
          doc(sim.connector().attach(host::kHostClassName)->ActiveDoc()) {}

    void compute() { computeLayout(surface, cfg, doc, symbols, result); }
};

TEST(ComputeLayout, WorkedExampleWithTwoOtherSymbols) {
    LayoutCase c;
    c.compute();
    EXPECT_NEAR(c.symbols.slots[1].posX, 0.383, 1e-12);
    EXPECT_NEAR(c.symbols.slots[2].posX, 0.368, 1e-12);
    EXPECT_NEAR(c.symbols.slots[0].posX, 0.352, 1e-12);
    for (int i = 0; i <= 2; ++i) {
        EXPECT_NEAR(c.symbols.slots[static_cast<std::size_t>(i)].posY, 0.015, 1e-12) << i;
    }
    EXPECT_NEAR(c.result.widthSum, 0.008, 1e-12);
    EXPECT_NEAR(c.result.notePoint.x, 0.3655, 1e-12);
    EXPECT_NEAR(c.result.notePoint.y, 0.014, 1e-12);
    EXPECT_EQ(c.result.noteText, L"(" + std::wstring(16, L' ') + L")");
    EXPECT_EQ(c.surface.fontName(), L"Arial"); // left in the note's font
    EXPECT_EQ(c.surface.measurements()[0].fontName, L"ISOCP");
    EXPECT_EQ(c.surface.measurements()[0].fontSize, 14.0f);
}

TEST(ComputeLayout, WithoutOtherSymbolsTheMainSymbolStandsAtTheCornerAndNoNoteIsMade) {
    LayoutCase c;
    c.symbols.slotCount = 0;
    c.compute();
    EXPECT_NEAR(c.symbols.slots[0].posX, 0.385, 1e-12);
    EXPECT_NEAR(c.symbols.slots[0].posY, 0.015, 1e-12);
    EXPECT_TRUE(c.result.noteText.empty());
    EXPECT_EQ(c.symbols.slots[1].posX, 0.0); // slots above slotCount untouched
    EXPECT_EQ(c.surface.fontName(), L"ISOCP");
}

TEST(ComputeLayout, CornerFollowsThePaperSizeTheSheetReports) {
    const std::pair<std::int32_t, double> cases[] = {
        {11, 0.8}, {10, 0.6}, {9, 0.45}, {8, 0.4}, {7, 0.2}, {6, 0.0}, {12, 0.0}, {0, 0.0}};
    for (const auto& [code, cx] : cases) {
        LayoutCase c(sim::makeSheet(L"Blatt1", code));
        c.compute();
        EXPECT_EQ(c.result.cornerPoint.x, cx) << "paper code " << code;
        EXPECT_EQ(c.result.cornerPoint.y, 0.01);
    }
}

TEST(ComputeLayout, CornerLinesGiveTheOtherPaperSizesTheirCorner) {
    // A4 landscape and user-defined from corner lines; ANSI A (0) has none and stays at x = 0.
    const std::pair<std::int32_t, double> cases[] = {{6, 0.287}, {12, 0.5}, {0, 0.0}, {8, 0.4}};
    for (const auto& [code, cx] : cases) {
        LayoutCase c(sim::makeSheet(L"Blatt1", code));
        c.cfg.cfgExtraCornerX[6] = 0.287;
        c.cfg.cfgExtraCornerX[12] = 0.5;
        c.compute();
        EXPECT_EQ(c.result.cornerPoint.x, cx) << "paper code " << code;
        EXPECT_NEAR(c.symbols.slots[1].posX, cx - 0.017, 1e-12) << "paper code " << code;
    }
    Config cfg = testing::workedExampleConfig();
    cfg.cfgExtraCornerX[6] = 0.287;
    EXPECT_EQ(cornerX(host::HostArray{6.0}, cfg), 0.287);
    EXPECT_EQ(cornerX(host::HostArray{6.5}, cfg), 0.0);
    EXPECT_EQ(cornerX(host::HostArray{-6.0}, cfg), 0.0);
    EXPECT_EQ(cornerX(host::HostArray{1e300}, cfg), 0.0);
}

TEST(CornerX, PaperCodeIsComparedAsANumberWhateverTypeTheHostChose) {
    const Config cfg = testing::workedExampleConfig();
    using host::HostArray;
    EXPECT_EQ(cornerX(HostArray{8.0, 8.0}, cfg), 0.4);
    EXPECT_EQ(cornerX(HostArray{std::int64_t{8}}, cfg), 0.4);
    EXPECT_EQ(cornerX(HostArray{8.5}, cfg), 0.0);
    EXPECT_EQ(cornerX(HostArray{true}, cfg), 0.0);
    EXPECT_EQ(cornerX(HostArray{std::monostate{}}, cfg), 0.0);
    EXPECT_THROW(cornerX(HostArray{std::wstring(L"8")}, cfg), CalcError);
    EXPECT_THROW(cornerX(HostArray{}, cfg), CalcError);
    EXPECT_THROW(cornerX(host::HostScalar{8.0}, cfg), CalcError);
}

TEST(ComputeLayout, HostFailuresAndBadPropertiesEndTheLayout) {
    LayoutCase noSheet;
    noSheet.sim.failOperation("GetCurrentSheet");
    EXPECT_THROW(noSheet.compute(), host::HostError);

    sim::SheetData sheet = sim::makeSheet(L"Blatt1");
    sheet.propertiesOverride = host::HostValue{host::HostScalar{8.0}};
    LayoutCase notArray(sheet);
    EXPECT_THROW(notArray.compute(), CalcError);
}

TEST(ComputeLayout, AnOverflowingPositionIsACalculationError) {
    LayoutCase c;
    c.cfg.cfgCornerX[3] = 1e308;
    c.cfg.cfgBracketPad = -1e308;
    EXPECT_THROW(c.compute(), CalcError);
}

} // namespace
} // namespace tvx
