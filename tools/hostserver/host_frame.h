// The stand-in host's frame window: a menu bar ("&Datei", "E&xtras", as a German host names
// them) and a toolbar, where add-ins put their commands, and below them the current sheet as
// the SVG picture of the drawing tool shows it. Each item posts its command id.
#pragma once

#include "drawing/sim/sheet_picture.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tvx::hostserver {

// WM_COPYDATA's tag for a menu lookup: the data is "MENU\nITEM" (UTF-16, "&" ignored); the answer
// is the item's command id after the menu was opened (its items greyed or not), -1 for a greyed
// item, 0 for none. Where a driver cannot read another process's menu (Wine), it asks so.
inline constexpr ULONG_PTR kMenuLookupTag = 0x54564d31;

// The menus of the bar, named as a German host names them.
inline constexpr wchar_t kFileMenu[] = L"&Datei";
inline constexpr wchar_t kToolsMenu[] = L"E&xtras";
// The host's own "Optionen..." and "Speichern" in its "Datei" menu, below the add-ins' command ids.
inline constexpr std::int32_t kOptionsCommand = 1001;
inline constexpr std::int32_t kSaveCommand = 1002;

// A menu caption as a user reads it: "E&xtras" is "Extras".
inline std::wstring withoutAmpersands(const std::wstring& caption) {
    std::wstring out;
    for (const wchar_t c : caption) {
        if (c != L'&') {
            out.push_back(c);
        }
    }
    return out;
}

class HostFrame {
public:
    using Click = std::function<void(std::int32_t id)>;
    // The command's enable method's answer, asked when its menu opens.
    using Enabled = std::function<std::int32_t(std::int32_t id)>;
    // The current sheet's picture, or none when no drawing is open.
    using Describe = std::function<std::optional<sim::SheetPicture>()>;

    HostFrame(Click click, Enabled enabled);
    HostFrame(const HostFrame&) = delete;
    HostFrame& operator=(const HostFrame&) = delete;
    ~HostFrame();

    HWND window() const noexcept { return window_; }
    void show();
    // From now on the frame shows the sheet `describe` gives, asked again at every painting.
    void showSheet(Describe describe);
    // The drawing may have changed: the sheet is painted again once the calls are answered.
    void sheetChanged();
    // Called for the window's close command; without it the frame only minimizes.
    void setCloseHandler(std::function<void()> closed) { closed_ = std::move(closed); }

    // `menu` is a top-level caption with its "&"; false when the bar has no such menu.
    bool addMenuItem(const std::wstring& menu, const std::wstring& text, std::int32_t id, std::int32_t position);
    void addSeparator(const std::wstring& menu, std::int32_t id);
    void removeMenuItem(std::int32_t id);
    // Picture `image` of the strip at `imagePath`, whose pictures are `pictureSize` pixels
    // square, or the text alone.
    void addToolbarButton(std::int32_t id, const std::wstring& text, const std::wstring& imagePath,
                          std::int32_t image, int pictureSize);
    void removeToolbarButton(std::int32_t id);
    // The answer to a menu lookup (see kMenuLookupTag).
    std::int32_t lookUpMenuItem(const std::wstring& menu, const std::wstring& item);

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK viewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void paintView();
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    HMENU popup(const std::wstring& caption, bool ignoreAmpersand) const;
    void updateStates(HMENU menu);
    void layout();

    Click click_;
    Enabled enabled_;
    Describe describe_;
    std::function<void()> closed_;
    HWND window_ = nullptr;
    HWND toolbar_ = nullptr;
    HWND view_ = nullptr; // where the sheet is painted, below the toolbar
    bool repaintPending_ = false;
    HIMAGELIST images_ = nullptr;
};

} // namespace tvx::hostserver
