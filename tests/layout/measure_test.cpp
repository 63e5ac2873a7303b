#include "layout/calc_error.h"
#include "layout/measure.h"
#include "layout/table_measurer.h"
#include "worked_example.h"

#include <gtest/gtest.h>

#include <limits>

namespace tvx {
namespace {

TEST(MeasureText, FontNameAndSizePersistUntilChangedAndEmptyOrZeroChangeNothing) {
    TableMeasurer surface;
    EXPECT_EQ(measureText(surface, L"", L"Arial", 10), 0.0);
    EXPECT_EQ(measureText(surface, L"", L"MS Sans Serif", 0), 0.0);
    EXPECT_EQ(surface.measurementCount(), 0u); // an empty text only sets the font

    measureText(surface, L"x", L"", 0);
    ASSERT_EQ(surface.measurements().size(), 1u);
    EXPECT_EQ(surface.measurements()[0].fontName, L"MS Sans Serif");
    EXPECT_EQ(surface.measurements()[0].fontSize, 10.0f);
}

TEST(MeasureText, MillimetresBecomeMetres) {
    TableMeasurer surface;
    EXPECT_DOUBLE_EQ(measureText(surface, std::wstring(50, L'x'), L"", 0), 0.05);
}

TEST(MeasureText, RefusedFontThrowsAndKeepsTheCurrentFont) {
    TableMeasurer surface;
    surface.knowOnly({L"ISOCP"});
    EXPECT_THROW(measureText(surface, L"x", L"Unbekannt", 0), FontRefused);
    EXPECT_EQ(surface.fontName(), L"ISOCP");
}

TEST(MeasureText, ANonFiniteWidthIsACalculationError) {
    TableMeasurer surface;
    surface.setWidth(L'x', std::numeric_limits<float>::infinity());
    EXPECT_THROW(measureText(surface, L"x", L"", 0), CalcError);
}

TEST(MeasureSlotWidths, WidthSumLeavesOutTheMainSymbolAndEmptyTextsAreNotMeasured) {
    TableMeasurer surface;
    const Config cfg = testing::workedExampleConfig();
    SymbolRegister symbols = testing::workedExampleSymbols();
    symbols.slots[0].method = std::wstring(40, L'x'); // the longest text, still not in the sum
    symbols.appendOther(0, L"", L"");
    LayoutResult result;
    measureSlotWidths(surface, cfg, symbols, result);
    EXPECT_DOUBLE_EQ(symbols.slots[0].textWidth, 0.04);
    EXPECT_DOUBLE_EQ(symbols.slots[1].textWidth, 0.006);
    EXPECT_EQ(symbols.slots[3].textWidth, 0.0);
    EXPECT_DOUBLE_EQ(result.widthSum, 0.008);
    EXPECT_EQ(surface.measurementCount(), 3u);
}

TEST(MeasureSlotWidths, WidthFactorScalesEveryWidthAndNoOthersGiveNoSum) {
    TableMeasurer surface;
    Config cfg = testing::workedExampleConfig();
    SymbolRegister symbols = testing::workedExampleSymbols();
    LayoutResult result;

    cfg.cfgWidthFactor = 0.0;
    measureSlotWidths(surface, cfg, symbols, result);
    EXPECT_EQ(symbols.slots[0].textWidth, 0.0);
    EXPECT_EQ(result.widthSum, 0.0);

    cfg.cfgWidthFactor = 2.0;
    symbols.slotCount = 0;
    result.widthSum = 1.0;
    measureSlotWidths(surface, cfg, symbols, result);
    EXPECT_DOUBLE_EQ(symbols.slots[0].textWidth, 0.008);
    EXPECT_EQ(result.widthSum, 0.0);
}

} // namespace
} // namespace tvx
