#include "drawing/sim/sim_host.h"

#include "drawing/sim/sim_state.h"

#include <algorithm>
#include <unordered_set>

namespace tvx::sim {

// ---- identity -------------------------------------------------------------------------------

void SimState::ensureIds() {
    if (!idsDirty) {
        return;
    }
    idsDirty = false;
    if (!data.activeDoc) {
        return;
    }
    DocumentData& d = *data.activeDoc;
    // Known ids first, so a fresh id never takes one that an object further on still holds.
    const auto forEachId = [&d](const auto& visit) {
        visit(d.id);
        for (auto& sheet : d.sheets) {
            visit(sheet.id);
            for (auto& view : sheet.views) {
                visit(view.id);
                for (auto& symbol : view.symbols) {
                    visit(symbol.id);
                }
                for (auto& note : view.notes) {
                    visit(note.id);
                }
            }
        }
    };
    forEachId([this](ObjectId& id) { nextId = std::max(nextId, id.value + 1); });
    std::unordered_set<std::uint64_t> seen;
    forEachId([&](ObjectId& id) {
        if (id.value == 0 || !seen.insert(id.value).second) {
            id.value = newId();
            seen.insert(id.value);
        }
    });
}

// ---- calls ----------------------------------------------------------------------------------

std::optional<std::size_t> SimState::begin(const char* object, const char* operation,
                                           std::vector<TracedArg> args) {
    ++calls;
    if (observer) {
        observer(calls);
    }
    std::optional<std::size_t> entry;
    if (tracing) {
        trace.push_back(TraceEntry{operation, object, std::move(args), {}, false});
        entry = trace.size() - 1;
    }
    if (stopAt != 0 && calls >= stopAt) {
        // What the client's bound makes of a host that stops taking calls.
        host::HostError error(operation, stopKind == host::HostFailure::Busy ? "rejected past the bound"
                                                                             : "no answer within the bound",
                              stopKind);
        fail(entry, error.what());
        throw error;
    }
    const bool injected = (failAt != 0 && calls == failAt) || failOps.count(operation) != 0;
    if (injected || !data.running) {
        host::HostError error(operation, injected ? "injected fault" : "the host is not running",
                              !injected);
        fail(entry, error.what());
        throw error;
    }
    ensureIds();
    return entry;
}

void SimState::finish(std::optional<std::size_t> entry, std::string result) {
    if (entry && *entry < trace.size()) {
        trace[*entry].result = std::move(result);
    }
}

void SimState::fail(std::optional<std::size_t> entry, const std::string& message) {
    if (entry && *entry < trace.size()) {
        trace[*entry].result = message;
        trace[*entry].failed = true;
    }
}

// ---- the Undo list ---------------------------------------------------------------------------

namespace {

// Bounds the memory a long session of the server can take, as hosts bound their Undo lists.
constexpr std::size_t kMaxUndoEntries = 100;

std::shared_ptr<const DocumentData> snapshot(const DocumentData& doc) {
    auto copy = std::make_shared<DocumentData>(doc);
    copy->undoList.clear();
    return copy;
}

void pushEntry(DocumentData& doc, UndoEntry entry) {
    if (doc.undoList.size() >= kMaxUndoEntries) {
        doc.undoList.erase(doc.undoList.begin());
    }
    doc.undoList.push_back(std::move(entry));
}

} // namespace

void SimState::beforeChange(DocumentData& doc, const wchar_t* entryName) {
    if (recording) {
        if (!recordedBefore) {
            recordedBefore = snapshot(doc);
        }
        return;
    }
    pushEntry(doc, UndoEntry{entryName, snapshot(doc)});
}

bool SimState::finishRecording(DocumentData& doc, const std::wstring& name, bool hidden) {
    if (!recording) {
        return false;
    }
    recording = false;
    std::shared_ptr<const DocumentData> before = std::move(recordedBefore);
    recordedBefore.reset();
    // Nothing changed: nothing to take back. A hidden first entry is discarded, as the host does.
    if (before && !(hidden && doc.undoList.empty())) {
        pushEntry(doc, UndoEntry{name, std::move(before)});
    }
    return true;
}

void SimState::undo(DocumentData& doc, std::int32_t steps) {
    if (recording) {
        throw host::HostError("EditUndo2", "an Undo recording is under way");
    }
    std::size_t taken = 0;
    while (steps > 0 && taken < doc.undoList.size() &&
           doc.undoList[doc.undoList.size() - 1 - taken].before) {
        ++taken;
        --steps;
    }
    if (taken == 0) {
        return;
    }
    std::vector<UndoEntry> rest(doc.undoList.begin(),
                                doc.undoList.end() - static_cast<std::ptrdiff_t>(taken));
    const std::shared_ptr<const DocumentData> before = doc.undoList[rest.size()].before;
    const std::int32_t rebuilds = doc.rebuildCount;
    const std::size_t current = doc.currentSheet;
    doc = *before;
    doc.undoList = std::move(rest);
    doc.rebuildCount = rebuilds;
    if (current < doc.sheets.size()) {
        doc.currentSheet = current;
    }
    selection.clear();
}

// ---- lookups --------------------------------------------------------------------------------

namespace {

[[noreturn]] void gone(const char* operation) {
    throw host::HostError(operation, "the object no longer exists");
}

} // namespace

DocumentData& SimState::doc(std::uint64_t docId, const char* operation) {
    if (!data.activeDoc || data.activeDoc->id.value != docId) {
        throw host::HostError(operation, "the document is no longer open");
    }
    return *data.activeDoc;
}

SheetData* SimState::findSheet(std::uint64_t sheetId) {
    if (!data.activeDoc) {
        return nullptr;
    }
    for (auto& sheet : data.activeDoc->sheets) {
        if (sheet.id.value == sheetId) {
            return &sheet;
        }
    }
    return nullptr;
}

const SheetData* SimState::findSheet(std::uint64_t sheetId) const {
    if (!data.activeDoc) {
        return nullptr;
    }
    for (const auto& sheet : data.activeDoc->sheets) {
        if (sheet.id.value == sheetId) {
            return &sheet;
        }
    }
    return nullptr;
}

SheetData& SimState::sheet(std::uint64_t sheetId, Hint& hint, const char* operation) {
    if (!data.activeDoc) {
        gone(operation);
    }
    auto& sheets = data.activeDoc->sheets;
    if (hint.sheet < sheets.size() && sheets[hint.sheet].id.value == sheetId) {
        return sheets[hint.sheet];
    }
    for (std::size_t s = 0; s < sheets.size(); ++s) {
        if (sheets[s].id.value == sheetId) {
            hint.sheet = s;
            return sheets[s];
        }
    }
    gone(operation);
}

std::pair<SheetData*, ViewData*> SimState::view(std::uint64_t viewId, Hint& hint,
                                                const char* operation) {
    if (!data.activeDoc) {
        gone(operation);
    }
    auto& sheets = data.activeDoc->sheets;
    if (hint.sheet < sheets.size() && hint.view < sheets[hint.sheet].views.size() &&
        sheets[hint.sheet].views[hint.view].id.value == viewId) {
        return {&sheets[hint.sheet], &sheets[hint.sheet].views[hint.view]};
    }
    for (std::size_t s = 0; s < sheets.size(); ++s) {
        for (std::size_t v = 0; v < sheets[s].views.size(); ++v) {
            if (sheets[s].views[v].id.value == viewId) {
                hint = {s, v, 0};
                return {&sheets[s], &sheets[s].views[v]};
            }
        }
    }
    gone(operation);
}

namespace {

// Finds an item of one list of the views (symbols or notes) by id, trying the hint first.
template <class Item, class Member>
Item* findItem(std::vector<SheetData>& sheets, std::uint64_t id, Hint& hint, Member member,
               SheetData*& sheetOut, ViewData*& viewOut) {
    if (hint.sheet < sheets.size() && hint.view < sheets[hint.sheet].views.size()) {
        ViewData& v = sheets[hint.sheet].views[hint.view];
        auto& items = v.*member;
        if (hint.item < items.size() && items[hint.item].id.value == id) {
            sheetOut = &sheets[hint.sheet];
            viewOut = &v;
            return &items[hint.item];
        }
    }
    for (std::size_t s = 0; s < sheets.size(); ++s) {
        for (std::size_t v = 0; v < sheets[s].views.size(); ++v) {
            auto& items = sheets[s].views[v].*member;
            for (std::size_t i = 0; i < items.size(); ++i) {
                if (items[i].id.value == id) {
                    hint = {s, v, i};
                    sheetOut = &sheets[s];
                    viewOut = &sheets[s].views[v];
                    return &items[i];
                }
            }
        }
    }
    return nullptr;
}

} // namespace

SymbolPlace SimState::symbol(std::uint64_t symbolId, Hint& hint, const char* operation) {
    if (!data.activeDoc) {
        gone(operation);
    }
    SymbolPlace place{nullptr, nullptr, nullptr};
    place.symbol = findItem<SymbolData>(data.activeDoc->sheets, symbolId, hint,
                                        &ViewData::symbols, place.sheet, place.view);
    if (place.symbol == nullptr) {
        gone(operation);
    }
    return place;
}

NotePlace SimState::note(std::uint64_t noteId, Hint& hint, const char* operation) {
    if (!data.activeDoc) {
        gone(operation);
    }
    NotePlace place{nullptr, nullptr, nullptr};
    place.note = findItem<NoteData>(data.activeDoc->sheets, noteId, hint, &ViewData::notes,
                                    place.sheet, place.view);
    if (place.note == nullptr) {
        gone(operation);
    }
    return place;
}

// ---- the host -------------------------------------------------------------------------------

namespace {

class SimConnector final : public host::Connector {
public:
    explicit SimConnector(std::shared_ptr<SimState> state) : state_(std::move(state)) {}

    host::AppRef attach(const std::wstring& className) override {
        return tracedCall(
            *state_, "system", "attach", {argBstr(className)},
            [&]() -> host::AppRef {
                if (className != host::kHostClassName) {
                    throw host::HostError("attach", "no running object of class " +
                                                        traceText(className));
                }
                return makeApp(state_);
            },
            [](const host::AppRef& app) { return resultDispatch(app != nullptr, "App"); });
    }

private:
    std::shared_ptr<SimState> state_;
};

} // namespace

SimHost::SimHost(HostData data)
    : state_(std::make_shared<SimState>()), connector_(std::make_unique<SimConnector>(state_)) {
    state_->data = std::move(data);
    state_->ensureIds();
}

SimHost::~SimHost() = default;

HostData& SimHost::data() {
    state_->idsDirty = true;
    return state_->data;
}

const HostData& SimHost::data() const { return state_->data; }

host::Connector& SimHost::connector() { return *connector_; }

void SimHost::failAtCall(std::uint64_t n) { state_->failAt = n; }

void SimHost::stopAnsweringAt(std::uint64_t n, host::HostFailure kind) {
    state_->stopAt = n;
    state_->stopKind = kind;
}

void SimHost::failOperation(std::string op) { state_->failOps.insert(std::move(op)); }

void SimHost::clearFaults() {
    state_->failAt = 0;
    state_->failOps.clear();
    state_->stopAt = 0;
}

void SimHost::editUndo(std::int32_t steps) {
    if (state_->data.activeDoc) {
        state_->undo(*state_->data.activeDoc, steps);
    }
}

std::wstring SimHost::addSymbol(const DesignerSymbol& symbol) {
    state_->ensureIds();
    return addDesignerSymbol(*state_, symbol);
}

void SimHost::deleteAnnotation(const std::wstring& name) {
    state_->ensureIds();
    deleteByDesigner(*state_, name);
}

void SimHost::kill() { state_->data.running = false; }

void SimHost::setCallObserver(std::function<void(std::uint64_t call)> observer) {
    state_->observer = std::move(observer);
}

std::uint64_t SimHost::callCount() const { return state_->calls; }

const std::vector<TraceEntry>& SimHost::trace() const { return state_->trace; }

void SimHost::clearTrace() { state_->trace.clear(); }

void SimHost::setTracing(bool on) { state_->tracing = on; }

std::optional<PickPoint> SimHost::pickPoint() const {
    const auto& pick = state_->selection.pick;
    if (!pick) {
        return std::nullopt;
    }
    const SheetData* sheet = state_->findSheet(pick->sheetId);
    if (sheet == nullptr) {
        return std::nullopt;
    }
    return PickPoint{sheet->name, pick->x, pick->y};
}

std::vector<std::wstring> SimHost::selectedNames() const {
    std::vector<std::wstring> names;
    const auto& doc = state_->data.activeDoc;
    if (!doc) {
        return names;
    }
    for (const std::uint64_t id : state_->selection.objects) {
        for (const auto& sheet : doc->sheets) {
            for (const auto& view : sheet.views) {
                for (const auto& s : view.symbols) {
                    if (s.id.value == id) {
                        names.push_back(s.name);
                    }
                }
                for (const auto& n : view.notes) {
                    if (n.id.value == id) {
                        names.push_back(n.name);
                    }
                }
            }
        }
    }
    return names;
}

} // namespace tvx::sim
