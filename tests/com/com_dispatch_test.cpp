// The stand-in host's IDispatch objects over the in-memory host, called in process: directly,
// through the client adapters, and from a second apartment through marshalled proxies.
#include "drawing/com/com_host.h"
#include "drawing/com/dispatch_client.h"
#include "drawing/com/failure_text.h"
#include "drawing/sim/sim_host.h"
#include "tests/com/every_operation.h"
#include "tests/com/fake_dispatch.h"
#include "tools/hostserver/app_events.h"
#include "tools/hostserver/doc_events.h"
#include "tools/hostserver/dispatch_objects.h"

#include <gtest/gtest.h>
#include <olectl.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace tvx::hostserver {
namespace {

using com::ComApartment;
using com::UniqueVariant;
namespace cv = com::testing;

// A stand-in host served in process: the SimHost, the dispatch objects, and their trace.
struct InProcessHost {
    explicit InProcessHost(sim::HostData data = cv::sampleHost()) : sim(std::move(data)) {
        context->setTraceSink([this](const std::string& line) { trace.push_back(line); });
        app = makeAppDispatch(context, sim.connector().attach(host::kHostClassName));
    }
    sim::SimHost sim;
    std::shared_ptr<DispatchContext> context = std::make_shared<DispatchContext>();
    std::vector<std::string> trace;
    ComPtr<IDispatch> app;
};

class DispatchServer : public ::testing::Test {
protected:
    ComApartment apartment;
};

TEST_F(DispatchServer, EveryArgumentReachesTheHostAsTheClientSentIt) {
    InProcessHost server;
    cv::runEveryOperation(com::wrapApp(server.app));

    // The in-memory host traces the C++ types it was called with; the dispatch layer traces the
    // VARIANTs that arrived. Line for line the same: no type changed on the way.
    std::vector<std::string> simLines;
    for (const auto& entry : server.sim.trace()) {
        if (entry.operation != "attach") {
            simLines.push_back(sim::formatTraceEntry(entry));
        }
    }
    EXPECT_EQ(server.trace, simLines);
    ASSERT_GE(server.trace.size(), 40u);
    EXPECT_EQ(server.trace[13], "SelectByID(BSTR \"Blatt1\", BSTR \"SHEET\", R8 0.25, R8 0.125, I2 0) -> BOOL true");

    const sim::DocumentData& doc = *server.sim.data().activeDoc;
    EXPECT_EQ(doc.rebuildCount, 1);
    const auto& own = doc.sheets[0].views[0];
    ASSERT_EQ(own.symbols.size(), 2u);
    EXPECT_EQ(own.symbols[1].name, L"ZyrSymbol_99");
    EXPECT_EQ(own.symbols[1].format.typeFaceName, L"ISOCP");
    ASSERT_EQ(own.notes.size(), 1u); // the old note was deleted, the new one took its name
    EXPECT_EQ(own.notes[0].text, L"(  )");
    EXPECT_EQ(own.notes[0].format.charHeightInPts, 12);
}

// ---- strictness -----------------------------------------------------------------------------

struct RawResult {
    HRESULT hr = S_OK;
    UniqueVariant result;
    com::UniqueExcepInfo error;
    UINT argErr = 12345;
};

DISPID idOf(IDispatch* object, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << com::toUtf8(name);
    return id;
}

// Arguments in table order; the result slot holds a sentinel so a test can see it untouched.
void invokeRaw(RawResult& out, IDispatch* object, const wchar_t* name, WORD flags, std::vector<UniqueVariant> args,
               std::vector<DISPID> named = {}) {
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        reversed.push_back(it->get());
    }
    DISPPARAMS params{reversed.data(), named.empty() ? nullptr : named.data(), static_cast<UINT>(reversed.size()),
                      static_cast<UINT>(named.size())};
    out.result.get().vt = VT_I2;
    out.result.get().iVal = 4711;
    out.hr = object->Invoke(idOf(object, name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                            out.result.addressOf(), out.error.put(), &out.argErr);
}

ComPtr<IDispatch> objectFrom(IDispatch* parent, const wchar_t* name, WORD flags = DISPATCH_METHOD) {
    RawResult r;
    invokeRaw(r, parent, name, flags, {});
    EXPECT_EQ(r.hr, S_OK) << com::toUtf8(name);
    if (r.hr != S_OK || r.result.vt() != VT_DISPATCH) {
        ADD_FAILURE() << com::toUtf8(name) << " gave no object";
        return {};
    }
    return ComPtr<IDispatch>::borrow(r.result.get().pdispVal);
}

std::vector<UniqueVariant> args() {
    return {};
}
template <class... A>
std::vector<UniqueVariant> args(UniqueVariant first, A... rest) {
    std::vector<UniqueVariant> out;
    out.push_back(std::move(first));
    (out.push_back(std::move(rest)), ...);
    return out;
}

ComPtr<IDispatch> objectFromObject(IDispatch* parent, const wchar_t* name, UniqueVariant arg) {
    RawResult r;
    invokeRaw(r, parent, name, DISPATCH_METHOD, args(std::move(arg)));
    if (r.hr != S_OK || r.result.vt() != VT_DISPATCH) {
        ADD_FAILURE() << com::toUtf8(name) << " gave no object";
        return {};
    }
    return ComPtr<IDispatch>::borrow(r.result.get().pdispVal);
}

void expectUntouched(const RawResult& r) {
    EXPECT_EQ(r.result.vt(), VT_I2);
    EXPECT_EQ(r.result.get().iVal, 4711);
}

TEST_F(DispatchServer, AWrongArgumentCountOrTypeIsRefusedAsARealServerWould) {
    InProcessHost server;
    const ComPtr<IDispatch> doc = objectFrom(server.app.get(), L"ActiveDoc", DISPATCH_PROPERTYGET);
    {
        RawResult r;
        invokeRaw(r, doc.get(), L"GetType", DISPATCH_METHOD, args(cv::variantI4(1)));
        EXPECT_EQ(r.hr, DISP_E_BADPARAMCOUNT);
        expectUntouched(r);
        EXPECT_EQ(r.argErr, 12345u);
    }
    {
        RawResult r;
        invokeRaw(r, doc.get(), L"ActivateSheet", DISPATCH_METHOD, args());
        EXPECT_EQ(r.hr, DISP_E_BADPARAMCOUNT);
    }
    {
        RawResult r; // a 32-bit integer where the host takes a string
        invokeRaw(r, doc.get(), L"ActivateSheet", DISPATCH_METHOD, args(cv::variantI4(1)));
        EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
        EXPECT_EQ(r.argErr, 0u);
        expectUntouched(r);
    }
    {
        RawResult r; // x as a 16-bit integer instead of a double: the third of five
        invokeRaw(r, doc.get(), L"SelectByID", DISPATCH_METHOD,
                  args(cv::variantBstr(L"Blatt1"), cv::variantBstr(L"SHEET"), com::arg(std::int16_t{1}),
                       cv::variantR8(0.1), com::arg(std::int16_t{0})));
        EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
        EXPECT_EQ(r.argErr, 2u);
    }
    {
        RawResult r; // z as a 32-bit integer: the last argument is rgvarg[0]
        invokeRaw(r, doc.get(), L"SelectByID", DISPATCH_METHOD,
                  args(cv::variantBstr(L"Blatt1"), cv::variantBstr(L"SHEET"), cv::variantR8(0.1), cv::variantR8(0.1),
                       cv::variantI4(0)));
        EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
        EXPECT_EQ(r.argErr, 0u);
    }
    {
        RawResult r; // the callout must be the empty reference, not just any object
        cv::FakeDispatch foreign;
        const ComPtr<IDispatch> ext = objectFrom(doc.get(), L"Extension", DISPATCH_PROPERTYGET);
        invokeRaw(r, ext.get(), L"SelectByID", DISPATCH_METHOD,
                  args(cv::variantBstr(L"x"), cv::variantBstr(L"NOTE"), com::arg(std::int16_t{0}),
                       com::arg(std::int16_t{0}), com::arg(std::int16_t{0}), cv::variantBool(false),
                       com::arg(std::int16_t{0}), cv::variantDispatch(&foreign)));
        EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH);
        EXPECT_EQ(r.argErr, 0u);
    }
    // The attach, ActiveDoc and Extension: nothing refused reached the host.
    EXPECT_EQ(server.sim.callCount(), 3u);
    ASSERT_FALSE(server.trace.empty());
    EXPECT_EQ(server.trace[1],
              "GetType(I4 1) -> FAILED DISP_E_BADPARAMCOUNT (0x8002000E): 0 arguments expected, 1 given");
}

TEST_F(DispatchServer, NamesMatchWhateverTheirCaseAndUnknownNamesAreRefused) {
    InProcessHost server;
    const ComPtr<IDispatch> doc = objectFrom(server.app.get(), L"ActiveDoc", DISPATCH_PROPERTYGET);
    const DISPID id = idOf(doc.get(), L"GetType");
    EXPECT_EQ(idOf(doc.get(), L"gettype"), id);
    EXPECT_EQ(idOf(doc.get(), L"GETTYPE"), id);

    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetTypo"), const_cast<LPOLESTR>(L"x")};
    DISPID ids[2] = {7, 7};
    EXPECT_EQ(doc->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    // Named arguments are not known either.
    names[0] = const_cast<LPOLESTR>(L"GetType");
    EXPECT_EQ(doc->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], id);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    // Only the members the program uses exist: a property the host has but the program never reads.
    EXPECT_EQ(doc->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, ids), S_OK);
    LPOLESTR path[] = {const_cast<LPOLESTR>(L"GetPathName")};
    EXPECT_EQ(doc->GetIDsOfNames(IID_NULL, path, 1, LOCALE_USER_DEFAULT, ids), DISP_E_UNKNOWNNAME);

    RawResult r;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(doc->Invoke(999, IID_NULL, 0, DISPATCH_METHOD, &none, r.result.put(), nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(doc->Invoke(id, IID_IDispatch, 0, DISPATCH_METHOD, &none, r.result.put(), nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

TEST_F(DispatchServer, AnOlderHostAnswersItsRevisionAndDoesNotKnowTheCallsThatCameAfterIt) {
    InProcessHost server;
    RawResult r;
    invokeRaw(r, server.app.get(), L"RevisionNumber", DISPATCH_METHOD, {});
    EXPECT_EQ(cv::describe(r.result.get()), "BSTR \"0.0.0 stand-in\"");

    server.context->setRevision(L"20.0.0", host::HostRevision{20, 0, 0});
    invokeRaw(r, server.app.get(), L"RevisionNumber", DISPATCH_METHOD, {});
    EXPECT_EQ(cv::describe(r.result.get()), "BSTR \"20.0.0\"");
    const ComPtr<IDispatch> doc = objectFrom(server.app.get(), L"ActiveDoc", DISPATCH_PROPERTYGET);
    const ComPtr<IDispatch> extension = objectFrom(doc.get(), L"Extension", DISPATCH_PROPERTYGET);
    const auto lookUp = [](IDispatch* object, const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 0;
        return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    };
    EXPECT_EQ(lookUp(server.app.get(), L"AddMenuItem5"), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(lookUp(server.app.get(), L"setaddincallbackinfo2"), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(lookUp(extension.get(), L"FinishRecordingUndoObject2"), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(lookUp(extension.get(), L"FinishRecordingUndoObject"), S_OK);
    EXPECT_EQ(lookUp(doc.get(), L"GetType"), S_OK);
    EXPECT_EQ(lookUp(server.app.get(), L"LoadAddIn"), S_OK); // not dated: every host has it
    EXPECT_EQ(std::count(server.trace.begin(), server.trace.end(),
                         "-- App.AddMenuItem5 is unknown to host revision 20.0.0"),
              1);
}

TEST_F(DispatchServer, MethodsPropertiesAndPutsAnswerOnlyTheirOwnKindOfCall) {
    InProcessHost server;
    const ComPtr<IDispatch> doc = objectFrom(server.app.get(), L"ActiveDoc", DISPATCH_PROPERTYGET);
    RawResult asMethod;
    invokeRaw(asMethod, server.app.get(), L"ActiveDoc", DISPATCH_METHOD, args());
    EXPECT_EQ(asMethod.hr, DISP_E_MEMBERNOTFOUND);
    RawResult asGet;
    invokeRaw(asGet, doc.get(), L"GetType", DISPATCH_PROPERTYGET, args());
    EXPECT_EQ(asGet.hr, DISP_E_MEMBERNOTFOUND);
    // Basic asks for methods with both flags; that is a method call.
    RawResult both;
    invokeRaw(both, doc.get(), L"GetType", DISPATCH_METHOD | DISPATCH_PROPERTYGET, args());
    EXPECT_EQ(both.hr, S_OK);
    EXPECT_EQ(cv::describe(both.result.get()), "I4 3");
    RawResult named;
    invokeRaw(named, doc.get(), L"ActivateSheet", DISPATCH_METHOD, args(cv::variantBstr(L"Blatt1")), {0});
    EXPECT_EQ(named.hr, DISP_E_NONAMEDARGS);

    // A property put must name its value DISPID_PROPERTYPUT.
    const ComPtr<IDispatch> note = objectFromObject(doc.get(), L"InsertNote", cv::variantBstr(L"x"));
    ASSERT_TRUE(note);
    RawResult unnamed;
    invokeRaw(unnamed, note.get(), L"angle", DISPATCH_PROPERTYPUT, args(com::arg(std::int16_t{0})));
    EXPECT_EQ(unnamed.hr, DISP_E_PARAMNOTFOUND);
    RawResult put;
    invokeRaw(put, note.get(), L"angle", DISPATCH_PROPERTYPUT, args(com::arg(std::int16_t{0})), {DISPID_PROPERTYPUT});
    EXPECT_EQ(put.hr, S_OK);
    RawResult putAsDouble; // the host's own Angle is a double; the program sends a 16-bit integer
    invokeRaw(putAsDouble, note.get(), L"angle", DISPATCH_PROPERTYPUT, args(cv::variantR8(0)), {DISPID_PROPERTYPUT});
    EXPECT_EQ(putAsDouble.hr, DISP_E_TYPEMISMATCH);
}

TEST_F(DispatchServer, AHostErrorBecomesTheHostsExceptionWithItsWords) {
    InProcessHost server;
    const ComPtr<IDispatch> doc = objectFrom(server.app.get(), L"ActiveDoc", DISPATCH_PROPERTYGET);
    const ComPtr<IDispatch> view = objectFrom(doc.get(), L"GetFirstView");
    const ComPtr<IDispatch> symbol = objectFrom(view.get(), L"GetFirstSFSymbol");
    const ComPtr<IDispatch> annotation = objectFrom(symbol.get(), L"GetAnnotation");
    const ComPtr<IDispatch> format = objectFromObject(annotation.get(), L"gettextformat", com::arg(std::int16_t{0}));

    RawResult r;
    invokeRaw(r, format.get(), L"TypeFaceName", DISPATCH_PROPERTYPUT, args(cv::variantBstr(L"")), {DISPID_PROPERTYPUT});
    ASSERT_EQ(r.hr, DISP_E_EXCEPTION);
    const EXCEPINFO& info = r.error.filled();
    EXPECT_EQ(com::UniqueBstr::attach(SysAllocString(info.bstrSource)).str(), L"TypeFaceName");
    EXPECT_EQ(com::UniqueBstr::attach(SysAllocString(info.bstrDescription)).str(), L"an empty font name");
    EXPECT_EQ(info.scode, E_FAIL);
    EXPECT_EQ(server.trace.back(), "TypeFaceName(BSTR \"\") -> FAILED an empty font name");

    // A text format that is not this host's is no text format at all.
    cv::FakeDispatch foreign;
    RawResult mismatch;
    invokeRaw(mismatch, annotation.get(), L"SetTextFormat", DISPATCH_METHOD,
              args(com::arg(std::int16_t{0}), cv::variantBool(false), cv::variantDispatch(&foreign)));
    EXPECT_EQ(mismatch.hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(mismatch.argErr, 0u);
    // Its own is taken, and the client sees the host's words.
    const host::AppRef app = com::wrapApp(server.app);
    const host::AnnotationRef clientAnnotation = app->ActiveDoc()->GetFirstView()->GetFirstSFSymbol()->GetAnnotation();
    const host::TextFormatRef clientFormat = clientAnnotation->gettextformat(0);
    EXPECT_TRUE(clientAnnotation->SetTextFormat(0, false, clientFormat));
    try {
        clientFormat->setCharHeightInPts(0);
        ADD_FAILURE() << "no error";
    } catch (const host::HostError& e) {
        EXPECT_EQ(e.operation(), "CharHeightInPts");
        EXPECT_STREQ(e.what(), "CharHeightInPts: the height is out of range [E_FAIL (0x80004005)]");
    }
}

// EditUndo2 is a Sub; a host without the recording calls answers as for a name it does not know,
// and the client takes that for an older host.
TEST_F(DispatchServer, TheUndoCallsAnswerAsTheHostsDo) {
    sim::HostData older = cv::sampleHost();
    older.behaviour.undoCalls = sim::UndoCalls::older;
    InProcessHost server(older);
    const ComPtr<IDispatch> doc = objectFrom(server.app.get(), L"ActiveDoc", DISPATCH_PROPERTYGET);
    const ComPtr<IDispatch> extension = objectFrom(doc.get(), L"Extension", DISPATCH_PROPERTYGET);
    RawResult start;
    invokeRaw(start, extension.get(), L"StartRecordingUndoObject", DISPATCH_METHOD, {});
    EXPECT_EQ(start.hr, S_OK);
    RawResult note;
    invokeRaw(note, doc.get(), L"InsertNote", DISPATCH_METHOD, args(cv::variantBstr(L"()")));
    RawResult finish2;
    invokeRaw(finish2, extension.get(), L"FinishRecordingUndoObject2", DISPATCH_METHOD,
              args(cv::variantBstr(L"Oberfl\u00e4chenangabe"), cv::variantBool(false)));
    EXPECT_EQ(finish2.hr, DISP_E_UNKNOWNNAME);
    const host::ExtensionRef client = com::wrapApp(server.app)->ActiveDoc()->Extension();
    try {
        client->FinishRecordingUndoObject2(L"Oberfl\u00e4chenangabe", false);
        ADD_FAILURE() << "no error";
    } catch (const host::HostError& e) {
        EXPECT_TRUE(e.unknownName()) << e.what();
    }
    EXPECT_TRUE(client->FinishRecordingUndoObject(L"Oberfl\u00e4chenangabe"));
    ASSERT_EQ(server.sim.data().activeDoc->undoList.size(), 1u);

    RawResult undo;
    invokeRaw(undo, doc.get(), L"EditUndo2", DISPATCH_METHOD, args(com::arg(std::int32_t{1})));
    EXPECT_EQ(undo.hr, S_OK);
    EXPECT_EQ(undo.result.vt(), VT_EMPTY);
    EXPECT_TRUE(server.sim.data().activeDoc->undoList.empty());
    EXPECT_EQ(server.sim.data().activeDoc->sheets[0].views[0].notes.size(), 1u) << "the note is gone again";
}

TEST_F(DispatchServer, InjectedFaultsFailTheChosenCallBeforeItActs) {
    InProcessHost server;
    server.context->failAtCall(3);
    server.context->failOperation("InsertNote");
    const host::AppRef app = com::wrapApp(server.app);
    const host::DocRef doc = app->ActiveDoc();            // call 1
    EXPECT_TRUE(doc->ActivateSheet(L"Blatt1"));            // call 2
    try {
        doc->SelectByID(L"Blatt1", L"SHEET", 0.1, 0.1, 0); // call 3
        ADD_FAILURE() << "no fault";
    } catch (const host::HostError& e) {
        EXPECT_EQ(e.operation(), "SelectByID");
        EXPECT_NE(std::string(e.what()).find("injected fault"), std::string::npos);
    }
    EXPECT_FALSE(server.sim.pickPoint().has_value());
    EXPECT_TRUE(doc->SelectByID(L"Blatt1", L"SHEET", 0.1, 0.1, 0));
    for (int i = 0; i < 2; ++i) {
        EXPECT_THROW(doc->InsertNote(L"x"), host::HostError);
    }
    EXPECT_EQ(server.sim.data().activeDoc->sheets[0].views[0].notes.size(), 1u);
    EXPECT_EQ(server.context->callCount(), 6u);
}

TEST_F(DispatchServer, TheEmptyReferenceGoesInTheChosenFormAndArrivesAsEmpty) {
    const std::pair<EmptyForm, VARTYPE> forms[] = {
        {EmptyForm::NullDispatch, VT_DISPATCH}, {EmptyForm::Empty, VT_EMPTY}, {EmptyForm::Null, VT_NULL}};
    for (const auto& [form, vt] : forms) {
        sim::HostData noDocument;
        InProcessHost server(noDocument);
        server.context->setEmptyForm(form);
        RawResult raw;
        invokeRaw(raw, server.app.get(), L"ActiveDoc", DISPATCH_PROPERTYGET, args());
        EXPECT_EQ(raw.hr, S_OK);
        EXPECT_EQ(raw.result.vt(), vt);
        EXPECT_EQ(com::wrapApp(server.app)->ActiveDoc(), nullptr);
    }
}

// ---- across apartments ----------------------------------------------------------------------

// The server's objects live in their own apartment on a second thread; the client reaches them
// through a proxy, as it would reach another process.
class ServerThread {
public:
    explicit ServerThread(sim::HostData data) {
        thread_ = std::thread([this, data = std::move(data)]() mutable { run(std::move(data)); });
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return stream_ != nullptr || failed_; });
    }
    ~ServerThread() { stop(); }
    void stop() {
        if (thread_.joinable()) {
            PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
            thread_.join();
        }
    }
    ComPtr<IDispatch> unmarshal() {
        ComPtr<IDispatch> app;
        EXPECT_EQ(CoGetInterfaceAndReleaseStream(stream_, IID_IDispatch, app.putVoid()), S_OK);
        stream_ = nullptr;
        return app;
    }
    // What the drawing became; valid once stopped.
    const sim::HostData& finalData() const { return final_; }

private:
    void run(sim::HostData data) {
        const ComApartment apartment;
        InProcessHost server(std::move(data));
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue must exist before WM_QUIT
        {
            std::lock_guard lock(mutex_);
            threadId_ = GetCurrentThreadId();
            failed_ = FAILED(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, server.app.get(), &stream_));
        }
        ready_.notify_one();
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            DispatchMessageW(&msg);
        }
        final_ = server.sim.data();
    }

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable ready_;
    DWORD threadId_ = 0;
    IStream* stream_ = nullptr;
    bool failed_ = false;
    sim::HostData final_;
};

TEST_F(DispatchServer, TheApplicationsEventsTakeOnlySinksOfTheirInterfaceAndFireIdleAtMostEvery50Ms) {
    InProcessHost host;
    EXPECT_FALSE(host.app.query<IConnectionPointContainer>()) << "a host without events offers no container";
    auto events = std::make_shared<AppEvents>([&host](const std::string& line) { host.trace.push_back(line); });
    host.context->setAppEvents(events);
    const auto container = host.app.query<IConnectionPointContainer>();
    ASSERT_TRUE(container);
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, point.put()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(container->FindConnectionPoint(kAppEventsIid, point.put()), S_OK);

    cv::FakeDispatch plain;
    cv::FakeDispatch sink;
    sink.otherInterface = [&sink](REFIID iid) -> IUnknown* { return iid == kAppEventsIid ? &sink : nullptr; };
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(&plain, &cookie), CONNECT_E_CANNOTCONNECT);
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    const auto idles = [&sink] { return std::count(sink.unexpected.begin(), sink.unexpected.end(), L"dispid 20"); };
    events->idle();
    events->idle();
    EXPECT_EQ(idles(), 1) << "fired twice within 50 ms";
    Sleep(60);
    events->idle();
    EXPECT_EQ(idles(), 2);
    EXPECT_EQ(events->reportLeft(), 1);

    EXPECT_EQ(point->Unadvise(cookie + 1), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(sink.refs, 1) << "the host kept the sink";
    EXPECT_EQ(events->reportLeft(), 0);
    Sleep(60);
    events->idle();
    EXPECT_EQ(idles(), 2);

    events->refuseSubscriptions();
    EXPECT_EQ(point->Advise(&sink, &cookie), CONNECT_E_ADVISELIMIT);
    EXPECT_EQ(sink.refs, 1);
}

TEST_F(DispatchServer, TheDrawingsEventsComeAroundASaveAndAtItsCloseAndASinkNotGivenBackCounts) {
    InProcessHost host;
    auto events = std::make_shared<DocEvents>([&host](const std::string& line) { host.trace.push_back(line); });
    host.context->setDocEvents(events);
    const ComPtr<IDispatch> doc = objectFrom(host.app.get(), L"ActiveDoc", DISPATCH_PROPERTYGET);
    const auto container = doc.query<IConnectionPointContainer>();
    ASSERT_TRUE(container);
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(kAppEventsIid, point.put()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(container->FindConnectionPoint(kDrawingDocEventsIid, point.put()), S_OK);

    cv::FakeDispatch plain;
    cv::FakeDispatch sink;
    sink.otherInterface = [&sink](REFIID iid) -> IUnknown* { return iid == kDrawingDocEventsIid ? &sink : nullptr; };
    DWORD cookie = 0;
    EXPECT_EQ(point->Advise(&plain, &cookie), CONNECT_E_CANNOTCONNECT);
    ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);

    std::size_t seenAtWrite = 0;
    EXPECT_TRUE(events->save(L"C:\\z\\Welle.json", [&] {
        seenAtWrite = sink.unexpected.size();
        return true;
    }));
    EXPECT_EQ(seenAtWrite, 1u) << "FileSaveNotify comes before the file is written";
    EXPECT_EQ(sink.unexpected, (std::vector<std::wstring>{L"dispid 6 (BSTR \"C:\\z\\Welle.json\")",
                                                          L"dispid 26 (I4 1, BSTR \"C:\\z\\Welle.json\")"}));
    sink.unexpected.clear();
    EXPECT_FALSE(events->save(L"C:\\z\\Welle.json", [] { return false; }));
    EXPECT_EQ(sink.unexpected, (std::vector<std::wstring>{L"dispid 6 (BSTR \"C:\\z\\Welle.json\")", L"dispid 34"}))
        << "a save that failed says so instead of its post-notification";
    sink.unexpected.clear();
    events->setSaveNotifications({kFileSavePostNotify});
    events->save(L"a.json", [] { return true; });
    EXPECT_EQ(sink.unexpected, (std::vector<std::wstring>{L"dispid 26 (I4 1, BSTR \"a.json\")"}));

    EXPECT_EQ(point->Unadvise(cookie + 1), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_EQ(sink.refs, 1) << "the host kept the sink";
    EXPECT_EQ(events->reportLeft(), 0);

    // A sink still subscribed when the document closes: DestroyNotify, then the host lets go of
    // it, and it counts until its subscriber gives the cookie back.
    cv::FakeDispatch late;
    late.otherInterface = [&late](REFIID iid) -> IUnknown* { return iid == kDrawingDocEventsIid ? &late : nullptr; };
    DWORD lateCookie = 0;
    ASSERT_EQ(point->Advise(&late, &lateCookie), S_OK);
    sink.unexpected.clear();
    events->close();
    EXPECT_EQ(late.unexpected, std::vector<std::wstring>{L"dispid 2"});
    EXPECT_TRUE(sink.unexpected.empty());
    EXPECT_EQ(late.refs, 1);
    EXPECT_EQ(events->reportLeft(), 1);
    EXPECT_EQ(point->Advise(&sink, &cookie), CONNECT_E_CANNOTCONNECT) << "the document has gone";
    EXPECT_FALSE(objectFrom(host.app.get(), L"ActiveDoc", DISPATCH_PROPERTYGET).query<IConnectionPointContainer>());
    EXPECT_EQ(point->Unadvise(lateCookie), S_OK);
    EXPECT_EQ(events->reportLeft(), 0);
    EXPECT_EQ(sink.refs, 1);

    auto refusing = std::make_shared<DocEvents>([](const std::string&) {});
    refusing->refuseSubscriptions();
    host.context->setDocEvents(refusing);
    ASSERT_EQ(objectFrom(host.app.get(), L"ActiveDoc", DISPATCH_PROPERTYGET)
                  .query<IConnectionPointContainer>()
                  ->FindConnectionPoint(kDrawingDocEventsIid, point.put()),
              S_OK);
    EXPECT_EQ(point->Advise(&sink, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(sink.refs, 1);
}

TEST_F(DispatchServer, AClientInAnotherApartmentGetsTheSameAnswersThroughProxies) {
    ServerThread server(cv::sampleHost());
    {
        const ComPtr<IDispatch> proxy = server.unmarshal();
        ASSERT_TRUE(proxy);
        cv::runEveryOperation(com::wrapApp(proxy));
        // Errors cross the apartment with the host's words.
        const host::DocRef doc = com::wrapApp(proxy)->ActiveDoc();
        try {
            doc->GetFirstView()->GetFirstSFSymbol()->GetAnnotation()->gettextformat(0)->setTypeFaceName(L"");
            ADD_FAILURE() << "no error";
        } catch (const host::HostError& e) {
            EXPECT_STREQ(e.what(), "TypeFaceName: an empty font name [E_FAIL (0x80004005)]");
        }
    }
    server.stop();
    const auto& own = server.finalData().activeDoc->sheets[0].views[0];
    ASSERT_EQ(own.symbols.size(), 2u);
    EXPECT_EQ(own.symbols[1].name, L"ZyrSymbol_99");
    // The text format came back through the proxy as the server's own object.
    EXPECT_EQ(own.symbols[1].format.typeFaceName, L"ISOCP");
    EXPECT_EQ(own.notes.at(0).name, L"ZyrNote");
}

} // namespace
} // namespace tvx::hostserver
