// The stand-in host's drawing model: plain data that tests build and edit directly, that the
// drawing files store, and that SimHost serves through the host port.
#pragma once

#include "drawing/host.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tvx::sim {

inline constexpr double kMetresPerPoint = 0.0254 / 72.0;
inline constexpr std::int32_t kDrawingDocType = 3;
inline constexpr std::int32_t kViewActivationToggle = 24;

// The identity SimHost gives an object so that a host reference stays bound to it while other
// objects come and go. It is not content: two objects compare equal whatever their ids, and
// drawing files do not store it. 0 means "not yet given"; SimHost fills it in.
struct ObjectId {
    std::uint64_t value = 0;
    friend bool operator==(const ObjectId&, const ObjectId&) { return true; }
};

struct TextFormatData {
    std::wstring typeFaceName = L"Arial";
    double charHeight = 0.0035; // metres
    std::int32_t charHeightInPts = 10;
    bool heightInPts = false; // which of the two heights was set last
    bool bold = false;

    // Each keeps the other height consistent, as the host does.
    void setCharHeight(double metres) {
        charHeight = metres;
        const double points = std::round(metres / kMetresPerPoint);
        charHeightInPts = std::isfinite(points) && std::fabs(points) < 2.0e9
                              ? static_cast<std::int32_t>(points)
                              : 0;
        heightInPts = false;
    }
    void setCharHeightInPts(std::int32_t points) {
        charHeightInPts = points;
        charHeight = points * kMetresPerPoint;
        heightInPts = true;
    }

    friend bool operator==(const TextFormatData&, const TextFormatData&) = default;
};

struct SymbolData {
    std::int32_t symbolType = 0;
    std::map<std::int32_t, std::wstring> texts; // host text index 1..10
    std::wstring name;                          // annotation name
    TextFormatData format;
    double x = 0.0; // metres on the sheet
    double y = 0.0;
    bool selectable = true; // false: Select2 refuses it, as for a locked annotation
    ObjectId id;

    friend bool operator==(const SymbolData&, const SymbolData&) = default;
};

struct NoteData {
    std::wstring text;
    std::wstring name; // annotation name
    double x = 0.0;
    double y = 0.0;
    double angle = 0.0; // radians
    std::int32_t balloonStyle = 0;
    std::int32_t balloonSize = 0;
    TextFormatData format;
    ObjectId id;
    bool selectable = true; // false: the host selects it neither by name nor by Select2 (locked)

    friend bool operator==(const NoteData&, const NoteData&) = default;
};

struct ViewData {
    std::wstring name;
    std::vector<SymbolData> symbols;
    std::vector<NoteData> notes;
    ObjectId id;

    friend bool operator==(const ViewData&, const ViewData&) = default;
};

struct SheetData {
    std::wstring name;
    std::int32_t paperCode = 8; // A3
    double width = 0.42;        // metres
    double height = 0.297;
    std::vector<ViewData> views; // views[0] is the sheet's own view
    // When set, GetProperties answers this instead of the array built from the fields above.
    std::optional<host::HostValue> propertiesOverride;
    ObjectId id;

    friend bool operator==(const SheetData&, const SheetData&) = default;
};

struct DocumentData;

// One entry of the host's Undo list: its name, and the document as it stood before the entry's
// changes (without an Undo list of its own). Entries read from a drawing file have no such
// record and cannot be taken back. Entries compare by name, the part drawing files keep.
struct UndoEntry {
    std::wstring name;
    std::shared_ptr<const DocumentData> before;

    friend bool operator==(const UndoEntry& a, const UndoEntry& b) { return a.name == b.name; }
};

struct DocumentData {
    std::int32_t type = kDrawingDocType;
    std::wstring title;
    std::vector<SheetData> sheets;
    std::size_t currentSheet = 0;
    std::int32_t rebuildCount = 0;
    // What SetTextFormat with "use document format" returns an annotation to; new annotations
    // start with it.
    TextFormatData defaultFormat;
    // The Undo list, oldest first: every change to the drawing is an entry, and everything changed
    // while an Undo recording runs is one entry named at its finish. Rebuilding, switching sheets
    // and the preference toggles are no entries.
    std::vector<UndoEntry> undoList;
    ObjectId id;

    friend bool operator==(const DocumentData&, const DocumentData&) = default;
};

// Where an annotation name must be unique: among the annotations of its owner (the view that
// holds it, the sheet's own view or a drawing view), or among all of the document's.
enum class NameScope { owner, document };

// Which Undo recording calls the host knows: all, only the one-argument finish of older hosts,
// or none (both answer that the name is unknown).
enum class UndoCalls { current, older, none };

struct Behaviour {
    bool refuseSymbolInsert = false;     // InsertSurfaceFinishSymbol2 answers False, inserts nothing
    bool noteInsertReturnsEmpty = false; // InsertNote inserts nothing, returns an empty reference
    NameScope nameScope = NameScope::owner;
    UndoCalls undoCalls = UndoCalls::current;

    friend bool operator==(const Behaviour&, const Behaviour&) = default;
};

// A command of the host's own under way, with its PropertyManager page, as the user left it open.
struct RunningCommand {
    std::int32_t id = 0;
    std::wstring pageTitle;

    friend bool operator==(const RunningCommand&, const RunningCommand&) = default;
};

struct HostData {
    bool running = true;
    std::optional<DocumentData> activeDoc;
    // Toggles not listed are off, except 24, which is on unless listed otherwise.
    std::map<std::int32_t, bool> toggles{{kViewActivationToggle, true}};
    Behaviour behaviour;
    // Not kept in drawing files: it is the user's state of the moment.
    std::optional<RunningCommand> runningCommand;

    friend bool operator==(const HostData&, const HostData&) = default;
};

// A sheet with only its own view, named like the sheet.
inline SheetData makeSheet(std::wstring name, std::int32_t paperCode = 8, double width = 0.42,
                           double height = 0.297) {
    SheetData sheet;
    sheet.name = std::move(name);
    sheet.paperCode = paperCode;
    sheet.width = width;
    sheet.height = height;
    sheet.views.push_back(ViewData{sheet.name, {}, {}, {}});
    return sheet;
}

// A running host with a drawing of the given sheets open, the first one current.
inline HostData makeDrawingHost(std::vector<SheetData> sheets, std::wstring title = L"Zeichnung1") {
    HostData data;
    DocumentData doc;
    doc.title = std::move(title);
    doc.sheets = std::move(sheets);
    data.activeDoc = std::move(doc);
    return data;
}

} // namespace tvx::sim
