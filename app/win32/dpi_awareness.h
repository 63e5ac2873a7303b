// Per-monitor DPI for the dialogs: their windows are per-monitor aware whatever the process is,
// and each is laid out for the DPI of the monitor it stands on. The functions for it came with
// Windows 10 (1607) and are looked up at run time: an older Windows, or a Wine without them,
// runs the dialogs at the system DPI as before.
#pragma once

#include <windows.h>

namespace tvx::win {

// While it lives, the windows this thread creates are per-monitor aware (v2), unless the thread
// already draws at the scale of every monitor there is; the thread's own awareness comes back
// when it goes.
//
// Per-monitor v2 rather than the process's awareness, because inside the host the process is the
// host's: an unaware host would have the system stretch the dialog into a blurred bitmap, a
// system-aware one leaves it too small or too large on a monitor of another scale. With v2 the
// system scales the frame and the common controls' own metrics with the window and sends
// WM_DPICHANGED when the window reaches another scale; the dialog then lays itself out from its
// twips again. Only top-level windows of ours take it, owned by the host's frame, never its
// children, so mixing the two awarenesses is allowed. The thread is the host's: restored at once.
class PerMonitorAwareWindows {
public:
    PerMonitorAwareWindows() noexcept;
    PerMonitorAwareWindows(const PerMonitorAwareWindows&) = delete;
    PerMonitorAwareWindows& operator=(const PerMonitorAwareWindows&) = delete;
    ~PerMonitorAwareWindows();

private:
    DPI_AWARENESS_CONTEXT previous_ = nullptr;
};

// The DPI a window is to be laid out for: its monitor's, or the system DPI where the system
// cannot tell.
int windowDpi(HWND window);

// The outer size of a window with that client size, frame and caption at `dpi`, relative to the
// client area's top-left corner.
RECT frameForClient(SIZE client, DWORD style, DWORD exStyle, int dpi);

} // namespace tvx::win
