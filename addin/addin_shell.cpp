#include "addin/addin_shell.h"

#include "addin/dialog_keys.h"
#include "addin/host_commands.h"
#include "addin/module.h"
#include "app/sequences.h"
#include "app/win32/config_location.h"
#include "app/win32/control_ids.h"
#include "app/win32/event_loop.h"
#include "app/win32/main_form.h"
#include "app/win32/run_log_file.h"
#include "app/win32/message_dialog.h"
#include "app/win32/single_instance.h"
#include "drawing/com/com_host.h"
#include "drawing/session.h"

#include <chrono>
#include <optional>
#include <utility>

namespace tvx::addin {
namespace {

constexpr wchar_t kShellClass[] = L"tvx_AddinShell";
constexpr UINT kFinishRun = WM_APP + 1;

// Unlike the exe's, this run ends by returning to the host: the process is the host's.
class ReturnToHost final : public Terminator {
public:
    [[noreturn]] void endProcess() override { throw RunEnded{}; }
};

// The host object comes from ConnectToSW, not from the running-object table. Unlike the exe, no
// retry filter and no watch thread: in process the host cannot reject a call, and the watch's
// end of the process would end the host.
class GivenHost final : public host::Connector {
public:
    explicit GivenHost(com::ComPtr<IDispatch> app) : app_(std::move(app)) {}
    host::AppRef attach(const std::wstring&) override { return com::wrapApp(app_, line_); }
    void logCallsTo(RunLog* log) noexcept override { line_->logTo(log); }

private:
    com::ComPtr<IDispatch> app_;
    std::shared_ptr<com::HostLine> line_ = std::make_shared<com::HostLine>();
};

// A failure a dialog control's handler let out, for the error route to report.
std::exception_ptr controlFailure;
void rethrowControlFailure(Program&) { std::rethrow_exception(std::exchange(controlFailure, nullptr)); }

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
    Run(AddinShell& shell, std::unique_ptr<win::InstanceClaim> claim, HWND owner)
        : shell_(shell), claim_(std::move(claim)), folder_(moduleFolder()), form_(shell.module_, folder_, owner),
          gef_(shell.module_, owner), connector_(shell.app_), program_(form_, gef_, ending_, connector_, folder_) {
        program_.readConfiguration = [this](Config& cfg) { return win::readMachineConfig(cfg, folder_); };
        win::startRunLog(program_.log, shell.module_, "Add-in", win::configFilePath(folder_));
        form_.setHandlers({
            [this] { fromDialog(cmd_Ok_Click); },
            [this] { fromDialog(cmd_Cancel_Click); },
            // Closing the window ends the run as Cancel does.
            [this] { fromDialog(cmd_Cancel_Click); },
        });
        // Unlike the exe, there is no event loop of ours to stop: a control's failure takes the
        // error route right away.
        win::onGuardedFailure([this](std::exception_ptr failure) {
            controlFailure = std::move(failure);
            fromDialog(rethrowControlFailure);
        });
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;
    ~Run() { win::onGuardedFailure(nullptr); }

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
            return true;
        } catch (...) {
            // RunEnded, or a report route that failed itself: either way the run is over.
        }
        --depth_;
        ended_ = true;
        return false;
    }

    bool ended() const noexcept { return ended_; }
    bool inHandler() const noexcept { return depth_ > 0; }

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
    void fromDialog(Handler handler) noexcept {
        if (!handle(handler)) {
            // Still inside the dialog's own window procedure: taken down once that has returned.
            shell_.finishLater();
        }
    }

    AddinShell& shell_;
    std::unique_ptr<win::InstanceClaim> claim_; // released last, after every window is gone
    std::wstring folder_;
    win::Win32MainForm form_;
    win::Win32MessageDialog gef_;
    ReturnToHost ending_;
    GivenHost connector_;
    Program program_;
    std::optional<DialogKeys> keys_;
    bool ended_ = false;
    int depth_ = 0;
};

AddinShell::AddinShell(HINSTANCE module, com::ComPtr<IDispatch> app) : module_(module), app_(std::move(app)) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &AddinShell::shellWindowProc;
    wc.hInstance = module_;
    wc.lpszClassName = kShellClass;
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, kShellClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module_, nullptr);
    if (window_ == nullptr) {
        UnregisterClassW(kShellClass, module_);
        throw std::runtime_error("the add-in has no message window");
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

AddinShell::~AddinShell() {
    endRun();
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    UnregisterClassW(kShellClass, module_);
}

void AddinShell::command() noexcept {
    HWND owner = nullptr;
    try {
        // A run that ended but is not yet taken down must not swallow the click.
        if (run_ && run_->ended()) {
            destroyRun();
        }
        if (run_) {
            run_->bringForward();
            return;
        }
        // Across the add-in and the exe, one run at a time. While the exe runs, its window
        // comes forward instead, without the exe's wait: the host's thread must not stall.
        auto claim = std::make_unique<win::InstanceClaim>(win::kInstanceClaimName);
        if (!claim->held()) {
            win::bringRunningInstanceForward(*claim, std::chrono::milliseconds::zero());
            return;
        }
        owner = hostFrameWindow(app_);
        run_ = std::make_unique<Run>(*this, std::move(claim), owner);
        if (!run_->start()) {
            destroyRun();
        }
    } catch (const std::exception& e) {
        destroyRun();
        reportOutsideRun(owner, e.what());
    } catch (...) {
        destroyRun();
        reportOutsideRun(owner, "");
    }
}

long AddinShell::enableState() noexcept {
    try {
        const host::DocRef doc = com::wrapApp(app_)->ActiveDoc();
        return doc && doc->GetType() == kDrawingDocType ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void AddinShell::endRun() noexcept {
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
        shell->run_->closeMessage();
        shell->lingering_ = shell;
    }
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
    run_.reset();
    // Unlike the exe, the classes go with the run: the DLL may be unloaded before the host ends.
    unregisterRunClasses(module_);
    if (lingering_) {
        finishLater();
    }
}

LRESULT CALLBACK AddinShell::shellWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kFinishRun) {
        if (auto* shell = reinterpret_cast<AddinShell*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
            shell->runFinished();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace tvx::addin
