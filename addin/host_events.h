// The add-in's subscription to the host application's idle notification, which the host sends
// once it has processed every message: the one moment it is ready for an add-in's calls.
#pragma once

#include "drawing/com/com_owners.h"

#include <windows.h>
#include <ocidl.h>

#include <memory>

namespace tvx::addin {

// The application's event interface and its idle notification, as the host's type library has
// them (docs/addin-calls.md).
inline constexpr IID kAppEventsIid = {0x83A33D22, 0x37C5, 0x11CE, {0xBF, 0xD4, 0x00, 0x40, 0x05, 0x13, 0xBB, 0x57}};
inline constexpr DISPID kOnIdleNotifyDispid = 20;

class IdleSink;

class IdleSubscription {
public:
    // Each idle notification posts `message` to `window`, nothing more. Null when the host
    // offers no such subscription or refuses it.
    static std::unique_ptr<IdleSubscription> subscribe(IDispatch* app, HWND window, UINT message) noexcept;
    IdleSubscription(const IdleSubscription&) = delete;
    IdleSubscription& operator=(const IdleSubscription&) = delete;
    // Gives the subscription back; the host may hold the sink longer, and it then posts nothing.
    ~IdleSubscription();

    IdleSubscription(com::ComPtr<IConnectionPoint> point, com::ComPtr<IdleSink> sink, DWORD cookie) noexcept;

private:
    com::ComPtr<IConnectionPoint> point_;
    com::ComPtr<IdleSink> sink_;
    DWORD cookie_;
};

} // namespace tvx::addin
