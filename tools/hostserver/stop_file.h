// What the stop file asks of the server: stop (saving or not), or make another sheet current
// and go on, as a user switching sheets between two runs of the tool, take back Undo entries,
// or play the user on the hosted add-ins (a click on the first add-in command, loading or
// unloading one), or put the host in a modal state of its own, or open or end a command of the
// host's with its PropertyManager page, or play the designer on the drawing (save it, add a
// symbol, delete an annotation, close it), and go on.
#pragma once

#include "drawing/sim/sim_host.h"

#include <string>

namespace tvx::hostserver {

struct StopFileCommand {
    enum class Kind {
        Save, Discard, Sheet, Undo, Click, Load, Unload, ModalOpen, ModalClose, BusyLoop, PumpLoop, CommandOpen,
        CommandClose, Store, AddSymbol, Delete, CloseDocument
    };
    Kind kind = Kind::Discard;
    std::wstring sheet; // for Sheet: the rest of the first line after "sheet "; for Load and
                        // Unload: the add-in's path (Unload without one: every add-in); for
                        // Delete: the annotation's name
    int undoSteps = 0;  // for Undo: N of "undo N", 1 to kMaxUndoSteps; 0 when N is no such number
    int busyMs = 0;     // for BusyLoop and PumpLoop: MS of "busyloop MS" or "pumploop MS", 1 to kMaxBusyMs;
                        // 0 when MS is no such number
    int commandId = 0;  // for CommandOpen: ID of "command open ID TITLE", 1 to kMaxCommandId; 0 when no such number
    std::wstring pageTitle; // for CommandOpen: TITLE, the rest of the line
    sim::DesignerSymbol symbol; // for AddSymbol, its position in metres
    std::string problem; // for AddSymbol and Delete: why the line cannot be carried out; empty when it can
};

inline constexpr int kMaxUndoSteps = 1000;
inline constexpr int kMaxBusyMs = 60000;
inline constexpr int kMaxCommandId = 99999;

// The file's first line, UTF-8: "save", "sheet NAME", "undo N", "click", "load PATH",
// "unload [PATH]", "modal open", "modal close", "busyloop MS", "pumploop MS", "command open ID TITLE",
// "command close", "store", "add symbol VIEW KIND ROUGHNESS METHOD X Y" (X, Y in millimetres, "-"
// for an empty text), "delete NAME", "close document", or anything else (stop without saving).
// A file that cannot be read counts as anything else.
StopFileCommand readStopFile(const std::wstring& path);

} // namespace tvx::hostserver
