// The one state object of a process: what the original keeps in module-level variables, and the
// ports the sequences run against.
#pragma once

#include "app/ui_port.h"
#include "config/config.h"
#include "drawing/host.h"
#include "drawing/run_log.h"
#include "drawing/session.h"
#include "drawing/symbol_register.h"
#include "layout/layout_result.h"

#include <functional>
#include <string>

namespace tvx {

// What a terminator that must not end the process throws (tests): it unwinds to whoever ran the
// handler. Deliberately no std::exception, so that no handler of the program takes it for a
// failure; every catch-all lets it pass.
struct RunEnded {};

struct Program {
    Program(MainForm& mainForm, MessageDialog& messageDialog, Terminator& processEnd,
            host::Connector& hostConnector, std::wstring folder)
        : form(mainForm), gef(messageDialog), terminator(processEnd), connector(hostConnector),
          programFolder(std::move(folder)) {
        connector.logCallsTo(&log);
    }
    ~Program() { connector.logCallsTo(nullptr); }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    MainForm& form;
    MessageDialog& gef;
    Terminator& terminator;
    host::Connector& connector;
    std::wstring programFolder; // holds Tarvenix.txt and the preview bitmaps
    // Reads the configuration at start-up; unset, Tarvenix.txt in programFolder. The shells read
    // the file the machine names, within a bound.
    std::function<std::wstring(Config&)> readConfiguration;

    Config config;
    SymbolRegister symbols;
    HostSession session;
    LayoutResult layout;
    // shutDown has begun: a host call that goes unanswered now ends the run without a report,
    // as it was ending anyway.
    bool ending = false;
    // A handler of the dialog runs: start-up, Ok, Cancel, with any message they show.
    bool handlerRunning = false;
    // For support: what the run did, written at its message and at its end (when a shell
    // switched it on). The step the run is in and whether it showed a message say how it ended.
    RunLog log;
    const char* step = "Start";
    bool messageShown = false;
    // Where the start-up's time went; the shells add what comes before Form_Load.
    StartSplit split;
    // Ok has begun changing the drawing, and whether it does so inside an Undo entry: a failure
    // after that leaves changes that the log must own up to.
    bool drawingChanged = false;
    bool undoEntryStarted = false;
    // Set when the host or an unforeseen failure ended the run; otherwise a shown message says it.
    RunEnd failure = RunEnd::Done;
};

} // namespace tvx
