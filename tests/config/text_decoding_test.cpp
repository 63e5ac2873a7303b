#include "config/text_decoding.h"

#include <gtest/gtest.h>

#include <string_view>

namespace tvx {
namespace {

TEST(DecodeCp1252, LatinOneAndTheWindowsRangeBecomeTheirCharacters) {
    EXPECT_EQ(decodeCp1252("Gr\xF6\xDF" "e \xC4\xD6\xDC\xE4\xFC"), L"Größe ÄÖÜäü");
    EXPECT_EQ(decodeCp1252("\x80\x84\x93\x96\x99\x9F"), L"€„“–™Ÿ");
    EXPECT_EQ(decodeCp1252("\x81\x8D\x8F\x90\x9D"), L"\u0081\u008D\u008F\u0090\u009D");
    EXPECT_EQ(decodeCp1252(std::string_view("a\0b", 3)), std::wstring(L"a\0b", 3));
    EXPECT_EQ(decodeCp1252("\xA0\xFF"), L"\u00A0\u00FF");
}

TEST(DecodeUtf8, WellFormedSequencesOfEveryLength) {
    EXPECT_EQ(decodeUtf8("ISOCP"), std::optional<std::wstring>(L"ISOCP"));
    EXPECT_EQ(decodeUtf8("Gr\xC3\xB6\xC3\x9F" "e"), std::optional<std::wstring>(L"Größe"));
    EXPECT_EQ(decodeUtf8("\xE2\x82\xAC"), std::optional<std::wstring>(L"€"));
    // Beyond the basic plane: one wchar_t or a surrogate pair, by the platform's width.
    EXPECT_EQ(decodeUtf8("\xF0\x9F\x98\x80"), std::optional<std::wstring>(L"\U0001F600"));
    EXPECT_EQ(decodeUtf8("\xF4\x8F\xBF\xBF"), std::optional<std::wstring>(L"\U0010FFFF"));
}

TEST(DecodeUtf8, MalformedSequencesAreRejected) {
    const std::string_view cases[] = {
        "\x80",             // continuation without a lead
        "\xC3",             // truncated at the end
        "\xC3(",            // lead followed by no continuation
        "\xC0\xAF",         // overlong slash
        "\xE0\x80\x80",     // overlong NUL
        "\xF0\x80\x80\x80", // overlong in four bytes
        "\xED\xA0\x80",     // a surrogate
        "\xF4\x90\x80\x80", // above U+10FFFF
        "\xF8\x88\x80\x80\x80",
        "\xFF",
        "ok\xE2\x82",
    };
    for (const std::string_view bytes : cases) {
        EXPECT_FALSE(decodeUtf8(bytes).has_value()) << testing::PrintToString(std::string(bytes));
    }
}

// Back to UTF-8: what decodes comes back byte for byte; a lone surrogate is replaced for a text
// shown or logged, and reported where the caller must refuse it.
TEST(EncodeUtf8, RoundTripsAndReplacesOrReportsALoneSurrogate) {
    for (const std::string_view bytes : {std::string_view("geschliffen"), std::string_view("Gr\xC3\xB6\xC3\x9F" "e"),
                                         std::string_view("\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF")}) {
        EXPECT_EQ(encodeUtf8(*decodeUtf8(bytes)), bytes);
    }
    std::wstring lone = L"a";
    lone += static_cast<wchar_t>(0xDC00);
    lone += L"b";
    EXPECT_EQ(encodeUtf8(lone), "a\xEF\xBF\xBD" "b");
    std::size_t badAt = 0;
    EXPECT_EQ(encodeUtf8(lone, &badAt), "");
    EXPECT_EQ(badAt, 1u);
    EXPECT_EQ(encodeUtf8(L"ok", &badAt), "ok");
    EXPECT_EQ(badAt, std::string::npos);
}

}  // namespace
}  // namespace tvx
