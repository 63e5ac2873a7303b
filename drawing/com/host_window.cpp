#include "drawing/com/host_window.h"

#include "drawing/com/result_convert.h"

#include <cstdint>

namespace tvx::com {

HWND hostFrameWindow(DispatchObject app) noexcept {
    try {
        const ComPtr<IDispatch> frame = takeObject("Frame", app.call("Frame").get());
        if (!frame) {
            return nullptr;
        }
        const std::int32_t handle = takeInt32("GetHWnd", DispatchObject(frame).call("GetHWnd").get());
        // A window handle is 32 bits wide in a 64-bit process too, sign-extended.
        const auto window = reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle));
        return IsWindow(window) ? window : nullptr;
    } catch (...) {
        return nullptr;
    }
}

} // namespace tvx::com
