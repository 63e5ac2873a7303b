#include "../drawing/drawing_builders.h"
#include "tests/support/fault_table.h"
#include "tests/support/run_fixture.h"
#include "drawing/sim/drawing_file.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace tvx {
namespace {

using testing::FaultRow;
using testing::FaultTable;

// Two foreign symbols, one of them twice, after a completed first run: its main symbol, its two
// other symbols and its note are on the sheet.
sim::HostData twoOthersAfterAFirstRun() {
    sim::HostData drawing = testing::drawingWith(
        {testing::sfSymbol(1, L"0,8", L"geschliffen", L"Oberflächengüte1")},
        {{testing::sfSymbol(0, L"6,3", L"", L"Oberflächengüte2"),
          testing::sfSymbol(1, L"0,8", L"geschliffen", L"Oberflächengüte3")}});
    testing::RunFixture first(drawing);
    EXPECT_TRUE(first.start());
    EXPECT_FALSE(first.ok({2, L"gefräst", L"3,2"}));
    EXPECT_TRUE(first.messages().empty());
    return first.drawing();
}

const FaultTable& twoOthersTable() {
    static const FaultTable table = testing::runFaultTable(twoOthersAfterAFirstRun());
    return table;
}

std::string describe(const FaultRow& row) {
    return std::to_string(row.call) + " " + row.operation + " (" + row.step + ")" +
           (row.ended ? "" : " did not end") + (row.messageOk ? "" : " wrong message") +
           (row.drawingOk ? "" : " drawing: " + row.drawingNote) +
           (row.toggleOk ? "" : " toggle 24 changed") + (row.rebuildOk ? "" : " rebuild") +
           (row.rerunOk ? "" : " re-run: " + row.rerunNote);
}

void expectEveryRowAsDescribed(const FaultTable& table) {
    ASSERT_GT(table.calls, 0u);
    EXPECT_EQ(table.rows.size(), table.calls);
    EXPECT_EQ(table.busyRows.size(), table.calls);
    EXPECT_EQ(table.hungRows.size(), table.calls);
    EXPECT_TRUE(table.allOk());
    std::map<std::string, std::size_t> perStep;
    for (const FaultRow& row : table.rows) {
        EXPECT_TRUE(row.ok()) << describe(row);
        ++perStep[row.step];
    }
    for (const auto* column : {&table.busyRows, &table.hungRows}) {
        for (const FaultRow& row : *column) {
            EXPECT_TRUE(row.ok()) << describe(row) << (row.quietAfter ? "" : " called the host again");
        }
    }
    for (const char* step :
         {"connection", "scan", "layout", "command", "recording", "clearing", "placing", "rebuild"}) {
        EXPECT_GT(perStep[step], 0u) << step;
    }
    // One undo after each fault, the recording's own three calls (extension, start, finish) aside.
    EXPECT_EQ(testing::undoJudged(table.rows), table.calls - 3);
    EXPECT_EQ(testing::undoneInOne(table.rows), testing::undoJudged(table.rows));
}

TEST(FaultAtEveryHostCall, TheSampleRerunDrawingSurvivesEachOne) {
    const FaultTable table =
        testing::runFaultTable(sim::loadDrawingFile(TVX_SAMPLES_DIR "/rerun-drawing.json"));
    expectEveryRowAsDescribed(table);
    const std::string text = testing::formatFaultTable(table);
    EXPECT_NE(text.find("calls faulted: " + std::to_string(table.calls) + " of " +
                        std::to_string(table.calls)),
              std::string::npos);
}

TEST(FaultAtEveryHostCall, ADrawingWithTwoOtherSymbolsAndAnEarlierRunSurvivesEachOne) {
    const FaultTable& table = twoOthersTable();
    expectEveryRowAsDescribed(table);
    EXPECT_EQ(table.choice.kind, 2) << "OK takes the earlier main symbol, preselected";
    EXPECT_EQ(table.choice.method, L"gefräst");
}

// The reports each step must give, at the calls that decide them.
TEST(FaultAtEveryHostCall, EachStepGivesItsOwnReport) {
    const FaultTable& table = twoOthersTable();
    std::map<std::string, const FaultRow*> first;
    for (const FaultRow& row : table.rows) {
        first.emplace(row.operation, &row);
    }
    using V = std::vector<std::wstring>;
    EXPECT_EQ(first.at("system.attach")->shown, V{L"Keine aktive SolidWorks Instanz gefunden !"});
    EXPECT_EQ(first.at("App.ActiveDoc")->shown, V{L"Kein SolidWorks Dokument geladen !"});
    EXPECT_EQ(first.at("Sheet.GetProperties")->shown, V{L"Fehler bei der Berechnung !"});
    EXPECT_EQ(first.at("Doc.DeleteSelection")->shown, V{L"Fehler beim Einfügen der Symbole !"});
    EXPECT_EQ(first.at("Doc.InsertNote")->shown, V{L"Fehler beim Einfügen der Symbole !"});
    ASSERT_EQ(first.at("Doc.EditRebuild")->shown.size(), 1u);
    EXPECT_EQ(first.at("Doc.EditRebuild")->shown[0].rfind(L"Unerwarteter Fehler", 0), 0u);
    // Passed over: the scan asks for the first view again and the run completes; the title is
    // for the support log only.
    EXPECT_TRUE(first.at("Doc.GetFirstView")->shown.empty());
    EXPECT_TRUE(first.at("Doc.GetTitle")->shown.empty());
    EXPECT_TRUE(first.at("Doc.GetTitle")->ok());
    // Passed over as a host without the call: the run completes as before.
    EXPECT_TRUE(first.at("App.GetRunningCommandInfo")->shown.empty());
}

// A host that stops taking calls gets the same report wherever it happens, even where a failing
// call is passed over. A hung host keeps an insertion it stopped before the tool could name; a busy
// one that answers again before the user confirms keeps nothing.
TEST(FaultAtEveryHostCall, AHostThatStopsTakingCallsIsReportedAsSuchEverywhere) {
    const FaultTable& table = twoOthersTable();
    using V = std::vector<std::wstring>;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        SCOPED_TRACE(describe(table.rows[i]));
        EXPECT_EQ(table.busyRows[i].shown, V{L"SolidWorks ist beschäftigt ! Offenen Dialog schließen und neu starten."});
        EXPECT_EQ(table.hungRows[i].shown, V{L"SolidWorks antwortet nicht ! Bitte die Zeichnung prüfen."});
        kept += table.hungRows[i].leftovers;
        EXPECT_EQ(table.busyRows[i].leftovers, 0u);
        const std::string& op = table.rows[i].operation;
        if ((op == "Doc.GetFirstView" || op == "Doc.GetTitle") && table.rows[i].step == "connection") {
            EXPECT_TRUE(table.rows[i].shown.empty()) << "a failure here is passed over, a host that stopped is not";
        }
    }
    EXPECT_GT(kept, 0u) << "no row stopped between an insertion and its naming";
}

} // namespace
} // namespace tvx
