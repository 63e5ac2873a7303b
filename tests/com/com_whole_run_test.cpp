// The program's whole run, start-up to OK, once over the in-memory host and once over automation
// against the stand-in host server in another process: the same calls, the same drawing.
#include "drawing/sim/drawing_file.h"
#include "tests/com/automation_run.h"
#include "tests/com/server_process.h"

#include <gtest/gtest.h>

namespace tvx {
namespace {

using com::testing::ServerProcess;
using testing::AutomationRun;
using testing::fileBytes;

const testing::UserChoice kChoice{0, L"geschliffen", L"6,4"};

class WholeRunOverAutomation : public ::testing::TestWithParam<const char*> {
protected:
    com::ComApartment apartment;
    com::testing::ScratchFolder folder{"com-whole-run"};
};

TEST_P(WholeRunOverAutomation, LeavesTheSameDrawingAsTheInMemoryRunAfterTheSameCalls) {
    const sim::HostData drawing = sim::loadDrawingFile(com::testing::windowsPath(TVX_SAMPLES_DIR) / GetParam());

    testing::RunFixture inMemory(drawing);
    ASSERT_TRUE(inMemory.start());
    EXPECT_FALSE(inMemory.ok(kChoice));
    ASSERT_TRUE(inMemory.messages().empty());

    std::filesystem::create_directories(folder.path() / "program");
    ServerProcess server(folder.path(), drawing);
    AutomationRun overAutomation(folder.path() / "program");
    ASSERT_TRUE(overAutomation.run(Form_Load));
    testing::playChoice(overAutomation.form, kChoice);
    EXPECT_FALSE(overAutomation.run(cmd_Ok_Click));
    EXPECT_TRUE(overAutomation.gef.shown.empty());
    EXPECT_EQ(overAutomation.terminator.ended, 1);
    EXPECT_EQ(overAutomation.log.names(), inMemory.log.names());
    ASSERT_EQ(server.stop("save"), 0u);

    std::vector<std::string> expectedTrace;
    for (const auto& entry : inMemory.sim.trace()) {
        if (entry.operation != "attach") {
            expectedTrace.push_back(sim::formatTraceEntry(entry));
        }
    }
    EXPECT_EQ(server.traceLines(), expectedTrace);
    EXPECT_EQ(fileBytes(server.drawingFile()), sim::drawingToJson(inMemory.drawing()));
}

INSTANTIATE_TEST_SUITE_P(Samples, WholeRunOverAutomation,
                         ::testing::Values("sample-drawing.json", "rerun-drawing.json"),
                         [](const auto& param) {
                             return std::string(param.param).find("rerun") == 0 ? "Rerun" : "FirstRun";
                         });

} // namespace
} // namespace tvx
