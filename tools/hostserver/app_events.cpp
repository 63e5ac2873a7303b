#include "tools/hostserver/app_events.h"

#include <vector>

namespace tvx::hostserver {

namespace {

constexpr auto kIdleEvery = std::chrono::milliseconds(50);

} // namespace

void AppEvents::idle() {
    // Not the tick count: under Wine it may lag behind by more than the interval.
    const auto now = std::chrono::steady_clock::now();
    if (sinks_->empty() || now - lastIdle_ < kIdleEvery) {
        return;
    }
    lastIdle_ = now;
    std::vector<UniqueVariant> none;
    sinks_->fire(kOnIdleNotifyDispid, none);
}

} // namespace tvx::hostserver
