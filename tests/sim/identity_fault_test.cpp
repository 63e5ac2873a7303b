// References stay bound to their objects; faults and a dead host fail calls before any effect;
// the trace records each call with the automation types its arguments arrived as.
#include "sim_fixture.h"

#include <limits>

namespace tvx::sim::testing {
namespace {

class Identity : public SimTest {};

TEST_F(Identity, ReferencesFollowTheirObjectsThroughInsertsAndDeletes) {
    auto d = doc();
    auto b = symbolAt(d->GetFirstView(), 1);
    auto bAnnotation = b->GetAnnotation();
    auto hinweis = d->InsertNote(L"neu"); // a note, to be followed too

    // Something inserted before B in the data, and A deleted through the host.
    auto& symbols = sim.data().activeDoc->sheets[0].views[0].symbols;
    symbols.insert(symbols.begin(), symbol(0, L"", L"12,5", L"Z"));
    ASSERT_TRUE(annotationOf(1)->Select2(false, 0)); // A, now second
    ASSERT_TRUE(d->DeleteSelection(true));

    EXPECT_EQ(bAnnotation->GetName(), L"B");
    EXPECT_EQ(b->GetText(5), L"6,3");
    EXPECT_EQ(b->GetNext(), nullptr);
    EXPECT_EQ(hinweis->GetAnnotation()->GetName(), L"DetailItem1");
}

TEST_F(Identity, AReferenceToADeletedObjectThrows) {
    auto d = doc();
    auto a = symbolAt(d->GetFirstView(), 0);
    auto annotation = a->GetAnnotation();
    ASSERT_TRUE(annotation->Select2(false, 0));
    ASSERT_TRUE(d->DeleteSelection(true));
    EXPECT_THROW(a->GetSymbolType(), host::HostError);
    EXPECT_THROW(a->GetNext(), host::HostError);
    EXPECT_THROW(annotation->GetName(), host::HostError);
    EXPECT_THROW(annotation->Select2(false, 0), host::HostError);

    auto ext = d->Extension();
    ASSERT_TRUE(ext->SelectByID(L"Hinweis@Blatt1", L"NOTE", 0, 0, 0, false, 0, {}));
    auto inserted = d->InsertNote(L"weg");
    ASSERT_TRUE(ext->SelectByID(inserted->GetAnnotation()->GetName() + L"@Blatt1", L"NOTE", 0, 0,
                                0, false, 0, {}));
    ASSERT_TRUE(d->DeleteSelection(true));
    try {
        inserted->SetBalloon(1, 1);
        FAIL() << "a deleted note answered";
    } catch (const host::HostError& e) {
        EXPECT_EQ(e.operation(), "SetBalloon");
    }

    // A closed document takes its objects with it.
    auto view = d->GetFirstView();
    sim.data().activeDoc.reset();
    EXPECT_THROW(d->GetType(), host::HostError);
    EXPECT_THROW(view->GetFirstSFSymbol(), host::HostError);
}

TEST_F(Identity, CopiedObjectsBecomeObjectsOfTheirOwn) {
    auto d = doc();
    auto a = symbolAt(d->GetFirstView(), 0);
    auto& symbols = sim.data().activeDoc->sheets[0].views[0].symbols;
    symbols.push_back(symbols[0]);
    symbols.back().name = L"A2";
    EXPECT_EQ(a->GetAnnotation()->GetName(), L"A");
    EXPECT_EQ(symbolAt(d->GetFirstView(), 2)->GetAnnotation()->GetName(), L"A2");
}

class Faults : public SimTest {};

TEST_F(Faults, TheNthCallFailsBeforeAnyEffectAndIsCounted) {
    sim.failAtCall(1);
    EXPECT_THROW(app(), host::HostError); // the attach is call 1
    auto a = app();
    auto d = a->ActiveDoc();
    d->SelectByID(L"Blatt1", L"SHEET", 0.1, 0.1, 0);
    ASSERT_EQ(sim.callCount(), 4u);

    sim.failAtCall(5);
    try {
        d->InsertSurfaceFinishSymbol2({});
        FAIL() << "the injected fault did not fire";
    } catch (const host::HostError& e) {
        EXPECT_EQ(e.operation(), "InsertSurfaceFinishSymbol2");
        EXPECT_STREQ(e.what(), "InsertSurfaceFinishSymbol2: injected fault");
    }
    EXPECT_EQ(ownView().symbols.size(), 2u);
    EXPECT_TRUE(sim.trace().back().failed);
    const std::string line = formatTraceEntry(sim.trace().back());
    EXPECT_NE(line.find(") -> FAILED InsertSurfaceFinishSymbol2: injected fault"),
              std::string::npos)
        << line;

    // Only that one call: the retry goes through.
    EXPECT_TRUE(d->InsertSurfaceFinishSymbol2({}));
    EXPECT_EQ(ownView().symbols.size(), 3u);
}

TEST_F(Faults, AnOperationFailsEveryTimeUntilCleared) {
    auto d = doc();
    sim.failOperation("DeleteSelection");
    ASSERT_TRUE(annotationOf(0)->Select2(false, 0));
    EXPECT_THROW(d->DeleteSelection(true), host::HostError);
    EXPECT_THROW(d->DeleteSelection(true), host::HostError);
    EXPECT_EQ(ownView().symbols.size(), 2u);
    EXPECT_EQ(sim.selectedNames(), std::vector<std::wstring>{L"A"});
    sim.clearFaults();
    EXPECT_TRUE(d->DeleteSelection(true));
}

TEST_F(Faults, PropertySetsAreCallsToo) {
    auto format = annotationOf(0)->gettextformat(0);
    sim.failOperation("CharHeight");
    EXPECT_THROW(format->setCharHeight(0.01), host::HostError);
    format->setBold(true);
    sim.clearFaults();
    ASSERT_TRUE(annotationOf(0)->SetTextFormat(0, false, format));
    EXPECT_EQ(ownView().symbols[0].format.charHeight, 0.0035);
    EXPECT_TRUE(ownView().symbols[0].format.bold);
}

TEST_F(Faults, ADeadHostFailsEveryCall) {
    auto d = doc();
    auto view = d->GetFirstView();
    sim.kill();
    EXPECT_FALSE(sim.data().running);
    EXPECT_THROW(d->EditRebuild(), host::HostError);
    EXPECT_THROW(view->GetFirstSFSymbol(), host::HostError);
    EXPECT_EQ(sim.data().activeDoc->rebuildCount, 0);
    EXPECT_TRUE(sim.trace().back().failed);
}

TEST_F(Faults, NonFiniteSheetPointsAreRefused) {
    auto d = doc();
    EXPECT_THROW(d->SelectByID(L"Blatt1", L"SHEET", std::numeric_limits<double>::infinity(), 0, 0),
                 host::HostError);
    EXPECT_FALSE(sim.pickPoint());
}

TEST_F(Identity, TraceShowsEachArgumentsAutomationType) {
    auto a = app();
    auto d = a->ActiveDoc();
    a->GetUserPreferenceToggle(24);
    a->SetUserPreferenceToggle(24, false);
    d->SelectByID(L"Blatt1", L"SHEET", 0.3, 0.0125, 0);
    host::SurfaceFinishArgs args;
    args.symType = 1;
    args.prodMethod = L"geschliffen";
    args.maxRoughness = L"1,6";
    d->InsertSurfaceFinishSymbol2(args);
    d->Extension()->SelectByID(L"ZyrNote@Blatt1", L"NOTE", 0, 0, 0, false, 0, {});
    auto annotation = d->GetFirstView()->GetFirstSFSymbol()->GetAnnotation();
    auto format = annotation->gettextformat(0);
    format->setTypeFaceName(L"ISOCP");
    format->setCharHeight(0.0035);
    format->setCharHeightInPts(14);
    format->setBold(false);
    annotation->SetTextFormat(0, false, format);
    auto symbol = d->GetFirstView()->GetFirstSFSymbol();
    symbol->GetText(5);
    auto note = d->InsertNote(L"(\"x\")");
    note->setAngle(0);
    note->SetBalloon(0, 0);
    note->SetTextFormat(0, note->gettextformat());

    std::vector<std::string> lines;
    for (const auto& entry : sim.trace()) {
        lines.push_back(formatTraceEntry(entry));
    }
    const std::vector<std::string> expected{
        R"(attach(BSTR "SldWorks.Application") -> DISPATCH App)",
        R"(ActiveDoc() -> DISPATCH Doc)",
        R"(GetUserPreferenceToggle(I4 24) -> BOOL true)",
        R"(SetUserPreferenceToggle(I4 24, BOOL false))",
        R"(SelectByID(BSTR "Blatt1", BSTR "SHEET", R8 0.3, R8 0.0125, I2 0) -> BOOL true)",
        R"(InsertSurfaceFinishSymbol2(I4 1, I2 0, I2 0, I2 0, R8 0, I2 0, I2 1, BSTR "", BSTR "", BSTR "geschliffen", BSTR "", BSTR "1,6", BSTR "", BSTR "") -> BOOL true)",
        R"(Extension() -> DISPATCH Extension)",
        R"(SelectByID(BSTR "ZyrNote@Blatt1", BSTR "NOTE", I2 0, I2 0, I2 0, BOOL false, I2 0, DISPATCH null) -> BOOL false)",
        R"(GetFirstView() -> DISPATCH View)",
        R"(GetFirstSFSymbol() -> DISPATCH SFSymbol)",
        R"(GetAnnotation() -> DISPATCH Annotation)",
        R"(gettextformat(I2 0) -> DISPATCH TextFormat)",
        R"(TypeFaceName(BSTR "ISOCP"))",
        R"(CharHeight(R8 0.0035))",
        R"(CharHeightInPts(I4 14))",
        R"(Bold(BOOL false))",
        R"(SetTextFormat(I2 0, BOOL false, DISPATCH TextFormat) -> BOOL true)",
        R"(GetFirstView() -> DISPATCH View)",
        R"(GetFirstSFSymbol() -> DISPATCH SFSymbol)",
        R"(GetText(I4 5) -> BSTR "0,8")",
        R"t(InsertNote(BSTR "(\"x\")") -> DISPATCH Note)t",
        R"(angle(I2 0))",
        R"(SetBalloon(I2 0, I2 0) -> BOOL true)",
        R"(gettextformat() -> DISPATCH TextFormat)",
        R"(SetTextFormat(I2 0, DISPATCH TextFormat) -> BOOL true)",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(sim.callCount(), expected.size());
    EXPECT_EQ(sim.trace()[12].object, "TextFormat");

    sim.clearTrace();
    sim.setTracing(false);
    d->GetType();
    EXPECT_TRUE(sim.trace().empty());
    EXPECT_EQ(sim.callCount(), expected.size() + 1);
}

} // namespace
} // namespace tvx::sim::testing
