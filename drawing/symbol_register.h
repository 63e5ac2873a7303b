// The run's picture of the surface-finish symbols: the main symbol (slot 0), the drawing's other
// symbols (slots 1..slotCount) and the symbols an earlier run left behind (ownSymbols).
#pragma once

#include "drawing/host.h"

#include <array>
#include <compare>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace tvx {

// A store outside a fixed table of the register.
class IndexError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

struct SymbolSlot {
    std::int32_t slotId = 0;
    std::wstring roughness;
    std::wstring method;
    double textWidth = 0.0;
    std::int32_t symbolType = 0;
    double posX = 0.0;
    double posY = 0.0;
};

// What tells two symbols apart for the bracket: exact texts, case-sensitive, untrimmed.
struct SymbolKey {
    std::int32_t symbolType = 0;
    std::wstring roughness;
    std::wstring method;

    friend bool operator==(const SymbolKey&, const SymbolKey&) = default;
    friend auto operator<=>(const SymbolKey&, const SymbolKey&) = default;
};

// slotId of slot 0 once it holds a main symbol.
inline constexpr std::int32_t kMainSlotId = 99;

struct SymbolRegister {
    static constexpr std::int32_t kSlotCapacity = 6;
    static constexpr std::int32_t kOwnCapacity = 21;

    std::array<SymbolSlot, kSlotCapacity> slots{};
    std::int32_t slotCount = 0;
    std::array<host::SFSymbolRef, kOwnCapacity> ownSymbols{};
    std::int32_t ownSymbolCount = 0;
    // Their names as found, so that Ok can tell them from symbols named so since.
    std::array<std::wstring, kOwnCapacity> ownNames{};
    // Their keys as found, so that a later look can tell whether the group still fits the sheet.
    std::array<SymbolKey, kOwnCapacity> ownKeys{};

    // Index 1..slotCount of the other symbol with this key, or -1. Slot 0 is never searched.
    std::int32_t findSymbol(std::int32_t symbolType, const std::wstring& roughness,
                            const std::wstring& method) const;

    // Drops the other symbol whose key equals slot 0's; later slots move down, ids unchanged.
    void removeMainTwin();

    // Bounds-checked access; an index outside the table throws IndexError and touches nothing.
    SymbolSlot& slot(std::int32_t index);
    const SymbolSlot& slot(std::int32_t index) const;

    // Appends a foreign symbol as slot slotCount + 1 with that number as its id.
    void appendOther(std::int32_t symbolType, const std::wstring& roughness,
                     const std::wstring& method);

    // Appends a symbol of an earlier run to ownSymbols.
    void appendOwn(host::SFSymbolRef symbol, std::wstring name = {}, SymbolKey key = {});
    // Drops the host references of ownSymbols at the end of a run; count and names stay.
    void releaseOwnSymbols() noexcept;
};

} // namespace tvx
