// txtCalc's measuring with GDI: GDI's own widths in millimetres, the font state kept between
// calls, and sizes and names the surface refuses.
#include "app/win32/gdi_measurer.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using tvx::win::GdiMeasurer;

// GDI's own answer, from a font and DC made here: the width DrawText lays the text out in, on the
// surface's 96-DPI raster.
int gdiWidthPixels(const std::wstring& text, const wchar_t* face, double points) {
    const HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTW font{};
    font.lfHeight = -static_cast<LONG>(std::lround(points * 96.0 / 72.0));
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    const HFONT handle = CreateFontIndirectW(&font);
    const HGDIOBJ old = SelectObject(dc, handle);
    RECT r{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(handle);
    DeleteDC(dc);
    return r.right - r.left;
}

float pixelsToMm(int pixels) { return static_cast<float>(pixels) * 25.4f / 96.0f; }

float onePixelMm() { return pixelsToMm(1); }

TEST(GdiMeasurer, StartsInIsocpAt14Point25) {
    GdiMeasurer surface;
    EXPECT_EQ(surface.fontName(), L"ISOCP");
    EXPECT_FLOAT_EQ(surface.fontSize(), 14.25f);
    LOGFONTW font{};
    GetObjectW(surface.font(), sizeof font, &font);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_FALSE(font.lfItalic);
    EXPECT_STREQ(font.lfFaceName, L"ISOCP");
}

TEST(GdiMeasurer, WidthsAreGdisOwnWithinAPixel) {
    GdiMeasurer surface;
    const struct {
        const wchar_t* face;
        float points;
        const wchar_t* text;
    } cases[] = {
        {L"ISOCP", 14.25f, L"geschliffen"},
        {L"ISOCP", 14.25f, L"(                )"},
        {L"ISOCP", 14.0f, L"poliert"},
        {L"MS Sans Serif", 8.0f, L"Oberflächen"},
        {L"Arial", 36.0f, L"Wg ÄÖÜß 0,4"},
        {L"Courier New", 10.5f, L"1,6"},
    };
    for (const auto& c : cases) {
        surface.setFontName(c.face);
        surface.setFontSize(c.points);
        const float measured = surface.textWidthMm(c.text);
        const float expected = pixelsToMm(gdiWidthPixels(c.text, c.face, static_cast<double>(c.points)));
        EXPECT_GT(measured, 0.0f) << std::string(c.text, c.text + wcslen(c.text)).size();
        EXPECT_NEAR(measured, expected, onePixelMm()) << "face index " << (&c - cases);
    }
}

TEST(GdiMeasurer, FontNameAndSizePersistUntilChanged) {
    GdiMeasurer surface;
    const float isocp = surface.textWidthMm(L"geschliffen");

    surface.setFontName(L"Courier New");
    const float courier = surface.textWidthMm(L"geschliffen");
    EXPECT_NEAR(courier, pixelsToMm(gdiWidthPixels(L"geschliffen", L"Courier New", 14.25)), onePixelMm())
        << "the size set before stays";

    surface.setFontSize(28.5f);
    EXPECT_EQ(surface.fontName(), L"Courier New");
    EXPECT_NEAR(surface.textWidthMm(L"geschliffen"), 2.0f * courier, 2.0f * onePixelMm());

    surface.setFontName(L"ISOCP");
    surface.setFontSize(14.25f);
    EXPECT_FLOAT_EQ(surface.textWidthMm(L"geschliffen"), isocp);
}

TEST(GdiMeasurer, RefusedNamesAndSizesLeaveTheFontAsItWas) {
    GdiMeasurer surface;
    surface.setFontName(L"Arial");
    surface.setFontSize(20.0f);
    const float before = surface.textWidthMm(L"Rauheit");

    EXPECT_THROW(surface.setFontName(L""), std::invalid_argument);
    EXPECT_THROW(surface.setFontName(std::wstring(32, L'A')), std::invalid_argument);
    EXPECT_THROW(surface.setFontName(std::wstring(L"Ari\0al", 6)), std::invalid_argument);
    for (const float size : {0.0f, -3.0f, 2161.0f, std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity()}) {
        EXPECT_THROW(surface.setFontSize(size), std::invalid_argument) << size;
    }
    EXPECT_EQ(surface.fontName(), L"Arial");
    EXPECT_FLOAT_EQ(surface.fontSize(), 20.0f);
    EXPECT_FLOAT_EQ(surface.textWidthMm(L"Rauheit"), before);

    surface.setFontName(std::wstring(31, L'Z')); // the longest name GDI holds; unknown faces fall back
    EXPECT_GT(surface.textWidthMm(L"Rauheit"), 0.0f);
}

TEST(GdiMeasurer, TinySizesMeasureTinyNotTheDefaultSize) {
    GdiMeasurer surface;
    surface.setFontName(L"Arial");
    surface.setFontSize(12.0f);
    const float normal = surface.textWidthMm(L"WWWWWWWWWW");
    surface.setFontSize(0.01f);
    EXPECT_LT(surface.textWidthMm(L"WWWWWWWWWW"), normal / 4.0f);
}

TEST(GdiMeasurer, EmptyAndLongTexts) {
    GdiMeasurer surface;
    EXPECT_EQ(surface.textWidthMm(L""), 0.0f);
    const float one = surface.textWidthMm(L"0,8 ");
    const std::wstring many = [] {
        std::wstring s;
        for (int i = 0; i < 5000; ++i) {
            s += L"0,8 ";
        }
        return s;
    }();
    EXPECT_NEAR(surface.textWidthMm(many), 5000.0f * one, 5000.0f * onePixelMm());
}

} // namespace
