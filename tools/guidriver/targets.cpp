#include "targets.h"

#include "app/win32/control_ids.h"

#include <stdexcept>
#include <vector>

namespace tvx::guidriver {
namespace {

std::wstring ownText(HWND window) {
    // GetWindowTextW reads a foreign top-level window's caption without asking its process.
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

struct Search {
    const WindowPattern* pattern;
    std::vector<HWND> found;
};

BOOL CALLBACK collect(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    const WindowPattern& pattern = *search->pattern;
    if (!pattern.className.empty() && className(window) != pattern.className) {
        return TRUE;
    }
    if (!pattern.anyTitle && ownText(window) != pattern.title) {
        return TRUE;
    }
    search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> matches(const WindowPattern& pattern) {
    Search search{&pattern, {}};
    EnumWindows(&collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

WindowPattern parseWindowPattern(const std::wstring& text) {
    WindowPattern pattern;
    const std::size_t separator = text.find(L"::");
    if (separator == std::wstring::npos) {
        pattern.title = text;
        return pattern;
    }
    pattern.className = text.substr(0, separator);
    pattern.title = text.substr(separator + 2);
    pattern.anyTitle = pattern.title.empty();
    return pattern;
}

HWND findVisibleWindow(const WindowPattern& pattern) {
    for (const HWND window : matches(pattern)) {
        if (IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

HWND findWindow(const WindowPattern& pattern) {
    if (const HWND visible = findVisibleWindow(pattern)) {
        return visible;
    }
    const std::vector<HWND> all = matches(pattern);
    return all.empty() ? nullptr : all.front();
}

HWND findControl(HWND window, const std::wstring& pattern) {
    if (pattern == L".") {
        return window;
    }
    int id = -1;
    if (!pattern.empty() && pattern[0] == L'#') {
        id = std::stoi(pattern.substr(1));
    } else if (const std::size_t colon = pattern.find(L':'); colon != std::wstring::npos) {
        const std::wstring wantedClass = pattern.substr(0, colon);
        int wantedIndex = std::stoi(pattern.substr(colon + 1));
        // Children come in z-order, which is creation order for windows that never move.
        for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            if (_wcsicmp(className(child).c_str(), wantedClass.c_str()) == 0 && wantedIndex-- == 0) {
                return child;
            }
        }
        throw std::runtime_error("no such control");
    } else {
        for (const auto& named : ids::kControlNames) {
            if (named.name == pattern) {
                id = named.id;
            }
        }
    }
    const HWND control = id >= 0 ? GetDlgItem(window, id) : nullptr;
    if (control == nullptr) {
        throw std::runtime_error("no such control");
    }
    return control;
}

HWND controlOf(HWND window, HWND child) {
    while (child != nullptr && child != window) {
        const HWND parent = GetAncestor(child, GA_PARENT);
        if (parent == window) {
            return child;
        }
        child = parent;
    }
    return nullptr;
}

std::wstring controlName(HWND control) {
    const int id = GetDlgCtrlID(control);
    for (const auto& named : ids::kControlNames) {
        if (named.id == id) {
            return std::wstring(named.name);
        }
    }
    return L"#" + std::to_wstring(id);
}

} // namespace tvx::guidriver
