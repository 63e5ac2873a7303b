#include "app/win32/picture_box.h"

#include "app/win32/control_ids.h"

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

void PictureBox::attach(HWND window, COLORREF background) {
    window_ = window;
    background_.reset(CreateSolidBrush(background));
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
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
    if (bitmap_) {
        BITMAP info{};
        GetObjectW(bitmap_.get(), sizeof info, &info);
        MemoryDc source(CreateCompatibleDC(paint.get()));
        const SelectedObject selected(source.get(), bitmap_.get());
        BitBlt(paint.get(), 0, 0, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
    } else if (icon_ != nullptr) {
        DrawIconEx(paint.get(), 0, 0, icon_, 0, 0, 0, nullptr, DI_NORMAL);
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
