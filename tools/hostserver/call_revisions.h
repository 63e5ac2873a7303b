// The host's revisions, as far as the stand-in plays them: the calls the add-in and the exe make,
// each with the first revision of the host that has it (the "Availability" line of its help page).
#pragma once

#include "drawing/oldest_host.h"

#include <string_view>

namespace tvx::hostserver {

struct CallRevision {
    const char* kind; // the stand-in's object kind, as in the trace: "App", "CommandGroup", ...
    const wchar_t* name;
    host::HostRevision since;
};

// What RevisionNumber answers unless --revision says otherwise: a host with every call.
inline constexpr wchar_t kStandInRevision[] = L"0.0.0 stand-in";

// False for a call the table dates after `host`; a call it does not list is known to every host.
bool knownAt(const host::HostRevision& host, std::string_view kind, std::wstring_view name) noexcept;

} // namespace tvx::hostserver
