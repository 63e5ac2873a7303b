#include "app/win32/placement.h"

#include <algorithm>

namespace tvx::win {
namespace {

long long overlap(const ScreenRect& a, const ScreenRect& b) {
    const long width = std::min(a.right, b.right) - std::max(a.left, b.left);
    const long height = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return width > 0 && height > 0 ? static_cast<long long>(width) * height : 0;
}

// How far apart two rectangles are, per axis; 0 on an axis where they meet.
long long squaredGap(const ScreenRect& a, const ScreenRect& b) {
    const long long dx = std::max({0L, b.left - a.right, a.left - b.right});
    const long long dy = std::max({0L, b.top - a.bottom, a.top - b.bottom});
    return dx * dx + dy * dy;
}

} // namespace

std::size_t monitorFor(const std::optional<ScreenRect>& anchor, std::span<const MonitorAreas> monitors) {
    if (!anchor) {
        return 0;
    }
    std::size_t best = 0;
    for (std::size_t i = 1; i < monitors.size(); ++i) {
        const long long shown = overlap(*anchor, monitors[i].whole);
        const long long bestShown = overlap(*anchor, monitors[best].whole);
        if (shown > bestShown ||
            (shown == 0 && bestShown == 0 &&
             squaredGap(*anchor, monitors[i].whole) < squaredGap(*anchor, monitors[best].whole))) {
            best = i;
        }
    }
    return best;
}

ScreenRect centredIn(long width, long height, const ScreenRect& work) {
    const long left = work.left + std::max(0L, (work.right - work.left - width) / 2);
    const long top = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
    return ScreenRect{left, top, left + width, top + height};
}

} // namespace tvx::win
