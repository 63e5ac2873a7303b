#include "app/win32/fonts.h"

#include "app/win32/geometry.h"

#include <algorithm>
#include <stdexcept>

namespace tvx::win {
namespace {

// "MS Sans Serif" is a bitmap font with a few sizes only (under Wine 8, 10 and 12 pt at 96 DPI).
// At a size it lacks, GDI quietly hands out a nearer bitmap, and the text would not grow with
// the display scale; "Microsoft Sans Serif" is the same design in TrueType. Wine has no such
// face: the project's Wine prefix maps it to a TrueType face of about its widths.
struct TrueTypeTwin {
    std::wstring_view bitmapFace;
    std::wstring_view trueTypeFace;
};
constexpr TrueTypeTwin kTrueTypeTwins[] = {{L"MS Sans Serif", L"Microsoft Sans Serif"}};

struct HeightSearch {
    LONG height;
    bool found;
};

int CALLBACK noteHeight(const LOGFONTW*, const TEXTMETRICW* metrics, DWORD type, LPARAM data) {
    auto* search = reinterpret_cast<HeightSearch*>(data);
    search->found =
        (type & RASTER_FONTTYPE) == 0 || metrics->tmHeight - metrics->tmInternalLeading == search->height;
    return search->found ? 0 : 1;
}

// Whether GDI has the face at that character height without scaling a bitmap: GDI would
// otherwise enlarge a smaller bitmap by a whole factor, blocky, and Wine draws such a font at its
// original size with the enlarged spacing.
bool hasCharacterHeight(std::wstring_view face, LONG height) {
    LOGFONTW font{};
    font.lfCharSet = DEFAULT_CHARSET;
    std::copy_n(face.begin(), std::min<std::size_t>(face.size(), LF_FACESIZE - 1), font.lfFaceName);
    HeightSearch search{height, false};
    const MemoryDc dc(CreateCompatibleDC(nullptr));
    EnumFontFamiliesExW(dc.get(), &font, &noteHeight, reinterpret_cast<LPARAM>(&search), 0);
    return search.found;
}

} // namespace

UniqueFont createFont(std::wstring_view face, double points, bool bold, int dpi) {
    LOGFONTW font{};
    font.lfHeight = fontHeightForPoints(points, dpi);
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    if (face.size() >= LF_FACESIZE) {
        throw std::invalid_argument("font name too long");
    }
    std::copy(face.begin(), face.end(), font.lfFaceName);
    UniqueFont handle(CreateFontIndirectW(&font));
    if (!handle) {
        throw std::runtime_error("CreateFontIndirectW failed");
    }
    return handle;
}

UniqueFont createScreenFont(std::wstring_view face, double points, bool bold, int dpi) {
    const auto twin = std::find_if(std::begin(kTrueTypeTwins), std::end(kTrueTypeTwins),
                                   [&](const TrueTypeTwin& t) { return t.bitmapFace == face; });
    if (twin == std::end(kTrueTypeTwins) || hasCharacterHeight(face, -fontHeightForPoints(points, dpi))) {
        return createFont(face, points, bold, dpi);
    }
    return createFont(twin->trueTypeFace, points, bold, dpi);
}

UniqueFont createDialogFont(int dpi) {
    return createScreenFont(L"MS Sans Serif", 8.0, false, dpi);
}

UniqueFont createLargeBoldFont(int dpi) {
    return createScreenFont(L"MS Sans Serif", 12.0, true, dpi);
}

} // namespace tvx::win
