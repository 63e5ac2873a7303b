#include "tests/addin/loaded_addin.h"

#include "tests/support/run_fixture.h"
#include "app/win32/control_ids.h"

#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>

namespace tvx::addin::testing {
namespace {

int loads = 0; // in this process, for each load's own folder

} // namespace

LoadedAddin::LoadedAddin(const std::filesystem::path& folder, const std::filesystem::path& dll,
                         const std::filesystem::path& sourceDir)
    : folder_(folder / ("copy-" + std::to_string(++loads))) {
    std::filesystem::create_directories(folder_);
    std::filesystem::copy_file(dll, folder_ / "Tarvenix.dll");
    for (const char* bitmap : {"symbol_00.bmp", "symbol_01.bmp", "symbol_02.bmp"}) {
        std::filesystem::copy_file(sourceDir / "resources" / bitmap, folder_ / bitmap);
    }
    writeConfig();
    module_ = LoadLibraryW((folder_ / "Tarvenix.dll").c_str());
    if (module_ == nullptr) {
        throw std::runtime_error("Tarvenix.dll does not load");
    }
    getClassObject_ = reinterpret_cast<GetClassObject>(exported("DllGetClassObject"));
    canUnloadNow_ = reinterpret_cast<CanUnloadNow>(exported("DllCanUnloadNow"));
    if (getClassObject_ == nullptr || canUnloadNow_ == nullptr) {
        FreeLibrary(module_);
        throw std::runtime_error("Tarvenix.dll lacks DllGetClassObject or DllCanUnloadNow");
    }
}

LoadedAddin::~LoadedAddin() {
    if (canUnloadNow_() == S_OK) {
        FreeLibrary(module_);
    }
}

void LoadedAddin::writeConfig() const {
    std::ofstream(folder_ / "Tarvenix.txt", std::ios::binary) << tvx::testing::configText();
}

com::ComPtr<ISwAddin> LoadedAddin::create() const {
    com::ComPtr<IClassFactory> factory;
    com::ComPtr<ISwAddin> addin;
    if (getClassObject_(kAddinClsid, IID_IClassFactory, factory.putVoid()) == S_OK) {
        factory->CreateInstance(nullptr, __uuidof(ISwAddin), addin.putVoid());
    }
    return addin;
}

DrawingHost::DrawingHost(sim::HostData data)
    : sim(std::move(data)), fake(hostserver::makeAppDispatch(context, sim.connector().attach(host::kHostClassName))) {
    sim.setTracing(false);
}

void hostPump() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

HWND visibleMainForm() {
    const HWND form = FindWindowW(ids::kMainFormClass, nullptr);
    return form != nullptr && IsWindowVisible(form) ? form : nullptr;
}

void press(HWND form, int button) {
    SendMessageW(form, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(form, button)));
    hostPump();
}

} // namespace tvx::addin::testing
