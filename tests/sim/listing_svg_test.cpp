// The listing golden files rely on, and the sheet picture.
#include "drawing/sim/drawing_file.h"
#include "drawing/sim/listing.h"
#include "drawing/sim/svg.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tvx::sim {
namespace {

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

TEST(Listing, MatchesTheGoldenListingOfTheRerunSample) {
    std::ifstream in(std::string(TVX_SIM_TEST_DIR) + "/golden/rerun-drawing.txt", std::ios::binary);
    std::stringstream golden;
    golden << in.rdbuf();
    ASSERT_FALSE(golden.str().empty());
    EXPECT_EQ(listAnnotations(loadDrawingFile(std::string(TVX_SAMPLES_DIR) + "/rerun-drawing.json")),
              golden.str());
}

TEST(Listing, ShowsBlanksAndControlCharactersVisibly) {
    HostData data = makeDrawingHost({makeSheet(L"B")});
    NoteData n;
    n.text = L"a b  c\t\"\n";
    n.x = -0.0000001;
    data.activeDoc->sheets[0].views[0].notes.push_back(n);
    const std::string listing = listAnnotations(data);
    EXPECT_NE(listing.find("note \"\" \"a\xE2\x90\xA3" "b\xE2\x90\xA3\xC3\x97" "2c\\t\\\"\\n\" at (0.000, 0.000) mm"),
              std::string::npos)
        << listing;
    EXPECT_EQ(listAnnotations(HostData{}), "host running\ntoggle 24 on\nno document\n");
}

TEST(Svg, DrawsEverySymbolOfTheSheetWithItsKind) {
    const HostData data = loadDrawingFile(std::string(TVX_SAMPLES_DIR) + "/sample-drawing.json");
    const std::string svg = renderSheetSvg(data, 0);
    EXPECT_EQ(svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ", 0), 0u);
    EXPECT_NE(svg.find("width=\"420mm\" height=\"297mm\" viewBox=\"0 0 420 297\""),
              std::string::npos);
    EXPECT_EQ(count(svg, "<g class=\"symbol\""), 6u);
    EXPECT_EQ(count(svg, "<g class=\"view\""), 2u);
    EXPECT_EQ(count(svg, "<line "), 4u);   // the bars of the four type-1 symbols
    EXPECT_EQ(count(svg, "<circle "), 1u); // the one type-2 symbol
    EXPECT_NE(svg.find(">gefr\xC3\xA4st</text>"), std::string::npos);
    // Sheet y grows upward, the picture's downward: 210 mm up is 87 mm from the top.
    EXPECT_NE(svg.find("translate(65 87)"), std::string::npos);
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
    EXPECT_THROW(renderSheetSvg(data, 1), std::out_of_range);
}

TEST(Svg, EscapesMarkupAndDropsWhatXmlCannotCarry) {
    HostData data = makeDrawingHost({makeSheet(L"<Blatt & \"1\">")});
    NoteData n;
    n.text = L"a<b>&'\x01";
    n.name = L"</text>";
    data.activeDoc->sheets[0].views[0].notes.push_back(n);
    const std::string svg = renderSheetSvg(data, 0);
    EXPECT_NE(svg.find("<title>&lt;Blatt &amp; &quot;1&quot;&gt;</title>"), std::string::npos);
    EXPECT_NE(svg.find(">a&lt;b&gt;&amp;&apos;\xEF\xBF\xBD</text>"), std::string::npos);
    EXPECT_NE(svg.find(">&lt;/text&gt;</text>"), std::string::npos);
    EXPECT_EQ(count(svg, "<text"), count(svg, "</text>"));
}

} // namespace
} // namespace tvx::sim
