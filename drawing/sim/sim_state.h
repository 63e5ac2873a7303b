// Inside the stand-in host: the state every port object shares, the call bookkeeping (faults,
// trace) and finding objects again by their identity.
#pragma once

#include "drawing/host.h"
#include "drawing/sim/model.h"
#include "drawing/sim/trace.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace tvx::sim {

struct SheetPick {
    std::uint64_t sheetId = 0;
    double x = 0.0;
    double y = 0.0;
};

struct Selection {
    std::optional<SheetPick> pick;
    std::vector<std::uint64_t> objects; // symbols and notes, in the order selected
    void clear() {
        pick.reset();
        objects.clear();
    }
};

// Where an object was last found; checked first, so walking a view costs no search.
struct Hint {
    std::size_t sheet = 0;
    std::size_t view = 0;
    std::size_t item = 0;
};

struct SymbolPlace {
    SheetData* sheet;
    ViewData* view;
    SymbolData* symbol;
};

struct NotePlace {
    SheetData* sheet;
    ViewData* view;
    NoteData* note;
};

struct SimState {
    HostData data;
    bool idsDirty = true;
    std::uint64_t nextId = 1;
    Selection selection;

    std::uint64_t calls = 0;
    std::uint64_t failAt = 0;
    std::set<std::string> failOps;
    std::uint64_t stopAt = 0;
    host::HostFailure stopKind = host::HostFailure::Hung;
    std::function<void(std::uint64_t)> observer;
    std::vector<TraceEntry> trace;
    bool tracing = true;

    // An Undo recording under way, and the document as it stood before its first change.
    bool recording = false;
    std::shared_ptr<const DocumentData> recordedBefore;

    // Called right before a change to the document: the change becomes an Undo entry of its own,
    // or part of the recording under way.
    void beforeChange(DocumentData& doc, const wchar_t* entryName);
    // Ends a recording: what it recorded becomes one entry. False when none was under way.
    bool finishRecording(DocumentData& doc, const std::wstring& name, bool hidden);
    // Takes back the last `steps` entries, the newest first; stops at an entry it has no record
    // of. The rebuild count and the current sheet stay as they are.
    void undo(DocumentData& doc, std::int32_t steps);

    // Gives every object without an identity (or with one copied from another object) a new one.
    void ensureIds();
    std::uint64_t newId() { return nextId++; }

    // Counts and records the call, then throws if a fault is armed for it or the host is dead.
    // Returns the trace index, or nothing when tracing is off.
    std::optional<std::size_t> begin(const char* object, const char* operation,
                                     std::vector<TracedArg> args);
    void finish(std::optional<std::size_t> entry, std::string result);
    void fail(std::optional<std::size_t> entry, const std::string& message);

    // Lookups throw HostError(operation, ...) when the object is gone.
    DocumentData& doc(std::uint64_t docId, const char* operation);
    SheetData& sheet(std::uint64_t sheetId, Hint& hint, const char* operation);
    std::pair<SheetData*, ViewData*> view(std::uint64_t viewId, Hint& hint, const char* operation);
    SymbolPlace symbol(std::uint64_t symbolId, Hint& hint, const char* operation);
    NotePlace note(std::uint64_t noteId, Hint& hint, const char* operation);
    // nullptr when the active document holds no such object.
    SheetData* findSheet(std::uint64_t sheetId);
    const SheetData* findSheet(std::uint64_t sheetId) const;
};

// Text for traces and messages: never throws, marks what cannot be encoded.
std::string traceText(const std::wstring& text);
std::string traceNumber(double value);

// A traced call: bookkeeping around the body, which throws HostError to fail.
template <class Body, class Describe>
auto tracedCall(SimState& state, const char* object, const char* operation,
                std::vector<TracedArg> args, Body body, Describe describe) -> decltype(body()) {
    const auto entry = state.begin(object, operation, std::move(args));
    try {
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            state.finish(entry, describe());
        } else {
            auto result = body();
            state.finish(entry, describe(result));
            return result;
        }
    } catch (const std::exception& e) {
        state.fail(entry, e.what());
        throw;
    }
}

TracedArg argI2(std::int16_t v);
TracedArg argI4(std::int32_t v);
TracedArg argBool(bool v);
TracedArg argR8(double v);
TracedArg argBstr(const std::wstring& v);
TracedArg argDispatch(bool present, const char* kind);

std::string resultBool(bool v);
std::string resultI4(std::int32_t v);
std::string resultBstr(const std::wstring& v);
std::string resultDispatch(bool present, const char* kind);
std::string resultValue(const host::HostValue& v);

struct DesignerSymbol;
// SimHost's designer edits, beside the host's own naming and Undo entries.
std::wstring addDesignerSymbol(SimState& state, const DesignerSymbol& symbol);
void deleteByDesigner(SimState& state, const std::wstring& name);

// The port objects over a shared state.
host::AppRef makeApp(std::shared_ptr<SimState> state);

} // namespace tvx::sim
