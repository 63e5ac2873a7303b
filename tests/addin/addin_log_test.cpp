// The support log of the add-in's runs, in the host's process: what a run whose host call failed
// leaves in it, a folder that cannot be written, and the switch that turns it off.
#include "addin/addin_interfaces.h"
#include "app/win32/control_ids.h"
#include "drawing/sim/drawing_file.h"
#include "tests/addin/loaded_addin.h"
#include "tests/com/automation_run.h"
#include "tests/com/server_process.h"
#include "tests/gui/win32_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace tvx {
namespace {

using com::ComPtr;

std::vector<std::wstring> messages;

void CALLBACK confirmMessage(HWND, UINT, UINT_PTR, DWORD) {
    const HWND message = FindWindowW(ids::kMessageDialogClass, nullptr);
    if (message != nullptr && IsWindowVisible(message)) {
        messages.push_back(test::windowText(GetDlgItem(message, ids::Info)));
        SendMessageW(message, WM_CLOSE, 0, 0);
    }
}

// HKCU\Software\Tarvenix value Log while it lives.
class LogSwitch {
public:
    explicit LogSwitch(DWORD value) {
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Tarvenix", L"Log", REG_DWORD, &value, sizeof value);
    }
    LogSwitch(const LogSwitch&) = delete;
    LogSwitch& operator=(const LogSwitch&) = delete;
    ~LogSwitch() { RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Tarvenix", L"Log"); }
};

// Read as a user's editor does, never in the way of the writer's renaming.
std::string sharedBytes(const std::filesystem::path& file) {
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(handle, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        bytes.append(chunk, got);
    }
    CloseHandle(handle);
    return bytes;
}

// The add-in's records are written by a worker: the file once it holds text after from.
std::string logOnceItHolds(const std::filesystem::path& file, const std::string& text, std::size_t from = 0) {
    std::string bytes;
    for (int attempt = 0; attempt < 400; ++attempt) {
        bytes = sharedBytes(file);
        if (bytes.size() > from && bytes.find(text, from) != std::string::npos) {
            break;
        }
        Sleep(25);
    }
    return bytes;
}

TEST(AddinLog, NamesTheFailedCallAndItsCodeAndNeverChangesTheRun) {
    const com::ComApartment apartment;
    const com::testing::ScratchFolder folder("addin-log");
    const addin::testing::LoadedAddin loaded(folder.path(), com::testing::windowsPath(TVX_ADDIN_DLL),
                                             com::testing::windowsPath(TVX_SOURCE_DIR));
    const UINT_PTR timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &confirmMessage);
    const sim::HostData before =
        sim::loadDrawingFile(com::testing::windowsPath(TVX_SOURCE_DIR) / "samples" / "sample-drawing.json");
    addin::testing::DrawingHost host(before);
    ComPtr<ISwAddin> addin = loaded.create();
    ASSERT_TRUE(addin);
    VARIANT_BOOL connected = VARIANT_FALSE;
    ASSERT_EQ(addin->ConnectToSW(&host.fake.app, 7, &connected), S_OK);
    ASSERT_EQ(connected, VARIANT_TRUE);
    host.sim.setTracing(true);

    const auto runWithLogIn = [&](const std::filesystem::path& appData, std::uint64_t failing) {
        SetEnvironmentVariableW(L"LOCALAPPDATA", appData.wstring().c_str());
        host.sim.data() = before;
        host.sim.clearTrace();
        messages.clear();
        if (failing != 0) {
            host.sim.failAtCall(host.sim.callCount() + failing);
        }
        host.fake.forceClick();
        if (const HWND form = addin::testing::visibleMainForm()) {
            addin::testing::press(form, ids::cmd_Ok);
        }
        host.sim.clearFaults();
        EXPECT_EQ(addin::testing::visibleMainForm(), nullptr);
        return sim::drawingToJson(std::as_const(host.sim).data());
    };

    // A clean run leaves its record, with the paper code and its end.
    const std::filesystem::path appData = folder.path() / "appdata";
    const std::filesystem::path logFile = appData / "Tarvenix" / "Tarvenix.log";
    std::filesystem::create_directories(appData);
    const std::string clean = runWithLogIn(appData, 0);
    EXPECT_EQ(messages, std::vector<std::wstring>{});
    ASSERT_GT(host.sim.trace().size(), 4u);
    const std::string fourth = host.sim.trace()[3].operation;
    std::string log = logOnceItHolds(logFile, "\r\nEnde: ");
    // The log names the project's one version, as the version record and the package do.
    EXPECT_NE(log.find("Tarvenix: " TVX_PROJECT_VERSION ".0, Add-in\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nHostversion: 31.2.0\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Konfiguration: "), std::string::npos) << log;
    EXPECT_NE(log.find("Papiercode: "), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nEnde: Ok ausgeführt\r\n"), std::string::npos) << log;
    // What support asks first: who, which drawing and sheet, and what was chosen.
    EXPECT_NE(log.find("\r\nBenutzer: "), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nZeichnung: Welle_0815\r\nBlatt: Blatt1\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nAuswahl: Symbol "), std::string::npos) << log;

    // A host that fails the title: the run is the same, the record calls the title unknown.
    const std::size_t had = sharedBytes(logFile).size();
    host.sim.failOperation("GetTitle");
    EXPECT_EQ(runWithLogIn(appData, 0), clean);
    EXPECT_EQ(messages, std::vector<std::wstring>{});
    log = logOnceItHolds(logFile, "\r\nEnde: ", had).substr(had);
    EXPECT_NE(log.find(" GetTitle: Fehler 0x80020009, "), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nZeichnung: unbekannt"), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nEnde: Ok ausgeführt\r\n"), std::string::npos) << log;

    // The fourth call fails: the next record names it with the host's code, then the message and
    // the end.
    runWithLogIn(appData, 4);
    ASSERT_EQ(messages.size(), 1u);
    log = logOnceItHolds(logFile, "\r\nEnde: ", log.size()).substr(log.size());
    EXPECT_NE(log.find("  #4 " + fourth + ": Fehler 0x80020009, "), std::string::npos) << fourth << "\n" << log;
    EXPECT_NE(log.find("\r\nMeldung: "), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nEnde: nach der Meldung"), std::string::npos) << log;

    // A full log becomes the older file, and the run starts a new one.
    const std::string full(1024 * 1024 - 100, 'x');
    std::ofstream(logFile, std::ios::binary) << full;
    runWithLogIn(appData, 0);
    log = logOnceItHolds(logFile, "\r\nEnde: ");
    EXPECT_EQ(testing::fileBytes(appData / "Tarvenix" / "Tarvenix.1.log"), full);
    EXPECT_EQ(log.rfind("Lauf: ", 0), 0u) << log.substr(0, 100);
    EXPECT_NE(log.find("\r\nEnde: Ok ausgeführt\r\n"), std::string::npos);

    // No older file can be made (a folder holds its name): the full log starts afresh, and
    // logging goes on rather than stopping for good.
    const std::filesystem::path older = appData / "Tarvenix" / "Tarvenix.1.log";
    std::filesystem::remove(older);
    std::filesystem::create_directories(older / "held");
    std::ofstream(logFile, std::ios::binary) << full;
    runWithLogIn(appData, 0);
    log = logOnceItHolds(logFile, "\r\nEnde: ");
    EXPECT_EQ(log.rfind("Lauf: ", 0), 0u) << log.substr(0, 100);
    EXPECT_NE(log.find("\r\nEnde: Ok ausgeführt\r\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(older / "held"));
    std::filesystem::remove_all(older);

    // The older file open in a viewer that does not share deletion: neither replaced nor
    // deleted, and the log goes on afresh all the same.
    std::ofstream(older, std::ios::binary) << "in the viewer";
    const HANDLE viewer = CreateFileW(older.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(viewer, INVALID_HANDLE_VALUE);
    std::ofstream(logFile, std::ios::binary) << full;
    runWithLogIn(appData, 0);
    log = logOnceItHolds(logFile, "\r\nEnde: ");
    CloseHandle(viewer);
    EXPECT_EQ(log.rfind("Lauf: ", 0), 0u) << log.substr(0, 100);
    EXPECT_EQ(testing::fileBytes(older), "in the viewer");
    std::filesystem::remove(older);

    // A log folder that cannot be made (a file stands in its place): the same run, no message.
    const std::filesystem::path blocked = folder.path() / "blocked";
    std::filesystem::create_directories(blocked);
    std::ofstream(blocked / "Tarvenix") << "not a folder";
    EXPECT_EQ(runWithLogIn(blocked, 0), clean);
    EXPECT_EQ(messages, std::vector<std::wstring>{});

    // Switched off: nothing is written (no worker is started), and the run is the same.
    {
        const LogSwitch off(0);
        const std::string beforeOff = testing::fileBytes(logFile);
        EXPECT_EQ(runWithLogIn(appData, 0), clean);
        EXPECT_EQ(testing::fileBytes(logFile), beforeOff);
    }

    // The host lets go of the add-in with the dialog up: the run's last record is on disk when
    // DisconnectFromSW returns, not left queued in a process about to end.
    const std::size_t beforeEnd = sharedBytes(logFile).size();
    host.fake.forceClick();
    ASSERT_NE(addin::testing::visibleMainForm(), nullptr);
    VARIANT_BOOL done = VARIANT_FALSE;
    addin->DisconnectFromSW(&done);
    const std::string atEnd = sharedBytes(logFile);
    EXPECT_NE(atEnd.find("\r\nEnde: ", beforeEnd), std::string::npos) << atEnd.substr(beforeEnd);

    // A connection the add-in refuses leaves its cause, which the host itself never shows.
    addin = loaded.create();
    host.fake.refuseMenu = true;
    connected = VARIANT_TRUE;
    EXPECT_EQ(addin->ConnectToSW(&host.fake.app, 7, &connected), S_OK);
    EXPECT_EQ(connected, VARIANT_FALSE);
    log = logOnceItHolds(logFile, "\r\nConnectToSW: nicht verbunden: ");
    EXPECT_NE(log.find("\r\nConnectToSW: nicht verbunden: "), std::string::npos) << log.substr(log.size() / 2);
    // This host sends no idle notification: said once at the connection, not at each run.
    const std::string noIdle = "ConnectToSW: keine Leerlaufmeldung des Hosts";
    const std::size_t said = log.find(noIdle);
    EXPECT_NE(said, std::string::npos) << log.substr(log.size() / 2);
    EXPECT_EQ(log.find(noIdle, said + 1), std::string::npos);

    addin.reset();
    host.fake.dropCallbacks();
    addin::testing::hostPump();
    KillTimer(nullptr, timer);
}

// At each connection the add-in writes what GetGroupDataFromRegistry answered and the VARTYPE of
// its out parameter, saying so when no IDs can be read from it: the host probe quotes that line.
TEST(AddinLog, NamesTheKeptLayoutsFormAtEachConnection) {
    const com::ComApartment apartment;
    const com::testing::ScratchFolder folder("addin-log-kept");
    const addin::testing::LoadedAddin loaded(folder.path(), com::testing::windowsPath(TVX_ADDIN_DLL),
                                             com::testing::windowsPath(TVX_SOURCE_DIR));
    addin::testing::DrawingHost host(
        sim::loadDrawingFile(com::testing::windowsPath(TVX_SOURCE_DIR) / "samples" / "sample-drawing.json"));
    const std::filesystem::path appData = folder.path() / "appdata";
    std::filesystem::create_directories(appData);
    SetEnvironmentVariableW(L"LOCALAPPDATA", appData.wstring().c_str());
    std::size_t from = 0;
    for (const auto& [form, line] :
         {std::pair<VARTYPE, std::string>{VT_I4, "\r\nGetGroupDataFromRegistry: True, Ausgabe VT_ARRAY|VT_I4\r\n"},
          {VT_R8, "\r\nGetGroupDataFromRegistry: True, Ausgabe VT_ARRAY|VT_R8 (keine ganzen Zahlen)\r\n"}}) {
        host.fake.keptLayout = std::vector<LONG>{0};
        host.fake.keptLayoutForm = form;
        ComPtr<ISwAddin> addin = loaded.create();
        VARIANT_BOOL connected = VARIANT_FALSE;
        ASSERT_EQ(addin->ConnectToSW(&host.fake.app, 7, &connected), S_OK);
        EXPECT_EQ(connected, VARIANT_TRUE);
        const std::string log = logOnceItHolds(appData / "Tarvenix" / "Tarvenix.log", line, from);
        EXPECT_NE(log.find(line, from), std::string::npos) << log.substr(from);
        from = log.size();
        VARIANT_BOOL done = VARIANT_FALSE;
        addin->DisconnectFromSW(&done);
        addin.reset();
        host.fake.dropCallbacks();
        addin::testing::hostPump();
    }
}

} // namespace
} // namespace tvx
