#include "tests/com/server_process.h"

#include "drawing/sim/drawing_file.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#ifndef TVX_HOSTSERVER_EXE
#error "the build names the server executable"
#endif

namespace tvx::com::testing {

std::filesystem::path windowsPath(const std::string& path) {
    if (!path.empty() && path[0] == '/') {
        return std::filesystem::path("Z:" + path).make_preferred();
    }
    return std::filesystem::path(path).make_preferred();
}

ScratchFolder::ScratchFolder(const std::string& name)
    : path_(std::filesystem::temp_directory_path() /
            ("tvx-" + name + "-" + std::to_string(GetCurrentProcessId()))) {
    // What an earlier folder of the same name in this process could not give up stays: a DLL a test
    // loaded from it that pinned itself.
    std::error_code kept;
    std::filesystem::remove_all(path_, kept);
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

namespace {

std::wstring quoted(const std::wstring& arg) {
    return L"\"" + arg + L"\"";
}

constexpr DWORD kStartLimitMs = 30000;
constexpr DWORD kStopLimitMs = 30000;

} // namespace

ServerProcess::ServerProcess(const std::filesystem::path& folder, const sim::HostData& data,
                             const std::vector<std::wstring>& extraOptions, bool traced)
    : drawing_(folder / "drawing.json"), trace_(folder / "trace.txt"), ready_(folder / "ready"),
      stop_(folder / "stop") {
    std::filesystem::remove(ready_);
    std::filesystem::remove(stop_);
    sim::saveDrawingFile(data, drawing_);

    const std::filesystem::path exe = windowsPath(TVX_HOSTSERVER_EXE);
    std::wstring command = quoted(exe.wstring()) + L" --drawing " + quoted(drawing_.wstring()) + L" --ready-file " +
                           quoted(ready_.wstring()) + L" --stop-file " + quoted(stop_.wstring()) + L" --timeout 600";
    if (traced) {
        command += L" --trace " + quoted(trace_.wstring());
    }
    for (const auto& option : extraOptions) {
        command += L" " + quoted(option);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process_)) {
        throw std::runtime_error("cannot start " + exe.string());
    }
    const ULONGLONG deadline = GetTickCount64() + kStartLimitMs;
    while (!std::filesystem::exists(ready_)) {
        DWORD code = 0;
        if (GetExitCodeProcess(process_.hProcess, &code) && code != STILL_ACTIVE) {
            kill();
            throw std::runtime_error("the server ended before it was ready, exit code " + std::to_string(code));
        }
        if (GetTickCount64() > deadline) {
            kill();
            throw std::runtime_error("the server did not become ready");
        }
        Sleep(10);
    }
}

ServerProcess::~ServerProcess() {
    kill();
}

std::vector<std::string> ServerProcess::traceLines() const {
    std::ifstream in(trace_, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

DWORD ServerProcess::stop(const std::string& word) {
    // Written beside it and renamed, so the server never reads half a word.
    const std::filesystem::path pending = stop_.string() + ".pending";
    std::ofstream(pending, std::ios::binary) << word;
    std::filesystem::rename(pending, stop_);
    return waitForExit();
}

void ServerProcess::command(const std::string& line) {
    const std::filesystem::path pending = stop_.string() + ".pending";
    std::ofstream(pending, std::ios::binary) << line;
    std::filesystem::rename(pending, stop_);
    for (DWORD waited = 0; waited < kStopLimitMs; waited += 20) {
        if (!std::filesystem::exists(stop_)) {
            return;
        }
        Sleep(20);
    }
    throw std::runtime_error("the server did not carry out \"" + line + "\"");
}

DWORD ServerProcess::waitForExit() {
    if (process_.hProcess == nullptr) {
        throw std::logic_error("the server has already ended");
    }
    if (WaitForSingleObject(process_.hProcess, kStopLimitMs) != WAIT_OBJECT_0) {
        kill();
        throw std::runtime_error("the server did not end");
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    kill();
    return code;
}

void ServerProcess::kill() noexcept {
    if (process_.hProcess != nullptr) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, kStopLimitMs);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = PROCESS_INFORMATION{};
    }
}

} // namespace tvx::com::testing
