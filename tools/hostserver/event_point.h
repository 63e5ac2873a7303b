// One connection point of the stand-in host: the sinks subscribed to one event interface, with
// Advise as strict as a real host's, and the point and container objects that hand it out.
#pragma once

#include "drawing/com/com_owners.h"
#include "tools/hostserver/dispatch_core.h"

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tvx::hostserver {

class EventSinks {
public:
    using Remark = std::function<void(const std::string&)>;
    // How the trace names this point's sinks: "event sink", "document event sink".
    EventSinks(const IID& iid, std::string sinkName, Remark remark)
        : iid_(iid), sinkName_(std::move(sinkName)), remark_(std::move(remark)) {}

    const IID& iid() const noexcept { return iid_; }
    // Advise answers `answer` from now on, subscribing nothing.
    void refuse(HRESULT answer) { refusal_ = answer; }
    HRESULT advise(IUnknown* sink, DWORD* cookie);
    HRESULT unadvise(DWORD cookie);
    bool empty() const noexcept { return sinks_.empty(); }
    std::size_t size() const noexcept { return sinks_.size(); }
    // Each sink's Invoke with `args` given in the event's order; they go out in reverse, as a
    // dispinterface's arguments do. A sink's answer and failure are ignored, as the host ignores them.
    void fire(DISPID id, std::vector<UniqueVariant>& args);
    // The source went away: every sink released. Its subscriber may still give the cookie back.
    void releaseAll();
    // Sinks still subscribed, or released without their subscriber ever giving them back, each
    // named in the trace: references the subscriber left.
    int reportLeft() const;

private:
    void say(const std::string& line) const { remark_("-- " + line); }

    IID iid_;
    std::string sinkName_;
    Remark remark_;
    HRESULT refusal_ = S_OK;
    std::map<DWORD, ComPtr<IDispatch>> sinks_;
    std::set<DWORD> released_;
    DWORD nextCookie_ = 1;
};

// The connection point of `sinks`, holding the container it came from.
ComPtr<IConnectionPoint> makeConnectionPoint(std::shared_ptr<EventSinks> sinks,
                                             ComPtr<IConnectionPointContainer> container);

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
// A host object that offers its events: one object, one count, the container sharing the
// object's identity and references. Self::eventSinks() gives the point, or none while the object
// offers no events.
template <class Base, class Self>
class EventContainer : public Base, public IConnectionPointContainer {
public:
    using Base::Base;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object != nullptr && iid == IID_IConnectionPointContainer && static_cast<Self*>(this)->eventSinks()) {
            *object = static_cast<IConnectionPointContainer*>(this);
            AddRef();
            return S_OK;
        }
        return Base::QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Base::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Base::Release(); }

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override {
        if (points != nullptr) {
            *points = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
        if (point == nullptr) {
            return E_POINTER;
        }
        *point = nullptr;
        std::shared_ptr<EventSinks> sinks = static_cast<Self*>(this)->eventSinks();
        if (!sinks || iid != sinks->iid()) {
            return CONNECT_E_NOCONNECTION;
        }
        try {
            *point = makeConnectionPoint(std::move(sinks), ComPtr<IConnectionPointContainer>::borrow(this)).detach();
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

} // namespace tvx::hostserver
