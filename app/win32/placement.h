// Where a dialog opens: centred on the monitor of the window it belongs to. Plain arithmetic over
// screen rectangles, so that it is checked without a display.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

namespace tvx::win {

struct ScreenRect {
    long left;
    long top;
    long right;
    long bottom;

    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

struct MonitorAreas {
    ScreenRect whole;
    ScreenRect work; // without the taskbar and the like
};

// The index of the monitor that shows most of `anchor`; for an anchor on none of them, the
// nearest one; without an anchor, 0, which the caller makes the primary monitor. `monitors`
// must not be empty.
std::size_t monitorFor(const std::optional<ScreenRect>& anchor, std::span<const MonitorAreas> monitors);

// A frame of that size centred in the work area. One larger than the area keeps its top-left
// corner inside it, so that its caption can still be reached.
ScreenRect centredIn(long width, long height, const ScreenRect& work);

} // namespace tvx::win
