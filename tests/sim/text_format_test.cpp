// Text formats are detached copies until applied; both heights stay consistent.
#include "sim_fixture.h"

namespace tvx::sim::testing {
namespace {

class TextFormats : public SimTest {};

TEST_F(TextFormats, ChangesReachTheSymbolOnlyWhenApplied) {
    auto annotation = annotationOf(0);
    auto format = annotation->gettextformat(0);
    format->setTypeFaceName(L"ISOCP");
    format->setCharHeight(14.0 / 4000.0);
    format->setBold(true);
    EXPECT_EQ(ownView().symbols[0].format.typeFaceName, L"Arial");

    ASSERT_TRUE(annotation->SetTextFormat(0, false, format));
    const TextFormatData& applied = ownView().symbols[0].format;
    EXPECT_EQ(applied.typeFaceName, L"ISOCP");
    EXPECT_DOUBLE_EQ(applied.charHeight, 0.0035);
    EXPECT_TRUE(applied.bold);
    EXPECT_FALSE(applied.heightInPts);

    // Later changes to the same copy do not leak through.
    format->setTypeFaceName(L"Courier");
    EXPECT_EQ(ownView().symbols[0].format.typeFaceName, L"ISOCP");

    // Back to the document's format.
    sim.data().activeDoc->defaultFormat.typeFaceName = L"Tahoma";
    ASSERT_TRUE(annotation->SetTextFormat(0, true, nullptr));
    EXPECT_EQ(ownView().symbols[0].format.typeFaceName, L"Tahoma");
}

TEST_F(TextFormats, NoteFormatsWorkTheSameWay) {
    auto note = doc()->InsertNote(L"(  )");
    ASSERT_TRUE(note);
    auto format = note->gettextformat();
    format->setTypeFaceName(L"ISOCP");
    format->setCharHeightInPts(14);
    format->setBold(false);
    ASSERT_TRUE(note->SetTextFormat(0, format));
    const TextFormatData& f = ownView().notes.back().format;
    EXPECT_EQ(f.typeFaceName, L"ISOCP");
    EXPECT_EQ(f.charHeightInPts, 14);
    EXPECT_TRUE(f.heightInPts);
    EXPECT_DOUBLE_EQ(f.charHeight, 14 * 0.0254 / 72);
    note->setAngle(0);
    EXPECT_EQ(ownView().notes.back().angle, 0.0);
}

TEST(TextFormatData, HeightsFollowEachOther) {
    TextFormatData f;
    f.setCharHeightInPts(10);
    EXPECT_DOUBLE_EQ(f.charHeight, 10 * 0.0254 / 72);
    f.setCharHeight(0.005); // 14.17 pt
    EXPECT_EQ(f.charHeightInPts, 14);
    EXPECT_FALSE(f.heightInPts);
    f.setCharHeight(0.0051); // 14.46 pt
    EXPECT_EQ(f.charHeightInPts, 14);
    f.setCharHeight(0.0052); // 14.74 pt
    EXPECT_EQ(f.charHeightInPts, 15);
}

TEST_F(TextFormats, ForeignOrInvalidFormatsAreErrors) {
    SimHost other(twoSheetDrawing());
    auto otherFormat =
        other.connector().attach(host::kHostClassName)->ActiveDoc()->InsertNote(L"x")->gettextformat();
    auto annotation = annotationOf(0);
    EXPECT_THROW(annotation->SetTextFormat(0, false, otherFormat), host::HostError);
    EXPECT_THROW(annotation->SetTextFormat(0, false, nullptr), host::HostError);

    auto format = annotation->gettextformat(0);
    EXPECT_THROW(format->setCharHeight(std::numeric_limits<double>::quiet_NaN()), host::HostError);
    EXPECT_THROW(format->setCharHeight(-0.001), host::HostError);
    EXPECT_THROW(format->setCharHeightInPts(0), host::HostError);
    EXPECT_THROW(format->setTypeFaceName(L""), host::HostError);
    ASSERT_TRUE(annotation->SetTextFormat(0, false, format));
    EXPECT_EQ(ownView().symbols[0].format, TextFormatData{});
}

} // namespace
} // namespace tvx::sim::testing
