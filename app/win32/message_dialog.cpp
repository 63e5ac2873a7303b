#include "app/win32/message_dialog.h"

#include "app/win32/control_ids.h"
#include "app/win32/dialog_controls.h"
#include "app/win32/dialog_layouts.h"
#include "app/win32/dpi_awareness.h"
#include "app/win32/event_loop.h"
#include "app/win32/fonts.h"
#include "app/win32/pictures.h"
#include "resources/resource_ids.h"

#include <utility>
#include <vector>

namespace tvx::win {
namespace {

// Every other window of the program stops taking input while a message is shown, and takes it
// again afterwards, also when the message loop ends by an exception.
class OtherWindowsDisabled {
public:
    explicit OtherWindowsDisabled(HWND keep) : keep_(keep) {
        EnumThreadWindows(GetCurrentThreadId(), &OtherWindowsDisabled::disable, reinterpret_cast<LPARAM>(this));
    }
    OtherWindowsDisabled(const OtherWindowsDisabled&) = delete;
    OtherWindowsDisabled& operator=(const OtherWindowsDisabled&) = delete;
    ~OtherWindowsDisabled() {
        for (const HWND window : disabled_) {
            if (IsWindow(window)) {
                EnableWindow(window, TRUE);
            }
        }
    }

private:
    static BOOL CALLBACK disable(HWND window, LPARAM self) {
        auto* guard = reinterpret_cast<OtherWindowsDisabled*>(self);
        if (window != guard->keep_ && IsWindowEnabled(window)) {
            EnableWindow(window, FALSE);
            guard->disabled_.push_back(window);
        }
        return TRUE;
    }

    HWND keep_;
    std::vector<HWND> disabled_;
};

// Ended by a WM_QUIT or a failure rather than by the user, the message goes all the same.
class ShownUntilReturn {
public:
    explicit ShownUntilReturn(HWND window) : window_(window) {
        ShowWindow(window, SW_SHOW);
        SetForegroundWindow(window);
    }
    ShownUntilReturn(const ShownUntilReturn&) = delete;
    ShownUntilReturn& operator=(const ShownUntilReturn&) = delete;
    ~ShownUntilReturn() { ShowWindow(window_, SW_HIDE); }

private:
    HWND window_;
};

} // namespace

Win32MessageDialog::Win32MessageDialog(HINSTANCE instance, HWND owner)
    : instance_(instance), owner_(owner), anchor_(owner), picture_(loadIconResource(instance, IDI_MESSAGE, 32)) {}

Win32MessageDialog::~Win32MessageDialog() {
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    window_.reset();
}

void Win32MessageDialog::Raise(const std::wstring& errText, const std::wstring& errTitle, FormIcon formIcon) {
    if (!window_) {
        Form_Load();
    }
    SetWindowTextW(window_.get(), errTitle.c_str());
    SetWindowTextW(control(ids::Info), errText.c_str());
    auto* icon = static_cast<HICON>(const_cast<void*>(formIcon.handle));
    SendMessageW(window_.get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(window_.get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    showModal();
}

void Win32MessageDialog::Form_Load() {
    const PerMonitorAwareWindows perMonitor;
    dpi_ = screenDpi();
    dialogFont_ = createDialogFont(dpi_);
    PictureBox::registerClass(instance_);
    registerDialogClass(instance_, ids::kMessageDialogClass, &dialogWindowProc<Win32MessageDialog>,
                        GetSysColorBrush(COLOR_BTNFACE));
    window_.reset(createDialogWindow(instance_, ids::kMessageDialogClass, kMessageDialogCaption,
                                     kMessageDialogClient, dpi_, this, owner_, anchor_));
    for (const ControlLayout& layout : kMessageDialogControls) {
        const HWND control = createControl(window_.get(), instance_, layout, dpi_, dialogFont_.get(), false);
        if (layout.id == ids::Picture1) {
            picture1_.attach(control, RGB(255, 255, 255), dpi_);
            picture1_.setIcon(picture_.get());
        }
    }
    // Made centred on its anchor's monitor already.
    followMonitorDpi(window_.get(), kMessageDialogClient, dpi_, anchor_,
                     [this](int dpi, const RECT& frame) { layOutFor(dpi, frame); });
    // Topmost as the main dialog is: only without an owner.
    if (owner_ == nullptr) {
        SetWindowPos(window_.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    }
}

void Win32MessageDialog::centreOn(HWND anchor) {
    anchor_ = anchor;
    if (window_) {
        centreDialog(window_.get(), kMessageDialogClient, dpi_, anchor,
                     [this](int dpi, const RECT& frame) { layOutFor(dpi, frame); });
    }
}

void Win32MessageDialog::layOutFor(int dpi, const RECT& frame) {
    dpi_ = dpi;
    // The controls take the new font before the old one goes.
    UniqueFont dialogFont = createDialogFont(dpi);
    std::swap(dialogFont_, dialogFont);
    layOutControlsAgain(window_.get(), kMessageDialogControls, dpi, [this](FontRole) { return dialogFont_.get(); });
    picture1_.setDpi(dpi);
    moveWindowTo(window_.get(), frame);
}

void Win32MessageDialog::showModal() {
    const HWND dialog = window_.get();
    // Input returns to the other windows before this one goes, so one of them is activated.
    const ShownUntilReturn shown(dialog);
    const OtherWindowsDisabled others(dialog);
    SetFocus(control(ids::Ok));
    pumpMessages([dialog] { return IsWindowVisible(dialog) != FALSE; });
}

void Win32MessageDialog::Ok_Click() {
    ShowWindow(window_.get(), SW_HIDE);
}

LRESULT Win32MessageDialog::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        // BN_CLICKED of Ok, or the dialog manager's Enter while Ok has the focus.
        if ((LOWORD(wParam) == ids::Ok && HIWORD(wParam) == BN_CLICKED) ||
            (LOWORD(wParam) == IDOK && GetFocus() == control(ids::Ok))) {
            Ok_Click();
        }
        return 0;
    case WM_CLOSE:
        // The close command ends the message as Ok does.
        Ok_Click();
        return 0;
    case WM_DPICHANGED:
        // On a monitor of another scale: laid out again, in the rectangle the system suggests.
        layOutFor(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CTLCOLORSTATIC: {
        const auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_PAINT: {
        const PaintDc paint(window);
        drawLine(paint.get(), kMessageDialogLine, dpi_, GetSysColor(COLOR_WINDOWTEXT));
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace tvx::win
