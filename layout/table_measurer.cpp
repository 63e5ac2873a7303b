#include "layout/table_measurer.h"

#include <algorithm>
#include <utility>

namespace tvx {

TableMeasurer::TableMeasurer(float defaultWidthMm) : defaultWidth_(defaultWidthMm) {
    asciiWidths_.fill(defaultWidthMm);
}

void TableMeasurer::setWidth(wchar_t c, float widthMm) {
    const auto code = static_cast<std::size_t>(c);
    if (code < asciiWidths_.size()) {
        asciiWidths_[code] = widthMm;
    } else {
        otherWidths_[c] = widthMm;
    }
}

void TableMeasurer::knowOnly(std::vector<std::wstring> fontNames) {
    knownFonts_ = std::move(fontNames);
}

void TableMeasurer::setFontName(const std::wstring& name) {
    if (!knownFonts_.empty() &&
        std::find(knownFonts_.begin(), knownFonts_.end(), name) == knownFonts_.end()) {
        throw FontRefused("unknown font");
    }
    fontName_ = name;
}

void TableMeasurer::setFontSize(float points) { fontSize_ = points; }

float TableMeasurer::textWidthMm(const std::wstring& text) {
    float width = 0.0f;
    for (const wchar_t c : text) {
        width += widthOf(c);
    }
    ++measurementCount_;
    if (recording_) {
        measurements_.push_back({text, fontName_, fontSize_});
    }
    return width;
}

float TableMeasurer::widthOf(wchar_t c) const {
    const auto code = static_cast<std::size_t>(c);
    if (code < asciiWidths_.size()) {
        return asciiWidths_[code];
    }
    const auto it = otherWidths_.find(c);
    return it == otherWidths_.end() ? defaultWidth_ : it->second;
}

TableMeasurer bracketExampleMeasurer() {
    TableMeasurer measurer;
    measurer.setWidth(L'(', 1.0f);
    measurer.setWidth(L')', 1.0f);
    measurer.setWidth(L' ', 2.0f);
    return measurer;
}

} // namespace tvx
