// The program's Terminator: the process ends on the spot. No window procedure, close or destroy
// handler runs after it; the system takes down the windows and drops the host references.
#pragma once

#include "app/ui_port.h"

namespace tvx::win {

class ProcessEnd final : public Terminator {
public:
    [[noreturn]] void endProcess(RunEnd how) override;
};

} // namespace tvx::win
