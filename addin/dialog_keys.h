// Tab, Enter, Escape and the arrow keys for a modeless dialog that lives in the host's message
// loop, which knows nothing of it: a hook on this thread's messages hands the dialog's keys to
// the dialog manager first. Alive only while the dialog is open.
#pragma once

#include <windows.h>

namespace tvx::addin {

class DialogKeys {
public:
    explicit DialogKeys(HWND dialog);
    DialogKeys(const DialogKeys&) = delete;
    DialogKeys& operator=(const DialogKeys&) = delete;
    ~DialogKeys();

private:
    HHOOK hook_ = nullptr;
};

} // namespace tvx::addin
