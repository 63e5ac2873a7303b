// Creating the dialogs' windows and controls from their layout tables.
#pragma once

#include "app/win32/dialog_layouts.h"
#include "app/win32/event_loop.h"

#include <windows.h>

#include <functional>
#include <span>

namespace tvx::win {

// Registers a dialog window class once per process; the window procedure finds its object
// through the creation parameter.
void registerDialogClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HBRUSH background);

// Where a dialog's window goes, in screen coordinates: sized for its client area in twips at
// `dpi`, centred on the monitor of `anchor` (the primary one when null).
RECT dialogFrame(SIZE clientTwips, int dpi, HWND anchor);

// A hidden dialog window of the given client size in twips, owned by `owner` (none when null),
// centred on the monitor of `anchor` (the primary one when null).
HWND createDialogWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* caption,
                        SIZE clientTwips, int dpi, void* self, HWND owner, HWND anchor);

// A dialog's one relayout for another DPI: fonts, controls and pictures for dpi, the window
// moved to frame (the one WM_DPICHANGED suggests, or the one centred on the monitor it came to).
using LayOutFor = std::function<void(int dpi, const RECT& frame)>;

// Centres a dialog's window, laid out for `dpi`, on the monitor of `anchor` (the primary one
// when null). Where that monitor has another DPI, `layOutFor` lays the dialog out for it.
void centreDialog(HWND window, SIZE clientTwips, int dpi, HWND anchor, const LayOutFor& layOutFor);
// The same for a window that stands where createDialogWindow put it: only the DPI is looked at.
void followMonitorDpi(HWND window, SIZE clientTwips, int dpi, HWND anchor, const LayOutFor& layOutFor);

// Moves a top-level window to a rectangle in screen coordinates, such as dialogFrame's or the
// one WM_DPICHANGED suggests.
void moveWindowTo(HWND window, const RECT& frame);

// One control of a layout table; `framed` gives picture boxes the sunken frame.
HWND createControl(HWND parent, HINSTANCE instance, const ControlLayout& layout, int dpi, HFONT font,
                   bool framed);

// Places every control of a layout table again for another DPI, each with its font (from
// `fontFor`), and repaints the dialog.
template <typename FontFor>
void layOutControlsAgain(HWND parent, std::span<const ControlLayout> layouts, int dpi, FontFor fontFor);

void layOutControl(HWND control, const ControlLayout& layout, int dpi, HFONT font);

template <typename FontFor>
void layOutControlsAgain(HWND parent, std::span<const ControlLayout> layouts, int dpi, FontFor fontFor) {
    for (const ControlLayout& layout : layouts) {
        layOutControl(GetDlgItem(parent, layout.id), layout, dpi, fontFor(layout.font));
    }
    RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// A line from a layout table, end point included, in the given colour.
void drawLine(HDC dc, const LineLayout& line, int dpi, COLORREF colour);

// The object a dialog window procedure belongs to: stored at WM_NCCREATE, read afterwards.
template <typename Dialog>
Dialog* dialogOf(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The window procedure of a dialog class: hands every message to the dialog object once its
// window exists. Dialogs declare it a friend so their handleMessage can stay private. No
// exception may unwind through the system's frames: what one lets out goes the guarded way.
template <typename Dialog>
LRESULT CALLBACK dialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = dialogOf<Dialog>(window, message, lParam);
    if (self == nullptr || self->hwnd() == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    runGuarded([&] { result = self->handleMessage(window, message, wParam, lParam); });
    return result;
}

} // namespace tvx::win
