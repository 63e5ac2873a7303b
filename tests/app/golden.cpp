#include "golden.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tvx::testing {

::testing::AssertionResult matchesGolden(const std::string& text, const std::string& name) {
    const std::string path = std::string(TVX_GOLDEN_DIR) + "/" + name;
    const char* update = std::getenv("TVX_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        std::ofstream(path, std::ios::binary) << text;
        return ::testing::AssertionSuccess() << "written " << path;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return ::testing::AssertionFailure() << "no golden file " << path;
    }
    std::ostringstream stored;
    stored << in.rdbuf();
    if (stored.str() == text) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << name << " differs; now:\n" << text;
}

} // namespace tvx::testing
