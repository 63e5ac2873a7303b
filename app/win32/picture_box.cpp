#include "app/win32/picture_box.h"

#include "app/win32/control_ids.h"
#include "app/win32/geometry.h"

namespace tvx::win {

void PictureBox::registerClass(HINSTANCE instance) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = &PictureBox::windowProc;
    cls.hInstance = instance;
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.lpszClassName = ids::kPictureBoxClass;
    // A second registration fails harmlessly with ERROR_CLASS_ALREADY_EXISTS.
    RegisterClassExW(&cls);
}

namespace {

SIZE iconSize(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) {
        return SIZE{0, 0};
    }
    const UniqueBitmap mask(info.hbmMask);
    const UniqueBitmap colour(info.hbmColor);
    BITMAP bits{};
    GetObjectW(mask.get(), sizeof bits, &bits);
    // Without colour bits the mask holds the AND and the XOR halves one above the other.
    return SIZE{bits.bmWidth, colour ? bits.bmHeight : bits.bmHeight / 2};
}

} // namespace

void PictureBox::attach(HWND window, COLORREF background, int dpi) {
    window_ = window;
    dpi_ = dpi;
    background_.reset(CreateSolidBrush(background));
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void PictureBox::setDpi(int dpi) {
    dpi_ = dpi;
    InvalidateRect(window_, nullptr, TRUE);
}

void PictureBox::setBitmap(UniqueBitmap bitmap) {
    bitmap_ = std::move(bitmap);
    icon_ = nullptr;
    InvalidateRect(window_, nullptr, TRUE);
}

void PictureBox::setIcon(HICON icon) {
    icon_ = icon;
    bitmap_.reset();
    InvalidateRect(window_, nullptr, TRUE);
}

void PictureBox::paint() {
    const PaintDc paint(window_);
    RECT client{};
    GetClientRect(window_, &client);
    FillRect(paint.get(), &client, background_.get());
    const SIZE box{client.right, client.bottom};
    if (bitmap_) {
        BITMAP info{};
        GetObjectW(bitmap_.get(), sizeof info, &info);
        const RECT place = placePicture(SIZE{info.bmWidth, info.bmHeight}, box, dpi_);
        MemoryDc source(CreateCompatibleDC(paint.get()));
        const SelectedObject selected(source.get(), bitmap_.get());
        SetStretchBltMode(paint.get(), COLORONCOLOR);
        StretchBlt(paint.get(), place.left, place.top, place.right - place.left, place.bottom - place.top,
                   source.get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    } else if (icon_ != nullptr) {
        const RECT place = placePicture(iconSize(icon_), box, dpi_);
        DrawIconEx(paint.get(), place.left, place.top, icon_, place.right - place.left, place.bottom - place.top, 0,
                   nullptr, DI_NORMAL);
    }
}

LRESULT CALLBACK PictureBox::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<PictureBox*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_PAINT:
        if (self != nullptr) {
            self->paint();
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1; // painted whole in WM_PAINT
    case WM_LBUTTONDOWN:
        // Like a picture box: a click gives it the focus when it can take it.
        if ((GetWindowLongPtrW(window, GWL_STYLE) & WS_TABSTOP) != 0) {
            SetFocus(window);
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace tvx::win
