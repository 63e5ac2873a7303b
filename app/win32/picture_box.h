// A picture box: a child window that shows one bitmap or icon on a background colour of its own,
// placed for the display's DPI (see placePicture) and clipped to its client area.
#pragma once

#include "app/win32/win_handles.h"

namespace tvx::win {

class PictureBox {
public:
    // Registers the window class once per process.
    static void registerClass(HINSTANCE instance);

    PictureBox() = default;
    PictureBox(const PictureBox&) = delete;
    PictureBox& operator=(const PictureBox&) = delete;

    // Takes over a child window of the picture box class, laid out for `dpi`.
    void attach(HWND window, COLORREF background, int dpi);

    // Places the picture for another DPI.
    void setDpi(int dpi);

    // The box owns the bitmap; the one shown before is deleted.
    void setBitmap(UniqueBitmap bitmap);
    // The icon stays its owner's.
    void setIcon(HICON icon);

    HBITMAP bitmap() const { return bitmap_.get(); }
    HWND hwnd() const { return window_; }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void paint();

    HWND window_ = nullptr;
    UniqueBrush background_;
    UniqueBitmap bitmap_;
    HICON icon_ = nullptr;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;
};

} // namespace tvx::win
