#include "drawing/symbol_register.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

SymbolRegister withOthers(std::initializer_list<std::tuple<int, const wchar_t*, const wchar_t*>> keys) {
    SymbolRegister reg;
    for (const auto& [type, rough, method] : keys) {
        reg.appendOther(type, rough, method);
    }
    return reg;
}

TEST(SymbolRegisterKeys, ExactCaseSensitiveComparisonOfAllThreeFields) {
    const SymbolRegister reg = withOthers({{1, L"1,6", L"geschliffen"}, {1, L"1,60", L"poliert"}});
    EXPECT_EQ(reg.findSymbol(1, L"1,6", L"geschliffen"), 1);
    EXPECT_EQ(reg.findSymbol(1, L"1,60", L"poliert"), 2);
    EXPECT_EQ(reg.findSymbol(1, L"1,6", L"Geschliffen"), -1);
    EXPECT_EQ(reg.findSymbol(1, L"1,6 ", L"geschliffen"), -1);
    EXPECT_EQ(reg.findSymbol(2, L"1,6", L"geschliffen"), -1);
    EXPECT_EQ(reg.findSymbol(1, L"1,6", L"poliert"), -1);
}

TEST(SymbolRegisterKeys, SlotZeroIsNeverSearched) {
    SymbolRegister reg;
    reg.slots[0] = SymbolSlot{kMainSlotId, L"3,2", L"poliert", 0, 0, 0, 0};
    EXPECT_EQ(reg.findSymbol(0, L"3,2", L"poliert"), -1);
    reg.appendOther(0, L"3,2", L"poliert");
    EXPECT_EQ(reg.findSymbol(0, L"3,2", L"poliert"), 1);
}

TEST(SymbolRegisterKeys, EntriesBeyondSlotCountAreNotSearched) {
    SymbolRegister reg = withOthers({{1, L"a", L""}, {1, L"b", L""}});
    reg.slotCount = 1;
    EXPECT_EQ(reg.findSymbol(1, L"b", L""), -1);
}

TEST(SymbolRegisterTwin, MiddleTwinRemovedLaterSlotsMoveDownWithTheirIds) {
    SymbolRegister reg = withOthers({{1, L"0,4", L""}, {1, L"1,6", L""}, {2, L"3,2", L"poliert"}});
    reg.slots[3].textWidth = 0.25;
    reg.slots[0] = SymbolSlot{kMainSlotId, L"1,6", L"", 0, 1, 0, 0};
    reg.removeMainTwin();
    ASSERT_EQ(reg.slotCount, 2);
    EXPECT_EQ(reg.slots[1].slotId, 1);
    EXPECT_EQ(reg.slots[2].slotId, 3);
    EXPECT_EQ(reg.slots[2].roughness, L"3,2");
    EXPECT_EQ(reg.slots[2].method, L"poliert");
    EXPECT_EQ(reg.slots[2].symbolType, 2);
    EXPECT_EQ(reg.slots[2].textWidth, 0.25);
    EXPECT_EQ(reg.findSymbol(1, L"1,6", L""), -1);
}

TEST(SymbolRegisterTwin, LastTwinOnlyDecrementsAndNoTwinChangesNothing) {
    SymbolRegister reg = withOthers({{1, L"0,4", L""}, {1, L"1,6", L""}});
    reg.slots[0] = SymbolSlot{kMainSlotId, L"9,9", L"", 0, 1, 0, 0};
    reg.removeMainTwin();
    EXPECT_EQ(reg.slotCount, 2);

    reg.slots[0].roughness = L"1,6";
    reg.removeMainTwin();
    EXPECT_EQ(reg.slotCount, 1);
    EXPECT_EQ(reg.slots[1].roughness, L"0,4");
    // The record past the new end keeps its old content; nothing reads it.
    EXPECT_EQ(reg.slots[2].roughness, L"1,6");
}

TEST(SymbolRegisterTwin, CopiedStringsAreIndependent) {
    SymbolRegister reg = withOthers({{1, L"a", L"x"}, {1, L"b", L"y"}});
    reg.slots[0] = SymbolSlot{kMainSlotId, L"a", L"x", 0, 1, 0, 0};
    reg.removeMainTwin();
    reg.slots[2].method = L"changed";
    EXPECT_EQ(reg.slots[1].method, L"y");
}

TEST(SymbolRegisterBounds, SixthOtherSymbolRaisesAndStoresNothing) {
    SymbolRegister reg = withOthers({{0, L"1", L""}, {0, L"2", L""}, {0, L"3", L""}, {0, L"4", L""}, {0, L"5", L""}});
    const SymbolRegister before = reg;
    EXPECT_THROW(reg.appendOther(0, L"6", L""), IndexError);
    EXPECT_EQ(reg.slotCount, 5);
    for (int i = 0; i < SymbolRegister::kSlotCapacity; ++i) {
        EXPECT_EQ(reg.slots[static_cast<std::size_t>(i)].roughness, before.slots[static_cast<std::size_t>(i)].roughness);
    }
    EXPECT_THROW(reg.slot(6), IndexError);
    EXPECT_THROW(reg.slot(-1), IndexError);
}

TEST(SymbolRegisterBounds, TwentySecondOwnSymbolRaisesAndStoresNothing) {
    SymbolRegister reg;
    for (int i = 0; i < SymbolRegister::kOwnCapacity; ++i) {
        reg.appendOwn(nullptr);
    }
    EXPECT_EQ(reg.ownSymbolCount, 21);
    EXPECT_THROW(reg.appendOwn(nullptr), IndexError);
    EXPECT_EQ(reg.ownSymbolCount, 21);
}

} // namespace
} // namespace tvx
