// The add-in's subscriptions to the host's events: the application's (its idle notification, sent
// once it has processed every message, the one moment it is ready for an add-in's calls; the
// change of the active document) and a drawing's (saved, closed).
#pragma once

#include "drawing/com/com_owners.h"

#include <windows.h>
#include <ocidl.h>

#include <memory>
#include <vector>

namespace tvx::addin {

// The application's event interface and its notifications, as the host's type library has them
// (docs/addin-calls.md); the drawing's are in drawing/com/event_sink.h.
inline constexpr IID kAppEventsIid = {0x83A33D22, 0x37C5, 0x11CE, {0xBF, 0xD4, 0x00, 0x40, 0x05, 0x13, 0xBB, 0x57}};
inline constexpr DISPID kActiveDocChangeNotifyDispid = 4;
inline constexpr DISPID kOnIdleNotifyDispid = 20;

// What a notification becomes: a message posted to one of our windows, nothing more; its wParam
// tells which subscription it came from.
struct EventPost {
    DISPID notification;
    HWND window;
    UINT message;
    WPARAM tag = 0;
};

class EventSink;

class EventSubscription {
public:
    // The source's notifications of interface `events` are posted as `posts` say; every other one
    // is answered and dropped. Null when the source offers no such interface or refuses.
    static std::unique_ptr<EventSubscription> subscribe(IDispatch* source, const IID& events,
                                                        std::vector<EventPost> posts) noexcept;
    EventSubscription(const EventSubscription&) = delete;
    EventSubscription& operator=(const EventSubscription&) = delete;
    // Gives the subscription back; the host may hold the sink longer, and it then posts nothing.
    ~EventSubscription();

    EventSubscription(com::ComPtr<IConnectionPoint> point, com::ComPtr<EventSink> sink, DWORD cookie) noexcept;

private:
    com::ComPtr<IConnectionPoint> point_;
    com::ComPtr<EventSink> sink_;
    DWORD cookie_;
};

} // namespace tvx::addin
