// What a host answered, call by call, as tvx-hostprobe records it in hostprofile.json, and what
// follows from it: the stand-in's switches that answer alike, and the summary for the
// administrator. Portable: the probe writes it, the stand-in and the tests read it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tvx::hostprofile {

// The kinds of answer the stand-in can shape (its --answer-form kinds), and the answer of a
// call that gives none (a Sub).
enum class AnswerKind { Integer, Boolean, Text, Array, Object, None };

const char* kindName(AnswerKind kind);
std::optional<AnswerKind> kindFromName(const std::string& name);

// A call the probe makes, with what the stand-in answers by default.
struct ProbedCall {
    const char* label;     // shown in the summary
    const char* object;    // the host object's kind
    const char* operation; // the stand-in's name for it
    AnswerKind kind;
    const char* standIn;   // VARTYPE of the stand-in's ordinary answer
};

// Every call of the host-call table that only reads, in the order the probe makes them (with
// ActivateSheet, which reading makes to visit every sheet), then the calls --write makes.
const std::vector<ProbedCall>& readingCalls();
const std::vector<ProbedCall>& writingCalls();

// How the stand-in answers "nothing" (an empty object reference), an empty text, and the
// bounds of the sheet's properties.
inline constexpr char kStandInNothing[] = "VT_DISPATCH null";
inline constexpr char kStandInEmptyText[] = "VT_BSTR";
inline constexpr std::int32_t kStandInPropertiesLower = 0;
inline constexpr std::int32_t kStandInPropertiesUpper = 6;

struct CallRecord {
    std::string label;
    std::string object;
    std::string operation;
    AnswerKind kind = AnswerKind::Integer;
    std::string standIn;
    std::string answer;        // VARTYPE of the first ordinary answer; empty when none came
    std::string nothing;       // how an empty reference came, when one came
    std::string emptyText;     // how an empty string came, when one came: VT_BSTR, VT_BSTR null, VT_EMPTY
    std::string wholeElements; // an array of VARIANTs: the type its whole numbers came in
    std::optional<std::int32_t> lower; // an array's bounds
    std::optional<std::int32_t> upper;
    std::string failure;       // the HRESULT of a failed call, "0x80020006 DISP_E_UNKNOWNNAME"
    std::uint32_t count = 0;   // calls made
    double medianMs = 0.0;
};

enum class NameScope { Unsettled, Owner, Document };

// Whether the probe's symbol took a name already used on another sheet.
enum class OtherSheetName { Untried, Accepted, Refused };

// What one Undo did to the probe's inserts, recorded as one Undo step of its own.
enum class UndoAnswer { Untried, TookBack, Partly, Kept };

// What GetRunningCommandInfo wrote through its three references while the probe ran.
struct RunningCommand {
    bool asked = false;
    std::string failure; // the HRESULT of a failed call; the values then mean nothing
    std::int32_t id = 0;
    std::string title;
    bool active = false;
};

// Whether the application's connection point took the probe's idle subscription.
enum class IdleSubscription { Untried, Accepted, Refused, NoPoint };

struct IdleAnswer {
    IdleSubscription subscription = IdleSubscription::Untried;
    std::string failure;        // Advise's HRESULT when refused
    std::uint32_t perSecond = 0; // idle notifications in the second the probe waited
};

// An answer to one of the open questions only a real host settles, by its question's name:
// kSelectByIdForms' names ("true", "false" or the failure), kSheetViewNotes (how many notes the
// sheet's own view listed), kSheetViewNoteTexts (the first of their texts), kSheetNoteSelect
// (Select2 on one of them), kDeleteConfirm ("none", or the window the host showed),
// kSelect2KeepsFirst ("true" when Select2(False, 0) on a second item left the first selected,
// "false" when it did not, or what stopped the question), kGroupDataOut.
struct Finding {
    std::string question;
    std::string answer;
};
inline constexpr const char* kSelectByIdForms[] = {"SelectByID.VT_I2", "SelectByID.VT_I4", "SelectByID.VT_R8"};
inline constexpr char kSheetViewNotes[] = "sheetViewNotes";
inline constexpr char kSheetViewNoteTexts[] = "sheetViewNoteTexts";
inline constexpr char kSheetNoteSelect[] = "sheetNoteSelect2";
inline constexpr char kDeleteConfirm[] = "DeleteSelection.confirm";
inline constexpr char kSelect2KeepsFirst[] = "Select2.keepsFirst";
// As the add-in logged it at its last connection: "True, Ausgabe VT_ARRAY|VT_I4", or not logged.
inline constexpr char kGroupDataOut[] = "GetGroupDataFromRegistry.out";
inline constexpr char kNotLogged[] = "nicht im Protokoll";

// Whether the active drawing took a sink on its event interface, and, only when the probe was told
// to save it (--save-test), which notifications (their DISPIDs, in order) that save sent.
enum class DocSubscription { Untried, Accepted, Refused, NotOffered };
struct DocumentEvents {
    DocSubscription subscription = DocSubscription::Untried;
    std::string adviseAnswer; // the HRESULT of a refused Advise
    bool saveTested = false;
    std::vector<std::int32_t> saveNotifications;
    std::string saveError; // why the test save failed; empty when it did not
};

struct HostProfile {
    std::string revision; // the host's revision number; empty when it gave none
    bool wrote = false;   // the writing part ran
    NameScope nameScope = NameScope::Unsettled;
    // A name already used in the same view was taken as well: the host keeps no names unique.
    bool duplicateInOwnerAccepted = false;
    OtherSheetName otherSheetName = OtherSheetName::Untried;
    UndoAnswer undo = UndoAnswer::Untried;
    std::vector<CallRecord> calls;
    // Why writing stopped early; empty when it ran through.
    std::string writeError;
    // What differed in the drawing after writing; empty when it was unchanged.
    std::vector<std::string> drawingChanges;
    RunningCommand runningCommand;
    IdleAnswer idle;
    std::vector<Finding> findings;
    DocumentEvents documentEvents;
};

// The answer to a question; empty when it was not asked.
std::string findingOf(const HostProfile& profile, const std::string& question);

// A record for a call of the tables above, nothing observed yet.
CallRecord recordFor(const ProbedCall& call);

// The names hostprofile.json gives them; the first of each list is what a profile without the
// key means.
template <class E>
struct Named {
    E value;
    const char* name;
};
inline constexpr Named<NameScope> kNameScopes[] = {
    {NameScope::Unsettled, "unsettled"}, {NameScope::Owner, "owner"}, {NameScope::Document, "document"}};
inline constexpr Named<OtherSheetName> kOtherSheetNames[] = {
    {OtherSheetName::Untried, "untried"}, {OtherSheetName::Accepted, "accepted"}, {OtherSheetName::Refused, "refused"}};
inline constexpr Named<DocSubscription> kDocSubscriptions[] = {{DocSubscription::Untried, "untried"},
                                                                {DocSubscription::Accepted, "accepted"},
                                                                {DocSubscription::Refused, "refused"},
                                                                {DocSubscription::NotOffered, "notOffered"}};
inline constexpr Named<UndoAnswer> kUndoAnswers[] = {{UndoAnswer::Untried, "untried"},
                                                     {UndoAnswer::TookBack, "tookBack"},
                                                     {UndoAnswer::Partly, "partly"},
                                                     {UndoAnswer::Kept, "kept"}};
inline constexpr Named<IdleSubscription> kIdleSubscriptions[] = {{IdleSubscription::Untried, "untried"},
                                                                 {IdleSubscription::Accepted, "accepted"},
                                                                 {IdleSubscription::Refused, "refused"},
                                                                 {IdleSubscription::NoPoint, "noPoint"}};

template <class E, std::size_t N>
const char* nameOf(const Named<E> (&names)[N], E value) {
    for (const Named<E>& n : names) {
        if (n.value == value) {
            return n.name;
        }
    }
    return names[0].name;
}

// hostprofile.json as UTF-8 text.
std::string profileToJson(const HostProfile& profile);
// The value of its "documentEvents" key, one line.
std::string documentEventsToJson(const DocumentEvents& events);

// Which Undo recording calls the host knew: all, only the one-argument finish, none.
enum class UndoCalls { Unknown, Current, Older, None };

// The stand-in's switches that answer as the host did: --answer-form rules, --empty-as, the
// drawing's name scope and the Undo calls it knows. A kind nothing was observed for keeps the
// stand-in's default.
struct StandInSwitches {
    std::vector<std::string> answerForms;
    std::string emptyAs; // empty: the default
    NameScope nameScope = NameScope::Unsettled;
    UndoCalls undoCalls = UndoCalls::Unknown;
    // The application's events: refused, or how many idle notifications a second.
    bool refuseIdle = false;
    std::optional<std::uint32_t> idlePerSecond;
    // A command of the host's that was running, played from the start; or the call refused.
    std::optional<RunningCommand> openCommand;
    bool failRunningCommand = false;
    // The drawing's event subscription refused (or not offered), and what a save sends; none: the
    // stand-in's own (6, then 26).
    bool refuseDocumentEvents = false;
    std::optional<std::vector<std::int32_t>> saveNotifications;
    // The open questions' answers (findings). The forms of SelectByID's coordinates the host took
    // ("VT_I2", "VT_I4", "VT_R8"); none asked: the stand-in's own.
    std::optional<std::vector<std::string>> coordinateForms;
    bool select2KeepsSelection = false;
    bool confirmDeletion = false;
    // GetGroupDataFromRegistry's out parameter ("VT_ARRAY|VT_I2"); empty: the stand-in's own.
    std::string keptIdsForm;
    // The texts of the notes the sheet's own view listed (the first five), for the stand-in to list
    // those its drawing does not hold as the sheet format's; what Select2 answered on one.
    std::vector<std::string> sheetViewNoteTexts;
    std::string sheetNoteSelect;
};
StandInSwitches switchesFor(const HostProfile& profile);

// One line per point: "GetType: VT_I2, stand-in VT_I4", or "GetType: wie erwartet". UTF-8.
std::vector<std::string> summaryLines(const HostProfile& profile);

// The report's last line, in German: no difference, and Tarvenix can be rolled out; or which
// points differ and whether Tarvenix has been tried against such answers. UTF-8.
std::string verdictLine(const HostProfile& profile);

} // namespace tvx::hostprofile
