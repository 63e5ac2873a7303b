// Read-only, sequential access to one file; the file is closed when the object goes.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace tvx {

class FileSource {
public:
    // A Windows path. Natively (tests) backslashes become '/' and the path is passed as UTF-8.
    explicit FileSource(const std::wstring& path);

    bool isOpen() const { return handle_ != nullptr; }
    // Why it did not open, in the support log's words; empty when it did.
    const std::string& openFailure() const { return openFailure_; }

    // Bytes read into buffer, 0 at the end of the file, nullopt on a read error.
    std::optional<std::size_t> read(std::span<char> buffer);

private:
    struct Closer {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, Closer> handle_;
    std::string openFailure_;
};

}  // namespace tvx
