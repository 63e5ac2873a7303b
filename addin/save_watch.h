// After the host has saved the active drawing, and once it is idle again, the add-in looks
// whether the general indication of an earlier run still fits the sheet, and says so beside the
// host's work when it does not. It only ever reads the drawing.
#pragma once

#include "addin/host_events.h"
#include "addin/message_window.h"
#include "addin/stale_notice.h"
#include "drawing/com/com_owners.h"

#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace tvx::addin {

class SaveWatch {
public:
    // runUp: whether a run of ours is up or on its way (the check then waits); command: what the
    // command's button does, for the notice's "Aktualisieren".
    SaveWatch(HINSTANCE module, com::ComPtr<IDispatch> app, std::function<bool()> runUp,
              std::function<void()> command);
    SaveWatch(const SaveWatch&) = delete;
    SaveWatch& operator=(const SaveWatch&) = delete;
    // Gives the drawing's subscription back and closes the notice.
    ~SaveWatch();

    // The application's notifications the watch wants posted to it: the idle one and the change
    // of the active document.
    std::vector<EventPost> appPosts() const;
    // From the watch's next own message on: subscribed to the active document's events when it
    // is a drawing, after the earlier subscription is given back; the notice closed. Asked at the
    // connection (a connection refused before that message asks the host nothing), and the same
    // happens at each change of the active document.
    void followActiveDocSoon() noexcept;
    // A run starts: the notice's news is about to be out of date.
    void closeNotice() noexcept { notice_.close(); }

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    void followActiveDoc() noexcept;
    void idle() noexcept;
    void check(HWND frame);

    HINSTANCE module_;
    com::ComPtr<IDispatch> app_;
    std::function<bool()> runUp_;
    std::function<void()> command_;
    MessageWindow owned_;
    HWND window_; // message-only: the notifications' messages come here
    std::unique_ptr<EventSubscription> drawing_; // null: the active document is no drawing we hear
    // Tells the drawing's messages from those an earlier drawing posted before it was let go.
    WPARAM subscription_ = 0;
    HWND frame_ = nullptr; // the host's frame, asked at the first check that is due
    bool checkDue_ = false; // saved since, not yet checked
    // The drawing states a notice was shown for: each only once, not at every save.
    std::set<std::size_t> noticed_;
    StaleNotice notice_;
};

// HKCU\Software\Tarvenix value CheckOnSave: 0 switches the check off; unset means on.
bool checkOnSaveSwitchedOn() noexcept;

} // namespace tvx::addin
