#include "drawing/stale_check.h"
#include "drawing/sim/sim_host.h"
#include "drawing_builders.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

namespace tvx {
namespace {

using testing::sfSymbol;

// The output of a run on "Blatt1": main symbol, one repeated symbol, the bracket note; and the
// foreign symbol it repeats plus a twin of the main symbol, which a run does not repeat.
sim::HostData groupedDrawing() {
    sim::HostData data = testing::drawingWith(
        {sfSymbol(1, L"3,2", L"geschliffen", L"Fremd1"), sfSymbol(1, L"1,6", L"", L"Zwilling"),
         sfSymbol(1, L"1,6", L"", L"ZyrSymbol_99"), sfSymbol(1, L"3,2", L"geschliffen", L"ZyrSymbol_01")},
        {{sfSymbol(1, L"3,2", L"geschliffen", L"Fremd2")}});
    sim::NoteData note;
    note.name = L"ZyrNote";
    note.text = L"( 3,2 geschliffen )";
    testing::firstSheet(data).views[0].notes.push_back(note);
    return data;
}

std::vector<sim::SymbolData>& onSheet(sim::HostData& data) { return testing::firstSheet(data).views[0].symbols; }

// Checks once and proves that the check only read: every call a reading one, the drawing and the
// selection as they were.
GroupCheck checkOnly(sim::SimHost& sim) {
    const sim::HostData before = std::as_const(sim).data();
    const host::DocRef doc = sim.connector().attach(host::kHostClassName)->ActiveDoc();
    sim.clearTrace();
    const GroupCheck check = checkGroup(doc);
    static const std::set<std::string> reading{"GetCurrentSheet", "GetName", "GetFirstView", "GetFirstNote",
                                               "GetNext", "GetAnnotation", "GetFirstSFSymbol", "GetNextView",
                                               "GetSymbolType", "GetText"};
    for (const sim::TraceEntry& call : sim.trace()) {
        EXPECT_TRUE(reading.count(call.operation)) << call.object << "." << call.operation;
    }
    EXPECT_EQ(std::as_const(sim).data(), before);
    EXPECT_EQ(sim.pickPoint(), std::nullopt);
    EXPECT_EQ(sim.selectedNames(), std::vector<std::wstring>{});
    return check;
}

GroupCheck checkOf(sim::HostData data) {
    sim::SimHost sim(std::move(data));
    return checkOnly(sim);
}

void expectStale(const GroupCheck& check, std::int32_t added, std::int32_t gone) {
    EXPECT_EQ(check.state, GroupState::Stale);
    EXPECT_EQ(check.added, added);
    EXPECT_EQ(check.gone, gone);
    EXPECT_FALSE(check.refused);
    EXPECT_EQ(check.sheetName, L"Blatt1");
}

TEST(StaleCheck, TellsAMatchingGroupFromNewGoneAndChangedSymbolsOnlyByReading) {
    const GroupCheck current = checkOf(groupedDrawing());
    EXPECT_EQ(current.state, GroupState::Current);
    EXPECT_EQ(current.sheetName, L"Blatt1");
    EXPECT_EQ(checkOf(groupedDrawing()).fingerprint, current.fingerprint);

    sim::HostData added = groupedDrawing();
    onSheet(added).push_back(sfSymbol(2, L"6,4", L"", L"Neu"));
    const GroupCheck withNew = checkOf(added);
    expectStale(withNew, 1, 0);
    EXPECT_NE(withNew.fingerprint, current.fingerprint);

    // Both originals of the repeated symbol deleted: the bracket repeats what is gone, and its
    // note stands although nothing is left to repeat.
    sim::HostData gone = groupedDrawing();
    onSheet(gone).erase(onSheet(gone).begin());
    testing::firstSheet(gone).views[1].symbols.clear();
    expectStale(checkOf(gone), 0, 1);

    sim::HostData changed = groupedDrawing();
    onSheet(changed)[0].texts[2] = L"poliert";
    testing::firstSheet(changed).views[1].symbols[0].texts[2] = L"poliert";
    expectStale(checkOf(changed), 1, 1);

    // The main symbol deleted by hand: what is left is no whole group.
    sim::HostData headless = groupedDrawing();
    onSheet(headless).erase(onSheet(headless).begin() + 2);
    EXPECT_EQ(checkOf(headless).state, GroupState::Stale);
}

TEST(StaleCheck, PassesOverASheetWithoutOutputAndCountsOneARunWouldRefuseAsStale) {
    EXPECT_EQ(checkOf(testing::drawingWith({sfSymbol(1, L"3,2", L"", L"Fremd")})).state, GroupState::NoOutput);
    EXPECT_EQ(checkOf(testing::drawingWith({})).state, GroupState::NoOutput);

    sim::HostData crowded = groupedDrawing();
    for (int i = 0; i < 6; ++i) {
        onSheet(crowded).insert(onSheet(crowded).begin(), sfSymbol(2, std::to_wstring(i), L"", L"F"));
    }
    const GroupCheck refused = checkOf(crowded);
    EXPECT_EQ(refused.state, GroupState::Stale);
    EXPECT_TRUE(refused.refused);
    // Six foreign kinds on a sheet without output: no run's group to judge.
    sim::HostData crowdedOnly = testing::drawingWith({});
    for (int i = 0; i < 6; ++i) {
        onSheet(crowdedOnly).push_back(sfSymbol(2, std::to_wstring(i), L"", L"F"));
    }
    EXPECT_EQ(checkOf(crowdedOnly).state, GroupState::NoOutput);

    sim::HostData unknownKind = groupedDrawing();
    onSheet(unknownKind)[2].symbolType = 7;
    onSheet(unknownKind)[1].symbolType = 7; // its twin stays a twin
    EXPECT_TRUE(checkOf(unknownKind).refused);
    EXPECT_FALSE(checkOf(groupedDrawing()).refused);
}

TEST(StaleCheck, GivesUpWhenAHostCallFailsInsteadOfCallingTheGroupStale) {
    for (const char* operation : {"GetText", "GetFirstNote", "GetCurrentSheet"}) {
        SCOPED_TRACE(operation);
        sim::SimHost sim(groupedDrawing());
        sim.failOperation(operation);
        const GroupCheck check = checkOnly(sim);
        EXPECT_EQ(check.state, GroupState::GaveUp);
        EXPECT_NE(check.failure.find(operation), std::string::npos) << check.failure;
    }
    EXPECT_EQ(checkGroup(nullptr).state, GroupState::GaveUp);
}

} // namespace
} // namespace tvx
