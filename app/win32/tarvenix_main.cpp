// Tarvenix.exe: no arguments; the main dialog is the start. Builds both dialogs, attaches the
// host connector and runs the start-up sequence; the event loop then waits for Ok, Cancel or
// the close command, each of which ends the process through shutDown. A second start in the
// same session ends at once, after bringing the first one's window forward.
#include "app/sequences.h"
#include "app/win32/config_location.h"
#include "app/win32/event_loop.h"
#include "app/win32/main_form.h"
#include "app/win32/message_dialog.h"
#include "app/win32/pictures.h"
#include "app/win32/process_end.h"
#include "app/win32/run_log_file.h"
#include "app/win32/single_instance.h"
#include "drawing/com/com_host.h"
#include "drawing/com/com_owners.h"
#include "drawing/com/host_revision.h"
#include "drawing/com/host_window.h"
#include "drawing/com/retry_filter.h"

#include <windows.h>

#include <chrono>
#include <exception>
#include <string>
#include <utility>

namespace {

// Before the dialogs exist, or should the event loop itself fail, the platform's own message
// box is all that is left to report with.
int reportStartFailure(const char* what) {
    const std::wstring report = tvx::unexpectedReport(what);
    MessageBoxW(nullptr, report.c_str(), L"Tarvenix", MB_OK | MB_ICONERROR | MB_TOPMOST);
    return static_cast<int>(tvx::RunEnd::Unexpected);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    using namespace tvx;
    try {
        // Before anything else, the host above all: a second start only points at the first.
        win::InstanceClaim claim(win::kInstanceClaimName);
        if (!claim.held()) {
            win::bringRunningInstanceForward(claim, win::kStartingPatience);
            return 0;
        }
        const com::ComApartment apartment;
        const com::CallBounds bounds = com::callBoundsFromEnvironment();
        const com::MessageFilterRegistration retryRejected(bounds.busy);
        win::ProcessEnd processEnd;
        const std::wstring folder = win::programFolder();
        const auto making = StartSplit::Clock::now();
        win::Win32MainForm form(instance, folder);
        win::Win32MessageDialog gef(instance);
        const auto made = StartSplit::Clock::now();
        com::ComConnector connector(bounds);
        Program program(form, gef, processEnd, connector, folder);
        win::splitMaking(program.split, form, std::chrono::duration_cast<RunLog::Micros>(made - making));
        // Asked once: the log names the very file the run reads.
        const std::wstring configPath = win::configFilePath(folder);
        // The process ends right after the run: its record is written before that, at once.
        win::startRunLog(program.log, instance, "Programm", configPath, win::RecordWriting::Now);
        // The log names the host met; the dialogs open on the monitor of the host's window, when
        // the host names it.
        connector.onAttached([&form, &gef, &program](com::DispatchObject app) {
            win::noteHostRevision(program.log, com::hostRevision(app));
            const HWND hostWindow = com::hostFrameWindow(std::move(app));
            form.centreOn(hostWindow);
            gef.centreOn(hostWindow);
        });
        program.readConfiguration = [configPath, &program](Config& cfg) {
            return win::takeReading(win::readConfigWithin(configPath), cfg, program.log);
        };
        // Runs inside the call that did not come back, a release at the end included: the
        // process ends there.
        connector.onHostHung([&program](const char*) { hostNotAnswering(program); });
        form.setHandlers({
            [&program] { runDialogHandler(program, cmd_Ok_Click); },
            [&program] { runDialogHandler(program, cmd_Cancel_Click); },
            // Closing the window ends the run as Cancel does; the drawing stays untouched.
            [&program] { runDialogHandler(program, cmd_Cancel_Click); },
        });
        runDialogHandler(program, Form_Load);
        return win::runEventLoop();
    } catch (const std::exception& e) {
        return reportStartFailure(e.what());
    } catch (...) {
        return reportStartFailure("");
    }
}
