#include "tests/e2e/drawing_checks.h"

#include "drawing/sim/listing.h"
#include "drawing/sim/utf8.h"

#include <algorithm>
#include <set>
#include <sstream>
#include <tuple>
#include <vector>

namespace tvx::e2e {
namespace {

const std::wstring kOwnPrefix = L"ZyrSymbol_";
const std::wstring kMainName = L"ZyrSymbol_99";
const std::wstring kNoteName = L"ZyrNote";

bool isOwn(const sim::SymbolData& s) { return s.name.compare(0, kOwnPrefix.size(), kOwnPrefix) == 0; }

using Key = std::tuple<std::int32_t, std::wstring, std::wstring>;

std::wstring text(const sim::SymbolData& s, std::int32_t index) {
    const auto it = s.texts.find(index);
    return it == s.texts.end() ? std::wstring() : it->second;
}

Key keyOf(const sim::SymbolData& s) { return {s.symbolType, text(s, 5), text(s, 2)}; }

std::string describe(const Key& key) {
    return std::to_string(std::get<0>(key)) + " \"" + sim::toUtf8(std::get<1>(key)) + "\" \"" +
           sim::toUtf8(std::get<2>(key)) + "\"";
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

const sim::SheetData& currentSheet(const sim::HostData& data) {
    return data.activeDoc->sheets.at(data.activeDoc->currentSheet);
}

bool hasDocument(const sim::HostData& data) { return data.activeDoc.has_value() && !data.activeDoc->sheets.empty(); }

} // namespace

std::string compareDrawings(const sim::HostData& expected, const sim::HostData& actual) {
    sim::HostData a = expected;
    sim::HostData b = actual;
    b.toggles = a.toggles;
    if (a.activeDoc && b.activeDoc) {
        b.activeDoc->undoList = a.activeDoc->undoList;
    }
    if (a == b) {
        return {};
    }
    if (a.activeDoc && b.activeDoc && a.activeDoc->rebuildCount != b.activeDoc->rebuildCount) {
        return "rebuilt " + std::to_string(b.activeDoc->rebuildCount) + " times, expected " +
               std::to_string(a.activeDoc->rebuildCount);
    }
    const auto want = lines(sim::listAnnotations(a));
    const auto got = lines(sim::listAnnotations(b));
    for (std::size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
        const std::string w = i < want.size() ? want[i] : "(nothing)";
        const std::string g = i < got.size() ? got[i] : "(nothing)";
        if (w != g) {
            return "listing line " + std::to_string(i + 1) + ": \"" + g + "\", expected \"" + w + "\"";
        }
    }
    return "differs outside the listing (formats, current sheet or behaviour)";
}

std::string compareToggles(const sim::HostData& before, const sim::HostData& after) {
    if (before.toggles == after.toggles) {
        return {};
    }
    const auto state = [](const sim::HostData& d) {
        const auto it = d.toggles.find(sim::kViewActivationToggle);
        return it == d.toggles.end() ? std::string("unset") : it->second ? std::string("on") : std::string("off");
    };
    return "toggle 24 " + state(after) + ", was " + state(before);
}

std::string checkOneSetOfOutput(const sim::HostData& before, const sim::HostData& after) {
    if (!hasDocument(before) || !hasDocument(after)) {
        return "no drawing";
    }
    std::set<Key> foreignKeys;
    for (const auto& view : currentSheet(before).views) {
        for (const auto& s : view.symbols) {
            if (!isOwn(s)) {
                foreignKeys.insert(keyOf(s));
            }
        }
    }

    int mains = 0;
    Key mainKey;
    std::set<std::wstring> names;
    std::multiset<Key> otherKeys;
    for (std::size_t si = 0; si < after.activeDoc->sheets.size(); ++si) {
        const auto& sheet = after.activeDoc->sheets[si];
        for (std::size_t vi = 0; vi < sheet.views.size(); ++vi) {
            for (const auto& s : sheet.views[vi].symbols) {
                if (!isOwn(s)) {
                    continue;
                }
                if (si != after.activeDoc->currentSheet || vi != 0) {
                    return sim::toUtf8(s.name) + " outside the current sheet's own view";
                }
                if (!names.insert(s.name).second) {
                    return sim::toUtf8(s.name) + " more than once";
                }
                if (s.name == kMainName) {
                    ++mains;
                    mainKey = keyOf(s);
                } else {
                    otherKeys.insert(keyOf(s));
                }
            }
        }
    }
    if (mains != 1) {
        return std::to_string(mains) + " main symbols";
    }
    foreignKeys.erase(mainKey);
    const std::multiset<Key> wanted(foreignKeys.begin(), foreignKeys.end());
    if (otherKeys != wanted) {
        return std::to_string(otherKeys.size()) + " other symbols placed, expected " +
               std::to_string(wanted.size()) + " (one of each foreign symbol)";
    }
    int notes = 0;
    for (const auto& sheet : after.activeDoc->sheets) {
        for (const auto& view : sheet.views) {
            notes += static_cast<int>(std::count_if(view.notes.begin(), view.notes.end(),
                                                    [](const sim::NoteData& n) { return n.name == kNoteName; }));
        }
    }
    const int wantedNotes = wanted.empty() ? 0 : 1;
    if (notes != wantedNotes) {
        return std::to_string(notes) + " bracket notes, expected " + std::to_string(wantedNotes);
    }
    if (after.activeDoc->rebuildCount != before.activeDoc->rebuildCount + 1) {
        return "not rebuilt exactly once";
    }
    return compareToggles(before, after);
}

std::string checkForeignKept(const sim::HostData& original, const sim::HostData& after) {
    if (!hasDocument(original) || !hasDocument(after)) {
        return "no drawing";
    }
    std::vector<const sim::SymbolData*> symbols;
    std::vector<const sim::NoteData*> notes;
    for (const auto& sheet : after.activeDoc->sheets) {
        for (const auto& view : sheet.views) {
            for (const auto& s : view.symbols) {
                symbols.push_back(&s);
            }
            for (const auto& n : view.notes) {
                notes.push_back(&n);
            }
        }
    }
    // Each kept annotation answers for one original only.
    const auto take = [](auto& pool, const auto& wanted) {
        const auto it = std::find_if(pool.begin(), pool.end(), [&](const auto* p) { return p && *p == wanted; });
        if (it == pool.end()) {
            return false;
        }
        *it = nullptr;
        return true;
    };
    for (const auto& sheet : original.activeDoc->sheets) {
        for (const auto& view : sheet.views) {
            for (const auto& s : view.symbols) {
                if (!isOwn(s) && !take(symbols, s)) {
                    return "foreign symbol " + sim::toUtf8(s.name) + " (" + describe(keyOf(s)) + ") lost or changed";
                }
            }
            for (const auto& n : view.notes) {
                if (n.name != kNoteName && !take(notes, n)) {
                    return "note " + sim::toUtf8(n.name) + " lost or changed";
                }
            }
        }
    }
    return {};
}

} // namespace tvx::e2e
