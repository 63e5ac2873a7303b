// The stand-in's own window classes: registered once per process, with the arrow cursor.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace tvx::hostserver {

// `background` is a system colour index (COLOR_...).
inline void registerWindowClass(const wchar_t* name, int background) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc)) {
        return;
    }
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background + 1));
    wc.lpszClassName = name;
    if (RegisterClassExW(&wc) == 0) {
        throw std::runtime_error("cannot register a window class of the host");
    }
}

} // namespace tvx::hostserver
