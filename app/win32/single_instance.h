// One Tarvenix per user session. Two runs that both scanned the same drawing would each clear
// the other's output by name, so a second start never reaches the host: it shows the user the
// run that is already there and ends.
#pragma once

#include <windows.h>

#include <chrono>

namespace tvx::win {

inline constexpr std::chrono::milliseconds kClaimHandOver{500};

// The session-wide claim, held until the process ends. A claim left by an instance that crashed
// or was killed counts as free: the system abandons it with its owner.
class InstanceClaim {
public:
    // An instance that has just ended may hold the claim for a moment longer while the system
    // takes its process down: the claim waits up to `handOver` for it.
    explicit InstanceClaim(const wchar_t* name, std::chrono::milliseconds handOver = kClaimHandOver);
    InstanceClaim(const InstanceClaim&) = delete;
    InstanceClaim& operator=(const InstanceClaim&) = delete;
    ~InstanceClaim();

    // False: another instance of this session holds the claim.
    bool held() const { return held_; }
    // Waits up to `wait` for the claim to become free (the other instance ended) and takes it.
    bool takeOnceFree(std::chrono::milliseconds wait);

private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};

inline constexpr wchar_t kInstanceClaimName[] = L"Local\\Tarvenix.OneInstance";

// How long a second start waits for the first one's dialog or message while the first is still
// reading the drawing. Past that it ends without a window: the first shows its dialog in front
// by itself.
inline constexpr std::chrono::milliseconds kStartingPatience{5000};

// For a start that did not get the claim: brings the running instance's message, or else its
// main dialog, to the front, waiting up to `patience` for one to be visible. Gives up early when
// the running instance ends; this start does not run after it.
// True when a window was brought forward.
bool bringRunningInstanceForward(InstanceClaim& claim, std::chrono::milliseconds patience);

// For a caller whose thread may not wait (inside a host's process): the running instance's message
// or main dialog forward, on this thread, by calls that do not wait for the other instance's
// thread. False when none of them is visible.
bool bringRunningInstanceForwardNow();

} // namespace tvx::win
