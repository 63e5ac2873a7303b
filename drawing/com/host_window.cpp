#include "drawing/com/host_window.h"

#include "drawing/com/result_convert.h"

#include <cstdint>
#include <utility>

namespace tvx::com {

HWND hostFrameWindow(DispatchObject app) noexcept {
    try {
        ComPtr<IDispatch> answer = takeObject("Frame", app.call("Frame").get());
        if (!answer) {
            return nullptr;
        }
        // Over the application's line: a host that stops answering here is watched as anywhere.
        DispatchObject frame(std::move(answer), nullptr, app.line());
        const std::int32_t handle = takeInt32("GetHWnd", frame.call("GetHWnd").get());
        // A window handle is 32 bits wide in a 64-bit process too, sign-extended.
        const auto window = reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle));
        return IsWindow(window) ? window : nullptr;
    } catch (...) {
        return nullptr;
    }
}

} // namespace tvx::com
