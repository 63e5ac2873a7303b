// The stand-in host's automation objects: one IDispatch kind per host object, each answering
// exactly the operations the program uses, over any implementation of the host port.
#pragma once

#include "tools/hostserver/dispatch_core.h"

#include <memory>

namespace tvx::hostserver {

// The application object a server registers as the running host.
ComPtr<IDispatch> makeAppDispatch(std::shared_ptr<DispatchContext> context, host::AppRef app);

} // namespace tvx::hostserver
