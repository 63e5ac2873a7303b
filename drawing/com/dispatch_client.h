// Late-bound calls on one host object: names resolved through GetIDsOfNames, calls made through
// Invoke, every failure turned into host::HostError naming the operation.
#pragma once

#include "drawing/com/com_owners.h"
#include "drawing/com/host_line.h"
#include "drawing/host.h"

#include <array>
#include <cstdint>
#include <memory>
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

// Member names already resolved to DISPIDs. Shared by the objects of one kind: a host's
// objects of one kind are one interface of its type library, with the same DISPIDs.
class MemberIds {
public:
    bool find(const char* operation, DISPID& id) const;
    void add(const char* operation, DISPID id) { ids_.emplace_back(operation, id); }

private:
    std::vector<std::pair<const char*, DISPID>> ids_;
};

class DispatchObject {
public:
    // Without a shared table the object learns its names alone; without a line it has its own,
    // with the default bounds and no watch for a call that never returns.
    explicit DispatchObject(ComPtr<IDispatch> object, std::shared_ptr<MemberIds> ids = nullptr,
                            std::shared_ptr<HostLine> line = nullptr);
    ~DispatchObject();
    DispatchObject(DispatchObject&& other) noexcept;
    DispatchObject& operator=(DispatchObject&& other) noexcept;

    // A method call; arguments in the order the host's table lists them.
    UniqueVariant call(const char* operation, std::span<UniqueVariant> args);
    UniqueVariant get(const char* operation);
    // A property that takes arguments (an indexed property).
    UniqueVariant get(const char* operation, std::span<UniqueVariant> args);
    void put(const char* operation, UniqueVariant value);

    template <class... A>
    UniqueVariant call(const char* operation, const A&... values) {
        std::array<UniqueVariant, sizeof...(A)> args{arg(values)...};
        return call(operation, std::span<UniqueVariant>(args));
    }

    IDispatch* raw() const noexcept { return object_.get(); }
    // For the objects this one answers with: their calls and releases go over the same line.
    const std::shared_ptr<HostLine>& line() const noexcept { return line_; }

private:
    void letGo() noexcept;
    DISPID memberId(const char* operation);
    UniqueVariant invoke(const char* operation, WORD kind, std::span<UniqueVariant> args);

    ComPtr<IDispatch> object_;
    // Asking the host for a name costs a round trip to its process, as much as the call itself.
    std::shared_ptr<MemberIds> ids_;
    std::shared_ptr<HostLine> line_;
};

} // namespace tvx::com
