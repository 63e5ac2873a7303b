#include "app/sequences.h"

#include "config/choice_lists.h"
#include "drawing/messages.h"
#include "drawing/run_errors.h"

#include <cstdint>

namespace tvx {
namespace {

template <class Entries>
void refill(ChoiceList& list, const Entries& entries) {
    list.clear();
    for (const auto& entry : entries) {
        list.addItem(std::wstring(entry));
    }
}

// A main symbol whose kind was changed in the host to one the list lacks cannot be selected;
// say so instead of failing somewhere inside the dialog.
std::int16_t kindIndex(std::int32_t symbolType) {
    if (!isKnownSymbolKind(symbolType)) {
        throw ReportedError(msg::kUnknownMainKind + std::to_wstring(symbolType));
    }
    return static_cast<std::int16_t>(symbolType);
}

} // namespace

void fillChoiceLists(MainForm& form, SymbolRegister& symbols) {
    SymbolSlot& main = symbols.slot(0);
    if (main.slotId != kMainSlotId) {
        main.slotId = kDefaultMainSymbol.slotId;
        main.roughness = kDefaultMainSymbol.roughness;
        main.symbolType = kDefaultMainSymbol.symbolType;
        main.method = kDefaultMainSymbol.method;
    }
    refill(form.stdSFSSymbol(), kSymbolKindEntries);
    form.stdSFSSymbol().setListIndex(kindIndex(main.symbolType));
    refill(form.stdSFSRough(), kRoughnessEntries);
    form.stdSFSRough().setText(main.roughness);
    refill(form.stdSFSMet(), kMethodEntries);
    form.stdSFSMet().setText(main.method);
}

} // namespace tvx
