#include "drawing/undo_recording.h"

#include "drawing/run_errors.h"

#include <exception>

namespace tvx {

void tryStartUndoRecording(HostSession& session) {
    try {
        const host::ExtensionRef extension = require(session.hostDoc, "Extension")->Extension();
        if (extension) {
            extension->StartRecordingUndoObject();
            session.undoRecording = extension;
        }
    } catch (const std::exception&) {
        rethrowIfHostStopped();
    }
}

void tryFinishUndoRecording(HostSession& session) {
    const host::ExtensionRef extension = session.undoRecording;
    if (!extension) {
        return;
    }
    try {
        try {
            // Never hidden: the host discards a hidden entry that is first in its list.
            extension->FinishRecordingUndoObject2(kUndoEntryName, false);
        } catch (const host::HostError& e) {
            if (!e.unknownName()) {
                throw;
            }
            extension->FinishRecordingUndoObject(kUndoEntryName);
        }
    } catch (const std::exception&) {
        rethrowIfHostStopped();
    }
    session.undoRecording.reset();
}

} // namespace tvx
