#include "win32_test_support.h"

#include <fstream>

namespace tvx::test {
namespace {

std::vector<std::function<void()>> pending;
std::size_t next = 0;

void CALLBACK tick(HWND, UINT, UINT_PTR timer, DWORD) {
    if (next >= pending.size()) {
        KillTimer(nullptr, timer);
        return;
    }
    const std::size_t current = next++;
    if (next >= pending.size()) {
        KillTimer(nullptr, timer);
    }
    pending[current]();
}

} // namespace

void runFromLoop(std::vector<std::function<void()>> actions) {
    pending = std::move(actions);
    next = 0;
    SetTimer(nullptr, 0, 30, &tick);
}

TempFolder::TempFolder() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("tvx_gui_test_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter));
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void TempFolder::write(const std::wstring& name, const std::vector<std::uint8_t>& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace tvx::test
