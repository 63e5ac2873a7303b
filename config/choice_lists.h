// The fixed entries of the main dialog's three lists, and the main symbol offered when the
// drawing holds none from an earlier run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tvx {

// stdSFSSymbol: the list index is the symbol kind code (symbolType).
inline constexpr std::array<std::wstring_view, 3> kSymbolKindEntries{
    L"Grundlegend", L"Spanend", L"Roh"};

// A kind code the list has an entry for: a main symbol of another kind cannot be offered.
inline constexpr bool isKnownSymbolKind(std::int32_t symbolType) {
    return symbolType >= 0 && static_cast<std::size_t>(symbolType) < kSymbolKindEntries.size();
}

// stdSFSRough: the very texts written into the symbol, with a decimal comma; "" is none.
inline constexpr std::array<std::wstring_view, 6> kRoughnessEntries{
    L"", L"0,4", L"0,8", L"1,6", L"3,2", L"6,4"};

// stdSFSMet: production methods; "" is none.
inline constexpr std::array<std::wstring_view, 3> kMethodEntries{
    L"", L"geschliffen", L"poliert"};

struct MainSymbolDefault {
    std::int32_t slotId;
    std::wstring_view roughness;
    std::int32_t symbolType;
    std::wstring_view method;
};

// slotId 99 marks slot 0 as holding a main symbol.
inline constexpr MainSymbolDefault kDefaultMainSymbol{99, L"1,6", 1, L""};

}  // namespace tvx
