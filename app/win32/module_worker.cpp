#include "app/win32/module_worker.h"

#include <windows.h>

#include <memory>
#include <utility>

namespace tvx::win {
namespace {

// What the thread owns: its task, and the reference on the module it runs in.
struct WorkerStart {
    std::function<void()> task;
    HMODULE module = nullptr;
};

DWORD WINAPI workerThread(void* param) {
    HMODULE module = nullptr;
    {
        std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(param));
        module = start->module;
        try {
            start->task();
        } catch (...) {
        }
    }
    // Nothing of the module may run after this call: it lets go of the module and ends here.
    FreeLibraryAndExitThread(module, 0);
}

} // namespace

UniqueKernelHandle startModuleWorker(std::function<void()> task) noexcept {
    try {
        auto start = std::make_unique<WorkerStart>(WorkerStart{std::move(task), nullptr});
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&workerThread),
                                &start->module)) {
            return {};
        }
        UniqueKernelHandle worker(CreateThread(nullptr, 0, &workerThread, start.get(), 0, nullptr));
        if (!worker) {
            FreeLibrary(start->module);
            return {};
        }
        static_cast<void>(start.release()); // the thread's now
        return worker;
    } catch (...) {
        return {};
    }
}

} // namespace tvx::win
