// The program's whole run, start-up and Ok, with the client on host objects in this process and
// the recording dialogs.
#pragma once

#include "tests/support/fake_ui.h"
#include "drawing/com/com_owners.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tvx::com::testing {

struct InProcessRun {
    bool ended = false; // ended through the terminator, once
    std::vector<std::wstring> messages;
};

// programFolder holds Tarvenix.txt; app is the host's application object.
InProcessRun runInProcess(const std::filesystem::path& programFolder, ComPtr<IDispatch> app,
                          const tvx::testing::UserChoice& choice);

} // namespace tvx::com::testing
