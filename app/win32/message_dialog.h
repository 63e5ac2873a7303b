// GEF: the message dialog. Shows one message with the caller's title and icon, modal to the
// whole program and topmost (owned by a host's window: above it, not topmost), and returns when
// the user dismisses it.
#pragma once

#include "app/ui_port.h"
#include "app/win32/picture_box.h"
#include "app/win32/win_handles.h"

#include <windows.h>

#include <string>

namespace tvx::win {

class Win32MessageDialog final : public MessageDialog {
public:
    // The dialog, once loaded, is owned by `owner` (none when null).
    explicit Win32MessageDialog(HINSTANCE instance, HWND owner = nullptr);
    Win32MessageDialog(const Win32MessageDialog&) = delete;
    Win32MessageDialog& operator=(const Win32MessageDialog&) = delete;
    ~Win32MessageDialog() override;

    void Raise(const std::wstring& errText, const std::wstring& errTitle, FormIcon formIcon) override;

    // Opens centred on the monitor of `anchor` (the primary one when null), laid out for its DPI;
    // until told otherwise, on its owner's.
    void centreOn(HWND anchor);

    // Null until the first message loads the dialog.
    HWND hwnd() const { return window_.get(); }
    HWND control(int id) const { return GetDlgItem(window_.get(), id); }

private:
    template <typename Dialog>
    friend LRESULT CALLBACK dialogWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Form_Load();
    void Ok_Click();
    void showModal();
    // The one relayout for another DPI (see LayOutFor).
    void layOutFor(int dpi, const RECT& frame);

    HINSTANCE instance_;
    HWND owner_;
    HWND anchor_;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;
    UniqueFont dialogFont_;
    UniqueIcon picture_;
    PictureBox picture1_;
    UniqueWindow window_;
};

} // namespace tvx::win
