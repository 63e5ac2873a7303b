// Watches for windows a process opens while a call of the probe's is under way: a host that asks
// its user to confirm shows one. Only watches; it never clicks or closes anything.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tvx::hostprobe {

struct SeenWindow {
    std::wstring title;
    std::wstring className;
};

class WindowWatch {
public:
    // process 0: every process but this one. seen is called on the watch's own thread, once for
    // each new window, while the caller's thread may still be waiting for its call.
    WindowWatch(DWORD process, std::function<void(const SeenWindow&)> seen);
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;
    ~WindowWatch();

    // The windows that came up since the watch began, in the order seen.
    std::vector<SeenWindow> stop();

private:
    std::set<HWND> shown() const;
    void watch();

    DWORD process_;
    std::function<void(const SeenWindow&)> seen_;
    std::set<HWND> known_;
    std::vector<SeenWindow> found_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace tvx::hostprobe
