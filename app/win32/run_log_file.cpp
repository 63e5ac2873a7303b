#include "app/win32/run_log_file.h"

#include "app/win32/module_worker.h"
#include "app/win32/user_switch.h"
#include "app/win32/win_handles.h"

#include "drawing/record_queue.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tvx::win {
namespace {

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

} // namespace

std::string localTimeWithOffset() {
    FILETIME utc;
    GetSystemTimeAsFileTime(&utc);
    FILETIME local;
    SYSTEMTIME t;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &t)) {
        return "unbekannt";
    }
    const auto ticks = [](const FILETIME& f) {
        return static_cast<long long>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
    };
    // 100 ns ticks; rounded to whole minutes, as offsets are.
    const long long minutes = (ticks(local) - ticks(utc) + (ticks(local) >= ticks(utc) ? 300'000'000LL : -300'000'000LL)) /
                              600'000'000LL;
    const long long away = minutes < 0 ? -minutes : minutes;
    char text[48];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u UTC%c%02lld:%02lld", unsigned{t.wYear},
                  unsigned{t.wMonth}, unsigned{t.wDay}, unsigned{t.wHour}, unsigned{t.wMinute}, unsigned{t.wSecond},
                  minutes < 0 ? '-' : '+', away / 60, away % 60);
    return text;
}

namespace {

// "user auf COMPUTER", as support asks first; what the system does not tell is left out.
std::wstring userAndComputer() {
    wchar_t user[257] = {};
    DWORD userLength = static_cast<DWORD>(std::size(user));
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD computerLength = static_cast<DWORD>(std::size(computer));
    const std::wstring who = GetUserNameW(user, &userLength) ? user : L"unbekannt";
    const std::wstring where = GetComputerNameW(computer, &computerLength) ? computer : L"unbekannt";
    return who + L" auf " + where;
}

UniqueKernelHandle openForAppending(const std::wstring& file) {
    const HANDLE handle = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return UniqueKernelHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// Emptied in place: the file then takes records again, though its older one could not be made.
UniqueKernelHandle openEmptied(const std::wstring& file) {
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return UniqueKernelHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// Two processes rotating at once would each move the file, the second throwing away the full
// older file the first had just made. Held for one rotation; a short wait at most.
class RotationLock {
public:
    RotationLock() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\Tarvenix.Log.Rotation")) {
        if (mutex_) {
            const DWORD waited = WaitForSingleObject(mutex_.get(), 2000);
            owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        }
    }
    RotationLock(const RotationLock&) = delete;
    RotationLock& operator=(const RotationLock&) = delete;
    ~RotationLock() {
        if (owned_) {
            ReleaseMutex(mutex_.get());
        }
    }
    bool owned() const { return owned_; }

private:
    UniqueKernelHandle mutex_;
    bool owned_ = false;
};

std::uintmax_t sizeOf(const UniqueKernelHandle& file) {
    LARGE_INTEGER size{};
    return file && GetFileSizeEx(file.get(), &size) ? static_cast<std::uintmax_t>(size.QuadPart) : 0;
}

// The full file becomes the older one. Should that fail (the older file open in a viewer, read
// only, or a folder of that name), the older one goes first; failing that too, the file starts
// afresh: the log goes on either way.
UniqueKernelHandle rotate(const std::wstring& file, std::size_t record) {
    const RotationLock lock;
    if (!lock.owned()) {
        return {};
    }
    // Another process may have rotated while this one waited.
    UniqueKernelHandle out = openForAppending(file);
    if (!out || !planAppend(sizeOf(out), record, kRunLogCap).rotateFirst) {
        return out;
    }
    out.reset();
    const std::wstring older = file.substr(0, file.size() - 4) + L".1.log";
    if (!MoveFileExW(file.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        SetFileAttributesW(older.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(older.c_str());
        if (!MoveFileExW(file.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            return openEmptied(file);
        }
    }
    return openForAppending(file);
}

// Few calls into the system, since the exe's run waits for them: open (making the folder only when
// it is missing), size, write. Any failure means no log for this record.
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
        out = rotate(file, record.size());
        if (!out || sizeOf(out) + plan.bytes > kRunLogCap) {
            return; // appending now would break the cap
        }
    }
    DWORD written = 0;
    WriteFile(out.get(), record.data(), static_cast<DWORD>(plan.bytes), &written, nullptr);
}

void writeRecord(std::string_view record) { writeRecordTo(runLogPath(), record); }

// Records handed over and not yet written, in the order they came: a run's piece before its
// message and its end must not overtake each other. A writer hung on its folder holds at most
// this much back.
constexpr std::size_t kQueueCap = 256 * 1024;

RecordQueue& recordQueue() {
    static RecordQueue queue(kQueueCap);
    return queue;
}

void drainRecords() {
    while (std::optional<QueuedRecord> next = recordQueue().next()) {
        // A record that cannot be written is lost alone: the ones after it still go.
        try {
            writeRecordTo(next->file, next->text);
        } catch (...) {
        }
    }
}

// On the thread pool, to the file the log names now; one callback at a time writes whatever is
// queued. When none can be handed over, at once after all.
void writeRecordAside(std::string_view record) {
    if (recordQueue().push({runLogPath(), std::string(record)}) && !submitModuleWork(&drainRecords)) {
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
        if (userSwitchedOff(L"Log")) {
            return;
        }
        log.writeTo(writing == RecordWriting::OnWorker ? &writeRecordAside : &writeRecord);
        log.note("Lauf", std::string_view(localTimeWithOffset()));
        log.note("Tarvenix", std::string_view(versionOf(module) + ", " + std::string(shell)));
        log.note("Benutzer", std::wstring_view(userAndComputer()));
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

bool settleQueuedRecords(std::chrono::milliseconds bound) noexcept {
    try {
        return recordQueue().settle(bound);
    } catch (...) {
        return false;
    }
}

} // namespace tvx::win
