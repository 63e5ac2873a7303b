// What the stand-in selects and deletes, and how annotations are named.
#include "sim_fixture.h"

namespace tvx::sim::testing {
namespace {

class Selection : public SimTest {};

TEST_F(Selection, SheetByNameRecordsThePickPoint) {
    auto d = doc();
    EXPECT_TRUE(d->SelectByID(L"Blatt2", L"SHEET", 0.25, 0.125, 0));
    EXPECT_EQ(sim.pickPoint(), (PickPoint{L"Blatt2", 0.25, 0.125}));

    // Anything else answers False and leaves nothing selected, as the host's SelectByID
    // always starts a new selection.
    EXPECT_FALSE(d->SelectByID(L"Blatt3", L"SHEET", 0.1, 0.1, 0));
    EXPECT_FALSE(sim.pickPoint());
    EXPECT_TRUE(d->SelectByID(L"Blatt1", L"SHEET", 0.1, 0.1, 0));
    EXPECT_FALSE(d->SelectByID(L"Blatt1", L"sheet", 0.1, 0.1, 0));
    EXPECT_FALSE(sim.pickPoint());
}

TEST_F(Selection, NoteByNameAtOwnerFindsItOnlyInThatOwnersView) {
    auto ext = doc()->Extension();
    EXPECT_TRUE(ext->SelectByID(L"Hinweis@Blatt1", L"NOTE", 0, 0, 0, false, 0, {}));
    EXPECT_EQ(sim.selectedNames(), std::vector<std::wstring>{L"Hinweis"});
    EXPECT_TRUE(ext->SelectByID(L"ZyrNote@Blatt2", L"NOTE", 0, 0, 0, false, 0, {}));
    EXPECT_EQ(sim.selectedNames(), std::vector<std::wstring>{L"ZyrNote"});
    // A note inside a drawing view is addressed by that view, not by its sheet.
    EXPECT_TRUE(ext->SelectByID(L"Schnitt@Zeichenansicht1", L"NOTE", 0, 0, 0, false, 0, {}));
    EXPECT_EQ(sim.selectedNames(), std::vector<std::wstring>{L"Schnitt"});
    EXPECT_FALSE(ext->SelectByID(L"Schnitt@Blatt1", L"NOTE", 0, 0, 0, false, 0, {}));
    EXPECT_TRUE(sim.selectedNames().empty());
    EXPECT_FALSE(ext->SelectByID(L"Hinweis@Zeichenansicht1", L"NOTE", 0, 0, 0, false, 0, {}));

    // The tool's note on another sheet is not found under the current sheet's name.
    EXPECT_FALSE(ext->SelectByID(L"ZyrNote@Blatt1", L"NOTE", 0, 0, 0, false, 0, {}));
    EXPECT_FALSE(ext->SelectByID(L"ZyrNote", L"NOTE", 0, 0, 0, false, 0, {}));
    EXPECT_FALSE(ext->SelectByID(L"A@Blatt1", L"NOTE", 0, 0, 0, false, 0, {}));
}

TEST_F(Selection, ExtensionAppendAddsAndTogglesWhatIsSelected) {
    auto ext = doc()->Extension();
    ASSERT_TRUE(ext->SelectByID(L"Hinweis@Blatt1", L"NOTE", 0, 0, 0, false, 0, {}));
    ASSERT_TRUE(ext->SelectByID(L"Schnitt@Zeichenansicht1", L"NOTE", 0, 0, 0, true, 0, {}));
    EXPECT_EQ(sim.selectedNames(), (std::vector<std::wstring>{L"Hinweis", L"Schnitt"}));
    ASSERT_TRUE(ext->SelectByID(L"Hinweis@Blatt1", L"NOTE", 0, 0, 0, true, 0, {}));
    EXPECT_EQ(sim.selectedNames(), std::vector<std::wstring>{L"Schnitt"});
    // A failed appending selection keeps what was selected.
    EXPECT_FALSE(ext->SelectByID(L"Fehlt@Blatt1", L"NOTE", 0, 0, 0, true, 0, {}));
    EXPECT_EQ(sim.selectedNames(), std::vector<std::wstring>{L"Schnitt"});
}

TEST_F(Selection, Select2ReplacesTheSelectionUnlessTheSymbolIsLocked) {
    auto d = doc();
    d->SelectByID(L"Blatt1", L"SHEET", 0.1, 0.1, 0);
    EXPECT_TRUE(annotationOf(1)->Select2(false, 0));
    EXPECT_FALSE(sim.pickPoint());
    EXPECT_EQ(sim.selectedNames(), std::vector<std::wstring>{L"B"});

    sim.data().activeDoc->sheets[0].views[0].symbols[0].selectable = false;
    EXPECT_FALSE(annotationOf(0)->Select2(false, 0));
    EXPECT_TRUE(sim.selectedNames().empty());
    EXPECT_FALSE(d->DeleteSelection(true));
    EXPECT_EQ(symbolNames(0, 0), (std::vector<std::wstring>{L"A", L"B"}));
}

TEST_F(Selection, DeleteSelectionRemovesWhatIsSelectedAndEmptiesTheSelection) {
    auto d = doc();
    EXPECT_FALSE(d->DeleteSelection(true)); // nothing selected

    ASSERT_TRUE(annotationOf(0)->Select2(false, 0));
    EXPECT_TRUE(d->DeleteSelection(true));
    EXPECT_EQ(symbolNames(0, 0), std::vector<std::wstring>{L"B"});
    EXPECT_TRUE(sim.selectedNames().empty());
    EXPECT_FALSE(d->DeleteSelection(true));
    EXPECT_EQ(symbolNames(0, 0), std::vector<std::wstring>{L"B"});

    auto ext = d->Extension();
    ASSERT_TRUE(ext->SelectByID(L"Schnitt@Zeichenansicht1", L"NOTE", 0, 0, 0, false, 0, {}));
    EXPECT_TRUE(d->DeleteSelection(true));
    EXPECT_TRUE(sim.data().activeDoc->sheets[0].views[1].notes.empty());
    EXPECT_EQ(sim.data().activeDoc->sheets[0].views[1].symbols.size(), 1u);

    // A selected sheet point is not something to delete.
    d->SelectByID(L"Blatt1", L"SHEET", 0.1, 0.1, 0);
    EXPECT_FALSE(d->DeleteSelection(true));
    EXPECT_EQ(sim.data().activeDoc->sheets.size(), 2u);
    EXPECT_FALSE(sim.pickPoint());
}

TEST_F(Selection, ActivateSheetChangesTheCurrentSheetAndItsViews) {
    auto d = doc();
    EXPECT_FALSE(d->ActivateSheet(L"Blatt9"));
    EXPECT_EQ(sim.data().activeDoc->currentSheet, 0u);
    EXPECT_TRUE(d->ActivateSheet(L"Blatt2"));
    EXPECT_EQ(d->GetCurrentSheet()->GetName(), L"Blatt2");
    auto view = d->GetFirstView();
    EXPECT_EQ(view->GetFirstSFSymbol()->GetAnnotation()->GetName(), L"D");
    EXPECT_EQ(view->GetNextView(), nullptr);
}

TEST_F(Selection, SetNameIsUniqueWithinItsOwnerViewOrTheWholeDocument) {
    auto a = annotationOf(0);
    EXPECT_FALSE(a->SetName(L"B"));          // same view
    EXPECT_FALSE(a->SetName(L"Hinweis"));    // a note of the same view
    EXPECT_FALSE(a->SetName(L""));
    EXPECT_EQ(a->GetName(), L"A");
    EXPECT_TRUE(a->SetName(L"A"));           // its own name is no clash
    EXPECT_TRUE(a->SetName(L"C"));           // a drawing view is another owner
    EXPECT_TRUE(a->SetName(L"ZyrNote"));     // so is another sheet
    EXPECT_EQ(ownView().symbols[0].name, L"ZyrNote");
    EXPECT_FALSE(annotationOf(1)->SetName(L"ZyrNote"));

    sim.data().behaviour.nameScope = NameScope::document;
    EXPECT_FALSE(annotationOf(1)->SetName(L"C"));
    EXPECT_FALSE(annotationOf(1)->SetName(L"Schnitt"));
    EXPECT_TRUE(annotationOf(1)->SetName(L"ZyrSymbol_99"));
    EXPECT_EQ(ownView().symbols[1].name, L"ZyrSymbol_99");
}

} // namespace
} // namespace tvx::sim::testing
