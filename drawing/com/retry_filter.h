// The message filter a client registers for its run: on Windows, COM asks it what to do with a
// call the host rejected (retry after a growing pause, up to the busy bound) and lets the windows
// keep painting while a call is under way.
#pragma once

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
    ~MessageFilterRegistration();
    MessageFilterRegistration(const MessageFilterRegistration&) = delete;
    MessageFilterRegistration& operator=(const MessageFilterRegistration&) = delete;

    // How often COM asked about a rejected call; Wine's COM never does.
    unsigned long asked() const noexcept;

private:
    IMessageFilter* filter_ = nullptr;
    IMessageFilter* previous_ = nullptr;
    bool registered_ = false;
};

} // namespace tvx::com
