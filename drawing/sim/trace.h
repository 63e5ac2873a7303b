// The stand-in host's record of every call it received, with the automation type each argument
// arrived as, so a test can prove what a real host would have been sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tvx::sim {

struct TracedArg {
    // "I2", "I4", "BOOL", "R8", "BSTR" or "DISPATCH" (the empty reference is DISPATCH null).
    std::string type;
    std::string value; // UTF-8; strings unquoted, numbers in shortest round-trip form

    friend bool operator==(const TracedArg&, const TracedArg&) = default;
};

struct TraceEntry {
    std::string operation; // the host's name, e.g. "InsertSurfaceFinishSymbol2"
    std::string object;    // the kind of object called: App, Doc, Sheet, View, SFSymbol, ...
    std::vector<TracedArg> args;
    // "BOOL true", "I4 3", "BSTR \"Blatt1\"", "DISPATCH Note", "DISPATCH null", "R8[...]";
    // empty for a call without a result; the error message when failed.
    std::string result;
    bool failed = false;

    friend bool operator==(const TraceEntry&, const TraceEntry&) = default;
};

// One line: `Op(I4 1, BSTR "x") -> BOOL true`, `Op()` without a result,
// `Op(...) -> FAILED <message>` when the call threw.
std::string formatTraceEntry(const TraceEntry& entry);

// The three values GetRunningCommandInfo writes back, shown as its result.
std::string runningCommandTrace(std::int32_t commandId, const std::wstring& pageTitle, bool uiActive);

} // namespace tvx::sim
