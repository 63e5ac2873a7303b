#include "config/choice_lists.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tvx {
namespace {

template <typename List>
bool offers(const List& list, std::wstring_view entry) {
    return std::find(list.begin(), list.end(), entry) != list.end();
}

// The dialog preselects the default through these lists; a default they do not offer would
// show a kind the list cannot select, or a text that no entry matches.
TEST(ChoiceLists, DefaultMainSymbolIsOfferedByEveryList) {
    ASSERT_GE(kDefaultMainSymbol.symbolType, 0);
    ASSERT_LT(static_cast<std::size_t>(kDefaultMainSymbol.symbolType), kSymbolKindEntries.size());
    EXPECT_EQ(kSymbolKindEntries[static_cast<std::size_t>(kDefaultMainSymbol.symbolType)],
              L"Spanend");
    EXPECT_TRUE(offers(kRoughnessEntries, kDefaultMainSymbol.roughness));
    EXPECT_TRUE(offers(kMethodEntries, kDefaultMainSymbol.method));
}

}  // namespace
}  // namespace tvx
