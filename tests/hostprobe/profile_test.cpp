// hostprofile.json: what a probe recorded survives writing and reading, turns into exactly the
// stand-in switches that answer alike, and the summary names every difference; a broken file
// is refused with its place named.
#include "tools/hostprofile/profile_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tvx::hostprofile {
namespace {

// Every reading call answered as the stand-in answers by default.
HostProfile standInAnswers() {
    HostProfile p;
    p.revision = "0.0.0";
    for (const ProbedCall& call : readingCalls()) {
        CallRecord r = recordFor(call);
        r.answer = call.standIn;
        r.count = 5;
        r.medianMs = 0.25;
        p.calls.push_back(r);
    }
    return p;
}

CallRecord& call(HostProfile& p, const std::string& label) {
    const auto it = std::find_if(p.calls.begin(), p.calls.end(), [&](const CallRecord& r) { return r.label == label; });
    if (it == p.calls.end()) {
        throw std::logic_error("no call " + label);
    }
    return *it;
}

bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(HostProfile, AHostAnsweringOtherwiseIsNamedAndTurnsIntoTheSwitchesThatAnswerAlike) {
    HostProfile same = standInAnswers();
    for (const ProbedCall& c : writingCalls()) {
        CallRecord r = recordFor(c);
        r.answer = c.standIn;
        r.count = 1;
        same.calls.push_back(r);
    }
    call(same, "GetText(2)").emptyText = "VT_BSTR";
    call(same, "GetNext").nothing = "VT_DISPATCH null";
    call(same, "GetProperties").lower = 0;
    call(same, "GetProperties").upper = 6;
    same.wrote = true;
    same.nameScope = NameScope::Owner;
    same.otherSheetName = OtherSheetName::Accepted;
    same.undo = UndoAnswer::TookBack;
    same.runningCommand.asked = true;
    same.idle = {IdleSubscription::Accepted, "", 18};
    same.findings = {{kSelect2KeepsFirst, "false"}};
    const StandInSwitches none = switchesFor(same);
    EXPECT_TRUE(none.answerForms.empty());
    EXPECT_EQ(none.emptyAs, "dispatch");
    EXPECT_EQ(none.nameScope, NameScope::Owner);
    EXPECT_EQ(none.undoCalls, UndoCalls::Current);
    EXPECT_FALSE(none.refuseIdle);
    EXPECT_EQ(none.idlePerSecond, 18u);
    EXPECT_FALSE(none.openCommand || none.failRunningCommand);
    EXPECT_TRUE(has(summaryLines(same), "Laufender Befehl: keiner, wie erwartet"));
    for (const std::string& line : summaryLines(same)) {
        SCOPED_TRACE(line);
        EXPECT_TRUE(line.find("stand-in") == std::string::npos) << "a difference where there is none";
    }
    EXPECT_TRUE(has(summaryLines(same), "GetType: wie erwartet"));
    EXPECT_TRUE(has(summaryLines(same), "Zeichnung unverändert"));
    EXPECT_TRUE(has(summaryLines(same), "Rückgängig: wie erwartet"));
    EXPECT_TRUE(has(summaryLines(same), "EditUndo2: wie erwartet"));
    EXPECT_TRUE(has(summaryLines(same), "Select2(False, 0) auf ein zweites Element: das erste abgewählt, wie erwartet"));
    EXPECT_FALSE(none.select2KeepsSelection);
    EXPECT_EQ(verdictLine(same), "Keine Abweichung: Tarvenix kann verteilt werden.");
    // Reading alone settles nothing of writing; a form the stand-in plays is one Tarvenix is tried
    // against; an older host's Undo recording too.
    HostProfile readOnly = standInAnswers();
    EXPECT_EQ(verdictLine(readOnly).rfind("Keine Abweichung beim Lesen; das Schreiben ist ungeprüft", 0), 0u);
    call(readOnly, "GetType").answer = "VT_I2";
    call(readOnly, "GetText(2)").emptyText = "VT_EMPTY";
    EXPECT_EQ(verdictLine(readOnly), "Abweichung bei GetType, GetText(2): Tarvenix ist gegen diese Antworten geprüft "
                                     "und kann verteilt werden; die Datei bitte trotzdem an die Entwickler senden.");
    HostProfile older = same;
    call(older, "FinishRecordingUndoObject2").failure = "DISP_E_UNKNOWNNAME (0x80020006)";
    call(older, "FinishRecordingUndoObject").count = 1;
    EXPECT_EQ(verdictLine(older).rfind("Abweichung bei FinishRecordingUndoObject2: Tarvenix ist gegen", 0), 0u)
        << verdictLine(older);

    HostProfile other = standInAnswers();
    call(other, "GetType").answer = "VT_I2";
    call(other, "GetSymbolType").answer = "VT_I2";
    call(other, "GetHWnd").answer = "VT_I2";
    call(other, "GetUserPreferenceToggle").answer = "VT_I4";
    call(other, "ActivateSheet").answer = "VT_I4";
    // Sheet names have bounds too; only the properties' bounds are compared.
    call(other, "GetSheetNames").lower = 1;
    call(other, "GetSheetNames").upper = 1;
    call(other, "GetText(2)").emptyText = "VT_BSTR null";
    call(other, "GetProperties").answer = "VT_ARRAY|VT_VARIANT";
    call(other, "GetProperties").wholeElements = "VT_I4";
    call(other, "GetProperties").lower = 1;
    call(other, "GetProperties").upper = 7;
    call(other, "GetFirstView").answer = "VT_UNKNOWN";
    call(other, "GetNextView").nothing = "VT_EMPTY";
    call(other, "GetNext").nothing = "VT_EMPTY";
    // One call answering "nothing" otherwise, ahead of the others, does not decide.
    call(other, "Frame").nothing = "VT_DISPATCH null";
    call(other, "RevisionNumber").failure = "0x80020006 DISP_E_UNKNOWNNAME";
    call(other, "RevisionNumber").answer.clear();
    // A host without the Undo recording: its first call is a name it does not know.
    CallRecord start = recordFor(*std::find_if(writingCalls().begin(), writingCalls().end(), [](const ProbedCall& c) {
        return std::string(c.label) == "StartRecordingUndoObject";
    }));
    start.failure = "DISP_E_UNKNOWNNAME (0x80020006)";
    start.count = 1;
    other.calls.push_back(start);
    other.revision.clear();
    other.wrote = true;
    other.nameScope = NameScope::Document;
    other.otherSheetName = OtherSheetName::Refused;
    other.undo = UndoAnswer::Kept;
    other.drawingChanges = {"neu: Blatt \"Blatt1\", Ansicht 1, Notiz 2: Name \"TvxProbe_Notiz\", Text \"TvxProbe\""};
    // The administrator left a command of the host's open; the host takes no subscription.
    other.runningCommand = {true, "", 7, "Bohrung \"M6\"", true};
    other.idle = {IdleSubscription::Refused, "CONNECT_E_ADVISELIMIT (0x80040201)", 0};
    // The host wants Doubles where Tarvenix sends 16-bit integers, and asks before deleting.
    other.findings = {{kSheetViewNotes, "2"}, {kSheetViewNoteTexts, "„Maßstab 1:1“, „Blatt 1“"},
                      {kSheetNoteSelect, "false"}, {"SelectByID.VT_I2", "DISP_E_TYPEMISMATCH (0x80020005)"},
                      {"SelectByID.VT_I4", "true"}, {"SelectByID.VT_R8", "true"},
                      {kDeleteConfirm, "Fenster „Löschen bestätigen“ (#32770)"}, {kSelect2KeepsFirst, "true"},
                      {kGroupDataOut, "True, Ausgabe VT_ARRAY|VT_BSTR (keine ganzen Zahlen)"}};
    other.documentEvents = {DocSubscription::Refused, "CONNECT_E_CANNOTCONNECT (0x80040202)", true, {6, 23, 26}, ""};

    const std::string written = profileToJson(other);
    const HostProfile read = parseProfile(written);
    EXPECT_EQ(profileToJson(read), written);
    EXPECT_EQ(read.calls.size(), readingCalls().size() + 1);
    EXPECT_EQ(read.drawingChanges, other.drawingChanges);
    EXPECT_EQ(read.otherSheetName, OtherSheetName::Refused);
    EXPECT_EQ(read.undo, UndoAnswer::Kept);
    EXPECT_EQ(read.runningCommand.title, "Bohrung \"M6\"");
    EXPECT_EQ(read.idle.failure, "CONNECT_E_ADVISELIMIT (0x80040201)");
    EXPECT_EQ(findingOf(read, kDeleteConfirm), "Fenster „Löschen bestätigen“ (#32770)");
    EXPECT_EQ(read.documentEvents.subscription, DocSubscription::Refused);
    EXPECT_EQ(read.documentEvents.saveNotifications, (std::vector<std::int32_t>{6, 23, 26}));

    // Integers alike everywhere become one rule; one object answered otherwise only its own.
    const StandInSwitches s = switchesFor(read);
    EXPECT_EQ(s.answerForms, (std::vector<std::string>{"int=i2", "bool=i4", "text=null", "array=variant",
                                                       "GetFirstView:object=unknown", "GetProperties:int=i4"}));
    EXPECT_EQ(s.emptyAs, "empty");
    EXPECT_EQ(s.nameScope, NameScope::Document);
    EXPECT_EQ(s.undoCalls, UndoCalls::None);
    EXPECT_TRUE(s.refuseIdle);
    EXPECT_FALSE(s.idlePerSecond);
    ASSERT_TRUE(s.openCommand);
    EXPECT_EQ(s.openCommand->id, 7);
    EXPECT_EQ(s.openCommand->title, "Bohrung \"M6\"");
    EXPECT_TRUE(s.refuseDocumentEvents);
    EXPECT_EQ(s.saveNotifications, (std::vector<std::int32_t>{6, 23, 26}));
    // The open questions, as the stand-in plays them: the coordinate forms taken, Select2 keeping
    // the selection, the question before deleting, the kept IDs' form.
    EXPECT_EQ(s.coordinateForms, (std::vector<std::string>{"VT_I4", "VT_R8"}));
    EXPECT_TRUE(s.select2KeepsSelection);
    EXPECT_TRUE(s.confirmDeletion);
    EXPECT_EQ(s.keptIdsForm, "VT_ARRAY|VT_BSTR");
    EXPECT_EQ(s.sheetViewNoteTexts, (std::vector<std::string>{"Maßstab 1:1", "Blatt 1"}));
    EXPECT_EQ(s.sheetNoteSelect, "false");
    EXPECT_FALSE(switchesFor(standInAnswers()).coordinateForms) << "no question asked: the stand-in's own forms";

    const std::vector<std::string> lines = summaryLines(read);
    for (const char* expected : {"Revision: nicht gemeldet", "GetType: VT_I2, stand-in VT_I4",
                                 "GetUserPreferenceToggle: VT_I4, stand-in VT_BOOL",
                                 "GetText(2): leerer Text VT_BSTR null, stand-in VT_BSTR",
                                 "GetProperties: VT_ARRAY|VT_VARIANT (ganze Zahlen VT_I4), stand-in VT_ARRAY|VT_R8",
                                 "GetProperties: Grenzen 1..7, stand-in 0..6",
                                 "GetNextView: leere Referenz VT_EMPTY, stand-in VT_DISPATCH null",
                                 "RevisionNumber: Fehler 0x80020006 DISP_E_UNKNOWNNAME, stand-in VT_BSTR",
                                 "Namensbereich: Dokument, stand-in je Ansicht", "Zeichnung verändert:",
                                 "Ereignisse der Zeichnung: Anmeldung abgelehnt (CONNECT_E_CANNOTCONNECT (0x80040202)), stand-in angenommen",
                                 "Meldungen beim Speichern: 6, 23, 26, stand-in 6, 26",
                                 "Name eines anderen Blatts: abgelehnt, stand-in angenommen",
                                 "Rückgängig: Einfügungen geblieben (einzeln gelöscht), stand-in ein Schritt",
                                 "GetCurrentSheet: wie erwartet", "GetSheetNames: wie erwartet",
                                 "Laufender Befehl: ID 7, Seite „Bohrung \"M6\"“ war während der Prüfung offen (Tarvenix ändert dann nichts)",
                                 "Leerlauf-Meldungen: abgelehnt (CONNECT_E_ADVISELIMIT (0x80040201)), stand-in angenommen",
                                 "Notizen der Blattansicht: 2 gelistet („Maßstab 1:1“, „Blatt 1“); bitte prüfen, ob die "
                                 "Notizen des Blattformats darunter sind",
                                 "Select2 auf eine Notiz der Blattansicht: nicht ausgewählt (False)",
                                 "SelectByID mit Koordinaten als VT_I2: abgelehnt (DISP_E_TYPEMISMATCH (0x80020005)), "
                                 "stand-in angenommen (true)",
                                 "SelectByID mit Koordinaten als VT_R8: angenommen (true), stand-in abgelehnt",
                                 "Select2(False, 0) auf ein zweites Element: das erste bleibt ausgewählt, stand-in "
                                 "abgewählt (Tarvenix löscht nach Select2(False, 0) und erwartet dann nur dieses Element "
                                 "in der Auswahl)",
                                 "Rückfrage bei DeleteSelection(True): Fenster „Löschen bestätigen“ (#32770), stand-in keine "
                                 "(Tarvenix löscht ohne Rückfrage)",
                                 "GetGroupDataFromRegistry (Protokoll des Add-ins): True, Ausgabe VT_ARRAY|VT_BSTR (keine "
                                 "ganzen Zahlen), stand-in VT_ARRAY|VT_I4"}) {
        EXPECT_TRUE(has(lines, expected)) << "missing: " << expected;
    }
    EXPECT_FALSE(has(lines, "GetType: wie erwartet"));
    // A call that failed, bounds and a name refused across sheets: not tried; every point named.
    const std::string verdict = verdictLine(read);
    EXPECT_EQ(verdict.rfind("Abweichung bei RevisionNumber, GetProperties, StartRecordingUndoObject, SelectByID VT_I2, "
                            "Rückfrage bei DeleteSelection, Select2(False, 0) behält die Auswahl, "
                            "GetGroupDataFromRegistry, Name eines anderen Blatts und ", 0), 0u) << verdict;
    EXPECT_NE(verdict.find(" und "), std::string::npos) << "more than eight points, the rest counted";
    EXPECT_NE(verdict.find("Tarvenix bitte noch nicht verteilen"), std::string::npos);
}

TEST(HostProfile, ABrokenFileIsRefusedWithItsPlaceNamed) {
    const std::string good = profileToJson(standInAnswers());
    const auto edited = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const auto at = text.find(from);
        if (at == std::string::npos) {
            throw std::logic_error("not in the profile: " + from);
        }
        return text.replace(at, from.size(), to);
    };
    const struct {
        const char* name;
        std::string text;
        const char* message;
    } cases[] = {
        {"not JSON", good.substr(0, good.size() / 2), "not readable"},
        {"another file", edited("tarvenix-hostprofile", "drawing"), "format: expected"},
        {"a later version", edited("\"version\": 1", "\"version\": 2"), "only version 1"},
        {"unknown scope", edited("\"unsettled\"", "\"sheet\""), "nameScope: expected"},
        {"unknown kind", edited("\"kind\": \"int\"", "\"kind\": \"long\""), ".kind: expected"},
        {"an operation that would smuggle in a rule", edited("\"operation\": \"GetType\"", "\"operation\": \"GetType:int=bstr\""),
         ".operation: expected"},
        {"negative count", edited("\"count\": 5", "\"count\": -5"), ".count: out of range"},
        {"unknown key", edited("\"answer\":", "\"answers\":"), "unknown key \"answers\""},
        {"count as text", edited("\"count\": 5", "\"count\": \"5\""), ".count: expected a whole number"},
        {"unknown Undo answer", edited("\"undo\": \"untried\"", "\"undo\": \"maybe\""), "undo: expected"},
        {"unknown subscription answer", edited("\"subscription\": \"untried\"", "\"subscription\": \"later\""),
         "subscription: expected"},
        {"idle notifications counted below zero", edited("\"perSecond\": 0", "\"perSecond\": -1"),
         "idle.perSecond: out of range"},
        {"a running command's id as text", edited("\"id\": 0", "\"id\": \"0\""), "runningCommand.id: expected a whole number"},
        {"the host's state as a list", edited("\"idle\": {", "\"idle\": [{"), "not readable"},
        {"findings as an object", edited("\"findings\": []", "\"findings\": {}"), "findings: expected a list"},
        {"a finding without its answer", edited("\"findings\": []", "\"findings\": [{\"question\": \"x\"}]"),
         "findings[0]: \"answer\" is missing"},
        {"a notification that is no DISPID", edited("\"saveNotifications\": []", "\"saveNotifications\": [0]"),
         "saveNotifications[0]: out of range"},
    };
    // A profile written before other sheets and the Undo were probed is read as "untried".
    // So is one written before the host's running command and idle notifications were asked.
    std::string olderText = good;
    for (const char* key : {"otherSheetName", "undo", "runningCommand", "idle", "findings"}) {
        const auto at = olderText.find(std::string("  \"") + key + "\": ");
        ASSERT_NE(at, std::string::npos) << key;
        olderText.erase(at, olderText.find('\n', at) + 1 - at);
    }
    const HostProfile older = parseProfile(olderText);
    EXPECT_FALSE(older.runningCommand.asked);
    EXPECT_EQ(older.idle.subscription, IdleSubscription::Untried);
    EXPECT_TRUE(older.findings.empty());
    EXPECT_EQ(older.otherSheetName, OtherSheetName::Untried);
    EXPECT_EQ(older.undo, UndoAnswer::Untried);
    EXPECT_EQ(parseProfile(edited("  \"documentEvents\": {\"subscription\": \"untried\", \"saveTested\": false, "
                                  "\"saveNotifications\": []},\n",
                                  ""))
                  .documentEvents.subscription,
              DocSubscription::Untried);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            parseProfile(c.text);
            ADD_FAILURE() << "read";
        } catch (const ProfileError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

} // namespace
} // namespace tvx::hostprofile
