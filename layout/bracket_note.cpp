#include "layout/bracket_note.h"

#include "layout/calc_error.h"
#include "layout/measure.h"

#include <string>

namespace tvx {
namespace {

std::wstring bracketText(std::int32_t blanks) {
    return L"(" + std::wstring(static_cast<std::size_t>(blanks), L' ') + L")";
}

// The first blank count whose bracket text is at least neededWidth wide.
std::int32_t searchBlanks(MeasuringSurface& surface, double neededWidth) {
    for (std::int32_t k = 1; k <= kBlankSearchLimit; ++k) {
        if (measureText(surface, bracketText(k), L"", 0) >= neededWidth) {
            return k;
        }
    }
    throw CalcError("no bracket of up to " + std::to_string(kBlankSearchLimit) +
                    " blanks reaches the needed width");
}

} // namespace

void buildBracketNote(MeasuringSurface& surface, const Config& cfg, const SymbolRegister& symbols,
                      LayoutResult& result) {
    const double n = symbols.slotCount;
    const double neededWidth = finite(
        ((n * cfg.cfgSymbolWidth + 2.0 * cfg.cfgBracketPad) + (n - 1.0) * cfg.cfgSymbolGap) +
            result.widthSum,
        "neededWidth");
    measureText(surface, L"", cfg.cfgNoteFont, cfg.cfgNotePoints);
    const std::int32_t k = searchBlanks(surface, neededWidth);
    result.noteText = bracketText(k - 1);
    const double m = measureText(surface, result.noteText, L"", 0);
    result.noteWidth = m;
    const double cx = result.cornerPoint.x;
    const double cy = result.cornerPoint.y;
    result.notePoint.y = finite(cfg.cfgNoteRise + cy, "notePoint y");
    result.notePoint.x = finite((cx + (neededWidth - m) / 2.0) - neededWidth, "notePoint x");
}

} // namespace tvx
