// Checks of a drawing of several sheets after a run on its current sheet. Each returns an empty
// text when the check holds, otherwise why not.
#pragma once

#include "drawing/sim/model.h"

#include <string>

namespace tvx::e2e {

// The run was made on the sheet of that name, which is current in `after` (the user may have
// switched to it after `before` was saved). It holds exactly one set of output beside its
// foreign symbols, every own symbol at height y and at most `reach` left of corner x; every other
// sheet is as it was; the toggles are as they were.
std::string checkSheetRun(sim::HostData before, const sim::HostData& after, const std::wstring& sheet,
                          double cornerX, double y, double reach);

// Nothing changed but the current sheet, toggles included.
std::string checkUnchanged(sim::HostData before, const sim::HostData& after);

// After runs and Undo: the drawing as before, its Undo list included; only the rebuild count and
// the current sheet may differ, which no Undo takes back.
std::string checkUndone(sim::HostData before, const sim::HostData& after);

} // namespace tvx::e2e
