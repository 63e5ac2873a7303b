// Counts the heap bytes held through operator new while a meter is running, to bound what a
// reader keeps in memory. Linking alloc_meter.cpp replaces the global operator new and delete
// of the whole test executable; single-threaded use only.
#pragma once

#include <cstddef>

namespace tvx::testing {

class AllocMeter {
public:
    AllocMeter();  // starts at zero
    ~AllocMeter(); // stops
    AllocMeter(const AllocMeter&) = delete;
    AllocMeter& operator=(const AllocMeter&) = delete;

    // The most bytes held at once since the meter started, over what was held then.
    std::size_t peak() const;
};

} // namespace tvx::testing
