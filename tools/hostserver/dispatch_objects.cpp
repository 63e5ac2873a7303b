#include "tools/hostserver/dispatch_objects.h"

#include "drawing/sim/sim_host.h"
#include "drawing/sim/trace.h"
#include "tools/hostserver/addin_objects.h"
#include "tools/hostserver/app_events.h"
#include "tools/hostserver/doc_events.h"
#include "drawing/com/failure_text.h"
#include "tools/hostserver/table_object.h"

#include <olectl.h>

#include <new>
#include <stdexcept>
#include <vector>

namespace tvx::hostserver {

namespace {

// An array of texts as the host sends one: a SAFEARRAY of BSTR.
Answer textList(const std::vector<std::wstring>& texts) {
    com::UniqueSafeArray array =
        com::UniqueSafeArray::attach(SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(texts.size())));
    if (!array.get()) {
        throw std::bad_alloc();
    }
    Answer a;
    a.trace = "ARRAY[";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        LONG index = static_cast<LONG>(i);
        const com::UniqueBstr text(texts[i]);
        // The array keeps a copy of the string.
        const HRESULT hr = SafeArrayPutElement(array.get(), &index, text.get());
        if (FAILED(hr)) {
            throw std::runtime_error("array element not stored: " + com::describeHresult(hr));
        }
        a.trace += (i == 0 ? "BSTR \"" : ", BSTR \"") + com::toUtf8(texts[i]) + "\"";
    }
    a.trace += "]";
    a.value.get().vt = VT_ARRAY | VT_BSTR;
    a.value.get().parray = array.detach();
    return a;
}

// What the stand-in's objects can do beyond the host interface of the run (only the host probe
// and the Undo story ask for it); an object without it refuses the call.
template <class Capability, class Ref>
Capability& capability(const Ref& ref, const char* operation, const char* missing) {
    auto* able = dynamic_cast<Capability*>(ref.get());
    if (able == nullptr) {
        throw host::HostError(operation, missing);
    }
    return *able;
}

class DispTextFormat final : public TableObject<DispTextFormat, host::TextFormatRef> {
public:
    static constexpr const char* kKind = "TextFormat";

    DispTextFormat(std::shared_ptr<DispatchContext> context, host::TextFormatRef format)
        : TableObject(std::move(context), kKind, std::move(format)) {
        this->context().registerTextFormat(static_cast<IUnknown*>(this), ref());
    }
    ~DispTextFormat() override { context().forgetTextFormat(static_cast<IUnknown*>(this)); }

    static const std::vector<Member<DispTextFormat>>& table() {
        static const std::vector<Member<DispTextFormat>> t{
            {{L"TypeFaceName", kPut, {Param::Bstr}},
             [](DispTextFormat& s, const CallArgs& a) { s.ref()->setTypeFaceName(a.bstr(0)); return Answer::none(); }},
            {{L"CharHeight", kPut, {Param::R8}},
             [](DispTextFormat& s, const CallArgs& a) { s.ref()->setCharHeight(a.r8(0)); return Answer::none(); }},
            {{L"CharHeightInPts", kPut, {Param::I4}},
             [](DispTextFormat& s, const CallArgs& a) { s.ref()->setCharHeightInPts(a.i4(0)); return Answer::none(); }},
            {{L"Bold", kPut, {Param::Bool}},
             [](DispTextFormat& s, const CallArgs& a) { s.ref()->setBold(a.boolean(0)); return Answer::none(); }},
        };
        return t;
    }
};

class DispAnnotation final : public TableObject<DispAnnotation, host::AnnotationRef> {
public:
    static constexpr const char* kKind = "Annotation";

    DispAnnotation(std::shared_ptr<DispatchContext> context, host::AnnotationRef annotation)
        : TableObject(std::move(context), kKind, std::move(annotation)) {}

    static const std::vector<Member<DispAnnotation>>& table() {
        static const std::vector<Member<DispAnnotation>> t{
            {{L"GetName", kMethod, {}},
             [](DispAnnotation& s, const CallArgs&) { return Answer::text(s.ref()->GetName()); }},
            {{L"SetName", kMethod, {Param::Bstr}},
             [](DispAnnotation& s, const CallArgs& a) { return Answer::boolean(s.ref()->SetName(a.bstr(0))); }},
            {{L"Select2", kMethod, {Param::Bool, Param::I2}},
             [](DispAnnotation& s, const CallArgs& a) {
                 const bool append = a.boolean(0) || s.context().findings().select2KeepsSelection;
                 return Answer::boolean(s.ref()->Select2(append, a.i2(1)));
             }},
            {{L"gettextformat", kMethod, {Param::I2}},
             [](DispAnnotation& s, const CallArgs& a) {
                 return s.answer<DispTextFormat>(s.ref()->gettextformat(a.i2(0)));
             }},
            {{L"SetTextFormat", kMethod, {Param::I2, Param::Bool, Param::TextFormat}},
             [](DispAnnotation& s, const CallArgs& a) {
                 return Answer::boolean(s.ref()->SetTextFormat(a.i2(0), a.boolean(1), a.textFormat(2)));
             }},
        };
        return t;
    }
};

class DispSFSymbol final : public TableObject<DispSFSymbol, host::SFSymbolRef> {
public:
    static constexpr const char* kKind = "SFSymbol";

    DispSFSymbol(std::shared_ptr<DispatchContext> context, host::SFSymbolRef symbol)
        : TableObject(std::move(context), kKind, std::move(symbol)) {}

    static const std::vector<Member<DispSFSymbol>>& table() {
        static const std::vector<Member<DispSFSymbol>> t{
            {{L"GetNext", kMethod, {}},
             [](DispSFSymbol& s, const CallArgs&) { return s.answer<DispSFSymbol>(s.ref()->GetNext()); }},
            {{L"GetSymbolType", kMethod, {}},
             [](DispSFSymbol& s, const CallArgs&) { return Answer::int32(s.ref()->GetSymbolType()); }},
            {{L"GetText", kMethod, {Param::I4}},
             [](DispSFSymbol& s, const CallArgs& a) { return Answer::text(s.ref()->GetText(a.i4(0))); }},
            {{L"GetAnnotation", kMethod, {}},
             [](DispSFSymbol& s, const CallArgs&) { return s.answer<DispAnnotation>(s.ref()->GetAnnotation()); }},
        };
        return t;
    }
};

class DispNote final : public TableObject<DispNote, host::NoteRef> {
public:
    static constexpr const char* kKind = "Note";

    DispNote(std::shared_ptr<DispatchContext> context, host::NoteRef note)
        : TableObject(std::move(context), kKind, std::move(note)) {}

    // Only the host probe reads a note's text.
    static sim::NoteReading& reading(DispNote& s, const char* operation) {
        return capability<sim::NoteReading>(s.ref(), operation, "this note cannot be read");
    }

    static const std::vector<Member<DispNote>>& table() {
        static const std::vector<Member<DispNote>> t{
            {{L"angle", kPut, {Param::I2}},
             [](DispNote& s, const CallArgs& a) { s.ref()->setAngle(a.i2(0)); return Answer::none(); }},
            {{L"SetBalloon", kMethod, {Param::I2, Param::I2}},
             [](DispNote& s, const CallArgs& a) { return Answer::boolean(s.ref()->SetBalloon(a.i2(0), a.i2(1))); }},
            {{L"gettextformat", kMethod, {}},
             [](DispNote& s, const CallArgs&) { return s.answer<DispTextFormat>(s.ref()->gettextformat()); }},
            {{L"SetTextFormat", kMethod, {Param::I2, Param::TextFormat}},
             [](DispNote& s, const CallArgs& a) {
                 return Answer::boolean(s.ref()->SetTextFormat(a.i2(0), a.textFormat(1)));
             }},
            {{L"GetAnnotation", kMethod, {}},
             [](DispNote& s, const CallArgs&) { return s.answer<DispAnnotation>(s.ref()->GetAnnotation()); }},
            {{L"GetNext", kMethod, {}},
             [](DispNote& s, const CallArgs&) { return s.answer<DispNote>(s.ref()->GetNext()); }},
            {{L"GetText", kMethod, {}},
             [](DispNote& s, const CallArgs&) { return Answer::text(reading(s, "GetText").GetText()); }},
        };
        return t;
    }
};

// A note of the sheet format, as a played host lists it in the sheet's own view before the
// drawing's own notes: it can be read and its annotation asked; it is no part of the drawing, so
// nothing of it is saved, and the stand-in's selection does not hold it.
struct FormatNote {
    std::size_t index = 0;
    host::NoteRef drawingsFirst; // the note after the last of the sheet format's
};

// Clients keep the member IDs of a kind, as a real host's interfaces fix them: these tables list
// the members of Annotation and Note in the same order. What would change the sheet format is
// refused with False (the angle, a property, with an error).
class DispFormatAnnotation final : public TableObject<DispFormatAnnotation, std::size_t> {
public:
    static constexpr const char* kKind = "Annotation";

    DispFormatAnnotation(std::shared_ptr<DispatchContext> context, std::size_t index)
        : TableObject(std::move(context), kKind, index) {}

    static const std::vector<Member<DispFormatAnnotation>>& table() {
        static const std::vector<Member<DispFormatAnnotation>> t{
            {{L"GetName", kMethod, {}},
             [](DispFormatAnnotation& s, const CallArgs&) {
                 return Answer::text(L"Blattformat-Notiz" + std::to_wstring(s.ref() + 1));
             }},
            {{L"SetName", kMethod, {Param::Bstr}}, [](DispFormatAnnotation&, const CallArgs&) { return Answer::boolean(false); }},
            {{L"Select2", kMethod, {Param::Bool, Param::I2}},
             [](DispFormatAnnotation& s, const CallArgs&) {
                 const std::string& answer = s.context().findings().sheetFormatNoteSelect;
                 if (answer != "true" && answer != "false") {
                     throw host::HostError("Select2", answer);
                 }
                 return Answer::boolean(answer == "true");
             }},
            {{L"gettextformat", kMethod, {Param::I2}},
             [](DispFormatAnnotation& s, const CallArgs&) {
                 return Answer::object(nullptr, DispTextFormat::kKind, s.context().emptyForm());
             }},
            {{L"SetTextFormat", kMethod, {Param::I2, Param::Bool, Param::TextFormat}},
             [](DispFormatAnnotation&, const CallArgs&) { return Answer::boolean(false); }},
        };
        return t;
    }
};

class DispFormatNote final : public TableObject<DispFormatNote, FormatNote> {
public:
    static constexpr const char* kKind = "Note";

    DispFormatNote(std::shared_ptr<DispatchContext> context, FormatNote note)
        : TableObject(std::move(context), kKind, std::move(note)) {}

    static const std::vector<Member<DispFormatNote>>& table() {
        static const std::vector<Member<DispFormatNote>> t{
            {{L"angle", kPut, {Param::I2}},
             [](DispFormatNote&, const CallArgs&) -> Answer {
                 throw host::HostError("angle", "a note of the sheet format is not changed here");
             }},
            {{L"SetBalloon", kMethod, {Param::I2, Param::I2}},
             [](DispFormatNote&, const CallArgs&) { return Answer::boolean(false); }},
            {{L"gettextformat", kMethod, {}},
             [](DispFormatNote& s, const CallArgs&) {
                 return Answer::object(nullptr, DispTextFormat::kKind, s.context().emptyForm());
             }},
            {{L"SetTextFormat", kMethod, {Param::I2, Param::TextFormat}},
             [](DispFormatNote&, const CallArgs&) { return Answer::boolean(false); }},
            {{L"GetAnnotation", kMethod, {}},
             [](DispFormatNote& s, const CallArgs&) {
                 return Answer::dispatch(makeDispatch<DispFormatAnnotation>(s.sharedContext(), s.ref().index),
                                         DispFormatAnnotation::kKind);
             }},
            {{L"GetNext", kMethod, {}},
             [](DispFormatNote& s, const CallArgs&) {
                 if (s.ref().index + 1 < s.context().findings().sheetFormatNotes.size()) {
                     return Answer::dispatch(
                         makeDispatch<DispFormatNote>(s.sharedContext(), FormatNote{s.ref().index + 1, s.ref().drawingsFirst}),
                         kKind);
                 }
                 return s.answer<DispNote>(s.ref().drawingsFirst);
             }},
            {{L"GetText", kMethod, {}},
             [](DispFormatNote& s, const CallArgs&) {
                 return Answer::text(s.context().findings().sheetFormatNotes.at(s.ref().index));
             }},
        };
        return t;
    }
};

class DispView final : public TableObject<DispView, host::ViewRef> {
public:
    static constexpr const char* kKind = "View";

    // The sheet's own view lists the sheet format's notes first, when a played host did.
    DispView(std::shared_ptr<DispatchContext> context, host::ViewRef view, bool sheetsOwn = false)
        : TableObject(std::move(context), kKind, std::move(view)), sheetsOwn_(sheetsOwn) {}

    static const std::vector<Member<DispView>>& table() {
        static const std::vector<Member<DispView>> t{
            {{L"GetFirstSFSymbol", kMethod, {}},
             [](DispView& s, const CallArgs&) { return s.answer<DispSFSymbol>(s.ref()->GetFirstSFSymbol()); }},
            {{L"GetNextView", kMethod, {}},
             [](DispView& s, const CallArgs&) { return s.answer<DispView>(s.ref()->GetNextView()); }},
            {{L"GetFirstNote", kMethod, {}},
             [](DispView& s, const CallArgs&) {
                 if (s.sheetsOwn_ && !s.context().findings().sheetFormatNotes.empty()) {
                     return Answer::dispatch(
                         makeDispatch<DispFormatNote>(s.sharedContext(), FormatNote{0, s.ref()->GetFirstNote()}),
                         DispFormatNote::kKind);
                 }
                 return s.answer<DispNote>(s.ref()->GetFirstNote());
             }},
        };
        return t;
    }

private:
    bool sheetsOwn_;
};

class DispSheet final : public TableObject<DispSheet, host::SheetRef> {
public:
    static constexpr const char* kKind = "Sheet";

    DispSheet(std::shared_ptr<DispatchContext> context, host::SheetRef sheet)
        : TableObject(std::move(context), kKind, std::move(sheet)) {}

    static const std::vector<Member<DispSheet>>& table() {
        static const std::vector<Member<DispSheet>> t{
            {{L"GetName", kMethod, {}}, [](DispSheet& s, const CallArgs&) { return Answer::text(s.ref()->GetName()); }},
            {{L"GetProperties", kMethod, {}},
             [](DispSheet& s, const CallArgs&) { return Answer::hostValue(s.ref()->GetProperties()); }},
        };
        return t;
    }
};

class DispExtension final : public TableObject<DispExtension, host::ExtensionRef> {
public:
    static constexpr const char* kKind = "Extension";

    DispExtension(std::shared_ptr<DispatchContext> context, host::ExtensionRef extension)
        : TableObject(std::move(context), kKind, std::move(extension)) {}

    static const std::vector<Member<DispExtension>>& table() {
        static const std::vector<Member<DispExtension>> t{
            {{L"SelectByID", kMethod,
              {Param::Bstr, Param::Bstr, Param::Coordinate, Param::Coordinate, Param::Coordinate, Param::Bool, Param::I2,
               Param::EmptyRef}},
             [](DispExtension& s, const CallArgs& a) {
                 return Answer::boolean(s.ref()->SelectByID(a.bstr(0), a.bstr(1), a.coordinate(2), a.coordinate(3),
                                                            a.coordinate(4), a.boolean(5), a.i2(6), host::EmptyRef{}));
             }},
            {{L"StartRecordingUndoObject", kMethod, {}},
             [](DispExtension& s, const CallArgs&) {
                 s.ref()->StartRecordingUndoObject();
                 return Answer::none();
             }},
            {{L"FinishRecordingUndoObject2", kMethod, {Param::Bstr, Param::Bool}},
             [](DispExtension& s, const CallArgs& a) {
                 return Answer::boolean(s.ref()->FinishRecordingUndoObject2(a.bstr(0), a.boolean(1)));
             }},
            {{L"FinishRecordingUndoObject", kMethod, {Param::Bstr}},
             [](DispExtension& s, const CallArgs& a) {
                 return Answer::boolean(s.ref()->FinishRecordingUndoObject(a.bstr(0)));
             }},
        };
        return t;
    }
};

// The document's selection manager: how many items are selected (the picked sheet point one of
// them). Every selection of the stand-in is unmarked, as Tarvenix's are.
class DispSelectionMgr final : public TableObject<DispSelectionMgr, int> {
public:
    static constexpr const char* kKind = "SelectionMgr";

    explicit DispSelectionMgr(std::shared_ptr<DispatchContext> context) : TableObject(std::move(context), kKind, 0) {}

    static const std::vector<Member<DispSelectionMgr>>& table() {
        static const std::vector<Member<DispSelectionMgr>> t{
            {{L"GetSelectedObjectCount2", kMethod, {Param::I4}},
             [](DispSelectionMgr& s, const CallArgs& a) {
                 const auto& count = s.context().selectionCount();
                 if (!count) {
                     throw host::HostError("GetSelectedObjectCount2", "this host cannot count its selection");
                 }
                 const std::int32_t mark = a.i4(0);
                 return Answer::int32(mark == -1 || mark == 0 ? count() : 0);
             }},
        };
        return t;
    }
};

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class DispDoc final : public EventContainer<TableObject<DispDoc, host::DocRef>, DispDoc> {
public:
    static constexpr const char* kKind = "Doc";

    DispDoc(std::shared_ptr<DispatchContext> context, host::DocRef doc)
        : EventContainer(std::move(context), kKind, std::move(doc)) {}

    std::shared_ptr<EventSinks> eventSinks() const {
        return context().docEvents() ? context().docEvents()->sinks() : nullptr;
    }

    static host::SurfaceFinishArgs surfaceFinishArgs(const CallArgs& a) {
        host::SurfaceFinishArgs f;
        f.symType = a.i4(0);
        f.leaderType = a.i2(1);
        f.locX = a.i2(2);
        f.locY = a.i2(3);
        f.locZ = a.r8(4);
        f.laySymbol = a.i2(5);
        f.arrowType = a.i2(6);
        f.machAllowance = a.bstr(7);
        f.otherVals = a.bstr(8);
        f.prodMethod = a.bstr(9);
        f.sampleLen = a.bstr(10);
        f.maxRoughness = a.bstr(11);
        f.minRoughness = a.bstr(12);
        f.roughnessSpacing = a.bstr(13);
        return f;
    }

    static const std::vector<Member<DispDoc>>& table() {
        static const std::vector<Member<DispDoc>> t{
            {{L"GetType", kMethod, {}}, [](DispDoc& s, const CallArgs&) { return Answer::int32(s.ref()->GetType()); }},
            {{L"GetFirstView", kMethod, {}},
             [](DispDoc& s, const CallArgs&) {
                 host::ViewRef view = s.ref()->GetFirstView();
                 if (!view) {
                     return s.answer<DispView>(view);
                 }
                 return Answer::object(makeDispatch<DispView>(s.sharedContext(), std::move(view), true), DispView::kKind,
                                       s.context().emptyForm());
             }},
            {{L"GetCurrentSheet", kMethod, {}},
             [](DispDoc& s, const CallArgs&) { return s.answer<DispSheet>(s.ref()->GetCurrentSheet()); }},
            {{L"GetTitle", kMethod, {}}, [](DispDoc& s, const CallArgs&) { return Answer::text(s.ref()->GetTitle()); }},
            {{L"Extension", kGet, {}},
             [](DispDoc& s, const CallArgs&) { return s.answer<DispExtension>(s.ref()->Extension()); }},
            {{L"SelectByID", kMethod, {Param::Bstr, Param::Bstr, Param::R8, Param::R8, Param::I2}},
             [](DispDoc& s, const CallArgs& a) {
                 return Answer::boolean(s.ref()->SelectByID(a.bstr(0), a.bstr(1), a.r8(2), a.r8(3), a.i2(4)));
             }},
            {{L"DeleteSelection", kMethod, {Param::Bool}},
             [](DispDoc& s, const CallArgs& a) {
                 // A host that asks first, when there is anything to delete, deletes nothing when
                 // its user says no.
                 const DispatchContext& c = s.context();
                 const bool any = c.selectionCount() && c.selectionCount()() > 0;
                 if (a.boolean(0) && c.findings().confirmDeletion && any && c.confirmDeletion() &&
                     !c.confirmDeletion()()) {
                     return Answer::boolean(false);
                 }
                 return Answer::boolean(s.ref()->DeleteSelection(a.boolean(0)));
             }},
            // Only the host probe asks it, for how many items Select2 left selected.
            {{L"SelectionManager", kGet, {}},
             [](DispDoc& s, const CallArgs&) {
                 return Answer::dispatch(makeDispatch<DispSelectionMgr>(s.sharedContext()), DispSelectionMgr::kKind);
             }},
            // A Sub: it answers nothing.
            {{L"ClearSelection2", kMethod, {Param::Bool}},
             [](DispDoc& s, const CallArgs& a) { s.ref()->ClearSelection2(a.boolean(0)); return Answer::none(); }},
            {{L"GetSheetNames", kMethod, {}},
             [](DispDoc& s, const CallArgs&) {
                 return textList(capability<sim::SheetNames>(s.ref(), "GetSheetNames",
                                                            "this document's sheets cannot be listed")
                                     .GetSheetNames());
             }},
            {{L"ActivateSheet", kMethod, {Param::Bstr}},
             [](DispDoc& s, const CallArgs& a) { return Answer::boolean(s.ref()->ActivateSheet(a.bstr(0))); }},
            {{L"InsertSurfaceFinishSymbol2", kMethod,
              {Param::I4, Param::I2, Param::I2, Param::I2, Param::R8, Param::I2, Param::I2, Param::Bstr, Param::Bstr,
               Param::Bstr, Param::Bstr, Param::Bstr, Param::Bstr, Param::Bstr}},
             [](DispDoc& s, const CallArgs& a) {
                 return Answer::boolean(s.ref()->InsertSurfaceFinishSymbol2(surfaceFinishArgs(a)));
             }},
            {{L"InsertNote", kMethod, {Param::Bstr}},
             [](DispDoc& s, const CallArgs& a) { return s.answer<DispNote>(s.ref()->InsertNote(a.bstr(0))); }},
            {{L"EditRebuild", kMethod, {}},
             [](DispDoc& s, const CallArgs&) { s.ref()->EditRebuild(); return Answer::none(); }},
            // Only the host probe saves, with its --save-test: as the frame's "Datei > Speichern".
            // Errors answers swGenericSaveError (1) for a save that failed; warnings stay 0.
            {{L"Save3", kMethod, {Param::I4, Param::I4Out, Param::I4Out}},
             [](DispDoc& s, const CallArgs& a) {
                 if (!s.context().documentSave()) {
                     throw host::HostError("Save3", "this host does not save");
                 }
                 const bool saved = s.context().documentSave()();
                 a.setI4Out(1, saved ? 0 : 1);
                 a.setI4Out(2, 0);
                 return Answer::boolean(saved);
             }},
            // A Sub: it answers nothing.
            {{L"EditUndo2", kMethod, {Param::I4}},
             [](DispDoc& s, const CallArgs& a) {
                 capability<sim::UndoCommand>(s.ref(), "EditUndo2", "this document has no Undo list").EditUndo2(a.i4(0));
                 return Answer::none();
             }},
        };
        return t;
    }
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class DispApp final : public EventContainer<TableObject<DispApp, host::AppRef>, DispApp> {
public:
    static constexpr const char* kKind = "App";

    DispApp(std::shared_ptr<DispatchContext> context, host::AppRef app)
        : EventContainer(std::move(context), kKind, std::move(app)) {}

    std::shared_ptr<EventSinks> eventSinks() const {
        return context().appEvents() ? context().appEvents()->sinks() : nullptr;
    }

    static const std::vector<Member<DispApp>>& table() {
        static const std::vector<Member<DispApp>> t{
            {{L"ActiveDoc", kGet, {}},
             [](DispApp& s, const CallArgs&) { return s.answer<DispDoc>(s.ref()->ActiveDoc()); }},
            {{L"GetUserPreferenceToggle", kMethod, {Param::I4}},
             [](DispApp& s, const CallArgs& a) { return Answer::boolean(s.ref()->GetUserPreferenceToggle(a.i4(0))); }},
            // The host's revision, for the programs' support logs and the add-in's oldest host.
            {{L"RevisionNumber", kMethod, {}},
             [](DispApp& s, const CallArgs&) { return Answer::text(s.context().revisionText()); }},
            {{L"SetUserPreferenceToggle", kMethod, {Param::I4, Param::Bool}},
             [](DispApp& s, const CallArgs& a) {
                 s.ref()->SetUserPreferenceToggle(a.i4(0), a.boolean(1));
                 return Answer::none();
             }},
            // The add-in interface: how an add-in puts its commands into the host.
            {{L"SetAddinCallbackInfo2", kMethod, {Param::I8, Param::Object, Param::I4}},
             [](DispApp& s, const CallArgs& a) {
                 return Answer::boolean(addinHostOf(s.context()).setCallbackInfo(a.i8(0), a.object(1), a.i4(2)));
             }},
            {{L"AddMenuItem5", kMethod,
              {Param::I4, Param::I4, Param::Bstr, Param::I4, Param::Bstr, Param::Bstr, Param::Bstr, Param::ImageList}},
             [](DispApp& s, const CallArgs& a) {
                 a.bstrs(7); // a list that cannot be read is refused, as the strict types are
                 return Answer::int32(addinHostOf(s.context()).addMenuItem(a.i4(0), a.i4(1), a.bstr(2), a.i4(3),
                                                                           a.bstr(4), a.bstr(5), a.bstr(6)));
             }},
            {{L"RemoveMenu", kMethod, {Param::I4, Param::Bstr, Param::Bstr}},
             [](DispApp& s, const CallArgs& a) {
                 return Answer::boolean(addinHostOf(s.context()).removeMenu(a.i4(0), a.bstr(1), a.bstr(2)));
             }},
            {{L"GetCommandManager", kMethod, {Param::I4}},
             [](DispApp& s, const CallArgs& a) { return commandManagerFor(s.sharedContext(), a.i4(0)); }},
            {{L"Frame", kMethod, {}}, [](DispApp& s, const CallArgs&) { return frameOf(s.sharedContext()); }},
            {{L"GetLocalizedMenuName", kMethod, {Param::I4}},
             [](DispApp&, const CallArgs& a) { return Answer::text(localizedMenuName(a.i4(0))); }},
            {{L"LoadAddIn", kMethod, {Param::Bstr}},
             [](DispApp& s, const CallArgs& a) {
                 return Answer::int32(addinHostOf(s.context()).loadByPath(a.bstr(0)));
             }},
            {{L"UnloadAddIn", kMethod, {Param::Bstr}},
             [](DispApp& s, const CallArgs& a) {
                 return Answer::int32(addinHostOf(s.context()).unloadByPath(a.bstr(0)));
             }},
            // A Sub answering through its three references.
            {{L"GetRunningCommandInfo", kMethod, {Param::I4Out, Param::BstrOut, Param::BoolOut}},
             [](DispApp& s, const CallArgs& a) {
                 std::int32_t id = 0;
                 std::wstring title;
                 bool active = false;
                 s.ref()->GetRunningCommandInfo(id, title, active);
                 a.setI4Out(0, id);
                 a.setBstrOut(1, title);
                 a.setBoolOut(2, active);
                 Answer answer = Answer::none();
                 answer.trace = sim::runningCommandTrace(id, title, active);
                 return answer;
             }},
        };
        return t;
    }
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

} // namespace

ComPtr<IDispatch> makeAppDispatch(std::shared_ptr<DispatchContext> context, host::AppRef app) {
    auto object = std::make_unique<DispApp>(std::move(context), std::move(app));
    return ComPtr<IDispatch>::attach(static_cast<TableObject<DispApp, host::AppRef>*>(object.release()));
}

} // namespace tvx::hostserver
