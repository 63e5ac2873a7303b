// The driver's commands. Each takes its words (the command name first), writes its answer as
// lines to `out`, and throws std::runtime_error with a message when it fails or times out.
#pragma once

#include <string>
#include <vector>

namespace tvx::guidriver {

using Words = std::vector<std::wstring>;

void runCommand(const Words& words, std::wstring& out);

// One whole run of the program played from inside the driver (play_run.cpp).
void cmdPlayRun(const Words& words, std::wstring& out);

// The commands and their arguments, for the usage text.
extern const wchar_t* const kUsage;

} // namespace tvx::guidriver
