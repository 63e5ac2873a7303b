#include "tools/hostprobe/idle_question.h"

#include "drawing/com/event_sink.h"
#include "drawing/com/com_owners.h"
#include "drawing/com/failure_text.h"

#include <ocidl.h>

namespace tvx::hostprobe {

namespace {

// The application's event interface and its idle notification, as the host's type library has
// them (docs/addin-calls.md).
constexpr IID kAppEventsIid = {0x83A33D22, 0x37C5, 0x11CE, {0xBF, 0xD4, 0x00, 0x40, 0x05, 0x13, 0xBB, 0x57}};
constexpr DISPID kOnIdleNotifyDispid = 20;

// Counts; every other notification of the interface is answered and ignored.
class IdleCounter final : public com::EventSink {
public:
    IdleCounter() : EventSink(kAppEventsIid) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        if (result != nullptr) {
            VariantInit(result);
        }
        if (id == kOnIdleNotifyDispid && counting_) {
            ++count_;
        }
        return S_OK;
    }

    void start() noexcept { counting_ = true; }
    std::uint32_t stop() noexcept {
        counting_ = false;
        return count_;
    }

private:
    bool counting_ = false;
    std::uint32_t count_ = 0;
};

// The notifications arrive as calls into this apartment, which come as window messages.
void dispatchMessagesFor(std::chrono::milliseconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    for (auto now = std::chrono::steady_clock::now(); now < end; now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count() + 1;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

} // namespace

hostprofile::IdleAnswer askIdleSubscription(IDispatch* app, com::HostLine& line, std::chrono::milliseconds wait) {
    hostprofile::IdleAnswer answer;
    answer.subscription = hostprofile::IdleSubscription::NoPoint;
    com::ComPtr<IConnectionPointContainer> container;
    HRESULT hr = line.call("QueryInterface", [&] {
        return app->QueryInterface(IID_IConnectionPointContainer, container.putVoid());
    });
    com::ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(hr) && container) {
        hr = line.call("FindConnectionPoint", [&] { return container->FindConnectionPoint(kAppEventsIid, point.put()); });
    }
    if (FAILED(hr) || !point) {
        answer.failure = com::describeHresult(FAILED(hr) ? hr : E_POINTER);
        return answer;
    }
    const auto counter = com::ComPtr<IdleCounter>::attach(std::make_unique<IdleCounter>().release());
    DWORD cookie = 0;
    hr = line.call("Advise", [&] { return point->Advise(static_cast<IDispatch*>(counter.get()), &cookie); });
    if (FAILED(hr)) {
        answer.subscription = hostprofile::IdleSubscription::Refused;
        answer.failure = com::describeHresult(hr);
        return answer;
    }
    answer.subscription = hostprofile::IdleSubscription::Accepted;
    counter->start();
    dispatchMessagesFor(wait);
    answer.perSecond = counter->stop();
    line.call("Unadvise", [&] { return point->Unadvise(cookie); });
    line.release(point);
    line.release(container);
    return answer;
}

} // namespace tvx::hostprobe
