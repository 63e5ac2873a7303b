// The host as the add-in meets it, played in the test's own process. Its objects answer the
// add-in's calls themselves and note every other name as unexpected; the run's own calls on the
// application are handed on to the stand-in's dispatch objects over an in-memory drawing.
#pragma once

#include "drawing/com/com_owners.h"
#include "tests/com/fake_dispatch.h"

#include <ocidl.h>

#include <optional>
#include <string>
#include <vector>

namespace tvx::addin::testing {

class FakeAddinHost {
public:
    // standIn: the stand-in's application object the run's calls go to.
    explicit FakeAddinHost(com::ComPtr<IDispatch> standIn);
    FakeAddinHost(const FakeAddinHost&) = delete;
    FakeAddinHost& operator=(const FakeAddinHost&) = delete;

    // What the host does at a click: the enable method, then the callback when enabled.
    // Answers what the enable method answered.
    long click();
    // Asks the enable method only.
    long enableState();
    // Calls the callback without asking (a forced click); then, when the click may start a run,
    // the host's loop until the run's dialog or message has come.
    void forceClick();
    // As the host lets go of the callbacks object when the add-in is unloaded.
    void dropCallbacks() { callbacks.reset(); }

    // Every call on the host's own objects, in order: "app.AddMenuItem5(I4 3, ...)".
    std::vector<std::string> log;
    std::vector<std::wstring> unexpected() const;
    // The references the add-in still holds on the host's own objects.
    long heldReferences() const;

    // A host that does not hold the callbacks object across its own calls on it.
    bool holdsNothingDuringCalls = false;
    // What the host keeps from earlier sessions: the group's button IDs (none: nothing kept), and
    // the add-in's tab.
    std::optional<std::vector<LONG>> keptLayout;
    VARTYPE keptLayoutForm = VT_I4; // the array's elements: VT_I4, VT_INT, VT_I2, VT_VARIANT, VT_R8
    bool keptTab = false;
    bool refuseMenu = false;
    // What RevisionNumber answers; a host without AddMenuItem5 answers DISP_E_MEMBERNOTFOUND.
    std::wstring revision = L"31.2.0";
    bool menuMissing = false;
    bool refuseActivate = false;
    bool noActiveDocument = false;
    // Set by FakeDrawingEvents: ActiveDoc answers `doc`, which offers the drawing's events.
    bool offersDrawingEvents = false;
    // The window Frame().GetHWnd() answers; Frame fails when refuseFrame is set.
    HWND frameWindow = nullptr;
    bool refuseFrame = false;

    com::testing::FakeDispatch app;
    com::testing::FakeDispatch frame;
    com::testing::FakeDispatch manager;
    com::testing::FakeDispatch group;
    com::testing::FakeDispatch tab;
    com::testing::FakeDispatch box;
    // The active drawing as the host's own object; the run's calls on it go on to the stand-in.
    com::testing::FakeDispatch doc;
    com::ComPtr<IDispatch> callbacks;

private:
    void invokeCallback(const wchar_t* name, VARIANT* result);
    HRESULT forward(IDispatch& target, const wchar_t* name, const DISPPARAMS& params, VARIANT* result,
                    EXCEPINFO* error, UINT* argErr);
    HRESULT forwardToDoc(const wchar_t* name, const DISPPARAMS& params, VARIANT* result, EXCEPINFO* error,
                         UINT* argErr);

    com::ComPtr<IDispatch> standIn_;
};

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
// One event interface of a host object as the host offers it: its connection point container (a
// tear-off of the object) and the one point, which keeps the one sink as a host does and sends it
// a notification when the test says. Lives on the test's stack.
class FakeEventSource : public IConnectionPointContainer, public IConnectionPoint {
public:
    FakeEventSource(com::testing::FakeDispatch& object, const IID& events, HRESULT adviseAnswer = S_OK);
    FakeEventSource(const FakeEventSource&) = delete;
    FakeEventSource& operator=(const FakeEventSource&) = delete;

    // The notification to the sink (arguments first to last, as the host's table lists them),
    // then the host's loop.
    void fire(DISPID notification, std::vector<com::UniqueVariant> args = {});

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* given, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    com::ComPtr<IDispatch> sink;
    LONG refs = 0;
    int advised = 0;
    int unadvised = 0;
    DWORD unadvisedCookie = 0;

protected:
    ~FakeEventSource() = default;

private:
    IID events_;
    HRESULT adviseAnswer_;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// The application's events: the idle notification and the change of the active document.
struct FakeAppEvents final : FakeEventSource {
    explicit FakeAppEvents(FakeAddinHost& host, HRESULT adviseAnswer = S_OK);
    void idle() { fire(20); }
    void activeDocChanged() { fire(4); }
};

// The active drawing's events: the host then answers ActiveDoc with a document object of its own
// that offers them and hands the run's calls on to the stand-in's document.
struct FakeDrawingEvents final : FakeEventSource {
    explicit FakeDrawingEvents(FakeAddinHost& host);
    // FileSavePostNotify (save type, file name), as the host sends it once the file is written.
    void saved();
    void destroyed() { fire(2); }
};

// True when no run, the add-in's or the exe's, holds the one-run claim: asked from another
// thread, since the claim's mutex belongs to whichever thread took it.
bool claimFree();

} // namespace tvx::addin::testing
