// The add-in's shell around the exe's run: the same sequences, dialogs and messages, started by
// the host's command on the host's thread, and ended by returning to the host instead of ending
// the process.
#pragma once

#include "addin/host_events.h"
#include "addin/message_window.h"
#include "addin/module.h"
#include "addin/save_watch.h"
#include "drawing/com/com_owners.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <string>

namespace tvx::addin {

class AddinShell {
public:
    AddinShell(HINSTANCE module, com::ComPtr<IDispatch> app);
    AddinShell(const AddinShell&) = delete;
    AddinShell& operator=(const AddinShell&) = delete;
    ~AddinShell();

    // Subscribes to the host's idle notification, which a request of the dialog then waits for;
    // a host that refuses is noted in the log once. Asked once the host is known to be new enough.
    void listenForIdle() noexcept;
    // The command: starts a run, or brings the open one (or the exe's) to the front.
    void command() noexcept;
    // 1 while a drawing is the active document, else 0.
    long enableState() noexcept;
    // Ends an open run as Cancel does, or forgets a click still waiting for the configuration;
    // then nothing of the add-in is left on screen.
    void endRun() noexcept;
    // Lets go of the shell at disconnection. A run still inside one of its handlers (the host
    // disconnects from within a message's loop) keeps the shell until that has returned; its
    // message is closed so that it returns.
    static void release(std::shared_ptr<AddinShell> shell) noexcept;
    bool running() const noexcept { return run_ != nullptr; }
    // What the host said its revision is; empty when it did not say.
    const std::wstring& hostRevision() const noexcept { return hostRevision_; }

public:
    class Run;

private:
    friend class Run;
    struct PendingStart;
    static LRESULT CALLBACK shellWindowProc(HWND, UINT, WPARAM, LPARAM);
    void startRun() noexcept;
    void dropPendingStart() noexcept;
    void reportUnlessGone(HWND owner, const char* what) const noexcept;
    void finishLater() noexcept;
    void destroyRun() noexcept;
    void runFinished() noexcept;

    // A shell that outlives its add-in object (a run lingering after the disconnection) keeps the
    // DLL: DllCanUnloadNow answers false until it goes, and the lingering run pins it.
    ModuleRef counted_;
    HINSTANCE module_;
    com::ComPtr<IDispatch> app_;
    std::wstring hostRevision_; // for the log; empty when the host does not say
    std::unique_ptr<SaveWatch> watch_; // null: no check after a save (the host sends no idle notification)
    std::unique_ptr<EventSubscription> idle_; // null: the host sends no idle notification
    std::unique_ptr<Run> run_;
    std::unique_ptr<PendingStart> pending_; // a click waiting for the configuration, run_ empty
    MessageWindow owned_;
    HWND window_; // message-only: a run's requests are carried out here, and a run that ends inside its
                  // own window is taken down from here
    LPARAM runSerial_ = 0;
    std::shared_ptr<AddinShell> lingering_; // itself, while a run outlives the disconnection
};

} // namespace tvx::addin
