// Configuration values and fonts that the layout cannot work with, over a whole run: the one
// calculation message over the still visible dialog, and a drawing nobody touched.
#include "../app/stories.h"
#include "drawing/messages.h"
#include "layout/bracket_note.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

namespace tvx {
namespace {

// The fixture's configuration, item by item (1-based as in the file).
struct Items {
    std::array<std::string, 18> values{"0.8",  "0.6",   "0.45",  "0.4",   "0.2",     "0.01",
                                       "0.005", "0.002", "0.01",  "0.001", "0.003",   "0.004",
                                       "0",    "1.0",   "ISOCP", "14",    "ISOCP",   "14"};
    Items& set(std::size_t item, std::string value) {
        values.at(item - 1) = std::move(value);
        return *this;
    }
    std::string text() const {
        std::string out = "Tarvenix Konfiguration\nKopf\n";
        for (const auto& v : values) {
            out += v + "\n";
        }
        return out;
    }
};

constexpr std::size_t kCornerXA3 = 4;
constexpr std::size_t kCornerY = 6;
constexpr std::size_t kSymbolRise = 7;
constexpr std::size_t kSymbolWidth = 9;
constexpr std::size_t kAnchorOffset = 10;
constexpr std::size_t kSymbolGap = 11;
constexpr std::size_t kWidthFactor = 14;

struct Case {
    const char* name;
    std::string config;
    std::function<void(testing::FakeMainForm&)> surface = [](testing::FakeMainForm&) {};
};

TEST(LayoutFailures, ValuesTheLayoutCannotComputeEndInTheCalculationMessageAndTouchNothing) {
    const Case cases[] = {
        {"a width factor that makes the widths overflow", Items().set(kWidthFactor, "1e308").text()},
        {"a corner and a symbol width whose difference overflows",
         Items().set(kCornerXA3, "1.7e308").set(kSymbolWidth, "-1.7e308").text()},
        {"an anchor offset that overflows the position",
         Items().set(kCornerXA3, "-1.7e308").set(kAnchorOffset, "-1.7e308").text()},
        {"a symbol width whose multiple overflows the bracket", Items().set(kSymbolWidth, "1e308").text()},
        {"a rise that overflows the height", Items().set(kCornerY, "1.7e308").set(kSymbolRise, "1.7e308").text()},
        {"a gap no bracket reaches", Items().set(kSymbolGap, "1e300").text()},
        {"a note font whose blank has no width", Items().text(),
         [](testing::FakeMainForm& form) { form.measurer.setWidth(L' ', 0.0f); }},
    };
    const sim::HostData before = testing::rerunDrawing();
    for (const Case& c : cases) {
        testing::RunFixture run(before, c.config);
        ASSERT_TRUE(run.start()) << c.name;
        run.form.measurer.setRecording(false);
        c.surface(run.form);
        EXPECT_FALSE(run.ok(testing::kFirstChoice)) << c.name;
        EXPECT_EQ(run.messages(), std::vector<std::wstring>{msg::kCalcError}) << c.name;
        ASSERT_FALSE(run.gef.shown.empty()) << c.name;
        EXPECT_TRUE(run.gef.shown[0].mainFormVisible) << c.name;
        EXPECT_EQ(run.terminator.ended, 1) << c.name;
        EXPECT_EQ(run.drawing(), before) << c.name;
        // Bounded: the blank search gives up, it does not go on measuring.
        EXPECT_LE(run.form.measurer.measurementCount(),
                  static_cast<std::size_t>(kBlankSearchLimit) + 10u)
            << c.name;
    }
}

} // namespace
} // namespace tvx
