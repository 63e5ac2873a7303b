#include "app/win32/vb_library.h"

namespace tvx::vb_library {

void setAlwaysOnTop(HWND window) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

} // namespace tvx::vb_library
