#include "tools/hostserver/app_events.h"

#include "drawing/com/com_object.h"

#include <olectl.h>

#include <vector>

namespace tvx::hostserver {

namespace {

class AppConnectionPoint final : public com::ComObject<IConnectionPoint> {
public:
    AppConnectionPoint(std::shared_ptr<AppEvents> events, com::ComPtr<IConnectionPointContainer> container)
        : events_(std::move(events)), container_(std::move(container)) {}

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        if (iid == nullptr) {
            return E_POINTER;
        }
        *iid = kAppEventsIid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override {
        if (container == nullptr) {
            return E_POINTER;
        }
        *container = com::ComPtr<IConnectionPointContainer>(container_).detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override { return events_->advise(sink, cookie); }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override { return events_->unadvise(cookie); }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override {
        if (connections != nullptr) {
            *connections = nullptr;
        }
        return E_NOTIMPL;
    }

private:
    std::shared_ptr<AppEvents> events_;
    com::ComPtr<IConnectionPointContainer> container_;
};

} // namespace

HRESULT AppEvents::advise(IUnknown* sink, DWORD* cookie) {
    if (sink == nullptr || cookie == nullptr) {
        return E_POINTER;
    }
    *cookie = 0;
    if (refuse_) {
        remark_("-- the host refused an event subscription");
        return CONNECT_E_ADVISELIMIT;
    }
    // Strict: the sink must answer the event interface itself, not only IDispatch.
    com::ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(kAppEventsIid, events.putVoid())) || !events) {
        remark_("-- an event sink that does not answer the event interface was refused");
        return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = nextCookie_++;
    sinks_.emplace(*cookie, std::move(events));
    remark_("-- event sink " + std::to_string(*cookie) + " subscribed");
    return S_OK;
}

HRESULT AppEvents::unadvise(DWORD cookie) {
    const auto it = sinks_.find(cookie);
    if (it == sinks_.end()) {
        remark_("-- unsubscribing unknown event sink " + std::to_string(cookie));
        return CONNECT_E_NOCONNECTION;
    }
    // Released after the map no longer names it: its release may call back into us.
    const com::ComPtr<IDispatch> gone = std::move(it->second);
    sinks_.erase(it);
    remark_("-- event sink " + std::to_string(cookie) + " unsubscribed");
    return S_OK;
}

void AppEvents::idle() {
    // Not the tick count: under Wine it may lag behind by more than the interval.
    const auto now = std::chrono::steady_clock::now();
    if (silent_ || sinks_.empty() || now - lastIdle_ < every_) {
        return;
    }
    lastIdle_ = now;
    // A sink may unsubscribe from inside its notification.
    std::vector<com::ComPtr<IDispatch>> sinks;
    for (const auto& [cookie, sink] : sinks_) {
        sinks.push_back(sink);
    }
    for (const auto& sink : sinks) {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        com::UniqueVariant answer;
        sink->Invoke(kOnIdleNotifyDispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, answer.put(), nullptr,
                     nullptr);
    }
}

void AppEvents::notifyPerSecond(std::uint32_t count) {
    silent_ = count == 0;
    if (count != 0) {
        every_ = std::chrono::nanoseconds(std::chrono::seconds(1)) / count;
    }
}

int AppEvents::reportLeft() const {
    for (const auto& [cookie, sink] : sinks_) {
        remark_("-- event sink " + std::to_string(cookie) + " still subscribed");
    }
    return static_cast<int>(sinks_.size());
}

HRESULT registerEventsTypeLibrary() {
    std::wstring exe(MAX_PATH, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    if (length == 0 || length >= exe.size()) {
        return E_FAIL;
    }
    exe.resize(length);
    com::ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(exe.c_str(), REGKIND_NONE, library.put());
    if (SUCCEEDED(hr)) {
        hr = RegisterTypeLib(library.get(), exe.data(), nullptr);
    }
    return hr;
}

com::ComPtr<IConnectionPoint> makeAppConnectionPoint(std::shared_ptr<AppEvents> events,
                                                     com::ComPtr<IConnectionPointContainer> container) {
    return com::ComPtr<IConnectionPoint>::attach(
        std::make_unique<AppConnectionPoint>(std::move(events), std::move(container)).release());
}

} // namespace tvx::hostserver
