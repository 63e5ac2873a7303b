// The program's one event loop and the guard around every handler a window procedure runs.
// An exception must not unwind through the system's window procedure frames, so a handler's
// exception is kept, the loop is told to stop, and the loop rethrows it outside.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>

namespace tvx::win {

// Runs a handler; an exception it lets out is kept for the event loop to rethrow.
void runGuarded(const std::function<void()>& handler) noexcept;

// Inside a host's process there is no loop of ours to stop: while set, a guarded handler's
// exception goes here instead. Empty: back to the event loop's way.
void onGuardedFailure(std::function<void(std::exception_ptr)> handler);

// Pumps messages, with the dialogs' keyboard handling (Tab, arrows, Space), until WM_QUIT or
// until keepGoing answers false. A WM_QUIT seen while keepGoing is set is posted again with its
// code, so the outer loop ends as well. Rethrows what runGuarded kept. Returns false after WM_QUIT
// (or when the queue cannot be read).
bool pumpMessages(const std::function<bool()>& keepGoing);

// Pumps until WM_QUIT; returns its exit code.
int runEventLoop();

} // namespace tvx::win
