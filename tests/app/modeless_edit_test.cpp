// The main dialog is modeless: the user may work in the drawing while it waits. Whatever the user
// did there, Ok must not delete or lose anything; where the drawing no longer reads as the start
// found it, the run stops before touching it.
#include "drawing/messages.h"
#include "drawing/sim/listing.h"
#include "stories.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

namespace tvx {
namespace {

using testing::sfSymbol;

std::vector<sim::SymbolData>& sheetSymbols(sim::HostData& data) {
    return testing::firstSheet(data).views.at(0).symbols;
}

void eraseNamed(sim::HostData& data, const std::wstring& name) {
    auto& symbols = sheetSymbols(data);
    const auto it =
        std::find_if(symbols.begin(), symbols.end(), [&](const auto& s) { return s.name == name; });
    ASSERT_NE(it, symbols.end()) << "no symbol named so";
    symbols.erase(it);
}

struct Edit {
    const char* what;
    std::function<sim::HostData()> drawing;
    std::function<void(sim::HostData&)> edit;
    const wchar_t* message; // nullptr: the run completes
};

sim::HostData twoSheets() {
    sim::HostData data = testing::rerunDrawing();
    data.activeDoc->sheets.push_back(sim::makeSheet(L"Blatt2", 10, 0.841, 0.594));
    return data;
}

TEST(ModelessDialog, OkStopsBeforeClearingWhenTheUserChangedWhatClearingReliesOn) {
    const std::vector<Edit> edits = {
        // What a second run that scanned the same drawing would have placed in the meantime:
        // clearing would take its note by name and then be refused the main symbol's name.
        {"another run's output appeared after the scan", testing::foreignDrawing,
         [](sim::HostData& d) {
             sheetSymbols(d).push_back(sfSymbol(0, L"6,4", L"", L"ZyrSymbol_99"));
             sheetSymbols(d).push_back(sfSymbol(1, L"1,6", L"geschliffen", L"ZyrSymbol_01"));
             sim::NoteData note;
             note.name = L"ZyrNote";
             note.text = L"(   )";
             testing::firstSheet(d).views.at(0).notes.push_back(note);
         },
         msg::kDrawingChanged},
        {"an earlier run's symbol deleted by hand", testing::rerunDrawing,
         [](sim::HostData& d) { eraseNamed(d, L"ZyrSymbol_02"); }, msg::kDrawingChanged},
        // The bracket note would not repeat it.
        {"a foreign symbol of a new kind added", testing::rerunDrawing,
         [](sim::HostData& d) {
             sheetSymbols(d).push_back(sfSymbol(2, L"25", L"gefräst", L"Oberflächengüte9"));
         },
         msg::kDrawingChanged},
        // More kinds than the bracket holds: the start found them within its limits.
        {"three kinds added, six in all", testing::rerunDrawing,
         [](sim::HostData& d) {
             sheetSymbols(d).push_back(sfSymbol(2, L"25", L"gefräst", L"Oberflächengüte9"));
             sheetSymbols(d).push_back(sfSymbol(2, L"12,5", L"gefräst", L"Oberflächengüte10"));
             sheetSymbols(d).push_back(sfSymbol(0, L"50", L"", L"Oberflächengüte11"));
         },
         msg::kDrawingChanged},
        {"another sheet made current", twoSheets, [](sim::HostData& d) { d.activeDoc->currentSheet = 1; },
         msg::kDrawingChanged},
        // As many own names as before, but not the same ones.
        {"an earlier run's symbol replaced by one named by hand", testing::rerunDrawing,
         [](sim::HostData& d) {
             eraseNamed(d, L"ZyrSymbol_02");
             sheetSymbols(d).push_back(sfSymbol(1, L"0,4", L"", L"ZyrSymbol_07"));
         },
         msg::kDrawingChanged},
        {"the earlier note deleted and a foreign symbol's duplicate added", testing::rerunDrawing,
         [](sim::HostData& d) {
             testing::firstSheet(d).views.at(0).notes.clear();
             sheetSymbols(d).push_back(sfSymbol(0, L"0,8", L"poliert", L"Oberflächengüte9"));
         },
         nullptr},
    };
    const std::set<std::string> changing = {"SelectByID", "DeleteSelection", "Select2", "ActivateSheet",
                                            "InsertSurfaceFinishSymbol2", "InsertNote", "SetName",
                                            "SetUserPreferenceToggle", "EditRebuild"};
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.what);
        testing::RunFixture run(e.drawing());
        ASSERT_TRUE(run.start());
        e.edit(run.sim.data());
        const sim::HostData edited = run.drawing();
        const std::size_t callsBeforeOk = run.sim.trace().size();
        EXPECT_FALSE(run.ok(testing::kFirstChoice));
        EXPECT_EQ(run.terminator.ended, 1);
        if (e.message == nullptr) {
            EXPECT_TRUE(run.messages().empty());
            EXPECT_EQ(testing::ownSymbols(run.drawing()).size(), 4u);
            EXPECT_NE(testing::noteNamed(run.drawing(), L"ZyrNote"), nullptr);
            continue;
        }
        EXPECT_EQ(run.messages(), std::vector<std::wstring>{e.message});
        EXPECT_TRUE(run.drawing() == edited) << sim::listAnnotations(run.drawing());
        for (std::size_t i = callsBeforeOk; i < run.sim.trace().size(); ++i) {
            EXPECT_EQ(changing.count(run.sim.trace()[i].operation), 0u) << run.sim.trace()[i].operation;
        }
    }
}

// A command of the host, with its PropertyManager page, may still be open when Ok is pressed in the
// modeless dialog: nothing changes, the dialog waits, and the next Ok after the command has ended
// is an ordinary run. The choice equals a foreign symbol, which the register drops on Ok: the
// waiting Ok must leave the register as scanned, or the next one finds the drawing changed.
TEST(ModelessDialog, OkWaitsInTheDialogWhileACommandOfTheHostIsOpen) {
    const testing::UserChoice twin{1, L"geschliffen", L"1,6"};
    testing::RunFixture reference(testing::rerunDrawing());
    ASSERT_TRUE(reference.start());
    ASSERT_FALSE(reference.ok(twin));

    testing::RunFixture run(testing::rerunDrawing());
    ASSERT_TRUE(run.start());
    run.sim.data().runningCommand = sim::RunningCommand{1, L"Notiz"};
    const sim::HostData before = run.drawing();
    EXPECT_TRUE(run.ok(twin));
    EXPECT_EQ(run.messages(), std::vector<std::wstring>{msg::kHostCommandOpen});
    EXPECT_EQ(run.gef.shown.at(0).title, testing::kMainCaption);
    EXPECT_EQ(run.gef.shown.at(0).icon.handle, run.form.icon().handle);
    EXPECT_TRUE(run.gef.shown.at(0).mainFormVisible);
    EXPECT_TRUE(run.form.visible);
    EXPECT_EQ(run.terminator.ended, 0);
    // Undo list and toggle 24 included.
    EXPECT_TRUE(run.drawing() == before) << sim::listAnnotations(run.drawing());

    run.sim.data().runningCommand.reset();
    EXPECT_FALSE(run.ok(twin));
    EXPECT_EQ(run.messages().size(), 1u);
    EXPECT_EQ(run.terminator.ended, 1);
    EXPECT_TRUE(run.drawing() == reference.drawing()) << sim::listAnnotations(run.drawing());
}

} // namespace
} // namespace tvx
