#include "addin/host_events.h"

#include "addin/module.h"
#include "drawing/com/event_sink.h"

#include <atomic>

namespace tvx::addin {

// Called on the host's thread from inside its loop or its save: it only posts, and returns at once.
class EventSink final : public com::EventSink {
public:
    EventSink(const IID& events, std::vector<EventPost> posts) : com::EventSink(events), posts_(std::move(posts)) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        if (result != nullptr) {
            VariantInit(result);
        }
        if (!stopped_.load()) {
            for (const EventPost& post : posts_) {
                if (post.notification == id) {
                    PostMessageW(post.window, post.message, post.tag, 0);
                }
            }
        }
        // Every other notification of the interface is not ours to answer.
        return S_OK;
    }

    void stop() noexcept { stopped_.store(true); }

private:
    ModuleRef counted_; // the host may keep the sink past our end
    std::vector<EventPost> posts_;
    std::atomic<bool> stopped_{false};
};

EventSubscription::EventSubscription(com::ComPtr<IConnectionPoint> point, com::ComPtr<EventSink> sink,
                                     DWORD cookie) noexcept
    : point_(std::move(point)), sink_(std::move(sink)), cookie_(cookie) {}

EventSubscription::~EventSubscription() {
    sink_->stop();
    point_->Unadvise(cookie_);
}

std::unique_ptr<EventSubscription> EventSubscription::subscribe(IDispatch* source, const IID& events,
                                                                 std::vector<EventPost> posts) noexcept {
    try {
        if (source == nullptr) {
            return nullptr;
        }
        const auto container = com::ComPtr<IDispatch>::borrow(source).query<IConnectionPointContainer>();
        com::ComPtr<IConnectionPoint> point;
        if (!container || FAILED(container->FindConnectionPoint(events, point.put())) || !point) {
            return nullptr;
        }
        auto sink = com::ComPtr<EventSink>::attach(std::make_unique<EventSink>(events, std::move(posts)).release());
        DWORD cookie = 0;
        if (FAILED(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie))) {
            return nullptr;
        }
        return std::make_unique<EventSubscription>(std::move(point), std::move(sink), cookie);
    } catch (...) {
        return nullptr;
    }
}

} // namespace tvx::addin
