// A message-only window of the add-in's own: where its posted messages are carried out, on the
// host's thread. Its class goes with it, since the DLL may be unloaded before the host ends.
#pragma once

#include <windows.h>

#include <stdexcept>

namespace tvx::addin {

class MessageWindow {
public:
    // `owner` is what GWLP_USERDATA holds for the procedure. Throws when no window is made.
    MessageWindow(HINSTANCE module, const wchar_t* className, WNDPROC procedure, void* owner)
        : module_(module), className_(className) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = procedure;
        wc.hInstance = module_;
        wc.lpszClassName = className_;
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, className_, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module_, nullptr);
        if (window_ == nullptr) {
            UnregisterClassW(className_, module_);
            throw std::runtime_error("the add-in has no message window");
        }
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    }
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    // Messages still queued for it are dropped.
    ~MessageWindow() {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
        UnregisterClassW(className_, module_);
    }

    HWND get() const noexcept { return window_; }

private:
    HINSTANCE module_;
    const wchar_t* className_;
    HWND window_ = nullptr;
};

} // namespace tvx::addin
