// The drawing document's event interface as the stand-in offers it: one connection point on the
// document object, the save notifications around a save, and the destroy notification when the
// document closes.
#pragma once

#include "tools/hostserver/event_point.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tvx::hostserver {

// As the host's type library has them (docs/addin-calls.md says where they come from).
inline constexpr IID kDrawingDocEventsIid = {0x83A33D34, 0x37C5, 0x11CE, {0xBF, 0xD4, 0x00, 0x40, 0x05, 0x13, 0xBB, 0x57}};
enum DrawingNotify : DISPID {
    kDestroyNotify = 2,
    kFileSaveNotify = 6,            // (BSTR FileName), before the file is written
    kFileSaveAsNotify2 = 23,        // (BSTR FileName), before
    kFileSavePostNotify = 26,       // (I4 saveType, BSTR FileName), after
    kFileSavePostCancelNotify = 34, // (), when FileSavePostNotify is not fired
};
inline constexpr std::int32_t kSwFileSave = 1;

class DocEvents {
public:
    explicit DocEvents(EventSinks::Remark remark);

    // A host that will not let the document's events be subscribed to.
    void refuseSubscriptions() { sinks_->refuse(CONNECT_E_CANNOTCONNECT); }
    // What a save sends, in order; a host's own list (from its profile) instead of 6 then 26.
    void setSaveNotifications(std::vector<DISPID> notifications) { saveNotifications_ = std::move(notifications); }
    // None once the document has closed: it offers no events any more.
    std::shared_ptr<EventSinks> sinks() const { return closed_ ? nullptr : sinks_; }
    bool closed() const noexcept { return closed_; }

    // The notifications before the save, `write`, then those after it; a save that failed sends
    // FileSavePostCancelNotify instead of FileSavePostNotify. Each one fired is traced.
    bool save(const std::wstring& fileName, const std::function<bool()>& write);
    // DestroyNotify, then every sink released.
    void close();
    int reportLeft() const { return sinks_->reportLeft(); }

private:
    void fire(DISPID id, const std::wstring& fileName);

    EventSinks::Remark remark_;
    std::shared_ptr<EventSinks> sinks_;
    std::vector<DISPID> saveNotifications_{kFileSaveNotify, kFileSavePostNotify};
    bool closed_ = false;
};

} // namespace tvx::hostserver
