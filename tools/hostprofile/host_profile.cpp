#include "tools/hostprofile/host_profile.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace tvx::hostprofile {

namespace {

constexpr AnswerKind kInt = AnswerKind::Integer;
constexpr AnswerKind kBool = AnswerKind::Boolean;
constexpr AnswerKind kText = AnswerKind::Text;
constexpr AnswerKind kArray = AnswerKind::Array;
constexpr AnswerKind kObject = AnswerKind::Object;
constexpr AnswerKind kNone = AnswerKind::None;

struct KindForms {
    AnswerKind kind;
    const char* name;
    const char* defaultForm;
};

constexpr KindForms kKinds[] = {
    {kInt, "int", "i4"}, {kBool, "bool", "bool"}, {kText, "text", "bstr"}, {kArray, "array", "r8"}, {kObject, "object", "dispatch"},
    {kNone, "none", ""},
};

const KindForms& formsOf(AnswerKind kind) {
    for (const KindForms& k : kKinds) {
        if (k.kind == kind) {
            return k;
        }
    }
    return kKinds[0];
}

// The stand-in's form that answers with this VARTYPE; empty when it has none.
std::string formOf(AnswerKind kind, const CallRecord& r) {
    static const std::map<std::string, std::string> integer{
        {"VT_I4", "i4"}, {"VT_I2", "i2"}, {"VT_R8", "r8"}, {"VT_BSTR", "bstr"}};
    static const std::map<std::string, std::string> boolean{{"VT_BOOL", "bool"}, {"VT_I4", "i4"}};
    static const std::map<std::string, std::string> text{
        {"VT_BSTR", "bstr"}, {"VT_BSTR null", "null"}, {"VT_EMPTY", "empty"}};
    static const std::map<std::string, std::string> array{
        {"VT_ARRAY|VT_R8", "r8"}, {"VT_ARRAY|VT_VARIANT", "variant"}, {"VT_ARRAY|VT_I4", "i4"}};
    static const std::map<std::string, std::string> object{{"VT_DISPATCH", "dispatch"}, {"VT_UNKNOWN", "unknown"}};
    const auto find = [](const std::map<std::string, std::string>& table, const std::string& vt) {
        const auto it = table.find(vt);
        return it == table.end() ? std::string() : it->second;
    };
    switch (kind) {
    case kInt: return find(integer, r.answer);
    case kBool: return find(boolean, r.answer);
    case kText: return find(text, r.emptyText);
    case kArray:
        if (r.lower && r.upper && *r.upper < *r.lower && array.count(r.answer) != 0) {
            return "empty";
        }
        return find(array, r.answer);
    case kObject: return find(object, r.answer);
    case kNone: break;
    }
    return {};
}

std::string emptyAsOf(const std::string& nothing) {
    if (nothing == "VT_EMPTY") {
        return "empty";
    }
    if (nothing == "VT_NULL") {
        return "null";
    }
    return nothing == kStandInNothing ? "dispatch" : std::string();
}

// The VARTYPE of the kept IDs in an answer True the add-in logged ("True, Ausgabe VT_ARRAY|VT_I2"),
// when the stand-in can hand them back so; empty otherwise.
std::string keptIdsFormOf(const std::string& logged) {
    static const char* const playable[] = {"VT_ARRAY|VT_I4", "VT_ARRAY|VT_INT", "VT_ARRAY|VT_I2", "VT_ARRAY|VT_VARIANT",
                                           "VT_ARRAY|VT_R8", "VT_ARRAY|VT_BSTR", "VT_EMPTY"};
    const std::string prefix = "True, Ausgabe ";
    if (logged.rfind(prefix, 0) != 0) {
        return {};
    }
    const std::string form = logged.substr(prefix.size(), logged.find(' ', prefix.size()) - prefix.size());
    const auto it = std::find_if(std::begin(playable), std::end(playable), [&](const char* f) { return form == f; });
    return it == std::end(playable) ? std::string() : form;
}

// The open questions the stand-in replays.
void replayedFindings(const HostProfile& p, StandInSwitches& s) {
    for (const char* question : kSelectByIdForms) {
        const std::string answer = findingOf(p, question);
        if (answer.empty()) {
            continue;
        }
        if (!s.coordinateForms) {
            s.coordinateForms.emplace();
        }
        if (answer == "true" || answer == "false") {
            s.coordinateForms->push_back(std::string(question).substr(std::string("SelectByID.").size()));
        }
    }
    s.select2KeepsSelection = findingOf(p, kSelect2KeepsFirst) == "true";
    const std::string confirm = findingOf(p, kDeleteConfirm);
    s.confirmDeletion = !confirm.empty() && confirm != "none";
    s.keptIdsForm = keptIdsFormOf(findingOf(p, kGroupDataOut));
    // As the probe lists them: „first“, „second“, …
    const std::string texts = findingOf(p, kSheetViewNoteTexts);
    const std::string open = "„";
    const std::string close = "“";
    for (std::size_t at = texts.find(open); at != std::string::npos; at = texts.find(open, at)) {
        const std::size_t end = texts.find(close, at + open.size());
        if (end == std::string::npos) {
            break;
        }
        s.sheetViewNoteTexts.push_back(texts.substr(at + open.size(), end - at - open.size()));
        at = end + close.size();
    }
    s.sheetNoteSelect = findingOf(p, kSheetNoteSelect);
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string number(double value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", value);
    return buf;
}

// German decimal comma for the console.
std::string millis(double value) {
    std::string text = number(value);
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

// A host that does not know a call answers as for a name it does not know.
UndoCalls undoCallsOf(const HostProfile& p) {
    const auto answered = [&](const char* label, bool known) {
        return std::any_of(p.calls.begin(), p.calls.end(), [&](const CallRecord& r) {
            const bool unknown = r.failure.find("DISP_E_UNKNOWNNAME") != std::string::npos;
            return r.label == label && r.count > 0 && (known ? r.failure.empty() : unknown);
        });
    };
    if (answered("StartRecordingUndoObject", false)) {
        return UndoCalls::None;
    }
    if (answered("FinishRecordingUndoObject2", true)) {
        return UndoCalls::Current;
    }
    if (answered("FinishRecordingUndoObject2", false) && answered("FinishRecordingUndoObject", true)) {
        return UndoCalls::Older;
    }
    return UndoCalls::Unknown;
}

bool isProperties(const CallRecord& r) { return r.object == "Sheet" && r.operation == "GetProperties"; }

} // namespace

const char* kindName(AnswerKind kind) { return formsOf(kind).name; }

std::optional<AnswerKind> kindFromName(const std::string& name) {
    for (const KindForms& k : kKinds) {
        if (name == k.name) {
            return k.kind;
        }
    }
    return std::nullopt;
}

const std::vector<ProbedCall>& readingCalls() {
    static const std::vector<ProbedCall> calls{
        {"RevisionNumber", "App", "RevisionNumber", kText, "VT_BSTR"},
        {"ActiveDoc", "App", "ActiveDoc", kObject, "VT_DISPATCH"},
        {"GetUserPreferenceToggle", "App", "GetUserPreferenceToggle", kBool, "VT_BOOL"},
        {"GetType", "Doc", "GetType", kInt, "VT_I4"},
        {"GetFirstView", "Doc", "GetFirstView", kObject, "VT_DISPATCH"},
        {"GetCurrentSheet", "Doc", "GetCurrentSheet", kObject, "VT_DISPATCH"},
        {"Extension", "Doc", "Extension", kObject, "VT_DISPATCH"},
        {"Sheet.GetName", "Sheet", "GetName", kText, "VT_BSTR"},
        {"GetProperties", "Sheet", "GetProperties", kArray, "VT_ARRAY|VT_R8"},
        {"Frame", "App", "Frame", kObject, "VT_DISPATCH"},
        {"GetHWnd", "Frame", "GetHWnd", kInt, "VT_I4"},
        {"GetLocalizedMenuName(4)", "App", "GetLocalizedMenuName", kText, "VT_BSTR"},
        {"GetSheetNames", "Doc", "GetSheetNames", kArray, "VT_ARRAY|VT_BSTR"},
        {"ActivateSheet", "Doc", "ActivateSheet", kBool, "VT_BOOL"},
        {"GetFirstSFSymbol", "View", "GetFirstSFSymbol", kObject, "VT_DISPATCH"},
        {"GetNextView", "View", "GetNextView", kObject, "VT_DISPATCH"},
        {"GetNext", "SFSymbol", "GetNext", kObject, "VT_DISPATCH"},
        {"GetSymbolType", "SFSymbol", "GetSymbolType", kInt, "VT_I4"},
        {"GetText(5)", "SFSymbol", "GetText", kText, "VT_BSTR"},
        {"GetText(2)", "SFSymbol", "GetText", kText, "VT_BSTR"},
        {"SFSymbol.GetAnnotation", "SFSymbol", "GetAnnotation", kObject, "VT_DISPATCH"},
        {"GetFirstNote", "View", "GetFirstNote", kObject, "VT_DISPATCH"},
        {"Note.GetNext", "Note", "GetNext", kObject, "VT_DISPATCH"},
        {"Note.GetText", "Note", "GetText", kText, "VT_BSTR"},
        {"Note.GetAnnotation", "Note", "GetAnnotation", kObject, "VT_DISPATCH"},
        {"Annotation.GetName", "Annotation", "GetName", kText, "VT_BSTR"},
        {"gettextformat(0)", "Annotation", "gettextformat", kObject, "VT_DISPATCH"},
        // A Sub: it answers through its three references.
        {"GetRunningCommandInfo", "App", "GetRunningCommandInfo", kNone, "VT_EMPTY"},
    };
    return calls;
}

const std::vector<ProbedCall>& writingCalls() {
    static const std::vector<ProbedCall> calls{
        {"SelectByID (Blatt)", "Doc", "SelectByID", kBool, "VT_BOOL"},
        {"StartRecordingUndoObject", "Extension", "StartRecordingUndoObject", kNone, "VT_EMPTY"},
        {"InsertSurfaceFinishSymbol2", "Doc", "InsertSurfaceFinishSymbol2", kBool, "VT_BOOL"},
        {"InsertNote", "Doc", "InsertNote", kObject, "VT_DISPATCH"},
        {"SetName", "Annotation", "SetName", kBool, "VT_BOOL"},
        {"Select2", "Annotation", "Select2", kBool, "VT_BOOL"},
        {"ClearSelection2", "Doc", "ClearSelection2", kNone, "VT_EMPTY"},
        {"SelectByID (Name@Besitzer)", "Extension", "SelectByID", kBool, "VT_BOOL"},
        {"DeleteSelection", "Doc", "DeleteSelection", kBool, "VT_BOOL"},
        {"FinishRecordingUndoObject2", "Extension", "FinishRecordingUndoObject2", kBool, "VT_BOOL"},
        {"FinishRecordingUndoObject", "Extension", "FinishRecordingUndoObject", kBool, "VT_BOOL"},
        {"EditUndo2", "Doc", "EditUndo2", kNone, "VT_EMPTY"},
    };
    return calls;
}

CallRecord recordFor(const ProbedCall& call) {
    CallRecord r;
    r.label = call.label;
    r.object = call.object;
    r.operation = call.operation;
    r.kind = call.kind;
    r.standIn = call.standIn;
    return r;
}

namespace {

std::string truth(bool value) { return value ? "true" : "false"; }

// The host's state while the probe ran: its running command and its idle notifications.
std::string hostStateJson(const HostProfile& p) {
    const RunningCommand& c = p.runningCommand;
    std::string out = "  \"runningCommand\": {\"asked\": " + truth(c.asked) + ", \"failure\": " + jsonString(c.failure) +
                      ", \"id\": " + std::to_string(c.id) + ", \"title\": " + jsonString(c.title) +
                      ", \"active\": " + truth(c.active) + "},\n";
    out += std::string("  \"idle\": {\"subscription\": \"") + nameOf(kIdleSubscriptions, p.idle.subscription) +
           "\", \"failure\": " + jsonString(p.idle.failure) + ", \"perSecond\": " + std::to_string(p.idle.perSecond) +
           "},\n";
    return out;
}

} // namespace

std::string findingOf(const HostProfile& p, const std::string& question) {
    for (const Finding& f : p.findings) {
        if (f.question == question) {
            return f.answer;
        }
    }
    return {};
}

std::string documentEventsToJson(const DocumentEvents& e) {
    std::string out = std::string("{\"subscription\": \"") + nameOf(kDocSubscriptions, e.subscription) + "\"";
    if (!e.adviseAnswer.empty()) {
        out += ", \"adviseAnswer\": " + jsonString(e.adviseAnswer);
    }
    out += std::string(", \"saveTested\": ") + (e.saveTested ? "true" : "false") + ", \"saveNotifications\": [";
    for (std::size_t i = 0; i < e.saveNotifications.size(); ++i) {
        out += (i == 0 ? "" : ", ") + std::to_string(e.saveNotifications[i]);
    }
    out += "]";
    if (!e.saveError.empty()) {
        out += ", \"saveError\": " + jsonString(e.saveError);
    }
    return out + "}";
}

std::string profileToJson(const HostProfile& p) {
    std::string out = "{\n  \"format\": \"tarvenix-hostprofile\",\n  \"version\": 1,\n";
    out += "  \"revision\": " + jsonString(p.revision) + ",\n";
    out += std::string("  \"wrote\": ") + (p.wrote ? "true" : "false") + ",\n";
    out += std::string("  \"nameScope\": \"") + nameOf(kNameScopes, p.nameScope) + "\",\n";
    out += std::string("  \"duplicateInOwnerAccepted\": ") + (p.duplicateInOwnerAccepted ? "true" : "false") + ",\n";
    out += std::string("  \"otherSheetName\": \"") + nameOf(kOtherSheetNames, p.otherSheetName) + "\",\n";
    out += std::string("  \"undo\": \"") + nameOf(kUndoAnswers, p.undo) + "\",\n";
    out += "  \"writeError\": " + jsonString(p.writeError) + ",\n";
    out += "  \"drawingChanges\": [";
    for (std::size_t i = 0; i < p.drawingChanges.size(); ++i) {
        out += (i == 0 ? "\n    " : ",\n    ") + jsonString(p.drawingChanges[i]);
    }
    out += p.drawingChanges.empty() ? "],\n" : "\n  ],\n";
    out += hostStateJson(p);
    out += "  \"findings\": [";
    for (std::size_t i = 0; i < p.findings.size(); ++i) {
        out += (i == 0 ? "\n    " : ",\n    ") + std::string("{\"question\": ") + jsonString(p.findings[i].question) +
               ", \"answer\": " + jsonString(p.findings[i].answer) + "}";
    }
    out += p.findings.empty() ? "],\n" : "\n  ],\n";
    out += "  \"documentEvents\": " + documentEventsToJson(p.documentEvents) + ",\n";
    out += "  \"calls\": [";
    for (std::size_t i = 0; i < p.calls.size(); ++i) {
        const CallRecord& r = p.calls[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"label\": " + jsonString(r.label) + ", \"object\": " + jsonString(r.object) +
               ", \"operation\": " + jsonString(r.operation) + ", \"kind\": \"" + kindName(r.kind) +
               "\", \"standIn\": " + jsonString(r.standIn) + ",\n     \"answer\": " + jsonString(r.answer);
        const auto optional = [&out](const char* key, const std::string& value) {
            if (!value.empty()) {
                out += std::string(", \"") + key + "\": " + jsonString(value);
            }
        };
        optional("nothing", r.nothing);
        optional("emptyText", r.emptyText);
        optional("wholeElements", r.wholeElements);
        if (r.lower && r.upper) {
            out += ", \"lower\": " + std::to_string(*r.lower) + ", \"upper\": " + std::to_string(*r.upper);
        }
        optional("failure", r.failure);
        out += ", \"count\": " + std::to_string(r.count) + ", \"medianMs\": " + number(r.medianMs) + "}";
    }
    out += p.calls.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

StandInSwitches switchesFor(const HostProfile& profile) {
    StandInSwitches s;
    std::string integerForm = "i4";
    for (const KindForms& k : kKinds) {
        std::vector<std::pair<std::string, std::string>> seen; // operation, form
        for (const CallRecord& r : profile.calls) {
            if (r.kind == k.kind && r.failure.empty()) {
                if (std::string form = formOf(k.kind, r); !form.empty()) {
                    seen.emplace_back(r.operation, std::move(form));
                }
            }
        }
        if (seen.empty()) {
            continue;
        }
        const bool alike = std::all_of(seen.begin(), seen.end(), [&](const auto& e) { return e.second == seen[0].second; });
        if (alike) {
            if (seen[0].second != k.defaultForm) {
                s.answerForms.push_back(std::string(k.name) + "=" + seen[0].second);
            }
            if (k.kind == kInt) {
                integerForm = seen[0].second;
            }
            continue;
        }
        for (const auto& [operation, form] : seen) {
            const std::string rule = operation + ":" + k.name + "=" + form;
            if (form != k.defaultForm && std::find(s.answerForms.begin(), s.answerForms.end(), rule) == s.answerForms.end()) {
                s.answerForms.push_back(rule);
            }
        }
    }
    // An array of VARIANTs carries its whole numbers in the operation's integer form.
    for (const CallRecord& r : profile.calls) {
        if (r.kind == kArray && r.answer == "VT_ARRAY|VT_VARIANT" && !r.wholeElements.empty()) {
            CallRecord whole;
            whole.answer = r.wholeElements;
            const std::string form = formOf(kInt, whole);
            if (!form.empty() && form != integerForm) {
                s.answerForms.push_back(r.operation + ":int=" + form);
            }
        }
    }
    // One call that answers "nothing" in its own way does not outvote the others.
    std::vector<std::pair<std::string, int>> nothings; // form, calls, in the order first seen
    for (const CallRecord& r : profile.calls) {
        if (r.nothing.empty()) {
            continue;
        }
        const auto it = std::find_if(nothings.begin(), nothings.end(), [&](const auto& n) { return n.first == r.nothing; });
        if (it == nothings.end()) {
            nothings.emplace_back(r.nothing, 1);
        } else {
            ++it->second;
        }
    }
    if (!nothings.empty()) {
        s.emptyAs = emptyAsOf(std::max_element(nothings.begin(), nothings.end(), [](const auto& a, const auto& b) {
                                  return a.second < b.second;
                              })->first);
    }
    s.nameScope = profile.nameScope;
    s.undoCalls = undoCallsOf(profile);
    const IdleSubscription idle = profile.idle.subscription;
    s.refuseIdle = idle == IdleSubscription::Refused || idle == IdleSubscription::NoPoint;
    if (idle == IdleSubscription::Accepted) {
        s.idlePerSecond = profile.idle.perSecond;
    }
    const RunningCommand& command = profile.runningCommand;
    s.failRunningCommand = command.asked && !command.failure.empty();
    if (command.asked && command.failure.empty() && command.active) {
        s.openCommand = command;
    }
    const DocumentEvents& events = profile.documentEvents;
    s.refuseDocumentEvents =
        events.subscription == DocSubscription::Refused || events.subscription == DocSubscription::NotOffered;
    if (events.saveTested && events.saveError.empty()) {
        s.saveNotifications = events.saveNotifications;
    }
    replayedFindings(profile, s);
    return s;
}

namespace {

// The stand-in's idle notifications when its loop has nothing to do: one each 50 ms.
constexpr std::uint32_t kStandInIdlePerSecond = 20;

void hostStateLines(const HostProfile& p, std::vector<std::string>& lines) {
    const RunningCommand& c = p.runningCommand;
    if (c.asked && c.failure.empty()) {
        if (c.active) {
            lines.push_back("Laufender Befehl: ID " + std::to_string(c.id) + ", Seite „" + c.title +
                            "“ war während der Prüfung offen (Tarvenix ändert dann nichts)");
        } else {
            lines.push_back(c.id == 0 ? std::string("Laufender Befehl: keiner, wie erwartet")
                                      : "Laufender Befehl: keiner, ID " + std::to_string(c.id) + ", stand-in ID 0");
        }
    }
    switch (p.idle.subscription) {
    case IdleSubscription::Untried: break;
    case IdleSubscription::Accepted:
        lines.push_back(p.idle.perSecond == 0
                            ? "Leerlauf-Meldungen: angenommen, aber keine in einer Sekunde, stand-in bis zu " +
                                  std::to_string(kStandInIdlePerSecond)
                            : "Leerlauf-Meldungen: angenommen, " + std::to_string(p.idle.perSecond) + " in einer Sekunde");
        break;
    case IdleSubscription::Refused:
        lines.push_back("Leerlauf-Meldungen: abgelehnt (" + p.idle.failure + "), stand-in angenommen");
        break;
    case IdleSubscription::NoPoint:
        lines.push_back("Leerlauf-Meldungen: nicht angeboten (" + p.idle.failure + "), stand-in angenommen");
        break;
    }
}

// The stand-in takes only the 16-bit coordinates, which Tarvenix sends; it refuses the others.
std::string selectByIdLine(const std::string& form, const std::string& answer) {
    const bool standInTakes = form == "VT_I2";
    const bool taken = answer == "true" || answer == "false";
    const std::string line = "SelectByID mit Koordinaten als " + form + ": ";
    if (taken == standInTakes && answer != "false") {
        return line + (taken ? "wie erwartet" : "abgelehnt, wie erwartet");
    }
    return line + (taken ? "angenommen (" + answer + ")" : "abgelehnt (" + answer + ")") +
           (standInTakes ? ", stand-in angenommen (true)" : ", stand-in abgelehnt");
}

void findingLines(const HostProfile& p, std::vector<std::string>& lines) {
    if (const std::string listed = findingOf(p, kSheetViewNotes); !listed.empty()) {
        const std::string texts = findingOf(p, kSheetViewNoteTexts);
        lines.push_back("Notizen der Blattansicht: " + listed + " gelistet" + (texts.empty() ? "" : " (" + texts + ")") +
                        "; bitte prüfen, ob die Notizen des Blattformats darunter sind");
    }
    if (const std::string select = findingOf(p, kSheetNoteSelect); !select.empty()) {
        lines.push_back("Select2 auf eine Notiz der Blattansicht: " +
                        (select == "true" ? std::string("ausgewählt") : select == "false" ? "nicht ausgewählt (False)" : select));
    }
    if (const std::string kept = findingOf(p, kSelect2KeepsFirst); !kept.empty()) {
        const std::string line = "Select2(False, 0) auf ein zweites Element: ";
        lines.push_back(kept == "false"  ? line + "das erste abgewählt, wie erwartet"
                        : kept == "true" ? line + "das erste bleibt ausgewählt, stand-in abgewählt (Tarvenix löscht "
                                                  "nach Select2(False, 0) und erwartet dann nur dieses Element in der Auswahl)"
                                         : line + kept);
    }
    for (const char* question : kSelectByIdForms) {
        if (const std::string answer = findingOf(p, question); !answer.empty()) {
            lines.push_back(selectByIdLine(std::string(question).substr(std::string("SelectByID.").size()), answer));
        }
    }
    if (const std::string out = findingOf(p, kGroupDataOut); !out.empty()) {
        // The stand-in hands back the kept IDs as VT_ARRAY|VT_I4, or nothing with False.
        const bool expected = out == "True, Ausgabe VT_ARRAY|VT_I4" || out.rfind("False, ", 0) == 0;
        lines.push_back("GetGroupDataFromRegistry (Protokoll des Add-ins): " +
                        (out == kNotLogged ? out + " (das Add-in war auf diesem Rechner noch nicht verbunden)"
                                           : out + (expected ? ", wie erwartet" : ", stand-in VT_ARRAY|VT_I4")));
    }
    if (const std::string confirm = findingOf(p, kDeleteConfirm); !confirm.empty()) {
        lines.push_back(confirm == "none" ? std::string("Rückfrage bei DeleteSelection(True): keine, wie erwartet")
                                          : "Rückfrage bei DeleteSelection(True): " + confirm +
                                                ", stand-in keine (Tarvenix löscht ohne Rückfrage)");
    }
}

void documentEventLines(const DocumentEvents& e, std::vector<std::string>& lines) {
    switch (e.subscription) {
    case DocSubscription::Untried: return;
    case DocSubscription::Accepted: lines.push_back("Ereignisse der Zeichnung: wie erwartet"); break;
    case DocSubscription::Refused:
        lines.push_back("Ereignisse der Zeichnung: Anmeldung abgelehnt (" + e.adviseAnswer + "), stand-in angenommen");
        break;
    case DocSubscription::NotOffered:
        lines.push_back("Ereignisse der Zeichnung: nicht angeboten, stand-in angeboten");
        break;
    }
    if (!e.saveTested) {
        lines.push_back("Meldungen beim Speichern: nicht geprüft (nur mit --save-test)");
        return;
    }
    if (!e.saveError.empty()) {
        lines.push_back("Meldungen beim Speichern: nicht gespeichert: " + e.saveError);
        return;
    }
    std::string seen;
    for (const std::int32_t id : e.saveNotifications) {
        seen += (seen.empty() ? "" : ", ") + std::to_string(id);
    }
    lines.push_back(e.saveNotifications == std::vector<std::int32_t>{6, 26}
                        ? std::string("Meldungen beim Speichern: wie erwartet")
                        : "Meldungen beim Speichern: " + (seen.empty() ? std::string("keine") : seen) +
                              ", stand-in 6, 26");
}

} // namespace

std::vector<std::string> summaryLines(const HostProfile& p) {
    std::vector<std::string> lines;
    lines.push_back("Revision: " + (p.revision.empty() ? std::string("nicht gemeldet") : p.revision));
    const CallRecord* slowest = nullptr;
    for (const CallRecord& r : p.calls) {
        if (r.count == 0) {
            lines.push_back(r.label + ": nicht aufgerufen");
            continue;
        }
        if (!r.failure.empty()) {
            lines.push_back(r.label + ": Fehler " + r.failure + ", stand-in " + r.standIn);
            continue;
        }
        if (slowest == nullptr || r.medianMs > slowest->medianMs) {
            slowest = &r;
        }
        std::vector<std::string> points;
        if (!r.answer.empty() && r.answer != r.standIn) {
            points.push_back(r.answer + (r.wholeElements.empty() ? "" : " (ganze Zahlen " + r.wholeElements + ")") +
                             ", stand-in " + r.standIn);
        }
        if (!r.emptyText.empty() && r.emptyText != kStandInEmptyText) {
            points.push_back(std::string("leerer Text ") + r.emptyText + ", stand-in " + kStandInEmptyText);
        }
        if (!r.nothing.empty() && r.nothing != kStandInNothing) {
            points.push_back(std::string("leere Referenz ") + r.nothing + ", stand-in " + kStandInNothing);
        }
        if (isProperties(r) && r.lower && r.upper &&
            (*r.lower != kStandInPropertiesLower || *r.upper != kStandInPropertiesUpper)) {
            points.push_back("Grenzen " + std::to_string(*r.lower) + ".." + std::to_string(*r.upper) + ", stand-in " +
                             std::to_string(kStandInPropertiesLower) + ".." + std::to_string(kStandInPropertiesUpper));
        }
        if (points.empty()) {
            lines.push_back(r.label + ": wie erwartet");
        }
        for (const std::string& point : points) {
            lines.push_back(r.label + ": " + point);
        }
    }
    if (!p.wrote) {
        lines.push_back("Namensbereich: nicht geprüft (nur mit --write)");
    } else if (p.nameScope == NameScope::Unsettled) {
        lines.push_back("Namensbereich: nicht geklärt (kein benanntes Symbol in einer Zeichenansicht oder auf einem anderen Blatt)");
    } else if (p.nameScope == NameScope::Document) {
        lines.push_back("Namensbereich: Dokument, stand-in je Ansicht");
    } else {
        lines.push_back("Namensbereich: wie erwartet");
    }
    if (p.wrote) {
        if (p.otherSheetName == OtherSheetName::Untried) {
            lines.push_back("Name eines anderen Blatts: nicht geprüft (kein benanntes Symbol auf einem anderen Blatt)");
        } else {
            lines.push_back(p.otherSheetName == OtherSheetName::Refused ? "Name eines anderen Blatts: abgelehnt, stand-in angenommen"
                                                                        : "Name eines anderen Blatts: wie erwartet");
        }
    }
    if (p.duplicateInOwnerAccepted) {
        lines.push_back("Doppelter Name in derselben Ansicht: angenommen, stand-in abgelehnt");
    }
    if (p.wrote) {
        switch (p.undo) {
        case UndoAnswer::TookBack: lines.push_back("Rückgängig: wie erwartet"); break;
        case UndoAnswer::Kept:
            lines.push_back("Rückgängig: Einfügungen geblieben (einzeln gelöscht), stand-in ein Schritt");
            break;
        case UndoAnswer::Partly:
            lines.push_back("Rückgängig: nur zum Teil (Rest einzeln gelöscht), stand-in ein Schritt");
            break;
        case UndoAnswer::Untried:
            lines.push_back("Rückgängig: nicht versucht (Aufzeichnung nicht abgeschlossen), stand-in ein Schritt");
            break;
        }
    }
    hostStateLines(p, lines);
    findingLines(p, lines);
    if (!p.writeError.empty()) {
        lines.push_back("Schreiben abgebrochen: " + p.writeError);
    }
    if (p.wrote) {
        lines.push_back(p.drawingChanges.empty() ? "Zeichnung unverändert" : "Zeichnung verändert:");
        for (const std::string& change : p.drawingChanges) {
            lines.push_back("  " + change);
        }
    }
    documentEventLines(p.documentEvents, lines);
    if (slowest != nullptr) {
        lines.push_back("Langsamster Aufruf (Median): " + slowest->label + " " + millis(slowest->medianMs) + " ms");
    }
    return lines;
}

namespace {

// The points that differ, and whether Tarvenix has been tried against each: an answer form the
// stand-in can give is one the test suite runs whole runs against.
struct Differences {
    std::vector<std::string> tried;
    std::vector<std::string> untried;
    // A point untried in one way is untried, whatever else of it was tried.
    void add(const std::string& point, bool triedAgainst) {
        const auto in = [&](const std::vector<std::string>& list) {
            return std::find(list.begin(), list.end(), point) != list.end();
        };
        if (in(untried) || (triedAgainst && in(tried))) {
            return;
        }
        if (!triedAgainst) {
            tried.erase(std::remove(tried.begin(), tried.end(), point), tried.end());
        }
        (triedAgainst ? tried : untried).push_back(point);
    }
};

void callDifferences(const HostProfile& p, Differences& d) {
    const bool olderUndo = undoCallsOf(p) == UndoCalls::Older;
    for (const CallRecord& r : p.calls) {
        if (r.count == 0) {
            continue;
        }
        if (!r.failure.empty()) {
            // An older host's Undo recording: Tarvenix then uses the one-argument finish. Without
            // the running command's answer it goes on as if none ran, and its log says so.
            d.add(r.label, (olderUndo && r.label == "FinishRecordingUndoObject2") || r.label == "GetRunningCommandInfo");
            continue;
        }
        if (!r.answer.empty() && r.answer != r.standIn) {
            d.add(r.label, r.kind != kText && !formOf(r.kind, r).empty());
        }
        if (!r.emptyText.empty() && r.emptyText != kStandInEmptyText) {
            d.add(r.label, !formOf(kText, r).empty());
        }
        if (!r.nothing.empty() && r.nothing != kStandInNothing) {
            d.add(r.label, !emptyAsOf(r.nothing).empty());
        }
        if (!r.wholeElements.empty()) {
            CallRecord whole;
            whole.answer = r.wholeElements;
            d.add(r.label, !formOf(kInt, whole).empty());
        }
        if (isProperties(r) && r.lower && r.upper &&
            (*r.lower != kStandInPropertiesLower || *r.upper != kStandInPropertiesUpper)) {
            d.add(r.label, false);
        }
    }
}

// Without the idle subscription Tarvenix works on its own messages, as the stand-in's refusal
// tries it; an accepted subscription that never notifies has not been tried.
void hostStateDifferences(const HostProfile& p, Differences& d) {
    const IdleSubscription idle = p.idle.subscription;
    if (idle == IdleSubscription::Refused || idle == IdleSubscription::NoPoint) {
        d.add("Leerlauf-Meldungen", true);
    } else if (idle == IdleSubscription::Accepted && p.idle.perSecond == 0) {
        d.add("Leerlauf-Meldungen", false);
    }
    // Tarvenix sends SelectByID's coordinates as 16-bit integers and deletes without a question.
    if (const std::string i2 = findingOf(p, kSelectByIdForms[0]); !i2.empty() && i2 != "true") {
        d.add("SelectByID VT_I2", false);
    }
    if (const std::string confirm = findingOf(p, kDeleteConfirm); !confirm.empty() && confirm != "none") {
        d.add("Rückfrage bei DeleteSelection", false);
    }
    // Tarvenix never relies on Select2(False, 0) keeping what was selected; it does rely on it
    // replacing the selection where it takes back an insertion right after selecting a sheet point.
    if (findingOf(p, kSelect2KeepsFirst) == "true") {
        d.add("Select2(False, 0) behält die Auswahl", false);
    }
    // IDs the add-in cannot read: it drops the user's own arrangement of its tab at every start.
    if (findingOf(p, kGroupDataOut).find("(keine ganzen Zahlen)") != std::string::npos) {
        d.add("GetGroupDataFromRegistry", false);
    }
}

void writingDifferences(const HostProfile& p, Differences& d) {
    if (!p.wrote) {
        return;
    }
    if (p.nameScope == NameScope::Document) {
        d.add("Namensbereich", true);
    }
    if (p.otherSheetName == OtherSheetName::Refused) {
        d.add("Name eines anderen Blatts", false);
    }
    if (p.duplicateInOwnerAccepted) {
        d.add("Doppelter Name", false);
    }
    if (p.undo != UndoAnswer::TookBack) {
        d.add("Rückgängig", false);
    }
    if (!p.writeError.empty()) {
        d.add("Schreiben abgebrochen", false);
    }
    if (!p.drawingChanges.empty()) {
        d.add("Zeichnung verändert", false);
    }
}

std::string joined(const std::vector<std::string>& points) {
    constexpr std::size_t kNamed = 8;
    std::string text;
    for (std::size_t i = 0; i < points.size() && i < kNamed; ++i) {
        text += (i == 0 ? "" : ", ") + points[i];
    }
    if (points.size() > kNamed) {
        text += " und " + std::to_string(points.size() - kNamed) + " weitere";
    }
    return text;
}

} // namespace

std::string verdictLine(const HostProfile& p) {
    Differences d;
    callDifferences(p, d);
    hostStateDifferences(p, d);
    writingDifferences(p, d);
    if (!d.untried.empty()) {
        std::vector<std::string> all = d.untried;
        all.insert(all.end(), d.tried.begin(), d.tried.end());
        return "Abweichung bei " + joined(all) + ": so antwortet kein geprüfter Host; Tarvenix bitte noch nicht "
               "verteilen und die Datei an die Entwickler senden.";
    }
    if (!d.tried.empty()) {
        return "Abweichung bei " + joined(d.tried) + ": Tarvenix ist gegen diese Antworten geprüft und kann verteilt "
               "werden; die Datei bitte trotzdem an die Entwickler senden.";
    }
    if (!p.wrote) {
        return "Keine Abweichung beim Lesen; das Schreiben ist ungeprüft: vor dem Verteilen bitte auch "
               "„tvx-hostprobe --write“ aufrufen.";
    }
    return "Keine Abweichung: Tarvenix kann verteilt werden.";
}

} // namespace tvx::hostprofile
