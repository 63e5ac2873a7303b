#include "tests/com/every_operation.h"

#include <gtest/gtest.h>

namespace tvx::com::testing {

sim::HostData sampleHost() {
    sim::SheetData sheet = sim::makeSheet(L"Blatt1");
    sim::SymbolData symbol;
    symbol.symbolType = 1;
    symbol.texts = {{2, L"gefr\u00e4st"}, {5, L"3,2"}};
    symbol.name = L"Oberfl\u00e4che1";
    sheet.views[0].symbols.push_back(symbol);
    sim::NoteData note;
    note.text = L"(    )";
    note.name = L"ZyrNote";
    sheet.views[0].notes.push_back(note);
    sheet.views.push_back(sim::ViewData{L"Zeichenansicht1", {}, {}, {}});
    return sim::makeDrawingHost({sheet, sim::makeSheet(L"Blatt2")});
}

void runEveryOperation(const host::AppRef& app) {
    const host::DocRef doc = app->ActiveDoc();
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(app->GetUserPreferenceToggle(24));
    app->SetUserPreferenceToggle(24, false);
    EXPECT_EQ(doc->GetType(), 3);
    const host::ViewRef view = doc->GetFirstView();
    EXPECT_EQ(doc->GetCurrentSheet()->GetName(), L"Blatt1");
    doc->GetCurrentSheet()->GetProperties();
    EXPECT_TRUE(doc->Extension()->SelectByID(L"ZyrNote@Blatt1", L"NOTE", 0, 0, 0, false, 0, host::EmptyRef{}));
    EXPECT_TRUE(doc->DeleteSelection(true));
    EXPECT_TRUE(doc->ActivateSheet(L"Blatt1"));
    EXPECT_TRUE(doc->SelectByID(L"Blatt1", L"SHEET", 0.25, 0.125, 0));
    host::SurfaceFinishArgs sf;
    sf.symType = 2;
    sf.prodMethod = L"geschliffen";
    sf.maxRoughness = L"1,6";
    EXPECT_TRUE(doc->InsertSurfaceFinishSymbol2(sf));
    const host::SFSymbolRef first = view->GetFirstSFSymbol();
    const host::SFSymbolRef last = first->GetNext();
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->GetNext(), nullptr);
    EXPECT_NE(view->GetNextView(), nullptr);
    EXPECT_EQ(last->GetSymbolType(), 2);
    EXPECT_EQ(last->GetText(2), L"geschliffen");
    const host::AnnotationRef annotation = last->GetAnnotation();
    EXPECT_TRUE(annotation->SetName(L"ZyrSymbol_99"));
    EXPECT_EQ(annotation->GetName(), L"ZyrSymbol_99");
    EXPECT_TRUE(first->GetAnnotation()->Select2(false, 0));
    const host::TextFormatRef format = annotation->gettextformat(0);
    format->setTypeFaceName(L"ISOCP");
    format->setCharHeight(0.0035);
    EXPECT_TRUE(annotation->SetTextFormat(0, false, format));
    EXPECT_TRUE(doc->SelectByID(L"Blatt1", L"SHEET", 0.3, 0.02, 0));
    const host::NoteRef note = doc->InsertNote(L"(  )");
    ASSERT_NE(note, nullptr);
    note->setAngle(0);
    EXPECT_TRUE(note->SetBalloon(0, 0));
    const host::TextFormatRef noteFormat = note->gettextformat();
    noteFormat->setTypeFaceName(L"Arial");
    noteFormat->setCharHeightInPts(12);
    noteFormat->setBold(false);
    EXPECT_TRUE(note->SetTextFormat(0, noteFormat));
    EXPECT_TRUE(note->GetAnnotation()->SetName(L"ZyrNote"));
    doc->EditRebuild();
    // A recording around one change; the older finish then has nothing left to finish.
    const host::ExtensionRef extension = doc->Extension();
    extension->StartRecordingUndoObject();
    note->setAngle(0);
    EXPECT_TRUE(extension->FinishRecordingUndoObject2(L"Oberfl\u00e4chenangabe", false));
    EXPECT_FALSE(extension->FinishRecordingUndoObject(L"Oberfl\u00e4chenangabe"));
    // The sheet's notes: only the one just named, the earlier one having been deleted.
    const host::NoteRef onSheet = view->GetFirstNote();
    ASSERT_NE(onSheet, nullptr);
    EXPECT_EQ(onSheet->GetNext(), nullptr);
    doc->ClearSelection2(true);
    EXPECT_EQ(doc->GetTitle(), L"Zeichnung1");
}

} // namespace tvx::com::testing
