#include "tests/e2e/sheet_checks.h"

#include "drawing/sim/utf8.h"
#include "tests/e2e/drawing_checks.h"

#include <cmath>

namespace tvx::e2e {
namespace {

// The drawing with only its current sheet, so the one-sheet checks apply to it.
sim::HostData currentSheetOnly(const sim::HostData& data) {
    sim::HostData one = data;
    sim::DocumentData& doc = *one.activeDoc;
    doc.sheets = {doc.sheets.at(doc.currentSheet)};
    doc.currentSheet = 0;
    return one;
}

// The current sheet of `after` made current in `before` too, as the user switched sheets.
bool sameSheets(sim::HostData& before, const sim::HostData& after) {
    if (!before.activeDoc || !after.activeDoc || before.activeDoc->sheets.size() != after.activeDoc->sheets.size() ||
        after.activeDoc->currentSheet >= after.activeDoc->sheets.size()) {
        return false;
    }
    before.activeDoc->currentSheet = after.activeDoc->currentSheet;
    return true;
}

} // namespace

std::string checkUnchanged(sim::HostData before, const sim::HostData& after) {
    if (!sameSheets(before, after)) {
        return "not the same drawing of sheets";
    }
    const std::string fault = compareDrawings(before, after);
    return fault.empty() ? compareToggles(before, after) : fault;
}

std::string checkUndone(sim::HostData before, const sim::HostData& after) {
    if (!sameSheets(before, after)) {
        return "not the same drawing of sheets";
    }
    before.activeDoc->rebuildCount = after.activeDoc->rebuildCount;
    before.activeDoc->currentSheet = after.activeDoc->currentSheet;
    std::string fault = checkUnchanged(before, after);
    if (fault.empty() && !(before.activeDoc->undoList == after.activeDoc->undoList)) {
        fault = "the Undo list holds " + std::to_string(after.activeDoc->undoList.size()) + " entries, " +
                std::to_string(before.activeDoc->undoList.size()) + " before";
    }
    return fault;
}

std::string checkSheetRun(sim::HostData before, const sim::HostData& after, const std::wstring& sheet,
                          double cornerX, double y, double reach) {
    if (!sameSheets(before, after)) {
        return "not the same drawing of sheets";
    }
    if (after.activeDoc->sheets[after.activeDoc->currentSheet].name != sheet) {
        return "the current sheet is not " + sim::toUtf8(sheet);
    }
    const std::size_t current = after.activeDoc->currentSheet;
    for (std::size_t i = 0; i < after.activeDoc->sheets.size(); ++i) {
        if (i != current && !(after.activeDoc->sheets[i] == before.activeDoc->sheets[i])) {
            return "sheet " + sim::toUtf8(after.activeDoc->sheets[i].name) + " changed";
        }
    }
    const sim::HostData beforeOne = currentSheetOnly(before);
    const sim::HostData afterOne = currentSheetOnly(after);
    for (const std::string& fault : {checkOneSetOfOutput(beforeOne, afterOne), checkForeignKept(beforeOne, afterOne)}) {
        if (!fault.empty()) {
            return fault;
        }
    }
    for (const auto& s : after.activeDoc->sheets[current].views.at(0).symbols) {
        if (s.name.rfind(L"ZyrSymbol_", 0) == 0 && (std::fabs(s.y - y) > 1e-9 || s.x > cornerX || s.x < cornerX - reach)) {
            return sim::toUtf8(s.name) + " at (" + std::to_string(s.x) + ", " + std::to_string(s.y) +
                   "), not left of the corner (" + std::to_string(cornerX) + ", " + std::to_string(y) + ")";
        }
    }
    return {};
}

} // namespace tvx::e2e
