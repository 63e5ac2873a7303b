// A picture box: a child window that shows one bitmap or icon at its top-left corner, unscaled
// and clipped to its client area, on a background colour of its own.
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

    // Takes over a child window of the picture box class.
    void attach(HWND window, COLORREF background);

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
};

} // namespace tvx::win
