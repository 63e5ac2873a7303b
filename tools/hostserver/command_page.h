// A command of the stand-in host under way, as a user leaves one open: its PropertyManager page is
// a small window beside the sheet, and the frame stays enabled, so an add-in's modeless dialog
// still takes clicks. GetRunningCommandInfo answers it, and the server marks a selection,
// deletion or insertion that arrives meanwhile.
#pragma once

#include "drawing/sim/sim_host.h"
#include "tools/hostserver/dispatch_core.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace tvx::hostserver {

class CommandPage {
public:
    CommandPage(sim::SimHost& host, DispatchContext& context) : host_(host), context_(context) {}
    CommandPage(const CommandPage&) = delete;
    CommandPage& operator=(const CommandPage&) = delete;
    ~CommandPage() { close(); }

    // Beside the frame's sheet, owned by it; without a frame (no add-ins), a window of its own.
    // A command already open is ended first, as the host ends one when another starts.
    void open(std::int32_t id, const std::wstring& title, HWND frame);
    // Does nothing when no command is open.
    void close();

private:
    sim::SimHost& host_;
    DispatchContext& context_;
    HWND window_ = nullptr;
};

} // namespace tvx::hostserver
