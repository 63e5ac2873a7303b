#include "app/win32/dpi_awareness.h"

#include "app/win32/geometry.h"

namespace tvx::win {
namespace {

using SetThreadContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
using GetWindowDpi = UINT(WINAPI*)(HWND);
using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

// user32 is loaded in every process that shows a window: looking it up never loads it.
template <typename Function>
Function user32Function(const char* name) {
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

} // namespace

PerMonitorAwareWindows::PerMonitorAwareWindows() noexcept {
    if (const auto set = user32Function<SetThreadContext>("SetThreadDpiAwarenessContext")) {
        previous_ = set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    }
}

PerMonitorAwareWindows::~PerMonitorAwareWindows() {
    if (previous_ != nullptr) {
        user32Function<SetThreadContext>("SetThreadDpiAwarenessContext")(previous_);
    }
}

int windowDpi(HWND window) {
    const auto get = user32Function<GetWindowDpi>("GetDpiForWindow");
    const UINT dpi = get != nullptr && window != nullptr ? get(window) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : screenDpi();
}

RECT frameForClient(SIZE client, DWORD style, DWORD exStyle, int dpi) {
    RECT frame{0, 0, client.cx, client.cy};
    const auto adjust = user32Function<AdjustForDpi>("AdjustWindowRectExForDpi");
    if (adjust == nullptr || !adjust(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
        frame = RECT{0, 0, client.cx, client.cy};
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    }
    return frame;
}

} // namespace tvx::win
