#include "layout/measure.h"

#include "layout/calc_error.h"

namespace tvx {

double measureText(MeasuringSurface& surface, const std::wstring& text,
                   const std::wstring& fontName, std::int32_t fontSize) {
    if (!fontName.empty()) {
        surface.setFontName(fontName);
    }
    if (fontSize != 0) {
        surface.setFontSize(static_cast<float>(fontSize));
    }
    double result = 0.0;
    if (!text.empty()) {
        // Divided as a double, so whole millimetres give exact metres.
        result = finite(static_cast<double>(surface.textWidthMm(text)), "text width") / 1000.0;
    }
    return result;
}

void measureSlotWidths(MeasuringSurface& surface, const Config& cfg, SymbolRegister& symbols,
                       LayoutResult& result) {
    result.widthSum = 0.0;
    for (std::int32_t i = 0; i <= symbols.slotCount; ++i) {
        SymbolSlot& slot = symbols.slot(i);
        const double w =
            finite(measureText(surface, slot.method, L"", 0) * cfg.cfgWidthFactor, "textWidth");
        slot.textWidth = w;
        if (i != 0) {
            result.widthSum = finite(result.widthSum + w, "widthSum");
        }
    }
}

} // namespace tvx
