// The host's help warns that its selection calls do not work well while one of its commands runs
// or a PropertyManager page is open. The dialog is modeless, so the user may have left one open.
#pragma once

#include "drawing/run_log.h"
#include "drawing/session.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tvx {

struct OpenHostCommand {
    std::int32_t id = 0;
    std::wstring pageTitle;
};

// The command or page active in the host's user interface, or nothing. A host that does not know
// the call (older than revision 19) or fails it is passed over and the log says so; a host that
// stopped taking calls or is gone is not.
std::optional<OpenHostCommand> openHostCommand(const HostSession& session, RunLog& log);

} // namespace tvx
