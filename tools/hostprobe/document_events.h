// The probe's question about the drawing's own events: does the active drawing take a
// subscription to them, and, only when asked to save, which notifications a save sends.
#pragma once

#include "drawing/com/dispatch_client.h"
#include "tools/hostprofile/host_profile.h"

namespace tvx::hostprobe {

// Subscribes a sink to the drawing's event interface and gives it back. With `saveTest` the
// drawing is saved once in between (Save3, silent), to its own file, and the notifications that
// came within a second are recorded in order. A host that stops taking calls throws HostError.
hostprofile::DocumentEvents probeDocumentEvents(com::DispatchObject& doc, bool saveTest);

} // namespace tvx::hostprobe
