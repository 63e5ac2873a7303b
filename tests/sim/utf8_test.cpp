// UTF-8 <-> wide text, for 16-bit (Windows) and 32-bit wchar_t alike.
#include "drawing/sim/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tvx::sim {
namespace {

TEST(Utf8, RoundTripsEveryPlane) {
    const std::vector<std::string> texts{
        "", "geschliffen", "Oberfl\xC3\xA4" "cheng\xC3\xBCte", "\xE2\x90\xA3\xC3\x97" "16",
        "\xF0\x9D\x84\x9E", // U+1D11E, a surrogate pair in UTF-16
        "\xEF\xBF\xBF", std::string("a\0b", 3), "\xF4\x8F\xBF\xBF"};
    for (const auto& text : texts) {
        EXPECT_EQ(toUtf8(fromUtf8(text)), text);
    }
    const std::wstring clef = fromUtf8("\xF0\x9D\x84\x9E");
    EXPECT_EQ(clef.size(), sizeof(wchar_t) == 2 ? 2u : 1u);
    EXPECT_EQ(fromUtf8("\xC3\xA4"), std::wstring(1, L'\u00e4'));
}

TEST(Utf8, RejectsInvalidInput) {
    const std::vector<std::string> broken{
        "\xC3",             // truncated
        "ab\xE2\x82",       // truncated at the end
        "\xC0\xAF",         // overlong '/'
        "\xE0\x80\xAF",     // overlong
        "\xED\xA0\x80",     // encoded surrogate
        "\xF4\x90\x80\x80", // beyond U+10FFFF
        "\x80",             // stray continuation byte
        "\xFF",             // never valid
        "\xC3\x28",         // lead byte without continuation
    };
    for (const auto& text : broken) {
        EXPECT_THROW(fromUtf8(text), Utf8Error) << "accepted: " << testing::PrintToString(text);
    }
}

TEST(Utf8, RejectsUnpairedSurrogates) {
    EXPECT_THROW(toUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), Utf8Error);
    EXPECT_THROW(toUtf8(std::wstring(1, static_cast<wchar_t>(0xDC00)) + L"x"), Utf8Error);
    std::wstring reversed;
    reversed += static_cast<wchar_t>(0xDC00);
    reversed += static_cast<wchar_t>(0xD800);
    EXPECT_THROW(toUtf8(reversed), Utf8Error);
}

} // namespace
} // namespace tvx::sim
