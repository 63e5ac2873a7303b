#include "addin/save_watch.h"

#include "app/win32/run_log_file.h"
#include "app/win32/user_switch.h"
#include "drawing/com/com_host.h"
#include "drawing/com/event_sink.h"
#include "drawing/com/host_window.h"
#include "drawing/com/host_line.h"
#include "drawing/stale_check.h"

#include <cwchar>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <utility>

namespace tvx::addin {
namespace {

constexpr wchar_t kWatchClass[] = L"tvx_SaveWatch";
constexpr UINT kActiveDocChanged = WM_APP + 1;
constexpr UINT kDrawingSaved = WM_APP + 2;
constexpr UINT kDrawingClosed = WM_APP + 3;
constexpr UINT kHostIdle = WM_APP + 4;
constexpr UINT kUpdateAsked = WM_APP + 5;
// A designer's day of saves is far below this; past it, the memory starts afresh.
constexpr std::size_t kNoticedCap = 256;

// The host's thread must not wait on the watch: a call the host rejects is not tried again, the
// check gives up at once.
std::shared_ptr<com::HostLine> lineWithoutRetries() {
    return std::make_shared<com::HostLine>(com::CallBounds{com::Millis(0), com::CallBounds{}.answer});
}

void logWatch(HINSTANCE module, const std::string& cause) noexcept {
    win::logOutsideRun(module, "Add-in", "Prüfung nach dem Speichern", cause);
}

struct ModalLook {
    HINSTANCE ours;
    bool modal = false;
};

BOOL CALLBACK lookForModal(HWND window, LPARAM param) {
    auto& look = *reinterpret_cast<ModalLook*>(param);
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    if (!IsWindowVisible(window) || instance == look.ours) {
        return TRUE;
    }
    wchar_t name[16] = {};
    const HWND owner = GetWindow(window, GW_OWNER);
    const bool dialogOverDisabled = GetClassNameW(window, name, static_cast<int>(std::size(name))) != 0 &&
                                    std::wcscmp(name, L"#32770") == 0 && owner != nullptr &&
                                    !IsWindowEnabled(owner);
    look.modal = !IsWindowEnabled(window) || dialogOverDisabled;
    return look.modal ? FALSE : TRUE;
}

// Whether a modal dialog of the host's is up, seen without a host call: in process the host's
// thread is this one, and a modal dialog disables its owner. So a visible window of the thread
// that takes no input, or a visible dialog whose owner (perhaps hidden) takes none, says the
// host is modal. Our own windows do not count.
bool hostThreadModal(HINSTANCE ours) noexcept {
    ModalLook look{ours};
    EnumThreadWindows(GetCurrentThreadId(), &lookForModal, reinterpret_cast<LPARAM>(&look));
    return look.modal;
}

} // namespace

bool checkOnSaveSwitchedOn() noexcept { return !win::userSwitchedOff(L"CheckOnSave"); }

SaveWatch::SaveWatch(HINSTANCE module, com::ComPtr<IDispatch> app, std::function<bool()> runUp,
                     std::function<void()> command)
    : module_(module), app_(std::move(app)), runUp_(std::move(runUp)), command_(std::move(command)),
      owned_(module, kWatchClass, &SaveWatch::windowProc, this), window_(owned_.get()),
      notice_(module, [this] { PostMessageW(window_, kUpdateAsked, 0, 0); }) {}

SaveWatch::~SaveWatch() {
    drawing_.reset();
    notice_.close();
}

std::vector<EventPost> SaveWatch::appPosts() const {
    return {{kOnIdleNotifyDispid, window_, kHostIdle}, {kActiveDocChangeNotifyDispid, window_, kActiveDocChanged}};
}

void SaveWatch::followActiveDocSoon() noexcept { PostMessageW(window_, kActiveDocChanged, 0, 0); }

void SaveWatch::followActiveDoc() noexcept {
    notice_.close();
    checkDue_ = false;
    // The earlier document's subscription goes first: no reference of ours keeps it alive.
    drawing_.reset();
    try {
        com::UniqueVariant active = com::DispatchObject(app_, nullptr, lineWithoutRetries()).get("ActiveDoc");
        if (active.vt() == VT_DISPATCH && active.get().pdispVal != nullptr) {
            // Only a drawing offers these events; any other document answers that it has none.
            ++subscription_;
            drawing_ = EventSubscription::subscribe(
                active.get().pdispVal, com::kDrawingDocEventsIid,
                {{com::kFileSavePostNotify, window_, kDrawingSaved, subscription_},
                 {com::kDestroyNotify, window_, kDrawingClosed, subscription_}});
        }
    } catch (const std::exception& e) {
        logWatch(module_, std::string("kein Abonnement der Zeichnung: ") + e.what());
    } catch (...) {
        logWatch(module_, "kein Abonnement der Zeichnung");
    }
}

// Never inside the save: the host has processed every message by now. While its frame takes no
// input (a dialog of its own) or a run of ours is up, the check waits for a later idle.
void SaveWatch::idle() noexcept {
    if (!checkDue_ || runUp_()) {
        return;
    }
    try {
        // The frame is asked once, not at each idle: while a dialog of the host's is up, the watch
        // must not call it. Until it is known the thread's windows tell, since asking for the frame
        // under the host's dialog would itself be such a call.
        if (frame_ == nullptr) {
            if (hostThreadModal(module_)) {
                return;
            }
            frame_ = com::hostFrameWindow(com::DispatchObject(app_, nullptr, lineWithoutRetries()));
        }
        if (frame_ != nullptr && !IsWindowEnabled(frame_)) {
            return;
        }
        checkDue_ = false;
        if (checkOnSaveSwitchedOn()) {
            check(frame_);
        }
    } catch (const std::exception& e) {
        logWatch(module_, std::string("aufgegeben: ") + e.what());
    } catch (...) {
        logWatch(module_, "aufgegeben");
    }
}

void SaveWatch::check(HWND frame) {
    const GroupCheck result = checkGroup(com::wrapApp(app_, lineWithoutRetries())->ActiveDoc());
    switch (result.state) {
    case GroupState::GaveUp:
        logWatch(module_, "aufgegeben: " + result.failure);
        return;
    case GroupState::Stale:
        if (noticed_.size() >= kNoticedCap) {
            noticed_.clear();
        }
        if (noticed_.insert(result.fingerprint).second) {
            notice_.show(frame, staleNoticeText(result.sheetName, result.added, result.gone, result.refused));
        }
        return;
    case GroupState::Current:
    case GroupState::NoOutput:
        notice_.close();
        return;
    }
}

LRESULT CALLBACK SaveWatch::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* watch = reinterpret_cast<SaveWatch*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (watch == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // A drawing given up since may have posted before it was let go: its messages are dropped.
    const bool current = watch->drawing_ && wParam == watch->subscription_;
    switch (message) {
    case kActiveDocChanged:
        watch->followActiveDoc();
        return 0;
    case kDrawingSaved:
        watch->checkDue_ = watch->checkDue_ || current;
        return 0;
    case kDrawingClosed:
        if (current) {
            watch->notice_.close();
            watch->checkDue_ = false;
            watch->drawing_.reset();
        }
        return 0;
    case kHostIdle:
        watch->idle();
        return 0;
    case kUpdateAsked:
        // As the command's button: the notice's news is carried out by a run.
        watch->command_();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace tvx::addin
