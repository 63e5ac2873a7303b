// A tiny add-in for the stand-in host's tests: it makes the add-in calls a real add-in makes
// (a drawing's menu item, a part's on the menu the host names, a command group with one toolbar
// button on a tab of its own, its icons for current and older hosts), its enable method answers
// enabled while a drawing is active, and its callback makes one host call. Each step is appended
// to the file TVX_TESTADDIN_RECORD names.
// TVX_TESTADDIN_MODE may say "refuse-connect" (it adds its menu item, takes it back and answers
// false), "keep-reference" (it never releases its command manager), "misbehave" (its callback
// throws, then faults) and "older-icons" (only the older hosts' icon lists).
// TVX_TESTADDIN_ICONS names its toolbar picture.
#include "drawing/com/addin_interface.h"
#include "drawing/com/com_owners.h"
#include "drawing/com/dispatch_client.h"

#include <windows.h>

#include <array>
#include <cstdio>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using tvx::com::arg;
using tvx::com::ComPtr;
using tvx::com::UniqueBstr;
using tvx::com::UniqueVariant;

// {9D150035-8215-4525-AC95-CA2D4CBB951A}
constexpr CLSID kClsid = {0x9d150035, 0x8215, 0x4525, {0xac, 0x95, 0xca, 0x2d, 0x4c, 0xbb, 0x95, 0x1a}};
constexpr std::int32_t kGroupId = 4711;
constexpr std::int32_t kDrawing = 3;
constexpr std::int32_t kPart = 1;
constexpr std::int32_t kToolsMenuId = 4;
constexpr wchar_t kItem[] = L"Testbefehl";
constexpr wchar_t kPartItem[] = L"Teilbefehl";
constexpr wchar_t kCallback[] = L"TestCommand";
constexpr wchar_t kEnable[] = L"TestCommandEnable";
constexpr wchar_t kTab[] = L"Testtab";

LONG liveObjects = 0;
LONG serverLocks = 0;
HMODULE thisModule = nullptr;

std::wstring environment(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, static_cast<DWORD>(std::size(value)));
    return length > 0 && length < std::size(value) ? std::wstring(value, length) : std::wstring();
}

bool inMode(const wchar_t* mode) {
    return environment(L"TVX_TESTADDIN_MODE").find(mode) != std::wstring::npos;
}

void record(const std::string& line) {
    const std::wstring path = environment(L"TVX_TESTADDIN_RECORD");
    if (path.empty()) {
        return;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(_wfopen(path.c_str(), L"ab"), &std::fclose);
    if (file) {
        std::fprintf(file.get(), "%s\n", line.c_str());
    }
}

// One late-bound call; throws std::runtime_error naming the member when it fails.
UniqueVariant invoke(IDispatch* object, const wchar_t* member, WORD kind, std::span<UniqueVariant> args) {
    std::wstring name = member;
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    if (object == nullptr || FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
        throw std::runtime_error("no member");
    }
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        reversed.push_back(it->get());
    }
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (kind == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    UniqueVariant result;
    if (FAILED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result.put(), nullptr, nullptr))) {
        throw std::runtime_error("call failed");
    }
    return result;
}

template <class... A>
UniqueVariant call(IDispatch* object, const wchar_t* member, A&&... values) {
    std::array<UniqueVariant, sizeof...(A)> args{std::forward<A>(values)...};
    return invoke(object, member, DISPATCH_METHOD, args);
}

void put(IDispatch* object, const wchar_t* member, UniqueVariant value) {
    invoke(object, member, DISPATCH_PROPERTYPUT, std::span<UniqueVariant>(&value, 1));
}

// Literal texts go as BSTR.
UniqueVariant arg(const wchar_t* value) {
    return tvx::com::arg(std::wstring(value));
}

UniqueVariant object(IDispatch* value) {
    return tvx::com::arg(value);
}

template <class T>
UniqueVariant array(VARTYPE type, const std::vector<T>& items) {
    UniqueVariant v;
    SAFEARRAY* made = SafeArrayCreateVector(type, 0, static_cast<ULONG>(items.size()));
    for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
        if constexpr (std::is_same_v<T, std::wstring>) {
            UniqueBstr item(items[static_cast<std::size_t>(i)]);
            SafeArrayPutElement(made, &i, item.get());
        } else {
            T item = items[static_cast<std::size_t>(i)];
            SafeArrayPutElement(made, &i, &item);
        }
    }
    v.get().vt = static_cast<VARTYPE>(VT_ARRAY | type);
    v.get().parray = made;
    return v;
}

ComPtr<IDispatch> dispatchOf(UniqueVariant answer) {
    return answer.vt() == VT_DISPATCH ? ComPtr<IDispatch>::borrow(answer.get().pdispVal) : ComPtr<IDispatch>();
}

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// Counts itself in liveObjects, so DllCanUnloadNow can answer.
template <class Interface>
class Counted : public Interface {
public:
    Counted() { InterlockedIncrement(&liveObjects); }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
    virtual ~Counted() { InterlockedDecrement(&liveObjects); }

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) {
            std::unique_ptr<Counted> owner(this);
        }
        return static_cast<ULONG>(left);
    }

protected:
    HRESULT answer(REFIID iid, const IID& own, void** out) {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = nullptr;
        if (iid != IID_IUnknown && iid != own) {
            return E_NOINTERFACE;
        }
        *out = this;
        AddRef();
        return S_OK;
    }

private:
    LONG refs_ = 1;
};

class Callbacks final : public Counted<IDispatch> {
public:
    explicit Callbacks(ComPtr<IDispatch> app) : app_(std::move(app)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return answer(iid, IID_IDispatch, out);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (info == nullptr) {
            return E_POINTER;
        }
        *info = nullptr;
        if (index != 0) {
            return DISP_E_BADINDEX;
        }
        static METHODDATA methods[] = {
            {const_cast<OLECHAR*>(kCallback), nullptr, 1, 0, CC_STDCALL, 0, DISPATCH_METHOD, VT_EMPTY},
            {const_cast<OLECHAR*>(kEnable), nullptr, 2, 1, CC_STDCALL, 0, DISPATCH_METHOD, VT_I4},
        };
        INTERFACEDATA data{methods, 2};
        return CreateDispTypeInfo(&data, LOCALE_SYSTEM_DEFAULT, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (names == nullptr || ids == nullptr || count != 1) {
            return E_INVALIDARG;
        }
        ids[0] = lstrcmpiW(names[0], kCallback) == 0 ? 1 : lstrcmpiW(names[0], kEnable) == 0 ? 2 : DISPID_UNKNOWN;
        return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        if (id == 1 && inMode(L"misbehave")) {
            // The first click throws out of the call, the second faults.
            if (++misbehaved_ == 1) {
                record("callback throws");
                throw std::runtime_error("out of the callback");
            }
            record("callback faults");
            // Address 0, out of the compiler's sight: a write fault inside this DLL.
            *reinterpret_cast<volatile int*>(static_cast<std::uintptr_t>(misbehaved_ - 2)) = 1;
        }
        try {
            if (id == 2) {
                const bool drawing = activeDocType() == kDrawing;
                record(drawing ? "enable 1" : "enable 0");
                if (result != nullptr) {
                    arg(drawing ? 1 : 0).detachTo(*result);
                }
                return S_OK;
            }
            if (id == 1) {
                // The one host call of the command.
                const ComPtr<IDispatch> doc = dispatchOf(invoke(app_.get(), L"ActiveDoc", DISPATCH_PROPERTYGET, {}));
                record(doc ? "callback with a document" : "callback without a document");
                return S_OK;
            }
            return DISP_E_MEMBERNOTFOUND;
        } catch (...) {
            record("callback failed");
            return E_FAIL;
        }
    }

private:
    std::int32_t activeDocType() {
        const ComPtr<IDispatch> doc = dispatchOf(invoke(app_.get(), L"ActiveDoc", DISPATCH_PROPERTYGET, {}));
        if (!doc) {
            return 0;
        }
        const UniqueVariant type = call(doc.get(), L"GetType");
        return type.vt() == VT_I4 ? type.get().lVal : 0;
    }

    ComPtr<IDispatch> app_;
    int misbehaved_ = 0;
};

class Addin final : public Counted<ISwAddin> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return answer(iid, __uuidof(ISwAddin), out);
    }

    HRESULT STDMETHODCALLTYPE ConnectToSW(IDispatch* thisSw, long cookie, VARIANT_BOOL* connected) override {
        if (connected == nullptr) {
            return E_POINTER;
        }
        *connected = VARIANT_FALSE;
        try {
            app_ = ComPtr<IDispatch>::borrow(thisSw);
            cookie_ = static_cast<std::int32_t>(cookie);
            callbacks_ = ComPtr<IDispatch>::attach(std::make_unique<Callbacks>(app_).release());
            UniqueVariant module;
            module.get().vt = VT_I8;
            module.get().llVal = reinterpret_cast<std::intptr_t>(thisModule);
            call(app_.get(), L"SetAddinCallbackInfo2", std::move(module), object(callbacks_.get()), arg(cookie_));
            const UniqueVariant id = call(app_.get(), L"AddMenuItem5", arg(kDrawing), arg(cookie_), arg(kItem), arg(-1),
                                          arg(kCallback), arg(kEnable), arg(L"Testhinweis"), UniqueVariant());
            if (id.vt() != VT_I4 || id.get().lVal < 0) {
                throw std::runtime_error("menu item refused");
            }
            // No enable method: enabled whenever its menu is there.
            const UniqueVariant tools = call(app_.get(), L"GetLocalizedMenuName", arg(kToolsMenuId));
            const bool named = tools.vt() == VT_BSTR && tools.get().bstrVal != nullptr;
            partItem_ = std::wstring(kPartItem) + L"@" + (named ? tools.get().bstrVal : L"");
            call(app_.get(), L"AddMenuItem5", arg(kPart), arg(cookie_), arg(partItem_.c_str()), arg(-1), arg(kCallback),
                 arg(L""), arg(L"Testhinweis"), UniqueVariant());
            if (inMode(L"refuse-connect")) {
                takeBack();
                record("connect refused");
                return S_OK;
            }
            addGroup();
            record("connect");
            *connected = VARIANT_TRUE;
        } catch (...) {
            takeBack();
            record("connect failed");
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE DisconnectFromSW(VARIANT_BOOL* done) override {
        takeBack();
        record("disconnect");
        if (done != nullptr) {
            *done = VARIANT_TRUE;
        }
        return S_OK;
    }

private:
    void addGroup() {
        manager_ = dispatchOf(call(app_.get(), L"GetCommandManager", arg(cookie_)));
        std::int32_t errors = -1;
        UniqueVariant errorsOut;
        errorsOut.get().vt = VT_BYREF | VT_I4;
        errorsOut.get().plVal = reinterpret_cast<LONG*>(&errors);
        const ComPtr<IDispatch> group =
            dispatchOf(call(manager_.get(), L"CreateCommandGroup2", arg(kGroupId), arg(L"Testgruppe"),
                            arg(L"Testgruppe"), arg(L"Testhinweis"), arg(-1), arg(true), std::move(errorsOut)));
        if (!group || errors != 0) {
            throw std::runtime_error("no command group");
        }
        const std::vector<std::wstring> icons{environment(L"TVX_TESTADDIN_ICONS")};
        if (!inMode(L"older-icons")) {
            put(group.get(), L"IconList", array(VT_BSTR, icons));
            put(group.get(), L"MainIconList", array(VT_BSTR, icons));
        }
        put(group.get(), L"SmallIconList", arg(icons.front().c_str()));
        put(group.get(), L"LargeIconList", arg(icons.front().c_str()));
        call(group.get(), L"AddCommandItem2", arg(kItem), arg(-1), arg(L"Testhinweis"), arg(L"Testbefehl"), arg(0),
             arg(kCallback), arg(kEnable), arg(1), arg(2));
        put(group.get(), L"HasToolbar", arg(true));
        put(group.get(), L"HasMenu", arg(false));
        put(group.get(), L"ShowInDocumentType", arg(8));
        call(group.get(), L"Activate");
        UniqueVariant index = arg(0);
        const UniqueVariant id =
            invoke(group.get(), L"CommandID", DISPATCH_PROPERTYGET, std::span<UniqueVariant>(&index, 1));
        tab_ = dispatchOf(call(manager_.get(), L"GetCommandTab", arg(kDrawing), arg(kTab)));
        if (!tab_) {
            tab_ = dispatchOf(call(manager_.get(), L"AddCommandTab", arg(kDrawing), arg(kTab)));
        }
        const ComPtr<IDispatch> box = dispatchOf(call(tab_.get(), L"AddCommandTabBox"));
        call(box.get(), L"AddCommands", array(VT_I4, std::vector<LONG>{id.get().lVal}),
             array(VT_I4, std::vector<LONG>{2}));
        if (inMode(L"keep-reference")) {
            // Never released: the host must find it at the end.
            manager_.get()->AddRef();
        }
    }

    // What ConnectToSW added, taken back; the host object last.
    void takeBack() {
        const auto tryCall = [](auto&& step) {
            try {
                step();
            } catch (...) {
            }
        };
        if (app_) {
            tryCall([&] { call(app_.get(), L"RemoveMenu", arg(kDrawing), arg(kItem), arg(kCallback)); });
            if (!partItem_.empty()) {
                tryCall([&] { call(app_.get(), L"RemoveMenu", arg(kPart), arg(partItem_.c_str()), arg(kCallback)); });
            }
        }
        if (manager_) {
            if (tab_) {
                tryCall([&] { call(manager_.get(), L"RemoveCommandTab", object(tab_.get())); });
            }
            tryCall([&] { call(manager_.get(), L"RemoveCommandGroup2", arg(kGroupId), arg(false)); });
        }
        tab_.reset();
        manager_.reset();
        partItem_.clear();
        callbacks_.reset();
        app_.reset();
    }

    ComPtr<IDispatch> app_;
    ComPtr<IDispatch> callbacks_;
    ComPtr<IDispatch> manager_;
    ComPtr<IDispatch> tab_;
    std::wstring partItem_;
    std::int32_t cookie_ = 0;
};

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    // A static object: its references keep nothing alive.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        try {
            const auto made = ComPtr<ISwAddin>::attach(std::make_unique<Addin>().release());
            return made->QueryInterface(iid, out);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&serverLocks);
        } else {
            InterlockedDecrement(&serverLocks);
        }
        return S_OK;
    }
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

Factory factory;

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    if (clsid != kClsid) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return factory.QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}
