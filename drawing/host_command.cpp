#include "drawing/host_command.h"

#include "drawing/run_errors.h"

namespace tvx {

std::optional<OpenHostCommand> openHostCommand(const HostSession& session, RunLog& log) {
    OpenHostCommand command;
    bool active = false;
    try {
        require(session.hostApp, "GetRunningCommandInfo")->GetRunningCommandInfo(command.id, command.pageTitle, active);
    } catch (const host::HostError& e) {
        if (e.stopsRun() || e.unreachable()) {
            throw;
        }
        std::string text = e.unknownName() ? "nicht gefragt, der Host kennt den Aufruf nicht: "
                                            : "nicht gefragt, der Aufruf schlug fehl: ";
        log.note("Befehl im Host", text.append(e.what()));
        return std::nullopt;
    }
    // The ID alone says nothing: no source tells what a host answers when nothing runs.
    if (!active) {
        return std::nullopt;
    }
    std::wstring text = L"ID ";
    text.append(std::to_wstring(command.id)).append(L", Seite \"").append(command.pageTitle).append(L"\"");
    log.note("Befehl im Host", text);
    return command;
}

} // namespace tvx
