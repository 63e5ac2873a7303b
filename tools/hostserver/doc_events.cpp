#include "tools/hostserver/doc_events.h"

#include "drawing/com/dispatch_client.h"
#include "drawing/com/failure_text.h"

namespace tvx::hostserver {

namespace {

bool beforeTheWrite(DISPID id) {
    return id == kFileSaveNotify || id == kFileSaveAsNotify2;
}

const char* notifyName(DISPID id) {
    switch (id) {
    case kDestroyNotify: return "DestroyNotify";
    case kFileSaveNotify: return "FileSaveNotify";
    case kFileSaveAsNotify2: return "FileSaveAsNotify2";
    case kFileSavePostNotify: return "FileSavePostNotify";
    case kFileSavePostCancelNotify: return "FileSavePostCancelNotify";
    default: return "notification";
    }
}

} // namespace

DocEvents::DocEvents(EventSinks::Remark remark)
    : remark_(remark), sinks_(std::make_shared<EventSinks>(kDrawingDocEventsIid, "document event sink", remark)) {}

void DocEvents::fire(DISPID id, const std::wstring& fileName) {
    std::vector<UniqueVariant> args;
    if (id == kFileSaveNotify || id == kFileSaveAsNotify2) {
        args.push_back(com::arg(fileName));
    } else if (id == kFileSavePostNotify) {
        args.push_back(com::arg(kSwFileSave));
        args.push_back(com::arg(fileName));
    }
    remark_("-- " + std::string(notifyName(id)) + " (" + std::to_string(id) + ") fired to " +
            std::to_string(sinks_->size()) + " document event sinks");
    sinks_->fire(id, args);
}

bool DocEvents::save(const std::wstring& fileName, const std::function<bool()>& write) {
    for (const DISPID id : saveNotifications_) {
        if (beforeTheWrite(id)) {
            fire(id, fileName);
        }
    }
    const bool written = write();
    remark_("-- the drawing " + std::string(written ? "was saved to " : "could not be saved to ") + com::toUtf8(fileName));
    bool cancelSent = false;
    for (const DISPID id : saveNotifications_) {
        const DISPID sent = id == kFileSavePostNotify && !written ? kFileSavePostCancelNotify : id;
        if (beforeTheWrite(id) || (sent == kFileSavePostCancelNotify && (written || cancelSent))) {
            continue;
        }
        cancelSent = cancelSent || sent == kFileSavePostCancelNotify;
        fire(sent, fileName);
    }
    return written;
}

void DocEvents::close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    // Quiet without subscribers: a host that closes its document at every end would otherwise
    // add a line to every trace.
    if (!sinks_->empty()) {
        fire(kDestroyNotify, {});
    }
    sinks_->releaseAll();
    // A point the client still holds takes no new sinks for a document that has gone.
    sinks_->refuse(CONNECT_E_CANNOTCONNECT);
}

} // namespace tvx::hostserver
