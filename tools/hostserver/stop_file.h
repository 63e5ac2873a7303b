// What the stop file asks of the server: stop (saving or not), or make another sheet current
// or take back Undo entries and go on, as a user between two runs of the tool.
#pragma once

#include <string>

namespace tvx::hostserver {

struct StopFileCommand {
    enum class Kind { Save, Discard, Sheet, Undo };
    Kind kind = Kind::Discard;
    std::wstring sheet; // for Sheet: the rest of the first line after "sheet "
    int undoSteps = 0;  // for Undo: N of "undo N", 1 to kMaxUndoSteps; 0 when N is no such number
};

inline constexpr int kMaxUndoSteps = 1000;

// The file's first line, UTF-8: "save", "sheet NAME", "undo N", or anything else (stop without
// saving).
// A file that cannot be read counts as anything else.
StopFileCommand readStopFile(const std::wstring& path);

} // namespace tvx::hostserver
