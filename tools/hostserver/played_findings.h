// What the host probe found out on a real host that only such a host can answer, played by the
// stand-in when it is started with that host's profile (docs/hostprofile.md); without one, the
// stand-in's own answers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tvx::hostserver {

struct PlayedFindings {
    // The forms the extension's SelectByID takes for its three coordinates. The help declares
    // Doubles, but the stand-in's own is the 16-bit integers Tarvenix sends, so that a call of
    // Tarvenix's in another form shows as the type mismatch it may be on a real host.
    std::vector<VARTYPE> coordinateForms{VT_I2};
    // Select2(False, 0) keeps what was selected, as if it appended.
    bool select2KeepsSelection = false;
    // DeleteSelection(True) asks the user first, in a window of the host's own.
    bool confirmDeletion = false;
    // How GetGroupDataFromRegistry hands back the kept IDs: VT_ARRAY with this element type, or
    // VT_EMPTY (the out parameter left as it came).
    VARTYPE keptIdsForm = VT_ARRAY | VT_I4;
    // Notes of the sheet format, which the sheet's own view lists before the drawing's own: their
    // texts, and what an annotation's Select2 answers on one ("true", "false", or why it failed).
    std::vector<std::wstring> sheetFormatNotes;
    std::string sheetFormatNoteSelect = "true";
};

} // namespace tvx::hostserver
