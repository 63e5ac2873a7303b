#include "drawing/com/retry_filter.h"

#include "drawing/com/com_object.h"

#include <algorithm>
#include <atomic>
#include <memory>

namespace tvx::com {

namespace {

class RetryFilter final : public ComObject<IMessageFilter> {
public:
    explicit RetryFilter(Millis busyBound) : busyBound_(busyBound) {}

    // The client takes no calls of its own; whatever comes is handled.
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsed, DWORD) override {
        ++asked_;
        return retryAnswer(elapsed, busyBound_);
    }
    // Paint and the like go on while a call is under way; input waits for the call's end.
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }

    unsigned long asked() const noexcept { return asked_; }

private:
    Millis busyBound_;
    std::atomic<unsigned long> asked_{0};
};

} // namespace

DWORD retryAnswer(DWORD elapsed, Millis busyBound) {
    if (static_cast<long long>(elapsed) >= busyBound.count()) {
        return static_cast<DWORD>(-1);
    }
    // The pause grows with the time already spent, as the dispatcher's own retries do.
    const long long pause = std::clamp<long long>(elapsed / 4, 100, 1000);
    return static_cast<DWORD>(std::min<long long>(pause, std::max<long long>(100, busyBound.count() - elapsed)));
}

MessageFilterRegistration::MessageFilterRegistration(Millis busyBound)
    : registration_(ComPtr<IMessageFilter>::attach(std::make_unique<RetryFilter>(busyBound).release())) {}

unsigned long MessageFilterRegistration::asked() const noexcept {
    return static_cast<RetryFilter*>(registration_.filter())->asked();
}

} // namespace tvx::com
