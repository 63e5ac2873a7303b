// The stand-in's own window classes: registered once per process, with the arrow cursor.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace tvx::hostserver {

// `background` is a system colour index (COLOR_...), or negative for a window that paints all of
// itself.
inline void registerWindowClass(const wchar_t* name, int background, UINT style = 0) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc)) {
        return;
    }
    wc.style = style;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = background < 0 ? nullptr : reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background + 1));
    wc.lpszClassName = name;
    if (RegisterClassExW(&wc) == 0) {
        throw std::runtime_error("cannot register a window class of the host");
    }
}

} // namespace tvx::hostserver
