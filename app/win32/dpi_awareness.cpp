#include "app/win32/dpi_awareness.h"

#include "app/win32/geometry.h"
#include "app/win32/win_handles.h"

namespace tvx::win {
namespace {

using SetThreadContext = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
using GetThreadContext = DPI_AWARENESS_CONTEXT(WINAPI*)();
using GetAwareness = DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT);
using GetSystemDpi = UINT(WINAPI*)();
using GetMonitorDpi = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0; // MDT_EFFECTIVE_DPI
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

// The DPI the thread's own windows are drawn at whatever their monitor, or 0 when they already
// follow their monitor or the system cannot tell.
UINT threadFixedDpi() {
    const auto context = user32Function<GetThreadContext>("GetThreadDpiAwarenessContext");
    const auto awareness = user32Function<GetAwareness>("GetAwarenessFromDpiAwarenessContext");
    const auto systemDpi = user32Function<GetSystemDpi>("GetDpiForSystem");
    if (context == nullptr || awareness == nullptr || systemDpi == nullptr) {
        return 0;
    }
    switch (awareness(context())) {
    case DPI_AWARENESS_UNAWARE:
        return USER_DEFAULT_SCREEN_DPI;
    case DPI_AWARENESS_SYSTEM_AWARE:
        return systemDpi();
    default:
        return 0;
    }
}

// Whether every monitor's scale is `dpi`, asked per-monitor aware (only so does the system tell
// each monitor's own). False where it cannot tell.
bool everyMonitorAt(UINT dpi, SetThreadContext set) {
    HMODULE shcore = GetModuleHandleW(L"shcore.dll");
    UniqueModule loaded;
    if (shcore == nullptr) {
        loaded.reset(LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
        shcore = loaded.get();
    }
    const auto monitorDpi = shcore != nullptr ? reinterpret_cast<GetMonitorDpi>(reinterpret_cast<void*>(
                                                    GetProcAddress(shcore, "GetDpiForMonitor")))
                                              : nullptr;
    if (monitorDpi == nullptr) {
        return false;
    }
    struct Question {
        GetMonitorDpi monitorDpi;
        UINT dpi;
        bool same = true;
    } question{monitorDpi, dpi};
    const DPI_AWARENESS_CONTEXT previous = set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    const BOOL asked = EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, RECT*, LPARAM data) -> BOOL {
            auto& q = *reinterpret_cast<Question*>(data);
            UINT x = 0;
            UINT y = 0;
            q.same = q.monitorDpi(monitor, kEffectiveDpi, &x, &y) == S_OK && y == q.dpi;
            return q.same;
        },
        reinterpret_cast<LPARAM>(&question));
    set(previous);
    return asked && question.same;
}

} // namespace

PerMonitorAwareWindows::PerMonitorAwareWindows() noexcept {
    const auto set = user32Function<SetThreadContext>("SetThreadDpiAwarenessContext");
    if (set == nullptr) {
        return;
    }
    // Where the thread already draws at the scale of every monitor there is, its own windows look
    // the same and are left in its awareness: under Wine, which has one scale for all monitors,
    // windows of another awareness than the thread's took twice as long to make and show (each
    // call on them is mapped between the two). A scale changed while such a dialog is up is then
    // stretched by the system until the next dialog.
    if (const UINT fixed = threadFixedDpi(); fixed != 0 && everyMonitorAt(fixed, set)) {
        return;
    }
    previous_ = set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
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
