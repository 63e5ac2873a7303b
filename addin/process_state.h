// Everything the add-in keeps once per process rather than once per connection. A host may
// connect, disconnect and connect again within one process (the Add-in Manager's tick), and
// its thread is one: what must not be doubled by a second connection lives here, and only here.
//
// Not here: the win32 layer's own per-process state, shared with the exe (the route of a
// control's failure in event_loop.cpp, which a run sets and clears; the support log's queue of
// records in run_log_file.cpp); window classes, each registered by whatever makes its windows
// and unregistered with them, since the DLL may be unloaded before the host ends; the module's
// pin, which the system keeps once it is set (pinModule).
#pragma once

#include "addin/addin_shell.h"
#include "app/win32/config_location.h"

#include <windows.h>

#include <atomic>
#include <exception>

namespace tvx::addin {

struct ProcessState {
    // The DLL's own handle, set when it is loaded: its windows, resources and folder are the
    // module's, whichever connection uses them.
    HINSTANCE module = nullptr;
    // The DLL's objects and locks alive, for DllCanUnloadNow, which asks for the module; the only
    // piece read from any thread.
    std::atomic<long> live{0};
    // The one run, whichever connection started it: a host that reconnects while a run lingers
    // gets that run's window forward rather than a second run, whose keys' hook and failure
    // route would fight the first over the one thread.
    AddinShell::Run* run = nullptr;
    // A failure a control's handler let out, for the run's error route: the route that catches it
    // (win::onGuardedFailure) is the process's.
    std::exception_ptr controlFailure;
    // The one configuration read: a share that never answers keeps one thread, not one per click
    // or per connection.
    win::ConfigReadOnWorker configRead;
    // The dialog whose keys the hook hands to the dialog manager: the hook's procedure is a plain
    // function on the thread, and one run has one dialog.
    HWND keyedDialog = nullptr;
};

// Made when the DLL is loaded and gone when it is unloaded; the host's thread only, but for live.
ProcessState& processState() noexcept;

} // namespace tvx::addin
