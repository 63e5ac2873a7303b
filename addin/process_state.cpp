#include "addin/process_state.h"

namespace tvx::addin {
namespace {

// Built before DllMain runs and destroyed after it has seen the DLL go.
ProcessState theProcess;

} // namespace

ProcessState& processState() noexcept { return theProcess; }

} // namespace tvx::addin
