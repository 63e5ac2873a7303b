#include "app/win32/module_worker.h"

#include <windows.h>

#include <memory>
#include <utility>

namespace tvx::win {
namespace {

// What the thread or the pool's callback owns: its task, and the reference on the module it runs in.
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

void CALLBACK poolCallback(PTP_CALLBACK_INSTANCE instance, void* param) {
    std::unique_ptr<WorkerStart> work(static_cast<WorkerStart*>(param));
    try {
        work->task();
    } catch (...) {
    }
    // The pool lets go of the module once this function has returned, not before.
    FreeLibraryWhenCallbackReturns(instance, work->module);
}

// A reference on the module this code lives in, for work that runs its code later; null when
// none could be taken.
HMODULE holdThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&holdThisModule), &module);
    return module;
}

} // namespace

bool submitModuleWork(std::function<void()> task) noexcept {
    try {
        auto work = std::make_unique<WorkerStart>(WorkerStart{std::move(task), holdThisModule()});
        if (work->module == nullptr) {
            return false;
        }
        if (!TrySubmitThreadpoolCallback(&poolCallback, work.get(), nullptr)) {
            FreeLibrary(work->module);
            return false;
        }
        static_cast<void>(work.release()); // the pool's now
        return true;
    } catch (...) {
        return false;
    }
}

UniqueKernelHandle startModuleWorker(std::function<void()> task) noexcept {
    try {
        auto start = std::make_unique<WorkerStart>(WorkerStart{std::move(task), holdThisModule()});
        if (start->module == nullptr) {
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
