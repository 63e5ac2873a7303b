#include "alloc_meter.h"

#include <cstdlib>
#include <malloc.h>
#include <new>

namespace {

bool metering = false;
long long held = 0;
long long highest = 0;

void* allocate(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    if (metering) {
        held += static_cast<long long>(malloc_usable_size(p));
        highest = held > highest ? held : highest;
    }
    return p;
}

void release(void* p) noexcept {
    if (p == nullptr) {
        return;
    }
    if (metering) {
        held -= static_cast<long long>(malloc_usable_size(p));
    }
    std::free(p);
}

} // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }

namespace tvx::testing {

AllocMeter::AllocMeter() {
    held = 0;
    highest = 0;
    metering = true;
}

AllocMeter::~AllocMeter() { metering = false; }

std::size_t AllocMeter::peak() const { return static_cast<std::size_t>(highest); }

} // namespace tvx::testing
