#include "addin/addin_object.h"

#include "addin/addin_interfaces.h"
#include "addin/addin_shell.h"
#include "addin/host_commands.h"
#include "addin/module.h"
#include "addin/process_state.h"
#include "app/win32/run_log_file.h"
#include "drawing/com/com_object.h"
#include "drawing/com/failure_text.h"
#include "drawing/host.h"
#include "drawing/oldest_host.h"

#include <chrono>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace tvx::addin {
namespace {

using com::ComPtr;

constexpr int kIconSizes[] = {20, 32, 40, 64, 96, 128};

std::vector<std::wstring> iconPaths() {
    const std::wstring folder = moduleFolder();
    std::vector<std::wstring> paths;
    for (const int size : kIconSizes) {
        paths.push_back(folder + L"\\command_" + std::to_wstring(size) + L".bmp");
    }
    return paths;
}

std::string revisionText(const host::HostRevision& revision) {
    return std::to_string(revision.major) + "." + std::to_string(revision.minor);
}

std::string hostText(const std::wstring& revision) {
    return "Host-Revision " + (revision.empty() ? std::string("unbekannt") : com::toUtf8(revision));
}

// Judged before anything is added: a host older than the newest call the add-in needs would
// refuse one of them halfway. Empty when the host is new enough, or its revision cannot be read
// (then a call it does not know tells).
std::string tooOldFor(const std::wstring& revision) {
    const auto parsed = host::parseHostRevision(revision);
    const host::NeededCall* missing = parsed ? host::firstMissingAddinCall(*parsed) : nullptr;
    if (missing == nullptr) {
        return {};
    }
    return hostText(revision) + " zu alt (Tarvenix braucht mindestens " + revisionText(host::oldestAddinHost()) +
           "): es fehlt " + missing->name + " (ab " + revisionText(missing->since) + ")";
}

bool unknownToHost(const host::HostError& e) {
    constexpr std::int32_t kMemberNotFound = static_cast<std::int32_t>(0x80020003u); // DISP_E_MEMBERNOTFOUND
    return e.unknownName() || e.code() == kMemberNotFound;
}

// Everything one connection holds; the host's object last of all.
struct Connection {
    std::shared_ptr<AddinShell> shell;
    ComPtr<IDispatch> callbacks;
    std::unique_ptr<HostCommands> commands;
};

// The host calls the command by name: the names resolve through the type library built into the
// DLL, which also answers a host that asks for type information.
class AddinCallbacks final : public com::ComObject<ITvxCallbacks, IDispatch> {
public:
    AddinCallbacks(std::weak_ptr<AddinShell> shell, ComPtr<ITypeInfo> info)
        : shell_(std::move(shell)), info_(std::move(info)) {}

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
        *info = ComPtr<ITypeInfo>(info_).detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return DispGetIDsOfNames(info_.get(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* error, UINT* argErr) override {
        // The host may let go of this object inside the call (it unloads the add-in under the
        // command): the object and its type information stay until the call has returned.
        const auto self = ComPtr<ITvxCallbacks>::borrow(this);
        const ComPtr<ITypeInfo> info = info_;
        return DispInvoke(self.get(), info.get(), id, flags, params, result, error, argErr);
    }

    HRESULT STDMETHODCALLTYPE TvxSurfaceFinish() override {
        if (const auto shell = shell_.lock()) {
            shell->command();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE TvxSurfaceFinishEnable(long* state) override {
        if (state == nullptr) {
            return E_POINTER;
        }
        const auto shell = shell_.lock();
        *state = shell ? shell->enableState() : 0;
        return S_OK;
    }

private:
    ModuleRef counted_;
    // The host may keep this object past DisconnectFromSW; it then does nothing.
    std::weak_ptr<AddinShell> shell_;
    ComPtr<ITypeInfo> info_;
};

ComPtr<ITypeInfo> callbacksTypeInfo() {
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, library.put());
    ComPtr<ITypeInfo> info;
    if (SUCCEEDED(hr)) {
        hr = library->GetTypeInfoOfGuid(__uuidof(ITvxCallbacks), info.put());
    }
    if (FAILED(hr) || !info) {
        throw host::HostError("LoadTypeLibEx", "the add-in's type library cannot be read");
    }
    return info;
}

class TarvenixAddin final : public com::ComObject<ISwAddin> {
public:
    HRESULT STDMETHODCALLTYPE ConnectToSW(IDispatch* app, long cookie, VARIANT_BOOL* connected) override {
        if (connected == nullptr) {
            return E_POINTER;
        }
        *connected = VARIANT_FALSE;
        if (connection_) {
            return S_OK;
        }
        const HINSTANCE module = processState().module;
        if (app == nullptr) {
            // The host then only unticks the add-in and says nothing: the log must.
            win::logOutsideRun(module, "Add-in", "ConnectToSW", "nicht verbunden: kein Host-Objekt");
            return S_OK;
        }
        std::wstring revision;
        try {
            auto connection = std::make_unique<Connection>();
            const ComPtr<IDispatch> host = ComPtr<IDispatch>::borrow(app);
            connection->shell = std::make_shared<AddinShell>(module, host);
            revision = connection->shell->hostRevision();
            if (const std::string tooOld = tooOldFor(revision); !tooOld.empty()) {
                win::logOutsideRun(module, "Add-in", "ConnectToSW", "nicht verbunden: " + tooOld);
                return S_OK;
            }
            connection->shell->listenForIdle();
            connection->callbacks =
                ComPtr<IDispatch>::attach(std::make_unique<AddinCallbacks>(connection->shell, callbacksTypeInfo()).release());
            connection->commands = std::make_unique<HostCommands>(host, cookie, module,
                                                                  connection->callbacks.get(), iconPaths());
            connection_ = std::move(connection);
            *connected = VARIANT_TRUE;
        } catch (const host::HostError& e) {
            // Whatever was added is taken back by the parts' destructors.
            win::logOutsideRun(module, "Add-in", "ConnectToSW",
                               unknownToHost(e) ? "nicht verbunden: " + hostText(revision) + ": der Host kennt " +
                                                      e.operation() + " nicht"
                                                : std::string("nicht verbunden: ") + e.what());
        } catch (const std::exception& e) {
            win::logOutsideRun(module, "Add-in", "ConnectToSW", std::string("nicht verbunden: ") + e.what());
        } catch (...) {
            win::logOutsideRun(module, "Add-in", "ConnectToSW", "nicht verbunden: unbekannter Fehler");
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE DisconnectFromSW(VARIANT_BOOL* disconnected) override {
        if (disconnected != nullptr) {
            *disconnected = VARIANT_TRUE;
        }
        disconnect();
        return S_OK;
    }

    ~TarvenixAddin() override { disconnect(); }

private:
    void disconnect() noexcept {
        if (!connection_) {
            return;
        }
        connection_->shell->endRun();
        connection_->commands.reset();
        connection_->callbacks.reset();
        AddinShell::release(std::move(connection_->shell));
        connection_.reset();
        // The host may end its process right after this: the run's last record must be on disk.
        win::settleQueuedRecords(std::chrono::milliseconds(500));
    }

    ModuleRef counted_;
    std::unique_ptr<Connection> connection_;
};

class ClassFactory final : public com::ComObject<IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        return outer != nullptr ? CLASS_E_NOAGGREGATION : createAddin(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            ++processState().live;
        } else {
            --processState().live;
        }
        return S_OK;
    }

private:
    ModuleRef counted_;
};

template <class T>
HRESULT create(REFIID iid, void** object) noexcept {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    try {
        // The new object's own reference goes with `owner`; the caller keeps the one it asked for.
        const auto owner = ComPtr<IUnknown>::attach(static_cast<IUnknown*>(std::make_unique<T>().release()));
        return owner->QueryInterface(iid, object);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

} // namespace

HRESULT createAddin(REFIID iid, void** object) noexcept { return create<TarvenixAddin>(iid, object); }

HRESULT createClassFactory(REFIID iid, void** object) noexcept { return create<ClassFactory>(iid, object); }

} // namespace tvx::addin
