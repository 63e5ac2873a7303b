// tvx-hostserver: serves a drawing file as the running host application, through the running
// object table, until told to stop; see kServerUsage.
#include "drawing/com/com_owners.h"
#include "drawing/com/failure_text.h"
#include "drawing/sim/drawing_file.h"
#include "drawing/sim/sheet_picture.h"
#include "drawing/sim/sim_host.h"
#include "tools/hostserver/addin_host.h"
#include "tools/hostserver/command_page.h"
#include "tools/hostserver/deletion_question.h"
#include "tools/hostserver/app_events.h"
#include "tools/hostserver/doc_events.h"
#include "tools/hostserver/document_commands.h"
#include "tools/hostserver/dispatch_objects.h"
#include "tools/hostserver/host_class.h"
#include "tools/hostserver/options_dialog.h"
#include "tools/hostserver/server_options.h"
#include "tools/hostserver/stop_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tvx::hostserver {
namespace {

enum ExitCode : int {
    kOk = 0,
    kFailed = 1,
    kBadInput = 2,
    kSaveFailed = 3,
    kTimedOut = 4,
    kAddinLeftSomething = 5,
    kAddinFaulted = 6,
    kDied = 99
};

using FileHandle = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

FileHandle openForWriting(const std::wstring& path) {
    FileHandle file(_wfopen(path.c_str(), L"wb"), &std::fclose);
    if (!file) {
        throw std::runtime_error("cannot write " + com::toUtf8(path));
    }
    return file;
}

// Registered as the running host for the lifetime of the object.
class ActiveRegistration {
public:
    ActiveRegistration(IUnknown* object, const CLSID& clsid) {
        const HRESULT hr = RegisterActiveObject(object, clsid, ACTIVEOBJECT_STRONG, &cookie_);
        if (FAILED(hr)) {
            throw std::runtime_error("cannot register the running object: " + com::describeHresult(hr));
        }
    }
    ActiveRegistration(const ActiveRegistration&) = delete;
    ActiveRegistration& operator=(const ActiveRegistration&) = delete;
    ~ActiveRegistration() { RevokeActiveObject(cookie_, nullptr); }

private:
    DWORD cookie_ = 0;
};

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

enum class Stop { Save, Discard, TimedOut, NoSuchSheet, BadUndo };

std::FILE* faultTrace = nullptr;

// A fault in an add-in's code ends the host, as on Windows; said plainly instead of a debugger
// waiting for someone.
LONG WINAPI reportFault(EXCEPTION_POINTERS* fault) {
    const auto code = fault != nullptr && fault->ExceptionRecord != nullptr
                          ? static_cast<unsigned long>(fault->ExceptionRecord->ExceptionCode)
                          : 0ul;
    // Which module the fault is in, as far as it is still loaded.
    char where[MAX_PATH] = "?";
    HMODULE module = nullptr;
    if (fault != nullptr && fault->ExceptionRecord != nullptr &&
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCSTR>(fault->ExceptionRecord->ExceptionAddress), &module)) {
        GetModuleFileNameA(module, where, MAX_PATH);
    }
    if (faultTrace != nullptr) {
        std::fprintf(faultTrace, "-- the host faulted: exception 0x%08lx in %s --\n", code, where);
        std::fflush(faultTrace);
    }
    std::fprintf(stderr, "tvx-hostserver: faulted: exception 0x%08lx in %s\n", code, where);
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), kAddinFaulted);
    return EXCEPTION_EXECUTE_HANDLER;
}

void reportAddinFaults(std::FILE* trace) {
    faultTrace = trace;
    SetUnhandledExceptionFilter(&reportFault);
}

// As the host's installation registers its type library: the event interfaces marshalled for a
// client in another process. Not fatal: clients in the host's process need none of it.
void registerEventInterfaces() {
    wchar_t self[MAX_PATH] = {};
    ComPtr<ITypeLib> library;
    const HRESULT hr = GetModuleFileNameW(nullptr, self, MAX_PATH) == 0
                           ? HRESULT_FROM_WIN32(GetLastError())
                           : LoadTypeLibEx(self, REGKIND_REGISTER, library.put());
    if (FAILED(hr)) {
        std::fprintf(stderr, "tvx-hostserver: the event interfaces were not registered: %s\n",
                     com::describeHresult(hr).c_str());
    }
}

bool switchSheet(host::App& app, const std::wstring& sheet) {
    try {
        const host::DocRef doc = app.ActiveDoc();
        return doc && doc->ActivateSheet(sheet);
    } catch (const host::HostError&) {
        return false;
    }
}

// The frame's picture of the current sheet, as the drawing tool's SVG shows it.
std::optional<sim::SheetPicture> currentSheetPicture(const sim::HostData& data) {
    if (!data.activeDoc || data.activeDoc->currentSheet >= data.activeDoc->sheets.size()) {
        return std::nullopt;
    }
    sim::SheetPicture picture = sim::describeSheet(data, data.activeDoc->currentSheet);
    // For the test that must see a wrong frame fail its comparison with the SVG.
    static const bool leaveOutSymbol = GetEnvironmentVariableW(L"TVX_TEST_FRAME_LEAVE_OUT_SYMBOL", nullptr, 0) > 0;
    if (leaveOutSymbol) {
        const auto symbol = std::find_if(picture.groups.begin(), picture.groups.end(),
                                         [](const sim::PictureGroup& g) { return g.kind == "symbol"; });
        if (symbol != picture.groups.end()) {
            picture.groups.erase(symbol);
        }
    }
    return picture;
}

// A hung host answers nothing, not even its window messages, until it is told to stop.
Stop waitForStopFile(const ServerOptions& o) {
    const ULONGLONG deadline = GetTickCount64() + ULONGLONG{o.timeoutSeconds} * 1000u;
    while (!fileExists(o.stopFile)) {
        if (GetTickCount64() >= deadline) {
            return Stop::TimedOut;
        }
        Sleep(20);
    }
    // A hung host cannot switch sheets: anything but "save" stops it unsaved.
    return readStopFile(o.stopFile).kind == StopFileCommand::Kind::Save ? Stop::Save : Stop::Discard;
}

// LoadAddIn and UnloadAddIn through the application object, as a script calling them would.
void callAddinMember(IDispatch* app, const wchar_t* member, const std::wstring& path) {
    std::wstring name = member;
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(app->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
        return;
    }
    com::UniqueVariant argument;
    argument.get().vt = VT_BSTR;
    argument.get().bstrVal = com::UniqueBstr(path).detach();
    DISPPARAMS params{argument.addressOf(), nullptr, 1, 0};
    com::UniqueVariant answer;
    // The call's answer and any failure are in the trace.
    app->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, answer.put(), nullptr, nullptr);
}

// A stop file that plays the user on the hosted add-ins, or the host's own modal states for them;
// false when there are none.
bool playAddinCommand(const StopFileCommand& command, AddinHost* addins, IDispatch* app, DispatchContext& context) {
    if (command.kind == StopFileCommand::Kind::BusyLoop || command.kind == StopFileCommand::Kind::PumpLoop) {
        if (command.busyMs == 0) {
            std::fprintf(stderr, "tvx-hostserver: \"busyloop MS\" and \"pumploop MS\" need a number MS from 1 to %d\n",
                         kMaxBusyMs);
            return false;
        }
        if (command.kind == StopFileCommand::Kind::BusyLoop) {
            busyLoop(context, static_cast<DWORD>(command.busyMs));
        } else {
            pumpLoop(context, static_cast<DWORD>(command.busyMs));
        }
        return true;
    }
    if (addins == nullptr) {
        std::fputs("tvx-hostserver: the stop file asks for add-ins, but the host runs without --addins\n", stderr);
        return false;
    }
    switch (command.kind) {
    case StopFileCommand::Kind::Click: addins->clickFirst(); break;
    case StopFileCommand::Kind::ModalOpen: addins->openOptions(); break;
    case StopFileCommand::Kind::ModalClose: addins->closeOptions(); break;
    case StopFileCommand::Kind::Load: callAddinMember(app, L"LoadAddIn", command.sheet); break;
    case StopFileCommand::Kind::Unload:
        if (command.sheet.empty()) {
            addins->unloadAll();
        } else {
            callAddinMember(app, L"UnloadAddIn", command.sheet);
        }
        break;
    default: break;
    }
    return true;
}

// As the user's Ctrl+Z pressed N times. False, with the reason on stderr, when it cannot be done.
bool takeBack(sim::SimHost& host, int steps) {
    if (steps == 0) {
        std::fputs("tvx-hostserver: \"undo N\" needs a number N from 1 to 1000\n", stderr);
        return false;
    }
    try {
        host.editUndo(steps);
        return true;
    } catch (const host::HostError& e) {
        std::fprintf(stderr, "tvx-hostserver: undo: %s\n", e.what());
        return false;
    }
}

// A command of the host's opened or ended; false, with the reason on stderr, for an open without
// an ID.
bool playHostCommand(const StopFileCommand& command, CommandPage& page, AddinHost* addins) {
    if (command.kind == StopFileCommand::Kind::CommandClose) {
        page.close();
        return true;
    }
    if (command.commandId == 0) {
        std::fprintf(stderr, "tvx-hostserver: \"command open ID TITLE\" needs a number ID from 1 to %d\n",
                     kMaxCommandId);
        return false;
    }
    page.open(command.commandId, command.pageTitle, addins != nullptr ? addins->frameWindow() : nullptr);
    return true;
}

// Answers calls (an apartment's incoming calls arrive as window messages) until the stop file
// appears or the time is up. A "sheet NAME" or "undo N" stop file is carried out and taken away,
// as is one that plays the user on the add-ins or the designer on the drawing.
Stop serveUntilStopped(const ServerOptions& o, host::App& app, sim::SimHost& host, AddinHost* addins,
                       IDispatch* appObject, DispatchContext& context, CommandPage& commandPage,
                       DocumentCommands& documents) {
    const ULONGLONG deadline = GetTickCount64() + ULONGLONG{o.timeoutSeconds} * 1000u;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (const auto& events = context.appEvents()) {
            events->idle();
        }
        if (addins != nullptr && addins->closed()) {
            return Stop::Save;
        }
        // A stop-file command plays the user's input, which a host takes only once its posted
        // messages are dispatched (among them what an idle notification posted).
        const bool posted = PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
        if (!posted && fileExists(o.stopFile)) {
            const StopFileCommand command = readStopFile(o.stopFile);
            if (command.kind == StopFileCommand::Kind::Save || command.kind == StopFileCommand::Kind::Discard) {
                return command.kind == StopFileCommand::Kind::Save ? Stop::Save : Stop::Discard;
            }
            if (documents.play(command)) {
                // Carried out or refused with its reason: the host goes on either way.
            } else if (command.kind == StopFileCommand::Kind::Undo) {
                if (!takeBack(host, command.undoSteps)) {
                    return Stop::BadUndo;
                }
            } else if (command.kind == StopFileCommand::Kind::CommandOpen ||
                       command.kind == StopFileCommand::Kind::CommandClose) {
                if (!playHostCommand(command, commandPage, addins)) {
                    return Stop::NoSuchSheet;
                }
            } else if (command.kind != StopFileCommand::Kind::Sheet) {
                if (!playAddinCommand(command, addins, appObject, context)) {
                    return Stop::NoSuchSheet;
                }
            } else if (!switchSheet(app, command.sheet)) {
                std::fprintf(stderr, "tvx-hostserver: the drawing has no sheet named \"%s\"\n",
                             com::toUtf8(command.sheet).c_str());
                return Stop::NoSuchSheet;
            }
            if (!DeleteFileW(o.stopFile.c_str())) {
                throw std::runtime_error("cannot take the stop file away after carrying it out");
            }
            if (addins != nullptr) {
                addins->sheetChanged(); // another sheet, an Undo
            }
        }
        if (GetTickCount64() >= deadline) {
            return Stop::TimedOut;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

// A note the probe listed in the sheet's own view and the drawing holds there is the drawing's;
// the others were the sheet format's.
PlayedFindings playedOn(PlayedFindings findings, const sim::HostData& drawing) {
    auto& notes = findings.sheetFormatNotes;
    if (drawing.activeDoc) {
        for (const sim::SheetData& sheet : drawing.activeDoc->sheets) {
            if (sheet.views.empty()) {
                continue;
            }
            for (const sim::NoteData& own : sheet.views.front().notes) {
                notes.erase(std::remove(notes.begin(), notes.end(), own.text), notes.end());
            }
        }
    }
    return findings;
}

int serve(const ServerOptions& o) {
    sim::SimHost host(sim::loadDrawingFile(o.drawing));
    if (o.nameScope) {
        host.data().behaviour.nameScope = *o.nameScope;
    }
    if (o.undoCalls) {
        host.data().behaviour.undoCalls = *o.undoCalls;
    }
    // The server keeps its own trace of what arrived over the wire.
    host.setTracing(false);

    FileHandle traceFile(nullptr, &std::fclose);
    if (!o.traceFile.empty()) {
        traceFile = openForWriting(o.traceFile);
    }

    Stop stop = Stop::Discard;
    bool saveFailed = false;
    bool snapshotFailed = false;
    int addinFailures = 0;
    std::uint64_t modalCalls = 0;
    std::uint64_t commandCalls = 0;
    std::uint64_t operationCalls = 0;
    {
        com::ComApartment apartment;
        registerEventInterfaces();
        auto context = std::make_shared<DispatchContext>();
        context->setEmptyForm(o.emptyForm);
        context->setFindings(playedOn(o.findings, host.data()));
        context->setSelectionCount([&host] {
            return static_cast<std::int32_t>(host.selectedNames().size() + (host.pickPoint() ? 1 : 0));
        });
        if (!o.answerForms.empty()) {
            context->setAnswerHook([&o](const std::string& operation, Answer& answer) {
                o.answerForms.reshape(operation, answer);
            });
        }
        if (!o.revision.empty()) {
            context->setRevision(o.revision, host::parseHostRevision(o.revision));
        }
        // A connection point an add-in never let go of may outlive the context.
        const EventSinks::Remark remark = [weak = std::weak_ptr<DispatchContext>(context)](const std::string& line) {
            if (const auto alive = weak.lock()) {
                alive->trace(line);
            }
        };
        auto events = std::make_shared<AppEvents>(remark);
        if (o.noIdleEvents) {
            events->refuseSubscriptions();
        }
        if (o.idlePerSecond) {
            events->notifyPerSecond(*o.idlePerSecond);
        }
        context->setAppEvents(events);
        std::shared_ptr<DocEvents> docEvents;
        if (host.data().activeDoc && host.data().activeDoc->type == sim::kDrawingDocType) {
            docEvents = std::make_shared<DocEvents>(remark);
            if (o.refuseDocumentEvents) {
                docEvents->refuseSubscriptions();
            }
            if (!o.saveNotifications.empty()) {
                docEvents->setSaveNotifications(o.saveNotifications);
            }
            context->setDocEvents(docEvents);
        }
        DocumentCommands documents(host, o.saveTo, docEvents, remark);
        context->setDocumentSave([&documents] { return documents.store(); });
        context->failAtCall(o.failAt);
        for (const auto& op : o.failOps) {
            context->failOperation(op);
        }
        std::FILE* traceOut = traceFile.get();
        if (traceOut != nullptr) {
            // Flushed line by line, so a client can read it while the server runs.
            context->setTraceSink([traceOut](const std::string& line) {
                std::fputs(line.c_str(), traceOut);
                std::fputc('\n', traceOut);
                std::fflush(traceOut);
            });
        }
        if (o.dieAt != 0) {
            context->dieAtCall(o.dieAt, [traceOut] {
                if (traceOut != nullptr) {
                    std::fputs("-- the host died --\n", traceOut);
                    std::fflush(traceOut);
                }
                TerminateProcess(GetCurrentProcess(), kDied);
            });
        }

        // The drawing as the calls before the hung one left it can still be saved.
        HostMoods moods(o.moods, context->traceSink(), [&host, &o] {
            const Stop stopped = waitForStopFile(o);
            int code = stopped == Stop::TimedOut ? kTimedOut : kOk;
            if (stopped == Stop::Save && !saveDrawing(host.data(), o.saveTo)) {
                code = kSaveFailed;
            }
            std::fflush(nullptr);
            TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
        });
        context->setGate([&moods](std::uint64_t next, const std::string& operation) {
            return moods.beforeCall(next, operation);
        });
        std::unique_ptr<BusyFilterRegistration> busyFilter;
        if (moods.usesFilter()) {
            busyFilter = std::make_unique<BusyFilterRegistration>(moods, [&context] { return context->callCount() + 1; });
        }

        if (!o.snapshotDir.empty()) {
            // A snapshot that cannot be written fails the server's exit status, never the client's call.
            context->setBeforeCall([&host, &o, &snapshotFailed](std::uint64_t call) {
                if (snapshotFailed) {
                    return;
                }
                try {
                    sim::saveDrawingFile(host.data(),
                                         std::filesystem::path(o.snapshotDir) / (std::to_wstring(call) + L".json"));
                } catch (const sim::DrawingFileError& e) {
                    std::fprintf(stderr, "tvx-hostserver: snapshot before call %llu: %s\n",
                                 static_cast<unsigned long long>(call), e.what());
                    snapshotFailed = true;
                }
            });
        }

        const host::AppRef hostApp = host.connector().attach(host::kHostClassName);
        const ComPtr<IDispatch> app = makeAppDispatch(context, hostApp);
        const ActiveRegistration registration(app.get(), kStandInHostClsid);
        std::unique_ptr<AddinHost> addins;
        if (o.addins) {
            reportAddinFaults(traceOut);
            addins = std::make_unique<AddinHost>(context, hostApp);
            addins->setClientApplication(app);
            // Read from the drawing itself: asking through the application would count as a call.
            addins->setActiveDocumentType([&host] {
                const auto& doc = std::as_const(host).data().activeDoc;
                return doc ? doc->type : 0;
            });
            addins->showSheet([&host] { return currentSheetPicture(host.data()); });
            if (o.closeSaves) {
                addins->closeSaves();
            }
            addins->onSave([&documents] { documents.store(); });
            if (!o.uiStateFile.empty()) {
                addins->rememberUiState(o.uiStateFile);
            }
            addins->nameFrame(o.drawing);
            addins->showFrame();
            addins->loadStartup();
            addins->showTabs();
            try {
                addins->writeUiState();
            } catch (const std::runtime_error& e) {
                std::fprintf(stderr, "tvx-hostserver: %s\n", e.what());
            }
        }
        context->setConfirmDeletion([&context, frame = addins ? addins->frameWindow() : nullptr] {
            return askBeforeDeleting(*context, frame);
        });
        // Open before anyone is told the host is ready.
        CommandPage commandPage(host, *context);
        if (o.openCommand) {
            commandPage.open(o.openCommand->first, o.openCommand->second, addins ? addins->frameWindow() : nullptr);
        }
        if (!o.readyFile.empty()) {
            openForWriting(o.readyFile);
        }
        std::puts("ready");
        std::fflush(stdout);

        stop = serveUntilStopped(o, *hostApp, host, addins.get(), app.get(), *context, commandPage, documents);
        commandPage.close();
        // As a host closes its documents before it lets its add-ins go.
        if (stop != Stop::TimedOut) {
            documents.hostEnds();
        }
        context->setBeforeCall({});
        context->setGate({});
        context->setConfirmDeletion({});
        context->setSelectionCount({});
        // Disconnected before the save: an add-in ends its open run as Cancel does.
        if (addins && stop != Stop::TimedOut) {
            addinFailures = addins->unloadAllAndCheck();
            try {
                addins->keepUiState();
            } catch (const std::runtime_error& e) {
                std::fprintf(stderr, "tvx-hostserver: %s\n", e.what());
                saveFailed = true;
            }
        }
        if (stop == Stop::Save) {
            saveFailed = !documents.saveAtStop();
        }
        // Each such call is marked in the trace where it came; the count goes to the output.
        modalCalls = context->callsDuringModalState();
        std::printf("calls during modal state: %llu\n", static_cast<unsigned long long>(modalCalls));
        commandCalls = context->callsDuringCommand();
        std::printf("calls during a running command: %llu\n", static_cast<unsigned long long>(commandCalls));
        operationCalls = context->callsDuringHostOperation();
        std::printf("calls during host operation: %llu\n", static_cast<unsigned long long>(operationCalls));
        // A subscriber that never unsubscribed was reported with the references; its sink goes
        // before the apartment does.
        context->setAppEvents(nullptr);
        events.reset();
        context->setDocEvents(nullptr);
        context->setDocumentSave({});
        docEvents.reset();
    }
    if (saveFailed || snapshotFailed) {
        return kSaveFailed;
    }
    if (stop == Stop::NoSuchSheet || stop == Stop::BadUndo) {
        return kBadInput;
    }
    if (stop == Stop::TimedOut) {
        std::fputs("tvx-hostserver: no stop file within the time limit; nothing saved\n", stderr);
        return kTimedOut;
    }
    if (operationCalls > 0) {
        std::fprintf(stderr, "tvx-hostserver: %llu calls arrived during the host's own operation\n",
                     static_cast<unsigned long long>(operationCalls));
    }
    if (modalCalls > 0) {
        std::fprintf(stderr, "tvx-hostserver: %llu calls arrived during the host's modal state\n",
                     static_cast<unsigned long long>(modalCalls));
    }
    if (commandCalls > 0) {
        std::fprintf(stderr, "tvx-hostserver: %llu selections, deletions or insertions arrived during a running command\n",
                     static_cast<unsigned long long>(commandCalls));
    }
    return addinFailures > 0 ? kAddinLeftSomething : kOk;
}

} // namespace
} // namespace tvx::hostserver

int wmain(int argc, wchar_t** argv) {
    using namespace tvx::hostserver;
    ServerOptions options;
    try {
        options = parseServerOptions(std::vector<std::wstring>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "tvx-hostserver: %s\n%s", e.what(), kServerUsage);
        return kBadInput;
    }
    try {
        return serve(options);
    } catch (const tvx::sim::DrawingFileError& e) {
        std::fprintf(stderr, "tvx-hostserver: %s\n", e.what());
        return kBadInput;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tvx-hostserver: %s\n", e.what());
        return kFailed;
    }
}
