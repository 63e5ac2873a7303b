// The program's whole run, start-up to OK, once over the in-memory host and once over automation
// against the stand-in host server in another process: the same calls, the same drawing.
#include "app/sequences.h"
#include "drawing/com/com_host.h"
#include "drawing/sim/drawing_file.h"
#include "app/testing/fake_ui.h"
#include "app/testing/run_fixture.h"
#include "tests/com/server_process.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tvx {
namespace {

using com::testing::ServerProcess;

const testing::UserChoice kChoice{0, L"geschliffen", L"6,4"};

std::string fileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The dialogs and the process end as the in-memory run has them, the host reached by automation.
struct AutomationRun {
    explicit AutomationRun(const std::filesystem::path& folder)
        : form(log), gef(log, form), terminator(log), program(form, gef, terminator, connector, folder.wstring()) {
        std::ofstream(folder / "Tarvenix.txt", std::ios::binary) << testing::configText();
    }
    bool run(Handler handler) {
        try {
            runHandler(program, handler);
            return true;
        } catch (const RunEnded&) {
            return false;
        }
    }

    testing::UiLog log;
    testing::FakeMainForm form;
    testing::FakeMessageDialog gef;
    testing::TestTerminator terminator;
    com::ComConnector connector;
    Program program;
};

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
