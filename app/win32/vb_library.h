// vb_library: general-purpose window helpers.
#pragma once

#include <windows.h>

namespace tvx::vb_library {

// Makes the window topmost without moving, resizing or showing it; a failure changes nothing
// and is not reported.
void setAlwaysOnTop(HWND window);

} // namespace tvx::vb_library
