// The in-memory stand-in for the CAD host: serves a HostData through the host port, with the
// host's selection rules, injectable faults and a trace of every call.
#pragma once

#include "drawing/host.h"
#include "drawing/sim/model.h"
#include "drawing/sim/trace.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tvx::sim {

struct SimState;

// The sheet point a SelectByID("...", "SHEET", x, y, 0) left selected.
struct PickPoint {
    std::wstring sheetName;
    double x = 0.0;
    double y = 0.0;

    friend bool operator==(const PickPoint&, const PickPoint&) = default;
};

// The host's own Undo command, which the tool never calls; the stand-in's documents answer it.
class UndoCommand {
public:
    virtual ~UndoCommand() = default;
    // Takes back the last `steps` entries of the Undo list, as Ctrl+Z pressed that often.
    virtual void EditUndo2(std::int32_t steps) = 0;
};

// Calls only the host probe makes, to read the whole drawing and every note's text; the
// stand-in's documents and notes answer them.
class SheetNames {
public:
    virtual ~SheetNames() = default;
    virtual std::vector<std::wstring> GetSheetNames() = 0;
};
class NoteReading {
public:
    virtual ~NoteReading() = default;
    virtual std::wstring GetText() = 0;
};

// A foreign surface-finish symbol as a designer adds it in the host's own window.
struct DesignerSymbol {
    std::wstring view; // a view of the current sheet, by name
    std::int32_t kind = 0;
    std::wstring roughness; // text 5; empty: none
    std::wstring method;    // text 2; empty: none
    double x = 0.0;         // metres on the sheet
    double y = 0.0;
};

// A designer's edit that cannot be made; nothing was changed.
class DesignerEditError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SimHost {
public:
    explicit SimHost(HostData data = {});
    ~SimHost();
    SimHost(const SimHost&) = delete;
    SimHost& operator=(const SimHost&) = delete;

    // Edits made through data() are seen by the next host call; references handed out earlier
    // stay bound to their objects. Where an object was copied within the drawing, the first
    // copy in document order keeps its identity and the others become new objects.
    HostData& data();
    const HostData& data() const;

    // attach() throws HostError when the host is not running or the class name is not the host's.
    host::Connector& connector();

    // The n-th host call since this host was made (1-based, as callCount() counts: attach and
    // property sets included) throws HostError(op, "injected fault") before it has any effect;
    // the calls after it go through again. 0 disarms.
    void failAtCall(std::uint64_t n);
    // From the n-th call on, every call throws HostError of that kind (Busy or Hung) without
    // effect: a host that stopped taking calls, as the client sees it once its bound has passed.
    void stopAnsweringAt(std::uint64_t n, host::HostFailure kind);
    // Every later call of that operation throws HostError(op, "injected fault").
    void failOperation(std::string op);
    void clearFaults();
    // The user takes back the last `steps` Undo entries (no host call; see UndoCommand).
    void editUndo(std::int32_t steps);
    // A designer's edits in the host's own window (no host call), each one entry of the Undo list
    // as in the host; DesignerEditError says why one cannot be made. The new symbol is named as
    // the host names an insertion; its name is returned.
    std::wstring addSymbol(const DesignerSymbol& symbol);
    // The annotation of that name on the current sheet, in whichever of its views.
    void deleteAnnotation(const std::wstring& name);
    // The host dies: running becomes false and every later call throws.
    void kill();
    // Told the number of every call as it begins, before any fault or effect: the drawing is
    // still the one the earlier calls left. It may kill() the host to end a run. Empty: none.
    void setCallObserver(std::function<void(std::uint64_t call)> observer);

    std::uint64_t callCount() const;
    const std::vector<TraceEntry>& trace() const;
    void clearTrace();
    // Tracing is on by default; long benchmark runs may turn it off.
    void setTracing(bool on);

    // What is selected now: the picked sheet point, and the names of selected annotations.
    std::optional<PickPoint> pickPoint() const;
    std::vector<std::wstring> selectedNames() const;

private:
    std::shared_ptr<SimState> state_;
    std::unique_ptr<host::Connector> connector_;
};

} // namespace tvx::sim
