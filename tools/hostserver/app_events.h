// The application's event interface as the stand-in offers it: one connection point on the
// application object, and the idle notification fired from the host's main loop.
#pragma once

#include "drawing/com/com_owners.h"

#include <windows.h>
#include <ocidl.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace tvx::hostserver {

// As the host's type library has them (docs/addin-calls.md says where they come from).
inline constexpr IID kAppEventsIid = {0x83A33D22, 0x37C5, 0x11CE, {0xBF, 0xD4, 0x00, 0x40, 0x05, 0x13, 0xBB, 0x57}};
inline constexpr DISPID kOnIdleNotifyDispid = 20;

class AppEvents {
public:
    using Remark = std::function<void(const std::string&)>;

    explicit AppEvents(Remark remark) : remark_(std::move(remark)) {}
    // A host that does not give the event: Advise answers CONNECT_E_ADVISELIMIT, as a
    // connection point whose limit of sinks is zero.
    void refuseSubscriptions() { refuse_ = true; }
    // As often as a probed host sent it; 0: never.
    void notifyPerSecond(std::uint32_t count);

    HRESULT advise(IUnknown* sink, DWORD* cookie);
    HRESULT unadvise(DWORD cookie);
    // From the main loop whenever its queue has run empty: at most every 50 ms. A sink's answer
    // and failure are ignored, as the host ignores them.
    void idle();
    // Sinks still subscribed, each named in the trace: a reference the subscriber left.
    int reportLeft() const;

private:
    Remark remark_;
    bool refuse_ = false;
    std::map<DWORD, com::ComPtr<IDispatch>> sinks_;
    DWORD nextCookie_ = 1;
    std::chrono::steady_clock::time_point lastIdle_{};
    std::chrono::steady_clock::duration every_ = std::chrono::milliseconds(50);
    bool silent_ = false;
};

// Registers the event interface's type library built into the server's exe, as the host's
// installation registers its own: COM needs it to marshal a sink from another process. Answers
// the failure's HRESULT; S_OK when registered.
HRESULT registerEventsTypeLibrary();

// The application's connection point, holding the container it came from.
com::ComPtr<IConnectionPoint> makeAppConnectionPoint(std::shared_ptr<AppEvents> events,
                                                     com::ComPtr<IConnectionPointContainer> container);

} // namespace tvx::hostserver
