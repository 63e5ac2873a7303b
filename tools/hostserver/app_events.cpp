#include "tools/hostserver/app_events.h"

#include <vector>

namespace tvx::hostserver {

void AppEvents::idle() {
    // Not the tick count: under Wine it may lag behind by more than the interval.
    const auto now = std::chrono::steady_clock::now();
    if (silent_ || sinks_->empty() || now - lastIdle_ < every_) {
        return;
    }
    lastIdle_ = now;
    std::vector<UniqueVariant> none;
    sinks_->fire(kOnIdleNotifyDispid, none);
}

void AppEvents::notifyPerSecond(std::uint32_t count) {
    silent_ = count == 0;
    if (count != 0) {
        every_ = std::chrono::nanoseconds(std::chrono::seconds(1)) / count;
    }
}

} // namespace tvx::hostserver
