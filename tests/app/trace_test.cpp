#include "golden.h"
#include "stories.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace tvx {
namespace {

using testing::drawingWith;
using testing::sfSymbol;

using Types = std::vector<std::string>;

// The host table: every call the program makes, by object and operation, with the automation
// types of its arguments in order.
const std::map<std::string, Types> kHostTable = {
    {"system.attach", {"BSTR"}},
    {"App.ActiveDoc", {}},
    {"App.GetUserPreferenceToggle", {"I4"}},
    {"App.SetUserPreferenceToggle", {"I4", "BOOL"}},
    {"App.GetRunningCommandInfo", {"I4|BYREF", "BSTR|BYREF", "BOOL|BYREF"}},
    {"Doc.GetType", {}},
    {"Doc.GetFirstView", {}},
    {"Doc.GetCurrentSheet", {}},
    {"Doc.GetTitle", {}},
    {"Sheet.GetName", {}},
    {"Sheet.GetProperties", {}},
    {"Doc.Extension", {}},
    {"Extension.SelectByID", {"BSTR", "BSTR", "I2", "I2", "I2", "BOOL", "I2", "DISPATCH"}},
    {"Extension.StartRecordingUndoObject", {}},
    {"Extension.FinishRecordingUndoObject2", {"BSTR", "BOOL"}},
    {"Doc.SelectByID", {"BSTR", "BSTR", "R8", "R8", "I2"}},
    {"Doc.DeleteSelection", {"BOOL"}},
    {"Doc.ClearSelection2", {"BOOL"}},
    {"Doc.ActivateSheet", {"BSTR"}},
    {"Doc.InsertSurfaceFinishSymbol2",
     {"I4", "I2", "I2", "I2", "R8", "I2", "I2", "BSTR", "BSTR", "BSTR", "BSTR", "BSTR", "BSTR",
      "BSTR"}},
    {"Doc.InsertNote", {"BSTR"}},
    {"Doc.EditRebuild", {}},
    {"View.GetFirstSFSymbol", {}},
    {"View.GetNextView", {}},
    {"View.GetFirstNote", {}},
    {"Note.GetNext", {}},
    {"SFSymbol.GetNext", {}},
    {"SFSymbol.GetSymbolType", {}},
    {"SFSymbol.GetText", {"I4"}},
    {"SFSymbol.GetAnnotation", {}},
    {"Note.GetAnnotation", {}},
    {"Annotation.GetName", {}},
    {"Annotation.SetName", {"BSTR"}},
    {"Annotation.Select2", {"BOOL", "I2"}},
    {"Annotation.gettextformat", {"I2"}},
    {"Annotation.SetTextFormat", {"I2", "BOOL", "DISPATCH"}},
    {"Note.angle", {"I2"}},
    {"Note.SetBalloon", {"I2", "I2"}},
    {"Note.gettextformat", {}},
    {"Note.SetTextFormat", {"I2", "DISPATCH"}},
    {"TextFormat.TypeFaceName", {"BSTR"}},
    {"TextFormat.CharHeight", {"R8"}},
    {"TextFormat.CharHeightInPts", {"I4"}},
    {"TextFormat.Bold", {"BOOL"}},
};

TEST(HostTrace, AFullRerunCallsOnlyTheHostTableWithItsArgumentTypesInOrder) {
    // The bracket note deleted by hand: the run looks among the sheet's notes for a locked one.
    sim::HostData drawing = testing::rerunDrawing();
    for (auto& view : drawing.activeDoc->sheets[0].views) {
        std::erase_if(view.notes, [](const sim::NoteData& n) { return n.name == L"ZyrNote"; });
    }
    sim::NoteData userNote;
    userNote.text = L"Allgemeintoleranzen ISO 2768-mK";
    userNote.name = L"DetailItem1";
    drawing.activeDoc->sheets[0].views[0].notes.push_back(userNote);
    testing::RunFixture run(drawing);
    ASSERT_TRUE(run.start());
    ASSERT_FALSE(run.ok(testing::kFirstChoice));

    std::set<std::string> used;
    std::string lines;
    for (const auto& entry : run.sim.trace()) {
        const std::string key = entry.object + "." + entry.operation;
        used.insert(key);
        lines += sim::formatTraceEntry(entry) + "\n";
        EXPECT_FALSE(entry.failed) << key;
        const auto row = kHostTable.find(key);
        if (row == kHostTable.end()) {
            ADD_FAILURE() << "not in the host table: " << key;
            continue;
        }
        Types types;
        for (const auto& arg : entry.args) {
            types.push_back(arg.type);
        }
        EXPECT_EQ(types, row->second) << key;
    }
    EXPECT_EQ(used.size(), kHostTable.size()) << "a full rerun uses every operation";
    EXPECT_TRUE(testing::matchesGolden(lines, "rerun-trace.txt"));
}

TEST(HostTrace, PlacingWalksTheSheetsOwnViewOncePerInsertionPlusOnce) {
    // 36 symbols on the sheet itself, five distinct keys: six insertions.
    const sim::SymbolData keys[] = {sfSymbol(0, L"0,4", L"", L""), sfSymbol(1, L"0,8", L"geschliffen", L""),
                                    sfSymbol(1, L"3,2", L"", L""), sfSymbol(2, L"6,4", L"poliert", L""),
                                    sfSymbol(0, L"1,6", L"poliert", L"")};
    std::vector<sim::SymbolData> onSheet;
    for (int i = 0; i < 36; ++i) {
        onSheet.push_back(keys[i % 5]);
        onSheet.back().name = L"Oberflächengüte" + std::to_wstring(i + 1);
    }
    testing::RunFixture run(drawingWith(std::move(onSheet)));
    ASSERT_TRUE(run.start());
    ASSERT_FALSE(run.ok(testing::kFirstChoice));
    ASSERT_TRUE(run.messages().empty());

    std::map<std::string, int> placing;
    bool inPlacing = false;
    for (const auto& entry : run.sim.trace()) {
        inPlacing = inPlacing || entry.operation == "ActivateSheet";
        if (inPlacing && entry.operation == "InsertNote") {
            break;
        }
        if (inPlacing) {
            ++placing[entry.operation];
        }
    }
    EXPECT_EQ(placing["InsertSurfaceFinishSymbol2"], 6);
    EXPECT_EQ(placing["GetFirstView"], 7);
    EXPECT_EQ(placing["GetFirstSFSymbol"], 7);
    // Counting 36 symbols asks 36 times; the walk after the k-th insertion finds 36 + k symbols and
    // asks twice per step but the last: 73 + 75 + 77 + 79 + 81 + 83.
    EXPECT_EQ(placing["GetNext"], 36 + 468);
}

} // namespace
} // namespace tvx
