#include "layout/sheet_fit.h"

#include "drawing/messages.h"

#include <cmath>
#include <cstdint>
#include <cwchar>
#include <optional>

namespace tvx {
namespace {

// A nanometre's grace, so that a group ending exactly at an edge is not refused for rounding.
constexpr double kGrace = 1e-9;

bool within(double from, double to, double size) { return from >= -kGrace && to <= size + kGrace; }

std::wstring codeText(double code) {
    if (std::floor(code) == code && std::fabs(code) < 1e9) {
        return std::to_wstring(static_cast<std::int64_t>(code));
    }
    wchar_t text[32];
    std::swprintf(text, sizeof text / sizeof text[0], L"%g", code);
    return text;
}

// The code as an index of the corner lines' table, when it is one of theirs.
std::optional<std::size_t> cornerLineCode(double code) {
    if (std::floor(code) != code || !(code >= 0.0 && code <= 12.0)) {
        return std::nullopt;
    }
    const auto index = static_cast<std::size_t>(code);
    if (index >= 7 && index <= 11) {
        return std::nullopt;
    }
    return index;
}

} // namespace

SheetFit groupOnSheet(const Config& cfg, const SymbolRegister& symbols, const LayoutResult& result) {
    if (!result.sheetSize) {
        return SheetFit::SizeUnknown;
    }
    const double width = result.sheetSize->x;
    const double height = result.sheetSize->y;
    bool sideways = true;
    bool upright = true;
    for (std::int32_t i = 0; i <= symbols.slotCount; ++i) {
        const SymbolSlot& slot = symbols.slot(i);
        sideways = sideways && within(slot.posX, slot.posX + cfg.cfgSymbolWidth + slot.textWidth, width);
        upright = upright && within(slot.posY, slot.posY, height);
    }
    if (symbols.slotCount > 0) {
        const SheetPoint& note = result.notePoint;
        sideways = sideways && within(note.x, note.x + result.noteWidth, width);
        upright = upright && within(note.y, note.y, height);
    }
    if (!sideways) {
        return SheetFit::OffSideways;
    }
    return upright ? SheetFit::Inside : SheetFit::OffUpOrDown;
}

std::wstring offSheetMessage(const Config& cfg, double paperCode, SheetFit fit) {
    const std::wstring code = codeText(paperCode);
    const std::optional<std::size_t> line = cornerLineCode(paperCode);
    if (line && !cfg.cfgExtraCornerX.at(*line)) {
        return msg::noCornerForPaper(code);
    }
    if (fit == SheetFit::OffUpOrDown) {
        return msg::offSheet(code, L"Nr. 6 (Eckpunkt y)");
    }
    if (line) {
        return msg::offSheet(code, L"„Eckpunkt " + code + L" = …“");
    }
    if (paperCode >= 7.0 && paperCode <= 11.0 && std::floor(paperCode) == paperCode) {
        // Items 1 to 5 hold the corners of codes 11 down to 7.
        return msg::offSheet(code, L"Nr. " + std::to_wstring(12 - static_cast<int>(paperCode)) +
                                       L" (Eckpunkt x)");
    }
    return msg::offUnknownSheet(code);
}

} // namespace tvx
