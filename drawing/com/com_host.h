// The host port over late-bound automation: every operation called by name on the host's
// IDispatch objects, with the host's argument types, in the host's order.
#pragma once

#include "drawing/com/com_owners.h"
#include "drawing/host.h"

#include <string>

namespace tvx::com {

// Attaches to the running object registered under a class name: class ID from the name, then
// the running object table. Needs COM on the calling thread (ComApartment).
class ComConnector final : public host::Connector {
public:
    host::AppRef attach(const std::wstring& className) override;
};

// The application behind an IDispatch the caller already holds.
host::AppRef wrapApp(ComPtr<IDispatch> app);

} // namespace tvx::com
