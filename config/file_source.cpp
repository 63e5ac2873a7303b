#include "config/file_source.h"

#include "config/text_decoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#endif

#include <algorithm>
#include <limits>
#include <string>

namespace tvx {

#ifdef _WIN32

FileSource::FileSource(const std::wstring& path) {
    // Others may keep the file open for writing (an editor); we only read.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        handle_.reset(h);
        return;
    }
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        openFailure_ = "ein Ordner, keine Datei";
    } else if (error == ERROR_FILE_NOT_FOUND) {
        openFailure_ = "Datei nicht gefunden";
    } else if (error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME) {
        openFailure_ = "Ordner oder Freigabe nicht gefunden";
    } else if (error == ERROR_ACCESS_DENIED) {
        openFailure_ = "kein Lesezugriff";
    } else {
        openFailure_ = "nicht zu öffnen (Fehler " + std::to_string(error) + ")";
    }
}

std::optional<std::size_t> FileSource::read(std::span<char> buffer) {
    const DWORD wanted = static_cast<DWORD>(
        std::min<std::size_t>(buffer.size(), std::numeric_limits<DWORD>::max()));
    DWORD got = 0;
    if (!ReadFile(handle_.get(), buffer.data(), wanted, &got, nullptr)) {
        return std::nullopt;
    }
    return got;
}

void FileSource::Closer::operator()(void* handle) const { CloseHandle(handle); }

#else

namespace {

// The path as this system's file functions take it: UTF-8, with forward slashes.
std::string nativePath(const std::wstring& path) {
    std::string out = encodeUtf8(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

std::FILE* asFile(void* handle) { return static_cast<std::FILE*>(handle); }

}  // namespace

FileSource::FileSource(const std::wstring& path) {
    std::FILE* file = std::fopen(nativePath(path).c_str(), "rb");
    if (file != nullptr) {
        std::setvbuf(file, nullptr, _IONBF, 0);  // the caller buffers
        handle_.reset(file);
        return;
    }
    openFailure_ = errno == ENOENT ? "Datei nicht gefunden" : "nicht zu öffnen";
}

std::optional<std::size_t> FileSource::read(std::span<char> buffer) {
    std::FILE* file = asFile(handle_.get());
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
    if (got == 0 && std::ferror(file)) {
        return std::nullopt;
    }
    return got;
}

void FileSource::Closer::operator()(void* handle) const { std::fclose(asFile(handle)); }

#endif

}  // namespace tvx
