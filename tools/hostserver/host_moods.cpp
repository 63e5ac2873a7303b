#include "tools/hostserver/host_moods.h"

#include "drawing/com/com_object.h"

#include <utility>

namespace tvx::hostserver {

namespace {

// IDispatch::Invoke, counted from the first method of IUnknown.
constexpr WORD kInvokeMethod = 6;

std::string callLabel(std::uint64_t n) { return "call " + std::to_string(n); }

} // namespace

HostMoods::HostMoods(MoodOptions options, TraceSink trace, Hang hang)
    : options_(options), trace_(std::move(trace)), hang_(std::move(hang)) {}

bool HostMoods::busyNow(std::uint64_t next) {
    if (options_.busyAt == 0 || next < options_.busyAt) {
        return false;
    }
    const ULONGLONG now = GetTickCount64();
    if (busyUntil_ == 0) {
        busyUntil_ = now + options_.busyForMs;
    }
    return now < busyUntil_;
}

HRESULT HostMoods::beforeCall(std::uint64_t next, const std::string& operation) {
    if (options_.busyBy == BusyBy::Invoke && busyNow(next)) {
        if (trace_) {
            trace_("-- busy: " + operation + " rejected, " + callLabel(next) + " not run --");
        }
        return RPC_E_SERVERCALL_RETRYLATER;
    }
    if (options_.hangAt != 0 && next == options_.hangAt) {
        if (trace_) {
            trace_("-- hung: " + operation + ", " + callLabel(next) + " never answered --");
        }
        if (hang_) {
            hang_();
        }
    }
    if (options_.slowMs != 0) {
        Sleep(options_.slowMs);
    }
    return S_OK;
}

bool HostMoods::filterRejects(std::uint64_t next) {
    if (options_.busyBy == BusyBy::Invoke || !busyNow(next)) {
        return false;
    }
    if (trace_) {
        trace_("-- busy: the message filter turned away " + callLabel(next) + " --");
    }
    return true;
}

namespace {

class BusyFilter final : public com::ComObject<IMessageFilter> {
public:
    BusyFilter(HostMoods& moods, std::function<std::uint64_t()> nextCall)
        : moods_(moods), nextCall_(std::move(nextCall)) {}

    // Only automation calls are turned away: reference counting and name lookups go through, so
    // the calls stay numbered as the trace numbers them.
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO info) override {
        if (info == nullptr || info->iid != IID_IDispatch || info->wMethod != kInvokeMethod ||
            !moods_.filterRejects(nextCall_())) {
            return SERVERCALL_ISHANDLED;
        }
        return moods_.options().busyBy == BusyBy::FilterRetryLater ? SERVERCALL_RETRYLATER : SERVERCALL_REJECTED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return static_cast<DWORD>(-1); }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }

private:
    HostMoods& moods_;
    std::function<std::uint64_t()> nextCall_;
};

} // namespace

BusyFilterRegistration::BusyFilterRegistration(HostMoods& moods, std::function<std::uint64_t()> nextCall)
    : registration_(com::ComPtr<IMessageFilter>::attach(std::make_unique<BusyFilter>(moods, std::move(nextCall)).release())) {}

} // namespace tvx::hostserver
