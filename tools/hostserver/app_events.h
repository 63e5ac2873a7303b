// The application's event interface as the stand-in offers it: one connection point on the
// application object, and the idle notification fired from the host's main loop.
#pragma once

#include "tools/hostserver/event_point.h"

#include <chrono>
#include <memory>
#include <string>

namespace tvx::hostserver {

// As the host's type library has them (docs/addin-calls.md says where they come from).
inline constexpr IID kAppEventsIid = {0x83A33D22, 0x37C5, 0x11CE, {0xBF, 0xD4, 0x00, 0x40, 0x05, 0x13, 0xBB, 0x57}};
inline constexpr DISPID kOnIdleNotifyDispid = 20;

class AppEvents {
public:
    explicit AppEvents(EventSinks::Remark remark)
        : sinks_(std::make_shared<EventSinks>(kAppEventsIid, "event sink", std::move(remark))) {}
    // A host that does not give the event: Advise answers CONNECT_E_ADVISELIMIT, as a
    // connection point whose limit of sinks is zero.
    void refuseSubscriptions() { sinks_->refuse(CONNECT_E_ADVISELIMIT); }
    const std::shared_ptr<EventSinks>& sinks() const noexcept { return sinks_; }

    // From the main loop whenever its queue has run empty: at most every 50 ms.
    void idle();
    int reportLeft() const { return sinks_->reportLeft(); }

private:
    std::shared_ptr<EventSinks> sinks_;
    std::chrono::steady_clock::time_point lastIdle_{};
};

} // namespace tvx::hostserver
