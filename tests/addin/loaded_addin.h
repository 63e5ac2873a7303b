// Tarvenix.dll as a host in this process meets it: copied into a folder with what its run reads
// beside it, loaded from there, its add-in object made through its class object; and the little a
// host's own loop does for the add-in's dialog. Shared by the in-process tests and the benchmark.
#pragma once

#include "addin/addin_interfaces.h"
#include "drawing/com/com_owners.h"
#include "drawing/sim/sim_host.h"
#include "tests/addin/fake_addin_host.h"
#include "tools/hostserver/dispatch_objects.h"

#include <windows.h>

#include <filesystem>
#include <memory>

namespace tvx::addin::testing {

class LoadedAddin {
public:
    // Copies dll and sourceDir's symbol bitmaps into a folder of this load's own inside folder,
    // writes the configuration there and loads the copy: a copy that pinned itself (a run that
    // outlived its disconnection) stays loaded, and the next load must not meet its file. Throws
    // std::runtime_error when the DLL or its exports are missing.
    LoadedAddin(const std::filesystem::path& folder, const std::filesystem::path& dll,
                const std::filesystem::path& sourceDir);
    LoadedAddin(const LoadedAddin&) = delete;
    LoadedAddin& operator=(const LoadedAddin&) = delete;
    // Frees the DLL only when it says it may go: code of objects still alive would be pulled away.
    ~LoadedAddin();

    HMODULE module() const { return module_; }
    // Where the copy lies, with its configuration and preview bitmaps.
    const std::filesystem::path& folder() const { return folder_; }
    // Through the one function type the compiler lets stand for any other.
    void (*exported(const char* name) const)() { return reinterpret_cast<void (*)()>(GetProcAddress(module_, name)); }
    HRESULT canUnloadNow() const { return canUnloadNow_(); }
    void writeConfig() const;
    // A new add-in object, empty when the class object or the factory refuses.
    com::ComPtr<ISwAddin> create() const;

private:
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

    std::filesystem::path folder_;
    HMODULE module_ = nullptr;
    GetClassObject getClassObject_ = nullptr;
    CanUnloadNow canUnloadNow_ = nullptr;
};

// An in-memory drawing, the stand-in's dispatch objects over it, and the host's own objects in
// front that hand the run's calls on to them.
struct DrawingHost {
    explicit DrawingHost(sim::HostData data);

    sim::SimHost sim;
    std::shared_ptr<hostserver::DispatchContext> context = std::make_shared<hostserver::DispatchContext>();
    FakeAddinHost fake;
};

// Only what a host's own loop does: no dialog manager. The add-in's dialog keys must come
// through its own hook.
void hostPump();

// The main dialog when it is up and visible, whoever opened it.
HWND visibleMainForm();

// A click on a button of the dialog, then the host's loop.
void press(HWND form, int button);

} // namespace tvx::addin::testing
