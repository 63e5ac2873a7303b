#include "app/win32/event_loop.h"

#include "app/ui_port.h"
#include "app/win32/control_ids.h"

#include <cwchar>
#include <exception>
#include <utility>

namespace tvx::win {
namespace {

std::exception_ptr pendingError;
std::function<void(std::exception_ptr)> guardedFailure;

void rethrowPending() {
    if (pendingError) {
        std::rethrow_exception(std::exchange(pendingError, nullptr));
    }
}

bool isOneOfOurDialogs(HWND window) {
    wchar_t name[32] = {};
    if (GetClassNameW(window, name, 32) == 0) {
        return false;
    }
    return std::wcscmp(name, ids::kMainFormClass) == 0 || std::wcscmp(name, ids::kMessageDialogClass) == 0;
}

void dispatch(MSG& message) {
    const HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root != nullptr && isOneOfOurDialogs(root) && IsDialogMessageW(root, &message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

} // namespace

void runGuarded(const std::function<void()>& handler) noexcept {
    try {
        handler();
    } catch (...) {
        if (guardedFailure) {
            try {
                guardedFailure(std::current_exception());
            } catch (...) {
            }
            return;
        }
        if (!pendingError) {
            pendingError = std::current_exception();
        }
        PostQuitMessage(1);
    }
}

void onGuardedFailure(std::function<void(std::exception_ptr)> handler) { guardedFailure = std::move(handler); }

bool pumpMessages(const std::function<bool()>& keepGoing) {
    MSG message{};
    while (keepGoing()) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // Not ours to take: the outer loop (inside a host, the host's) gets it as it came.
            PostQuitMessage(static_cast<int>(message.wParam));
            rethrowPending();
            return false;
        }
        if (got == -1) {
            rethrowPending();
            return false;
        }
        dispatch(message);
        rethrowPending();
    }
    return true;
}

int runEventLoop() {
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            rethrowPending();
            return got == 0 ? static_cast<int>(message.wParam) : static_cast<int>(RunEnd::Unexpected);
        }
        dispatch(message);
        rethrowPending();
    }
}

} // namespace tvx::win
