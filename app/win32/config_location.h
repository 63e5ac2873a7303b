// Where the configuration comes from, and reading it without ever hanging the caller: a machine
// may name one file for every seat, on a share that can stop answering.
#pragma once

#include "config/config.h"
#include "drawing/run_log.h"

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>

namespace tvx::win {

inline constexpr std::chrono::milliseconds kConfigReadBound{3000};

// HKLM\SOFTWARE\Tarvenix value ConfigFile (the 64-bit view) when it holds a path, else
// programFolder + "\Tarvenix.txt"; the value as configFileFrom takes it.
std::wstring configFilePath(const std::wstring& programFolder);

// What one read of the configuration gave.
struct ConfigReading {
    std::wstring path;       // the file read; empty while not known
    Config cfg;              // what was read, up to a faulty item
    std::wstring error;      // empty, or kConfigErrorText
    bool unanswered = false; // no answer within the bound: nothing of the file is taken
    std::string cause;       // why the file was not taken, for the log
};

// Hands a reading to a run: the values when the file answered, an unanswered read noted in the
// log (support must tell a share that hangs from a faulty file). Returns the error text.
std::wstring takeReading(const ConfigReading& reading, Config& cfg, RunLog& log);

// readConfigFile on a worker thread, waited for at most bound: for the exe, whose own thread
// may wait. The worker finishes on its own, holding the module this code lives in until it ends.
ConfigReading readConfigWithin(const std::wstring& path, std::chrono::milliseconds bound = kConfigReadBound);

// The same read for a thread that must never wait (the host's): the path is asked and the file
// read on a worker, which holds the module until it ends and then posts message (lParam: serial)
// to window, unless the read was let go first. One object per process: a read that never ends
// keeps a single thread.
class ConfigReadOnWorker {
public:
    // False when no worker could be started.
    bool start(const std::wstring& programFolder, HWND window, UINT message, LPARAM serial);
    // Started and not yet ended: a second reader would only wait on the same file.
    bool outstanding() const;
    // The outcome once the read has ended; before, an unanswered reading (or, with no read
    // started, a faulty one).
    ConfigReading outcome() const;
    // No message from here on; a read under way finishes alone.
    void letGo() noexcept;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

// The machine's value as administrators write it: environment variables expanded in a plain
// string too (the package stores one), and a path ending in a separator meaning Tarvenix.txt in
// that folder. Empty when the value is. A path that names an existing folder is found to be one
// only where the file is read, on the worker, since a share may not answer.
std::wstring configFileFrom(const std::wstring& machineValue);

} // namespace tvx::win
