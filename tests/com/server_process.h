// A stand-in host server started for one test: a drawing file in a folder of its own, the server
// process serving it, its trace and its stop file. The process never outlives the object.
#pragma once

#include "drawing/sim/model.h"

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tvx::com::testing {

// A Unix path given by the build (Wine maps "/" to drive Z:) or a Windows path, for Win32 calls.
std::filesystem::path windowsPath(const std::string& path);

// A folder of its own under the temporary folder, removed on destruction.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name);
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

class ServerProcess {
public:
    // Writes data as the drawing file, starts the server on it with the extra options and waits
    // until it has registered itself. Throws std::runtime_error when it does not come up.
    ServerProcess(const std::filesystem::path& folder, const sim::HostData& data,
                  const std::vector<std::wstring>& extraOptions = {}, bool traced = true);
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    ~ServerProcess();

    const std::filesystem::path& drawingFile() const { return drawing_; }
    const std::filesystem::path& traceFile() const { return trace_; }
    std::vector<std::string> traceLines() const;

    // Asks it to stop ("save" saves the drawing first) and returns its exit code.
    DWORD stop(const std::string& word);
    // A stop-file command it carries out and goes on ("command open 1 Notiz"); returns once the
    // server has taken the file away. Throws std::runtime_error when it does not.
    void command(const std::string& line);
    // Waits for it to end by itself, e.g. after an injected death; returns its exit code.
    DWORD waitForExit();

private:
    void kill() noexcept;

    std::filesystem::path drawing_;
    std::filesystem::path trace_;
    std::filesystem::path ready_;
    std::filesystem::path stop_;
    PROCESS_INFORMATION process_{};
};

} // namespace tvx::com::testing
