// A decorator of the host port that adds up the time spent inside the host's calls, so a
// benchmark can tell the run's own time from the stand-in host's.
#pragma once

#include "drawing/host.h"

#include <chrono>
#include <cstdint>
#include <memory>

namespace tvx::bench {

struct HostClock {
    std::chrono::nanoseconds inHost{0};
    std::uint64_t calls = 0;
};

// Wraps the connector; every object it hands out is wrapped in turn.
std::unique_ptr<host::Connector> timingConnector(host::Connector& inner, HostClock& clock);

// What one timed interval around no call at all measures: the clock's own share of each call.
std::chrono::nanoseconds emptyCallTime();

} // namespace tvx::bench
