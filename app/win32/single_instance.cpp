#include "app/win32/single_instance.h"

#include "app/win32/control_ids.h"

#include <cwchar>
#include <future>
#include <memory>
#include <thread>

namespace tvx::win {
namespace {

constexpr std::chrono::milliseconds kPollStep{100};
// Past this, a start whose bringing forward has not come back ends without it.
constexpr std::chrono::milliseconds kForwardPatience{3000};

bool claimed(DWORD waitResult) { return waitResult == WAIT_OBJECT_0 || waitResult == WAIT_ABANDONED; }

struct Found {
    HWND message = nullptr;
    HWND mainForm = nullptr;
};

BOOL CALLBACK collect(HWND window, LPARAM param) {
    auto& found = *reinterpret_cast<Found*>(param);
    wchar_t name[32] = {};
    if (!IsWindowVisible(window) || GetClassNameW(window, name, 32) == 0) {
        return TRUE;
    }
    if (std::wcscmp(name, ids::kMessageDialogClass) == 0) {
        found.message = window;
    } else if (std::wcscmp(name, ids::kMainFormClass) == 0) {
        found.mainForm = window;
    }
    return TRUE;
}

// The message first: while it shows, it is the one window the user can answer.
HWND visibleInstanceWindow() {
    Found found;
    EnumWindows(&collect, reinterpret_cast<LPARAM>(&found));
    return found.message != nullptr ? found.message : found.mainForm;
}

// Nothing here waits for the other instance: a window of another thread answers a synchronous
// show only when its thread takes messages, and a run stuck in a host call may not for minutes.
void bringForward(HWND window) {
    const HWND owner = GetWindow(window, GW_OWNER);
    for (const HWND w : {owner, window}) {
        if (w != nullptr && IsIconic(w)) {
            ShowWindowAsync(w, SW_RESTORE);
        }
    }
    // The system may refuse the focus to a process the user did not just start; the taskbar
    // button flashing until the window is activated is then what tells the user where it is.
    if (!SetForegroundWindow(window) || GetForegroundWindow() != window) {
        FLASHWINFO flash{};
        flash.cbSize = sizeof flash;
        flash.hwnd = window;
        flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
        FlashWindowEx(&flash);
    }
}

// Should the system wait for the other instance after all, this start does not: past the bound
// it ends and leaves the call to the system.
void bringForwardWithin(HWND window, std::chrono::milliseconds bound) {
    try {
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> finished = done->get_future();
        std::thread([window, done] {
            bringForward(window);
            done->set_value();
        }).detach();
        finished.wait_for(bound);
    } catch (const std::exception&) {
        // Without a thread of its own it does not risk the wait: the user still sees the window.
    }
}

} // namespace

InstanceClaim::InstanceClaim(const wchar_t* name, std::chrono::milliseconds handOver)
    : mutex_(CreateMutexW(nullptr, FALSE, name)) {
    // Without a mutex nothing can be told about other instances; the run goes on as it would
    // have on its own rather than not at all.
    held_ = mutex_ == nullptr || claimed(WaitForSingleObject(mutex_, static_cast<DWORD>(handOver.count())));
}

InstanceClaim::~InstanceClaim() {
    if (mutex_ == nullptr) {
        return;
    }
    if (held_) {
        ReleaseMutex(mutex_);
    }
    CloseHandle(mutex_);
}

bool InstanceClaim::takeOnceFree(std::chrono::milliseconds wait) {
    if (!held_ && mutex_ != nullptr) {
        held_ = claimed(WaitForSingleObject(mutex_, static_cast<DWORD>(wait.count())));
    }
    return held_;
}

bool bringRunningInstanceForward(InstanceClaim& claim, std::chrono::milliseconds patience) {
    for (auto waited = std::chrono::milliseconds::zero();; waited += kPollStep) {
        if (const HWND window = visibleInstanceWindow()) {
            bringForwardWithin(window, kForwardPatience);
            return true;
        }
        // The wait is the poll's pause, and it ends early should the other instance end.
        if (waited >= patience || claim.takeOnceFree(kPollStep)) {
            return false;
        }
    }
}

bool bringRunningInstanceForwardNow() {
    const HWND window = visibleInstanceWindow();
    if (window != nullptr) {
        bringForward(window);
    }
    return window != nullptr;
}

} // namespace tvx::win
