#include "app/win32/geometry.h"

#include "app/win32/placement.h"
#include "app/win32/win_handles.h"

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

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

namespace {

ScreenRect toScreenRect(const RECT& r) { return ScreenRect{r.left, r.top, r.right, r.bottom}; }

BOOL CALLBACK noteMonitor(HMONITOR monitor, HDC, RECT*, LPARAM data) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(monitor, &info)) {
        auto& monitors = *reinterpret_cast<std::vector<MonitorAreas>*>(data);
        monitors.push_back(MonitorAreas{toScreenRect(info.rcMonitor), toScreenRect(info.rcWork)});
        // The primary monitor first: it is where a dialog without an anchor goes.
        if ((info.dwFlags & MONITORINFOF_PRIMARY) != 0) {
            std::swap(monitors.front(), monitors.back());
        }
    }
    return TRUE;
}

} // namespace

RECT workAreaFor(HWND anchor) {
    std::vector<MonitorAreas> monitors;
    EnumDisplayMonitors(nullptr, nullptr, &noteMonitor, reinterpret_cast<LPARAM>(&monitors));
    if (monitors.empty()) {
        RECT work{};
        if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
            work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        }
        return work;
    }
    std::optional<ScreenRect> anchorRect;
    RECT window{};
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    // A minimised window stands far off every monitor; where it comes back is where it is.
    if (anchor != nullptr && IsIconic(anchor) && GetWindowPlacement(anchor, &placement)) {
        anchorRect = toScreenRect(placement.rcNormalPosition);
    } else if (anchor != nullptr && GetWindowRect(anchor, &window)) {
        anchorRect = toScreenRect(window);
    }
    const ScreenRect& work = monitors[monitorFor(anchorRect, monitors)].work;
    return RECT{work.left, work.top, work.right, work.bottom};
}

} // namespace tvx::win
