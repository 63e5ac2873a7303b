// Helpers for the Windows dialog tests: pixels from twips, rectangles, temporary folders,
// draining the message queue, and acting while a modal message runs its own loop.
#pragma once

#include "app/win32/geometry.h"

#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tvx::test {

inline int px(int twips) { return MulDiv(twips, win::screenDpi(), 1440); }

inline RECT pixelsOf(int left, int top, int width, int height) {
    return RECT{px(left), px(top), px(left) + px(width), px(top) + px(height)};
}

// A control's rectangle in its parent's client area.
inline RECT rectInParent(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, GetAncestor(control, GA_PARENT), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

inline SIZE clientSize(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return SIZE{r.right, r.bottom};
}

inline std::wstring windowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

// Handles what is queued now, as the program's loop would, and returns without waiting.
inline void pumpPending() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            continue;
        }
        const HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        if (root != nullptr && IsDialogMessageW(root, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// True when a WM_QUIT is waiting; takes it out of the queue.
inline bool takeQuit() {
    MSG message{};
    return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

// Runs the actions one after the other, one per timer tick of the calling thread's queue: they
// run inside whatever loop pumps that queue, such as a modal message's.
void runFromLoop(std::vector<std::function<void()>> actions);

class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();
    const std::filesystem::path& path() const { return path_; }
    void write(const std::wstring& name, const std::vector<std::uint8_t>& bytes) const;

private:
    std::filesystem::path path_;
};

} // namespace tvx::test
