// The sheet as the sample run leaves it reads as one clean general indication: the figures the
// picture draws are checked, not its pixels. The drawing is the one the installed program made
// under Wine (tests/installer compares it with its own run).
#include "drawing/sim/annotation_shapes.h"
#include "drawing/sim/drawing_file.h"
#include "drawing/sim/font_metrics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace tvx::sim {
namespace {

// Room a reader's eye needs between two figures, mm.
constexpr double kClearance = 1.0;

TEST(SymbolShape, HasTheIsoProportionsAtItsTextHeight) {
    SymbolData s;
    s.symbolType = 1;
    s.format.setCharHeight(0.0035);
    s.x = 0.1;
    s.y = 0.05;
    s.texts = {{2, L"geschliffen"}, {5, L"1,6"}};
    const SymbolShape shape = symbolShape(s);
    // Short leg 4.9 mm and long leg 10.5 mm high at 60 degrees; the position is the V's lower left.
    EXPECT_NEAR(shape.tip.x, 102.829, 1e-3);
    EXPECT_NEAR(shape.tip.y, 50.0, 1e-9);
    EXPECT_NEAR(shape.outline.at(0).y, 54.9, 1e-9);
    EXPECT_NEAR(shape.outline.at(2).x, 108.891, 1e-3);
    EXPECT_NEAR(shape.outline.at(2).y, 60.5, 1e-9);
    EXPECT_NEAR(shape.lineWidth, 0.35, 1e-9);
    ASSERT_TRUE(shape.bar);
    EXPECT_NEAR(shape.outline.at(0).x, 100.0, 1e-9);
    ASSERT_EQ(shape.texts.size(), 2u);
    // The method stands on the line drawn on from the long leg; the roughness left of that leg.
    EXPECT_GT(shape.texts[0].baselineStart.y, 60.5);
    EXPECT_GT(shape.texts[0].baselineStart.x, 108.891);
    EXPECT_NEAR(shape.outline.back().x, shape.texts[0].box.right + 0.7, 1e-9);
    EXPECT_LT(shape.texts[1].box.right, 102.829 + (shape.texts[1].baselineStart.y - 50.0) * 0.5774);
    EXPECT_GT(shape.texts[1].baselineStart.y, 54.9);
}

TEST(SampleRun, PlacesOneCleanGeneralIndication) {
    ASSERT_NE(metricsForFace(L"ISOCP"), nullptr) << "osifont (fonts-osifont) is not installed";
    const HostData data = loadDrawingFile(std::string(TVX_DOCS_DIR) + "/bilder/beispiel-nachher.json");
    std::vector<SymbolShape> others;
    std::optional<SymbolShape> main;
    std::optional<NoteShape> note;
    for (const auto& view : data.activeDoc->sheets.at(0).views) {
        for (const auto& s : view.symbols) {
            if (s.name == L"ZyrSymbol_99") {
                main = symbolShape(s);
            } else if (s.name.starts_with(L"ZyrSymbol_")) {
                others.push_back(symbolShape(s));
            }
        }
        for (const auto& n : view.notes) {
            if (n.name == L"ZyrNote") {
                note = noteShape(n);
            }
        }
    }
    ASSERT_TRUE(main);
    ASSERT_TRUE(note);
    ASSERT_TRUE(note->opening && note->closing) << "the note is no bracket note";
    ASSERT_EQ(others.size(), 5u);
    std::sort(others.begin(), others.end(),
              [](const SymbolShape& a, const SymbolShape& b) { return a.box.left < b.box.left; });

    for (std::size_t i = 0; i + 1 < others.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_GE(others[i + 1].box.left - others[i].box.right, kClearance);
    }
    EXPECT_GE(note->opening->left - main->box.right, kClearance) << "main symbol into the bracket";
    EXPECT_GE(others.front().box.left - note->opening->right, kClearance);
    EXPECT_GE(note->closing->left - others.back().box.right, kClearance);
    // The brackets stand on the row: from the surface line up to the long legs' ends.
    for (const BoxMm* bracket : {&*note->opening, &*note->closing}) {
        EXPECT_LE(bracket->bottom, main->tip.y);
        EXPECT_GE(bracket->top, main->outline.at(2).y - kClearance);
    }
    for (const auto& s : others) {
        EXPECT_DOUBLE_EQ(s.tip.y, main->tip.y);
    }
}

} // namespace
} // namespace tvx::sim
