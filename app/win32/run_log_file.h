// Where the support log lies and what starts each of its records: the run's time, Tarvenix's
// version, which program runs, the host's revision and the configuration's path.
#pragma once

#include "drawing/run_log.h"

#include <windows.h>

#include <chrono>
#include <string>
#include <string_view>

namespace tvx::win {

inline constexpr std::uintmax_t kRunLogCap = 1024 * 1024;

// "2026-12-09 10:15:00 UTC+01:00": local time with its offset from UTC, as the log's records
// carry it (the file travels by mail between time zones); "unbekannt" when the system cannot tell.
std::string localTimeWithOffset();

// %LOCALAPPDATA%\Tarvenix\Tarvenix.log; empty when the variable is not set.
std::wstring runLogPath();

// How a record reaches the file. In the host's process the thread pool writes it, so that the
// host's thread never waits for a slow disk; a program about to end writes it at once.
enum class RecordWriting { Now, OnWorker };

// Switches log on, unless HKCU\Software\Tarvenix value Log is 0, and notes the record's header
// but for the host's revision, which is known only once the host is reached.
// module: the program or DLL whose version record names the version; shell: "Programm" or
// "Add-in"; an empty configPath is left out.
void startRunLog(RunLog& log, HMODULE module, std::string_view shell, const std::wstring& configPath,
                 RecordWriting writing) noexcept;

// "Hostversion: ..." in the record; an empty revision is noted as unknown.
void noteHostRevision(RunLog& log, const std::wstring& revision) noexcept;

// A record of its own for a failure outside any run (the add-in's connection), with its cause;
// written on a worker.
void logOutsideRun(HMODULE module, std::string_view shell, std::string_view what, std::string_view cause) noexcept;

// Waits at most bound for the records still queued to be written: the host may end the process
// right after letting go of the add-in. What is left then is dropped, and the next record says so.
bool settleQueuedRecords(std::chrono::milliseconds bound) noexcept;

} // namespace tvx::win
