#include "app/win32/run_log_file.h"

#include "app/win32/module_worker.h"
#include "app/win32/win_handles.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace tvx::win {
namespace {

constexpr wchar_t kUserKey[] = L"Software\\Tarvenix";
constexpr wchar_t kLogValue[] = L"Log";

// Log = 0 (a number, or the text "0") switches the log off; anything else, or none, leaves it on.
bool switchedOff() {
    union {
        DWORD number;
        wchar_t text[8];
    } value{};
    DWORD type = 0;
    DWORD bytes = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kUserKey, kLogValue, RRF_RT_REG_DWORD | RRF_RT_REG_SZ, &type, &value,
                     &bytes) != ERROR_SUCCESS) {
        return false;
    }
    return type == REG_DWORD ? value.number == 0 : std::wstring_view(value.text) == L"0";
}

// FILEVERSION of the module's own version record, read from its resource without version.dll.
std::string versionOf(HMODULE module) {
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16) /* RT_VERSION */);
    const HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const auto* data = static_cast<const unsigned char*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    // WORD length, value length, type, then L"VS_VERSION_INFO" and padding to 32 bits: 40 bytes.
    constexpr DWORD kFixedAt = 40;
    if (data == nullptr || SizeofResource(module, found) < kFixedAt + sizeof(VS_FIXEDFILEINFO)) {
        return "unbekannt";
    }
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, data + kFixedAt, sizeof info);
    if (info.dwSignature != 0xFEEF04BD) {
        return "unbekannt";
    }
    char text[48];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned{HIWORD(info.dwFileVersionMS)},
                  unsigned{LOWORD(info.dwFileVersionMS)}, unsigned{HIWORD(info.dwFileVersionLS)},
                  unsigned{LOWORD(info.dwFileVersionLS)});
    return text;
}

std::string now() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", unsigned{t.wYear}, unsigned{t.wMonth},
                  unsigned{t.wDay}, unsigned{t.wHour}, unsigned{t.wMinute}, unsigned{t.wSecond});
    return text;
}

UniqueKernelHandle openForAppending(const std::wstring& file) {
    const HANDLE handle = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return UniqueKernelHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// Few calls into the system, since the exe's run waits for them: open (making the folder only when
// it is missing), size, write. Any failure means no log.
void writeRecordTo(const std::wstring& file, std::string_view record) {
    if (file.empty()) {
        return;
    }
    UniqueKernelHandle out = openForAppending(file);
    if (!out && GetLastError() == ERROR_PATH_NOT_FOUND) {
        CreateDirectoryW(file.substr(0, file.rfind(L'\\')).c_str(), nullptr);
        out = openForAppending(file);
    }
    LARGE_INTEGER size{};
    if (!out || !GetFileSizeEx(out.get(), &size)) {
        return;
    }
    const CappedAppend plan = planAppend(static_cast<std::uintmax_t>(size.QuadPart), record.size(), kRunLogCap);
    if (plan.rotateFirst) {
        out.reset();
        const std::wstring older = file.substr(0, file.size() - 4) + L".1.log";
        if (!MoveFileExW(file.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            return; // appending now would break the cap
        }
        out = openForAppending(file);
        if (!out) {
            return;
        }
    }
    DWORD written = 0;
    WriteFile(out.get(), record.data(), static_cast<DWORD>(plan.bytes), &written, nullptr);
}

void writeRecord(std::string_view record) { writeRecordTo(runLogPath(), record); }

// Records handed over and not yet written, in the order they came: a run's piece before its
// message and its end must not overtake each other.
struct RecordQueue {
    std::mutex lock;
    std::deque<std::pair<std::wstring, std::string>> records;
    bool draining = false;
};

RecordQueue& recordQueue() {
    static RecordQueue queue;
    return queue;
}

void drainRecords() {
    RecordQueue& queue = recordQueue();
    for (;;) {
        std::pair<std::wstring, std::string> next;
        {
            const std::lock_guard<std::mutex> lock(queue.lock);
            if (queue.records.empty()) {
                queue.draining = false;
                return;
            }
            next = std::move(queue.records.front());
            queue.records.pop_front();
        }
        // A record that cannot be written is lost alone: the ones after it still go.
        try {
            writeRecordTo(next.first, next.second);
        } catch (...) {
        }
    }
}

// On the thread pool, to the file the log names now; one callback at a time writes whatever is
// queued. When none can be handed over, at once after all.
void writeRecordAside(std::string_view record) {
    RecordQueue& queue = recordQueue();
    bool startWorker = false;
    {
        const std::lock_guard<std::mutex> lock(queue.lock);
        queue.records.emplace_back(runLogPath(), std::string(record));
        startWorker = !queue.draining;
        queue.draining = true;
    }
    if (startWorker && !submitModuleWork(&drainRecords)) {
        drainRecords();
    }
}

} // namespace

std::wstring runLogPath() {
    std::vector<wchar_t> folder(MAX_PATH);
    for (;;) {
        const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder.data(), static_cast<DWORD>(folder.size()));
        if (length == 0) {
            return {};
        }
        if (length < folder.size()) {
            return std::wstring(folder.data(), length) + L"\\Tarvenix\\Tarvenix.log";
        }
        folder.resize(length);
    }
}

void startRunLog(RunLog& log, HMODULE module, std::string_view shell, const std::wstring& configPath,
                 RecordWriting writing) noexcept {
    try {
        if (switchedOff()) {
            return;
        }
        log.writeTo(writing == RecordWriting::OnWorker ? &writeRecordAside : &writeRecord);
        log.note("Lauf", std::string_view(now()));
        log.note("Tarvenix", std::string_view(versionOf(module) + ", " + std::string(shell)));
        if (!configPath.empty()) {
            log.note("Konfiguration", std::wstring_view(configPath));
        }
    } catch (...) {
        log.writeTo(nullptr);
    }
}

void noteHostRevision(RunLog& log, const std::wstring& revision) noexcept {
    if (revision.empty()) {
        log.note("Hostversion", std::string_view("unbekannt (der Host nennt sie nicht)"));
    } else {
        log.note("Hostversion", std::wstring_view(revision));
    }
}

void logOutsideRun(HMODULE module, std::string_view shell, std::string_view what, std::string_view cause) noexcept {
    try {
        RunLog log;
        startRunLog(log, module, shell, {}, RecordWriting::OnWorker);
        log.note(what, cause);
        log.flush();
    } catch (...) {
    }
}

} // namespace tvx::win
