// The host as the add-in meets it, played in the test's own process. Its objects answer the
// add-in's calls themselves and note every other name as unexpected; the run's own calls on the
// application are handed on to the stand-in's dispatch objects over an in-memory drawing.
#pragma once

#include "drawing/com/com_owners.h"
#include "tests/com/fake_dispatch.h"

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
    // The window Frame().GetHWnd() answers; Frame fails when refuseFrame is set.
    HWND frameWindow = nullptr;
    bool refuseFrame = false;

    com::testing::FakeDispatch app;
    com::testing::FakeDispatch frame;
    com::testing::FakeDispatch manager;
    com::testing::FakeDispatch group;
    com::testing::FakeDispatch tab;
    com::testing::FakeDispatch box;
    com::ComPtr<IDispatch> callbacks;

private:
    void invokeCallback(const wchar_t* name, VARIANT* result);
    HRESULT forward(const wchar_t* name, const DISPPARAMS& params, VARIANT* result, EXCEPINFO* error, UINT* argErr);

    com::ComPtr<IDispatch> standIn_;
};

// True when no run, the add-in's or the exe's, holds the one-run claim: asked from another
// thread, since the claim's mutex belongs to whichever thread took it.
bool claimFree();

} // namespace tvx::addin::testing
