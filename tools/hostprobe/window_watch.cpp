#include "tools/hostprobe/window_watch.h"

#include <chrono>

namespace tvx::hostprobe {

namespace {

struct Enumeration {
    DWORD process;
    std::set<HWND>* windows;
};

BOOL CALLBACK collect(HWND window, LPARAM param) {
    const auto& e = *reinterpret_cast<const Enumeration*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    const bool watched = e.process == 0 ? owner != GetCurrentProcessId() : owner == e.process;
    if (watched && IsWindowVisible(window)) {
        e.windows->insert(window);
    }
    return TRUE;
}

std::wstring textOf(HWND window, bool className) {
    wchar_t buffer[256] = {};
    // Never WM_GETTEXT: a window of a thread that is waiting would not answer it.
    const int length = className ? GetClassNameW(window, buffer, 256) : InternalGetWindowText(window, buffer, 256);
    return std::wstring(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
}

} // namespace

WindowWatch::WindowWatch(DWORD process, std::function<void(const SeenWindow&)> seen)
    : process_(process), seen_(std::move(seen)), known_(shown()), thread_([this] { watch(); }) {}

WindowWatch::~WindowWatch() { stop(); }

std::set<HWND> WindowWatch::shown() const {
    std::set<HWND> windows;
    Enumeration e{process_, &windows};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&e));
    return windows;
}

void WindowWatch::watch() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        lock.unlock();
        for (HWND window : shown()) {
            if (known_.insert(window).second) {
                const SeenWindow seen{textOf(window, false), textOf(window, true)};
                if (seen_) {
                    seen_(seen);
                }
                const std::lock_guard found(mutex_);
                found_.push_back(seen);
            }
        }
        lock.lock();
        wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return stopping_; });
    }
}

std::vector<SeenWindow> WindowWatch::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    return found_;
}

} // namespace tvx::hostprobe
