// Feeds arbitrary bytes to the configuration reader as the file beside the program.
#include "config/config.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// One folder per process, removed at exit.
struct Folder {
    fs::path path = fs::temp_directory_path() /
                    ("tvx_config_fuzz_" + std::to_string(std::random_device{}()));
    Folder() { fs::create_directories(path); }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Folder folder;
    {
        std::ofstream out(folder.path / "Tarvenix.txt", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        require(out.good());
    }
    tvx::Config cfg;
    const std::wstring error = tvx::readConfig(cfg, folder.path.wstring());
    require(error.empty() || error == tvx::kConfigErrorText);
    if (error.empty()) {
        for (const double x : cfg.cfgCornerX) {
            require(std::isfinite(x));
        }
        for (const double x : {cfg.cfgCornerY, cfg.cfgSymbolRise, cfg.cfgBracketPad,
                               cfg.cfgSymbolWidth, cfg.cfgAnchorOffset, cfg.cfgSymbolGap,
                               cfg.cfgNoteRise, cfg.cfgWidthFactor}) {
            require(std::isfinite(x));
        }
        // Corner lines only for the codes the items leave out, and only finite ones.
        for (std::size_t code = 0; code < cfg.cfgExtraCornerX.size(); ++code) {
            const auto& x = cfg.cfgExtraCornerX[code];
            require(!x || ((code <= 6 || code == 12) && std::isfinite(*x)));
        }
        // No NUL may reach a font name handed to the platform.
        require(cfg.cfgSymbolFont.find(L'\0') == std::wstring::npos);
        require(cfg.cfgNoteFont.find(L'\0') == std::wstring::npos);
    }
    return 0;
}
