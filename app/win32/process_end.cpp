#include "app/win32/process_end.h"

#include <windows.h>

namespace tvx::win {

void ProcessEnd::endProcess(RunEnd how) {
    ExitProcess(static_cast<UINT>(how));
}

} // namespace tvx::win
