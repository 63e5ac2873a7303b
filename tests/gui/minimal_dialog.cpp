// The yardstick for the start-up benchmark: the least a Win32 program does to show one dialog.
#include <windows.h>

namespace {

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = &windowProc;
    cls.hInstance = instance;
    cls.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    cls.lpszClassName = L"tvx_minimal";
    RegisterClassExW(&cls);
    const HWND window = CreateWindowExW(0, L"tvx_minimal", L"Minimal", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                        CW_USEDEFAULT, 300, 200, nullptr, nullptr, instance, nullptr);
    CreateWindowExW(0, L"BUTTON", L"Ok", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 200, 130, 60, 25, window,
                    nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOW);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}
