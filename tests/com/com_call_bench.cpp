// What automation across processes costs: one property get and one 14-argument call, across
// processes and in process through the same client, against raw Invoke; and the program's whole
// OK run across processes on the sample drawing and on a drawing with 2000 symbols.
// Not a test: it prints figures. Run: scripts/wine-run.sh .../com_call_bench.exe
#include "app/sequences.h"
#include "drawing/com/com_host.h"
#include "drawing/com/dispatch_client.h"
#include "drawing/sim/drawing_file.h"
#include "drawing/sim/sim_host.h"
#include "tests/support/fake_ui.h"
#include "tests/support/run_fixture.h"
#include "tests/com/in_process_run.h"
#include "tests/com/server_process.h"
#include "tools/hostserver/dispatch_objects.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <fstream>
#include <functional>

namespace tvx {
namespace {

using Clock = std::chrono::steady_clock;

// Microseconds per call over one round of calls.
double microsPerCall(int calls, const std::function<void()>& call) {
    const auto start = Clock::now();
    for (int i = 0; i < calls; ++i) {
        call();
    }
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / calls;
}

sim::HostData sampleDrawing() {
    return sim::loadDrawingFile(com::testing::windowsPath(TVX_SAMPLES_DIR) / "sample-drawing.json");
}

sim::HostData benchHost() {
    sim::HostData data = sampleDrawing();
    // Constant work per call: the host answers False and inserts nothing.
    data.behaviour.refuseSymbolInsert = true;
    return data;
}

host::SurfaceFinishArgs fourteen() {
    host::SurfaceFinishArgs a;
    a.symType = 1;
    a.arrowType = 1;
    a.prodMethod = L"geschliffen";
    a.maxRoughness = L"1,6";
    return a;
}

// Raw Invoke with everything prepared: the floor the client is measured against.
struct RawCalls {
    explicit RawCalls(IDispatch* appObject, IDispatch* docObject) : app(appObject), doc(docObject) {
        activeDoc = id(app, L"ActiveDoc");
        insert = id(doc, L"InsertSurfaceFinishSymbol2");
        const host::SurfaceFinishArgs a = fourteen();
        // In table order; reversed below as rgvarg wants them.
        std::vector<com::UniqueVariant> ordered;
        ordered.push_back(com::arg(a.symType));
        ordered.push_back(com::arg(a.leaderType));
        ordered.push_back(com::arg(a.locX));
        ordered.push_back(com::arg(a.locY));
        ordered.push_back(com::arg(a.locZ));
        ordered.push_back(com::arg(a.laySymbol));
        ordered.push_back(com::arg(a.arrowType));
        for (const std::wstring* text : {&a.machAllowance, &a.otherVals, &a.prodMethod, &a.sampleLen, &a.maxRoughness,
                                         &a.minRoughness, &a.roughnessSpacing}) {
            ordered.push_back(com::arg(*text));
        }
        for (auto it = ordered.rbegin(); it != ordered.rend(); ++it) {
            args.push_back(std::move(*it));
        }
        for (auto& v : args) {
            raw.push_back(v.get());
        }
    }
    static DISPID id(IDispatch* object, const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID result = DISPID_UNKNOWN;
        object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &result);
        return result;
    }
    void getActiveDoc() {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        com::UniqueVariant result;
        app->Invoke(activeDoc, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result.put(), nullptr,
                    nullptr);
    }
    void insertSymbol() {
        DISPPARAMS params{raw.data(), nullptr, static_cast<UINT>(raw.size()), 0};
        com::UniqueVariant result;
        doc->Invoke(insert, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.put(), nullptr, nullptr);
    }

    IDispatch* app;
    IDispatch* doc;
    DISPID activeDoc = DISPID_UNKNOWN;
    DISPID insert = DISPID_UNKNOWN;
    std::vector<com::UniqueVariant> args;
    std::vector<VARIANT> raw;
};

struct CallFigures {
    double clientGet = 0, rawGet = 0, clientCall = 0, rawCall = 0;
    double number = 0, text = 0, object = 0;
};

// Best of the rounds per kind; client and raw alternate so that neither gets the quieter moments.
CallFigures measureCalls(const com::ComPtr<IDispatch>& appObject, int calls) {
    const host::AppRef app = com::wrapApp(appObject);
    const host::DocRef doc = app->ActiveDoc();
    doc->SelectByID(L"Blatt1", L"SHEET", 0.1, 0.1, 0);
    const host::SurfaceFinishArgs args = fourteen();
    const host::SheetRef sheet = doc->GetCurrentSheet();

    com::ComPtr<IDispatch> docObject;
    {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        com::UniqueVariant result;
        appObject->Invoke(RawCalls::id(appObject.get(), L"ActiveDoc"), IID_NULL, LOCALE_USER_DEFAULT,
                          DISPATCH_PROPERTYGET, &none, result.put(), nullptr, nullptr);
        docObject = com::ComPtr<IDispatch>::borrow(result.get().pdispVal);
    }
    RawCalls raw(appObject.get(), docObject.get());

    CallFigures best{1e300, 1e300, 1e300, 1e300, 1e300, 1e300, 1e300};
    const auto keep = [](double& slot, double value) { slot = value < slot ? value : slot; };
    for (int round = 0; round < 5; ++round) {
        keep(best.clientGet, microsPerCall(calls, [&] { app->ActiveDoc(); }));
        keep(best.rawGet, microsPerCall(calls, [&] { raw.getActiveDoc(); }));
        keep(best.clientCall, microsPerCall(calls, [&] { doc->InsertSurfaceFinishSymbol2(args); }));
        keep(best.rawCall, microsPerCall(calls, [&] { raw.insertSymbol(); }));
        keep(best.number, microsPerCall(calls, [&] { doc->GetType(); }));
        keep(best.text, microsPerCall(calls, [&] { sheet->GetName(); }));
        keep(best.object, microsPerCall(calls, [&] { doc->GetCurrentSheet(); }));
    }
    return best;
}

void printCalls(const char* where, const CallFigures& f) {
    std::printf("%-16s ActiveDoc get %9.2f us (raw Invoke %9.2f us, client/raw %.3f)\n", where, f.clientGet,
                f.rawGet, f.clientGet / f.rawGet);
    std::printf("%-16s 14-argument    %9.2f us (raw Invoke %9.2f us, client/raw %.3f)\n", where, f.clientCall,
                f.rawCall, f.clientCall / f.rawCall);
    std::printf("%-16s GetType %.2f us, GetName %.2f us, GetCurrentSheet (a new object) %.2f us\n", where, f.number,
                f.text, f.object);
}

// A drawing of the sample's sheet with its symbols repeated to the given number, spread over
// the sheet's own view and its drawing views; two distinct foreign kinds, as the scan allows.
sim::HostData drawingWithSymbols(std::size_t count) {
    sim::HostData data = sampleDrawing();
    auto& views = data.activeDoc->sheets.at(0).views;
    const sim::SymbolData templates[2] = {views[0].symbols.at(0), views[0].symbols.at(1)};
    for (auto& view : views) {
        view.symbols.clear();
    }
    for (std::size_t i = 0; i < count; ++i) {
        sim::SymbolData s = templates[i % 2];
        s.name = L"Oberfl\u00e4chensymbol" + std::to_wstring(i + 1);
        views[i % views.size()].symbols.push_back(s);
    }
    return data;
}

struct RunFigures {
    double seconds = 0;
    std::size_t hostCalls = 0;
    bool ended = false;
};

RunFigures wholeRun(const std::filesystem::path& folder, const sim::HostData& drawing) {
    const auto programFolder = folder / "program";
    std::filesystem::create_directories(programFolder);
    std::ofstream(programFolder / "Tarvenix.txt", std::ios::binary) << testing::configText();
    com::testing::ServerProcess server(folder, drawing);

    testing::UiLog log;
    testing::FakeMainForm form(log);
    testing::FakeMessageDialog gef(log, form);
    testing::TestTerminator terminator(log);
    com::ComConnector connector;
    Program program(form, gef, terminator, connector, programFolder.wstring());
    RunFigures figures;
    const auto start = Clock::now();
    try {
        runHandler(program, Form_Load);
        testing::playChoice(form, {0, L"geschliffen", L"6,4"});
        runHandler(program, cmd_Ok_Click);
    } catch (const RunEnded&) {
        figures.ended = gef.shown.empty();
    }
    figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    server.stop("quit");
    figures.hostCalls = server.traceLines().size();
    return figures;
}

// The same run with the client on the dispatch objects in process, to count name lookups.
void lookupsOfWholeRun(const std::filesystem::path& folder, const sim::HostData& drawing) {
    const auto programFolder = folder / "program";
    std::filesystem::create_directories(programFolder);
    std::ofstream(programFolder / "Tarvenix.txt", std::ios::binary) << testing::configText();
    sim::SimHost simHost(drawing);
    simHost.setTracing(false);
    const auto context = std::make_shared<hostserver::DispatchContext>();
    com::testing::runInProcess(programFolder,
                               hostserver::makeAppDispatch(context, simHost.connector().attach(host::kHostClassName)),
                               {0, L"geschliffen", L"6,4"});
    std::printf("  in process: %llu calls, %llu name lookups\n",
                static_cast<unsigned long long>(context->callCount()),
                static_cast<unsigned long long>(context->nameLookups()));
}

com::ComPtr<IDispatch> runningHost() {
    CLSID clsid{};
    com::ComPtr<IUnknown> running;
    if (FAILED(CLSIDFromProgID(host::kHostClassName, &clsid)) ||
        FAILED(GetActiveObject(clsid, nullptr, running.put()))) {
        throw std::runtime_error("no running host");
    }
    return running.query<IDispatch>();
}

void printRun(const char* what, const RunFigures& f) {
    std::printf("whole OK run, %-28s %6zu host calls %7.2f s (%.0f us a call)%s\n", what, f.hostCalls, f.seconds,
                f.hostCalls == 0 ? 0.0 : f.seconds * 1e6 / static_cast<double>(f.hostCalls),
                f.ended ? "" : "  NOT ENDED AS EXPECTED");
}

} // namespace
} // namespace tvx

int main() {
    using namespace tvx;
    try {
        const com::ComApartment apartment;
        const com::testing::ScratchFolder folder("com-bench");

        // In process: the client on the dispatch objects over the in-memory host, one apartment.
        sim::SimHost simHost(benchHost());
        simHost.setTracing(false);
        const auto context = std::make_shared<hostserver::DispatchContext>();
        const CallFigures local =
            measureCalls(hostserver::makeAppDispatch(context, simHost.connector().attach(host::kHostClassName)), 4000);

        CallFigures remote;
        {
            com::testing::ServerProcess server(folder.path(), benchHost(), {}, false);
            remote = measureCalls(runningHost(), 100);
            server.stop("quit");
        }
        printCalls("in process", local);
        printCalls("across processes", remote);
        std::printf("across/in process: ActiveDoc get %.0fx, 14-argument call %.0fx\n",
                    remote.clientGet / local.clientGet,
                    remote.clientCall / local.clientCall);

        if (std::getenv("TVX_BENCH_CALLS_ONLY") != nullptr) {
            lookupsOfWholeRun(folder.path(), sampleDrawing());
            lookupsOfWholeRun(folder.path(), drawingWithSymbols(2000));
            return 0;
        }
        printRun("sample drawing", wholeRun(folder.path(), sampleDrawing()));
        printRun("2000 symbols", wholeRun(folder.path(), drawingWithSymbols(2000)));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "com_call_bench: %s\n", e.what());
        return 1;
    }
}
