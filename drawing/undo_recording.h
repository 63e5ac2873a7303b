// A run's changes to the drawing as one entry of the host's Undo list, so that one Undo takes the
// whole run back. The recording is an extra: a host without the calls, or one that refuses them,
// gets the run exactly as before and no message.
#pragma once

#include "drawing/session.h"

namespace tvx {

inline constexpr wchar_t kUndoEntryName[] = L"Oberfl\u00e4chenangabe";

// Starts the recording on the document's extension. Any failure leaves the run without one,
// except a host that takes no more calls, whose failure passes on.
void tryStartUndoRecording(HostSession& session);

// Finishes a recording that was started, once: a second call, or one without a start, asks the
// host nothing. An older host knows only the one-argument finish. A refusal or a finish that
// answers false is passed over; a host that takes no more calls passes on, and the recording
// stays open for a later try once it answers again.
void tryFinishUndoRecording(HostSession& session);

} // namespace tvx
