// The oldest host the add-in can live in: the host calls it cannot do without, each with the
// first revision of the host that has it. An older host is told apart before anything is added
// to it, so that the support log can say why the add-in stayed away.
#pragma once

#include <compare>
#include <optional>
#include <span>
#include <string_view>

namespace tvx::host {

struct HostRevision {
    int major = 0;
    int minor = 0;
    int build = 0;
    friend auto operator<=>(const HostRevision&, const HostRevision&) = default;
};

// "31.2.0", "24.0" or "25": what RevisionNumber answers. Nothing for any other text, which
// then cannot be judged.
std::optional<HostRevision> parseHostRevision(std::wstring_view text) noexcept;

struct NeededCall {
    const char* name;
    HostRevision since;
};

// The calls the add-in's connection cannot do without, in the order it makes them.
std::span<const NeededCall> addinNeededCalls() noexcept;

// The newest first revision among them.
HostRevision oldestAddinHost() noexcept;

// The first call the add-in needs that came after `host`; null when the host has them all.
const NeededCall* firstMissingAddinCall(const HostRevision& host) noexcept;

} // namespace tvx::host
