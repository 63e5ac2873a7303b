// The stand-in host server's command line.
#pragma once

#include "drawing/sim/model.h"
#include "tools/hostserver/answer_forms.h"
#include "tools/hostserver/dispatch_core.h"
#include "tools/hostserver/host_moods.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tvx::hostserver {

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ServerOptions {
    std::wstring drawing;   // the drawing file served
    std::wstring stopFile;  // appears to stop the server; "save" inside saves the drawing first
    std::wstring saveTo;    // where "save" writes; the drawing file itself unless given
    std::wstring traceFile; // one line per call, when given
    std::wstring readyFile; // written once the application object is registered
    std::wstring snapshotDir; // when given, the drawing before call N is written to DIR\N.json
    std::uint64_t failAt = 0;
    std::vector<std::string> failOps;
    std::uint64_t dieAt = 0;
    EmptyForm emptyForm = EmptyForm::NullDispatch;
    AnswerForms answerForms;
    // From --profile: the name scope the probed host has, over the drawing file's own.
    std::optional<sim::NameScope> nameScope;
    // From --profile: the Undo recording calls the probed host knew.
    std::optional<sim::UndoCalls> undoCalls;
    std::uint32_t timeoutSeconds = 600; // then it ends without saving
    MoodOptions moods;
    bool addins = false; // a frame window, and the add-ins the registry starts with the host
    bool noIdleEvents = false; // Advise refuses: a host without the application's events
    // From --profile: idle notifications a second as the probed host sent them (0: none).
    std::optional<std::uint32_t> idlePerSecond;
    // From --profile: the host's command that ran while it was probed, open from the start.
    std::optional<std::pair<std::int32_t, std::wstring>> openCommand;
    // From --profile: the drawing's event subscription refused, and the notifications a save sends
    // (empty: 6, then 26).
    bool refuseDocumentEvents = false;
    std::vector<DISPID> saveNotifications;
    // From --profile: the probed host's answers to the open questions.
    PlayedFindings findings;
    bool closeSaves = false; // closing the frame stops the server with "save"
    std::wstring uiStateFile; // with --addins: the command groups and tabs kept across restarts
    // From --revision: what RevisionNumber answers; the calls that came after it are unknown.
    // Empty: the stand-in's own, which knows every call.
    std::wstring revision;
};

// Throws UsageError naming what is wrong.
ServerOptions parseServerOptions(const std::vector<std::wstring>& args);

extern const char* const kServerUsage;

} // namespace tvx::hostserver
