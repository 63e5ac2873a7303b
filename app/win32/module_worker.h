// Work done on a short-lived thread that holds the module its code lives in until it ends: an
// add-in the host lets go of meanwhile stays mapped for it, and the host's thread never waits.
#pragma once

#include "app/win32/win_handles.h"

#include <functional>

namespace tvx::win {

// Starts task on a thread of its own; an exception it lets out is dropped there. The thread's
// handle, or an empty one when no thread could be started (the task then never runs).
UniqueKernelHandle startModuleWorker(std::function<void()> task) noexcept;

} // namespace tvx::win
