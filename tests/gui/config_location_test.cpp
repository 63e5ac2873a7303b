// Reading the configuration within its bound: a file that answers is read as ever, one that
// never does gives the configuration message once the bound has passed, with nothing read.
#include "tests/support/run_fixture.h"
#include "app/win32/config_location.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace tvx {
namespace {

using namespace std::chrono_literals;

// A pipe a reader can open but that sends nothing until told: a share that stopped answering.
class SilentPipe {
public:
    SilentPipe()
        : name_(L"\\\\.\\pipe\\tvx-config-" + std::to_wstring(GetCurrentProcessId())),
          pipe_(CreateNamedPipeW(name_.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0,
                                 nullptr)) {}
    SilentPipe(const SilentPipe&) = delete;
    SilentPipe& operator=(const SilentPipe&) = delete;
    ~SilentPipe() { CloseHandle(pipe_); }

    bool valid() const { return pipe_ != INVALID_HANDLE_VALUE; }
    const std::wstring& name() const { return name_; }
    // Answers at last, then goes: the reader left behind reads this and the end.
    void answer(const std::string& text) {
        DWORD written = 0;
        WriteFile(pipe_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        FlushFileBuffers(pipe_);
        DisconnectNamedPipe(pipe_);
    }

private:
    std::wstring name_;
    HANDLE pipe_;
};

TEST(ConfigWithinBound, AFileThatAnswersIsReadAndOneThatDoesNotGivesTheMessage) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tvx-config-bound-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    const std::wstring file = (folder / "Tarvenix.txt").wstring();
    std::ofstream(folder / "Tarvenix.txt", std::ios::binary) << testing::configText() << "Eckpunkt 6 = 0.287\n";

    const win::ConfigReading read = win::readConfigWithin(file, 10s);
    EXPECT_EQ(read.error, L"");
    EXPECT_FALSE(read.unanswered);
    EXPECT_EQ(read.cfg.cfgCornerX[3], 0.4);
    EXPECT_EQ(read.cfg.cfgExtraCornerX[6], 0.287);

    const win::ConfigReading missing = win::readConfigWithin((folder / "fehlt.txt").wstring(), 10s);
    EXPECT_EQ(missing.error, kConfigErrorText);
    EXPECT_FALSE(missing.unanswered);
    // The log tells which file and why; a folder where the file should be is told apart (a
    // folder named by the value means the file in it, so the folder stands in that file's place).
    std::filesystem::create_directories(folder / "Ordner" / "Tarvenix.txt");
    const win::ConfigReading folderRead = win::readConfigWithin((folder / "Ordner").wstring(), 10s);
    for (const auto& [reading, cause] : {std::pair{&missing, std::string("Datei nicht gefunden")},
                                         std::pair{&folderRead, std::string("ein Ordner, keine Datei")}}) {
        RunLog failed;
        failed.writeTo([](std::string_view) {});
        Config ignored;
        EXPECT_EQ(win::takeReading(*reading, ignored, failed), kConfigErrorText);
        const std::string piece = failed.takePiece();
        EXPECT_NE(piece.find("Konfiguration fehlerhaft: " + cause), std::string::npos) << piece;
        EXPECT_NE(piece.find("Konfigurationsdatei: "), std::string::npos) << piece;
    }

    // As administrators write the machine's value: a variable in a plain string, or a folder.
    ASSERT_TRUE(SetEnvironmentVariableW(L"TVX_SHOP", folder.wstring().c_str()));
    EXPECT_EQ(win::configFileFrom(L"%TVX_SHOP%\\Tarvenix.txt"), file);
    EXPECT_EQ(win::configFileFrom(L"%TVX_SHOP%\\"), file);
    EXPECT_EQ(win::configFileFrom(L"\\\\server\\cad\\"), L"\\\\server\\cad\\Tarvenix.txt");
    EXPECT_EQ(win::configFileFrom(L"%TVX_NOT_SET%\\a.txt"), L"%TVX_NOT_SET%\\a.txt");
    EXPECT_EQ(win::configFileFrom(L""), L"");
    const win::ConfigReading inFolder = win::readConfigWithin(win::configFileFrom(L"%TVX_SHOP%"), 10s);
    EXPECT_EQ(inFolder.error, L"");
    EXPECT_EQ(inFolder.path, file) << "the log names the file read, not the folder";
    EXPECT_EQ(inFolder.cfg.cfgExtraCornerX[6], 0.287);

    SilentPipe share;
    ASSERT_TRUE(share.valid());
    const auto start = std::chrono::steady_clock::now();
    const win::ConfigReading stalled = win::readConfigWithin(share.name(), 300ms);
    EXPECT_EQ(stalled.error, kConfigErrorText);
    EXPECT_TRUE(stalled.unanswered);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms) << "the message came before the bound";
    // Handed to a run: nothing of it is taken, and the log tells why.
    Config cfg;
    cfg.cfgCornerY = -1.0;
    RunLog log;
    log.writeTo([](std::string_view) {});
    EXPECT_EQ(win::takeReading(stalled, cfg, log), kConfigErrorText);
    EXPECT_EQ(cfg.cfgCornerY, -1.0);
    EXPECT_NE(log.takePiece().find("keine Antwort binnen 3 s"), std::string::npos);
    share.answer(testing::configText());

    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace tvx
