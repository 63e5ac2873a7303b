#include "addin/addin_shell.h"

#include "addin/dialog_keys.h"
#include "addin/host_commands.h"
#include "addin/module.h"
#include "addin/process_state.h"
#include "app/sequences.h"
#include "app/win32/config_location.h"
#include "app/win32/control_ids.h"
#include "app/win32/event_loop.h"
#include "app/win32/main_form.h"
#include "app/win32/message_dialog.h"
#include "app/win32/run_log_file.h"
#include "app/win32/single_instance.h"
#include "drawing/com/com_host.h"
#include "drawing/com/host_revision.h"
#include "drawing/com/host_window.h"
#include "drawing/session.h"

#include <chrono>
#include <optional>
#include <vector>
#include <utility>

namespace tvx::addin {
namespace {

constexpr wchar_t kShellClass[] = L"tvx_AddinShell";
constexpr UINT kFinishRun = WM_APP + 1;
// Without the host's idle notification, a request of the run's dialog is carried out from this
// window's own message (lParam: the run's serial number), never inside the hook, the control's
// handler or another loop; with it, from the notification's message.
constexpr UINT kRunRequest = WM_APP + 2;
constexpr UINT kHostIdle = WM_APP + 3;
// While a dialog is up, how often it looks whether the host's frame was disabled or enabled:
// the owner tells its owned windows nothing of it.
constexpr UINT_PTR kFollowOwnerTimer = 1;
constexpr UINT kFollowOwnerMs = 100;
// The configuration's read has ended (lParam: the click's serial number); past kConfigBoundTimer
// the click is answered without it.
constexpr UINT kConfigRead = WM_APP + 4;
constexpr UINT_PTR kConfigBoundTimer = 2;

enum RunRequest : WPARAM { kOkRequest = 1, kCancelRequest, kFailureRequest };

// Unlike the exe's, this run ends by returning to the host: the process is the host's.
class ReturnToHost final : public Terminator {
public:
    [[noreturn]] void endProcess(RunEnd) override { throw RunEnded{}; }
};

// The host object comes from ConnectToSW, not from the running-object table. Unlike the exe, no
// retry filter and no watch thread: in process the host cannot reject a call, and the watch's
// end of the process would end the host. Every reference the run takes is held over one line, so
// that a disconnection can give all of them back at once.
class GivenHost final : public host::Connector {
public:
    explicit GivenHost(com::ComPtr<IDispatch> app) : app_(std::move(app)) {}
    host::AppRef attach(const std::wstring&) override { return com::wrapApp(app_, line_); }
    // From here on every call throws HostError(Gone) instead of reaching the host.
    void close() noexcept {
        line_->close();
        app_.reset();
    }
    void logCallsTo(RunLog* log) noexcept override { line_->logTo(log); }

private:
    com::ComPtr<IDispatch> app_;
    std::shared_ptr<com::HostLine> line_ = std::make_shared<com::HostLine>();
};

// The run's messages, until the host disconnects: a run that ends after that shows nothing.
class RunMessages final : public MessageDialog {
public:
    explicit RunMessages(win::Win32MessageDialog& dialog) : dialog_(dialog) {}
    void Raise(const std::wstring& text, const std::wstring& title, FormIcon icon) override {
        if (!silenced_) {
            dialog_.Raise(text, title, icon);
        }
    }
    void silence() noexcept { silenced_ = true; }

private:
    win::Win32MessageDialog& dialog_;
    bool silenced_ = false;
};

void rethrowControlFailure(Program&) {
    std::rethrow_exception(std::exchange(processState().controlFailure, nullptr));
}

// Owned by the host's window when it is known, as the run's own messages are.
void reportOutsideRun(HWND owner, const char* what) noexcept {
    try {
        const std::wstring report = unexpectedReport(what);
        MessageBoxW(owner, report.c_str(), L"Tarvenix", MB_OK | MB_ICONERROR | (owner ? 0 : MB_TOPMOST));
    } catch (...) {
    }
}

void unregisterRunClasses(HINSTANCE module) {
    for (const wchar_t* name : {ids::kMainFormClass, ids::kMessageDialogClass, ids::kPictureBoxClass}) {
        UnregisterClassW(name, module);
    }
}

} // namespace

class AddinShell::Run {
public:
    // Unlike the exe's, the dialog and its messages are owned by the host's window (null: none).
    // The configuration was read before: the host's thread never waits for it.
    Run(AddinShell& shell, std::unique_ptr<win::InstanceClaim> claim, HWND owner, LPARAM serial,
        win::ConfigReading reading)
        : shell_(shell), claim_(std::move(claim)), owner_(owner), serial_(serial), folder_(moduleFolder()),
          form_(shell.module_, folder_, owner), gef_(shell.module_, owner), messages_(gef_), connector_(shell.app_),
          program_(form_, messages_, ending_, connector_, folder_), reading_(std::move(reading)) {
        program_.readConfiguration = [this](Config& cfg) { return win::takeReading(reading_, cfg, program_.log); };
        win::startRunLog(program_.log, shell.module_, "Add-in", reading_.path, win::RecordWriting::OnWorker);
        win::noteHostRevision(program_.log, shell.hostRevision_);
        // A button, or the hook's Enter or Space on one, only asks: the handler may run inside
        // the keyboard hook or inside a loop of the host's that is not ready for its calls.
        form_.setHandlers({
            [this] { request(kOkRequest); },
            [this] { request(kCancelRequest); },
            // Closing the window ends the run as Cancel does.
            [this] { request(kCancelRequest); },
        });
        // Unlike the exe, there is no event loop of ours to stop: a control's failure takes the
        // error route from the next message.
        win::onGuardedFailure([this](std::exception_ptr failure) {
            if (!processState().controlFailure) {
                processState().controlFailure = std::move(failure); // the first is the one to report
            }
            request(kFailureRequest);
        });
        // Published last: a constructor that throws must not leave the process's run dangling.
        processState().run = this;
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    ~Run() {
        win::onGuardedFailure(nullptr);
        // A failure that came while the run was ending anyway goes with it.
        processState().controlFailure = nullptr;
        processState().run = nullptr;
    }

    // What came before Form_Load, for the start-up's split in the log: the click's wait for the
    // configuration, and the making of this run (the dialog's windows and pictures).
    void splitBefore(RunLog::Micros configuration, RunLog::Micros making) {
        program_.split.add(StartSplit::Configuration, configuration);
        win::splitMaking(program_.split, form_, making);
    }

    // False when the run ended already at start-up.
    bool start() {
        if (!handle(Form_Load)) {
            return false;
        }
        keys_.emplace(form_.hwnd());
        return true;
    }

    // Runs a handler of the sequences; false once the run has ended.
    bool handle(Handler handler) noexcept {
        if (ended_) {
            return false;
        }
        ++depth_;
        try {
            runDialogHandler(program_, handler);
            --depth_;
            if (!inHandler() && disconnected_ && handler != cmd_Cancel_Click) {
                // The host said goodbye during the handler's calls or its message, and the handler
                // went on (Form_Load past its last call, Ok's message that a host command is open):
                // the run ends as Abbruch ends it, its calls stopped at the closed line and its
                // messages silenced.
                handle(cmd_Cancel_Click);
                ended_ = true;
                return false;
            }
            if (!inHandler() && waiting_ == kFailureRequest) {
                wake(); // a control failed meanwhile: reported now that the handler has returned
            }
            return true;
        } catch (...) {
            // RunEnded, or a report route that failed itself: either way the run is over.
        }
        --depth_;
        ended_ = true;
        return false;
    }

    // The request that waits carried out, if the host's frame takes input. Ok and Abbruch that
    // meet a disabled frame are dropped, as the disabled dialog shows; a failure waits for it.
    void runWaiting() noexcept {
        if (ended_ || waiting_ == 0) {
            return;
        }
        if (!ownerEnabled()) {
            if (waiting_ != kFailureRequest) {
                waiting_ = 0;
            }
            return;
        }
        if (inHandler()) {
            // A message of the handler is up: the dialog's buttons are gone, and a failure waits
            // for the handler to return (see handle).
            if (waiting_ != kFailureRequest) {
                waiting_ = 0;
            }
            return;
        }
        const WPARAM kind = std::exchange(waiting_, 0);
        fromDialog(kind == kFailureRequest ? rethrowControlFailure : kind == kOkRequest ? cmd_Ok_Click : cmd_Cancel_Click);
    }

    // The dialog takes input only while the host's frame does. Inside a handler the run's own
    // message has disabled the frame, and the dialog with it.
    void followOwner() noexcept {
        if (ended_ || inHandler()) {
            return;
        }
        const bool enabled = ownerEnabled();
        const HWND form = form_.hwnd();
        if (form != nullptr && (IsWindowEnabled(form) != FALSE) != enabled) {
            EnableWindow(form, enabled ? TRUE : FALSE);
        }
        if (enabled && waiting_ == kFailureRequest) {
            wake();
        }
    }

    LPARAM serial() const noexcept { return serial_; }
    bool ended() const noexcept { return ended_; }
    bool inHandler() const noexcept { return depth_ > 0; }

    // The host disconnects while a handler of the run is under way (a message of it is up): what
    // the run owes the drawing is paid now and every host reference goes back, before the host
    // hears that the add-in is disconnected. The handler then meets a host that is gone and ends
    // the run without a word once it has returned.
    void disconnect() noexcept {
        disconnected_ = true;
        messages_.silence();
        program_.session.owed.settle();
        connector_.close();
        closeMessage();
    }

    void closeMessage() const noexcept {
        if (gef_.hwnd() != nullptr) {
            ShowWindow(gef_.hwnd(), SW_HIDE);
        }
    }

    void bringForward() const noexcept {
        const HWND message = gef_.hwnd();
        const HWND window = message != nullptr && IsWindowVisible(message) ? message : form_.hwnd();
        if (IsIconic(window)) {
            ShowWindow(window, SW_RESTORE);
        }
        SetForegroundWindow(window);
    }

private:
    bool ownerEnabled() const noexcept { return owner_ == nullptr || IsWindowEnabled(owner_) != FALSE; }

    // A button, a key or a control's failure only asks; the request waits for the host to be
    // ready for calls (see wake) and runWaiting carries it out. A failure is not overwritten.
    void request(WPARAM kind) noexcept {
        if (kind != kFailureRequest && !ownerEnabled()) {
            return;
        }
        if (waiting_ != kFailureRequest) {
            waiting_ = kind;
        }
        wake();
    }

    // Ready means: after the host's next idle notification, which it sends only once it has
    // processed every message (never inside an operation of its own that dispatches them). A
    // host that sends none gets the request from our own next message, as before.
    void wake() noexcept {
        if (!shell_.idle_) {
            PostMessageW(shell_.window_, kRunRequest, 0, serial_);
        }
    }

    void fromDialog(Handler handler) noexcept {
        if (!handle(handler)) {
            // Still inside a window procedure of ours (the request's, or a control's on the way to
            // it): taken down once that has returned.
            shell_.finishLater();
        }
    }

    AddinShell& shell_;
    std::unique_ptr<win::InstanceClaim> claim_; // released last, after every window is gone
    HWND owner_;
    LPARAM serial_;
    std::wstring folder_;
    win::Win32MainForm form_;
    win::Win32MessageDialog gef_;
    RunMessages messages_;
    ReturnToHost ending_;
    GivenHost connector_;
    Program program_;
    win::ConfigReading reading_;
    std::optional<DialogKeys> keys_;
    bool ended_ = false;
    bool disconnected_ = false;
    WPARAM waiting_ = 0; // a RunRequest, or none
    int depth_ = 0;
};

// A click between the host's callback and the configuration's answer: the claim is taken, no
// window is up yet.
struct AddinShell::PendingStart {
    std::unique_ptr<win::InstanceClaim> claim;
    HWND owner = nullptr;
    LPARAM serial = 0;
    StartSplit::Clock::time_point clicked = StartSplit::Clock::now();
};

AddinShell::AddinShell(HINSTANCE module, com::ComPtr<IDispatch> app)
    : module_(module), app_(std::move(app)), owned_(module, kShellClass, &AddinShell::shellWindowProc, this),
      window_(owned_.get()) {
    // Asked here, while the host connects us, rather than in every run.
    com::DispatchObject host(app_);
    hostRevision_ = com::hostRevision(host);
    try {
        watch_ = std::make_unique<SaveWatch>(
            module_, app_, [this] { return run_ != nullptr || pending_ != nullptr; },
            [this] {
                if (enableState() != 0) {
                    command();
                }
            });
    } catch (...) {
        // No check after saving; the rest of the add-in is not worse for it.
    }
}

void AddinShell::listenForIdle() noexcept {
    try {
        std::vector<EventPost> posts{{kOnIdleNotifyDispid, window_, kHostIdle}};
        if (watch_) {
            const std::vector<EventPost> watched = watch_->appPosts();
            posts.insert(posts.end(), watched.begin(), watched.end());
        }
        idle_ = EventSubscription::subscribe(app_.get(), kAppEventsIid, std::move(posts));
    } catch (...) {
        idle_.reset();
    }
    if (!idle_) {
        // The check after a save waits for the idle notification: without it, none.
        watch_.reset();
        win::logOutsideRun(module_, "Add-in", "ConnectToSW",
                           "keine Leerlaufmeldung des Hosts: Anfragen des Dialogs laufen ohne sie, "
                           "keine Prüfung nach dem Speichern");
    } else if (watch_) {
        watch_->followActiveDocSoon();
    }
}

AddinShell::~AddinShell() { endRun(); }

void AddinShell::command() noexcept {
    HWND owner = nullptr;
    if (!app_) {
        return; // disconnected
    }
    try {
        // A run that ended but is not yet taken down must not swallow the click.
        if (run_ && run_->ended()) {
            destroyRun();
        }
        if (processState().run != nullptr) {
            processState().run->bringForward();
            return;
        }
        if (pending_) {
            return; // its dialog or message is on the way
        }
        // Across the add-in and the exe, one run at a time. While another runs, its window
        // comes forward instead. The host's thread must not stall: no wait for the claim, none
        // for the other window, and no thread of ours in the host's process to do it.
        auto claim = std::make_unique<win::InstanceClaim>(win::kInstanceClaimName, std::chrono::milliseconds::zero());
        if (!claim->held()) {
            win::bringRunningInstanceForwardNow();
            return;
        }
        owner = com::hostFrameWindow(com::DispatchObject(app_));
        pending_ = std::make_unique<PendingStart>(PendingStart{std::move(claim), owner, ++runSerial_});
        // The click returns at once; the run starts from this window's message once the file has
        // answered or the bound has passed. A read still waiting from an earlier click is not
        // joined by a second one: this click hears at once that the file does not answer.
        win::ConfigReadOnWorker& configRead = processState().configRead;
        if (configRead.outstanding() || !configRead.start(moduleFolder(), window_, kConfigRead, pending_->serial)) {
            PostMessageW(window_, kConfigRead, 0, pending_->serial);
        } else {
            SetTimer(window_, kConfigBoundTimer, static_cast<UINT>(win::kConfigReadBound.count()), nullptr);
        }
    } catch (const std::exception& e) {
        dropPendingStart();
        reportOutsideRun(owner, e.what());
    } catch (...) {
        dropPendingStart();
        reportOutsideRun(owner, "");
    }
}

void AddinShell::startRun() noexcept {
    KillTimer(window_, kConfigBoundTimer);
    if (!pending_) {
        return;
    }
    const std::unique_ptr<PendingStart> start = std::move(pending_);
    if (!app_) {
        return; // disconnected meanwhile
    }
    try {
        win::ConfigReading reading = processState().configRead.outcome();
        if (reading.unanswered) {
            processState().configRead.letGo(); // it finishes alone
        }
        if (watch_) {
            watch_->closeNotice();
        }
        const auto making = StartSplit::Clock::now();
        run_ = std::make_unique<Run>(*this, std::move(start->claim), start->owner, start->serial, std::move(reading));
        run_->splitBefore(std::chrono::duration_cast<RunLog::Micros>(making - start->clicked),
                          std::chrono::duration_cast<RunLog::Micros>(StartSplit::Clock::now() - making));
        if (!run_->start()) {
            destroyRun();
        } else if (start->owner != nullptr) {
            SetTimer(window_, kFollowOwnerTimer, kFollowOwnerMs, nullptr);
        }
    } catch (const std::exception& e) {
        destroyRun();
        reportUnlessGone(start->owner, e.what());
    } catch (...) {
        destroyRun();
        reportUnlessGone(start->owner, "");
    }
}

// After the host's goodbye nothing more is said.
void AddinShell::reportUnlessGone(HWND owner, const char* what) const noexcept {
    if (app_) {
        reportOutsideRun(owner, what);
    }
}

void AddinShell::dropPendingStart() noexcept {
    if (pending_) {
        KillTimer(window_, kConfigBoundTimer);
        processState().configRead.letGo();
        pending_.reset();
    }
}

long AddinShell::enableState() noexcept {
    if (!app_) {
        return 0;
    }
    try {
        const host::DocRef doc = com::wrapApp(app_)->ActiveDoc();
        // The host may say goodbye inside that call: no call after it.
        return doc && app_ && doc->GetType() == kDrawingDocType ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void AddinShell::endRun() noexcept {
    dropPendingStart();
    if (run_ && !run_->inHandler()) {
        run_->handle(cmd_Cancel_Click);
        destroyRun();
    }
}

void AddinShell::release(std::shared_ptr<AddinShell> shell) noexcept {
    if (!shell) {
        return;
    }
    shell->endRun();
    if (shell->run_ && shell->run_->inHandler()) {
        shell->run_->disconnect();
        shell->lingering_ = shell;
        pinModule();
    }
    // No host call after the disconnection, and no reference kept for one.
    shell->idle_.reset();
    shell->watch_.reset();
    shell->app_.reset();
}

void AddinShell::finishLater() noexcept { PostMessageW(window_, kFinishRun, 0, 0); }

void AddinShell::runFinished() noexcept {
    if (run_ && !run_->ended()) {
        return;
    }
    destroyRun();
    if (!run_ && lingering_) {
        // The last reference: the shell goes here, and nothing of it may be touched after.
        const std::shared_ptr<AddinShell> last = std::move(lingering_);
    }
}

void AddinShell::destroyRun() noexcept {
    if (run_ && run_->inHandler()) {
        return;
    }
    KillTimer(window_, kFollowOwnerTimer);
    run_.reset();
    // Unlike the exe, the classes go with the run: the DLL may be unloaded before the host ends.
    unregisterRunClasses(module_);
    if (lingering_) {
        finishLater();
    }
}

LRESULT CALLBACK AddinShell::shellWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* shell = reinterpret_cast<AddinShell*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case kFinishRun:
        if (shell != nullptr) {
            shell->runFinished();
        }
        return 0;
    case kConfigRead:
        if (shell != nullptr && shell->pending_ && shell->pending_->serial == lParam) {
            shell->startRun();
        }
        return 0;
    case kRunRequest:
        if (shell != nullptr && shell->run_ && shell->run_->serial() == lParam) {
            shell->run_->runWaiting();
        }
        return 0;
    case kHostIdle:
        if (shell != nullptr && shell->run_) {
            shell->run_->runWaiting();
        }
        return 0;
    case WM_TIMER:
        if (shell != nullptr && wParam == kFollowOwnerTimer && shell->run_) {
            shell->run_->followOwner();
        } else if (shell != nullptr && wParam == kConfigBoundTimer) {
            shell->startRun();
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace tvx::addin
