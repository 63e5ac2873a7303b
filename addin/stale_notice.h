// The small window that says a saved drawing's general indication no longer fits its sheet. It
// stands beside the host's work, never in it: owned by the host's frame, not topmost, shown
// without taking the focus.
#pragma once

#include "app/win32/win_handles.h"

#include <windows.h>

#include <functional>
#include <string>

namespace tvx::addin {

class StaleNotice {
public:
    // onUpdate: what "Aktualisieren" asks for, after the notice has closed.
    StaleNotice(HINSTANCE module, std::function<void()> onUpdate);
    StaleNotice(const StaleNotice&) = delete;
    StaleNotice& operator=(const StaleNotice&) = delete;
    ~StaleNotice();

    // At the lower right of `frame` (of the primary work area when null), in front of the frame
    // but not active. A notice already up is replaced.
    void show(HWND frame, const std::wstring& text) noexcept;
    void close() noexcept;
    bool shown() const noexcept { return window_ != nullptr; }

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void create(HWND frame, const std::wstring& text);
    void applyDpi(int dpi);
    void placeAt(HWND frame);

    HINSTANCE module_;
    std::function<void()> onUpdate_;
    HWND window_ = nullptr;
    win::UniqueFont font_;
    int dpi_ = 96;
};

// The notice's text for a sheet whose group no longer fits: how many symbols are new, how many
// gone; for a sheet a run would refuse, no counts ("Aktualisieren" then tells why).
std::wstring staleNoticeText(const std::wstring& sheetName, int added, int gone, bool refused);

} // namespace tvx::addin
