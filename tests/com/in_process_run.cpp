#include "tests/com/in_process_run.h"

#include "app/sequences.h"
#include "drawing/com/com_host.h"

namespace tvx::com::testing {

InProcessRun runInProcess(const std::filesystem::path& programFolder, ComPtr<IDispatch> app,
                          const tvx::testing::UserChoice& choice) {
    struct Direct final : host::Connector {
        explicit Direct(ComPtr<IDispatch> object) : app(std::move(object)) {}
        host::AppRef attach(const std::wstring&) override { return wrapApp(app); }
        ComPtr<IDispatch> app;
    } connector(std::move(app));
    tvx::testing::UiLog log;
    tvx::testing::FakeMainForm form(log);
    tvx::testing::FakeMessageDialog gef(log, form);
    tvx::testing::TestTerminator terminator(log);
    Program program(form, gef, terminator, connector, programFolder.wstring());
    InProcessRun run;
    try {
        runHandler(program, Form_Load);
        tvx::testing::playChoice(form, choice);
        runHandler(program, cmd_Ok_Click);
    } catch (const RunEnded&) {
        run.ended = terminator.ended == 1;
    }
    for (const auto& shown : gef.shown) {
        run.messages.push_back(shown.text);
    }
    return run;
}

} // namespace tvx::com::testing
