// The add-in's shell around the exe's run: the same sequences, dialogs and messages, started by
// the host's command on the host's thread, and ended by returning to the host instead of ending
// the process.
#pragma once

#include "drawing/com/com_owners.h"

#include <windows.h>

#include <exception>
#include <memory>

namespace tvx::addin {

class AddinShell {
public:
    AddinShell(HINSTANCE module, com::ComPtr<IDispatch> app);
    AddinShell(const AddinShell&) = delete;
    AddinShell& operator=(const AddinShell&) = delete;
    ~AddinShell();

    // The command: starts a run, or brings the open one (or the exe's) to the front.
    void command() noexcept;
    // 1 while a drawing is the active document, else 0.
    long enableState() noexcept;
    // Ends an open run as Cancel does; then nothing of the add-in is left on screen.
    void endRun() noexcept;
    bool running() const noexcept { return run_ != nullptr; }

private:
    class Run;
    friend class Run;
    static LRESULT CALLBACK shellWindowProc(HWND, UINT, WPARAM, LPARAM);
    void finishLater() noexcept;
    void destroyRun() noexcept;

    HINSTANCE module_;
    com::ComPtr<IDispatch> app_;
    std::unique_ptr<Run> run_;
    HWND window_ = nullptr; // message-only: a run that ends inside its own window is taken down from here
};

} // namespace tvx::addin
