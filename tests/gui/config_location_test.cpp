// Reading the configuration within its bound: a file that answers is read as ever, one that
// never does gives the configuration message once the bound has passed, with nothing read.
#include "app/testing/run_fixture.h"
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

    Config cfg;
    EXPECT_EQ(win::readConfigWithin(cfg, file, 10s), L"");
    EXPECT_EQ(cfg.cfgCornerX[3], 0.4);
    EXPECT_EQ(cfg.cfgExtraCornerX[6], 0.287);

    Config missing;
    EXPECT_EQ(win::readConfigWithin(missing, (folder / "fehlt.txt").wstring(), 10s), kConfigErrorText);

    // As administrators write the machine's value: a variable in a plain string, or a folder.
    ASSERT_TRUE(SetEnvironmentVariableW(L"TVX_SHOP", folder.wstring().c_str()));
    EXPECT_EQ(win::configFileFrom(L"%TVX_SHOP%\\Tarvenix.txt"), file);
    EXPECT_EQ(win::configFileFrom(L"%TVX_SHOP%\\"), file);
    EXPECT_EQ(win::configFileFrom(L"\\\\server\\cad\\"), L"\\\\server\\cad\\Tarvenix.txt");
    EXPECT_EQ(win::configFileFrom(L"%TVX_NOT_SET%\\a.txt"), L"%TVX_NOT_SET%\\a.txt");
    EXPECT_EQ(win::configFileFrom(L""), L"");
    Config inFolder;
    EXPECT_EQ(win::readConfigWithin(inFolder, win::configFileFrom(L"%TVX_SHOP%"), 10s), L"");
    EXPECT_EQ(inFolder.cfgExtraCornerX[6], 0.287);

    SilentPipe share;
    ASSERT_TRUE(share.valid());
    Config stalled;
    stalled.cfgCornerY = -1.0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(win::readConfigWithin(stalled, share.name(), 300ms), kConfigErrorText);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms) << "the message came before the bound";
    EXPECT_EQ(stalled.cfgCornerY, -1.0) << "nothing of a read that did not end in time is taken";
    share.answer(testing::configText());

    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace tvx
