#include "tools/hostserver/call_revisions.h"

#include <windows.h>

#include <array>

namespace tvx::hostserver {
namespace {

constexpr host::HostRevision r(int major) { return {major, 0, 0}; }

// From the host's API help; docs/addin-calls.md names the page or note behind each. Calls older
// than the help's revision numbers (2001Plus, 10.0) are dated 10.0.
constexpr std::array kCalls{
    // The add-in's connection and disconnection.
    CallRevision{"App", L"SetAddinCallbackInfo2", r(23)},
    CallRevision{"App", L"AddMenuItem5", r(24)},
    CallRevision{"App", L"RemoveMenu", r(14)},
    CallRevision{"App", L"GetCommandManager", r(14)},
    CallRevision{"CommandManager", L"GetGroupDataFromRegistry", r(19)},
    CallRevision{"CommandManager", L"CreateCommandGroup2", r(19)},
    CallRevision{"CommandManager", L"RemoveCommandGroup2", r(19)},
    CallRevision{"CommandManager", L"GetCommandTab", r(16)},
    CallRevision{"CommandManager", L"AddCommandTab", r(16)},
    CallRevision{"CommandManager", L"RemoveCommandTab", r(16)},
    CallRevision{"CommandGroup", L"IconList", r(24)},
    CallRevision{"CommandGroup", L"MainIconList", r(24)},
    CallRevision{"CommandGroup", L"SmallIconList", r(14)},
    CallRevision{"CommandGroup", L"LargeIconList", r(14)},
    CallRevision{"CommandGroup", L"AddCommandItem2", r(16)},
    CallRevision{"CommandGroup", L"HasToolbar", r(14)},
    CallRevision{"CommandGroup", L"HasMenu", r(14)},
    CallRevision{"CommandGroup", L"ShowInDocumentType", r(14)},
    CallRevision{"CommandGroup", L"Activate", r(14)},
    CallRevision{"CommandGroup", L"CommandID", r(14)},
    CallRevision{"CommandTab", L"AddCommandTabBox", r(16)},
    CallRevision{"CommandTabBox", L"AddCommands", r(16)},
    // Both shells: the host's window and revision.
    CallRevision{"App", L"Frame", r(10)},
    CallRevision{"Frame", L"GetHWnd", r(10)},
    CallRevision{"App", L"RevisionNumber", r(10)},
    // The run.
    CallRevision{"App", L"ActiveDoc", r(10)},
    CallRevision{"App", L"GetUserPreferenceToggle", r(10)},
    CallRevision{"App", L"SetUserPreferenceToggle", r(10)},
    CallRevision{"App", L"GetRunningCommandInfo", r(19)},
    CallRevision{"Doc", L"GetType", r(10)},
    CallRevision{"Doc", L"GetFirstView", r(10)},
    CallRevision{"Doc", L"GetCurrentSheet", r(10)},
    CallRevision{"Doc", L"GetTitle", r(10)},
    CallRevision{"Doc", L"Extension", r(10)},
    CallRevision{"Doc", L"SelectByID", r(10)},
    CallRevision{"Doc", L"ClearSelection2", r(10)},
    CallRevision{"Doc", L"DeleteSelection", r(10)},
    CallRevision{"Doc", L"ActivateSheet", r(10)},
    CallRevision{"Doc", L"InsertSurfaceFinishSymbol2", r(10)},
    CallRevision{"Doc", L"InsertNote", r(10)},
    CallRevision{"Doc", L"EditRebuild", r(10)},
    CallRevision{"Extension", L"SelectByID", r(10)},
    CallRevision{"Extension", L"StartRecordingUndoObject", r(15)},
    CallRevision{"Extension", L"FinishRecordingUndoObject", r(15)},
    CallRevision{"Extension", L"FinishRecordingUndoObject2", r(21)},
    CallRevision{"Sheet", L"GetName", r(10)},
    CallRevision{"Sheet", L"GetProperties", r(10)},
    CallRevision{"View", L"GetFirstSFSymbol", r(10)},
    CallRevision{"View", L"GetNextView", r(10)},
    CallRevision{"View", L"GetFirstNote", r(10)},
    CallRevision{"SFSymbol", L"GetNext", r(10)},
    CallRevision{"SFSymbol", L"GetSymbolType", r(10)},
    CallRevision{"SFSymbol", L"GetText", r(10)},
    CallRevision{"SFSymbol", L"GetAnnotation", r(10)},
    CallRevision{"Note", L"GetNext", r(10)},
    CallRevision{"Note", L"GetAnnotation", r(10)},
    CallRevision{"Note", L"Angle", r(10)},
    CallRevision{"Note", L"SetBalloon", r(10)},
    CallRevision{"Note", L"GetTextFormat", r(10)},
    CallRevision{"Note", L"SetTextFormat", r(10)},
    CallRevision{"Annotation", L"GetName", r(10)},
    CallRevision{"Annotation", L"SetName", r(10)},
    CallRevision{"Annotation", L"Select2", r(10)},
    CallRevision{"Annotation", L"GetTextFormat", r(10)},
    CallRevision{"Annotation", L"SetTextFormat", r(10)},
    CallRevision{"TextFormat", L"TypeFaceName", r(10)},
    CallRevision{"TextFormat", L"CharHeight", r(10)},
    CallRevision{"TextFormat", L"CharHeightInPts", r(10)},
    CallRevision{"TextFormat", L"Bold", r(10)},
};

bool sameName(std::wstring_view a, const wchar_t* b) {
    // Automation names are case-insensitive, as the stand-in's members are.
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

} // namespace

bool knownAt(const host::HostRevision& host, std::string_view kind, std::wstring_view name) noexcept {
    for (const CallRevision& call : kCalls) {
        if (kind == call.kind && sameName(name, call.name)) {
            return !(host < call.since);
        }
    }
    return true;
}

} // namespace tvx::hostserver
