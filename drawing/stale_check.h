// After the drawing was saved: does the general indication that an earlier run left on the current
// sheet still repeat what a run would collect now? Designers go on working after a run, and a
// bracket that no longer matches the sheet is a wrong instruction nobody notices.
#pragma once

#include "drawing/host.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tvx {

enum class GroupState {
    NoOutput, // the sheet carries nothing of an earlier run: nothing to judge
    Current,
    Stale,    // also a sheet a run would refuse
    GaveUp,   // a host call failed; nothing is known
};

struct GroupCheck {
    GroupState state = GroupState::GaveUp;
    std::wstring sheetName;
    std::int32_t added = 0; // symbols a run would now repeat that the group lacks
    std::int32_t gone = 0;  // symbols the group repeats that a run would no longer
    bool refused = false;   // Stale: a run would refuse the sheet, so the counts mean nothing
    // Stands for what was compared (the sheet, the keys on both sides, the note): the same
    // drawing state gives the same value, so a notice about it needs to come only once.
    std::size_t fingerprint = 0;
    std::string failure; // GaveUp: what failed, for the support log
};

// Reads the current sheet of doc through the run's own scan: no selection, no change. Never
// throws for a host failure; that is GaveUp.
GroupCheck checkGroup(const host::DocRef& doc) noexcept;

} // namespace tvx
