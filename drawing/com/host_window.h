// The host's main window, as the host names it: what the add-in's windows are owned by, and
// where the dialogs open.
#pragma once

#include "drawing/com/dispatch_client.h"

#include <windows.h>

namespace tvx::com {

// The application's Frame, its GetHWnd; null when the host does not say, or names no window.
// A call that fails is no failure here: the dialog then opens where it would without it.
HWND hostFrameWindow(DispatchObject app) noexcept;

} // namespace tvx::com
