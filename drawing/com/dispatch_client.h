// Late-bound calls on one host object: names resolved through GetIDsOfNames, calls made through
// Invoke, every failure turned into host::HostError naming the operation.
#pragma once

#include "drawing/com/com_owners.h"
#include "drawing/host.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tvx::com {

// Arguments in exactly the host's types. No other overloads: a literal of the wrong width
// must not slip through as a neighbouring type.
UniqueVariant arg(std::int16_t value);
UniqueVariant arg(std::int32_t value);
UniqueVariant arg(bool value);
UniqueVariant arg(double value);
UniqueVariant arg(const std::wstring& value);
UniqueVariant arg(host::EmptyRef);
// A host object passed back to the host (VT_DISPATCH, null allowed).
UniqueVariant arg(IDispatch* object);
template <class T>
UniqueVariant arg(T) = delete;

class DispatchObject {
public:
    explicit DispatchObject(ComPtr<IDispatch> object);

    // A method call; arguments in the order the host's table lists them.
    UniqueVariant call(const char* operation, std::span<UniqueVariant> args);
    UniqueVariant get(const char* operation);
    void put(const char* operation, UniqueVariant value);

    template <class... A>
    UniqueVariant call(const char* operation, const A&... values) {
        std::array<UniqueVariant, sizeof...(A)> args{arg(values)...};
        return call(operation, std::span<UniqueVariant>(args));
    }

    IDispatch* raw() const noexcept { return object_.get(); }

private:
    DISPID memberId(const char* operation);
    UniqueVariant invoke(const char* operation, WORD kind, std::span<UniqueVariant> args);

    ComPtr<IDispatch> object_;
    // A member's DISPID is fixed for the object's lifetime; asking again would double every
    // call's round trips to the host process.
    std::vector<std::pair<const char*, DISPID>> ids_;
};

} // namespace tvx::com
