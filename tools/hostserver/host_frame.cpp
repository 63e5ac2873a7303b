#include "tools/hostserver/host_frame.h"

#include "app/win32/win_handles.h"
#include "tools/hostserver/sheet_painter.h"
#include "tools/hostserver/window_class.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace tvx::hostserver {

namespace {

constexpr wchar_t kClassName[] = L"TvxHostFrame";
constexpr wchar_t kViewClassName[] = L"TvxSheetView";
constexpr UINT_PTR kRepaintTimer = 1;
constexpr int kButtonSize = 20;

std::wstring menuText(HMENU menu, UINT position) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, position, text, static_cast<int>(std::size(text)), MF_BYPOSITION);
    return text;
}

} // namespace

HostFrame::HostFrame(Click click, Enabled enabled) : click_(std::move(click)), enabled_(std::move(enabled)) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    registerWindowClass(kClassName, COLOR_APPWORKSPACE);
    // It paints all of itself, and all of it again at a new size: the scale changes with it.
    registerWindowClass(kViewClassName, -1, CS_HREDRAW | CS_VREDRAW);
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    HMENU tools = CreatePopupMenu();
    if (bar == nullptr || file == nullptr || tools == nullptr ||
        !AppendMenuW(file, MF_STRING, static_cast<UINT_PTR>(kSaveCommand), L"&Speichern") ||
        !AppendMenuW(file, MF_STRING, static_cast<UINT_PTR>(kOptionsCommand), L"&Optionen...") ||
        !AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), kFileMenu) ||
        !AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), kToolsMenu)) {
        throw std::runtime_error("cannot build the frame's menu bar");
    }
    // The bar owns its menus from here on; the window owns the bar.
    window_ = CreateWindowExW(0, kClassName, L"Stand-in-Host", WS_OVERLAPPEDWINDOW, 40, 40, 640, 420, nullptr,
                              bar, GetModuleHandleW(nullptr), nullptr);
    if (window_ == nullptr) {
        DestroyMenu(bar);
        throw std::runtime_error("cannot create the frame window");
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostFrame::procedure));
    toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                               WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0, 0, 0,
                               window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    images_ = ImageList_Create(kButtonSize, kButtonSize, ILC_COLOR24 | ILC_MASK, 4, 4);
    view_ = CreateWindowExW(0, kViewClassName, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window_, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (toolbar_ == nullptr || images_ == nullptr || view_ == nullptr) {
        DestroyWindow(window_);
        throw std::runtime_error("cannot create the frame's toolbar");
    }
    SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
    SendMessageW(toolbar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(kButtonSize, kButtonSize));
    SetWindowLongPtrW(view_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(view_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostFrame::viewProcedure));
    layout();
}

HostFrame::~HostFrame() {
    DestroyWindow(window_);
    ImageList_Destroy(images_);
}

void HostFrame::show() {
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
}

void HostFrame::showSheet(Describe describe) {
    describe_ = std::move(describe);
    sheetChanged();
}

// At most one painting every 100 ms: a client's run makes hundreds of calls, and the window
// would otherwise be painted again between nearly every two.
void HostFrame::sheetChanged() {
    if (!repaintPending_) {
        repaintPending_ = SetTimer(view_, kRepaintTimer, 100, nullptr) != 0;
        if (!repaintPending_) {
            InvalidateRect(view_, nullptr, FALSE);
        }
    }
}

// Drawn off screen at three times the size and shrunk into the window in one piece: no flicker
// on a repaint after every call, and thin lines and small texts come out smoothed, as in the SVG
// picture, instead of as whole pixels with the drawing font's thin strokes hinted away.
void HostFrame::paintView() {
    constexpr int kOversample = 3;
    const win::PaintDc paint(view_);
    RECT area{};
    GetClientRect(view_, &area);
    if (area.right <= 0 || area.bottom <= 0) {
        return;
    }
    const RECT large{0, 0, area.right * kOversample, area.bottom * kOversample};
    const win::MemoryDc memory(CreateCompatibleDC(paint.get()));
    const win::UniqueBitmap bitmap(CreateCompatibleBitmap(paint.get(), large.right, large.bottom));
    if (!memory || !bitmap) {
        return;
    }
    const win::SelectedObject selected(memory.get(), bitmap.get());
    const std::optional<sim::SheetPicture> picture = describe_ ? describe_() : std::nullopt;
    if (picture) {
        constexpr int kSmallestReadableName = 10; // px on the screen
        paintSheet(memory.get(), large, *picture, kSmallestReadableName * kOversample);
    } else {
        FillRect(memory.get(), &large, GetSysColorBrush(COLOR_APPWORKSPACE));
    }
    SetStretchBltMode(paint.get(), HALFTONE);
    SetBrushOrgEx(paint.get(), 0, 0, nullptr);
    StretchBlt(paint.get(), 0, 0, area.right, area.bottom, memory.get(), 0, 0, large.right, large.bottom, SRCCOPY);
}

HMENU HostFrame::popup(const std::wstring& caption, bool ignoreAmpersand) const {
    HMENU bar = GetMenu(window_);
    const int count = GetMenuItemCount(bar);
    for (int i = 0; i < count; ++i) {
        const std::wstring text = menuText(bar, static_cast<UINT>(i));
        bool same = text == caption;
        if (!same && ignoreAmpersand) {
            const std::wstring plain = withoutAmpersands(text);
            same = plain == withoutAmpersands(caption);
        }
        if (same) {
            return GetSubMenu(bar, i);
        }
    }
    return nullptr;
}

bool HostFrame::addMenuItem(const std::wstring& menu, const std::wstring& text, std::int32_t id,
                            std::int32_t position) {
    HMENU target = popup(menu, false);
    if (target == nullptr) {
        return false;
    }
    const UINT at = position < 0 ? static_cast<UINT>(-1) : static_cast<UINT>(position);
    if (!InsertMenuW(target, at, MF_BYPOSITION | MF_STRING, static_cast<UINT_PTR>(id), text.c_str())) {
        throw std::runtime_error("the menu item was not inserted");
    }
    DrawMenuBar(window_);
    return true;
}

void HostFrame::addSeparator(const std::wstring& menu, std::int32_t id) {
    if (HMENU target = popup(menu, false)) {
        AppendMenuW(target, MF_SEPARATOR, static_cast<UINT_PTR>(id), nullptr);
    }
}

void HostFrame::removeMenuItem(std::int32_t id) {
    HMENU bar = GetMenu(window_);
    for (int i = 0; i < GetMenuItemCount(bar); ++i) {
        DeleteMenu(GetSubMenu(bar, i), static_cast<UINT>(id), MF_BYCOMMAND);
    }
    DrawMenuBar(window_);
}

void HostFrame::addToolbarButton(std::int32_t id, const std::wstring& text, const std::wstring& imagePath,
                                 std::int32_t image, int pictureSize) {
    int picture = I_IMAGENONE;
    if (!imagePath.empty() && image >= 0 && pictureSize > 0) {
        // The strip holds every button's picture side by side; ours is cut out of it.
        const auto strip = static_cast<HBITMAP>(
            LoadImageW(nullptr, imagePath.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
        if (strip != nullptr) {
            HDC screen = GetDC(nullptr);
            HDC from = CreateCompatibleDC(screen);
            HDC to = CreateCompatibleDC(screen);
            HBITMAP one = CreateCompatibleBitmap(screen, kButtonSize, kButtonSize);
            HGDIOBJ oldFrom = SelectObject(from, strip);
            HGDIOBJ oldTo = SelectObject(to, one);
            StretchBlt(to, 0, 0, kButtonSize, kButtonSize, from, image * pictureSize, 0, pictureSize, pictureSize,
                       SRCCOPY);
            SelectObject(from, oldFrom);
            SelectObject(to, oldTo);
            DeleteDC(from);
            DeleteDC(to);
            ReleaseDC(nullptr, screen);
            picture = ImageList_AddMasked(images_, one, RGB(192, 192, 192));
            DeleteObject(one);
            DeleteObject(strip);
        }
    }
    std::vector<wchar_t> label(text.begin(), text.end());
    label.push_back(L'\0');
    label.push_back(L'\0');
    TBBUTTON button{};
    button.iBitmap = picture;
    button.idCommand = id;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_BUTTON;
    // With a picture, the text is only the tooltip.
    button.iString = picture == I_IMAGENONE
                         ? static_cast<INT_PTR>(SendMessageW(toolbar_, TB_ADDSTRINGW, 0,
                                                             reinterpret_cast<LPARAM>(label.data())))
                         : -1;
    if (!SendMessageW(toolbar_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button))) {
        throw std::runtime_error("the toolbar button was not added");
    }
    layout();
}

void HostFrame::removeToolbarButton(std::int32_t id) {
    const auto index = SendMessageW(toolbar_, TB_COMMANDTOINDEX, static_cast<WPARAM>(id), 0);
    if (index >= 0) {
        SendMessageW(toolbar_, TB_DELETEBUTTON, static_cast<WPARAM>(index), 0);
        layout();
    }
}

void HostFrame::layout() {
    SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
    RECT client{};
    RECT bar{};
    GetClientRect(window_, &client);
    GetWindowRect(toolbar_, &bar);
    const int top = bar.bottom - bar.top;
    MoveWindow(view_, 0, top, client.right, std::max(0L, client.bottom - top), TRUE);
}

void HostFrame::updateStates(HMENU menu) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        const UINT id = GetMenuItemID(menu, i);
        if (id == static_cast<UINT>(-1) || id == 0 || id == static_cast<UINT>(kOptionsCommand) ||
            id == static_cast<UINT>(kSaveCommand)) {
            continue;
        }
        const bool on = enabled_(static_cast<std::int32_t>(id)) % 2 == 1;
        EnableMenuItem(menu, id, static_cast<UINT>(MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)));
    }
}

std::int32_t HostFrame::lookUpMenuItem(const std::wstring& menu, const std::wstring& item) {
    HMENU target = popup(menu, true);
    if (target == nullptr) {
        return 0;
    }
    updateStates(target);
    for (int i = 0; i < GetMenuItemCount(target); ++i) {
        if (withoutAmpersands(menuText(target, static_cast<UINT>(i))) == withoutAmpersands(item)) {
            const UINT id = GetMenuItemID(target, i);
            return (GetMenuState(target, id, MF_BYCOMMAND) & MF_GRAYED) != 0 ? -1 : static_cast<std::int32_t>(id);
        }
    }
    return 0;
}

LRESULT CALLBACK HostFrame::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<HostFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // Nothing may leave a window procedure: the system's frames cannot pass it on.
    try {
        return self->handle(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT CALLBACK HostFrame::viewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<HostFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || (message != WM_PAINT && message != WM_ERASEBKGND && message != WM_TIMER)) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_ERASEBKGND) {
        return 1; // painted whole in WM_PAINT
    }
    if (message == WM_TIMER) {
        KillTimer(window, kRepaintTimer);
        self->repaintPending_ = false;
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    }
    // Nothing may leave a window procedure; a picture that cannot be built is left unpainted.
    try {
        self->paintView();
    } catch (...) {
        ValidateRect(window, nullptr);
    }
    return 0;
}

LRESULT HostFrame::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == 0 || HIWORD(wParam) == BN_CLICKED) {
            click_(static_cast<std::int32_t>(LOWORD(wParam)));
            return 0;
        }
        break;
    case WM_INITMENUPOPUP:
        updateStates(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_SIZE:
        layout();
        break;
    case WM_CLOSE:
        // The host ends by its stop file, or by its owner's close handler.
        if (closed_) {
            closed_();
        } else {
            ShowWindow(window_, SW_MINIMIZE);
        }
        return 0;
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data == nullptr || data->dwData != kMenuLookupTag || data->lpData == nullptr) {
            return 0;
        }
        const std::wstring text(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
        const auto split = text.find(L'\n');
        if (split == std::wstring::npos) {
            return 0;
        }
        return lookUpMenuItem(text.substr(0, split), text.substr(split + 1));
    }
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

} // namespace tvx::hostserver
