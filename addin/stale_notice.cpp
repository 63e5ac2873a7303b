#include "addin/stale_notice.h"

#include "app/win32/control_ids.h"
#include "app/win32/dialog_controls.h"
#include "app/win32/dpi_awareness.h"
#include "app/win32/fonts.h"
#include "app/win32/geometry.h"

#include <array>
#include <stdexcept>
#include <utility>

namespace tvx::addin {
namespace {

constexpr wchar_t kCaption[] = L"Tarvenix";
constexpr SIZE kClientTwips{4800, 1395};
constexpr std::array<win::ControlLayout, 3> kControls{{
    {ids::lblStale, win::ControlKind::label, L"-", {120, 120, 4560, 660}},
    {ids::cmd_Update, win::ControlKind::button, L"Aktualisieren", {2160, 900, 1335, 375}},
    {ids::cmd_Close, win::ControlKind::button, L"Schließen", {3600, 900, 1080, 375}},
}};
// A small caption, no taskbar button (an owned window has none anyway), never topmost.
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
// The notice's distance from the frame's lower right corner, in pixels at 96 DPI.
constexpr int kInset = 24;

} // namespace

std::wstring staleNoticeText(const std::wstring& sheetName, int added, int gone, bool refused) {
    const std::wstring stale = L"Die Oberflächenangabe auf Blatt „" + sheetName + L"“ ist nicht mehr aktuell";
    if (refused) {
        return stale + L".";
    }
    return stale + L": " + std::to_wstring(added) + (added == 1 ? L" Symbol neu, " : L" Symbole neu, ") +
           std::to_wstring(gone) + L" entfallen.";
}

StaleNotice::StaleNotice(HINSTANCE module, std::function<void()> onUpdate)
    : module_(module), onUpdate_(std::move(onUpdate)) {}

StaleNotice::~StaleNotice() {
    close();
    // The class goes with the notice: the DLL may be unloaded before the host ends.
    UnregisterClassW(ids::kStaleNoticeClass, module_);
}

void StaleNotice::show(HWND frame, const std::wstring& text) noexcept {
    close();
    try {
        create(frame, text);
        ShowWindow(window_, SW_SHOWNOACTIVATE);
    } catch (...) {
        // A notice that cannot be made is not worth a word in the host's way.
        close();
    }
}

void StaleNotice::close() noexcept {
    if (window_ != nullptr) {
        const HWND window = std::exchange(window_, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
    font_.reset();
}

void StaleNotice::create(HWND frame, const std::wstring& text) {
    const win::PerMonitorAwareWindows perMonitor;
    win::registerDialogClass(module_, ids::kStaleNoticeClass, &StaleNotice::windowProc,
                             GetSysColorBrush(COLOR_BTNFACE));
    dpi_ = win::screenDpi();
    font_ = win::createDialogFont(dpi_);
    window_ = CreateWindowExW(kExStyle, ids::kStaleNoticeClass, kCaption, kStyle, 0, 0, 0, 0, frame, nullptr,
                              module_, nullptr);
    if (window_ == nullptr) {
        throw std::runtime_error("the notice's window could not be created");
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    for (const win::ControlLayout& layout : kControls) {
        win::createControl(window_, module_, layout, dpi_, font_.get(), false);
    }
    SetWindowTextW(GetDlgItem(window_, ids::lblStale), text.c_str());
    placeAt(frame);
    // Only the window, once on its monitor, knows that monitor's DPI.
    if (const int monitorDpi = win::windowDpi(window_); monitorDpi != dpi_) {
        applyDpi(monitorDpi);
        placeAt(frame);
    }
}

void StaleNotice::placeAt(HWND frame) {
    const SIZE client{win::twipsToPixels(kClientTwips.cx, dpi_), win::twipsToPixels(kClientTwips.cy, dpi_)};
    const RECT outer = win::frameForClient(client, kStyle, kExStyle, dpi_);
    RECT corner{};
    if (frame == nullptr || !GetWindowRect(frame, &corner)) {
        corner = win::workAreaFor(nullptr);
    }
    const int inset = MulDiv(kInset, dpi_, 96);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    SetWindowPos(window_, nullptr, corner.right - inset - width, corner.bottom - inset - height, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void StaleNotice::applyDpi(int dpi) {
    dpi_ = dpi;
    // The controls take the new font before the old one goes.
    win::UniqueFont font = win::createDialogFont(dpi);
    std::swap(font_, font);
    win::layOutControlsAgain(window_, kControls, dpi, [this](win::FontRole) { return font_.get(); });
}

LRESULT CALLBACK StaleNotice::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<StaleNotice*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // Nothing may unwind into the host's loop.
    try {
        return self->handle(window, message, wParam, lParam);
    } catch (...) {
        self->close();
        return 0;
    }
}

LRESULT StaleNotice::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == ids::cmd_Update) {
            close();
            onUpdate_();
        } else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == ids::cmd_Close) {
            close();
        }
        return 0;
    case WM_CLOSE:
        close();
        return 0;
    case WM_DPICHANGED:
        applyDpi(HIWORD(wParam));
        win::moveWindowTo(window, *reinterpret_cast<const RECT*>(lParam));
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace tvx::addin
