#include "drawing/com/com_owners.h"

#include "drawing/com/failure_text.h"

#include <limits>
#include <new>
#include <stdexcept>

namespace tvx::com {

UniqueBstr::UniqueBstr(const std::wstring& text) {
    if (text.size() > std::numeric_limits<UINT>::max()) {
        throw std::length_error("string too long for a BSTR");
    }
    b_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (b_ == nullptr) {
        throw std::bad_alloc();
    }
}

ComApartment::ComApartment() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (hr == RPC_E_CHANGED_MODE) {
        // Someone made this thread multithreaded before us: COM works, and is not ours to undo.
        return;
    }
    if (FAILED(hr)) {
        throw std::runtime_error("COM initialisation failed: " + describeHresult(hr));
    }
    balanced_ = true;
}

ComApartment::~ComApartment() {
    if (balanced_) {
        CoUninitialize();
    }
}

} // namespace tvx::com
