#include "app/sequences.h"
#include "drawing/messages.h"
#include "drawing/run_errors.h"
#include "tests/support/fake_ui.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

using Texts = std::vector<std::wstring>;

TEST(FillChoiceLists, WithoutAnEarlierMainSymbolSlotZeroGetsTheDefault) {
    testing::UiLog log;
    testing::FakeMainForm form(log);
    SymbolRegister symbols;
    symbols.slots[0].method = L"alt";
    fillChoiceLists(form, symbols);
    EXPECT_EQ(symbols.slots[0].slotId, kMainSlotId);
    EXPECT_EQ(symbols.slots[0].symbolType, 1);
    EXPECT_EQ(symbols.slots[0].roughness, L"1,6");
    EXPECT_EQ(symbols.slots[0].method, L"");
    EXPECT_EQ(form.kind.text(), L"Spanend");
    EXPECT_EQ(form.rough.text(), L"1,6");
    EXPECT_EQ(form.method.text(), L"");
}

TEST(FillChoiceLists, AFoundMainSymbolIsShownAsItIsAndRefillingGivesTheSameLists) {
    testing::UiLog log;
    testing::FakeMainForm form(log);
    SymbolRegister symbols;
    symbols.slots[0] = SymbolSlot{kMainSlotId, L"12,5", L"poliert", 0, 0, 0, 0};
    fillChoiceLists(form, symbols);
    fillChoiceLists(form, symbols);
    EXPECT_EQ(form.kind.items, (Texts{L"Grundlegend", L"Spanend", L"Roh"}));
    EXPECT_EQ(form.rough.items, (Texts{L"", L"0,4", L"0,8", L"1,6", L"3,2", L"6,4"}));
    EXPECT_EQ(form.method.items, (Texts{L"", L"geschliffen", L"poliert"}));
    EXPECT_EQ(form.kind.listIndex(), 0);
    EXPECT_EQ(form.rough.text(), L"12,5");
    EXPECT_EQ(form.method.text(), L"poliert");
    EXPECT_EQ(symbols.slots[0].roughness, L"12,5");
    EXPECT_EQ(log.names(), (std::vector<std::string>{"stdSFSSymbol_Click", "stdSFSSymbol_Click"}));
}

TEST(FillChoiceLists, AKindTheListDoesNotOfferIsReportedByItsCode) {
    for (const std::int32_t kind : {-1, 3, 70000}) {
        testing::UiLog log;
        testing::FakeMainForm form(log);
        SymbolRegister symbols;
        symbols.slots[0] = SymbolSlot{kMainSlotId, L"", L"", 0, kind, 0, 0};
        try {
            fillChoiceLists(form, symbols);
            ADD_FAILURE() << kind;
        } catch (const ReportedError& e) {
            EXPECT_EQ(e.report(), msg::kUnknownMainKind + std::to_wstring(kind));
        }
    }
}

} // namespace
} // namespace tvx
