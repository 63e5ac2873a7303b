// The host references every later host call starts from, and attaching to the host.
#pragma once

#include "drawing/host.h"
#include "drawing/owed_steps.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tvx {

inline constexpr std::int32_t kDrawingDocType = 3;

struct HostSession {
    host::AppRef hostApp;
    host::DocRef hostDoc;
    host::ViewRef hostView; // first view after openSession; the scan and placing use it as a cursor
    std::wstring sheetName;
    // The drawing's title, for the support log only; none when the host did not tell.
    std::optional<std::wstring> title;
    // What the run must take back should it end before it is done.
    OwedSteps owed;
    // A call went unanswered past its bound: nothing more may be asked of the host, not even to
    // tidy up.
    bool hostHung = false;
    // Where the run's Undo recording was started and is not yet finished; empty otherwise.
    host::ExtensionRef undoRecording;
};

// Shows a message modally with the main dialog's caption and icon; returns once dismissed.
using RaiseMessage = std::function<void(const std::wstring& message)>;

// True when a host runs and its active document is a drawing. Otherwise shows the message of the
// first condition that failed and answers False. An error of the type query is not passed over:
// it leaves openSession, since a document of unknown type must not be taken for a drawing.
bool openSession(HostSession& session, host::Connector& connector, const RaiseMessage& raise);

// Drops the owed steps (they hold host references too), then the references, view first.
void releaseHost(HostSession& session);

} // namespace tvx
