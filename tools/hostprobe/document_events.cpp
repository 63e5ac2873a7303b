#include "tools/hostprobe/document_events.h"

#include "drawing/com/event_sink.h"
#include "drawing/com/failure_text.h"

#include <ocidl.h>
#include <olectl.h>

#include <array>
#include <chrono>
#include <memory>
#include <vector>

namespace tvx::hostprobe {

namespace {

using com::ComPtr;
using com::UniqueVariant;
using hostprofile::DocSubscription;

constexpr std::int32_t kSaveSilently = 1; // swSaveAsOptions_Silent

// Records the DISPID of every notification; answers each at once.
class RecordingSink final : public com::EventSink {
public:
    explicit RecordingSink(std::shared_ptr<std::vector<std::int32_t>> seen)
        : EventSink(com::kDrawingDocEventsIid), seen_(std::move(seen)) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        seen_->push_back(static_cast<std::int32_t>(id));
        if (result != nullptr) {
            VariantInit(result);
            result->vt = VT_I4;
            result->lVal = 0;
        }
        return S_OK;
    }

private:
    // Shared: a host that never lets go of the sink may still call it after the probe is done.
    std::shared_ptr<std::vector<std::int32_t>> seen_;
};

// The notifications arrive as calls into this apartment: they need its messages dispatched.
void pumpUntil(const std::vector<std::int32_t>& seen, std::chrono::milliseconds most) {
    const auto end = std::chrono::steady_clock::now() + most;
    while (std::chrono::steady_clock::now() < end) {
        for (const std::int32_t id : seen) {
            if (id == com::kFileSavePostNotify || id == com::kFileSavePostCancelNotify) {
                return;
            }
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void saveOnce(com::DispatchObject& doc, hostprofile::DocumentEvents& found, const std::vector<std::int32_t>& seen) {
    found.saveTested = true;
    LONG errors = 0;
    LONG warnings = 0;
    std::array<UniqueVariant, 3> args{com::arg(kSaveSilently), UniqueVariant(), UniqueVariant()};
    args[1].get().vt = VT_BYREF | VT_I4;
    args[1].get().plVal = &errors;
    args[2].get().vt = VT_BYREF | VT_I4;
    args[2].get().plVal = &warnings;
    try {
        const UniqueVariant saved = doc.call("Save3", std::span<UniqueVariant>(args));
        if (saved.vt() != VT_BOOL || saved.get().boolVal == VARIANT_FALSE) {
            found.saveError = "Save3: nicht gespeichert, Fehler " + std::to_string(errors);
        }
    } catch (const host::HostError& e) {
        if (e.stopsRun() || e.unreachable()) {
            throw;
        }
        found.saveError = e.what();
    }
    pumpUntil(seen, std::chrono::milliseconds(1000));
    found.saveNotifications = seen;
}

} // namespace

hostprofile::DocumentEvents probeDocumentEvents(com::DispatchObject& doc, bool saveTest) {
    hostprofile::DocumentEvents found;
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    if (FAILED(doc.raw()->QueryInterface(IID_IConnectionPointContainer, container.putVoid())) || !container ||
        FAILED(container->FindConnectionPoint(com::kDrawingDocEventsIid, point.put())) || !point) {
        found.subscription = DocSubscription::NotOffered;
        return found;
    }
    const auto seen = std::make_shared<std::vector<std::int32_t>>();
    const auto sink = ComPtr<IDispatch>::attach(std::make_unique<RecordingSink>(seen).release());
    DWORD cookie = 0;
    const HRESULT advised = point->Advise(sink.get(), &cookie);
    if (FAILED(advised)) {
        found.subscription = DocSubscription::Refused;
        found.adviseAnswer = com::describeHresult(advised);
        return found;
    }
    found.subscription = DocSubscription::Accepted;
    if (saveTest) {
        try {
            saveOnce(doc, found, *seen);
        } catch (...) {
            point->Unadvise(cookie);
            throw;
        }
    }
    point->Unadvise(cookie);
    return found;
}

} // namespace tvx::hostprobe
