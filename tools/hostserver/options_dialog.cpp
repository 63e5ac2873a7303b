#include "tools/hostserver/options_dialog.h"

#include "tools/hostserver/window_class.h"

#include <stdexcept>

namespace tvx::hostserver {

namespace {

constexpr wchar_t kClassName[] = L"TvxHostOptions";
constexpr int kOkId = IDOK;

} // namespace

OptionsDialog::OptionsDialog(HWND frame, DispatchContext& context) : frame_(frame), context_(context) {
    registerWindowClass(kClassName, COLOR_BTNFACE);
}

OptionsDialog::~OptionsDialog() { close(); }

// Its loop is the server's own rather than a nested one, so the stop file is still read; for an
// add-in the state is the same: the frame disabled, every message of the thread dispatched.
void OptionsDialog::open() {
    if (window_ != nullptr) {
        return;
    }
    RECT frame{};
    GetWindowRect(frame_, &frame);
    window_ = CreateWindowExW(WS_EX_DLGMODALFRAME, kClassName, L"Optionen", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                              frame.left + 60, frame.top + 80, 300, 140, frame_, nullptr, GetModuleHandleW(nullptr),
                              nullptr);
    if (window_ == nullptr) {
        throw std::runtime_error("cannot create the options dialog");
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OptionsDialog::procedure));
    CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 200, 70, 80, 26,
                    window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kOkId)), GetModuleHandleW(nullptr), nullptr);
    modal_ = std::make_unique<ModalState>(context_);
    context_.trace("-- the host's \"Optionen\" dialog opened; the frame is disabled --");
    EnableWindow(frame_, FALSE);
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
}

void OptionsDialog::close() {
    if (window_ == nullptr) {
        return;
    }
    // Enabled before the dialog goes, so the frame is what the system activates next.
    EnableWindow(frame_, TRUE);
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    window_ = nullptr;
    modal_.reset();
    context_.trace("-- the host's \"Optionen\" dialog closed --");
}

LRESULT CALLBACK OptionsDialog::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<OptionsDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && (message == WM_CLOSE || (message == WM_COMMAND && LOWORD(wParam) == kOkId))) {
        // Nothing may leave a window procedure.
        try {
            self->close();
        } catch (...) {
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void busyLoop(DispatchContext& context, DWORD milliseconds) {
    const ModalState modal(context);
    context.trace("-- the host is busy in a loop of its own for " + std::to_string(milliseconds) + " ms --");
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (GetTickCount64() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
               PeekMessageW(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
        }
        // The host's work between two looks.
        Sleep(5);
    }
    context.trace("-- the host's busy loop ended --");
}

void pumpLoop(DispatchContext& context, DWORD milliseconds) {
    context.enterHostOperation();
    context.trace("-- the host runs an operation that dispatches every message for " + std::to_string(milliseconds) +
                  " ms --");
    const ULONGLONG end = GetTickCount64() + milliseconds;
    // Wakes GetMessage when nothing else arrives.
    const UINT_PTR tick = SetTimer(nullptr, 0, 20, nullptr);
    MSG message;
    while (GetTickCount64() < end) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            if (got == 0) {
                PostQuitMessage(static_cast<int>(message.wParam));
            }
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    KillTimer(nullptr, tick);
    context.trace("-- the host's operation ended --");
    context.leaveHostOperation();
}

} // namespace tvx::hostserver
