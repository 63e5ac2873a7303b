#include "addin/host_events.h"

#include "addin/module.h"
#include "drawing/com/event_sink.h"

#include <atomic>

namespace tvx::addin {

// Called on the host's thread from inside its loop: it only posts, and returns at once.
class IdleSink final : public com::EventSink {
public:
    IdleSink(HWND window, UINT message) : EventSink(kAppEventsIid), window_(window), message_(message) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        if (result != nullptr) {
            VariantInit(result);
        }
        const HWND window = window_.load();
        if (id == kOnIdleNotifyDispid && window != nullptr) {
            PostMessageW(window, message_, 0, 0);
        }
        // Every other notification of the interface is not ours to answer.
        return S_OK;
    }

    void stop() noexcept { window_.store(nullptr); }

private:
    ModuleRef counted_; // the host may keep the sink past our end
    std::atomic<HWND> window_;
    UINT message_;
};

IdleSubscription::IdleSubscription(com::ComPtr<IConnectionPoint> point, com::ComPtr<IdleSink> sink, DWORD cookie) noexcept
    : point_(std::move(point)), sink_(std::move(sink)), cookie_(cookie) {}

IdleSubscription::~IdleSubscription() {
    sink_->stop();
    point_->Unadvise(cookie_);
}

std::unique_ptr<IdleSubscription> IdleSubscription::subscribe(IDispatch* app, HWND window, UINT message) noexcept {
    try {
        if (app == nullptr) {
            return nullptr;
        }
        const auto container = com::ComPtr<IDispatch>::borrow(app).query<IConnectionPointContainer>();
        com::ComPtr<IConnectionPoint> point;
        if (!container || FAILED(container->FindConnectionPoint(kAppEventsIid, point.put())) || !point) {
            return nullptr;
        }
        auto sink = com::ComPtr<IdleSink>::attach(std::make_unique<IdleSink>(window, message).release());
        DWORD cookie = 0;
        if (FAILED(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie))) {
            return nullptr;
        }
        return std::make_unique<IdleSubscription>(std::move(point), std::move(sink), cookie);
    } catch (...) {
        return nullptr;
    }
}

} // namespace tvx::addin
