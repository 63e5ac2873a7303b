#include "app/win32/process_end.h"

#include <windows.h>

namespace tvx::win {

void ProcessEnd::endProcess() {
    ExitProcess(0);
}

} // namespace tvx::win
