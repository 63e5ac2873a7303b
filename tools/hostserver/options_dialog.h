// The stand-in host's "Optionen" dialog, modal to its frame as a real host's own dialogs are:
// while it is open the frame is disabled (an add-in's window owned by the frame is not), and the
// host is in a modal state in which no add-in may call it.
#pragma once

#include "tools/hostserver/dispatch_core.h"

#include <windows.h>

#include <memory>

namespace tvx::hostserver {

class OptionsDialog {
public:
    OptionsDialog(HWND frame, DispatchContext& context);
    OptionsDialog(const OptionsDialog&) = delete;
    OptionsDialog& operator=(const OptionsDialog&) = delete;
    ~OptionsDialog();

    // Both do nothing when the dialog already is in that state.
    void open();
    void close();
    bool isOpen() const noexcept { return window_ != nullptr; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND frame_;
    DispatchContext& context_;
    HWND window_ = nullptr;
    std::unique_ptr<ModalState> modal_;
};

// A host's loop during a long operation: for `milliseconds`, keyboard and mouse messages are taken
// off the queue (watching for Escape) and none is dispatched. Messages sent to the thread are still
// delivered inside PeekMessage, as Windows does in any; posted ones wait until the loop ends.
void busyLoop(DispatchContext& context, DWORD milliseconds);

// A host's long operation that keeps its window painted: for `milliseconds` every message is
// dispatched (GetMessage/DispatchMessage) while the frame stays enabled, and no idle
// notification is fired. Calls that arrive are marked as during a host operation.
void pumpLoop(DispatchContext& context, DWORD milliseconds);

} // namespace tvx::hostserver
