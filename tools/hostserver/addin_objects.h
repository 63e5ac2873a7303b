// The host objects an add-in uses to put its commands into the host: the command manager, its
// command groups, command tabs and tab boxes; and the application's add-in calls.
#pragma once

#include "tools/hostserver/addin_host.h"
#include "tools/hostserver/dispatch_core.h"

#include <memory>

namespace tvx::hostserver {

// The server's add-in host; HostError when the server hosts no add-ins.
AddinHost& addinHostOf(const DispatchContext& context);

// Frame's answer: the host's main window, whose GetHWnd is the frame's (0 without add-ins).
Answer frameOf(const std::shared_ptr<DispatchContext>& context);

// GetCommandManager's answer for the add-in with that cookie.
Answer commandManagerFor(const std::shared_ptr<DispatchContext>& context, std::int32_t cookie);

} // namespace tvx::hostserver
