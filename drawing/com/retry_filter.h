// The message filter a client registers for its run: on Windows, COM asks it what to do with a
// call the host rejected (retry after a growing pause, up to the busy bound) and lets the windows
// keep painting while a call is under way.
#pragma once

#include "drawing/com/filter_registration.h"
#include "drawing/com/host_line.h"

#include <objidl.h>

namespace tvx::com {

// What RetryRejectedCall answers after the host has rejected a call for `elapsed` milliseconds:
// the pause before the next attempt (at least 100, which COM reads as "wait, then retry"), or
// -1 to stop once the bound has passed.
DWORD retryAnswer(DWORD elapsed, Millis busyBound);

// Registered on the calling thread for its lifetime; the one registered before comes back after.
class MessageFilterRegistration {
public:
    explicit MessageFilterRegistration(Millis busyBound);

    // How often COM asked about a rejected call; Wine's COM never does.
    unsigned long asked() const noexcept;

private:
    FilterRegistration registration_;
};

} // namespace tvx::com
