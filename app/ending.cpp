#include "app/sequences.h"

#include "config/text_decoding.h"
#include "drawing/host.h"
#include "drawing/messages.h"
#include "drawing/run_errors.h"

#include <exception>
#include <string>

namespace tvx {
namespace {

// The run ends after the report whatever the message dialog does; a failing dialog must not
// keep the host references alive or the process running.
[[noreturn]] void reportAndEnd(Program& program, const std::wstring& report, RunEnd failure) {
    program.failure = failure;
    try {
        raiseMessage(program, report);
    } catch (const RunEnded&) {
        throw;
    } catch (...) {
    }
    shutDown(program);
}

// What the run still owes the drawing, tried once more on the way out. After the busy report the
// user has just closed the host's own dialog, so a busy host is asked again; a hung one never is.
void tidyUp(Program& program) noexcept {
    HostSession& session = program.session;
    if (session.hostHung || session.owed.empty()) {
        return;
    }
    program.connector.takeCallsAgain();
    session.owed.settle();
}

// How the run ended, as its log tells it, in words support can pass on.
std::string endingText(const Program& program) {
    const std::string step = program.step;
    if (program.messageShown) {
        std::string text = "nach der Meldung (" + step + "): ";
        if (!program.drawingChanged) {
            return text + "die Zeichnung ist unverändert";
        }
        return text + (program.undoEntryStarted
                           ? "die Zeichnung wurde schon geändert; einmal Rückgängig („Oberflächenangabe“) nimmt es zurück"
                           : "die Zeichnung wurde schon geändert, ohne eigenen Rückgängig-Eintrag");
    }
    if (step == "Ok") {
        return "Ok ausgeführt";
    }
    if (step == "Abbruch") {
        return "Abbruch, die Zeichnung ist unverändert";
    }
    return step + ", die Zeichnung ist unverändert";
}

// The step a handler of the dialog is, in the log's words.
const char* stepName(Handler handler) {
    if (handler == Form_Load) {
        return "Start";
    }
    if (handler == cmd_Ok_Click) {
        return "Ok";
    }
    return handler == cmd_Cancel_Click ? "Abbruch" : "Bedienelement";
}

// A host that stopped answering or went away, told apart from a call it refused.
RunEnd hostFailureKind(const host::HostError& error) {
    const bool host = error.kind() == host::HostFailure::Busy ||
                      error.kind() == host::HostFailure::Hung || error.unreachable();
    return host ? RunEnd::HostGone : RunEnd::Unexpected;
}

RunEnd howItEnded(const Program& program) {
    if (program.failure != RunEnd::Done) {
        return program.failure;
    }
    return program.messageShown ? RunEnd::Message : RunEnd::Done;
}

// Host messages may carry UTF-8; anything else is shown as the ANSI text it then most likely is.
std::wstring decodeDetail(std::string_view text) {
    return decodeUtf8(text).value_or(decodeCp1252(text));
}

} // namespace

std::wstring unexpectedReport(std::string_view what) {
    std::wstring report = msg::kUnexpectedError;
    report += what.empty() ? L"." : L": " + decodeDetail(what);
    return report;
}

std::wstring hostFailureReport(const host::HostError& error) {
    const std::wstring operation = decodeDetail(error.operation());
    switch (error.kind()) {
    case host::HostFailure::Busy: return msg::kHostBusy;
    case host::HostFailure::Hung: return msg::kHostNotAnswering;
    case host::HostFailure::Refused:
    case host::HostFailure::Gone: break;
    }
    if (error.unreachable()) {
        return std::wstring(msg::kUnexpectedError) + L": " + msg::kHostUnreachable + L" (" + operation + L").";
    }
    return unexpectedReport(error.what());
}

void runHandler(Program& program, Handler handler) {
    std::wstring report;
    RunEnd failure = RunEnd::Unexpected;
    try {
        handler(program);
        return;
    } catch (const RunEnded&) {
        throw;
    } catch (const ReportedError& e) {
        report = e.report();
        failure = RunEnd::Message;
    } catch (const host::HostError& e) {
        if (e.kind() == host::HostFailure::Hung) {
            program.session.hostHung = true;
        }
        report = hostFailureReport(e);
        failure = hostFailureKind(e);
    } catch (const std::exception& e) {
        report = unexpectedReport(e.what());
    } catch (...) {
        report = unexpectedReport({});
    }
    reportAndEnd(program, report, failure);
}

void runDialogHandler(Program& program, Handler handler) {
    if (program.handlerRunning) {
        return;
    }
    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
    } running(program.handlerRunning);
    program.step = stepName(handler);
    runHandler(program, handler);
}

void shutDown(Program& program) {
    program.ending = true;
    tidyUp(program);
    // The register's symbols are host references too: a client process that ends holding them
    // leaves them held in the host until the system notices it is gone.
    program.symbols.releaseOwnSymbols();
    releaseHost(program.session);
    program.log.note("Ende", endingText(program));
    program.log.flush();
    program.terminator.endProcess(howItEnded(program));
    // A terminator that came back would let the caller's sequence go on; nothing may run now.
    std::terminate();
}

void hostNotAnswering(Program& program) {
    program.session.hostHung = true;
    if (program.ending) {
        program.log.note("Ende", std::string_view("Host antwortet nicht, beim Beenden"));
        program.log.flush();
        // What the run did before it was ending stands; the host's silence afterwards changes
        // nothing of it.
        program.terminator.endProcess(howItEnded(program));
    }
    reportAndEnd(program, msg::kHostNotAnswering, RunEnd::HostGone);
}

void raiseMessage(Program& program, const std::wstring& message) {
    const std::wstring caption = program.form.caption();
    const FormIcon icon = program.form.icon();
    program.messageShown = true;
    program.log.note("Meldung", message);
    program.log.flush();
    program.gef.Raise(message, caption, icon);
}

void errorRoute(Program& program, const std::wstring& message) {
    raiseMessage(program, message);
    shutDown(program);
}

void reportInsertError(Program& program) { errorRoute(program, msg::kInsertError); }

void reportCalcError(Program& program) { errorRoute(program, msg::kCalcError); }

void cmd_Cancel_Click(Program& program) { shutDown(program); }

} // namespace tvx
