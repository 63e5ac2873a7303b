// Where a dialog opens with two monitors: the primary one, and a larger one to its right,
// reaching higher, with the taskbar at its bottom.
#include "app/win32/placement.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>

namespace {

using tvx::win::centredIn;
using tvx::win::MonitorAreas;
using tvx::win::monitorFor;
using tvx::win::ScreenRect;

constexpr std::array<MonitorAreas, 2> kMonitors{{
    {{0, 0, 1920, 1080}, {0, 0, 1920, 1040}},
    {{1920, -200, 4480, 1240}, {1920, -200, 4480, 1192}},
}};

// A dialog of 420 x 300 pixels opening for a host's frame, or for none.
ScreenRect dialogFor(std::optional<ScreenRect> frame) {
    return centredIn(420, 300, kMonitors[monitorFor(frame, kMonitors)].work);
}

TEST(Placement, TheDialogOpensCentredOnTheMonitorOfTheHostsFrame) {
    EXPECT_EQ(dialogFor(std::nullopt), (ScreenRect{750, 370, 1170, 670})) << "no frame: the primary monitor";
    EXPECT_EQ(dialogFor(ScreenRect{100, 100, 1500, 900}), (ScreenRect{750, 370, 1170, 670}));
    // (2560 - 420) / 2 from the second monitor's left, (1392 - 300) / 2 below its top.
    const ScreenRect onSecond{2990, 346, 3410, 646};
    EXPECT_EQ(dialogFor(ScreenRect{2500, 0, 4000, 1000}), onSecond);
    // Across both: the monitor that shows more of it, either way round.
    EXPECT_EQ(dialogFor(ScreenRect{1500, 100, 2500, 900}), onSecond) << "580 of 1000 columns on the second";
    EXPECT_EQ(dialogFor(ScreenRect{1000, 100, 2000, 900}), (ScreenRect{750, 370, 1170, 670}));
    // On neither (moved off the screens): the nearer one.
    EXPECT_EQ(dialogFor(ScreenRect{5000, 0, 6000, 800}), onSecond);
    EXPECT_EQ(dialogFor(ScreenRect{-900, 1200, -100, 1900}), (ScreenRect{750, 370, 1170, 670}));
    EXPECT_EQ(dialogFor(ScreenRect{2000, -900, 2600, -400}), onSecond) << "above the second, which reaches higher";
}

TEST(Placement, AFrameLargerThanTheWorkAreaKeepsItsCaptionOnTheMonitor) {
    const ScreenRect work = kMonitors[1].work;
    EXPECT_EQ(centredIn(3000, 300, work), (ScreenRect{1920, 346, 4920, 646}));
    EXPECT_EQ(centredIn(420, 1600, work), (ScreenRect{2990, -200, 3410, 1400}));
    // A monitor left of the primary one, all in negative coordinates.
    EXPECT_EQ(centredIn(421, 301, ScreenRect{-1280, 0, 0, 1024}), (ScreenRect{-851, 361, -430, 662}));
}

} // namespace
