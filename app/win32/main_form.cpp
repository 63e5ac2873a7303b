#include "app/win32/main_form.h"

#include "app/win32/control_ids.h"
#include "app/win32/dialog_controls.h"
#include "app/win32/dialog_layouts.h"
#include "app/win32/dpi_awareness.h"
#include "app/win32/event_loop.h"
#include "app/win32/fonts.h"
#include "app/win32/pictures.h"
#include "app/win32/vb_library.h"
#include "resources/resource_ids.h"

#include <algorithm>
#include <stdexcept>
#include <chrono>
#include <utility>

namespace tvx::win {
namespace {

// Runs load and adds the time it took to took.
template <typename Load>
void timed(std::chrono::microseconds& took, Load load) {
    const auto start = std::chrono::steady_clock::now();
    load();
    took += std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
}

} // namespace

Win32MainForm::Win32MainForm(HINSTANCE instance, std::wstring previewFolder, HWND owner)
    : instance_(instance), previewFolder_(std::move(previewFolder)),
      background_(CreateSolidBrush(kMainFormBackground)),
      choiceBackground_(CreateSolidBrush(kChoiceBackground)) {
    const PerMonitorAwareWindows perMonitor;
    dpi_ = screenDpi();
    dialogFont_ = createDialogFont(dpi_);
    largeBoldFont_ = createLargeBoldFont(dpi_);
    PictureBox::registerClass(instance);
    registerDialogClass(instance, ids::kMainFormClass, &dialogWindowProc<Win32MainForm>, nullptr);
    window_.reset(createDialogWindow(instance, ids::kMainFormClass, kMainFormCaption, kMainFormClient, dpi_, this,
                                     owner, owner));
    setTitleIcons(dpi_);
    createControls();
    // Made centred on its owner's monitor already.
    followMonitorDpi(window_.get(), kMainFormClient, dpi_, owner,
                     [this](int dpi, const RECT& frame) { layOutFor(dpi, frame); });
}

Win32MainForm::~Win32MainForm() {
    // No handler may reach this object while its window goes.
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    window_.reset();
}

void Win32MainForm::createControls() {
    const HWND parent = window_.get();
    for (const ControlLayout& layout : kMainFormControls) {
        const HWND control = createControl(parent, instance_, layout, dpi_, fontFor(layout.font), true);
        switch (layout.id) {
        case ids::stdSFSSymbol:
            symbol_.attach(control);
            break;
        case ids::stdSFSRough:
            rough_.attach(control);
            break;
        case ids::stdSFSMet:
            met_.attach(control);
            break;
        case ids::sfsPic:
            sfsPic_.attach(control, GetSysColor(COLOR_BTNFACE), dpi_);
            break;
        case ids::txtCalc:
            txtCalcBox_.attach(control, GetSysColor(COLOR_BTNFACE), dpi_);
            break;
        default:
            break;
        }
    }
    timed(picturesTook_, [this] { sfsPic_.setBitmap(loadBitmapResource(instance_, IDB_DESIGN_PREVIEW)); });
    symbol_.onSelect([this] { stdSFSSymbol_Click(); });
}

HFONT Win32MainForm::fontFor(FontRole role) const {
    return role == FontRole::largeBold ? largeBoldFont_.get() : dialogFont_.get();
}

void Win32MainForm::layOutFor(int dpi, const RECT& frame) {
    dpi_ = dpi;
    // The controls take the new fonts before the old ones go.
    UniqueFont dialogFont = createDialogFont(dpi);
    UniqueFont largeBoldFont = createLargeBoldFont(dpi);
    std::swap(dialogFont_, dialogFont);
    std::swap(largeBoldFont_, largeBoldFont);
    layOutControlsAgain(window_.get(), kMainFormControls, dpi, [this](FontRole role) { return fontFor(role); });
    sfsPic_.setDpi(dpi);
    txtCalcBox_.setDpi(dpi);
    setTitleIcons(dpi);
    moveWindowTo(window_.get(), frame);
}

void Win32MainForm::setTitleIcons(int dpi) {
    auto icons = std::find_if(titleIcons_.begin(), titleIcons_.end(), [dpi](const TitleIcons& i) { return i.dpi == dpi; });
    if (icons == titleIcons_.end()) {
        // The system's icon sizes at 96 DPI, scaled as the system scales them.
        timed(picturesTook_, [this, dpi] {
            titleIcons_.push_back({dpi,
                                   loadIconResource(instance_, IDI_TARVENIX, MulDiv(32, dpi, USER_DEFAULT_SCREEN_DPI)),
                                   loadIconResource(instance_, IDI_TARVENIX, MulDiv(16, dpi, USER_DEFAULT_SCREEN_DPI))});
        });
        icons = titleIcons_.end() - 1;
    }
    SendMessageW(window_.get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons->big.get()));
    SendMessageW(window_.get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons->small.get()));
}

void Win32MainForm::centreOn(HWND anchor) {
    centreDialog(window_.get(), kMainFormClient, dpi_, anchor,
                 [this](int dpi, const RECT& frame) { layOutFor(dpi, frame); });
}

// Only an ownerless dialog: an owned one stays above its owner anyway, and a topmost one inside a
// host would hide the host's own modal dialogs and float above every other program.
void Win32MainForm::setAlwaysOnTop() {
    if (GetWindow(window_.get(), GW_OWNER) == nullptr) {
        vb_library::setAlwaysOnTop(window_.get());
    }
}

void Win32MainForm::showModeless() {
    ShowWindow(window_.get(), SW_SHOW);
    SetForegroundWindow(window_.get());
    SetFocus(symbol_.hwnd());
    UpdateWindow(window_.get());
}

void Win32MainForm::hide() {
    ShowWindow(window_.get(), SW_HIDE);
}

std::wstring Win32MainForm::caption() const {
    const int length = GetWindowTextLengthW(window_.get());
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window_.get(), text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

FormIcon Win32MainForm::icon() const {
    // The icon the title bar shows now.
    return FormIcon{reinterpret_cast<HICON>(SendMessageW(window_.get(), WM_GETICON, ICON_BIG, 0))};
}

void Win32MainForm::stdSFSSymbol_Click() {
    lastSymbolIndex_ = symbol_.listIndex();
    const std::wstring path = previewPath(previewFolder_, lastSymbolIndex_);
    // A missing or unreadable preview is no failure: the box keeps what it shows.
    if (UniqueBitmap picture = loadBitmapFile(path)) {
        sfsPic_.setBitmap(std::move(picture));
    }
}

void Win32MainForm::stdSFSSymbol_Change() {
    symbol_.setListIndex(static_cast<std::int16_t>(lastSymbolIndex_));
}

void Win32MainForm::onCommand(int id, int code) {
    switch (id) {
    case ids::cmd_Ok:
        if (code == BN_CLICKED && handlers_.cmd_Ok_Click) {
            handlers_.cmd_Ok_Click();
        }
        break;
    case ids::cmd_Cancel:
        if (code == BN_CLICKED && handlers_.cmd_Cancel_Click) {
            handlers_.cmd_Cancel_Click();
        }
        break;
    case ids::stdSFSSymbol:
        if (code == CBN_SELCHANGE) {
            stdSFSSymbol_Click();
        } else if (code == CBN_EDITCHANGE && !symbol_.changingByProgram()) {
            stdSFSSymbol_Change();
        }
        break;
    case IDOK: {
        // The dialog manager's Enter. With no default button it presses only a button that
        // has the focus, as Space would.
        const HWND focus = GetFocus();
        if (focus == control(ids::cmd_Ok) || focus == control(ids::cmd_Cancel)) {
            SendMessageW(focus, BM_CLICK, 0, 0);
        }
        break;
    }
    default:
        // IDCANCEL (Escape) among them: there is no cancel button.
        break;
    }
}

void Win32MainForm::onActivate(bool active) {
    if (!active) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window_.get(), focus)) {
            savedFocus_ = focus;
        }
        return;
    }
    const bool canRestore = savedFocus_ != nullptr && IsWindow(savedFocus_) && IsWindowVisible(savedFocus_);
    SetFocus(canRestore ? savedFocus_ : symbol_.hwnd());
}

void Win32MainForm::paint() {
    const PaintDc paint(window_.get());
    drawLine(paint.get(), kMainFormLine, dpi_, kMainLineColour);
}

LRESULT Win32MainForm::controlColour(HDC dc, HWND control, UINT message) {
    if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, kChoiceBackground);
        return reinterpret_cast<LRESULT>(choiceBackground_.get());
    }
    // Labels have no background of their own: the dialog's colour shows behind their text.
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, kMainFormBackground);
    SetTextColor(dc, GetDlgCtrlID(control) == ids::Label4 ? kLabel4Text : GetSysColor(COLOR_WINDOWTEXT));
    return reinterpret_cast<LRESULT>(background_.get());
}

LRESULT Win32MainForm::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        runGuarded([&] { onCommand(id, code); });
        return 0;
    }
    case WM_CLOSE:
        if (handlers_.closeCommand) {
            runGuarded(handlers_.closeCommand);
        } else {
            ShowWindow(window, SW_HIDE);
            PostQuitMessage(0);
        }
        return 0;
    case WM_ACTIVATE:
        onActivate(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case WM_DPICHANGED:
        // On a monitor of another scale: laid out again, in the rectangle the system suggests.
        layOutFor(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
        return controlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message);
    case WM_ERASEBKGND: {
        RECT client{};
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, background_.get());
        return 1;
    }
    case WM_PAINT:
        paint();
        return 0;
    case ids::kFailureProbe:
        throw std::runtime_error("Fehler eines Steuerelements (Test)");
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void splitMaking(StartSplit& split, const Win32MainForm& form, std::chrono::microseconds took) {
    split.add(StartSplit::Pictures, form.picturesTook());
    split.add(StartSplit::Windows, took - form.picturesTook());
}

} // namespace tvx::win
