#include "tools/hostserver/server_options.h"

#include "drawing/com/failure_text.h"
#include "drawing/oldest_host.h"
#include "tools/hostprofile/profile_reader.h"

#include <cstdio>
#include <cwctype>
#include <limits>
#include <memory>
#include <stdexcept>

namespace tvx::hostserver {

const char* const kServerUsage =
    "usage: tvx-hostserver --drawing FILE --stop-file FILE [--save-to FILE] [--trace FILE]\n"
    "                      [--ready-file FILE] [--fail-at N] [--fail-op NAME]... [--die-at N]\n"
    "                      [--empty-as dispatch|empty|null] [--timeout SECONDS] [--snapshots DIR]\n"
    "                      [--answer-form [OPERATION:]KIND=FORM]...\n"
    "                      [--busy-at N --busy-for MS [--busy-by invoke|retrylater|rejected]]\n"
    "                      [--slow MS] [--hang-at N] [--profile hostprofile.json]\n"
    "                      [--addins [--close-saves] [--ui-state FILE]] [--revision R] [--no-idle-events]\n"
    "Serves FILE as the running host until the stop file appears; when the stop file says\n"
    "\"save\", the changed drawing is written (atomically) first. A stop file saying\n"
    "\"sheet NAME\" makes that sheet current, as a user switching sheets would, and one saying\n"
    "\"undo N\" takes back the last N entries of the Undo list, as the user's Ctrl+Z; the server\n"
    "deletes it and goes on, as it does for \"store\" (save to the --save-to file without\n"
    "ending, with the drawing's save notifications), \"add symbol VIEW KIND ROUGHNESS METHOD X Y\"\n"
    "(mm), \"delete NAME\" and \"close document\", the designer's own work; a bad one of these is\n"
    "refused with its reason. With --snapshots, the drawing as it stands before call N (counted\n"
    "from 1) is written to DIR\\N.json. --busy-at rejects calls from call N on for MS\n"
    "milliseconds (a rejected call is not run and gets no number); --slow delays every call;\n"
    "--hang-at never answers call N and waits for the stop file. --profile answers in the\n"
    "forms, with the name scope and the Undo recording calls a host probe recorded, with its\n"
    "application events (refused, or its idle notifications a second), the command it had\n"
    "running, open from the start, the drawing's events, and its answers to the probe's open\n"
    "questions: the coordinate forms SelectByID takes, Select2(False, 0) keeping the selection, a\n"
    "question before deleting (a message box inside DeleteSelection(True)), the kept IDs' form,\n"
    "the sheet format's notes listed in the sheet's own view\n"
    "(--answer-form and --empty-as after it still win).\n"
    "--addins shows the host's frame (menu bar, toolbar and the current sheet) and loads the\n"
    "add-ins the registry starts with the host; then the stop file may also say \"click\" (the\n"
    "first add-in command, as a user's click), \"load PATH\" or \"unload [PATH]\", \"modal open\"\n"
    "or \"modal close\" (the host's \"Optionen\" dialog, which disables the frame). At the stop\n"
    "every add-in is disconnected and what it or a client program left behind is reported (exit\n"
    "code 5).\n"
    "--close-saves: closing the frame stops the server as a \"save\" stop file does. --ui-state\n"
    "keeps the command groups' layouts and the command tabs in FILE across restarts, as a host's\n"
    "registry. A stop file saying \"busyloop MS\" keeps the host in a loop of its own for MS\n"
    "milliseconds that takes keyboard and mouse messages off the queue and dispatches none. A host\n"
    "call that arrives in either modal state is marked \"!! called during modal state\" in the trace.\n"
    "\"command open ID TITLE\" plays a command of the host's with its PropertyManager page TITLE\n"
    "(the frame stays enabled) until \"command close\"; GetRunningCommandInfo answers it, and a\n"
    "selection, deletion or insertion meanwhile is marked \"!! called during a running command\".\n"
    "--revision R (\"major.minor.build\", e.g. 22.0.0): RevisionNumber answers R, and the calls of the\n"
    "add-in and the exe that came after R are names the host does not know.\n"
    "\"pumploop MS\" runs an operation of the host's for MS milliseconds that dispatches every\n"
    "message while the frame stays enabled; a call that arrives then is marked \"!! called during\n"
    "host operation\". The application object offers its event interface through a connection\n"
    "point and fires the idle notification whenever its main loop's queue runs empty (at most\n"
    "every 50 ms, never inside its operations); --no-idle-events refuses every subscription.\n";

namespace {

std::uint64_t positive(const std::wstring& option, const std::wstring& text, std::uint64_t max) {
    if (text.empty() || text.size() > 19) {
        throw UsageError(com::toUtf8(option) + " needs a positive whole number");
    }
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        if (!std::iswdigit(c) || c > L'9') {
            throw UsageError(com::toUtf8(option) + " needs a positive whole number");
        }
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    if (value == 0 || value > max) {
        throw UsageError(com::toUtf8(option) + " is out of range");
    }
    return value;
}

std::string fileText(const std::wstring& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(_wfopen(path.c_str(), L"rb"), &std::fclose);
    if (!file) {
        throw UsageError("--profile: cannot read " + com::toUtf8(path));
    }
    std::string text;
    char buffer[4096];
    // The reader refuses anything over 4 MiB; more need not be read to know.
    for (std::size_t n; text.size() <= (std::size_t{4} << 20) && (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;) {
        text.append(buffer, n);
    }
    return text;
}

// The probed host's events and its running command.
void applyHostState(ServerOptions& o, const hostprofile::StandInSwitches& switches) {
    o.noIdleEvents = o.noIdleEvents || switches.refuseIdle;
    o.idlePerSecond = switches.idlePerSecond;
    if (switches.failRunningCommand) {
        o.failOps.push_back("GetRunningCommandInfo");
    }
    if (switches.openCommand) {
        o.openCommand.emplace(switches.openCommand->id, com::fromUtf8(switches.openCommand->title));
    }
}

// The open questions as the probed host answered them.
void applyFindings(ServerOptions& o, const hostprofile::StandInSwitches& switches) {
    PlayedFindings& f = o.findings;
    if (switches.coordinateForms) {
        f.coordinateForms.clear();
        for (const std::string& form : *switches.coordinateForms) {
            f.coordinateForms.push_back(form == "VT_I2" ? VT_I2 : form == "VT_I4" ? VT_I4 : VT_R8);
        }
    }
    for (const std::string& text : switches.sheetViewNoteTexts) {
        f.sheetFormatNotes.push_back(com::fromUtf8(text));
    }
    if (!switches.sheetNoteSelect.empty()) {
        f.sheetFormatNoteSelect = switches.sheetNoteSelect;
    }
    f.select2KeepsSelection = switches.select2KeepsSelection;
    f.confirmDeletion = switches.confirmDeletion;
    if (!switches.keptIdsForm.empty()) {
        const std::string& form = switches.keptIdsForm;
        const std::string element = form.substr(form.find('|') + 1);
        f.keptIdsForm = form == "VT_EMPTY"       ? VARTYPE{VT_EMPTY}
                        : element == "VT_I2"     ? VARTYPE{VT_ARRAY | VT_I2}
                        : element == "VT_INT"    ? VARTYPE{VT_ARRAY | VT_INT}
                        : element == "VT_R8"     ? VARTYPE{VT_ARRAY | VT_R8}
                        : element == "VT_BSTR"   ? VARTYPE{VT_ARRAY | VT_BSTR}
                        : element == "VT_VARIANT" ? VARTYPE{VT_ARRAY | VT_VARIANT}
                                                 : VARTYPE{VT_ARRAY | VT_I4};
    }
}

// The probed host's answers, through the switches that give them.
void applyProfile(ServerOptions& o, const std::wstring& path) {
    hostprofile::StandInSwitches switches;
    try {
        switches = hostprofile::switchesFor(hostprofile::parseProfile(fileText(path)));
        for (const std::string& rule : switches.answerForms) {
            o.answerForms.add(rule);
        }
    } catch (const hostprofile::ProfileError& e) {
        throw UsageError(e.what());
    } catch (const std::invalid_argument& e) {
        throw UsageError(std::string("hostprofile.json: ") + e.what());
    }
    if (switches.emptyAs == "empty") {
        o.emptyForm = EmptyForm::Empty;
    } else if (switches.emptyAs == "null") {
        o.emptyForm = EmptyForm::Null;
    } else if (switches.emptyAs == "dispatch") {
        o.emptyForm = EmptyForm::NullDispatch;
    }
    if (switches.nameScope == hostprofile::NameScope::Owner) {
        o.nameScope = sim::NameScope::owner;
    } else if (switches.nameScope == hostprofile::NameScope::Document) {
        o.nameScope = sim::NameScope::document;
    }
    applyHostState(o, switches);
    applyFindings(o, switches);
    switch (switches.undoCalls) {
    case hostprofile::UndoCalls::Current: o.undoCalls = sim::UndoCalls::current; break;
    case hostprofile::UndoCalls::Older: o.undoCalls = sim::UndoCalls::older; break;
    case hostprofile::UndoCalls::None: o.undoCalls = sim::UndoCalls::none; break;
    case hostprofile::UndoCalls::Unknown: break;
    }
    o.refuseDocumentEvents = switches.refuseDocumentEvents;
    if (switches.saveNotifications) {
        o.saveNotifications.assign(switches.saveNotifications->begin(), switches.saveNotifications->end());
    }
}

} // namespace

ServerOptions parseServerOptions(const std::vector<std::wstring>& args) {
    ServerOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring& option = args[i];
        const auto value = [&]() -> const std::wstring& {
            if (i + 1 >= args.size()) {
                throw UsageError(com::toUtf8(option) + " needs a value");
            }
            return args[++i];
        };
        if (option == L"--drawing") {
            o.drawing = value();
        } else if (option == L"--stop-file") {
            o.stopFile = value();
        } else if (option == L"--save-to") {
            o.saveTo = value();
        } else if (option == L"--trace") {
            o.traceFile = value();
        } else if (option == L"--ready-file") {
            o.readyFile = value();
        } else if (option == L"--snapshots") {
            o.snapshotDir = value();
            if (o.snapshotDir.empty()) {
                throw UsageError("--snapshots needs a folder");
            }
        } else if (option == L"--fail-at") {
            o.failAt = positive(option, value(), std::numeric_limits<std::uint64_t>::max() / 10);
        } else if (option == L"--fail-op") {
            const std::wstring& name = value();
            if (name.empty()) {
                throw UsageError("--fail-op needs an operation name");
            }
            o.failOps.push_back(com::toUtf8(name));
        } else if (option == L"--die-at") {
            o.dieAt = positive(option, value(), std::numeric_limits<std::uint64_t>::max() / 10);
        } else if (option == L"--empty-as") {
            const std::wstring& form = value();
            if (form == L"dispatch") {
                o.emptyForm = EmptyForm::NullDispatch;
            } else if (form == L"empty") {
                o.emptyForm = EmptyForm::Empty;
            } else if (form == L"null") {
                o.emptyForm = EmptyForm::Null;
            } else {
                throw UsageError("--empty-as takes dispatch, empty or null");
            }
        } else if (option == L"--answer-form") {
            try {
                o.answerForms.add(com::toUtf8(value()));
            } catch (const std::invalid_argument& e) {
                throw UsageError(std::string(e.what()) + "\n" + kAnswerFormUsage);
            }
        } else if (option == L"--profile") {
            applyProfile(o, value());
        } else if (option == L"--busy-at") {
            o.moods.busyAt = positive(option, value(), std::numeric_limits<std::uint64_t>::max() / 10);
        } else if (option == L"--busy-for") {
            o.moods.busyForMs = static_cast<std::uint32_t>(positive(option, value(), 3'600'000));
        } else if (option == L"--busy-by") {
            const std::wstring& how = value();
            if (how == L"invoke") {
                o.moods.busyBy = BusyBy::Invoke;
            } else if (how == L"retrylater") {
                o.moods.busyBy = BusyBy::FilterRetryLater;
            } else if (how == L"rejected") {
                o.moods.busyBy = BusyBy::FilterRejected;
            } else {
                throw UsageError("--busy-by takes invoke, retrylater or rejected");
            }
        } else if (option == L"--slow") {
            o.moods.slowMs = static_cast<std::uint32_t>(positive(option, value(), 600'000));
        } else if (option == L"--hang-at") {
            o.moods.hangAt = positive(option, value(), std::numeric_limits<std::uint64_t>::max() / 10);
        } else if (option == L"--addins") {
            o.addins = true;
        } else if (option == L"--no-idle-events") {
            o.noIdleEvents = true;
        } else if (option == L"--close-saves") {
            o.closeSaves = true;
        } else if (option == L"--ui-state") {
            o.uiStateFile = value();
        } else if (option == L"--revision") {
            o.revision = value();
            if (!host::parseHostRevision(o.revision)) {
                throw UsageError("--revision takes a host revision such as 22.0.0");
            }
        } else if (option == L"--timeout") {
            o.timeoutSeconds = static_cast<std::uint32_t>(positive(option, value(), 86400));
        } else {
            throw UsageError("unknown option " + com::toUtf8(option));
        }
    }
    if (o.drawing.empty()) {
        throw UsageError("--drawing is required");
    }
    if (o.stopFile.empty()) {
        throw UsageError("--stop-file is required");
    }
    if ((o.moods.busyAt == 0) != (o.moods.busyForMs == 0)) {
        throw UsageError("--busy-at and --busy-for go together");
    }
    if (o.closeSaves && !o.addins) {
        throw UsageError("--close-saves needs --addins, which shows the frame");
    }
    if (!o.uiStateFile.empty() && !o.addins) {
        throw UsageError("--ui-state needs --addins");
    }
    if (o.saveTo.empty()) {
        o.saveTo = o.drawing;
    }
    return o;
}

} // namespace tvx::hostserver
