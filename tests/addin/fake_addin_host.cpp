#include "tests/addin/fake_addin_host.h"

#include "tests/addin/loaded_addin.h"

#include "app/win32/control_ids.h"
#include "app/win32/single_instance.h"

#include <gtest/gtest.h>
#include <olectl.h>

#include <thread>

namespace tvx::addin::testing {
namespace {

using com::testing::FakeDispatch;
using com::testing::variantBool;
using com::testing::variantBstr;
using com::testing::variantDispatch;
using com::testing::variantI4;

std::string callText(const std::string& object, const DISPPARAMS& params, const std::string& name) {
    std::string text = object + "." + name + "(";
    for (UINT i = params.cArgs; i > 0; --i) {
        text += com::testing::describe(params.rgvarg[i - 1]) + (i > 1 ? ", " : "");
    }
    return text + ")";
}

// As the host's type library has them: the application's events and a drawing's.
constexpr IID kAppEventsIid = {0x83A33D22, 0x37C5, 0x11CE, {0xBF, 0xD4, 0x00, 0x40, 0x05, 0x13, 0xBB, 0x57}};
constexpr IID kDrawingEventsIid = {0x83A33D34, 0x37C5, 0x11CE, {0xBF, 0xD4, 0x00, 0x40, 0x05, 0x13, 0xBB, 0x57}};

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The session's one-run claim, seen from another thread as from another process.
// The host's loop after a click that took the claim: the add-in answers from its own messages
// once the configuration is read, with its dialog, or with a message and the claim given back.
void loopUntilTheStartHasAnswered() {
    const auto formUp = [] {
        const HWND form = FindWindowW(ids::kMainFormClass, nullptr);
        return form != nullptr && IsWindowVisible(form);
    };
    // The claim is asked from a thread of its own, which costs more than a look at the window: only
    // once the messages of the round have not brought the dialog. Click to dialog is benchmarked
    // through this loop.
    for (int round = 0; round < 1000; ++round) {
        if (formUp()) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (formUp() || claimFree()) {
            return;
        }
    }
    ADD_FAILURE() << "the click was not answered within 10 s";
}

} // namespace

bool claimFree() {
    bool free = false;
    std::thread([&free] {
        const HANDLE claim = CreateMutexW(nullptr, FALSE, win::kInstanceClaimName);
        const DWORD waited = WaitForSingleObject(claim, 0);
        free = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        if (free) {
            ReleaseMutex(claim);
        }
        CloseHandle(claim);
    }).join();
    return free;
}

FakeAddinHost::FakeAddinHost(com::ComPtr<IDispatch> standIn) : standIn_(std::move(standIn)) {
    // Each answer of the host's own objects is logged, then given.
    const auto answer = [this](FakeDispatch& object, const std::string& objectName, const std::wstring& name,
                               std::function<void(const DISPPARAMS&, VARIANT*)> respond) {
        object.on(name, [this, objectName, name, respond](const DISPPARAMS& params, VARIANT* result, EXCEPINFO*, UINT*) {
            log.push_back(callText(objectName, params, narrow(name)));
            if (result != nullptr) {
                VariantInit(result);
            }
            respond(params, result);
            return S_OK;
        });
    };
    // Made afresh at each answer: a kept copy would hold a reference of its own.
    const auto giveObject = [](IDispatch* object) {
        return [object](const DISPPARAMS&, VARIANT* result) {
            if (result != nullptr) {
                VariantCopy(result, variantDispatch(object).addressOf());
            }
        };
    };
    const auto give = [](com::UniqueVariant value) {
        return [held = std::make_shared<com::UniqueVariant>(std::move(value))](const DISPPARAMS&, VARIANT* result) {
            if (result != nullptr) {
                VariantCopy(result, held->addressOf());
            }
        };
    };

    answer(app, "app", L"RevisionNumber", [this](const DISPPARAMS&, VARIANT* result) {
        if (result != nullptr) {
            VariantCopy(result, variantBstr(revision).addressOf());
        }
    });
    answer(app, "app", L"SetAddinCallbackInfo2", [this](const DISPPARAMS& params, VARIANT* result) {
        // Arguments arrive last to first: the callbacks object is the middle one.
        if (params.cArgs == 3 && params.rgvarg[1].vt == VT_DISPATCH) {
            callbacks = com::ComPtr<IDispatch>::borrow(params.rgvarg[1].pdispVal);
        }
        VariantCopy(result, variantBool(true).addressOf());
    });
    app.on(L"AddMenuItem5", [this](const DISPPARAMS& params, VARIANT* result, EXCEPINFO*, UINT*) {
        log.push_back(callText("app", params, "AddMenuItem5"));
        if (menuMissing) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (result != nullptr) {
            VariantInit(result);
            VariantCopy(result, variantI4(refuseMenu ? -1 : 31).addressOf());
        }
        return S_OK;
    });
    answer(app, "app", L"GetCommandManager", giveObject(&manager));
    answer(app, "app", L"RemoveMenu", give(variantBool(true)));
    app.on(L"Frame", [this, giveFrame = giveObject(&frame)](const DISPPARAMS& params, VARIANT* result, EXCEPINFO*,
                                                             UINT*) {
        log.push_back(callText("app", params, "Frame"));
        if (refuseFrame) {
            return E_FAIL;
        }
        if (result != nullptr) {
            VariantInit(result);
        }
        giveFrame(params, result);
        return S_OK;
    });
    answer(frame, "frame", L"GetHWnd", [this](const DISPPARAMS&, VARIANT* result) {
        // The handle's low 32 bits, as the host answers it.
        const auto handle = static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(frameWindow));
        VariantCopy(result, variantI4(handle).addressOf());
    });
    // The run's calls on the application go on to the stand-in; with no active document the
    // host answers an empty reference, as it does.
    app.on(L"ActiveDoc", [this](const DISPPARAMS& params, VARIANT* result, EXCEPINFO* error, UINT* argErr) {
        if (noActiveDocument || offersDrawingEvents) {
            VariantCopy(result, variantDispatch(noActiveDocument ? nullptr : &doc).addressOf());
            return S_OK;
        }
        return forward(*standIn_.get(), L"ActiveDoc", params, result, error, argErr);
    });
    for (const wchar_t* name : {L"GetUserPreferenceToggle", L"SetUserPreferenceToggle", L"GetRunningCommandInfo"}) {
        app.on(name, [this, name](const DISPPARAMS& params, VARIANT* result, EXCEPINFO* error, UINT* argErr) {
            return forward(*standIn_.get(), name, params, result, error, argErr);
        });
    }
    for (const wchar_t* name : {L"GetType", L"GetFirstView", L"GetCurrentSheet", L"GetTitle", L"Extension",
                                L"SelectByID", L"DeleteSelection", L"ClearSelection2", L"ActivateSheet",
                                L"InsertSurfaceFinishSymbol2", L"InsertNote", L"EditRebuild"}) {
        doc.on(name, [this, name](const DISPPARAMS& params, VARIANT* result, EXCEPINFO* error, UINT* argErr) {
            return forwardToDoc(name, params, result, error, argErr);
        });
    }

    answer(manager, "manager", L"CreateCommandGroup2", giveObject(&group));
    answer(manager, "manager", L"GetGroupDataFromRegistry", [this](const DISPPARAMS& params, VARIANT* result) {
        // Arguments arrive last to first: the IDs' slot is the first.
        if (keptLayout && params.cArgs == 2 && params.rgvarg[0].vt == (VT_BYREF | VT_VARIANT)) {
            SAFEARRAY* ids = SafeArrayCreateVector(keptLayoutForm, 0, static_cast<ULONG>(keptLayout->size()));
            for (LONG i = 0; i < static_cast<LONG>(keptLayout->size()); ++i) {
                LONG id = (*keptLayout)[static_cast<std::size_t>(i)];
                com::UniqueVariant element;
                element.get().vt = VT_I4;
                element.get().lVal = id;
                SHORT shortId = static_cast<SHORT>(id);
                double doubleId = id;
                switch (keptLayoutForm) {
                case VT_VARIANT: SafeArrayPutElement(ids, &i, element.addressOf()); break;
                case VT_I2: SafeArrayPutElement(ids, &i, &shortId); break;
                case VT_R8: SafeArrayPutElement(ids, &i, &doubleId); break;
                default: SafeArrayPutElement(ids, &i, &id); break;
                }
            }
            VariantClear(params.rgvarg[0].pvarVal);
            params.rgvarg[0].pvarVal->vt = static_cast<VARTYPE>(VT_ARRAY | keptLayoutForm);
            params.rgvarg[0].pvarVal->parray = ids;
        }
        VariantCopy(result, variantBool(keptLayout.has_value()).addressOf());
    });
    answer(manager, "manager", L"GetCommandTab", [this, giveTab = giveObject(&tab)](const DISPPARAMS& params,
                                                                                     VARIANT* result) {
        if (keptTab) {
            giveTab(params, result);
        } else {
            VariantCopy(result, variantDispatch(nullptr).addressOf());
        }
    });
    answer(manager, "manager", L"AddCommandTab", giveObject(&tab));
    answer(manager, "manager", L"RemoveCommandTab", give(variantBool(true)));
    answer(manager, "manager", L"RemoveCommandGroup2", give(variantI4(0)));
    for (const wchar_t* name : {L"IconList", L"MainIconList", L"HasToolbar", L"HasMenu", L"ShowInDocumentType"}) {
        answer(group, "group", name, give(com::UniqueVariant()));
    }
    answer(group, "group", L"AddCommandItem2", give(variantI4(0)));
    answer(group, "group", L"Activate", [this](const DISPPARAMS&, VARIANT* result) {
        VariantCopy(result, variantBool(!refuseActivate).addressOf());
    });
    answer(group, "group", L"CommandID", give(variantI4(32)));
    answer(tab, "tab", L"AddCommandTabBox", giveObject(&box));
    answer(box, "box", L"AddCommands", give(variantBool(true)));
}

HRESULT FakeAddinHost::forward(IDispatch& target, const wchar_t* name, const DISPPARAMS& params, VARIANT* result,
                               EXCEPINFO* error, UINT* argErr) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = target.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        return hr;
    }
    const WORD flags = params.cNamedArgs > 0 ? WORD{DISPATCH_PROPERTYPUT} : WORD{DISPATCH_METHOD | DISPATCH_PROPERTYGET};
    return target.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, const_cast<DISPPARAMS*>(&params), result, error,
                         argErr);
}

// The stand-in's document is asked for afresh at each call: no reference of the host's own
// outlives it, so the stand-in's count of references stays the add-in's.
HRESULT FakeAddinHost::forwardToDoc(const wchar_t* name, const DISPPARAMS& params, VARIANT* result,
                                    EXCEPINFO* error, UINT* argErr) {
    DISPPARAMS none{};
    com::UniqueVariant active;
    const HRESULT hr = forward(*standIn_.get(), L"ActiveDoc", none, active.put(), error, argErr);
    if (FAILED(hr) || active.vt() != VT_DISPATCH || active.get().pdispVal == nullptr) {
        return FAILED(hr) ? hr : E_FAIL;
    }
    return forward(*active.get().pdispVal, name, params, result, error, argErr);
}

void FakeAddinHost::invokeCallback(const wchar_t* name, VARIANT* result) {
    // Held for the call, as a host holds what it calls: the add-in may be unloaded meanwhile.
    // A careless host holds nothing; the callbacks object must then hold itself.
    const com::ComPtr<IDispatch> held = holdsNothingDuringCalls ? nullptr : callbacks;
    IDispatch* const called = callbacks.get();
    ASSERT_TRUE(called) << "no callbacks object was announced";
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    ASSERT_EQ(called->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    DISPPARAMS none{};
    ASSERT_EQ(called->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, result, nullptr, nullptr),
              S_OK);
}

long FakeAddinHost::enableState() {
    com::UniqueVariant state;
    invokeCallback(L"TvxSurfaceFinishEnable", state.addressOf());
    EXPECT_EQ(state.vt(), VT_I4);
    return state.vt() == VT_I4 ? state.get().lVal : -1;
}

void FakeAddinHost::forceClick() {
    const bool mayStart = claimFree();
    com::UniqueVariant ignored;
    invokeCallback(L"TvxSurfaceFinish", ignored.addressOf());
    if (mayStart) {
        loopUntilTheStartHasAnswered();
    }
}

long FakeAddinHost::click() {
    const long state = enableState();
    if (state != 0) {
        forceClick();
    }
    return state;
}

std::vector<std::wstring> FakeAddinHost::unexpected() const {
    std::vector<std::wstring> all;
    for (const FakeDispatch* object : {&app, &frame, &manager, &group, &tab, &box, &doc}) {
        all.insert(all.end(), object->unexpected.begin(), object->unexpected.end());
    }
    return all;
}

long FakeAddinHost::heldReferences() const {
    long held = 0;
    for (const FakeDispatch* object : {&app, &frame, &manager, &group, &tab, &box, &doc}) {
        held += object->refs - 1;
    }
    return held;
}

FakeEventSource::FakeEventSource(com::testing::FakeDispatch& object, const IID& events, HRESULT adviseAnswer)
    : events_(events), adviseAnswer_(adviseAnswer) {
    object.otherInterface = [this](REFIID iid) -> IUnknown* {
        return iid == IID_IConnectionPointContainer ? static_cast<IConnectionPointContainer*>(this) : nullptr;
    };
}

void FakeEventSource::fire(DISPID notification, std::vector<com::UniqueVariant> args) {
    if (sink) {
        // Arguments travel last to first.
        std::vector<VARIANT> reversed;
        for (auto it = args.rbegin(); it != args.rend(); ++it) {
            reversed.push_back(it->get());
        }
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        com::UniqueVariant answer;
        EXPECT_EQ(sink->Invoke(notification, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, answer.put(),
                               nullptr, nullptr),
                  S_OK);
    }
    hostPump();
}

HRESULT FakeEventSource::QueryInterface(REFIID iid, void** object) {
    *object = iid == IID_IConnectionPoint ? static_cast<IConnectionPoint*>(this) : nullptr;
    if (*object == nullptr) {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT FakeEventSource::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    *point = nullptr;
    if (iid != events_) {
        return CONNECT_E_NOCONNECTION;
    }
    *point = this;
    AddRef();
    return S_OK;
}

HRESULT FakeEventSource::GetConnectionInterface(IID* iid) {
    *iid = events_;
    return S_OK;
}

HRESULT FakeEventSource::GetConnectionPointContainer(IConnectionPointContainer** container) {
    *container = this;
    AddRef();
    return S_OK;
}

HRESULT FakeEventSource::Advise(IUnknown* given, DWORD* cookie) {
    ++advised;
    if (FAILED(adviseAnswer_)) {
        return adviseAnswer_;
    }
    if (FAILED(given->QueryInterface(events_, sink.putVoid()))) {
        return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = 41;
    return S_OK;
}

HRESULT FakeEventSource::Unadvise(DWORD cookie) {
    ++unadvised;
    unadvisedCookie = cookie;
    sink.reset();
    return S_OK;
}

FakeAppEvents::FakeAppEvents(FakeAddinHost& host, HRESULT adviseAnswer)
    : FakeEventSource(host.app, kAppEventsIid, adviseAnswer) {}

FakeDrawingEvents::FakeDrawingEvents(FakeAddinHost& host) : FakeEventSource(host.doc, kDrawingEventsIid) {
    host.offersDrawingEvents = true;
}

void FakeDrawingEvents::saved() {
    std::vector<com::UniqueVariant> args;
    args.push_back(com::testing::variantI4(1));
    args.push_back(com::testing::variantBstr(L"C:\\Zeichnungen\\Zeichnung1"));
    fire(26, std::move(args));
}

} // namespace tvx::addin::testing
