#include "drawing/sim/drawing_file.h"
#include "sim_fixture.h"

namespace tvx::sim::testing {
namespace {

std::vector<std::wstring> undoNames(const HostData& data) {
    std::vector<std::wstring> names;
    for (const auto& entry : data.activeDoc->undoList) {
        names.push_back(entry.name);
    }
    return names;
}

using Names = std::vector<std::wstring>;

class UndoList : public SimTest {};

// Every change is an entry of its own, and EditUndo2 takes back exactly that many: a deleted
// annotation comes back with everything it had, in its place in its view's list.
TEST_F(UndoList, EveryChangeIsAnEntryAndUndoTakesBackExactlyThatMany) {
    SymbolData& b = sim.data().activeDoc->sheets[0].views[0].symbols[1];
    b.format.typeFaceName = L"ISOCP";
    b.texts[4] = L"Zusatz";
    const HostData before = sim.data();
    const host::DocRef d = doc();
    const host::AnnotationRef first = d->GetFirstView()->GetFirstSFSymbol()->GetAnnotation();
    const host::AnnotationRef second = d->GetFirstView()->GetFirstSFSymbol()->GetNext()->GetAnnotation();

    ASSERT_TRUE(second->Select2(false, 0));
    EXPECT_TRUE(d->DeleteSelection(true));
    EXPECT_TRUE(first->SetName(L"A2"));
    EXPECT_FALSE(first->SetName(L"")) << "refused: no entry";
    ASSERT_TRUE(d->SelectByID(L"Blatt1", L"SHEET", 0.3, 0.02, 0));
    d->InsertSurfaceFinishSymbol2(host::SurfaceFinishArgs{});
    const host::NoteRef note = d->InsertNote(L"()");
    note->setAngle(0);
    note->SetBalloon(0, 0);
    note->SetTextFormat(0, note->gettextformat());
    app()->SetUserPreferenceToggle(24, false);
    d->EditRebuild();
    EXPECT_EQ(undoNames(sim.data()), (Names{L"Löschen", L"Umbenennen", L"Einfügen", L"Einfügen", L"Winkel",
                                            L"Sprechblase", L"Textformat"}));

    auto& undo = dynamic_cast<UndoCommand&>(*d);
    undo.EditUndo2(5); // the note's four, and the symbol's insertion
    EXPECT_EQ(undoNames(sim.data()), (Names{L"Löschen", L"Umbenennen"}));
    EXPECT_EQ(ownView().notes.size(), 1u);
    EXPECT_EQ(ownView().symbols.size(), 1u);
    undo.EditUndo2(2);
    sim::DocumentData now = *sim.data().activeDoc;
    EXPECT_EQ(now.rebuildCount, 1) << "no Undo takes back a rebuild";
    now.rebuildCount = 0;
    EXPECT_TRUE(now == *before.activeDoc);
    EXPECT_EQ(ownView().symbols.at(1).texts, b.texts);
    EXPECT_EQ(ownView().symbols.at(1).format.typeFaceName, L"ISOCP");
    EXPECT_FALSE(sim.data().toggles.at(24)) << "a preference is no part of the drawing";
    EXPECT_EQ(sim.trace().back().operation, "EditUndo2");
    EXPECT_EQ(sim.trace().back().result, "");
    undo.EditUndo2(3); // nothing left: nothing happens
    EXPECT_TRUE(undoNames(sim.data()).empty());
}

// Between a start and a finish everything is one named entry; a second start counts as the first,
// a finish without a start answers false, an empty recording makes no entry, and a hidden first
// entry is discarded.
TEST_F(UndoList, ARecordingIsOneNamedEntry) {
    const HostData before = sim.data();
    const host::DocRef d = doc();
    const host::ExtensionRef ext = d->Extension();
    EXPECT_FALSE(ext->FinishRecordingUndoObject2(L"leer", false));
    ext->StartRecordingUndoObject();
    EXPECT_TRUE(ext->FinishRecordingUndoObject2(L"nichts", false));
    EXPECT_TRUE(undoNames(sim.data()).empty());

    ext->StartRecordingUndoObject();
    ASSERT_TRUE(ext->SelectByID(L"Hinweis@Blatt1", L"NOTE", 0, 0, 0, false, 0, host::EmptyRef{}));
    d->DeleteSelection(true);
    ext->StartRecordingUndoObject();
    d->SelectByID(L"Blatt1", L"SHEET", 0.3, 0.02, 0);
    d->InsertNote(L"()");
    EXPECT_THROW(dynamic_cast<UndoCommand&>(*d).EditUndo2(1), host::HostError);
    EXPECT_TRUE(ext->FinishRecordingUndoObject(L"Oberflächenangabe"));
    EXPECT_FALSE(ext->FinishRecordingUndoObject2(L"noch einmal", false));
    EXPECT_EQ(undoNames(sim.data()), Names{L"Oberflächenangabe"});
    sim.editUndo(1);
    EXPECT_EQ(sim.data(), before);

    ext->StartRecordingUndoObject();
    d->InsertNote(L"()");
    EXPECT_TRUE(ext->FinishRecordingUndoObject2(L"versteckt", true));
    EXPECT_TRUE(undoNames(sim.data()).empty()) << "a hidden first entry is discarded";
}

TEST_F(UndoList, OlderHostsAndHostsWithoutTheCallsAnswerThatTheNameIsUnknown) {
    for (const UndoCalls calls : {UndoCalls::older, UndoCalls::none}) {
        sim.data().behaviour.undoCalls = calls;
        const host::ExtensionRef ext = doc()->Extension();
        const auto unknown = [](auto call) {
            try {
                call();
            } catch (const host::HostError& e) {
                return e.unknownName();
            }
            return false;
        };
        EXPECT_EQ(unknown([&] { ext->StartRecordingUndoObject(); }), calls == UndoCalls::none);
        EXPECT_TRUE(unknown([&] { ext->FinishRecordingUndoObject2(L"x", false); }));
        EXPECT_EQ(unknown([&] { ext->FinishRecordingUndoObject(L"x"); }), calls == UndoCalls::none);
    }
}

// Files keep the names only: entries read back cannot be taken back, as after opening a drawing.
TEST_F(UndoList, DrawingFilesKeepTheNamesAndTheHostsCalls) {
    const host::DocRef d = doc();
    d->SelectByID(L"Blatt1", L"SHEET", 0.3, 0.02, 0);
    d->InsertNote(L"()");
    sim.data().behaviour.undoCalls = UndoCalls::older;
    const std::string json = drawingToJson(sim.data());
    EXPECT_NE(json.find("\"undo\": [\n      \"Einfügen\"\n    ]"), std::string::npos) << json;
    EXPECT_NE(json.find("\"undoCalls\": \"older\""), std::string::npos);
    const HostData read = parseDrawing(json, "undo.json");
    EXPECT_EQ(read, sim.data());
    EXPECT_EQ(drawingToJson(read), json);
    SimHost reopened(read);
    reopened.editUndo(1);
    EXPECT_EQ(reopened.data(), read);

    for (const char* bad : {R"("undo": "Einfügen")", R"("undo": [1])"}) {
        std::string broken = json;
        const auto at = broken.find("\"undo\": [");
        broken.replace(at, broken.find(']', at) + 1 - at, bad);
        EXPECT_THROW(parseDrawing(broken, "bad.json"), DrawingFileError) << bad;
    }
    std::string badCalls = json;
    badCalls.replace(badCalls.find("\"older\""), 7, "\"newer\"");
    EXPECT_THROW(parseDrawing(badCalls, "bad.json"), DrawingFileError);
}

} // namespace
} // namespace tvx::sim::testing
