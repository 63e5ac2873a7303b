// Tarvenix.dll in a test that plays its host in process: the DLL loaded as the host loads it, its
// command clicked through the callbacks object by name, its dialog driven by messages. The run's
// calls reach the stand-in's dispatch objects over an in-memory drawing, so a run's drawing can be
// held to the exe's run on the same drawing.
#include "addin/addin_interfaces.h"
#include "app/sequences.h"
#include "tests/support/fake_ui.h"
#include "tests/support/fault_table.h"
#include "tests/support/run_fixture.h"
#include "app/win32/control_ids.h"
#include "app/win32/main_form.h"
#include "app/win32/message_dialog.h"
#include "config/config.h"
#include "drawing/messages.h"
#include "drawing/sim/drawing_file.h"
#include "drawing/sim/sim_host.h"
#include "drawing/sim/utf8.h"
#include "tests/addin/fake_addin_host.h"
#include "tests/addin/loaded_addin.h"
#include "tests/com/server_process.h"
#include "tests/gui/win32_test_support.h"
#include "tools/hostserver/dispatch_objects.h"

#include <gtest/gtest.h>
#include <olectl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <thread>

namespace tvx {
namespace {

using addin::testing::FakeAddinHost;
using addin::testing::FakeAppEvents;
using addin::testing::FakeDrawingEvents;
using addin::testing::hostPump;
using com::ComPtr;

using SelfRegister = HRESULT(STDAPICALLTYPE*)();

// Messages the add-in shows are read and confirmed from inside their own loop, as a user would.
std::vector<std::wstring> shownMessages;
// What the host does while a message shows, once, before it is confirmed.
std::function<void()> whileMessageShows;

void CALLBACK answerMessage(HWND, UINT, UINT_PTR, DWORD) {
    const HWND message = FindWindowW(ids::kMessageDialogClass, nullptr);
    if (message != nullptr && IsWindowVisible(message)) {
        shownMessages.push_back(test::windowText(GetDlgItem(message, ids::Info)));
        if (const auto action = std::exchange(whileMessageShows, nullptr)) {
            action();
        }
        if (IsWindow(message)) {
            SendMessageW(message, WM_CLOSE, 0, 0);
        }
    }
}

// The session-wide claim the exe takes for its run, seen from another thread as from another
// process: a mutex is its owner thread's.
constexpr wchar_t kInstanceClaim[] = L"Local\\Tarvenix.OneInstance";

// Something held by a thread of its own, as by another process, until this goes: `take` runs on
// that thread at once, `give` there when this is destroyed.
class HeldElsewhere {
public:
    HeldElsewhere(std::function<void()> take, std::function<void()> give)
        : thread_([this, take = std::move(take), give = std::move(give)] {
              take();
              SetEvent(taken_);
              WaitForSingleObject(release_, 20000);
              give();
          }) {
        WaitForSingleObject(taken_, 10000);
    }
    HeldElsewhere(const HeldElsewhere&) = delete;
    HeldElsewhere& operator=(const HeldElsewhere&) = delete;
    ~HeldElsewhere() {
        SetEvent(release_);
        thread_.join();
        CloseHandle(taken_);
        CloseHandle(release_);
    }

private:
    HANDLE taken_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread thread_;
};

// The session-wide claim the exe takes for its run: a mutex is its owner thread's.
class ClaimHeldElsewhere final : public HeldElsewhere {
public:
    ClaimHeldElsewhere() : ClaimHeldElsewhere(std::make_shared<HANDLE>()) {}

private:
    explicit ClaimHeldElsewhere(const std::shared_ptr<HANDLE>& claim)
        : HeldElsewhere([claim] { *claim = CreateMutexW(nullptr, TRUE, kInstanceClaim); },
                        [claim] {
                            ReleaseMutex(*claim);
                            CloseHandle(*claim);
                        }) {}
};

// The exe's dialog up in a run whose thread takes no messages (stuck in a host call): a window
// of the dialog's class on a thread of its own that never pumps.
class StuckExeDialog final : public HeldElsewhere {
public:
    StuckExeDialog() : StuckExeDialog(std::make_shared<HWND>()) {}

private:
    explicit StuckExeDialog(const std::shared_ptr<HWND>& window)
        : HeldElsewhere(
              [window] {
                  WNDCLASSW wc{};
                  wc.lpfnWndProc = DefWindowProcW;
                  wc.hInstance = GetModuleHandleW(nullptr);
                  wc.lpszClassName = ids::kMainFormClass;
                  RegisterClassW(&wc);
                  *window = CreateWindowExW(0, ids::kMainFormClass, L"exe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                            200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
              },
              [window] {
                  DestroyWindow(*window);
                  UnregisterClassW(ids::kMainFormClass, GetModuleHandleW(nullptr));
              }) {}
};

std::size_t threadsOfThisProcess() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    std::size_t count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) {
            ++count;
        }
    }
    CloseHandle(snapshot);
    return count;
}

std::size_t windowsOfClass(const wchar_t* name) {
    std::size_t count = 0;
    for (HWND w = FindWindowExW(nullptr, nullptr, name, nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, name, nullptr)) {
        ++count;
    }
    return count;
}

// References the add-in holds on the stand-in's objects behind the host: all but the host's own
// one on the application.
long standInReferences(const addin::testing::DrawingHost& host) {
    long held = 0;
    for (const hostserver::DispatchCore* object : host.context->liveObjects()) {
        held += object->references() - (std::string_view(object->kind()) == "App" ? 1 : 0);
    }
    return held;
}


// The in-memory drawing host, one of whose calls can be made to fail.
struct Host : addin::testing::DrawingHost {
    explicit Host(sim::HostData data) : DrawingHost(std::move(data)) {
        context->setGate([this](std::uint64_t, const std::string& operation) {
            if (!failAt.empty() && operation == failAt) {
                failAt.clear();
                return E_FAIL;
            }
            if (operation == rejectAt) {
                ++rejected;
                return RPC_E_CALL_REJECTED;
            }
            return S_OK;
        });
    }
    std::string drawing() const { return sim::drawingToJson(std::as_const(sim).data()); }

    std::string failAt; // "Kind.Operation" that fails once
    std::string rejectAt; // "Kind.Operation" that the host keeps rejecting, as a busy host
    int rejected = 0;
};

class AddinInProcess : public ::testing::Test {
protected:
    void SetUp() override {
        shownMessages.clear();
        whileMessageShows = nullptr;
        loaded.emplace(folder.path(), com::testing::windowsPath(TVX_ADDIN_DLL),
                       com::testing::windowsPath(TVX_SOURCE_DIR));
        timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &answerMessage);
    }
    void TearDown() override {
        KillTimer(nullptr, timer);
        loaded.reset();
    }

    void (*exported(const char* name) const)() { return loaded->exported(name); }
    HRESULT canUnloadNow() const { return loaded->canUnloadNow(); }
    void writeConfig() const { loaded->writeConfig(); }

    ComPtr<ISwAddin> createAddin() const {
        ComPtr<ISwAddin> addin = loaded->create();
        EXPECT_TRUE(addin) << "no add-in object from the class object";
        return addin;
    }

    static bool connect(ISwAddin& addin, FakeAddinHost& host) {
        VARIANT_BOOL connected = VARIANT_FALSE;
        EXPECT_EQ(addin.ConnectToSW(&host.app, 7, &connected), S_OK);
        return connected == VARIANT_TRUE;
    }

    // Unloading as the host does it: disconnect, let go of the add-in and its callbacks; then
    // nothing of the add-in may be left and the DLL may go.
    void unload(ComPtr<ISwAddin>& addin, FakeAddinHost& host) const {
        VARIANT_BOOL done = VARIANT_FALSE;
        EXPECT_EQ(addin->DisconnectFromSW(&done), S_OK);
        EXPECT_EQ(done, VARIANT_TRUE);
        addin.reset();
        host.dropCallbacks();
        hostPump();
        EXPECT_FALSE(addinWindowLeft());
        EXPECT_EQ(host.heldReferences(), 0);
        EXPECT_EQ(host.unexpected(), std::vector<std::wstring>{});
        EXPECT_EQ(canUnloadNow(), S_OK);
        WNDCLASSEXW unused{};
        unused.cbSize = sizeof unused;
        EXPECT_FALSE(GetClassInfoExW(loaded->module(), ids::kMainFormClass, &unused)) << "a window class is left";
    }

    static HWND mainForm() { return addin::testing::visibleMainForm(); }
    // A main window the host names to own the add-in's windows.
    static win::UniqueWindow hostFrame(Host& host) {
        win::UniqueWindow frame(CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                                nullptr, GetModuleHandleW(nullptr), nullptr));
        EXPECT_NE(frame.get(), nullptr);
        host.fake.frameWindow = frame.get();
        return frame;
    }
    static bool addinWindowLeft() {
        return FindWindowW(ids::kMainFormClass, nullptr) != nullptr ||
               FindWindowW(ids::kMessageDialogClass, nullptr) != nullptr ||
               FindWindowExW(HWND_MESSAGE, nullptr, L"tvx_AddinShell", nullptr) != nullptr ||
               FindWindowExW(HWND_MESSAGE, nullptr, L"tvx_SaveWatch", nullptr) != nullptr ||
               FindWindowW(ids::kStaleNoticeClass, nullptr) != nullptr;
    }
    // Picks what the user took in another run, as a user would.
    static void choose(HWND form, const testing::UserChoice& choice) {
        const HWND kind = GetDlgItem(form, ids::stdSFSSymbol);
        SendMessageW(kind, CB_SETCURSEL, static_cast<WPARAM>(choice.kind), 0);
        SendMessageW(form, WM_COMMAND, MAKEWPARAM(ids::stdSFSSymbol, CBN_SELCHANGE), reinterpret_cast<LPARAM>(kind));
        SetWindowTextW(GetDlgItem(form, ids::stdSFSMet), choice.method.c_str());
        SetWindowTextW(GetDlgItem(form, ids::stdSFSRough), choice.roughness.c_str());
    }
    static void press(HWND form, int button) { addin::testing::press(form, button); }
    // The exe's run with Ok as the dialog offers it, call by call: the same sequences with the
    // real dialogs of this process, measuring with the same GDI, on the drawing in memory. The
    // host object is handed over as the host hands it to the add-in, so the calls are numbered
    // as the add-in's run makes them.
    testing::FaultBaseline exeRun(const sim::HostData& drawing) const {
        sim::SimHost sim(drawing);
        struct Direct final : host::Connector {
            host::AppRef app;
            host::AppRef attach(const std::wstring&) override { return app; }
        } connector;
        connector.app = sim.connector().attach(host::kHostClassName);
        sim.clearTrace();
        const std::wstring programFolder = loaded->folder().wstring();
        win::Win32MainForm form(GetModuleHandleW(nullptr), programFolder);
        win::Win32MessageDialog gef(GetModuleHandleW(nullptr));
        std::vector<sim::HostData> afterCalls;
        std::uint64_t shownAt = 0;
        std::uint64_t hiddenAt = 0;
        sim.setCallObserver([&](std::uint64_t) {
            const std::uint64_t made = afterCalls.size();
            const bool shown = IsWindowVisible(form.hwnd()) != FALSE;
            if (shown && shownAt == 0) {
                shownAt = made;
            } else if (!shown && shownAt != 0 && hiddenAt == 0) {
                hiddenAt = made;
            }
            afterCalls.push_back(std::as_const(sim).data());
        });
        testing::UiLog log;
        testing::TestTerminator terminator(log);
        Program program(form, gef, terminator, connector, programFolder);
        const std::size_t shownBefore = shownMessages.size();
        testing::UserChoice choice;
        try {
            runHandler(program, Form_Load);
            choice.kind = static_cast<std::int16_t>(form.stdSFSSymbol().listIndex());
            choice.method = form.stdSFSMet().text();
            choice.roughness = form.stdSFSRough().text();
            runHandler(program, cmd_Ok_Click);
        } catch (const RunEnded&) {
        }
        sim.setCallObserver({});
        EXPECT_EQ(terminator.ended, 1);
        EXPECT_EQ(shownMessages.size(), shownBefore) << "the run without fault showed a message";
        afterCalls.push_back(std::as_const(sim).data());
        return {drawing, afterCalls, sim.trace(), afterCalls.back(), choice, shownAt, hiddenAt};
    }

    com::ComApartment apartment;
    com::testing::ScratchFolder folder{"addin-in-process"};
    std::optional<addin::testing::LoadedAddin> loaded;
    UINT_PTR timer = 0;
};

sim::HostData sampleDrawing(const char* name = "sample-drawing.json") {
    return sim::loadDrawingFile(com::testing::windowsPath(TVX_SOURCE_DIR) / "samples" / name);
}

std::vector<std::string> operationsOf(const std::vector<std::string>& log) {
    std::vector<std::string> names;
    for (const std::string& call : log) {
        names.push_back(call.substr(0, call.find('(')));
    }
    return names;
}

TEST_F(AddinInProcess, ConnectsClicksAndRunsAsTheExeAndLeavesNothingBehindAtDisconnect) {
    Host host(sampleDrawing());
    ComPtr<ISwAddin> addin = createAddin();
    ASSERT_TRUE(addin);
    ASSERT_TRUE(connect(*addin.get(), host.fake));
    EXPECT_EQ(operationsOf(host.fake.log),
              (std::vector<std::string>{"app.RevisionNumber", "app.SetAddinCallbackInfo2", "app.AddMenuItem5", "app.GetCommandManager",
                                        "manager.GetGroupDataFromRegistry", "manager.CreateCommandGroup2", "group.IconList", "group.MainIconList",
                                        "group.AddCommandItem2", "group.HasToolbar", "group.HasMenu",
                                        "group.ShowInDocumentType", "group.Activate", "group.CommandID",
                                        "manager.GetCommandTab", "manager.AddCommandTab", "tab.AddCommandTabBox",
                                        "box.AddCommands"}));
    EXPECT_EQ(host.fake.log[2], "app.AddMenuItem5(I4 3, I4 7, BSTR \"Oberflächenangabe...\", I4 -1, "
                                "BSTR \"TvxSurfaceFinish\", BSTR \"TvxSurfaceFinishEnable\", "
                                "BSTR \"Allgemeine Oberflächenangabe in die Zeichnung setzen\", EMPTY)");

    // A host may ask for the callbacks' type information: the dual interface, from the DLL's library.
    UINT infos = 0;
    ASSERT_EQ(host.fake.callbacks->GetTypeInfoCount(&infos), S_OK);
    EXPECT_EQ(infos, 1u);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(host.fake.callbacks->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->guid, __uuidof(ITvxCallbacks));
    info->ReleaseTypeAttr(attributes);

    // Ok by Enter with what the dialog offers: the drawing the exe's run leaves.
    ASSERT_EQ(host.fake.click(), 1);
    const HWND form = mainForm();
    ASSERT_NE(form, nullptr);
    host.fake.click(); // a second click only brings the open dialog forward
    EXPECT_EQ(mainForm(), form);
    const HWND ok = GetDlgItem(form, ids::cmd_Ok);
    SetFocus(ok);
    PostMessageW(ok, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(ok, WM_KEYUP, VK_RETURN, 1);
    hostPump();
    EXPECT_EQ(mainForm(), nullptr);
    EXPECT_EQ(host.drawing(), sim::drawingToJson(exeRun(sampleDrawing()).finalDrawing));

    // Cancel changes nothing.
    const std::string afterOk = host.drawing();
    ASSERT_EQ(host.fake.click(), 1);
    ASSERT_NE(mainForm(), nullptr);
    press(mainForm(), ids::cmd_Cancel);
    EXPECT_EQ(mainForm(), nullptr);
    EXPECT_EQ(host.drawing(), afterOk);
    EXPECT_EQ(shownMessages, std::vector<std::wstring>{});

    // Disconnect while the dialog is open ends the run as Cancel does.
    ASSERT_EQ(host.fake.click(), 1);
    ASSERT_NE(mainForm(), nullptr);
    host.fake.log.clear();
    unload(addin, host.fake);
    EXPECT_EQ(operationsOf(host.fake.log),
              (std::vector<std::string>{"app.RemoveMenu", "manager.RemoveCommandTab", "manager.RemoveCommandGroup2"}));
    EXPECT_EQ(host.drawing(), afterOk);
    EXPECT_EQ(standInReferences(host), 0);

    // Nothing of it was under way at the disconnection: the DLL goes when the host frees it.
    const std::filesystem::path dll = loaded->folder() / "Tarvenix.dll";
    loaded.reset();
    EXPECT_EQ(GetModuleHandleW(dll.c_str()), nullptr) << "pinned without a lingering run";
}

TEST_F(AddinInProcess, WithTheHostsIdleNotificationOkWaitsForItAndTheSubscriptionGoesBackAtDisconnect) {
    const std::string exeDrawing = sim::drawingToJson(exeRun(sampleDrawing()).finalDrawing);
    Host host(sampleDrawing());
    FakeAppEvents events(host.fake);
    const win::UniqueWindow frame = hostFrame(host);
    ComPtr<ISwAddin> addin = createAddin();
    ASSERT_TRUE(connect(*addin.get(), host.fake));
    ASSERT_TRUE(events.sink) << "no subscription at ConnectToSW";
    const std::string before = host.drawing();

    // Dispatched by a loop of the host's that is not its idle: the request waits.
    ASSERT_EQ(host.fake.click(), 1);
    press(mainForm(), ids::cmd_Ok);
    EXPECT_NE(mainForm(), nullptr);
    EXPECT_EQ(host.drawing(), before);
    // Idle while the host's frame is disabled: Ok is dropped, as the disabled dialog shows.
    EnableWindow(frame.get(), FALSE);
    events.idle();
    EnableWindow(frame.get(), TRUE);
    events.idle();
    EXPECT_NE(mainForm(), nullptr);
    EXPECT_EQ(host.drawing(), before);
    press(mainForm(), ids::cmd_Ok);
    events.idle();
    EXPECT_EQ(mainForm(), nullptr);
    EXPECT_EQ(host.drawing(), exeDrawing);

    unload(addin, host.fake);
    EXPECT_EQ(events.unadvisedCookie, 41u);
    EXPECT_FALSE(events.sink);
    EXPECT_EQ(events.refs, 0) << "a reference on the connection point is left";
    EXPECT_EQ(standInReferences(host), 0);

    // A host that refuses the subscription: Ok runs from the add-in's own next message, as before.
    Host refusing(sampleDrawing());
    FakeAppEvents refused(refusing.fake, CONNECT_E_ADVISELIMIT);
    addin = createAddin();
    ASSERT_TRUE(connect(*addin.get(), refusing.fake));
    EXPECT_EQ(refused.advised, 1);
    ASSERT_EQ(refusing.fake.click(), 1);
    press(mainForm(), ids::cmd_Ok);
    EXPECT_EQ(mainForm(), nullptr);
    EXPECT_EQ(refusing.drawing(), exeDrawing);
    unload(addin, refusing.fake);
    EXPECT_EQ(refused.unadvisedCookie, 0u);
    EXPECT_EQ(refused.refs, 0);
}

// The notice when one is up, visible or not.
HWND staleNotice() { return FindWindowW(ids::kStaleNoticeClass, nullptr); }

// A foreign symbol on the current sheet, as a designer adds one after the run.
void addSymbol(Host& host, const wchar_t* roughness) {
    sim::SymbolData symbol;
    symbol.symbolType = 1;
    symbol.texts[5] = roughness;
    symbol.name = L"Neu";
    host.sim.data().activeDoc->sheets.at(0).views.at(0).symbols.push_back(symbol);
}

// The designer changes the roughness of the symbol added last: one new, one gone.
void changeLastSymbol(Host& host, const wchar_t* roughness) {
    host.sim.data().activeDoc->sheets.at(0).views.at(0).symbols.back().texts[5] = roughness;
}

// The host's loop until the add-in's dialog is up, as after a click.
HWND waitForMainForm() {
    for (int round = 0; round < 500 && addin::testing::visibleMainForm() == nullptr; ++round) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        hostPump();
    }
    return addin::testing::visibleMainForm();
}

// After the host has saved its drawing, and only at its next idle: a group that no longer fits the
// sheet is noticed once per state, beside the host's work; a failing or rejected call, a disabled
// frame and the user's switch keep it silent; "Aktualisieren" is the command; and every end gives
// the drawing's subscription back.
TEST_F(AddinInProcess, AfterASaveAStaleGroupIsNoticedOnceAndQuietlyAndEveryEndGivesTheDrawingBack) {
    // Three kinds of foreign symbols: room for two more in the group.
    sim::HostData three = sampleDrawing();
    three.activeDoc->sheets.at(0).views.at(2).symbols.clear();
    Host host(three);
    FakeAppEvents app(host.fake);
    FakeDrawingEvents drawing(host.fake);
    const win::UniqueWindow frame = hostFrame(host);
    ComPtr<ISwAddin> addin = createAddin();
    ASSERT_TRUE(connect(*addin.get(), host.fake));
    hostPump();
    ASSERT_TRUE(drawing.sink) << "the active drawing was not subscribed after ConnectToSW";

    // The first save comes under a dialog of the host's, first over its hidden frame, then with
    // the frame shown: the host is not called, not even for its frame, until the dialog is gone.
    EnableWindow(frame.get(), FALSE);
    win::UniqueWindow options(CreateWindowExW(0, WC_DIALOG, L"Optionen", WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0,
                                              200, 100, frame.get(), nullptr, GetModuleHandleW(nullptr), nullptr));
    host.fake.log.clear();
    drawing.saved();
    app.idle();
    ShowWindow(frame.get(), SW_SHOWNA);
    app.idle();
    EXPECT_EQ(operationsOf(host.fake.log), std::vector<std::string>{});
    options.reset();
    EnableWindow(frame.get(), TRUE);
    app.idle();
    app.idle();
    EXPECT_EQ(operationsOf(host.fake.log), (std::vector<std::string>{"app.Frame", "frame.GetHWnd"}));

    // Right after a run the group fits.
    ASSERT_EQ(host.fake.click(), 1);
    press(mainForm(), ids::cmd_Ok);
    app.idle();
    ASSERT_EQ(mainForm(), nullptr);
    drawing.saved();
    app.idle();
    EXPECT_EQ(staleNotice(), nullptr);

    // Never inside the save: read at the idle, changing nothing.
    addSymbol(host, L"12,5");
    const std::string added = host.drawing();
    drawing.saved();
    EXPECT_EQ(staleNotice(), nullptr);
    app.idle();
    HWND notice = staleNotice();
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(IsWindowVisible(notice));
    EXPECT_EQ(test::windowText(GetDlgItem(notice, ids::lblStale)),
              L"Die Oberflächenangabe auf Blatt „Blatt1“ ist nicht mehr aktuell: 1 Symbol neu, 0 entfallen.");
    EXPECT_EQ(GetWindow(notice, GW_OWNER), frame.get());
    EXPECT_EQ(GetWindowLongW(notice, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_NE(GetActiveWindow(), notice);
    RECT noticeRect{};
    RECT frameRect{};
    GetWindowRect(notice, &noticeRect);
    GetWindowRect(frame.get(), &frameRect);
    EXPECT_GT(noticeRect.left, (frameRect.left + frameRect.right) / 2 - (noticeRect.right - noticeRect.left));
    EXPECT_LE(noticeRect.bottom, frameRect.bottom);
    EXPECT_EQ(host.drawing(), added);
    EXPECT_EQ(shownMessages, std::vector<std::wstring>{});

    // The same state once only.
    press(notice, ids::cmd_Close);
    EXPECT_EQ(staleNotice(), nullptr);
    drawing.saved();
    app.idle();
    EXPECT_EQ(staleNotice(), nullptr) << "the same drawing state brought the notice again";

    // A call that fails or is rejected during the check: nothing said, nothing changed.
    addSymbol(host, L"25");
    const std::string twoAdded = host.drawing();
    for (const bool busy : {false, true}) {
        (busy ? host.rejectAt : host.failAt) = "SFSymbol.GetText";
        drawing.saved();
        app.idle();
        EXPECT_TRUE(host.failAt.empty()) << "the check did not run";
        // Given up at the first rejection: the host's thread does not wait for a retry.
        EXPECT_EQ(host.rejected, busy ? 1 : 0);
        host.rejectAt.clear();
        EXPECT_EQ(staleNotice(), nullptr);
        EXPECT_EQ(shownMessages, std::vector<std::wstring>{});
        EXPECT_EQ(host.drawing(), twoAdded);
    }
    // Switched off by the user: no check at all.
    const DWORD off = 0;
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Tarvenix", L"CheckOnSave", REG_DWORD, &off, sizeof off);
    drawing.saved();
    app.idle();
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Tarvenix", L"CheckOnSave");
    EXPECT_EQ(staleNotice(), nullptr);
    // While the host's frame takes no input (a dialog of its own), the check waits for it.
    drawing.saved();
    EnableWindow(frame.get(), FALSE);
    app.idle();
    EXPECT_EQ(staleNotice(), nullptr);
    EnableWindow(frame.get(), TRUE);
    app.idle();
    notice = staleNotice();
    ASSERT_NE(notice, nullptr);
    EXPECT_NE(test::windowText(GetDlgItem(notice, ids::lblStale)).find(L": 2 Symbole neu, 0 entfallen."),
              std::wstring::npos);

    // "Aktualisieren" is the command's click: the dialog, and Ok brings the group up to date.
    press(notice, ids::cmd_Update);
    EXPECT_EQ(staleNotice(), nullptr);
    ASSERT_NE(waitForMainForm(), nullptr);
    press(mainForm(), ids::cmd_Ok);
    app.idle();
    ASSERT_EQ(mainForm(), nullptr);
    drawing.saved();
    app.idle();
    EXPECT_EQ(staleNotice(), nullptr) << "the group was updated";

    // The designer changes the drawing once more and saves it: a state not yet noticed.
    const auto staleAgain = [&](const wchar_t* roughness) {
        changeLastSymbol(host, roughness);
        drawing.saved();
        app.idle();
        ASSERT_NE(staleNotice(), nullptr);
    };
    // A run that starts closes the notice.
    staleAgain(L"50");
    ASSERT_EQ(host.fake.click(), 1);
    EXPECT_EQ(staleNotice(), nullptr);
    press(mainForm(), ids::cmd_Cancel);
    app.idle();
    ASSERT_EQ(mainForm(), nullptr);

    // The drawing closes: the notice goes and the subscription is given back.
    staleAgain(L"100");
    drawing.destroyed();
    EXPECT_EQ(staleNotice(), nullptr);
    EXPECT_FALSE(drawing.sink);
    EXPECT_EQ(drawing.refs, 0);
    EXPECT_EQ(host.fake.doc.refs, 1) << "the add-in keeps the closed drawing";
    // Another document becomes active: its events are heard, and a notice about the one before goes.
    app.activeDocChanged();
    ASSERT_TRUE(drawing.sink);
    staleAgain(L"200");
    app.activeDocChanged();
    EXPECT_EQ(staleNotice(), nullptr);
    EXPECT_EQ(drawing.advised, 3);
    EXPECT_EQ(drawing.unadvised, 2);

    // The host stops with the notice up: nothing of the add-in stays, no reference is left.
    staleAgain(L"400");
    unload(addin, host.fake);
    EXPECT_FALSE(drawing.sink);
    EXPECT_EQ(drawing.refs, 0);
    EXPECT_EQ(app.refs, 0);
    EXPECT_EQ(standInReferences(host), 0);
    EXPECT_EQ(shownMessages, std::vector<std::wstring>{});
}

TEST_F(AddinInProcess, TheDialogAndItsMessagesBelongToTheHostsFrameOrToNoWindowWhenTheHostDoesNotSay) {
    Host host(sampleDrawing());
    const win::UniqueWindow frame = hostFrame(host);
    ComPtr<ISwAddin> addin = createAddin();
    ASSERT_TRUE(connect(*addin.get(), host.fake));

    // Owned, they stay above the host; not topmost and without a taskbar button, they never hide
    // the host's own modal dialogs nor float above other programs.
    // Minimised without a taskbar button, an owned window would be a lost caption over the host:
    // no minimise box, the rest of the frame as the exe's.
    const auto exStyle = [](HWND window) { return GetWindowLongPtrW(window, GWL_EXSTYLE); };
    const auto boxes = [](HWND window) {
        return GetWindowLongPtrW(window, GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_SYSMENU);
    };
    ASSERT_EQ(host.fake.click(), 1);
    ASSERT_NE(mainForm(), nullptr);
    EXPECT_EQ(GetWindow(mainForm(), GW_OWNER), frame.get());
    EXPECT_EQ(exStyle(mainForm()) & (WS_EX_TOPMOST | WS_EX_APPWINDOW), 0);
    EXPECT_EQ(boxes(mainForm()), WS_MAXIMIZEBOX | WS_THICKFRAME | WS_SYSMENU);
    HWND messageOwner = nullptr;
    LONG_PTR messageStyle = -1;
    LONG_PTR messageBoxes = -1;
    whileMessageShows = [&] {
        const HWND message = FindWindowW(ids::kMessageDialogClass, nullptr);
        messageOwner = GetWindow(message, GW_OWNER);
        messageStyle = exStyle(message);
        messageBoxes = boxes(message);
    };
    host.failAt = "Doc.InsertNote";
    press(mainForm(), ids::cmd_Ok);
    ASSERT_EQ(shownMessages, std::vector<std::wstring>{msg::kInsertError});
    EXPECT_EQ(messageOwner, frame.get());
    EXPECT_EQ(messageStyle & (WS_EX_TOPMOST | WS_EX_APPWINDOW), 0);
    EXPECT_EQ(messageBoxes, WS_MAXIMIZEBOX | WS_THICKFRAME | WS_SYSMENU);

    // A host that does not say: no owner, as the exe's, and no message about it.
    shownMessages.clear();
    host.fake.refuseFrame = true;
    host.fake.log.clear();
    ASSERT_EQ(host.fake.click(), 1);
    ASSERT_NE(mainForm(), nullptr);
    EXPECT_EQ(GetWindow(mainForm(), GW_OWNER), nullptr);
    EXPECT_NE(exStyle(mainForm()) & WS_EX_TOPMOST, 0);
    EXPECT_NE(boxes(mainForm()) & WS_MINIMIZEBOX, 0) << "with a taskbar button of its own";
    EXPECT_EQ(operationsOf(host.fake.log), std::vector<std::string>{"app.Frame"});
    press(mainForm(), ids::cmd_Cancel);
    EXPECT_EQ(shownMessages, std::vector<std::wstring>{});
    unload(addin, host.fake);
}

// The host's own loop for a while: long enough for the dialog to see its owner's state.
void hostPumpFor(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (GetTickCount64() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        hostPump();
    }
}

// The dialog's buttons and keys only ask; the run answers from a message of its own, so nothing
// calls the host inside the keyboard hook or a loop of the host's that dispatches nothing. While
// the host's frame is disabled (a modal dialog of the host's), the dialog follows it and its
// buttons do nothing.
TEST_F(AddinInProcess, NoHostCallFromTheHookOrAnotherLoopNorWhileTheHostsFrameIsDisabled) {
    Host host(sampleDrawing());
    const win::UniqueWindow frame = hostFrame(host);
    ComPtr<ISwAddin> addin = createAddin();
    ASSERT_TRUE(connect(*addin.get(), host.fake));
    ASSERT_EQ(host.fake.click(), 1);
    const HWND form = mainForm();
    ASSERT_NE(form, nullptr);
    const std::uint64_t shown = host.context->callCount();

    EnableWindow(frame.get(), FALSE);
    hostPumpFor(400);
    EXPECT_FALSE(IsWindowEnabled(form)) << "the dialog did not follow its disabled owner";
    press(form, ids::cmd_Ok);
    press(form, ids::cmd_Cancel);
    SendMessageW(form, WM_CLOSE, 0, 0);
    hostPumpFor(200);
    EXPECT_EQ(host.context->callCount(), shown);
    EXPECT_EQ(mainForm(), form);
    EnableWindow(frame.get(), TRUE);
    hostPumpFor(400);
    EXPECT_TRUE(IsWindowEnabled(form)) << "the dialog stayed disabled";

    // Enter on Ok taken off the queue by a host's loop that watches the keyboard, and a click
    // sent meanwhile: the run waits for the host's own loop.
    const HWND ok = GetDlgItem(form, ids::cmd_Ok);
    SetFocus(ok);
    PostMessageW(ok, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(ok, WM_KEYUP, VK_RETURN, 1);
    MSG key{};
    while (PeekMessageW(&key, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    SendMessageW(ok, BM_CLICK, 0, 0);
    EXPECT_EQ(host.context->callCount(), shown);
    EXPECT_EQ(mainForm(), form);
    hostPump();
    EXPECT_EQ(mainForm(), nullptr);
    EXPECT_EQ(host.drawing(), sim::drawingToJson(exeRun(sampleDrawing()).finalDrawing)) << "not one whole Ok";
    EXPECT_EQ(shownMessages, std::vector<std::wstring>{});

    // The host told to quit while a message of the run is up: the message's loop hands the
    // WM_QUIT back to the host's loop as it came, once, and the DLL posts none of its own.
    ASSERT_EQ(host.fake.click(), 1);
    ASSERT_NE(mainForm(), nullptr);
    whileMessageShows = [] { PostQuitMessage(7); };
    host.failAt = "Doc.InsertNote";
    SendMessageW(mainForm(), WM_COMMAND, MAKEWPARAM(ids::cmd_Ok, BN_CLICKED), 0);
    std::vector<WPARAM> quits;
    for (int round = 0; round < 50 && (mainForm() != nullptr || quits.empty()); ++round) {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quits.push_back(message.wParam);
            } else {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    EXPECT_EQ(quits, std::vector<WPARAM>{7});
    EXPECT_EQ(shownMessages, std::vector<std::wstring>{msg::kInsertError});
    EXPECT_EQ(mainForm(), nullptr);
    unload(addin, host.fake);
}

TEST_F(AddinInProcess, AFailureEndsTheRunNotTheHostAndTheNextClickRunsCleanly) {
    Host host(sampleDrawing());
    ComPtr<ISwAddin> addin = createAddin();
    ASSERT_TRUE(connect(*addin.get(), host.fake));

    // During the scan, and during Ok: each time one message, the run over, the host still here.
    const std::pair<const char*, const wchar_t*> failures[] = {{"View.GetFirstSFSymbol", msg::kUnexpectedError},
                                                                {"Doc.InsertNote", msg::kInsertError}};
    for (const auto& [failing, message] : failures) {
        SCOPED_TRACE(failing);
        shownMessages.clear();
        host.failAt = failing;
        ASSERT_EQ(host.fake.click(), 1);
        if (const HWND form = mainForm()) {
            press(form, ids::cmd_Ok);
        }
        EXPECT_TRUE(host.failAt.empty()) << "the call never came";
        ASSERT_EQ(shownMessages.size(), 1u);
        EXPECT_EQ(shownMessages[0].rfind(message, 0), 0u);
        EXPECT_EQ(mainForm(), nullptr);

        shownMessages.clear();
        ASSERT_EQ(host.fake.click(), 1);
        ASSERT_NE(mainForm(), nullptr);
        press(mainForm(), ids::cmd_Ok);
        EXPECT_EQ(mainForm(), nullptr);
        EXPECT_EQ(shownMessages, std::vector<std::wstring>{});
    }

    // One run at a time across the add-in and the exe: while the exe runs, a click opens
    // nothing of its own; while the add-in's dialog is open, the exe finds the claim taken.
    shownMessages.clear();
    {
        const ClaimHeldElsewhere exeRunning;
        ASSERT_EQ(host.fake.click(), 1);
        EXPECT_EQ(mainForm(), nullptr);
        // Its dialog up while its thread is stuck: the click neither waits for it (this would
        // hang) nor leaves a thread in the host's process to do so.
        const StuckExeDialog stuck;
        const std::size_t threads = threadsOfThisProcess();
        ASSERT_EQ(host.fake.click(), 1);
        EXPECT_EQ(threadsOfThisProcess(), threads);
        EXPECT_EQ(windowsOfClass(ids::kMainFormClass), 1u) << "a dialog of the add-in's own";
    }
    ASSERT_EQ(host.fake.click(), 1);
    ASSERT_NE(mainForm(), nullptr);
    EXPECT_FALSE(addin::testing::claimFree());
    press(mainForm(), ids::cmd_Cancel);
    EXPECT_TRUE(addin::testing::claimFree());
    EXPECT_EQ(shownMessages, std::vector<std::wstring>{});

    // No drawing: the command is disabled, and a forced click says why.
    host.fake.noActiveDocument = true;
    EXPECT_EQ(host.fake.enableState(), 0);
    host.fake.forceClick();
    EXPECT_EQ(shownMessages, std::vector<std::wstring>{msg::kNoDocument});
    EXPECT_EQ(mainForm(), nullptr);
    host.fake.noActiveDocument = false;

    // No configuration file: its message, and again nothing left open.
    shownMessages.clear();
    std::filesystem::remove(loaded->folder() / "Tarvenix.txt");
    ASSERT_EQ(host.fake.click(), 1);
    ASSERT_EQ(shownMessages.size(), 1u);
    EXPECT_EQ(mainForm(), nullptr);

    // Again, with a host that unloads the add-in while the message is up and holds nothing across
    // its call on the callbacks object: the object outlives the call it is in, the host lives on.
    shownMessages.clear();
    host.fake.holdsNothingDuringCalls = true;
    whileMessageShows = [&] {
        VARIANT_BOOL done = VARIANT_FALSE;
        EXPECT_EQ(addin->DisconnectFromSW(&done), S_OK);
        addin.reset();
        host.fake.dropCallbacks();
    };
    ASSERT_EQ(host.fake.click(), 1);
    EXPECT_EQ(shownMessages.size(), 1u);
    hostPump();
    EXPECT_FALSE(addinWindowLeft());
    EXPECT_EQ(host.fake.heldReferences(), 0);
    EXPECT_EQ(canUnloadNow(), S_OK);
    host.fake.holdsNothingDuringCalls = false;
    addin = createAddin();
    ASSERT_TRUE(connect(*addin.get(), host.fake));
    writeConfig();

    // The host unloads the add-in from inside a message's loop, under the dialog's Ok: what the
    // run owes the drawing is paid and every reference goes back before DisconnectFromSW returns;
    // a reconnection meanwhile starts no second run; the run ends without another word or host
    // call once the message has gone, and only then may the DLL go.
    shownMessages.clear();
    std::vector<std::string> calls;
    host.context->setTraceSink([&calls](const std::string& line) { calls.push_back(line); });
    std::size_t callsAtDisconnect = 0;
    ComPtr<ISwAddin> again;
    whileMessageShows = [&] {
        VARIANT_BOOL done = VARIANT_FALSE;
        EXPECT_EQ(addin->DisconnectFromSW(&done), S_OK);
        callsAtDisconnect = calls.size();
        EXPECT_TRUE(std::as_const(host.sim).data().toggles.at(sim::kViewActivationToggle));
        EXPECT_TRUE(std::any_of(calls.begin(), calls.end(),
                                [](const std::string& call) { return call.starts_with("FinishRecordingUndoObject2"); }));
        EXPECT_EQ(host.fake.heldReferences(), 0);
        EXPECT_EQ(standInReferences(host), 0);
        addin.reset();
        host.fake.dropCallbacks();
        // Its code is still under way on this thread: the DLL must stay.
        EXPECT_EQ(canUnloadNow(), S_FALSE);
        again = createAddin();
        EXPECT_TRUE(connect(*again.get(), host.fake));
        host.fake.click();
        EXPECT_EQ(windowsOfClass(ids::kMainFormClass), 1u) << "a second run";
        callsAtDisconnect = calls.size();
    };
    host.failAt = "Doc.InsertNote";
    ASSERT_EQ(host.fake.click(), 1);
    ASSERT_NE(mainForm(), nullptr);
    press(mainForm(), ids::cmd_Ok);
    EXPECT_EQ(shownMessages, std::vector<std::wstring>{msg::kInsertError});
    EXPECT_FALSE(whileMessageShows);
    hostPump();
    EXPECT_EQ(calls.size(), callsAtDisconnect) << "a host call after DisconnectFromSW: " << calls.back();
    EXPECT_EQ(shownMessages, std::vector<std::wstring>{msg::kInsertError});
    EXPECT_FALSE(FindWindowW(ids::kMessageDialogClass, nullptr) != nullptr &&
                 IsWindowVisible(FindWindowW(ids::kMessageDialogClass, nullptr)));
    EXPECT_EQ(standInReferences(host), 0);

    // The new connection runs as usual once the old run has gone.
    ASSERT_EQ(host.fake.click(), 1);
    ASSERT_NE(mainForm(), nullptr);
    press(mainForm(), ids::cmd_Cancel);
    unload(again, host.fake);
    EXPECT_EQ(standInReferences(host), 0);

    // The run that outlived its disconnection pinned the DLL: a host (or CoUninitialize) that frees
    // it without asking cannot pull the code from under a message of the run.
    const std::filesystem::path dll = loaded->folder() / "Tarvenix.dll";
    loaded.reset();
    EXPECT_NE(GetModuleHandleW(dll.c_str()), nullptr) << "not pinned";
}

// A control fails while a message of Ok is up (the host has a command open): the failure is kept,
// not run inside Ok's sequence, and reported once Ok's handler has returned; the run then ends by
// the error route, the drawing untouched.
TEST_F(AddinInProcess, AControlsFailureDuringAHandlerIsReportedOnceTheHandlerHasReturned) {
    Host host(sampleDrawing());
    const std::string before = host.drawing();
    host.sim.data().runningCommand = sim::RunningCommand{1, L"Notiz"};
    ComPtr<ISwAddin> addin = createAddin();
    ASSERT_TRUE(connect(*addin.get(), host.fake));
    ASSERT_EQ(host.fake.click(), 1);
    const HWND form = mainForm();
    ASSERT_NE(form, nullptr);
    whileMessageShows = [form] {
        SendMessageW(form, ids::kFailureProbe, 0, 0);
        // The add-in's own messages only (the failure's request among them), not this timer's.
        MSG message{};
        while (PeekMessageW(&message, nullptr, WM_APP, 0xBFFF, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        EXPECT_EQ(shownMessages.size(), 1u) << "the failure was taken inside the handler";
    };
    press(form, ids::cmd_Ok);
    hostPump();
    ASSERT_EQ(shownMessages.size(), 2u);
    EXPECT_EQ(shownMessages[0], msg::kHostCommandOpen);
    EXPECT_NE(shownMessages[1].find(L"Fehler eines Steuerelements (Test)"), std::wstring::npos) << shownMessages[1];
    EXPECT_EQ(FindWindowW(ids::kMainFormClass, nullptr), nullptr);
    EXPECT_TRUE(addin::testing::claimFree());
    EXPECT_EQ(host.drawing(), before);
    unload(addin, host.fake);
}

// The host disconnects inside one of Form_Load's calls (its first, one in the middle, its last):
// the run ends as Abbruch ends it, with no dialog, no message and no host call after the
// goodbye; the drawing stays as it was and nothing of the add-in is left.
TEST_F(AddinInProcess, ADisconnectionDuringTheStartsHostCallsEndsTheRunWithoutAWord) {
    Host host(sampleDrawing());
    const std::string before = host.drawing();
    std::vector<std::string> calls;
    host.context->setTraceSink([&calls](const std::string& line) { calls.push_back(line); });
    ComPtr<ISwAddin> addin = createAddin();
    ASSERT_TRUE(connect(*addin.get(), host.fake));
    ASSERT_EQ(host.fake.click(), 1);
    ASSERT_NE(mainForm(), nullptr);
    const std::size_t startCalls = calls.size();
    press(mainForm(), ids::cmd_Cancel);
    ASSERT_GE(startCalls, 3u);

    for (const std::size_t at : {std::size_t{1}, startCalls / 2, startCalls}) {
        SCOPED_TRACE("disconnected during call " + std::to_string(at) + " of " + std::to_string(startCalls));
        calls.clear();
        std::size_t callsAtGoodbye = 0;
        host.context->setGate([&](std::uint64_t, const std::string&) {
            if (calls.size() + 1 == at && callsAtGoodbye == 0) {
                VARIANT_BOOL done = VARIANT_FALSE;
                EXPECT_EQ(addin->DisconnectFromSW(&done), S_OK);
                callsAtGoodbye = calls.size() + 1; // this call is under way already
            }
            return S_OK;
        });
        host.fake.click();
        hostPump();
        host.context->setGate(nullptr);
        EXPECT_NE(callsAtGoodbye, 0u);
        EXPECT_EQ(calls.size(), callsAtGoodbye) << "a host call after DisconnectFromSW: " << calls.back();
        EXPECT_EQ(FindWindowW(ids::kMainFormClass, nullptr), nullptr);
        EXPECT_EQ(shownMessages, std::vector<std::wstring>{});
        EXPECT_TRUE(addin::testing::claimFree());
        EXPECT_FALSE(addinWindowLeft());
        EXPECT_EQ(host.fake.heldReferences(), 0);
        EXPECT_EQ(standInReferences(host), 0);
        EXPECT_EQ(host.drawing(), before);
        addin.reset();
        host.fake.dropCallbacks();
        addin = createAddin();
        ASSERT_TRUE(connect(*addin.get(), host.fake));
    }
    unload(addin, host.fake);
}

// The fault table's column for a host the add-in lives in: every call of a whole run fails in
// turn, all in one host process. The run's host object comes from the host, so the table's
// first call, the attach, has no row here; nor has a busy or hung host, which in process cannot be.
TEST_F(AddinInProcess, AtEachHostCallFailingTheRunEndsAsTheFaultTableSaysAndTheNextClickRunsCleanly) {
    const sim::HostData before = sampleDrawing("rerun-drawing.json");
    Host host(before);
    ComPtr<ISwAddin> addin = createAddin();
    ASSERT_TRUE(connect(*addin.get(), host.fake));
    const testing::FaultBaseline clean = exeRun(before);
    const std::vector<testing::FaultExpectation> expectations = testing::faultExpectations(clean);
    ASSERT_GT(expectations.size(), 200u) << "not a whole run";
    ASSERT_NE(clean.hiddenAt, 0u) << "the dialog was never shown and hidden";

    std::map<std::string, std::size_t> perStep;
    std::set<std::string> rerunOn;
    for (std::uint64_t n = 1; n <= expectations.size(); ++n) {
        const testing::FaultExpectation& expect = expectations[n - 1];
        const sim::TraceEntry& call = clean.trace[n - 1];
        SCOPED_TRACE("call " + std::to_string(n) + " " + call.object + "." + call.operation + ", " + expect.step);
        ++perStep[expect.step];
        host.sim.data() = before;

        shownMessages.clear();
        host.sim.failAtCall(host.sim.callCount() + n);
        host.fake.forceClick();
        if (const HWND form = mainForm()) {
            press(form, ids::cmd_Ok);
        }
        host.sim.clearFaults();
        EXPECT_EQ(mainForm(), nullptr);
        EXPECT_TRUE(testing::reportsAsExpected(expect, shownMessages))
            << shownMessages.size() << " shown: " << (shownMessages.empty() ? "-" : sim::toUtf8(shownMessages[0]));
        EXPECT_EQ(testing::drawingFault(clean, expect, host.sim.data()), "");

        // A clean click on each drawing a fault leaves; between two faults that leave the same
        // drawing, the next row's click is the one that must run in full after this fault.
        if (!rerunOn.insert(sim::drawingToJson(std::as_const(host.sim).data())).second && n != expectations.size()) {
            continue;
        }
        // What the first run put on the drawing may be gone, and with it the dialog's
        // preselection: the user picks again what that run took.
        shownMessages.clear();
        host.fake.forceClick();
        ASSERT_NE(mainForm(), nullptr);
        choose(mainForm(), clean.choice);
        press(mainForm(), ids::cmd_Ok);
        EXPECT_EQ(shownMessages, std::vector<std::wstring>{});
        EXPECT_EQ(testing::outputFault(clean, host.sim.data()), "");
    }
    for (const char* step :
         {"connection", "scan", "layout", "command", "recording", "clearing", "placing", "rebuild"}) {
        EXPECT_GT(perStep[step], 0u) << step;
    }
    std::cout << "calls failed in turn: " << expectations.size() << ", clean clicks after them on "
              << rerunOn.size() << " different drawings\n";
    unload(addin, host.fake);
}

// The host's memory of earlier sessions: the layout it kept of the group is dropped only when its
// buttons are not ours, read from any array of integers. A kept tab is used as it is while the
// layout is ours (no box added, so nothing doubles with each start); with no layout kept or
// another one, its box names buttons that are gone, so it is removed and built again. The group
// goes at the disconnect for this session only, and a tab the add-in built with it.
TEST_F(AddinInProcess, AKeptLayoutIsDroppedOnlyWhenItIsNotOursAndAKeptTabIsUsedOnlyWithOurs) {
    Host host(sampleDrawing());
    const struct {
        std::optional<std::vector<LONG>> kept;
        VARTYPE form;
        bool keptTab;
        const char* ignorePrevious;
        bool tabBuilt;
    } cases[] = {
        {std::nullopt, VT_I4, false, "BOOL false", true},
        {std::nullopt, VT_I4, true, "BOOL false", true}, // a crash left the tab, not the layout
        {std::vector<LONG>{0}, VT_I4, true, "BOOL false", false},
        {std::vector<LONG>{0}, VT_INT, true, "BOOL false", false},
        {std::vector<LONG>{0}, VT_I2, true, "BOOL false", false},
        {std::vector<LONG>{0}, VT_VARIANT, true, "BOOL false", false},
        {std::vector<LONG>{0}, VT_R8, true, "BOOL true", true}, // no integers: not ours
        {std::vector<LONG>{0, 1}, VT_I4, true, "BOOL true", true},
        {std::vector<LONG>{3}, VT_I4, false, "BOOL true", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.ignorePrevious) + ", form " + std::to_string(c.form) +
                     (c.keptTab ? ", tab kept" : ", no tab"));
        host.fake.keptLayout = c.kept;
        host.fake.keptLayoutForm = c.form;
        host.fake.keptTab = c.keptTab;
        host.fake.log.clear();
        ComPtr<ISwAddin> addin = createAddin();
        ASSERT_TRUE(connect(*addin.get(), host.fake));
        const auto create = std::find_if(host.fake.log.begin(), host.fake.log.end(), [](const std::string& call) {
            return call.starts_with("manager.CreateCommandGroup2(");
        });
        ASSERT_NE(create, host.fake.log.end());
        EXPECT_NE(create->find(std::string("I4 -1, ") + c.ignorePrevious), std::string::npos) << *create;
        const std::vector<std::string> added = operationsOf(host.fake.log);
        const auto count = [&](const char* operation) { return std::count(added.begin(), added.end(), operation); };
        EXPECT_EQ(count("manager.RemoveCommandTab"), c.keptTab && c.tabBuilt ? 1 : 0);
        EXPECT_EQ(count("manager.AddCommandTab"), c.tabBuilt ? 1 : 0);
        EXPECT_EQ(count("tab.AddCommandTabBox"), c.tabBuilt ? 1 : 0);
        EXPECT_EQ(count("box.AddCommands"), c.tabBuilt ? 1 : 0);
        host.fake.log.clear();
        unload(addin, host.fake);
        EXPECT_EQ(operationsOf(host.fake.log),
                  c.tabBuilt ? (std::vector<std::string>{"app.RemoveMenu", "manager.RemoveCommandTab",
                                                         "manager.RemoveCommandGroup2"})
                             : (std::vector<std::string>{"app.RemoveMenu", "manager.RemoveCommandGroup2"}));
        EXPECT_EQ(host.fake.log.back(), "manager.RemoveCommandGroup2(I4 1687, BOOL true)");
    }
}

TEST_F(AddinInProcess, ARefusedConnectionTakesBackWhatItAddedAndAnswersFalse) {
    Host host(sampleDrawing());
    host.fake.refuseMenu = true;
    ComPtr<ISwAddin> addin = createAddin();
    EXPECT_FALSE(connect(*addin.get(), host.fake));
    EXPECT_EQ(operationsOf(host.fake.log),
              (std::vector<std::string>{"app.RevisionNumber", "app.SetAddinCallbackInfo2", "app.AddMenuItem5"}));

    host.fake.refuseMenu = false;
    host.fake.refuseActivate = true;
    host.fake.log.clear();
    addin = createAddin();
    EXPECT_FALSE(connect(*addin.get(), host.fake));
    const std::vector<std::string> calls = operationsOf(host.fake.log);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(calls.end() - 2, calls.end()),
              (std::vector<std::string>{"app.RemoveMenu", "manager.RemoveCommandGroup2"}));
    for (const std::string& call : calls) {
        EXPECT_NE(call, "manager.AddCommandTab");
    }
    addin.reset();
    host.fake.dropCallbacks();
    EXPECT_EQ(host.fake.heldReferences(), 0);
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(AddinInProcess, AHostOlderThanItNeedsGetsNothingAndOneLackingANeededCallGetsAllBack) {
    Host host(sampleDrawing());
    host.fake.revision = L"23.4.0";
    const FakeAppEvents events(host.fake);
    ComPtr<ISwAddin> addin = createAddin();
    EXPECT_FALSE(connect(*addin.get(), host.fake));
    EXPECT_EQ(operationsOf(host.fake.log), std::vector<std::string>{"app.RevisionNumber"});
    EXPECT_EQ(events.advised, 0) << "subscribed to the idle notification of a host it refuses";

    // A revision that cannot be read is not judged: the call the host lacks tells instead.
    host.fake.revision = L"unbekannt";
    host.fake.menuMissing = true;
    host.fake.log.clear();
    addin = createAddin();
    EXPECT_FALSE(connect(*addin.get(), host.fake));
    EXPECT_EQ(operationsOf(host.fake.log),
              (std::vector<std::string>{"app.RevisionNumber", "app.SetAddinCallbackInfo2", "app.AddMenuItem5"}));
    addin.reset();
    host.fake.dropCallbacks();
    EXPECT_EQ(host.fake.heldReferences(), 0);
    EXPECT_EQ(canUnloadNow(), S_OK);
}

// The registry as seen through roots redirected into a scratch key of the test's own.
class RedirectedRegistry {
public:
    RedirectedRegistry() {
        for (std::size_t i = 0; i < kRoots.size(); ++i) {
            HKEY key = nullptr;
            const std::wstring path = std::wstring(kScratch) + L"\\" + std::to_wstring(i);
            EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                      nullptr),
                      ERROR_SUCCESS);
            keys_[i] = key;
        }
        for (std::size_t i = 0; i < kRoots.size(); ++i) {
            EXPECT_EQ(RegOverridePredefKey(kRoots[i], keys_[i]), ERROR_SUCCESS);
        }
    }
    RedirectedRegistry(const RedirectedRegistry&) = delete;
    RedirectedRegistry& operator=(const RedirectedRegistry&) = delete;
    ~RedirectedRegistry() {
        for (std::size_t i = 0; i < kRoots.size(); ++i) {
            RegOverridePredefKey(kRoots[i], nullptr);
            RegCloseKey(keys_[i]);
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    }

private:
    static constexpr wchar_t kScratch[] = L"Software\\TarvenixAddinTest";
    const std::array<HKEY, 3> kRoots{HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    std::array<HKEY, 3> keys_{};
};

std::wstring text(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t value[512] = {};
    DWORD size = sizeof value;
    const LSTATUS status = RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size);
    return status == ERROR_SUCCESS ? value : L"<" + std::to_wstring(status) + L">";
}

DWORD number(HKEY root, const std::wstring& key) {
    DWORD value = 0;
    DWORD size = sizeof value;
    return RegGetValueW(root, key.c_str(), nullptr, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS ? value
                                                                                                               : 99;
}

bool exists(HKEY root, const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(opened);
    return true;
}

TEST_F(AddinInProcess, RegistersExactlyItsOwnKeysAndRemovesOnlyThoseOfItsOwnCopy) {
    const std::wstring clsid = addin::kAddinClsidText;
    const std::wstring classKey = L"CLSID\\" + clsid;
    const std::wstring addinKey = L"SOFTWARE\\SOLIDWORKS\\AddIns\\" + clsid;
    const std::wstring startupKey = L"Software\\SolidWorks\\AddInsStartup\\" + clsid;
    const std::wstring otherAddin = L"SOFTWARE\\SOLIDWORKS\\AddIns\\{00000000-0000-0000-0000-000000000001}";
    const auto registerServer = reinterpret_cast<SelfRegister>(exported("DllRegisterServer"));
    const auto unregisterServer = reinterpret_cast<SelfRegister>(exported("DllUnregisterServer"));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(unregisterServer, nullptr);

    const RedirectedRegistry registry;
    HKEY other = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, otherAddin.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &other,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(other);

    ASSERT_EQ(registerServer(), S_OK);
    EXPECT_EQ(text(HKEY_CLASSES_ROOT, classKey, nullptr), L"Tarvenix");
    EXPECT_EQ(text(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", nullptr), (loaded->folder() / "Tarvenix.dll").wstring());
    EXPECT_EQ(text(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(number(HKEY_LOCAL_MACHINE, addinKey), 1u);
    EXPECT_EQ(text(HKEY_LOCAL_MACHINE, addinKey, L"Title"), L"Tarvenix");
    EXPECT_EQ(text(HKEY_LOCAL_MACHINE, addinKey, L"Description"), L"Allgemeine Oberflächenangabe für Zeichnungen");
    EXPECT_EQ(text(HKEY_LOCAL_MACHINE, addinKey, L"Icon Path"), (loaded->folder() / "Tarvenix_20.bmp").wstring());
    EXPECT_EQ(number(HKEY_CURRENT_USER, startupKey), 1u);

    ASSERT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, classKey));
    EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, addinKey));
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, startupKey));
    EXPECT_TRUE(exists(HKEY_LOCAL_MACHINE, otherAddin));
    EXPECT_EQ(unregisterServer(), S_OK) << "keys already gone are no failure";

    // The package's copy registered elsewhere: the zip's copy neither takes over nor removes it.
    const std::filesystem::path packaged = folder.path() / "package" / "Tarvenix.dll";
    std::filesystem::create_directories(packaged.parent_path());
    std::ofstream(packaged).put('x');
    HKEY server = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (classKey + L"\\InprocServer32").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &server, nullptr),
              ERROR_SUCCESS);
    const std::wstring packagedPath = packaged.wstring();
    RegSetValueExW(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(packagedPath.c_str()),
                   static_cast<DWORD>((packagedPath.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(server);
    HKEY packageEntry = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, addinKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &packageEntry, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(packageEntry);
    EXPECT_EQ(registerServer(), HRESULT_FROM_WIN32(ERROR_ALREADY_REGISTERED));
    EXPECT_EQ(text(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", nullptr), packagedPath);
    EXPECT_FALSE(exists(HKEY_CURRENT_USER, startupKey)) << "a refused registration writes nothing";
    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_EQ(text(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", nullptr), packagedPath);
    EXPECT_TRUE(exists(HKEY_LOCAL_MACHINE, addinKey));

    // A registration whose file has gone is stale: registering takes it over.
    std::filesystem::remove(packaged);
    ASSERT_EQ(registerServer(), S_OK);
    EXPECT_EQ(text(HKEY_CLASSES_ROOT, classKey + L"\\InprocServer32", nullptr), (loaded->folder() / "Tarvenix.dll").wstring());
    ASSERT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(exists(HKEY_CLASSES_ROOT, classKey));
}

} // namespace
} // namespace tvx
