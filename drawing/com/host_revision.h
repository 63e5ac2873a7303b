// The host's revision, for the support log: which host a run met matters most when a run fails
// on a host none of us can reach.
#pragma once

#include "drawing/com/dispatch_client.h"

#include <string>

namespace tvx::com {

// The application's RevisionNumber; empty when the host does not say. A call that fails is no
// failure of the run: the log then says the revision is unknown.
std::wstring hostRevision(DispatchObject& app) noexcept;

} // namespace tvx::com
