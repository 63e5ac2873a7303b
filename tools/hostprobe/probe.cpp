#include "tools/hostprobe/probe.h"

#include "drawing/com/com_host.h"
#include "tools/hostprobe/document_events.h"
#include "drawing/com/dispatch_client.h"
#include "drawing/com/failure_text.h"
#include "drawing/com/result_convert.h"
#include "drawing/messages.h"
#include "tools/hostprobe/idle_question.h"
#include "tools/hostprobe/window_watch.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <variant>

namespace tvx::hostprobe {

using com::ComPtr;
using com::DispatchObject;
using com::UniqueVariant;
using hostprofile::CallRecord;
using hostprofile::HostProfile;

ProbeRefused::ProbeRefused(const std::wstring& message)
    : std::runtime_error(com::toUtf8(message)), message_(message) {}

namespace {

constexpr std::int32_t kDrawingType = 3;
constexpr std::int32_t kViewActivationToggle = 24;
constexpr std::int32_t kMaxRoughnessText = 5;
constexpr std::int32_t kMethodText = 2;
const std::wstring kSymbolName = L"TvxProbe_Symbol";
const std::wstring kNoteName = L"TvxProbe_Notiz";
const std::wstring kNoteText = L"TvxProbe";
const std::wstring kUndoStepName = L"TvxProbe";
// The Tools menu, as the host numbers its menus.
constexpr std::int32_t kToolsMenu = 4;
// How the administrator finds what the probe could not take out again.
const std::wstring kSymbolLeft = L"Oberflächensymbol mit Methode \u201ETvxProbe\u201C";
const std::wstring kNoteLeft = L"Notiz \u201ETvxProbe\u201C";

// An annotation as reading finds it: where it is, its name, kind and texts.
struct SeenItem {
    std::wstring sheet;
    std::size_t view = 0;
    bool note = false;
    std::wstring name;
    std::string line; // how the comparison shows it
    std::string text; // a note's
};

std::string placeOf(const std::wstring& sheet, std::size_t view, const char* item, std::size_t index) {
    return "Blatt \"" + com::toUtf8(sheet) + "\", Ansicht " + std::to_string(view + 1) + ", " + item + " " +
           std::to_string(index + 1) + ": ";
}

class Prober {
public:
    Prober(ComPtr<IDispatch> app, std::shared_ptr<com::HostLine> line, const ProbeOptions& options)
        : line_(std::move(line)), options_(options), app_(std::move(app), ids("App"), line_) {
        for (const auto* table : {&hostprofile::readingCalls(), &hostprofile::writingCalls()}) {
            for (const hostprofile::ProbedCall& call : *table) {
                profile_.calls.push_back(hostprofile::recordFor(call));
            }
        }
    }

    HostProfile run() {
        readHost();
        const std::vector<SeenItem> before = readDrawing();
        noteSheetViewNotes(before);
        askRunningCommand();
        profile_.idle = askIdleSubscription(app_.raw(), *line_, std::chrono::seconds(1));
        // Before any writing: a test save stores the drawing as the probe found it.
        if (doc_) {
            profile_.documentEvents = probeDocumentEvents(*doc_, options_.saveTest);
        }
        if (options_.write) {
            profile_.wrote = true;
            if (!otherSheets_.empty() && !backOnStartSheet_) {
                profile_.writeError = "Blatt \"" + com::toUtf8(sheetName_) + "\" nicht wieder aktiviert: nichts geschrieben";
            } else {
                writeAndTakeBack(before);
                compare(before, readDrawing());
            }
        }
        finishTimes();
        // Calls --write did not make stay out of the file rather than show as "not called".
        if (!options_.write) {
            profile_.calls.resize(hostprofile::readingCalls().size());
        }
        return std::move(profile_);
    }

private:
    std::shared_ptr<com::MemberIds> ids(const std::string& kind) {
        auto& known = ids_[kind];
        if (!known) {
            known = std::make_shared<com::MemberIds>();
        }
        return known;
    }
    DispatchObject object(ComPtr<IDispatch> raw, const std::string& kind) {
        return DispatchObject(std::move(raw), ids(kind), line_);
    }

    CallRecord& record(const std::string& label) {
        for (CallRecord& r : profile_.calls) {
            if (r.label == label) {
                return r;
            }
        }
        throw std::logic_error("no record for " + label);
    }

    // One call, timed, its answer recorded as it came. A refused call is recorded and gives
    // nothing; a host that takes no more calls ends the probe.
    template <class... A>
    std::optional<UniqueVariant> ask(const std::string& label, DispatchObject& target, const char* operation,
                                     bool property, const A&... args) {
        return timed(label, [&] { return property ? target.get(operation) : target.call(operation, args...); });
    }
    template <class F>
    std::optional<UniqueVariant> timed(const std::string& label, F asking) {
        CallRecord& r = record(label);
        const auto start = std::chrono::steady_clock::now();
        try {
            UniqueVariant answer = asking();
            times_[label].push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            observe(r, answer.get());
            return answer;
        } catch (const host::HostError& e) {
            ++r.count;
            if (e.stopsRun() || e.unreachable()) {
                throw;
            }
            if (r.failure.empty()) {
                r.failure = e.code() != 0 ? com::describeHresult(static_cast<HRESULT>(e.code())) : e.what();
            }
            return std::nullopt;
        }
    }
    template <class... A>
    std::optional<UniqueVariant> call(const std::string& label, DispatchObject& target, const char* operation,
                                      const A&... args) {
        return ask(label, target, operation, false, args...);
    }
    // The calls on the application, document and sheet are made once each otherwise: repeated
    // for their median; the first answer is the one used.
    template <class... A>
    std::optional<UniqueVariant> repeated(const std::string& label, DispatchObject& target, const char* operation,
                                          bool property, const A&... args) {
        std::optional<UniqueVariant> first = ask(label, target, operation, property, args...);
        for (unsigned i = 1; i < options_.repeats && first; ++i) {
            ask(label, target, operation, property, args...);
        }
        return first;
    }

    static void observe(CallRecord& r, const VARIANT& v) {
        const bool nothing = v.vt == VT_EMPTY || v.vt == VT_NULL ||
                             ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal == nullptr);
        if (r.kind == hostprofile::AnswerKind::Object && nothing) {
            if (r.nothing.empty()) {
                r.nothing = v.vt == VT_EMPTY ? "VT_EMPTY" : v.vt == VT_NULL ? "VT_NULL" : com::vartypeName(v.vt) + " null";
            }
            return;
        }
        if (r.kind == hostprofile::AnswerKind::Text && (v.vt == VT_EMPTY || (v.vt == VT_BSTR && SysStringLen(v.bstrVal) == 0))) {
            if (r.emptyText.empty()) {
                r.emptyText = v.vt == VT_EMPTY ? "VT_EMPTY" : v.bstrVal == nullptr ? "VT_BSTR null" : "VT_BSTR";
            }
            return;
        }
        if (!r.answer.empty()) {
            return;
        }
        r.answer = com::vartypeName(v.vt);
        if ((v.vt & VT_ARRAY) != 0 && (v.vt & VT_BYREF) == 0 && v.parray != nullptr && SafeArrayGetDim(v.parray) == 1) {
            LONG lower = 0;
            LONG upper = -1;
            if (SUCCEEDED(SafeArrayGetLBound(v.parray, 1, &lower)) && SUCCEEDED(SafeArrayGetUBound(v.parray, 1, &upper))) {
                r.lower = lower;
                r.upper = upper;
            }
            if ((v.vt & VT_TYPEMASK) == VT_VARIANT) {
                r.wholeElements = wholeElementType(v.parray, lower, upper);
            }
        }
    }

    // The type of the first element holding a whole number: how the host sends integers inside.
    static std::string wholeElementType(SAFEARRAY* array, LONG lower, LONG upper) {
        for (LONG i = lower; i <= upper; ++i) {
            UniqueVariant element;
            if (FAILED(SafeArrayGetElement(array, &i, element.addressOf()))) {
                return {};
            }
            const VARIANT& e = element.get();
            const bool whole = e.vt == VT_I2 || e.vt == VT_I4 || e.vt == VT_BSTR ||
                               (e.vt == VT_R8 && e.dblVal == static_cast<double>(static_cast<long long>(e.dblVal)) &&
                                e.dblVal > -1e15 && e.dblVal < 1e15);
            if (whole) {
                return com::vartypeName(e.vt);
            }
        }
        return {};
    }

    // The answers the probe goes on with. One the program could not take is recorded already;
    // the probe then goes no further along that way.
    static ComPtr<IDispatch> objectOf(const std::optional<UniqueVariant>& answer, const char* operation) {
        return taken(answer, [&](const VARIANT& v) { return com::takeObject(operation, v); }).value_or(nullptr);
    }
    static std::optional<std::wstring> textOf(const std::optional<UniqueVariant>& answer) {
        return taken(answer, [](const VARIANT& v) { return com::takeString("text", v); });
    }
    static std::optional<std::int32_t> wholeOf(const std::optional<UniqueVariant>& answer) {
        return taken(answer, [](const VARIANT& v) { return com::takeInt32("number", v); });
    }
    static std::optional<bool> truthOf(const std::optional<UniqueVariant>& answer) {
        return taken(answer, [](const VARIANT& v) { return com::takeBool("Boolean", v); });
    }
    template <class F>
    static auto taken(const std::optional<UniqueVariant>& answer, F take) -> std::optional<decltype(take(answer->get()))> {
        if (!answer) {
            return std::nullopt;
        }
        try {
            return take(answer->get());
        } catch (const host::HostError&) {
            return std::nullopt;
        }
    }

    void readHost() {
        profile_.revision = com::toUtf8(textOf(repeated("RevisionNumber", app_, "RevisionNumber", false)).value_or(L""));
        ComPtr<IDispatch> doc = objectOf(repeated("ActiveDoc", app_, "ActiveDoc", true), "ActiveDoc");
        if (!doc) {
            throw ProbeRefused(msg::kNoDocument);
        }
        doc_ = object(doc, "Doc");
        toggle_ = truthOf(repeated("GetUserPreferenceToggle", app_, "GetUserPreferenceToggle", false,
                                   kViewActivationToggle)).value_or(false);
        if (wholeOf(repeated("GetType", *doc_, "GetType", false)) != kDrawingType) {
            throw ProbeRefused(msg::kNoDrawing);
        }
        ComPtr<IDispatch> sheet = objectOf(repeated("GetCurrentSheet", *doc_, "GetCurrentSheet", false), "GetCurrentSheet");
        if (ComPtr<IDispatch> extension = objectOf(repeated("Extension", *doc_, "Extension", true), "Extension")) {
            extension_ = object(extension, "Extension");
        }
        if (sheet) {
            DispatchObject s = object(sheet, "Sheet");
            sheetName_ = textOf(repeated("Sheet.GetName", s, "GetName", false)).value_or(L"");
            repeated("GetProperties", s, "GetProperties", false);
        }
        readAddinCalls();
        otherSheets_ = otherSheetNames(call("GetSheetNames", *doc_, "GetSheetNames"));
    }

    // What an add-in asks of the host without changing anything: the parent window for its
    // dialogs and the localized name of the menu its command goes on.
    void readAddinCalls() {
        if (ComPtr<IDispatch> frame = objectOf(call("Frame", app_, "Frame"), "Frame")) {
            DispatchObject f = object(frame, "Frame");
            hostWindow_ = wholeOf(call("GetHWnd", f, "GetHWnd")).value_or(0);
        }
        call("GetLocalizedMenuName(4)", app_, "GetLocalizedMenuName", kToolsMenu);
    }

    // As Tarvenix asks it before its first change, through the three references.
    void askRunningCommand() {
        hostprofile::RunningCommand& c = profile_.runningCommand;
        c.asked = true;
        std::wstring title;
        const host::AppRef app = com::wrapApp(ComPtr<IDispatch>::borrow(app_.raw()), line_);
        const bool answered = timed("GetRunningCommandInfo", [&] {
                                  app->GetRunningCommandInfo(c.id, title, c.active);
                                  return UniqueVariant();
                              }).has_value();
        c.title = com::toUtf8(title);
        if (!answered) {
            c.failure = record("GetRunningCommandInfo").failure;
        }
    }

    // Whether GetFirstNote and GetNext on the sheet's own view list the sheet format's notes only
    // the administrator can tell, who sees the sheet: how many, and the first texts.
    void noteSheetViewNotes(const std::vector<SeenItem>& items) {
        constexpr std::size_t kShown = 5;
        std::size_t count = 0;
        std::string texts;
        for (const SeenItem& i : items) {
            if (i.sheet == sheetName_ && i.view == 0 && i.note) {
                if (count < kShown) {
                    texts += (count == 0 ? "„" : ", „") + i.text + "“";
                }
                ++count;
            }
        }
        profile_.findings.push_back({hostprofile::kSheetViewNotes, std::to_string(count)});
        profile_.findings.push_back({hostprofile::kSheetViewNoteTexts, texts + (count > kShown ? ", …" : "")});
    }

    // "true", "false" or why the host refused; a host that stops taking calls ends the probe.
    template <class F>
    static std::string answerOf(F asking) {
        try {
            const auto truth = truthOf(asking());
            return truth ? (*truth ? "true" : "false") : "keine Boolesche Antwort";
        } catch (const host::HostError& e) {
            if (e.stopsRun() || e.unreachable()) {
                throw;
            }
            return e.code() != 0 ? com::describeHresult(static_cast<HRESULT>(e.code())) : e.what();
        }
    }

    // The probe's note by name and owner, its coordinates in each form; the selection emptied after each.
    void askSelectByIdForms() {
        const std::wstring name = kNoteName + L"@" + sheetName_;
        const auto select = [&](const auto zero) {
            return answerOf([&] {
                return std::optional<UniqueVariant>(extension_->call("SelectByID", name, std::wstring(L"NOTE"), zero, zero,
                                                                     zero, false, std::int16_t{0}, host::EmptyRef{}));
            });
        };
        const std::string answers[] = {select(std::int16_t{0}), select(std::int32_t{0}), select(0.0)};
        for (std::size_t i = 0; i < std::size(answers); ++i) {
            profile_.findings.push_back({hostprofile::kSelectByIdForms[i], answers[i]});
        }
        call("ClearSelection2", *doc_, "ClearSelection2", true);
    }

    // How many items the document's selection manager counts; none when the host has no manager.
    std::optional<std::int32_t> selectedCount() {
        ComPtr<IDispatch> m = com::takeObject("SelectionManager", doc_->get("SelectionManager").get());
        if (!m) {
            return std::nullopt;
        }
        DispatchObject manager = object(std::move(m), "SelectionMgr");
        return com::takeInt32("GetSelectedObjectCount2", manager.call("GetSelectedObjectCount2", std::int32_t{-1}).get());
    }

    // With the symbol selected, Select2(False, 0) on the note: the selection manager counts before
    // and after; one item more, the symbol stayed (whatever else was selected with it); one item
    // in all, only the note is.
    void askSelect2KeepsFirst(DispatchObject& second) {
        std::string answer;
        try {
            const std::optional<std::int32_t> before = selectedCount();
            const auto selected = truthOf(second.call("Select2", false, std::int16_t{0}));
            const std::optional<std::int32_t> after = selectedCount();
            if (selected != true) {
                answer = "Select2 auf das zweite: " + std::string(selected ? "False" : "keine Boolesche Antwort");
            } else if (!before || !after) {
                answer = "SelectionManager: leere Referenz";
            } else {
                answer = *after == 1 && *before >= 1      ? "false"
                         : *after == *before + 1 && *before >= 1 ? "true"
                                                             : "ausgewählt: " + std::to_string(*before) + ", dann " +
                                                                   std::to_string(*after);
            }
        } catch (const host::HostError& e) {
            if (e.stopsRun() || e.unreachable()) {
                throw;
            }
            answer = e.code() != 0 ? com::describeHresult(static_cast<HRESULT>(e.code())) : e.what();
        }
        profile_.findings.push_back({hostprofile::kSelect2KeepsFirst, answer});
    }

    // A host that asks its user before deleting shows a window of its own while the call waits:
    // the administrator answers it; the probe only looks.
    std::optional<UniqueVariant> watchedDeletion() {
        if (!hostprofile::findingOf(profile_, hostprofile::kDeleteConfirm).empty()) {
            return call("DeleteSelection", *doc_, "DeleteSelection", true);
        }
        DWORD process = 0;
        if (hostWindow_ != 0) {
            GetWindowThreadProcessId(reinterpret_cast<HWND>(static_cast<std::intptr_t>(hostWindow_)), &process);
        }
        WindowWatch watch(process, [tell = options_.tell](const SeenWindow& w) {
            if (tell) {
                tell("SolidWorks zeigt während DeleteSelection(True) das Fenster „" + com::toUtf8(w.title) +
                     "“: bitte dort antworten (tvx-hostprobe klickt nichts an).");
            }
        });
        std::optional<UniqueVariant> deleted = call("DeleteSelection", *doc_, "DeleteSelection", true);
        const std::vector<SeenWindow> seen = watch.stop();
        std::string answer = seen.empty() ? "none" : "Fenster „" + com::toUtf8(seen.front().title) + "“ (" +
                                                         com::toUtf8(seen.front().className) + ")";
        if (process == 0 && !seen.empty()) {
            answer += ", Programm des Fensters unbekannt";
        }
        profile_.findings.push_back({hostprofile::kDeleteConfirm, answer});
        return deleted;
    }

    // Select2 on the first note the sheet's own view lists that is not the probe's; the
    // selection emptied again.
    void askSheetNoteSelect() {
        ComPtr<IDispatch> view = objectOf(call("GetFirstView", *doc_, "GetFirstView"), "GetFirstView");
        if (!view) {
            return;
        }
        DispatchObject sheetView = object(view, "View");
        ComPtr<IDispatch> note = objectOf(call("GetFirstNote", sheetView, "GetFirstNote"), "GetFirstNote");
        for (; note;) {
            DispatchObject n = object(note, "Note");
            ComPtr<IDispatch> a = objectOf(call("Note.GetAnnotation", n, "GetAnnotation"), "GetAnnotation");
            if (a) {
                DispatchObject annotation = object(a, "Annotation");
                if (textOf(call("Annotation.GetName", annotation, "GetName")) != kNoteName) {
                    profile_.findings.push_back({hostprofile::kSheetNoteSelect, answerOf([&] {
                                                     return std::optional<UniqueVariant>(
                                                         annotation.call("Select2", false, std::int16_t{0}));
                                                 })});
                    call("ClearSelection2", *doc_, "ClearSelection2", true);
                    return;
                }
            }
            note = objectOf(call("Note.GetNext", n, "GetNext"), "GetNext");
        }
    }

    // The sheets besides the current one, in the host's order. Without the current sheet's name
    // the probe could not come back to it, so it then reads that one alone.
    std::vector<std::wstring> otherSheetNames(const std::optional<UniqueVariant>& answer) const {
        if (sheetName_.empty()) {
            return {};
        }
        const auto value = taken(answer, [](const VARIANT& v) { return com::takeHostValue("GetSheetNames", v); });
        const auto* list = value ? std::get_if<host::HostArray>(&*value) : nullptr;
        if (list == nullptr) {
            return {};
        }
        std::vector<std::wstring> names;
        for (const host::HostScalar& item : *list) {
            const auto* name = std::get_if<std::wstring>(&item);
            if (name == nullptr) {
                return {};
            }
            if (!name->empty() && *name != sheetName_) {
                names.push_back(*name);
            }
        }
        return names;
    }

    // Every sheet: the current one as it is, each other one activated in turn, and the current
    // one activated again at the end.
    std::vector<SeenItem> readDrawing() {
        std::vector<SeenItem> seen = readSheet(sheetName_);
        if (otherSheets_.empty()) {
            return seen;
        }
        for (const std::wstring& name : otherSheets_) {
            if (truthOf(call("ActivateSheet", *doc_, "ActivateSheet", name)).value_or(false)) {
                std::vector<SeenItem> more = readSheet(name);
                seen.insert(seen.end(), more.begin(), more.end());
            }
        }
        backOnStartSheet_ = truthOf(call("ActivateSheet", *doc_, "ActivateSheet", sheetName_)).value_or(false);
        return seen;
    }

    // Every view of the current sheet, every symbol and note of each, in the host's order.
    std::vector<SeenItem> readSheet(const std::wstring& sheetName) {
        std::vector<SeenItem> seen;
        ComPtr<IDispatch> view = objectOf(call("GetFirstView", *doc_, "GetFirstView"), "GetFirstView");
        for (std::size_t v = 0; view; ++v) {
            DispatchObject viewObject = object(view, "View");
            ComPtr<IDispatch> symbol = objectOf(call("GetFirstSFSymbol", viewObject, "GetFirstSFSymbol"), "GetFirstSFSymbol");
            for (std::size_t i = 0; symbol; ++i) {
                DispatchObject s = object(symbol, "SFSymbol");
                seen.push_back(readSymbol(s, sheetName, v, i));
                symbol = objectOf(call("GetNext", s, "GetNext"), "GetNext");
            }
            ComPtr<IDispatch> note = objectOf(call("GetFirstNote", viewObject, "GetFirstNote"), "GetFirstNote");
            for (std::size_t i = 0; note; ++i) {
                DispatchObject n = object(note, "Note");
                seen.push_back(readNote(n, sheetName, v, i));
                note = objectOf(call("Note.GetNext", n, "GetNext"), "GetNext");
            }
            view = objectOf(call("GetNextView", viewObject, "GetNextView"), "GetNextView");
        }
        return seen;
    }

    std::wstring annotationName(DispatchObject& item, const std::string& label) {
        ComPtr<IDispatch> a = objectOf(call(label, item, "GetAnnotation"), "GetAnnotation");
        if (!a) {
            return {};
        }
        DispatchObject annotation = object(a, "Annotation");
        const std::wstring name = textOf(call("Annotation.GetName", annotation, "GetName")).value_or(L"?");
        call("gettextformat(0)", annotation, "gettextformat", std::int16_t{0});
        return name;
    }

    SeenItem readSymbol(DispatchObject& symbol, const std::wstring& sheetName, std::size_t view, std::size_t index) {
        const auto type = wholeOf(call("GetSymbolType", symbol, "GetSymbolType"));
        const auto roughness = textOf(call("GetText(5)", symbol, "GetText", kMaxRoughnessText));
        const auto method = textOf(call("GetText(2)", symbol, "GetText", kMethodText));
        SeenItem seen{sheetName, view, false, annotationName(symbol, "SFSymbol.GetAnnotation"), {}, {}};
        seen.line = placeOf(sheetName, view, "Symbol", index) + "Name \"" + com::toUtf8(seen.name) + "\", Art " +
                    (type ? std::to_string(*type) : "?") + ", Texte \"" + com::toUtf8(roughness.value_or(L"?")) +
                    "\" / \"" + com::toUtf8(method.value_or(L"?")) + "\"";
        return seen;
    }

    SeenItem readNote(DispatchObject& note, const std::wstring& sheetName, std::size_t view, std::size_t index) {
        const auto text = textOf(call("Note.GetText", note, "GetText"));
        SeenItem seen{sheetName, view, true, annotationName(note, "Note.GetAnnotation"), {}, {}};
        seen.text = com::toUtf8(text.value_or(L"?"));
        seen.line = placeOf(sheetName, view, "Notiz", index) + "Name \"" + com::toUtf8(seen.name) + "\", Text \"" +
                    seen.text + "\"";
        return seen;
    }

    void compare(const std::vector<SeenItem>& before, const std::vector<SeenItem>& after) {
        std::multiset<std::string> was;
        std::multiset<std::string> is;
        for (const SeenItem& s : before) {
            was.insert(s.line);
        }
        for (const SeenItem& s : after) {
            is.insert(s.line);
        }
        for (const SeenItem& s : before) {
            if (auto it = is.find(s.line); it != is.end()) {
                is.erase(it);
            } else {
                profile_.drawingChanges.push_back("fehlt: " + s.line);
            }
        }
        for (const SeenItem& s : after) {
            if (auto it = was.find(s.line); it != was.end()) {
                was.erase(it);
            } else {
                profile_.drawingChanges.push_back("neu: " + s.line);
            }
        }
    }

    // What writing put into the drawing and still has to take out again.
    struct Inserted {
        std::optional<DispatchObject> symbolAnnotation;
        std::optional<DispatchObject> noteAnnotation;
    };

    // The probe's own inserts as one Undo step of its own, taken back by one Undo when the host
    // honours it; otherwise, or when writing stops early, they are deleted one by one.
    void writeAndTakeBack(const std::vector<SeenItem>& before) {
        if (!extension_ || sheetName_.empty()) {
            profile_.writeError = "kein Blattname oder keine Erweiterung: nichts geschrieben";
            return;
        }
        const bool restoreToggle = toggle_;
        Inserted inserted;
        bool recording = false;
        try {
            // As Tarvenix places its output: with the view under the pointer not taking it.
            if (restoreToggle) {
                app_.call("SetUserPreferenceToggle", kViewActivationToggle, false);
            }
            recording = static_cast<bool>(call("StartRecordingUndoObject", *extension_, "StartRecordingUndoObject"));
            insert(inserted, before);
            settleNameScope(inserted, before);
            // Selecting the symbol and emptying the selection again change nothing, as Tarvenix's
            // check before its first change does; the note goes as Tarvenix clears its own.
            requireTrue(call("Select2", *inserted.symbolAnnotation, "Select2", false, std::int16_t{0}), "Select2");
            askSelect2KeepsFirst(*inserted.noteAnnotation);
            call("ClearSelection2", *doc_, "ClearSelection2", true);
            askSelectByIdForms();
            takeBackNote(inserted);
            const bool finished = recording && finishRecording();
            recording = false;
            if (finished) {
                undoOwnStep(inserted, before);
            }
            takeBack(inserted);
            askSheetNoteSelect();
        } catch (const host::HostError& e) {
            if (e.stopsRun() || e.unreachable()) {
                throw;
            }
            profile_.writeError = e.what();
            tryTakeBack(inserted);
            if (recording) {
                finishRecording();
            }
        }
        if (restoreToggle) {
            try {
                app_.call("SetUserPreferenceToggle", kViewActivationToggle, true);
            } catch (const host::HostError& e) {
                if (e.stopsRun() || e.unreachable()) {
                    throw;
                }
                profile_.writeError += std::string(profile_.writeError.empty() ? "" : "; ") +
                                       "Option 24 nicht zurückgesetzt: " + e.what();
            }
        }
    }

    // Never hidden: the host discards a hidden entry that is first in its list. An older host
    // knows only the one-argument finish.
    bool finishRecording() {
        std::optional<UniqueVariant> finished =
            call("FinishRecordingUndoObject2", *extension_, "FinishRecordingUndoObject2", kUndoStepName, false);
        if (!finished && record("FinishRecordingUndoObject2").failure.find("DISP_E_UNKNOWNNAME") != std::string::npos) {
            finished = call("FinishRecordingUndoObject", *extension_, "FinishRecordingUndoObject", kUndoStepName);
        }
        return truthOf(finished).value_or(false);
    }

    // One Undo for the probe's step takes its symbol back too, and leaves its note deleted; what
    // it left otherwise is deleted one by one.
    void undoOwnStep(Inserted& inserted, const std::vector<SeenItem>& before) {
        if (!call("EditUndo2", *doc_, "EditUndo2", std::int32_t{1})) {
            return;
        }
        const std::vector<SeenItem> now = readSheet(sheetName_);
        const bool symbolGone = inSheetView(now, false) == inSheetView(before, false);
        const bool noteGone = inSheetView(now, true) == inSheetView(before, true);
        if (symbolGone) {
            inserted.symbolAnnotation.reset();
            inDrawing(kSymbolLeft, false);
        }
        if (!noteGone) {
            // Undone only in part: the note's deletion was taken back on its own.
            inDrawing(kNoteLeft, true);
            noteBack_ = true;
        }
        profile_.undo = symbolGone && noteGone ? hostprofile::UndoAnswer::TookBack
                        : !symbolGone && noteGone ? hostprofile::UndoAnswer::Kept
                                                  : hostprofile::UndoAnswer::Partly;
    }

    // The symbols (or notes) of the starting sheet's own view among the items read.
    std::size_t inSheetView(const std::vector<SeenItem>& items, bool note) const {
        return static_cast<std::size_t>(std::count_if(items.begin(), items.end(), [&](const SeenItem& i) {
            return i.sheet == sheetName_ && i.view == 0 && i.note == note;
        }));
    }

    void selectSheetPoint(double x, double y) {
        call("SelectByID (Blatt)", *doc_, "SelectByID", sheetName_, std::wstring(L"SHEET"), x, y, std::int16_t{0});
    }

    // Writing stops at the first step the host did not do; what it did is taken back.
    static bool requireTruth(const std::optional<UniqueVariant>& answer, const char* operation) {
        const auto truth = truthOf(answer);
        if (!truth) {
            throw host::HostError(operation, answer ? "answered no Boolean" : "refused");
        }
        return *truth;
    }
    static void requireTrue(const std::optional<UniqueVariant>& answer, const char* operation) {
        if (!requireTruth(answer, operation)) {
            throw host::HostError(operation, "answered False");
        }
    }

    void insert(Inserted& inserted, const std::vector<SeenItem>& before) {
        const std::size_t symbolsInSheetView = inSheetView(before, false);
        selectSheetPoint(0.02, 0.02);
        const std::wstring none;
        const auto symbolInserted = call("InsertSurfaceFinishSymbol2", *doc_, "InsertSurfaceFinishSymbol2",
                                         std::int32_t{0}, std::int16_t{0}, std::int16_t{0}, std::int16_t{0}, 0.0,
                                         std::int16_t{0}, std::int16_t{1}, none, none, kNoteText, none,
                                         std::wstring(L"1,6"), none, none);
        // A host may have placed it whatever it answered.
        if (symbolInserted) {
            inDrawing(kSymbolLeft, true);
        }
        requireTruth(symbolInserted, "InsertSurfaceFinishSymbol2");
        // A new symbol comes last in the sheet's own view.
        ComPtr<IDispatch> view = objectOf(call("GetFirstView", *doc_, "GetFirstView"), "GetFirstView");
        if (!view) {
            throw host::HostError("GetFirstView", "no view after the insertion");
        }
        DispatchObject sheetView = object(view, "View");
        ComPtr<IDispatch> last;
        std::size_t count = 0;
        for (ComPtr<IDispatch> s = objectOf(call("GetFirstSFSymbol", sheetView, "GetFirstSFSymbol"), "GetFirstSFSymbol"); s;) {
            last = s;
            ++count;
            DispatchObject symbol = object(s, "SFSymbol");
            s = objectOf(call("GetNext", symbol, "GetNext"), "GetNext");
        }
        if (count != symbolsInSheetView + 1) {
            inDrawing(kSymbolLeft, count > symbolsInSheetView);
            throw host::HostError("InsertSurfaceFinishSymbol2", "no new symbol in the sheet's own view");
        }
        DispatchObject symbol = object(last, "SFSymbol");
        name(symbol, "SFSymbol.GetAnnotation", kSymbolName, inserted.symbolAnnotation);
        readSymbol(symbol, sheetName_, 0, count - 1);

        selectSheetPoint(0.05, 0.02);
        ComPtr<IDispatch> note = objectOf(call("InsertNote", *doc_, "InsertNote", kNoteText), "InsertNote");
        inDrawing(kNoteLeft, static_cast<bool>(note));
        if (!note) {
            throw host::HostError("InsertNote", "no note");
        }
        DispatchObject noteObject = object(note, "Note");
        name(noteObject, "Note.GetAnnotation", kNoteName, inserted.noteAnnotation);
        if (textOf(call("Annotation.GetName", *inserted.noteAnnotation, "GetName")) != kNoteName) {
            throw host::HostError("GetName", "the note's name did not stay");
        }
    }

    // A new symbol's or note's annotation, kept for taking back before it is named.
    void name(DispatchObject& item, const std::string& label, const std::wstring& newName,
              std::optional<DispatchObject>& annotation) {
        ComPtr<IDispatch> a = objectOf(call(label, item, "GetAnnotation"), "GetAnnotation");
        if (!a) {
            throw host::HostError("GetAnnotation", "the new " + label + " has no annotation");
        }
        annotation = object(a, "Annotation");
        requireTrue(call("SetName", *annotation, "SetName", newName), "SetName");
    }

    // The probe's symbol takes a name already used in a drawing view (another owner): taken,
    // names are unique per view; refused, per document. A name of its own view must be refused.
    // A name from another sheet settles the scope where no drawing view has a named symbol.
    void settleNameScope(Inserted& inserted, const std::vector<SeenItem>& before) {
        DispatchObject& annotation = *inserted.symbolAnnotation;
        const auto used = [&](auto where) -> const SeenItem* {
            const auto it = std::find_if(before.begin(), before.end(), [&](const SeenItem& s) {
                return !s.note && !s.name.empty() && where(s);
            });
            return it == before.end() ? nullptr : &*it;
        };
        const auto taken = [&](const SeenItem& other) {
            return requireTruth(call("SetName", annotation, "SetName", other.name), "SetName");
        };
        if (const SeenItem* other = used([&](const SeenItem& s) { return s.sheet == sheetName_ && s.view != 0; })) {
            profile_.nameScope = taken(*other) ? hostprofile::NameScope::Owner : hostprofile::NameScope::Document;
        }
        if (const SeenItem* other = used([&](const SeenItem& s) { return s.sheet != sheetName_; })) {
            const bool accepted = taken(*other);
            profile_.otherSheetName = accepted ? hostprofile::OtherSheetName::Accepted : hostprofile::OtherSheetName::Refused;
            if (profile_.nameScope == hostprofile::NameScope::Unsettled) {
                profile_.nameScope = accepted ? hostprofile::NameScope::Owner : hostprofile::NameScope::Document;
            }
        }
        if (const SeenItem* same = used([&](const SeenItem& s) { return s.sheet == sheetName_ && s.view == 0; })) {
            profile_.duplicateInOwnerAccepted = taken(*same);
        }
    }

    // What the Undo left: the symbol through its annotation, the note as Tarvenix finds its own,
    // by name and owner.
    void takeBack(Inserted& inserted) {
        if (noteBack_) {
            takeBackNote(inserted);
        }
        if (inserted.symbolAnnotation) {
            requireTrue(call("Select2", *inserted.symbolAnnotation, "Select2", false, std::int16_t{0}), "Select2");
            requireTrue(call("DeleteSelection", *doc_, "DeleteSelection", true), "DeleteSelection");
            inserted.symbolAnnotation.reset();
            inDrawing(kSymbolLeft, false);
        }
    }

    void takeBackNote(Inserted& inserted) {
        const auto selected = call("SelectByID (Name@Besitzer)", *extension_, "SelectByID", kNoteName + L"@" + sheetName_,
                                   std::wstring(L"NOTE"), std::int16_t{0}, std::int16_t{0}, std::int16_t{0}, false,
                                   std::int16_t{0}, host::EmptyRef{});
        requireTrue(selected, "SelectByID");
        requireTrue(watchedDeletion(), "DeleteSelection");
        inserted.noteAnnotation.reset();
        inDrawing(kNoteLeft, false);
        noteBack_ = false;
    }

    // After a refused call: whatever was inserted goes again, as far as the host lets it.
    void tryTakeBack(Inserted& inserted) {
        for (auto [annotation, what] : {std::pair{&inserted.noteAnnotation, kNoteLeft},
                                        std::pair{&inserted.symbolAnnotation, kSymbolLeft}}) {
            if (!*annotation) {
                continue;
            }
            try {
                if (truthOf((*annotation)->call("Select2", false, std::int16_t{0})).value_or(false) &&
                    truthOf(doc_->call("DeleteSelection", true)).value_or(false)) {
                    inDrawing(what, false);
                }
            } catch (const host::HostError& e) {
                if (e.stopsRun() || e.unreachable()) {
                    throw;
                }
                profile_.writeError += std::string("; nicht entfernt: ") + e.what();
            }
            annotation->reset();
        }
    }

    void inDrawing(const std::wstring& what, bool there) {
        if (options_.leftInDrawing == nullptr) {
            return;
        }
        auto& left = *options_.leftInDrawing;
        left.erase(std::remove(left.begin(), left.end(), what), left.end());
        if (there) {
            left.push_back(what);
        }
    }

    void finishTimes() {
        for (CallRecord& r : profile_.calls) {
            std::vector<double>& t = times_[r.label];
            r.count += static_cast<std::uint32_t>(t.size());
            if (!t.empty()) {
                std::nth_element(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(t.size() / 2), t.end());
                r.medianMs = t[t.size() / 2];
            }
        }
    }

    std::shared_ptr<com::HostLine> line_;
    ProbeOptions options_;
    std::map<std::string, std::shared_ptr<com::MemberIds>> ids_;
    DispatchObject app_;
    std::optional<DispatchObject> doc_;
    std::optional<DispatchObject> extension_;
    std::wstring sheetName_;
    std::vector<std::wstring> otherSheets_;
    bool backOnStartSheet_ = true;
    bool noteBack_ = false;
    bool toggle_ = false;
    std::int32_t hostWindow_ = 0; // the host's frame, as GetHWnd answered
    std::map<std::string, std::vector<double>> times_;
    HostProfile profile_;
};

} // namespace

hostprofile::HostProfile probeHost(com::ComPtr<IDispatch> app, std::shared_ptr<com::HostLine> line,
                                   const ProbeOptions& options) {
    return Prober(std::move(app), std::move(line), options).run();
}

} // namespace tvx::hostprobe
