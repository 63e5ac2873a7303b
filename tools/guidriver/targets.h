// Finding the windows and controls a command names, in another process.
//   WIN:  TITLE, CLASS::TITLE, or CLASS:: (any title); a visible match is preferred.
//   CTRL: a control's name (stdSFSRough, Ok, ...), #ID, CLASS:N (the Nth child of that class in
//         creation order, from 0), or "." for the window itself.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace tvx::guidriver {

struct WindowPattern {
    std::wstring className; // empty: any class
    std::wstring title;
    bool anyTitle = false;
};

WindowPattern parseWindowPattern(const std::wstring& text);

// A top-level window that matches; visible ones first.
HWND findWindow(const WindowPattern& pattern);
HWND findVisibleWindow(const WindowPattern& pattern);

// Throws std::runtime_error when the control does not exist.
HWND findControl(HWND window, const std::wstring& pattern);

// The control of `window` that holds `child` (the combo box of its edit field), or null.
HWND controlOf(HWND window, HWND child);

// The control's name from the shared table, or "#ID".
std::wstring controlName(HWND control);

std::wstring className(HWND window);

} // namespace tvx::guidriver
