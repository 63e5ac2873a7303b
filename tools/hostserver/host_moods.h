// A host that is not always ready: busy (calls rejected for a while from call N on), slow (every
// call takes longer) or hung (call N never answered, the process still there). Every rejection
// and the hang are traced as "-- ..." lines, which number no call.
#pragma once

#include <windows.h>
#include "drawing/com/filter_registration.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tvx::hostserver {

// How a busy host says so. Wine's COM (8.0) runs a call whose message filter answers
// SERVERCALL_RETRYLATER as if it were handled, and answers RPC_E_CALL_REJECTED to the caller for
// SERVERCALL_REJECTED; answering the code from Invoke works everywhere.
enum class BusyBy { Invoke, FilterRetryLater, FilterRejected };

struct MoodOptions {
    std::uint64_t busyAt = 0;   // 0: never busy
    std::uint32_t busyForMs = 0;
    BusyBy busyBy = BusyBy::Invoke;
    std::uint32_t slowMs = 0;   // every call waits this long before it runs
    std::uint64_t hangAt = 0;   // 0: never hangs
};

class HostMoods {
public:
    using TraceSink = std::function<void(const std::string& line)>;
    // Called in place of answering the hung call; it never returns (the server ends from there).
    using Hang = std::function<void()>;

    HostMoods(MoodOptions options, TraceSink trace, Hang hang);

    // For the dispatch gate: what to answer instead of running call `next`, or S_OK.
    HRESULT beforeCall(std::uint64_t next, const std::string& operation);
    // For the message filter: whether an incoming Invoke that would be call `next` is turned away.
    bool filterRejects(std::uint64_t next);

    bool usesFilter() const noexcept { return options_.busyBy != BusyBy::Invoke && options_.busyAt != 0; }
    const MoodOptions& options() const noexcept { return options_; }

private:
    bool busyNow(std::uint64_t next);

    MoodOptions options_;
    TraceSink trace_;
    Hang hang_;
    ULONGLONG busyUntil_ = 0; // set when call busyAt first arrives
};

// The server's message filter while it is busy by filter; registered for its lifetime.
class BusyFilterRegistration {
public:
    // nextCall: the number the next Invoke would get.
    BusyFilterRegistration(HostMoods& moods, std::function<std::uint64_t()> nextCall);

private:
    com::FilterRegistration registration_;
};

} // namespace tvx::hostserver
