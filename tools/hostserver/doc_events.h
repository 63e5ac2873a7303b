// The drawing document's event interface as the stand-in offers it: one connection point on the
// document object, the save notifications around a save, and the destroy notification when the
// document closes.
#pragma once

#include "drawing/com/event_sink.h"
#include "tools/hostserver/event_point.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tvx::hostserver {

using com::kDrawingDocEventsIid;
using com::kDestroyNotify;
using com::kFileSaveNotify;
using com::kFileSaveAsNotify2;
using com::kFileSavePostNotify;
using com::kFileSavePostCancelNotify;
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
