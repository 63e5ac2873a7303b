#include "drawing/stale_check.h"

#include "config/choice_lists.h"
#include "drawing/clearing.h"
#include "drawing/run_errors.h"
#include "drawing/scan.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <string_view>
#include <vector>

namespace tvx {
namespace {

using Keys = std::vector<SymbolKey>;

bool isMainName(std::wstring_view name) { return name.size() >= 2 && name.substr(name.size() - 2) == L"99"; }

// What the bracket of the earlier run repeats: its own symbols but the main one.
Keys repeatedKeys(const SymbolRegister& symbols) {
    Keys keys;
    for (std::int32_t i = 0; i < symbols.ownSymbolCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (!isMainName(symbols.ownNames[at])) {
            keys.push_back(symbols.ownKeys[at]);
        }
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

// What a run would repeat now, its main symbol being the one it finds: the scan's other symbols
// without the main symbol's twin. Without a main symbol slot 0 holds no key to drop.
Keys collectedKeys(SymbolRegister symbols) {
    if (symbols.slot(0).slotId == kMainSlotId) {
        symbols.removeMainTwin();
    }
    Keys keys;
    for (std::int32_t i = 1; i <= symbols.slotCount; ++i) {
        const SymbolSlot& slot = symbols.slot(i);
        keys.push_back({slot.symbolType, slot.roughness, slot.method});
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

std::int32_t countMissing(const Keys& from, const Keys& in) {
    Keys missing;
    std::set_difference(from.begin(), from.end(), in.begin(), in.end(), std::back_inserter(missing));
    return static_cast<std::int32_t>(missing.size());
}

std::size_t fingerprintOf(const std::wstring& sheet, bool note, const Keys& repeated, const Keys& collected) {
    std::wstring text = sheet + (note ? L"|N" : L"|-");
    for (const Keys* keys : {&repeated, &collected}) {
        text += L"|";
        for (const SymbolKey& key : *keys) {
            text += std::to_wstring(key.symbolType) + L'\x1f' + key.roughness + L'\x1f' + key.method + L'\x1e';
        }
    }
    return std::hash<std::wstring>{}(text);
}

void judge(GroupCheck& check, const SymbolRegister& symbols, bool note) {
    const bool mainFound = symbols.slot(0).slotId == kMainSlotId;
    const Keys repeated = repeatedKeys(symbols);
    const Keys collected = collectedKeys(symbols);
    check.added = countMissing(collected, repeated);
    check.gone = countMissing(repeated, collected);
    check.fingerprint = fingerprintOf(check.sheetName, note, repeated, collected);
    // A main symbol of a kind the dialog does not know is one a run refuses.
    check.refused = mainFound && !isKnownSymbolKind(symbols.slot(0).symbolType);
    const bool fits = mainFound && !check.refused && note == !repeated.empty() && repeated == collected;
    check.state = fits ? GroupState::Current : GroupState::Stale;
}

} // namespace

GroupCheck checkGroup(const host::DocRef& doc) noexcept {
    GroupCheck check;
    try {
        HostSession session;
        session.hostDoc = require(doc, "ActiveDoc");
        check.sheetName = require(doc->GetCurrentSheet(), "GetCurrentSheet")->GetName();
        const bool note = oldNoteOnSheet(session);
        SymbolRegister symbols;
        try {
            scanDrawing(session, symbols);
        } catch (const ReportedError&) {
            // A run refuses this sheet. Judged by what the scan read before it stopped.
            const bool output = note || symbols.ownSymbolCount > 0;
            check.state = output ? GroupState::Stale : GroupState::NoOutput;
            check.refused = output;
            check.fingerprint = fingerprintOf(check.sheetName, note, repeatedKeys(symbols), {});
            return check;
        }
        if (!note && symbols.ownSymbolCount == 0) {
            check.state = GroupState::NoOutput;
            return check;
        }
        judge(check, symbols, note);
    } catch (const std::exception& e) {
        check = GroupCheck{};
        check.failure = e.what();
    } catch (...) {
        check = GroupCheck{};
        check.failure = "unknown failure";
    }
    return check;
}

} // namespace tvx
