// The handlers of the main dialog and the ways a run ends. The platform calls each handler through
// runHandler, the one place that turns an unforeseen failure into a report and the end of the run.
#pragma once

#include "app/program.h"
#include "drawing/host.h"

#include <string>
#include <string_view>

namespace tvx {

using Handler = void (*)(Program&);

// Runs a handler; any failure no sequence reports itself is shown as a plain German report with
// the main dialog's caption and icon, and ends the run. RunEnded passes through.
void runHandler(Program& program, Handler handler);

// Runs a handler of the dialog (start-up, Ok, Cancel, the close command) through runHandler,
// unless one already runs: a click that arrives before start-up has finished, while a message is
// shown or while the run waits for the host does nothing.
void runDialogHandler(Program& program, Handler handler);

// Start-up: topmost, configuration, host, scan, dialog shown, lists filled.
void Form_Load(Program& program);
// OK: the choice into slot 0, layout, dialog hidden, old output cleared, new placed, rebuild, end.
void cmd_Ok_Click(Program& program);
void cmd_Cancel_Click(Program& program);

// Fills the three lists and selects slot 0's values, after giving slot 0 the default main symbol
// when no earlier one was found. A kind the list does not offer throws ReportedError.
void fillChoiceLists(MainForm& form, SymbolRegister& symbols);

// Tries once more what the run still owes the drawing (not on a host that hung), releases the
// host references and ends the process; never returns.
[[noreturn]] void shutDown(Program& program);
// Called from inside a host call that did not come back within its bound, which it can never
// return to: the not-answering report, then the end. While shutDown runs, the run ends at once
// without a report, as it was ending anyway.
[[noreturn]] void hostNotAnswering(Program& program);
// The message dialog with the main dialog's caption and icon; returns once dismissed.
void raiseMessage(Program& program, const std::wstring& message);
// The error route: the message, then shutDown.
[[noreturn]] void errorRoute(Program& program, const std::wstring& message);
[[noreturn]] void reportInsertError(Program& program);
[[noreturn]] void reportCalcError(Program& program);

// The report for a failure nothing else words: what happened, in front, since the message
// dialog shows only two lines.
std::wstring unexpectedReport(std::string_view what);
// A failed host call: a host that no longer answers is said in German; other failures carry
// the operation and the host's own words.
std::wstring hostFailureReport(const host::HostError& error);

} // namespace tvx
