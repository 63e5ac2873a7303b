// The table-driven object kinds behind the stand-in host's dispatch objects.
#pragma once

#include "tools/hostserver/dispatch_core.h"

#include <vector>

namespace tvx::hostserver {

template <class Self>
struct Member {
    MemberInfo info;
    Answer (*handler)(Self&, const CallArgs&);
};

// An object kind whose members are Self::table(): names, access, argument types, handlers.
template <class Self, class Ref>
class TableObject : public DispatchCore {
public:
    TableObject(std::shared_ptr<DispatchContext> context, const char* kind, Ref ref)
        : DispatchCore(std::move(context), kind), ref_(std::move(ref)) {}

    Ref& ref() noexcept { return ref_; }
    const Ref& ref() const noexcept { return ref_; }

    // A host object handed to the client, or the empty reference in the server's chosen form.
    template <class Object, class ObjectRef>
    Answer answer(const ObjectRef& object) {
        if (!object) {
            return Answer::object(nullptr, Object::kKind, context().emptyForm());
        }
        return Answer::object(makeDispatch<Object>(sharedContext(), object), Object::kKind, context().emptyForm());
    }

protected:
    std::span<const MemberInfo> members() const override {
        static const std::vector<MemberInfo> infos = [] {
            std::vector<MemberInfo> out;
            for (const auto& m : Self::table()) {
                out.push_back(m.info);
            }
            return out;
        }();
        return infos;
    }
    Answer run(std::size_t member, const CallArgs& args) override {
        return Self::table()[member].handler(static_cast<Self&>(*this), args);
    }

private:
    Ref ref_;
};

constexpr Access kMethod = Access::Method;
constexpr Access kGet = Access::Get;
constexpr Access kPut = Access::Put;

} // namespace tvx::hostserver
