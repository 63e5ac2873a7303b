#include "config/number_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <string_view>

namespace tvx {
namespace {

TEST(ParseNumber, PlainDecimalsInEveryAcceptedForm) {
    const struct {
        std::string_view text;
        double value;
    } cases[] = {
        {"0", 0.0},          {"14", 14.0},         {"-2", -2.0},        {"+1.5", 1.5},
        {".5", 0.5},         {"5.", 5.0},          {"0.1", 0.1},        {"1.189", 1.189},
        {"1189e-3", 1.189},  {"1.5E+2", 150.0},    {"-0.004", -0.004},  {"007", 7.0},
        {"4.9e-324", std::numeric_limits<double>::denorm_min()},
        {"1.7976931348623157e308", std::numeric_limits<double>::max()},
    };
    for (const auto& c : cases) {
        const std::optional<double> got = parseNumber(c.text);
        ASSERT_TRUE(got.has_value()) << c.text;
        EXPECT_EQ(*got, c.value) << c.text;
    }
}

TEST(ParseNumber, AnythingButOneWholeFiniteDecimalIsRejected) {
    const std::string_view cases[] = {
        "",     "+",      "-",    ".",       "e3",      "1e",     "1e+",    "1.2.3",
        "1..2", "--1",    "+-1",  "0x10",    "1d3",     "0.4x",   "1,5",    " 1",
        "1 ",   "1 000",  "inf",  "-inf",    "nan",     "infinity", "1e999", "-1e999",
        "1e-999", "\xB9",
    };
    for (const std::string_view text : cases) {
        EXPECT_FALSE(parseNumber(text).has_value()) << '"' << text << '"';
    }
}

TEST(ToWholeNumber, HalvesGoToTheEvenNeighbour) {
    const struct {
        double value;
        std::int32_t whole;
    } cases[] = {
        {0.5, 0},   {1.5, 2},     {2.5, 2},    {14.5, 14},   {15.5, 16},  {-0.5, 0},
        {-1.5, -2}, {-2.5, -2},   {1.4999, 1}, {1.5001, 2},  {-1.5001, -2}, {-0.0, 0},
        {2147483647.4, 2147483647},   {2147483646.5, 2147483646},
        {-2147483648.5, -2147483648}, {-2147483647.5, -2147483648},
    };
    for (const auto& c : cases) {
        const std::optional<std::int32_t> got = toWholeNumber(c.value);
        ASSERT_TRUE(got.has_value()) << c.value;
        EXPECT_EQ(*got, c.whole) << c.value;
    }
}

TEST(ToWholeNumber, OutsideThe32BitRangeAfterRoundingIsRejected) {
    for (const double value : {2147483647.5, 2147483648.0, -2147483648.6, -2147483649.0, 1e300,
                               std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_FALSE(toWholeNumber(value).has_value()) << value;
    }
}

}  // namespace
}  // namespace tvx
