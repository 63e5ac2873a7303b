// A whole run of the program over the stand-in host and the recording dialogs, with the
// configuration file written into a folder of its own.
#pragma once

#include "app/program.h"
#include "app/sequences.h"
#include "drawing/sim/sim_host.h"
#include "tests/support/fake_ui.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tvx::testing {

// Corner x 0.8, 0.6, 0.45, 0.4, 0.2 for paper codes 11..7, corner y 0.01, rise 0.005, pad 0.002,
// symbol width 0.01, anchor 0.001, gap 0.003, note rise 0.004, width factor 1, fonts ISOCP 14.
std::string configText(int keepSymbolFont = 0);

class RunFixture {
public:
    explicit RunFixture(sim::HostData drawing, const std::string* config = nullptr);
    explicit RunFixture(sim::HostData drawing, const std::string& config)
        : RunFixture(std::move(drawing), &config) {}
    ~RunFixture();
    RunFixture(const RunFixture&) = delete;
    RunFixture& operator=(const RunFixture&) = delete;

    // Form_Load through the top-level handler: true when the dialog waits for the user.
    bool start();
    // OK or Cancel through the top-level handler: true if the run did not end.
    bool ok(const UserChoice& choice);
    bool cancel();

    const sim::HostData& drawing() const { return std::as_const(sim).data(); }
    std::vector<std::wstring> messages() const;
    std::vector<std::string> operations() const;
    std::size_t count(const std::string& operation) const;
    // 1-based number of the n-th call of an operation in the trace, for failAtCall; 0 if none.
    std::uint64_t callNumber(const std::string& operation, std::size_t occurrence) const;

    sim::SimHost sim;
    UiLog log;
    FakeMainForm form;
    FakeMessageDialog gef;
    TestTerminator terminator;
    std::filesystem::path folder;
    Program program;

private:
    bool run(Handler handler);
};

// The sheet's own view of the first sheet.
const sim::ViewData& sheetView(const sim::HostData& drawing);
// Symbols of the sheet's own view named by the tool, in order.
std::vector<const sim::SymbolData*> ownSymbols(const sim::HostData& drawing);
const sim::NoteData* noteNamed(const sim::HostData& drawing, const std::wstring& name);

} // namespace tvx::testing
