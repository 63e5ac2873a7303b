#include "drawing/com/host_line.h"

#include "drawing/com/failure_text.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>

namespace tvx::com {

namespace {

using Clock = std::chrono::steady_clock;

constexpr wchar_t kWatchClass[] = L"tvx_HostLineWatch";
constexpr UINT kCallPastBound = WM_APP + 0x4C1;

// A whole number of milliseconds, or -1.
long long millis(const char*& text) {
    long long value = 0;
    int digits = 0;
    for (; *text >= '0' && *text <= '9' && digits < 10; ++text, ++digits) {
        value = value * 10 + (*text - '0');
    }
    return digits == 0 ? -1 : value;
}

// Pumps only what keeps the windows painted (and messages other threads send) for a while: no
// input, so no handler of the program runs in between.
void waitPainting(Millis span) {
    const auto until = Clock::now() + span;
    for (auto left = span; left.count() > 0;
         left = std::chrono::duration_cast<Millis>(until - Clock::now())) {
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left.count()), QS_PAINT | QS_SENDMESSAGE, 0);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) {
            DispatchMessageW(&message);
        }
    }
}

} // namespace

CallBounds parseCallBounds(const char* text) {
    CallBounds bounds;
    if (text == nullptr) {
        return bounds;
    }
    const CallBounds defaults;
    const long long busy = millis(text);
    if (*text != ',') {
        return bounds;
    }
    ++text;
    const long long answer = millis(text);
    if (*text != '\0') {
        return bounds;
    }
    // Only ever shorter: no setting may make a user wait longer than the documented bounds.
    if (busy > 0 && busy < defaults.busy.count()) {
        bounds.busy = Millis(busy);
    }
    if (answer > 0 && answer < defaults.answer.count()) {
        bounds.answer = Millis(answer);
    }
    return bounds;
}

CallBounds callBoundsFromEnvironment() {
    return parseCallBounds(std::getenv("TARVENIX_TEST_HOST_BOUNDS"));
}

bool isRejected(HRESULT hr) {
    return hr == RPC_E_SERVERCALL_RETRYLATER || hr == RPC_E_CALL_REJECTED;
}

Millis retryPause(unsigned retry) {
    return std::min(Millis(50LL << std::min(retry, 5u)), Millis(1000));
}

// Watches the call under way from a thread of its own. A call past the bound is reported to the
// calling thread by a sent message: a thread waiting for a call still takes those, on Windows and
// under Wine alike, so the report runs on that thread with every window the program has.
class HostLine::Watchdog {
public:
    Watchdog(HostLine& line, Millis bound) : line_(line), bound_(bound) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Watchdog::proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kWatchClass;
        RegisterClassW(&wc); // a second line finds it registered
        window_ = CreateWindowExW(0, kWatchClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        if (window_ == nullptr) {
            throw std::runtime_error("the host call watch has no window");
        }
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        thread_ = std::thread([this] { watch(); });
    }

    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
        DestroyWindow(window_);
    }

    void arm(const char* operation) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++generation_;
            armed_ = true;
            operation_ = operation;
            deadline_ = Clock::now() + bound_;
        }
        wake_.notify_all();
    }

    void disarm() {
        std::lock_guard<std::mutex> lock(mutex_);
        armed_ = false;
    }

private:
    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        std::uint64_t reported = 0;
        while (!stop_) {
            if (!armed_ || generation_ == reported) {
                wake_.wait(lock);
                continue;
            }
            const std::uint64_t generation = generation_;
            if (wake_.wait_until(lock, deadline_, [&] { return stop_ || !armed_ || generation_ != generation; })) {
                continue;
            }
            reported = generation;
            SendNotifyMessageW(window_, kCallPastBound, static_cast<WPARAM>(generation), 0);
        }
    }

    // An entry point called by the system: nothing may leave it.
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != kCallPastBound) {
            return DefWindowProcW(window, message, wParam, lParam);
        }
        auto* self = reinterpret_cast<Watchdog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        const char* operation = nullptr;
        try {
            if (self != nullptr) {
                std::lock_guard<std::mutex> lock(self->mutex_);
                if (self->armed_ && self->generation_ == static_cast<std::uint64_t>(wParam)) {
                    operation = self->operation_;
                }
            }
        } catch (...) {
            return 0;
        }
        if (operation != nullptr) {
            self->line_.hung(operation);
        }
        return 0;
    }

    HostLine& line_;
    Millis bound_;
    HWND window_ = nullptr;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool armed_ = false;
    std::uint64_t generation_ = 0;
    const char* operation_ = nullptr;
    Clock::time_point deadline_;
    std::thread thread_;
};

HostLine::HostLine(CallBounds bounds) : bounds_(bounds) {}

HostLine::~HostLine() = default;

void HostLine::onHung(HungHandler handler) {
    handler_ = std::move(handler);
    watchdog_ = handler_ ? std::make_unique<Watchdog>(*this, bounds_.answer) : nullptr;
}

void HostLine::throwLost(const char* operation) const {
    if (log_ != nullptr) {
        log_->hostCall(operation, CallOutcome::NotMade, 0, RunLog::Micros{0});
    }
    const host::HostFailure lost = failure();
    throw host::HostError(operation,
                          lost == host::HostFailure::Busy   ? "the host has been rejecting calls"
                          : lost == host::HostFailure::Gone ? "the host has disconnected"
                                                            : "the host has not answered a call",
                          lost);
}

void HostLine::track(ComPtr<IDispatch>* object) { held_.push_back(object); }

void HostLine::retrack(ComPtr<IDispatch>* from, ComPtr<IDispatch>* to) noexcept {
    std::replace(held_.begin(), held_.end(), from, to);
}

void HostLine::untrack(ComPtr<IDispatch>* object) noexcept {
    held_.erase(std::remove(held_.begin(), held_.end(), object), held_.end());
}

void HostLine::close() noexcept {
    if (calling_ > 0) {
        // The host let go of us from inside one of our calls: the object called must outlive that
        // call, so every reference goes back the moment it has returned (see call), and no call is
        // made meanwhile.
        closeAfterCall_ = true;
        return;
    }
    // The latest first, as a run lets go of them.
    for (auto object = held_.rbegin(); object != held_.rend(); ++object) {
        release(**object);
    }
    held_.clear();
    lost_ = host::HostFailure::Gone;
}

void HostLine::hung(const char* operation) noexcept {
    lost_ = host::HostFailure::Hung;
    if (log_ != nullptr) {
        log_->hostCall(operation, CallOutcome::Unanswered, 0, bounds_.answer);
    }
    // Runs from the watch window's procedure: an exception must not cross the system's frames.
    // Should the report fail, the call it interrupts still comes back to a lost line, if ever.
    try {
        if (handler_) {
            handler_(operation);
        }
    } catch (...) {
    }
}

void HostLine::watch(const char* operation) noexcept {
    try {
        if (watchdog_) {
            watchdog_->arm(operation);
        }
    } catch (...) {
        // Unwatched, the call is made as it would be without a handler.
    }
}

void HostLine::unwatch() noexcept {
    try {
        if (watchdog_) {
            watchdog_->disarm();
        }
    } catch (...) {
    }
}

void HostLine::takeCallsAgain() noexcept {
    if (lost_ == host::HostFailure::Busy) {
        lost_ = host::HostFailure::Refused;
    }
}

HRESULT HostLine::call(const char* operation, const std::function<HRESULT()>& attempt, bool logAnswered) {
    if (lost()) {
        throwLost(operation);
    }
    const auto start = Clock::now();
    const auto spentSoFar = [&start] { return std::chrono::duration_cast<RunLog::Micros>(Clock::now() - start); };
    for (unsigned retry = 0;; ++retry) {
        watch(operation);
        ++calling_;
        const HRESULT hr = attempt();
        --calling_;
        unwatch();
        if (calling_ == 0 && std::exchange(closeAfterCall_, false)) {
            close();
        }
        if (lost()) {
            // Came back after the report of a hung call: what it brings is not used.
            throwLost(operation);
        }
        if (!isRejected(hr)) {
            if (log_ != nullptr && (logAnswered || FAILED(hr))) {
                log_->hostCall(operation, FAILED(hr) ? CallOutcome::Failed : CallOutcome::Answered,
                               static_cast<std::int32_t>(hr), spentSoFar(), retry);
            }
            return hr;
        }
        const auto spent = std::chrono::duration_cast<Millis>(Clock::now() - start);
        if (spent >= bounds_.busy) {
            lost_ = host::HostFailure::Busy;
            if (log_ != nullptr) {
                log_->hostCall(operation, CallOutcome::Busy, static_cast<std::int32_t>(hr), spentSoFar(), retry);
            }
            throw host::HostError(operation,
                                  "the host rejected the call for " + std::to_string(spent.count()) +
                                      " ms: " + describeHresult(hr),
                                  host::HostFailure::Busy, static_cast<std::int32_t>(hr));
        }
        ++retries_;
        waitPainting(std::min(retryPause(retry), bounds_.busy - spent));
    }
}

} // namespace tvx::com
