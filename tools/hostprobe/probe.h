// The host probe: asks the running host every reading call of the host-call table over the
// whole drawing, every sheet, and records each answer as it came, before any conversion; with
// writing, inserts, names and selects one symbol and one note of its own as one Undo step, and
// takes that back with one Undo or, where the host does not, deletes them.
#pragma once

#include "drawing/com/com_owners.h"
#include "drawing/com/host_line.h"
#include "tools/hostprofile/host_profile.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tvx::hostprobe {

// The host is there but cannot be probed (no document, not a drawing): the German message.
class ProbeRefused : public std::runtime_error {
public:
    explicit ProbeRefused(const std::wstring& message);
    const std::wstring& message() const noexcept { return message_; }

private:
    std::wstring message_;
};

struct ProbeOptions {
    bool write = false;
    // How often each call on the application, document and sheet is made, for its median.
    unsigned repeats = 5;
    // Kept up to date while writing: what the probe has put into the drawing and not taken out
    // again, for the report when the host stops taking calls.
    std::vector<std::wstring>* leftInDrawing = nullptr;
    // The drawing is saved once, to its own file, to see which notifications a save sends.
    bool saveTest = false;
};

// Throws host::HostError when the host stops taking calls (busy past the bound); every other
// failed call is recorded and the probe goes on where it can.
hostprofile::HostProfile probeHost(com::ComPtr<IDispatch> app, std::shared_ptr<com::HostLine> line,
                                   const ProbeOptions& options);

} // namespace tvx::hostprobe
