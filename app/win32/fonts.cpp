#include "app/win32/fonts.h"

#include "app/win32/geometry.h"

#include <algorithm>
#include <stdexcept>

namespace tvx::win {

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

UniqueFont createDialogFont(int dpi) {
    return createFont(L"MS Sans Serif", 8.0, false, dpi);
}

UniqueFont createLargeBoldFont(int dpi) {
    return createFont(L"MS Sans Serif", 12.0, true, dpi);
}

} // namespace tvx::win
