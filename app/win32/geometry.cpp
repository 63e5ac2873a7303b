#include "app/win32/geometry.h"

#include "app/win32/win_handles.h"

#include <cmath>

namespace tvx::win {

int screenDpi() {
    const WindowDc screen(nullptr);
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

int twipsToPixels(int twips, int dpi) {
    return MulDiv(twips, dpi, 1440);
}

RECT pixelRect(const TwipsRect& twips, int dpi) {
    const int left = twipsToPixels(twips.left, dpi);
    const int top = twipsToPixels(twips.top, dpi);
    return RECT{left, top, left + twipsToPixels(twips.width, dpi), top + twipsToPixels(twips.height, dpi)};
}

LONG fontHeightForPoints(double points, int dpi) {
    const long pixels = std::lround(points * dpi / 72.0);
    return -(pixels < 1 ? 1 : pixels);
}

RECT placePicture(SIZE picture, SIZE box, int dpi) {
    const int scale = dpi / USER_DEFAULT_SCREEN_DPI > 1 ? dpi / USER_DEFAULT_SCREEN_DPI : 1;
    const LONG width = picture.cx * scale;
    const LONG height = picture.cy * scale;
    const LONG left = width < box.cx ? (box.cx - width) / 2 : 0;
    const LONG top = height < box.cy ? (box.cy - height) / 2 : 0;
    return RECT{left, top, left + width, top + height};
}

RECT centredFrame(SIZE client, DWORD style, DWORD exStyle) {
    RECT frame{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
        work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    const LONG width = frame.right - frame.left;
    const LONG height = frame.bottom - frame.top;
    const LONG left = work.left + (work.right - work.left - width) / 2;
    const LONG top = work.top + (work.bottom - work.top - height) / 2;
    return RECT{left, top, left + width, top + height};
}

} // namespace tvx::win
