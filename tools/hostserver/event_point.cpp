#include "tools/hostserver/event_point.h"

#include "drawing/com/com_object.h"

#include <utility>

namespace tvx::hostserver {

namespace {

class ConnectionPoint final : public com::ComObject<IConnectionPoint> {
public:
    ConnectionPoint(std::shared_ptr<EventSinks> sinks, ComPtr<IConnectionPointContainer> container)
        : sinks_(std::move(sinks)), container_(std::move(container)) {}

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        if (iid == nullptr) {
            return E_POINTER;
        }
        *iid = sinks_->iid();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override {
        if (container == nullptr) {
            return E_POINTER;
        }
        *container = ComPtr<IConnectionPointContainer>(container_).detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override { return sinks_->advise(sink, cookie); }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override { return sinks_->unadvise(cookie); }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override {
        if (connections != nullptr) {
            *connections = nullptr;
        }
        return E_NOTIMPL;
    }

private:
    std::shared_ptr<EventSinks> sinks_;
    ComPtr<IConnectionPointContainer> container_;
};

} // namespace

HRESULT EventSinks::advise(IUnknown* sink, DWORD* cookie) {
    if (sink == nullptr || cookie == nullptr) {
        return E_POINTER;
    }
    *cookie = 0;
    if (refusal_ != S_OK) {
        say(sinkName_ + " refused: the host gives no such subscription");
        return refusal_;
    }
    // Strict: the sink must answer the event interface itself, not only IDispatch.
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(iid_, events.putVoid())) || !events) {
        say(sinkName_ + " refused: it does not answer the event interface");
        return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = nextCookie_++;
    sinks_.emplace(*cookie, std::move(events));
    say(sinkName_ + " " + std::to_string(*cookie) + " subscribed");
    return S_OK;
}

HRESULT EventSinks::unadvise(DWORD cookie) {
    if (released_.erase(cookie) != 0) {
        say(sinkName_ + " " + std::to_string(cookie) + " given back after the host released it");
        return S_OK;
    }
    const auto it = sinks_.find(cookie);
    if (it == sinks_.end()) {
        say("unsubscribing unknown " + sinkName_ + " " + std::to_string(cookie));
        return CONNECT_E_NOCONNECTION;
    }
    // Released after the map no longer names it: its release may call back into us.
    const ComPtr<IDispatch> gone = std::move(it->second);
    sinks_.erase(it);
    say(sinkName_ + " " + std::to_string(cookie) + " unsubscribed");
    return S_OK;
}

void EventSinks::fire(DISPID id, std::vector<UniqueVariant>& args) {
    // A sink may unsubscribe from inside its notification.
    std::vector<ComPtr<IDispatch>> sinks;
    for (const auto& [cookie, sink] : sinks_) {
        sinks.push_back(sink);
    }
    // Borrowed copies: the sink reads them and frees nothing.
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        reversed.push_back(it->get());
    }
    for (const auto& sink : sinks) {
        DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        UniqueVariant answer;
        sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, answer.put(), nullptr, nullptr);
    }
}

void EventSinks::releaseAll() {
    // Moved out first: a sink's release may call back into us.
    const std::map<DWORD, ComPtr<IDispatch>> gone = std::exchange(sinks_, {});
    for (const auto& [cookie, sink] : gone) {
        released_.insert(cookie);
        say(sinkName_ + " " + std::to_string(cookie) + " released by the host");
    }
}

int EventSinks::reportLeft() const {
    for (const auto& [cookie, sink] : sinks_) {
        say(sinkName_ + " " + std::to_string(cookie) + " still subscribed");
    }
    for (const DWORD cookie : released_) {
        say(sinkName_ + " " + std::to_string(cookie) + " released by the host and never given back");
    }
    return static_cast<int>(sinks_.size() + released_.size());
}

ComPtr<IConnectionPoint> makeConnectionPoint(std::shared_ptr<EventSinks> sinks,
                                             ComPtr<IConnectionPointContainer> container) {
    return ComPtr<IConnectionPoint>::attach(
        std::make_unique<ConnectionPoint>(std::move(sinks), std::move(container)).release());
}

} // namespace tvx::hostserver
