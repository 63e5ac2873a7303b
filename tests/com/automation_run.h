// The program's dialogs and process end as the in-memory runs have them, the host reached by
// automation: a whole run in this process against a stand-in host server in another.
#pragma once

#include "app/sequences.h"
#include "tests/support/fake_ui.h"
#include "tests/support/run_fixture.h"
#include "drawing/com/com_host.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tvx::testing {

struct AutomationRun {
    explicit AutomationRun(const std::filesystem::path& folder)
        : form(log), gef(log, form), terminator(log), program(form, gef, terminator, connector, folder.wstring()) {
        std::ofstream(folder / "Tarvenix.txt", std::ios::binary) << configText();
    }
    // Start-up, and OK with the choice when the dialog waits; false when the run ended early.
    bool startAndOk(const UserChoice& choice) {
        if (!run(Form_Load)) {
            return false;
        }
        playChoice(form, choice);
        return !run(cmd_Ok_Click);
    }
    bool run(Handler handler) {
        try {
            runHandler(program, handler);
            return true;
        } catch (const RunEnded&) {
            return false;
        }
    }

    UiLog log;
    FakeMainForm form;
    FakeMessageDialog gef;
    TestTerminator terminator;
    com::ComConnector connector;
    Program program;
};

inline std::string fileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

} // namespace tvx::testing
