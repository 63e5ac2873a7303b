#include "app/win32/gdi_measurer.h"

#include "app/win32/fonts.h"

#include <climits>
#include <cmath>
#include <stdexcept>

namespace tvx::win {
namespace {

constexpr float kLargestPoints = 2160.0f;
// Font pixel sizes round differently at each DPI (14.25 pt is 19 px at 96 DPI, 28.5 rounded to 29
// at 144), and hinting rounds every advance to whole pixels; at the display's DPI the widths would
// stray by several pixels. GDI fonts are sized in pixels, so one raster serves every display.
constexpr int kMeasuringDpi = USER_DEFAULT_SCREEN_DPI;

} // namespace

GdiMeasurer::GdiMeasurer() : dc_(CreateCompatibleDC(nullptr)) {
    if (!dc_) {
        throw std::runtime_error("no memory DC for measuring texts");
    }
    useFont(L"ISOCP", 14.25f);
}

GdiMeasurer::~GdiMeasurer() {
    // The font must leave the DC before its owner deletes it.
    if (originalFont_ != nullptr) {
        SelectObject(dc_.get(), originalFont_);
    }
}

void GdiMeasurer::useFont(const std::wstring& name, float points) {
    UniqueFont font = createFont(name, static_cast<double>(points), false, kMeasuringDpi);
    const HGDIOBJ previous = SelectObject(dc_.get(), font.get());
    if (previous == nullptr) {
        throw std::runtime_error("the measuring DC takes no font");
    }
    if (originalFont_ == nullptr) {
        originalFont_ = previous;
    }
    font_ = std::move(font);
    name_ = name;
    points_ = points;
}

void GdiMeasurer::setFontName(const std::wstring& name) {
    if (name.empty() || name.size() >= LF_FACESIZE || name.find(L'\0') != std::wstring::npos) {
        throw std::invalid_argument("font name refused by the measuring surface");
    }
    useFont(name, points_);
}

void GdiMeasurer::setFontSize(float points) {
    if (!std::isfinite(points) || points <= 0.0f || points > kLargestPoints) {
        throw std::invalid_argument("font size refused by the measuring surface");
    }
    useFont(name_, points);
}

float GdiMeasurer::textWidthMm(const std::wstring& text) {
    if (text.size() > static_cast<std::size_t>(INT_MAX)) {
        throw std::length_error("text too long to measure");
    }
    SIZE extent{};
    if (!text.empty() &&
        !GetTextExtentPoint32W(dc_.get(), text.c_str(), static_cast<int>(text.size()), &extent)) {
        throw std::runtime_error("GDI could not measure the text");
    }
    return static_cast<float>(extent.cx) * 25.4f / static_cast<float>(kMeasuringDpi);
}

} // namespace tvx::win
