#include "app/win32/dialog_controls.h"

#include "app/win32/dpi_awareness.h"
#include "app/win32/placement.h"
#include "app/win32/win_handles.h"

#include <stdexcept>

namespace tvx::win {
namespace {

// The height given to a drop-down combo box is its list's room; the box itself takes the
// height its font needs. Room for about eight entries, as a classic combo box drops.
constexpr int kComboListRoom = 6;

// A drop-down combo box sizes its text field for its font. Where the layout's height is more
// than that (a font's line height does not grow exactly with the scale, nor from one face to its
// twin), the field grows so that the box fills its twips height at every scale, as it does at
// 96 DPI; it never shrinks below what the font needs.
void fitComboHeight(HWND combo, int height) {
    const auto boxHeight = [combo] {
        RECT box{};
        GetWindowRect(combo, &box);
        return static_cast<int>(box.bottom - box.top);
    };
    const auto field = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    if (field <= 0 || boxHeight() >= height) {
        return;
    }
    // The box adds its frame to the height set, and not always as much as to the height it
    // reports: measured again after each step.
    int wanted = field + height - boxHeight();
    for (int step = 0; step < 3 && boxHeight() != height; ++step) {
        SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), wanted);
        wanted += height - boxHeight();
    }
}

// A control's window rectangle: a combo box's includes the room of its list.
RECT controlRect(const ControlLayout& layout, int dpi) {
    RECT rect = pixelRect(layout.twips, dpi);
    if (layout.kind == ControlKind::comboBox) {
        rect.bottom = rect.top + (rect.bottom - rect.top) * kComboListRoom;
    }
    return rect;
}

// What a control's font leaves to do: a combo box's field to its layout's height.
void fitToLayout(HWND control, const ControlLayout& layout, int dpi) {
    if (layout.kind == ControlKind::comboBox) {
        const RECT box = pixelRect(layout.twips, dpi);
        fitComboHeight(control, box.bottom - box.top);
    }
}

} // namespace

void registerDialogClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HBRUSH background) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = procedure;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = background;
    cls.lpszClassName = name;
    // A second registration fails harmlessly with ERROR_CLASS_ALREADY_EXISTS.
    RegisterClassExW(&cls);
}

RECT dialogFrame(SIZE clientTwips, int dpi, HWND anchor) {
    const SIZE client{twipsToPixels(clientTwips.cx, dpi), twipsToPixels(clientTwips.cy, dpi)};
    const RECT frame = frameForClient(client, kDialogStyle, kDialogExStyle, dpi);
    const RECT work = workAreaFor(anchor);
    const ScreenRect placed = centredIn(frame.right - frame.left, frame.bottom - frame.top,
                                        ScreenRect{work.left, work.top, work.right, work.bottom});
    return RECT{placed.left, placed.top, placed.right, placed.bottom};
}

HWND createDialogWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* caption,
                        SIZE clientTwips, int dpi, void* self, HWND owner, HWND anchor) {
    // Made on the monitor where it opens, the window has that monitor's DPI from the start.
    const RECT frame = dialogFrame(clientTwips, dpi, anchor);
    // An owned dialog (inside a host) stays with its owner: no taskbar button of its own, and so no
    // minimise box, since minimised without a button it would be a lost caption over the host.
    const DWORD exStyle = owner != nullptr ? kDialogExStyle & ~static_cast<DWORD>(WS_EX_APPWINDOW) : kDialogExStyle;
    const DWORD style = owner != nullptr ? kDialogStyle & ~static_cast<DWORD>(WS_MINIMIZEBOX) : kDialogStyle;
    const HWND window = CreateWindowExW(exStyle, className, caption, style, frame.left,
                                        frame.top, frame.right - frame.left, frame.bottom - frame.top,
                                        owner, nullptr, instance, self);
    if (window == nullptr) {
        throw std::runtime_error("the dialog window could not be created");
    }
    return window;
}

void centreDialog(HWND window, SIZE clientTwips, int dpi, HWND anchor, const LayOutFor& layOutFor) {
    moveWindowTo(window, dialogFrame(clientTwips, dpi, anchor));
    followMonitorDpi(window, clientTwips, dpi, anchor, layOutFor);
}

void followMonitorDpi(HWND window, SIZE clientTwips, int dpi, HWND anchor, const LayOutFor& layOutFor) {
    // Only the window, once on its monitor, knows that monitor's DPI.
    if (const int monitorDpi = windowDpi(window); monitorDpi != dpi) {
        layOutFor(monitorDpi, dialogFrame(clientTwips, monitorDpi, anchor));
    }
}

void moveWindowTo(HWND window, const RECT& frame) {
    SetWindowPos(window, nullptr, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND createControl(HWND parent, HINSTANCE instance, const ControlLayout& layout, int dpi, HFONT font,
                   bool framed) {
    const wchar_t* className = L"STATIC";
    DWORD style = WS_CHILD | (layout.visible ? WS_VISIBLE : 0u);
    DWORD exStyle = 0;
    switch (layout.kind) {
    case ControlKind::label:
        style |= SS_LEFT | SS_NOPREFIX;
        break;
    case ControlKind::comboBox:
        className = L"COMBOBOX";
        style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
        break;
    case ControlKind::button:
        className = L"BUTTON";
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
    case ControlKind::pictureBox:
        className = ids::kPictureBoxClass;
        style |= WS_TABSTOP;
        exStyle = framed ? WS_EX_CLIENTEDGE : 0u;
        break;
    }
    const RECT rect = controlRect(layout, dpi);
    const HWND control = CreateWindowExW(exStyle, className, nullptr, style, rect.left, rect.top,
                                         rect.right - rect.left, rect.bottom - rect.top, parent,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance,
                                         nullptr);
    if (control == nullptr) {
        throw std::runtime_error("a dialog control could not be created");
    }
    // Made at its rectangle, it only takes its font: every move of a control is a trip to the window
    // manager (under Wine one to its server, and a combo box moves its field and list with it), and a
    // click makes every control of the dialog anew.
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    fitToLayout(control, layout, dpi);
    if (layout.text != nullptr) {
        SetWindowTextW(control, layout.text);
    }
    return control;
}

void layOutControl(HWND control, const ControlLayout& layout, int dpi, HFONT font) {
    // Placed before the font comes, as a control just made is: an edit field sets its margins
    // for its width then. And again after it: a combo box sizes itself for its font.
    const RECT rect = controlRect(layout, dpi);
    moveWindowTo(control, rect);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    moveWindowTo(control, rect);
    fitToLayout(control, layout, dpi);
}

void drawLine(HDC dc, const LineLayout& line, int dpi, COLORREF colour) {
    const UniquePen pen(CreatePen(PS_SOLID, 1, colour));
    const SelectedObject selected(dc, pen.get());
    const int x1 = twipsToPixels(line.from.x, dpi);
    const int y1 = twipsToPixels(line.from.y, dpi);
    const int x2 = twipsToPixels(line.to.x, dpi);
    const int y2 = twipsToPixels(line.to.y, dpi);
    MoveToEx(dc, x1, y1, nullptr);
    // LineTo leaves out the last pixel; the line includes both ends.
    LineTo(dc, x2 + (x2 > x1 ? 1 : x2 < x1 ? -1 : 0), y2 + (y2 > y1 ? 1 : y2 < y1 ? -1 : 0));
}

} // namespace tvx::win
