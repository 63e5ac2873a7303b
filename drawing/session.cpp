#include "drawing/session.h"

#include "drawing/messages.h"
#include "drawing/run_errors.h"

namespace tvx {
namespace {

// Runs one step whose host error is passed over: the target keeps its value. A host that takes
// no more calls is not passed over: it would be taken for a missing document.
template <class T, class Step>
void passOver(T& target, Step step) {
    try {
        target = step();
    } catch (const host::HostError&) {
        rethrowIfHostStopped();
    }
}

bool attach(HostSession& session, host::Connector& connector) {
    try {
        session.hostApp = connector.attach(host::kHostClassName);
    } catch (const host::HostError&) {
        rethrowIfHostStopped();
        return false;
    }
    return session.hostApp != nullptr;
}

} // namespace

bool openSession(HostSession& session, host::Connector& connector, const RaiseMessage& raise) {
    std::wstring message;
    bool result = false;
    if (!attach(session, connector)) {
        message = msg::kNoHostInstance;
    } else {
        passOver(session.hostDoc, [&] { return session.hostApp->ActiveDoc(); });
        if (!session.hostDoc) {
            message = msg::kNoDocument;
        } else if (session.hostDoc->GetType() == kDrawingDocType) {
            passOver(session.hostView, [&] { return session.hostDoc->GetFirstView(); });
            passOver(session.sheetName, [&] {
                return require(session.hostDoc->GetCurrentSheet(), "GetCurrentSheet")->GetName();
            });
            passOver(session.title, [&] { return session.hostDoc->GetTitle(); });
            result = true;
        } else {
            message = msg::kNoDrawing;
        }
    }
    if (!message.empty()) {
        raise(message);
    }
    return result;
}

void releaseHost(HostSession& session) {
    session.undoRecording.reset();
    session.owed.clear();
    session.hostView.reset();
    session.hostDoc.reset();
    session.hostApp.reset();
}

} // namespace tvx
