// Work done away from the calling thread, holding the module its code lives in until it ends: an
// add-in the host lets go of meanwhile stays mapped for it, and the host's thread never waits.
#pragma once

#include "app/win32/win_handles.h"

#include <functional>

namespace tvx::win {

// Starts task on a thread of its own, for work that may block for good (a share that does not
// answer); an exception it lets out is dropped there. The thread's
// handle, or an empty one when no thread could be started (the task then never runs).
UniqueKernelHandle startModuleWorker(std::function<void()> task) noexcept;

// Hands a short task to the process's thread pool, holding the module until the task has
// returned: cheaper than a thread of its own, for work that never blocks for long. False when it
// could not be handed over (the task then never runs).
bool submitModuleWork(std::function<void()> task) noexcept;

} // namespace tvx::win
