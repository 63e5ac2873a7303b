#include "drawing/symbol_register.h"

#include <utility>

namespace tvx {

std::int32_t SymbolRegister::findSymbol(std::int32_t symbolType, const std::wstring& roughness,
                                        const std::wstring& method) const {
    for (std::int32_t i = 1; i <= slotCount; ++i) {
        const SymbolSlot& s = slot(i);
        if (s.symbolType == symbolType && s.roughness == roughness && s.method == method) {
            return i;
        }
    }
    return -1;
}

void SymbolRegister::removeMainTwin() {
    const SymbolSlot& main = slot(0);
    const std::int32_t i = findSymbol(main.symbolType, main.roughness, main.method);
    if (i == -1) {
        return;
    }
    for (std::int32_t j = i; j <= slotCount - 1; ++j) {
        slot(j) = slot(j + 1);
    }
    --slotCount;
}

SymbolSlot& SymbolRegister::slot(std::int32_t index) {
    if (index < 0 || index >= kSlotCapacity) {
        throw IndexError("symbol slot index " + std::to_string(index) + " outside 0..5");
    }
    return slots[static_cast<std::size_t>(index)];
}

const SymbolSlot& SymbolRegister::slot(std::int32_t index) const {
    return const_cast<SymbolRegister*>(this)->slot(index);
}

void SymbolRegister::appendOther(std::int32_t symbolType, const std::wstring& roughness,
                                 const std::wstring& method) {
    SymbolSlot& s = slot(slotCount + 1);
    ++slotCount;
    s.slotId = slotCount;
    s.symbolType = symbolType;
    s.roughness = roughness;
    s.method = method;
}

void SymbolRegister::releaseOwnSymbols() noexcept {
    for (host::SFSymbolRef& symbol : ownSymbols) {
        symbol.reset();
    }
}

void SymbolRegister::appendOwn(host::SFSymbolRef symbol, std::wstring name, SymbolKey key) {
    if (ownSymbolCount < 0 || ownSymbolCount >= kOwnCapacity) {
        throw IndexError("own symbol index " + std::to_string(ownSymbolCount) + " outside 0..20");
    }
    ownSymbols[static_cast<std::size_t>(ownSymbolCount)] = std::move(symbol);
    ownNames[static_cast<std::size_t>(ownSymbolCount)] = std::move(name);
    ownKeys[static_cast<std::size_t>(ownSymbolCount)] = std::move(key);
    ++ownSymbolCount;
}

} // namespace tvx
