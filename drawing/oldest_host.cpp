#include "drawing/oldest_host.h"

#include <algorithm>
#include <array>

namespace tvx::host {
namespace {

// First revisions from the host's API help ("Availability"); docs/addin-calls.md names the
// source of each. GetGroupDataFromRegistry is left out: a host without it keeps no layout.
constexpr std::array kNeeded{
    NeededCall{"SetAddinCallbackInfo2", {23, 0, 0}},
    NeededCall{"AddMenuItem5", {24, 0, 0}},
    NeededCall{"GetCommandManager", {14, 0, 0}},
    NeededCall{"CreateCommandGroup2", {19, 0, 0}},
    NeededCall{"IconList", {24, 0, 0}},
    NeededCall{"MainIconList", {24, 0, 0}},
    NeededCall{"AddCommandItem2", {16, 0, 0}},
    NeededCall{"HasToolbar", {14, 0, 0}},
    NeededCall{"HasMenu", {14, 0, 0}},
    NeededCall{"ShowInDocumentType", {14, 0, 0}},
    NeededCall{"Activate", {14, 0, 0}},
    NeededCall{"CommandID", {14, 0, 0}},
    NeededCall{"GetCommandTab", {16, 0, 0}},
    NeededCall{"AddCommandTab", {16, 0, 0}},
    NeededCall{"AddCommandTabBox", {16, 0, 0}},
    NeededCall{"AddCommands", {16, 0, 0}},
};

} // namespace

std::optional<HostRevision> parseHostRevision(std::wstring_view text) noexcept {
    int parts[3] = {0, 0, 0};
    std::size_t part = 0;
    std::size_t digits = 0;
    for (const wchar_t c : text) {
        if (c >= L'0' && c <= L'9') {
            // Revisions are small numbers; a long run of digits is no revision.
            if (++digits > 4) {
                return std::nullopt;
            }
            parts[part] = parts[part] * 10 + (c - L'0');
        } else if (c == L'.' && digits > 0 && part < 2) {
            ++part;
            digits = 0;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    return HostRevision{parts[0], parts[1], parts[2]};
}

std::span<const NeededCall> addinNeededCalls() noexcept { return kNeeded; }

HostRevision oldestAddinHost() noexcept {
    return std::max_element(kNeeded.begin(), kNeeded.end(),
                            [](const NeededCall& a, const NeededCall& b) { return a.since < b.since; })
        ->since;
}

const NeededCall* firstMissingAddinCall(const HostRevision& host) noexcept {
    const auto it =
        std::find_if(kNeeded.begin(), kNeeded.end(), [&](const NeededCall& call) { return host < call.since; });
    return it == kNeeded.end() ? nullptr : &*it;
}

} // namespace tvx::host
