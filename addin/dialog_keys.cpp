#include "addin/dialog_keys.h"

#include "addin/process_state.h"

#include <stdexcept>

namespace tvx::addin {
namespace {

LRESULT CALLBACK beforeDispatch(int code, WPARAM removal, LPARAM lParam) {
    auto* message = reinterpret_cast<MSG*>(lParam);
    const HWND hookedDialog = processState().keyedDialog;
    if (code == HC_ACTION && removal == PM_REMOVE && hookedDialog != nullptr && message->message >= WM_KEYFIRST &&
        message->message <= WM_KEYLAST &&
        (message->hwnd == hookedDialog || IsChild(hookedDialog, message->hwnd)) &&
        IsDialogMessageW(hookedDialog, message)) {
        // Handled: the host's loop gets a message that does nothing.
        message->message = WM_NULL;
        message->wParam = 0;
        message->lParam = 0;
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

} // namespace

DialogKeys::DialogKeys(HWND dialog) {
    hook_ = SetWindowsHookExW(WH_GETMESSAGE, &beforeDispatch, nullptr, GetCurrentThreadId());
    if (hook_ == nullptr) {
        throw std::runtime_error("the dialog keys cannot be hooked");
    }
    processState().keyedDialog = dialog;
}

DialogKeys::~DialogKeys() {
    processState().keyedDialog = nullptr;
    UnhookWindowsHookEx(hook_);
}

} // namespace tvx::addin
