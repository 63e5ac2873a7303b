// Where the configuration comes from, and reading it without ever hanging the caller: a machine
// may name one file for every seat, on a share that can stop answering.
#pragma once

#include "config/config.h"

#include <chrono>
#include <string>

namespace tvx::win {

inline constexpr std::chrono::milliseconds kConfigReadBound{3000};

// HKLM\SOFTWARE\Tarvenix value ConfigFile (the 64-bit view) when it holds a path, else
// programFolder + "\Tarvenix.txt"; the value as configFileFrom takes it.
std::wstring configFilePath(const std::wstring& programFolder);

// The machine's value as administrators write it: environment variables expanded in a plain
// string too (the package stores one), and a path ending in a separator meaning Tarvenix.txt in
// that folder. Empty when the value is.
std::wstring configFileFrom(const std::wstring& machineValue);

// readConfigFile on a worker thread, waited for at most bound; a path naming an existing folder
// reads Tarvenix.txt in it (asked on the worker too, as a share may not answer). A read that takes longer gives
// kConfigErrorText and leaves cfg as it was; the worker finishes on its own, holding the module
// this code lives in until it ends, so an add-in unloaded meanwhile stays mapped for it.
std::wstring readConfigWithin(Config& cfg, const std::wstring& path,
                              std::chrono::milliseconds bound = kConfigReadBound);

} // namespace tvx::win
