// txtCalc's measuring: GDI on a memory DC compatible with the screen, in the font the texts
// get on the sheet. Widths are the advance widths GDI's text output uses, in millimetres, on a
// 96-DPI raster whatever the display's scale, so the layout on the sheet does not change with it.
#pragma once

#include "app/win32/win_handles.h"
#include "layout/measuring_surface.h"

#include <string>

namespace tvx::win {

class GdiMeasurer final : public MeasuringSurface {
public:
    // Starts in "ISOCP" at 14.25 pt, regular, upright.
    GdiMeasurer();
    GdiMeasurer(const GdiMeasurer&) = delete;
    GdiMeasurer& operator=(const GdiMeasurer&) = delete;
    ~GdiMeasurer() override;

    // Refused: an empty name, one with a NUL, one longer than GDI's 31 characters.
    void setFontName(const std::wstring& name) override;
    // Refused: not finite, not above 0, above 2160 pt.
    void setFontSize(float points) override;
    float textWidthMm(const std::wstring& text) override;

    const std::wstring& fontName() const { return name_; }
    float fontSize() const { return points_; }
    // The font now selected, so callers can compare with GDI's own answers.
    HFONT font() const { return font_.get(); }
    HDC dc() const { return dc_.get(); }

private:
    void useFont(const std::wstring& name, float points);

    MemoryDc dc_;
    HGDIOBJ originalFont_ = nullptr;
    UniqueFont font_;
    std::wstring name_;
    float points_ = 0.0f;
};

} // namespace tvx::win
