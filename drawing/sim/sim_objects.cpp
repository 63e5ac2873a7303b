// The host port's objects over the stand-in's state. Each holds only an identity; every call
// finds its object again, so a reference to something deleted fails as the host's would.
#include "drawing/sim/sim_host.h"
#include "drawing/sim/sim_state.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace tvx::sim {

namespace {

using StatePtr = std::shared_ptr<SimState>;

const wchar_t kSymbolNamePrefix[] = L"Oberfl\u00e4cheng\u00fcte";
const wchar_t kNoteNamePrefix[] = L"DetailItem";

// The names the stand-in gives its Undo entries.
const wchar_t kUndoInsert[] = L"Einf\u00fcgen";
const wchar_t kUndoDelete[] = L"L\u00f6schen";
const wchar_t kUndoRename[] = L"Umbenennen";
const wchar_t kUndoTextFormat[] = L"Textformat";
const wchar_t kUndoBalloon[] = L"Sprechblase";
const wchar_t kUndoAngle[] = L"Winkel";

[[noreturn]] void unknownName(const char* operation) {
    throw host::HostError(operation, "unknown name", host::HostFailure::Refused,
                          host::HostError::kUnknownNameCode);
}

// ---- helpers over the document --------------------------------------------------------------

template <class Visit>
void forEachAnnotation(DocumentData& doc, Visit visit) {
    for (auto& sheet : doc.sheets) {
        for (auto& view : sheet.views) {
            for (auto& s : view.symbols) {
                visit(s.name, s.id.value);
            }
            for (auto& n : view.notes) {
                visit(n.name, n.id.value);
            }
        }
    }
}

bool nameTaken(DocumentData& doc, const std::wstring& name, std::uint64_t except) {
    bool taken = false;
    forEachAnnotation(doc, [&](const std::wstring& other, std::uint64_t id) {
        taken = taken || (id != except && other == name);
    });
    return taken;
}

bool nameTakenInView(const ViewData& view, const std::wstring& name, std::uint64_t except) {
    const auto same = [&](const auto& a) { return a.id.value != except && a.name == name; };
    return std::any_of(view.symbols.begin(), view.symbols.end(), same) ||
           std::any_of(view.notes.begin(), view.notes.end(), same);
}

// The prefix and a number above every number already used after that prefix, as the host counts.
std::wstring automaticName(DocumentData& doc, const std::wstring& prefix) {
    std::uint64_t highest = 0;
    forEachAnnotation(doc, [&](const std::wstring& name, std::uint64_t) {
        if (name.size() <= prefix.size() || name.size() > prefix.size() + 9 ||
            name.compare(0, prefix.size(), prefix) != 0) {
            return;
        }
        std::uint64_t n = 0;
        for (std::size_t i = prefix.size(); i < name.size(); ++i) {
            if (name[i] < L'0' || name[i] > L'9') {
                return;
            }
            n = n * 10 + static_cast<std::uint64_t>(name[i] - L'0');
        }
        highest = std::max(highest, n);
    });
    std::uint64_t next = highest + 1;
    std::wstring name = prefix + std::to_wstring(next);
    while (nameTaken(doc, name, 0)) {
        name = prefix + std::to_wstring(++next);
    }
    return name;
}

void requireFinite(double value, const char* operation) {
    if (!std::isfinite(value)) {
        throw host::HostError(operation, "the value is not a finite number");
    }
}

void eraseFromSelection(Selection& selection, std::uint64_t id) {
    auto& objects = selection.objects;
    objects.erase(std::remove(objects.begin(), objects.end(), id), objects.end());
}

// ---- text format ----------------------------------------------------------------------------

class SimTextFormat final : public host::TextFormat {
public:
    SimTextFormat(StatePtr state, TextFormatData data)
        : state_(std::move(state)), data_(std::move(data)) {}

    void setTypeFaceName(const std::wstring& name) override {
        put("TypeFaceName", argBstr(name), [&] {
            if (name.empty()) {
                throw host::HostError("TypeFaceName", "an empty font name");
            }
            data_.typeFaceName = name;
        });
    }
    void setCharHeight(double metres) override {
        put("CharHeight", argR8(metres), [&] {
            if (!std::isfinite(metres) || metres <= 0.0 || metres > 1.0) {
                throw host::HostError("CharHeight", "the height is out of range");
            }
            data_.setCharHeight(metres);
        });
    }
    void setCharHeightInPts(std::int32_t points) override {
        put("CharHeightInPts", argI4(points), [&] {
            if (points <= 0 || points > 2000) {
                throw host::HostError("CharHeightInPts", "the height is out of range");
            }
            data_.setCharHeightInPts(points);
        });
    }
    void setBold(bool bold) override {
        put("Bold", argBool(bold), [&] { data_.bold = bold; });
    }

    const SimState* owner() const { return state_.get(); }
    const TextFormatData& data() const { return data_; }

private:
    template <class Body>
    void put(const char* operation, TracedArg arg, Body body) {
        tracedCall(*state_, "TextFormat", operation, {std::move(arg)}, body,
                   [] { return std::string(); });
    }

    StatePtr state_;
    TextFormatData data_;
};

// A format handed back by the caller: it must be one this host gave out.
const TextFormatData& ownFormat(const SimState& state, const host::TextFormatRef& format,
                                const char* operation) {
    const auto* mine = dynamic_cast<const SimTextFormat*>(format.get());
    if (mine == nullptr || mine->owner() != &state) {
        throw host::HostError(operation, "the text format does not belong to this host");
    }
    return mine->data();
}

host::TextFormatRef newFormat(const StatePtr& state, const TextFormatData& data) {
    return std::make_shared<SimTextFormat>(state, data);
}

std::string formatResult(const host::TextFormatRef& f) {
    return resultDispatch(f != nullptr, "TextFormat");
}

// ---- annotation -----------------------------------------------------------------------------

class SimAnnotation final : public host::Annotation {
public:
    enum class Kind { symbol, note };

    SimAnnotation(StatePtr state, Kind kind, std::uint64_t id, Hint hint)
        : state_(std::move(state)), kind_(kind), id_(id), hint_(hint) {}

    std::wstring GetName() override {
        return tracedCall(
            *state_, "Annotation", "GetName", {}, [&] { return nameOf("GetName"); },
            resultBstr);
    }

    bool SetName(const std::wstring& name) override {
        return tracedCall(
            *state_, "Annotation", "SetName", {argBstr(name)},
            [&] {
                std::wstring& current = nameOf("SetName");
                if (name.empty() || nameTakenInScope(name)) {
                    return false;
                }
                state_->beforeChange(*state_->data.activeDoc, kUndoRename);
                current = name;
                return true;
            },
            resultBool);
    }

    bool Select2(bool append, std::int16_t mark) override {
        return tracedCall(
            *state_, "Annotation", "Select2", {argBool(append), argI2(mark)},
            [&] {
                const bool selectable = kind_ == Kind::note
                                            ? state_->note(id_, hint_, "Select2").note->selectable
                                            : state_->symbol(id_, hint_, "Select2").symbol->selectable;
                Selection& selection = state_->selection;
                if (!append) {
                    selection.clear();
                }
                if (!selectable) {
                    return false;
                }
                eraseFromSelection(selection, id_);
                selection.objects.push_back(id_);
                return true;
            },
            resultBool);
    }

    host::TextFormatRef gettextformat(std::int16_t index) override {
        return tracedCall(
            *state_, "Annotation", "gettextformat", {argI2(index)},
            [&] { return newFormat(state_, formatOf("gettextformat")); }, formatResult);
    }

    bool SetTextFormat(std::int16_t index, bool useDoc,
                       const host::TextFormatRef& format) override {
        return tracedCall(
            *state_, "Annotation", "SetTextFormat",
            {argI2(index), argBool(useDoc), argDispatch(format != nullptr, "TextFormat")},
            [&] {
                TextFormatData& target = formatOf("SetTextFormat");
                const TextFormatData next = useDoc ? state_->data.activeDoc->defaultFormat
                                                   : ownFormat(*state_, format, "SetTextFormat");
                state_->beforeChange(*state_->data.activeDoc, kUndoTextFormat);
                target = next;
                return true;
            },
            resultBool);
    }

private:
    bool nameTakenInScope(const std::wstring& name) {
        if (state_->data.behaviour.nameScope == NameScope::document) {
            return nameTaken(*state_->data.activeDoc, name, id_);
        }
        const ViewData& owner = kind_ == Kind::symbol ? *state_->symbol(id_, hint_, "SetName").view
                                                      : *state_->note(id_, hint_, "SetName").view;
        return nameTakenInView(owner, name, id_);
    }

    std::wstring& nameOf(const char* operation) {
        return kind_ == Kind::symbol ? state_->symbol(id_, hint_, operation).symbol->name
                                     : state_->note(id_, hint_, operation).note->name;
    }
    TextFormatData& formatOf(const char* operation) {
        return kind_ == Kind::symbol ? state_->symbol(id_, hint_, operation).symbol->format
                                     : state_->note(id_, hint_, operation).note->format;
    }

    StatePtr state_;
    Kind kind_;
    std::uint64_t id_;
    Hint hint_;
};

std::string annotationResult(const host::AnnotationRef& a) {
    return resultDispatch(a != nullptr, "Annotation");
}

// The symbol or note at the hint's place in its view's list, or none past its end: how views
// and symbols or notes lead to the next one.
template <class Made, class Items>
std::shared_ptr<Made> madeAt(const StatePtr& state, const Items& items, Hint at) {
    if (at.item >= items.size()) {
        return nullptr;
    }
    return std::make_shared<Made>(state, items[at.item].id.value, at);
}

// ---- symbol ---------------------------------------------------------------------------------

class SimSymbol final : public host::SFSymbol {
public:
    SimSymbol(StatePtr state, std::uint64_t id, Hint hint)
        : state_(std::move(state)), id_(id), hint_(hint) {}

    host::SFSymbolRef GetNext() override {
        return tracedCall(
            *state_, "SFSymbol", "GetNext", {},
            [&]() -> host::SFSymbolRef {
                const SymbolPlace place = state_->symbol(id_, hint_, "GetNext");
                return madeAt<SimSymbol>(state_, place.view->symbols,
                                         Hint{hint_.sheet, hint_.view, hint_.item + 1});
            },
            symbolResult);
    }

    std::int32_t GetSymbolType() override {
        return tracedCall(
            *state_, "SFSymbol", "GetSymbolType", {},
            [&] { return state_->symbol(id_, hint_, "GetSymbolType").symbol->symbolType; },
            resultI4);
    }

    std::wstring GetText(std::int32_t which) override {
        return tracedCall(
            *state_, "SFSymbol", "GetText", {argI4(which)},
            [&] {
                const auto& texts = state_->symbol(id_, hint_, "GetText").symbol->texts;
                const auto found = texts.find(which);
                return found == texts.end() ? std::wstring() : found->second;
            },
            resultBstr);
    }

    host::AnnotationRef GetAnnotation() override {
        return tracedCall(
            *state_, "SFSymbol", "GetAnnotation", {},
            [&]() -> host::AnnotationRef {
                state_->symbol(id_, hint_, "GetAnnotation");
                return std::make_shared<SimAnnotation>(state_, SimAnnotation::Kind::symbol, id_,
                                                       hint_);
            },
            annotationResult);
    }

    static std::string symbolResult(const host::SFSymbolRef& s) {
        return resultDispatch(s != nullptr, "SFSymbol");
    }

private:
    StatePtr state_;
    std::uint64_t id_;
    Hint hint_;
};

// ---- view -----------------------------------------------------------------------------------

class SimView final : public host::View {
public:
    SimView(StatePtr state, std::uint64_t id, Hint hint)
        : state_(std::move(state)), id_(id), hint_(hint) {}

    host::SFSymbolRef GetFirstSFSymbol() override {
        return tracedCall(
            *state_, "View", "GetFirstSFSymbol", {},
            [&]() -> host::SFSymbolRef {
                const ViewData& view = *state_->view(id_, hint_, "GetFirstSFSymbol").second;
                return madeAt<SimSymbol>(state_, view.symbols, Hint{hint_.sheet, hint_.view, 0});
            },
            SimSymbol::symbolResult);
    }

    host::ViewRef GetNextView() override {
        return tracedCall(
            *state_, "View", "GetNextView", {},
            [&]() -> host::ViewRef {
                const SheetData& sheet = *state_->view(id_, hint_, "GetNextView").first;
                const std::size_t next = hint_.view + 1;
                if (next >= sheet.views.size()) {
                    return nullptr;
                }
                return std::make_shared<SimView>(state_, sheet.views[next].id.value,
                                                 Hint{hint_.sheet, next, 0});
            },
            viewResult);
    }

    host::NoteRef GetFirstNote() override;

    static std::string viewResult(const host::ViewRef& v) {
        return resultDispatch(v != nullptr, "View");
    }

private:
    StatePtr state_;
    std::uint64_t id_;
    Hint hint_;
};

// ---- sheet ----------------------------------------------------------------------------------

class SimSheet final : public host::Sheet {
public:
    SimSheet(StatePtr state, std::uint64_t id, Hint hint)
        : state_(std::move(state)), id_(id), hint_(hint) {}

    std::wstring GetName() override {
        return tracedCall(
            *state_, "Sheet", "GetName", {},
            [&] { return state_->sheet(id_, hint_, "GetName").name; }, resultBstr);
    }

    host::HostValue GetProperties() override {
        return tracedCall(
            *state_, "Sheet", "GetProperties", {},
            [&]() -> host::HostValue {
                const SheetData& sheet = state_->sheet(id_, hint_, "GetProperties");
                if (sheet.propertiesOverride) {
                    return *sheet.propertiesOverride;
                }
                const double code = sheet.paperCode;
                return host::HostArray{code, code, 1.0, 1.0, 1.0, sheet.width, sheet.height};
            },
            resultValue);
    }

private:
    StatePtr state_;
    std::uint64_t id_;
    Hint hint_;
};

// ---- note -----------------------------------------------------------------------------------

class SimNote final : public host::Note, public NoteReading {
public:
    SimNote(StatePtr state, std::uint64_t id, Hint hint)
        : state_(std::move(state)), id_(id), hint_(hint) {}

    void setAngle(std::int16_t angle) override {
        tracedCall(
            *state_, "Note", "angle", {argI2(angle)},
            [&] {
                NoteData& note = *state_->note(id_, hint_, "angle").note;
                state_->beforeChange(*state_->data.activeDoc, kUndoAngle);
                note.angle = angle;
            },
            [] { return std::string(); });
    }

    bool SetBalloon(std::int16_t style, std::int16_t size) override {
        return tracedCall(
            *state_, "Note", "SetBalloon", {argI2(style), argI2(size)},
            [&] {
                NoteData& note = *state_->note(id_, hint_, "SetBalloon").note;
                constexpr std::int16_t kSplitCircle = 7;
                if (style < 0 || style > 20) {
                    return false;
                }
                if ((style != 0 && style != kSplitCircle) && (size < 0 || size > 6)) {
                    return false;
                }
                state_->beforeChange(*state_->data.activeDoc, kUndoBalloon);
                if (style == 0 || style == kSplitCircle) {
                    // No balloon: the size means nothing then.
                    note.balloonStyle = 0;
                    note.balloonSize = 0;
                    return true;
                }
                note.balloonStyle = style;
                note.balloonSize = size;
                return true;
            },
            resultBool);
    }

    host::TextFormatRef gettextformat() override {
        return tracedCall(
            *state_, "Note", "gettextformat", {},
            [&] { return newFormat(state_, state_->note(id_, hint_, "gettextformat").note->format); },
            formatResult);
    }

    bool SetTextFormat(std::int16_t index, const host::TextFormatRef& format) override {
        return tracedCall(
            *state_, "Note", "SetTextFormat",
            {argI2(index), argDispatch(format != nullptr, "TextFormat")},
            [&] {
                NoteData& note = *state_->note(id_, hint_, "SetTextFormat").note;
                const TextFormatData next = ownFormat(*state_, format, "SetTextFormat");
                state_->beforeChange(*state_->data.activeDoc, kUndoTextFormat);
                note.format = next;
                return true;
            },
            resultBool);
    }

    host::AnnotationRef GetAnnotation() override {
        return tracedCall(
            *state_, "Note", "GetAnnotation", {},
            [&]() -> host::AnnotationRef {
                state_->note(id_, hint_, "GetAnnotation");
                return std::make_shared<SimAnnotation>(state_, SimAnnotation::Kind::note, id_,
                                                       hint_);
            },
            annotationResult);
    }

    host::NoteRef GetNext() override {
        return tracedCall(
            *state_, "Note", "GetNext", {},
            [&]() -> host::NoteRef {
                const auto& notes = state_->note(id_, hint_, "GetNext").view->notes;
                return madeAt<SimNote>(state_, notes, Hint{hint_.sheet, hint_.view, hint_.item + 1});
            },
            noteResult);
    }

    std::wstring GetText() override {
        return tracedCall(
            *state_, "Note", "GetText", {},
            [&] { return state_->note(id_, hint_, "GetText").note->text; }, resultBstr);
    }

    static std::string noteResult(const host::NoteRef& n) {
        return resultDispatch(n != nullptr, "Note");
    }

private:
    StatePtr state_;
    std::uint64_t id_;
    Hint hint_;
};

host::NoteRef SimView::GetFirstNote() {
    return tracedCall(
        *state_, "View", "GetFirstNote", {},
        [&]() -> host::NoteRef {
            const ViewData& view = *state_->view(id_, hint_, "GetFirstNote").second;
            return madeAt<SimNote>(state_, view.notes, Hint{hint_.sheet, hint_.view, 0});
        },
        SimNote::noteResult);
}

// ---- extension ------------------------------------------------------------------------------

class SimExtension final : public host::Extension {
public:
    SimExtension(StatePtr state, std::uint64_t docId) : state_(std::move(state)), docId_(docId) {}

    bool SelectByID(const std::wstring& name, const std::wstring& type, std::int16_t x,
                    std::int16_t y, std::int16_t z, bool append, std::int16_t mark,
                    host::EmptyRef /*callout*/) override {
        return tracedCall(
            *state_, "Extension", "SelectByID",
            {argBstr(name), argBstr(type), argI2(x), argI2(y), argI2(z), argBool(append),
             argI2(mark), argDispatch(false, "")},
            [&] {
                DocumentData& doc = state_->doc(docId_, "SelectByID");
                Selection& selection = state_->selection;
                const std::uint64_t found = type == L"NOTE" ? noteByQualifiedName(doc, name) : 0;
                if (!append) {
                    selection.clear();
                }
                if (found == 0) {
                    return false;
                }
                auto& objects = selection.objects;
                const auto at = std::find(objects.begin(), objects.end(), found);
                if (append && at != objects.end()) {
                    objects.erase(at); // appending what is already selected takes it out
                } else {
                    objects.push_back(found);
                }
                return true;
            },
            resultBool);
    }

private:
    // "name@owner", the owner being a sheet (its own view) or a drawing view; a note inside a
    // drawing view is not found by its sheet's name. 0 when none, or when the note is locked,
    // which the host will not select either.
    static std::uint64_t noteByQualifiedName(const DocumentData& doc, const std::wstring& name) {
        // Matched as a suffix, so that an owner's name may itself hold an "@".
        const auto noteNameFor = [&](const std::wstring& owner) -> std::optional<std::wstring> {
            const std::wstring suffix = L"@" + owner;
            if (name.size() <= suffix.size() ||
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
                return std::nullopt;
            }
            return name.substr(0, name.size() - suffix.size());
        };
        const auto inView = [](const ViewData& view, const std::wstring& noteName) -> std::uint64_t {
            for (const auto& note : view.notes) {
                if (note.name == noteName) {
                    return note.selectable ? note.id.value : 0;
                }
            }
            return 0;
        };
        for (const auto& sheet : doc.sheets) {
            if (const auto noteName = noteNameFor(sheet.name); noteName && !sheet.views.empty()) {
                return inView(sheet.views.front(), *noteName);
            }
        }
        for (const auto& sheet : doc.sheets) {
            for (std::size_t v = 1; v < sheet.views.size(); ++v) {
                if (const auto noteName = noteNameFor(sheet.views[v].name)) {
                    return inView(sheet.views[v], *noteName);
                }
            }
        }
        return 0;
    }

public:
    void StartRecordingUndoObject() override {
        tracedCall(
            *state_, "Extension", "StartRecordingUndoObject", {},
            [&] {
                state_->doc(docId_, "StartRecordingUndoObject");
                if (undoCalls() == UndoCalls::none) {
                    unknownName("StartRecordingUndoObject");
                }
                state_->recording = true; // a second start counts as the first
            },
            [] { return std::string(); });
    }

    bool FinishRecordingUndoObject2(const std::wstring& name, bool hidden) override {
        return tracedCall(
            *state_, "Extension", "FinishRecordingUndoObject2", {argBstr(name), argBool(hidden)},
            [&] {
                DocumentData& doc = state_->doc(docId_, "FinishRecordingUndoObject2");
                if (undoCalls() != UndoCalls::current) {
                    unknownName("FinishRecordingUndoObject2");
                }
                return state_->finishRecording(doc, name, hidden);
            },
            resultBool);
    }

    bool FinishRecordingUndoObject(const std::wstring& name) override {
        return tracedCall(
            *state_, "Extension", "FinishRecordingUndoObject", {argBstr(name)},
            [&] {
                DocumentData& doc = state_->doc(docId_, "FinishRecordingUndoObject");
                if (undoCalls() == UndoCalls::none) {
                    unknownName("FinishRecordingUndoObject");
                }
                return state_->finishRecording(doc, name, false);
            },
            resultBool);
    }

private:
    UndoCalls undoCalls() const { return state_->data.behaviour.undoCalls; }

    StatePtr state_;
    std::uint64_t docId_;
};

// ---- document -------------------------------------------------------------------------------

class SimDoc final : public host::Doc, public UndoCommand, public SheetNames {
public:
    SimDoc(StatePtr state, std::uint64_t id) : state_(std::move(state)), id_(id) {}

    std::int32_t GetType() override {
        return tracedCall(
            *state_, "Doc", "GetType", {}, [&] { return state_->doc(id_, "GetType").type; },
            resultI4);
    }

    host::ViewRef GetFirstView() override {
        return tracedCall(
            *state_, "Doc", "GetFirstView", {},
            [&]() -> host::ViewRef {
                const std::size_t s = currentSheetIndex("GetFirstView");
                const SheetData& sheet = state_->data.activeDoc->sheets[s];
                if (sheet.views.empty()) {
                    return nullptr;
                }
                return std::make_shared<SimView>(state_, sheet.views.front().id.value,
                                                 Hint{s, 0, 0});
            },
            SimView::viewResult);
    }

    host::SheetRef GetCurrentSheet() override {
        return tracedCall(
            *state_, "Doc", "GetCurrentSheet", {},
            [&]() -> host::SheetRef {
                const std::size_t s = currentSheetIndex("GetCurrentSheet");
                return std::make_shared<SimSheet>(
                    state_, state_->data.activeDoc->sheets[s].id.value, Hint{s, 0, 0});
            },
            [](const host::SheetRef& sh) { return resultDispatch(sh != nullptr, "Sheet"); });
    }

    std::wstring GetTitle() override {
        return tracedCall(
            *state_, "Doc", "GetTitle", {}, [&] { return state_->doc(id_, "GetTitle").title; }, resultBstr);
    }

    host::ExtensionRef Extension() override {
        return tracedCall(
            *state_, "Doc", "Extension", {},
            [&]() -> host::ExtensionRef {
                state_->doc(id_, "Extension");
                return std::make_shared<SimExtension>(state_, id_);
            },
            [](const host::ExtensionRef& e) { return resultDispatch(e != nullptr, "Extension"); });
    }

    bool SelectByID(const std::wstring& name, const std::wstring& type, double x, double y,
                    std::int16_t z) override {
        return tracedCall(
            *state_, "Doc", "SelectByID",
            {argBstr(name), argBstr(type), argR8(x), argR8(y), argI2(z)},
            [&] {
                DocumentData& doc = state_->doc(id_, "SelectByID");
                requireFinite(x, "SelectByID");
                requireFinite(y, "SelectByID");
                Selection& selection = state_->selection;
                selection.clear();
                if (type != L"SHEET") {
                    return false;
                }
                for (const auto& sheet : doc.sheets) {
                    if (sheet.name == name) {
                        selection.pick = SheetPick{sheet.id.value, x, y};
                        return true;
                    }
                }
                return false;
            },
            resultBool);
    }

    bool DeleteSelection(bool confirm) override {
        return tracedCall(
            *state_, "Doc", "DeleteSelection", {argBool(confirm)},
            [&] {
                DocumentData& doc = state_->doc(id_, "DeleteSelection");
                Selection& selection = state_->selection;
                const bool any = std::any_of(selection.objects.begin(), selection.objects.end(),
                                             [&](std::uint64_t id) { return holds(doc, id); });
                if (any) {
                    state_->beforeChange(doc, kUndoDelete);
                }
                bool deleted = false;
                for (const std::uint64_t id : selection.objects) {
                    deleted = eraseObject(doc, id) || deleted;
                }
                selection.clear();
                return deleted;
            },
            resultBool);
    }

    void ClearSelection2(bool all) override {
        tracedCall(
            *state_, "Doc", "ClearSelection2", {argBool(all)},
            [&] {
                state_->doc(id_, "ClearSelection2");
                state_->selection.clear();
            },
            [] { return std::string(); });
    }

    bool ActivateSheet(const std::wstring& name) override {
        return tracedCall(
            *state_, "Doc", "ActivateSheet", {argBstr(name)},
            [&] {
                DocumentData& doc = state_->doc(id_, "ActivateSheet");
                for (std::size_t s = 0; s < doc.sheets.size(); ++s) {
                    if (doc.sheets[s].name == name) {
                        if (doc.currentSheet != s) {
                            state_->selection.clear();
                            doc.currentSheet = s;
                        }
                        return true;
                    }
                }
                return false;
            },
            resultBool);
    }

    bool InsertSurfaceFinishSymbol2(const host::SurfaceFinishArgs& a) override {
        return tracedCall(
            *state_, "Doc", "InsertSurfaceFinishSymbol2",
            {argI4(a.symType), argI2(a.leaderType), argI2(a.locX), argI2(a.locY), argR8(a.locZ),
             argI2(a.laySymbol), argI2(a.arrowType), argBstr(a.machAllowance),
             argBstr(a.otherVals), argBstr(a.prodMethod), argBstr(a.sampleLen),
             argBstr(a.maxRoughness), argBstr(a.minRoughness), argBstr(a.roughnessSpacing)},
            [&] {
                DocumentData& doc = state_->doc(id_, "InsertSurfaceFinishSymbol2");
                const auto& pick = state_->selection.pick;
                if (state_->data.behaviour.refuseSymbolInsert || !pick) {
                    return false;
                }
                SheetData* sheet = state_->findSheet(pick->sheetId);
                if (sheet == nullptr || sheet->views.empty()) {
                    return false;
                }
                SymbolData symbol;
                symbol.symbolType = a.symType;
                const std::pair<std::int32_t, const std::wstring*> texts[] = {
                    {1, &a.machAllowance}, {2, &a.prodMethod},   {3, &a.sampleLen},
                    {4, &a.otherVals},     {5, &a.maxRoughness}, {6, &a.minRoughness},
                    {7, &a.roughnessSpacing}};
                for (const auto& [index, text] : texts) {
                    if (!text->empty()) {
                        symbol.texts[index] = *text;
                    }
                }
                symbol.name = automaticName(doc, kSymbolNamePrefix);
                symbol.format = doc.defaultFormat;
                symbol.x = pick->x;
                symbol.y = pick->y;
                symbol.id.value = state_->newId();
                state_->beforeChange(doc, kUndoInsert);
                sheet->views.front().symbols.push_back(std::move(symbol));
                return true;
            },
            resultBool);
    }

    host::NoteRef InsertNote(const std::wstring& text) override {
        return tracedCall(
            *state_, "Doc", "InsertNote", {argBstr(text)},
            [&]() -> host::NoteRef {
                DocumentData& doc = state_->doc(id_, "InsertNote");
                if (state_->data.behaviour.noteInsertReturnsEmpty) {
                    return nullptr;
                }
                const auto& pick = state_->selection.pick;
                SheetData* sheet = pick ? state_->findSheet(pick->sheetId) : nullptr;
                double x = pick ? pick->x : 0.0;
                double y = pick ? pick->y : 0.0;
                if (sheet == nullptr) {
                    // Without a picked point the host puts a free note at the sheet's origin.
                    sheet = &doc.sheets[currentSheetIndex("InsertNote")];
                    x = 0.0;
                    y = 0.0;
                }
                if (sheet->views.empty()) {
                    return nullptr;
                }
                NoteData note;
                note.text = text;
                note.name = automaticName(doc, kNoteNamePrefix);
                note.x = x;
                note.y = y;
                note.format = doc.defaultFormat;
                note.id.value = state_->newId();
                const std::uint64_t id = note.id.value;
                state_->beforeChange(doc, kUndoInsert);
                auto& notes = sheet->views.front().notes;
                notes.push_back(std::move(note));
                const auto s = static_cast<std::size_t>(sheet - doc.sheets.data());
                return std::make_shared<SimNote>(state_, id, Hint{s, 0, notes.size() - 1});
            },
            SimNote::noteResult);
    }

    std::vector<std::wstring> GetSheetNames() override {
        return tracedCall(
            *state_, "Doc", "GetSheetNames", {},
            [&] {
                std::vector<std::wstring> names;
                for (const SheetData& sheet : state_->doc(id_, "GetSheetNames").sheets) {
                    names.push_back(sheet.name);
                }
                return names;
            },
            [](const std::vector<std::wstring>& names) {
                return resultValue(host::HostArray(names.begin(), names.end()));
            });
    }

    void EditUndo2(std::int32_t steps) override {
        tracedCall(
            *state_, "Doc", "EditUndo2", {argI4(steps)},
            [&] { state_->undo(state_->doc(id_, "EditUndo2"), steps); },
            [] { return std::string(); });
    }

    void EditRebuild() override {
        tracedCall(
            *state_, "Doc", "EditRebuild", {},
            [&] {
                DocumentData& doc = state_->doc(id_, "EditRebuild");
                if (doc.rebuildCount < std::numeric_limits<std::int32_t>::max()) {
                    ++doc.rebuildCount;
                }
            },
            [] { return std::string(); });
    }

private:
    std::size_t currentSheetIndex(const char* operation) {
        const DocumentData& doc = state_->doc(id_, operation);
        if (doc.currentSheet >= doc.sheets.size()) {
            throw host::HostError(operation, "the drawing has no current sheet");
        }
        return doc.currentSheet;
    }

    static bool holds(const DocumentData& doc, std::uint64_t id) {
        const auto same = [id](const auto& a) { return a.id.value == id; };
        for (const auto& sheet : doc.sheets) {
            for (const auto& view : sheet.views) {
                if (std::any_of(view.symbols.begin(), view.symbols.end(), same) ||
                    std::any_of(view.notes.begin(), view.notes.end(), same)) {
                    return true;
                }
            }
        }
        return false;
    }

    static bool eraseObject(DocumentData& doc, std::uint64_t id) {
        for (auto& sheet : doc.sheets) {
            for (auto& view : sheet.views) {
                const auto symbol =
                    std::find_if(view.symbols.begin(), view.symbols.end(),
                                 [id](const SymbolData& s) { return s.id.value == id; });
                if (symbol != view.symbols.end()) {
                    view.symbols.erase(symbol);
                    return true;
                }
                const auto note = std::find_if(view.notes.begin(), view.notes.end(),
                                               [id](const NoteData& n) { return n.id.value == id; });
                if (note != view.notes.end()) {
                    view.notes.erase(note);
                    return true;
                }
            }
        }
        return false;
    }

    StatePtr state_;
    std::uint64_t id_;
};

// ---- application ----------------------------------------------------------------------------

class SimApp final : public host::App {
public:
    explicit SimApp(StatePtr state) : state_(std::move(state)) {}

    host::DocRef ActiveDoc() override {
        return tracedCall(
            *state_, "App", "ActiveDoc", {},
            [&]() -> host::DocRef {
                const auto& doc = state_->data.activeDoc;
                if (!doc) {
                    return nullptr;
                }
                return std::make_shared<SimDoc>(state_, doc->id.value);
            },
            [](const host::DocRef& d) { return resultDispatch(d != nullptr, "Doc"); });
    }

    bool GetUserPreferenceToggle(std::int32_t toggle) override {
        return tracedCall(
            *state_, "App", "GetUserPreferenceToggle", {argI4(toggle)},
            [&] {
                const auto& toggles = state_->data.toggles;
                const auto found = toggles.find(toggle);
                if (found != toggles.end()) {
                    return found->second;
                }
                return toggle == kViewActivationToggle;
            },
            resultBool);
    }

    void SetUserPreferenceToggle(std::int32_t toggle, bool on) override {
        tracedCall(
            *state_, "App", "SetUserPreferenceToggle", {argI4(toggle), argBool(on)},
            [&] { state_->data.toggles[toggle] = on; }, [] { return std::string(); });
    }

    void GetRunningCommandInfo(std::int32_t& commandId, std::wstring& pageTitle, bool& uiActive) override {
        // Traced as the three references arrive over the wire, with what the caller put in them.
        tracedCall(
            *state_, "App", "GetRunningCommandInfo",
            {{"I4|BYREF", std::to_string(commandId)},
             {"BSTR|BYREF", std::string(1, '"').append(traceText(pageTitle)).append(1, '"')},
             {"BOOL|BYREF", uiActive ? "true" : "false"}},
            [&] {
                const auto& command = state_->data.runningCommand;
                commandId = command ? command->id : 0;
                pageTitle = command ? command->pageTitle : std::wstring();
                uiActive = command.has_value();
            },
            [&] { return runningCommandTrace(commandId, pageTitle, uiActive); });
    }

private:
    StatePtr state_;
};

} // namespace

namespace {

constexpr std::int32_t kHighestSymbolKind = 9;

DocumentData& designersDocument(SimState& state) {
    if (!state.data.activeDoc || state.data.activeDoc->currentSheet >= state.data.activeDoc->sheets.size()) {
        throw DesignerEditError("no drawing is open");
    }
    if (state.recording) {
        throw DesignerEditError("an Undo recording is under way");
    }
    return *state.data.activeDoc;
}

std::string quoted(const std::wstring& text) {
    return "\"" + traceText(text) + "\"";
}

} // namespace

std::wstring addDesignerSymbol(SimState& state, const DesignerSymbol& wanted) {
    DocumentData& doc = designersDocument(state);
    SheetData& sheet = doc.sheets[doc.currentSheet];
    const auto view = std::find_if(sheet.views.begin(), sheet.views.end(),
                                   [&](const ViewData& v) { return v.name == wanted.view; });
    if (view == sheet.views.end()) {
        throw DesignerEditError("the sheet " + quoted(sheet.name) + " has no view " + quoted(wanted.view));
    }
    if (wanted.kind < 0 || wanted.kind > kHighestSymbolKind) {
        throw DesignerEditError("no symbol kind " + std::to_string(wanted.kind) + " (0 to 9)");
    }
    if (!std::isfinite(wanted.x) || !std::isfinite(wanted.y) || wanted.x < 0.0 || wanted.y < 0.0 ||
        wanted.x > sheet.width || wanted.y > sheet.height) {
        throw DesignerEditError("the point " + traceNumber(wanted.x * 1000.0) + ", " + traceNumber(wanted.y * 1000.0) +
                                " mm is not on the sheet " + quoted(sheet.name));
    }
    SymbolData symbol;
    symbol.symbolType = wanted.kind;
    if (!wanted.method.empty()) {
        symbol.texts[2] = wanted.method;
    }
    if (!wanted.roughness.empty()) {
        symbol.texts[5] = wanted.roughness;
    }
    symbol.name = automaticName(doc, kSymbolNamePrefix);
    symbol.format = doc.defaultFormat;
    symbol.x = wanted.x;
    symbol.y = wanted.y;
    symbol.id.value = state.newId();
    state.beforeChange(doc, kUndoInsert);
    view->symbols.push_back(symbol);
    return symbol.name;
}

void deleteByDesigner(SimState& state, const std::wstring& name) {
    DocumentData& doc = designersDocument(state);
    SheetData& sheet = doc.sheets[doc.currentSheet];
    std::vector<std::pair<ViewData*, std::uint64_t>> found;
    for (ViewData& view : sheet.views) {
        for (const auto& s : view.symbols) {
            if (s.name == name) {
                found.emplace_back(&view, s.id.value);
            }
        }
        for (const auto& n : view.notes) {
            if (n.name == name) {
                found.emplace_back(&view, n.id.value);
            }
        }
    }
    if (found.size() != 1) {
        throw DesignerEditError(std::string(found.empty() ? "no annotation named " : "more than one annotation named ") +
                                quoted(name) + " on the sheet " + quoted(sheet.name));
    }
    const auto [view, id] = found.front();
    state.beforeChange(doc, kUndoDelete);
    const auto same = [id](const auto& a) { return a.id.value == id; };
    std::erase_if(view->symbols, same);
    std::erase_if(view->notes, same);
    eraseFromSelection(state.selection, id);
}

host::AppRef makeApp(std::shared_ptr<SimState> state) {
    return std::make_shared<SimApp>(std::move(state));
}

} // namespace tvx::sim
