#include "drawing/scan.h"
#include "drawing/sim/sim_host.h"
#include "drawing_builders.h"

#include <gtest/gtest.h>

#include <utility>

namespace tvx {
namespace {

using testing::sfSymbol;

struct ScanCase {
    sim::SimHost sim;
    HostSession session;
    SymbolRegister symbols;

    explicit ScanCase(sim::HostData data) : sim(std::move(data)) {
        session.hostApp = sim.connector().attach(host::kHostClassName);
        session.hostDoc = session.hostApp->ActiveDoc();
    }
    void scan() { scanDrawing(session, symbols); }
};

void expectSlot(const SymbolSlot& slot, std::int32_t id, std::int32_t type, const wchar_t* rough,
                const wchar_t* method) {
    EXPECT_EQ(slot.slotId, id);
    EXPECT_EQ(slot.symbolType, type);
    EXPECT_EQ(slot.roughness, rough);
    EXPECT_EQ(slot.method, method);
}

TEST(ScanDrawing, DistinctForeignSymbolsOfTheSheetAndItsViewsInTheOrderMet) {
    ScanCase c(testing::drawingWith(
        {sfSymbol(1, L"1,6", L"geschliffen", L"A1"), sfSymbol(1, L"1,6", L"geschliffen", L"A2")},
        {{sfSymbol(2, L"3,2", L"", L"B1"), sfSymbol(1, L"1,6", L"Geschliffen", L"B2")},
         {sfSymbol(0, L"", L"", L"zyrsymbol_01")}}));
    c.scan();
    ASSERT_EQ(c.symbols.slotCount, 4);
    expectSlot(c.symbols.slots[1], 1, 1, L"1,6", L"geschliffen");
    expectSlot(c.symbols.slots[2], 2, 2, L"3,2", L"");
    expectSlot(c.symbols.slots[3], 3, 1, L"1,6", L"Geschliffen");
    expectSlot(c.symbols.slots[4], 4, 0, L"", L"");
    EXPECT_EQ(c.symbols.ownSymbolCount, 0);
    EXPECT_EQ(c.symbols.slots[0].slotId, 0);
    EXPECT_EQ(c.session.hostView, nullptr);
}

TEST(ScanDrawing, OwnSymbolsAreCollectedAndTheMainOneIsReadBackIntoSlotZero) {
    ScanCase c(testing::drawingWith(
        {sfSymbol(1, L"0,8", L"", L"ZyrSymbol_01"), sfSymbol(0, L"3,2", L"poliert", L"ZyrSymbol_99"),
         sfSymbol(1, L"0,8", L"", L"Fremd")},
        {{sfSymbol(2, L"6,4", L"", L"ZyrSymbol_02")}}));
    c.symbols.slots[0].slotId = kMainSlotId; // left from before: the scan starts afresh
    c.symbols.slotCount = 3;
    c.scan();
    EXPECT_EQ(c.symbols.ownSymbolCount, 3);
    expectSlot(c.symbols.slots[0], kMainSlotId, 0, L"3,2", L"poliert");
    ASSERT_EQ(c.symbols.slotCount, 1);
    expectSlot(c.symbols.slots[1], 1, 1, L"0,8", L"");
}

TEST(ScanDrawing, AnyNumberOfDuplicatesOfFiveDistinctForeignSymbolsFits) {
    std::vector<sim::SymbolData> symbols;
    for (int i = 0; i < 50; ++i) {
        symbols.push_back(sfSymbol(1, std::to_wstring(i % 5), L"", L"F" + std::to_wstring(i)));
    }
    ScanCase c(testing::drawingWith(symbols));
    c.scan();
    EXPECT_EQ(c.symbols.slotCount, 5);
}

TEST(ScanDrawing, AHostErrorLeavesTheScan) {
    ScanCase c(testing::drawingWith({sfSymbol(1, L"", L"", L"A")}));
    c.sim.failOperation("GetText");
    EXPECT_THROW(c.scan(), host::HostError);
}

} // namespace
} // namespace tvx
