// A message filter registered on the calling thread for the owner's lifetime; the filter registered
// before comes back after.
#pragma once

#include "drawing/com/com_owners.h"

#include <objidl.h>

#include <utility>

namespace tvx::com {

class FilterRegistration {
public:
    explicit FilterRegistration(ComPtr<IMessageFilter> filter) : filter_(std::move(filter)) {
        registered_ = SUCCEEDED(CoRegisterMessageFilter(filter_.get(), previous_.put()));
    }
    ~FilterRegistration() {
        if (registered_) {
            ComPtr<IMessageFilter> ours;
            CoRegisterMessageFilter(previous_.get(), ours.put());
        }
    }
    FilterRegistration(const FilterRegistration&) = delete;
    FilterRegistration& operator=(const FilterRegistration&) = delete;

    IMessageFilter* filter() const noexcept { return filter_.get(); }

private:
    ComPtr<IMessageFilter> filter_;
    ComPtr<IMessageFilter> previous_;
    bool registered_ = false;
};

} // namespace tvx::com
