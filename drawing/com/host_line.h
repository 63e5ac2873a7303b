// The line to one host: every call made through it is retried while the host rejects it, watched
// for an answer that never comes, and refused once the host has stopped taking calls.
#pragma once

#include "drawing/com/com_owners.h"
#include "drawing/host.h"
#include "drawing/run_log.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tvx::com {

using Millis = std::chrono::milliseconds;

struct CallBounds {
    // How long a call the host rejects is retried before the user is told the host is busy.
    Millis busy{30'000};
    // How long one call may take before the host counts as not answering: long enough for a
    // rebuild of a large drawing.
    Millis answer{600'000};
};

// The bounds for this process. TARVENIX_TEST_HOST_BOUNDS="BUSY_MS,ANSWER_MS" shortens them for
// tests; a value that is not shorter than the default, or not a number, is ignored.
CallBounds callBoundsFromEnvironment();
// The same rule on a given text (empty: the defaults).
CallBounds parseCallBounds(const char* text);

// RPC_E_SERVERCALL_RETRYLATER and RPC_E_CALL_REJECTED: the host did not run the call.
bool isRejected(HRESULT hr);

// The pause before the n-th retry (0-based): grows from 50 ms to 1 s.
Millis retryPause(unsigned retry);

class HostLine {
public:
    // Called on the calling thread, from inside the call that has not returned within the answer
    // bound (the platform delivers it while that thread waits). It must end the process: the call
    // it interrupts can never be returned to.
    using HungHandler = std::function<void(const char* operation)>;

    explicit HostLine(CallBounds bounds = {});
    ~HostLine();
    HostLine(const HostLine&) = delete;
    HostLine& operator=(const HostLine&) = delete;

    // Without a handler no call is watched.
    void onHung(HungHandler handler);

    // Runs one host call. A rejected attempt is repeated after a pause, while the dialog still
    // paints, until the busy bound; then HostError(Busy) is thrown and the line is lost. Every
    // other result is returned as it came. On a lost line it throws without calling. The log
    // gets the call unless it was answered and logAnswered is false (a name looked up).
    HRESULT call(const char* operation, const std::function<HRESULT()>& attempt, bool logAnswered = true);

    // Drops a reference to a host object. The last release of a proxy is a call into the host's
    // process as well, so it is watched with the same bound. A host that hung is never told, nor
    // one that let us go: the reference goes with the process. A host that only kept rejecting
    // calls still pumps its messages and takes the release, which is no automation call.
    template <class I>
    void release(ComPtr<I>& object) noexcept {
        if (!object) {
            return;
        }
        if (lost_ == host::HostFailure::Hung || lost_ == host::HostFailure::Gone) {
            static_cast<void>(object.detach());
            return;
        }
        watch("Release");
        object.reset();
        unwatch();
    }

    // Every later call, its outcome and duration, goes to log as well (null: to none).
    void logTo(RunLog* log) noexcept { log_ = log; }
    // The kind of answer the last call gave, for the log: a literal.
    void noteAnswer(const char* kind) noexcept {
        if (log_ != nullptr) {
            log_->answer(kind);
        }
    }

    // The host's own words on the last call's failure (its exception's description), for support.
    void noteFailureText(std::wstring_view text) noexcept {
        if (log_ != nullptr) {
            log_->note("    Text des Hosts", text);
        }
    }

    // A host that kept rejecting calls past the busy bound is tried again: the next call goes to
    // it once more, within the same bound. A line lost to a call that was never answered stays lost.
    void takeCallsAgain() noexcept;

    // The host takes no more calls.
    bool lost() const noexcept { return failure() != host::HostFailure::Refused; }

    // Every host object held over this line, so that all of them can go back at once.
    void track(ComPtr<IDispatch>* object);
    void retrack(ComPtr<IDispatch>* from, ComPtr<IDispatch>* to) noexcept;
    void untrack(ComPtr<IDispatch>* object) noexcept;
    // The host has let go of us (an add-in's DisconnectFromSW): every reference held over this line
    // goes back now, and no call is made on it any more; each throws HostError(Gone) instead.
    void close() noexcept;
    std::uint64_t retries() const noexcept { return retries_; }
    const CallBounds& bounds() const noexcept { return bounds_; }

private:
    class Watchdog;

    [[noreturn]] void throwLost(const char* operation) const;
    host::HostFailure failure() const noexcept { return closeAfterCall_ ? host::HostFailure::Gone : lost_; }
    void hung(const char* operation) noexcept;
    void watch(const char* operation) noexcept;
    void unwatch() noexcept;

    CallBounds bounds_;
    HungHandler handler_;
    std::unique_ptr<Watchdog> watchdog_;
    host::HostFailure lost_ = host::HostFailure::Refused;
    std::uint64_t retries_ = 0;
    std::vector<ComPtr<IDispatch>*> held_;
    int calling_ = 0;            // calls of ours under way on this line
    bool closeAfterCall_ = false; // closed from inside one of them
    RunLog* log_ = nullptr;
};

} // namespace tvx::com
