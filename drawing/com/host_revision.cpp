#include "drawing/com/host_revision.h"

#include "drawing/com/result_convert.h"

namespace tvx::com {

std::wstring hostRevision(DispatchObject& app) noexcept {
    // A revision is a short text such as "32.1.0"; anything longer is no revision.
    constexpr std::size_t kLongest = 64;
    try {
        std::wstring revision = takeString("RevisionNumber", app.call("RevisionNumber").get());
        return revision.size() <= kLongest ? revision : std::wstring();
    } catch (...) {
        return {};
    }
}

} // namespace tvx::com
