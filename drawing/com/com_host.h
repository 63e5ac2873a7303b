// The host port over late-bound automation: every operation called by name on the host's
// IDispatch objects, with the host's argument types, in the host's order.
#pragma once

#include "drawing/com/com_owners.h"
#include "drawing/com/dispatch_client.h"
#include "drawing/com/host_line.h"
#include "drawing/host.h"

#include <functional>
#include <string>

namespace tvx::com {

// Attaches to the running object registered under a class name: class ID from the name, then
// the running object table. Needs COM on the calling thread (ComApartment).
// Every call through what it attaches goes over one line with these bounds.
class ComConnector final : public host::Connector {
public:
    explicit ComConnector(CallBounds bounds = {});
    host::AppRef attach(const std::wstring& className) override;
    // Watches every call for the answer bound; see HostLine::onHung.
    void onHostHung(HostLine::HungHandler handler);
    // Runs once the host is attached, before the port asks it anything, with the application
    // over the same line: what a shell asks the host for itself.
    void onAttached(std::function<void(DispatchObject app)> handler) { attached_ = std::move(handler); }
    void takeCallsAgain() noexcept override { line_->takeCallsAgain(); }
    void logCallsTo(RunLog* log) noexcept override { line_->logTo(log); }
    const HostLine& line() const noexcept { return *line_; }

private:
    std::shared_ptr<HostLine> line_;
    std::function<void(DispatchObject)> attached_;
};

// The running object registered under a class name, as ComConnector::attach finds it, for a
// caller that makes its own calls on it. Throws host::HostError when none runs.
ComPtr<IDispatch> attachRunning(HostLine& line, const std::wstring& className);

// The application behind an IDispatch the caller already holds; its own line when given none.
host::AppRef wrapApp(ComPtr<IDispatch> app, std::shared_ptr<HostLine> line = nullptr);

} // namespace tvx::com
