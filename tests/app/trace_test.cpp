#include "golden.h"
#include "stories.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace tvx {
namespace {

using Types = std::vector<std::string>;

// The host table: every call the program makes, by object and operation, with the automation
// types of its arguments in order.
const std::map<std::string, Types> kHostTable = {
    {"system.attach", {"BSTR"}},
    {"App.ActiveDoc", {}},
    {"App.GetUserPreferenceToggle", {"I4"}},
    {"App.SetUserPreferenceToggle", {"I4", "BOOL"}},
    {"Doc.GetType", {}},
    {"Doc.GetFirstView", {}},
    {"Doc.GetCurrentSheet", {}},
    {"Sheet.GetName", {}},
    {"Sheet.GetProperties", {}},
    {"Doc.Extension", {}},
    {"Extension.SelectByID", {"BSTR", "BSTR", "I2", "I2", "I2", "BOOL", "I2", "DISPATCH"}},
    {"Doc.SelectByID", {"BSTR", "BSTR", "R8", "R8", "I2"}},
    {"Doc.DeleteSelection", {"BOOL"}},
    {"Doc.ActivateSheet", {"BSTR"}},
    {"Doc.InsertSurfaceFinishSymbol2",
     {"I4", "I2", "I2", "I2", "R8", "I2", "I2", "BSTR", "BSTR", "BSTR", "BSTR", "BSTR", "BSTR",
      "BSTR"}},
    {"Doc.InsertNote", {"BSTR"}},
    {"Doc.EditRebuild", {}},
    {"View.GetFirstSFSymbol", {}},
    {"View.GetNextView", {}},
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
    testing::RunFixture run(testing::rerunDrawing());
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

} // namespace
} // namespace tvx
