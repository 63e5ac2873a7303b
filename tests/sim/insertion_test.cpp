// Where the stand-in puts new symbols and notes, and what it makes of them.
#include "sim_fixture.h"

namespace tvx::sim::testing {
namespace {

class Insertion : public SimTest {};

host::SurfaceFinishArgs finish(std::int32_t type, std::wstring method, std::wstring roughness) {
    host::SurfaceFinishArgs a;
    a.symType = type;
    a.prodMethod = std::move(method);
    a.maxRoughness = std::move(roughness);
    return a;
}

TEST_F(Insertion, SymbolGoesToThePickPointLastInTheSheetsOwnView) {
    auto d = doc();
    ASSERT_TRUE(d->SelectByID(L"Blatt1", L"SHEET", 0.3125, 0.025, 0));
    host::SurfaceFinishArgs a = finish(1, L"geschliffen", L"1,6");
    a.machAllowance = L"0,2";
    a.otherVals = L"Rz 4";
    a.roughnessSpacing = L"0,1";
    ASSERT_TRUE(d->InsertSurfaceFinishSymbol2(a));

    const SymbolData& s = ownView().symbols.back();
    EXPECT_EQ(ownView().symbols.size(), 3u);
    EXPECT_EQ(s.x, 0.3125);
    EXPECT_EQ(s.y, 0.025);
    EXPECT_EQ(s.symbolType, 1);
    // Arguments and text indices are in different orders.
    const std::map<std::int32_t, std::wstring> texts{
        {1, L"0,2"}, {2, L"geschliffen"}, {4, L"Rz 4"}, {5, L"1,6"}, {7, L"0,1"}};
    EXPECT_EQ(s.texts, texts);
    EXPECT_EQ(s.format, sim.data().activeDoc->defaultFormat);

    // The host's walk meets it last.
    auto last = symbolAt(d->GetFirstView(), 2);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->GetNext(), nullptr);
    EXPECT_EQ(last->GetText(5), L"1,6");
    EXPECT_EQ(last->GetText(3), L"");
    EXPECT_EQ(last->GetText(42), L"");
}

TEST_F(Insertion, SymbolOnAnotherSheetGoesToThatSheet) {
    auto d = doc();
    ASSERT_TRUE(d->SelectByID(L"Blatt2", L"SHEET", 0.1, 0.1, 0));
    ASSERT_TRUE(d->InsertSurfaceFinishSymbol2(finish(0, L"", L"3,2")));
    EXPECT_EQ(symbolNames(0, 0).size(), 2u);
    EXPECT_EQ(symbolNames(1, 0).size(), 2u);
}

TEST_F(Insertion, SymbolsGetCountingNamesUniqueInTheDocument) {
    auto d = doc();
    sim.data().activeDoc->sheets[1].views[0].symbols[0].name = L"Oberflächengüte7";
    d->SelectByID(L"Blatt1", L"SHEET", 0.1, 0.1, 0);
    ASSERT_TRUE(d->InsertSurfaceFinishSymbol2(finish(1, L"gefräst", L"6,3")));
    ASSERT_TRUE(d->InsertSurfaceFinishSymbol2(finish(1, L"gefräst", L"6,3")));
    EXPECT_EQ(symbolNames(0, 0),
              (std::vector<std::wstring>{L"A", L"B", L"Oberflächengüte8", L"Oberflächengüte9"}));
}

TEST_F(Insertion, SymbolIsRefusedWithoutASelectedSheetPoint) {
    auto d = doc();
    EXPECT_FALSE(d->InsertSurfaceFinishSymbol2(finish(1, L"poliert", L"0,8")));
    ASSERT_TRUE(annotationOf(0)->Select2(false, 0)); // an annotation is no sheet point
    EXPECT_FALSE(d->InsertSurfaceFinishSymbol2(finish(1, L"poliert", L"0,8")));
    EXPECT_EQ(symbolNames(0, 0).size(), 2u);

    sim.data().behaviour.refuseSymbolInsert = true;
    d->SelectByID(L"Blatt1", L"SHEET", 0.1, 0.1, 0);
    EXPECT_FALSE(d->InsertSurfaceFinishSymbol2(finish(1, L"poliert", L"0,8")));
    EXPECT_EQ(symbolNames(0, 0).size(), 2u);
}

TEST_F(Insertion, NoteGoesToThePickPointOrTheCurrentSheetsOrigin) {
    auto d = doc();
    auto first = d->InsertNote(L"frei");
    ASSERT_TRUE(first);
    EXPECT_EQ(ownView().notes.back().x, 0.0);
    EXPECT_EQ(ownView().notes.back().y, 0.0);
    EXPECT_EQ(first->GetAnnotation()->GetName(), L"DetailItem1");

    d->SelectByID(L"Blatt2", L"SHEET", 0.15, 0.02, 0);
    const std::wstring bracket = L"(" + std::wstring(16, L' ') + L")";
    auto second = d->InsertNote(bracket);
    ASSERT_TRUE(second);
    const NoteData& n = ownView(1).notes.back();
    EXPECT_EQ(n.text, bracket);
    EXPECT_EQ(n.x, 0.15);
    EXPECT_EQ(n.y, 0.02);
    EXPECT_EQ(second->GetAnnotation()->GetName(), L"DetailItem2");
    EXPECT_TRUE(second->GetAnnotation()->SetName(L"ZyrNote2"));
    EXPECT_EQ(ownView(1).notes.back().name, L"ZyrNote2");
}

TEST_F(Insertion, NoteInsertCanAnswerAnEmptyReference) {
    sim.data().behaviour.noteInsertReturnsEmpty = true;
    EXPECT_EQ(doc()->InsertNote(L"x"), nullptr);
    EXPECT_EQ(ownView().notes.size(), 1u);
}

TEST_F(Insertion, BalloonAcceptsOnlyTheHostsStylesAndSizes) {
    auto note = doc()->InsertNote(L"x");
    ASSERT_TRUE(note);
    const auto current = [this] {
        const NoteData& n = ownView().notes.back();
        return std::pair{n.balloonStyle, n.balloonSize};
    };
    EXPECT_TRUE(note->SetBalloon(1, 2));
    EXPECT_EQ(current(), std::pair(1, 2));
    EXPECT_FALSE(note->SetBalloon(21, 0));
    EXPECT_FALSE(note->SetBalloon(-1, 0));
    EXPECT_FALSE(note->SetBalloon(4, 7));
    EXPECT_EQ(current(), std::pair(1, 2));
    EXPECT_TRUE(note->SetBalloon(7, 3)); // the split circle is not allowed here: no balloon
    EXPECT_EQ(current(), std::pair(0, 0));
    EXPECT_TRUE(note->SetBalloon(15, 6));
    EXPECT_EQ(current(), std::pair(15, 6));
    EXPECT_TRUE(note->SetBalloon(0, 0));
    EXPECT_EQ(current(), std::pair(0, 0));
}

TEST_F(Insertion, TogglesAndRebuild) {
    auto a = app();
    EXPECT_TRUE(a->GetUserPreferenceToggle(24));
    EXPECT_FALSE(a->GetUserPreferenceToggle(25));
    a->SetUserPreferenceToggle(24, false);
    EXPECT_FALSE(a->GetUserPreferenceToggle(24));
    EXPECT_FALSE(sim.data().toggles.at(24));

    sim.data().toggles.clear(); // a host that never heard of toggle 24 has it on
    EXPECT_TRUE(a->GetUserPreferenceToggle(24));

    auto d = a->ActiveDoc();
    d->EditRebuild();
    d->EditRebuild();
    EXPECT_EQ(sim.data().activeDoc->rebuildCount, 2);
}

TEST_F(Insertion, SheetPropertiesArePaperCodeTemplateScaleProjectionAndSize) {
    auto sheet = doc()->GetCurrentSheet();
    const host::HostArray expected{8.0, 8.0, 1.0, 1.0, 1.0, 0.42, 0.297};
    EXPECT_EQ(sheet->GetProperties(), host::HostValue(expected));
    sim.data().activeDoc->sheets[0].propertiesOverride = host::HostScalar(std::wstring(L"A3"));
    EXPECT_EQ(sheet->GetProperties(), host::HostValue(host::HostScalar(std::wstring(L"A3"))));
}

TEST(SimHostAttach, NeedsARunningHostAndItsClassName) {
    SimHost sim;
    EXPECT_THROW(sim.connector().attach(L"Andere.Application"), host::HostError);
    auto app = sim.connector().attach(host::kHostClassName);
    EXPECT_EQ(app->ActiveDoc(), nullptr);
    sim.kill();
    EXPECT_THROW(sim.connector().attach(host::kHostClassName), host::HostError);
    EXPECT_THROW(app->ActiveDoc(), host::HostError);
}

} // namespace
} // namespace tvx::sim::testing
