#include "tools/hostserver/addin_host.h"

#include "drawing/com/failure_text.h"
#include "tools/hostserver/addin_icon.h"
#include "tools/hostserver/app_events.h"
#include "tools/hostserver/doc_events.h"
#include "tools/hostserver/dispatch_objects.h"
#include "tools/hostserver/host_frame.h"
#include "tools/hostserver/options_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>
#include <filesystem>

namespace tvx::hostserver {

namespace {

constexpr wchar_t kAddinsKey[] = L"SOFTWARE\\SOLIDWORKS\\AddIns";
constexpr wchar_t kStartupKey[] = L"Software\\SolidWorks\\AddInsStartup";

using DllCanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();
using DllGetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// An export of the DLL; void(*)() is the cast every function type may pass through.
template <class Fn>
Fn exported(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

std::string utf8(const std::wstring& text) {
    return com::toUtf8(text);
}

std::string hresult(HRESULT hr) {
    return com::describeHresult(hr);
}

std::wstring lower(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return text;
}

std::wstring guidText(const GUID& id) {
    wchar_t text[64] = {};
    StringFromGUID2(id, text, static_cast<int>(std::size(text)));
    return text;
}

// A registry value as a DWORD, or nothing.
std::optional<DWORD> dwordValue(HKEY root, const std::wstring& key, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

std::wstring stringValue(HKEY root, const std::wstring& key) {
    wchar_t text[MAX_PATH * 2] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(root, key.c_str(), nullptr, RRF_RT_REG_SZ,
                     nullptr, text, &size) != ERROR_SUCCESS) {
        return {};
    }
    return text;
}

std::vector<std::wstring> subkeys(HKEY root, const wchar_t* key) {
    std::vector<std::wstring> out;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_READ | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS) {
        return out;
    }
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(std::size(name));
        if (RegEnumKeyExW(opened, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        out.emplace_back(name, length);
    }
    RegCloseKey(opened);
    return out;
}

} // namespace

AddinHost::AddinHost(std::shared_ptr<DispatchContext> context, const host::AppRef& hostApp)
    : context_(std::move(context)) {
    app_ = makeAppDispatch(context_, hostApp);
    // What the host itself holds on its application object; anything above this at the end
    // is an add-in's.
    if (const DispatchCore* core = context_->findObject(app_.get())) {
        appBaseline_ = core->references();
    }
    frame_ = std::make_unique<HostFrame>([this](std::int32_t id) { click(id); },
                                         [this](std::int32_t id) { return menuState(id); });
    options_ = std::make_unique<OptionsDialog>(frame_->window(), *context_);
    context_->setAddinHost(this);
}

AddinHost::~AddinHost() {
    options_.reset();
    // Add-ins still loaded (the host timed out) take back their commands through us.
    while (!addins_.empty()) {
        disconnect(addins_.back()->cookie);
    }
    unloadLater();
    context_->setAfterCall({});
    context_->setAddinHost(nullptr);
}

void AddinHost::showFrame() {
    frame_->show();
}

void AddinHost::nameFrame(const std::wstring& drawingFile) {
    const std::wstring name = std::filesystem::path(drawingFile).filename().wstring();
    SetWindowTextW(frame_->window(), (L"Stand-in-Host \u2013 " + name).c_str());
}

void AddinHost::openOptions() {
    options_->open();
}

void AddinHost::closeOptions() {
    options_->close();
}

HWND AddinHost::frameWindow() const noexcept {
    return frame_->window();
}

void AddinHost::showSheet(std::function<std::optional<sim::SheetPicture>()> describe) {
    frame_->showSheet(std::move(describe));
    context_->setAfterCall([this] { sheetChanged(); });
}

void AddinHost::sheetChanged() {
    frame_->sheetChanged();
}

void AddinHost::closeSaves() {
    // A host ends where its close is dispatched, even inside a loop of an add-in's (a message box
    // of its run): it lets its add-ins go there, and its own loop stops once it is back.
    frame_->setCloseHandler([this] {
        if (!closed_) {
            closed_ = true;
            say("-- the frame closed: the add-ins go");
            unloadAll();
        }
    });
}

void AddinHost::say(const std::string& line) const {
    context_->trace(line);
}

// What the host's Add-in Manager would show beside the add-in.
void AddinHost::sayIcon(const Addin& addin) const {
    const std::wstring clsid = guidText(addin.clsid);
    const AddinIcon icon = findAddinIcon(std::wstring(kAddinsKey) + L"\\" + clsid, addin.path);
    say("-- add-in " + utf8(clsid) +
        (icon.path.empty() ? std::string(" has no icon for the Add-in Manager")
                           : " icon: " + utf8(icon.path) + " (" + icon.how + ")"));
}

// ---- loading --------------------------------------------------------------------------------

int AddinHost::loadStartup() {
    int loaded = 0;
    for (const std::wstring& name : subkeys(HKEY_LOCAL_MACHINE, kAddinsKey)) {
        CLSID clsid{};
        if (FAILED(CLSIDFromString(name.c_str(), &clsid))) {
            continue;
        }
        // Enabled for every account by the machine's default 1; an account's own start-up
        // choice in the Add-in Manager (0) switches it off for that account only.
        if (dwordValue(HKEY_LOCAL_MACHINE, std::wstring(kAddinsKey) + L"\\" + name, nullptr).value_or(0) != 1 ||
            dwordValue(HKEY_CURRENT_USER, std::wstring(kStartupKey) + L"\\" + name, nullptr).value_or(1) == 0) {
            say("-- add-in " + utf8(name) + " listed, not started");
            continue;
        }
        auto addin = std::make_unique<Addin>();
        addin->clsid = clsid;
        addin->path = stringValue(HKEY_CLASSES_ROOT, L"CLSID\\" + guidText(clsid) + L"\\InprocServer32");
        const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ISwAddin),
                                            reinterpret_cast<void**>(addin->object.put()));
        if (FAILED(hr)) {
            say("-- add-in " + utf8(name) + " not created: " + hresult(hr));
            std::fprintf(stderr, "tvx-hostserver: add-in %s not created: %s\n", utf8(name).c_str(),
                         hresult(hr).c_str());
            continue;
        }
        if (connect(std::move(addin)) == kLoaded) {
            ++loaded;
        }
    }
    return loaded;
}

std::int32_t AddinHost::loadByPath(const std::wstring& path) {
    if (findAddinByPath(path) != nullptr) {
        return kAlreadyLoaded;
    }
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return kFileNotFound;
    }
    auto addin = std::make_unique<Addin>();
    addin->path = path;
    addin->module = LoadLibraryW(path.c_str());
    if (addin->module == nullptr) {
        say("-- " + utf8(path) + " not loaded: error " + std::to_string(GetLastError()));
        return kNotLoaded;
    }
    // The add-in's class is the one its registration names; without one, the DLL's only class
    // cannot be known, so it must be registered.
    const auto getClassObject =
        exported<DllGetClassObjectFn>(addin->module, "DllGetClassObject");
    bool found = false;
    for (const std::wstring& name : subkeys(HKEY_LOCAL_MACHINE, kAddinsKey)) {
        CLSID clsid{};
        if (SUCCEEDED(CLSIDFromString(name.c_str(), &clsid)) &&
            lower(stringValue(HKEY_CLASSES_ROOT, L"CLSID\\" + name + L"\\InprocServer32")) == lower(path)) {
            addin->clsid = clsid;
            found = true;
            break;
        }
    }
    if (getClassObject == nullptr || !found) {
        say("-- " + utf8(path) + " not loaded: " +
            (getClassObject == nullptr ? "no DllGetClassObject" : "no registered add-in class names it"));
        return kNotLoaded;
    }
    ComPtr<IClassFactory> factory;
    HRESULT hr = getClassObject(addin->clsid, IID_IClassFactory, factory.putVoid());
    if (SUCCEEDED(hr)) {
        hr = factory->CreateInstance(nullptr, __uuidof(ISwAddin), addin->object.putVoid());
    }
    if (FAILED(hr) || !addin->object) {
        say("-- " + utf8(path) + " not loaded: " + hresult(hr));
        return kNotLoaded;
    }
    return connect(std::move(addin));
}

std::int32_t AddinHost::connect(std::unique_ptr<Addin> addin) {
    sayIcon(*addin);
    addin->cookie = nextCookie_++;
    const std::int32_t cookie = addin->cookie;
    addins_.push_back(std::move(addin));
    everLoaded_ = true;
    Addin& a = *addins_.back();
    VARIANT_BOOL connected = VARIANT_FALSE;
    HRESULT hr = E_UNEXPECTED;
    try {
        hr = a.addin()->ConnectToSW(app_.get(), cookie, &connected);
    } catch (...) {
        say("-- the add-in threw out of ConnectToSW");
    }
    say("-> Addin.ConnectToSW(DISPATCH App, I4 " + std::to_string(cookie) + ") = " +
        (FAILED(hr) ? hresult(hr) : connected != VARIANT_FALSE ? "BOOL true" : "BOOL false"));
    if (FAILED(hr) || connected == VARIANT_FALSE) {
        // It must have taken back all it added; what it left is named and counted.
        failures_ += leftBehind(cookie);
        addins_.pop_back();
        return kNotLoaded;
    }
    if (!a.callbacks) {
        say("-- add-in " + std::to_string(cookie) + " connected without SetAddinCallbackInfo2");
        return kLoaded;
    }
    // Asked once, as the real host may.
    UINT count = 0;
    hr = a.callbacks->GetTypeInfoCount(&count);
    say("-> Callbacks.GetTypeInfoCount() = " + (FAILED(hr) ? hresult(hr) : std::to_string(count)));
    if (SUCCEEDED(hr) && count > 0) {
        ComPtr<ITypeInfo> info;
        hr = a.callbacks->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put());
        say("-> Callbacks.GetTypeInfo(0) = " + (FAILED(hr) ? hresult(hr) : info ? "ITypeInfo" : "null"));
    }
    return kLoaded;
}

std::int32_t AddinHost::unloadByPath(const std::wstring& path) {
    const Addin* addin = findAddinByPath(path);
    if (addin == nullptr) {
        return -1;
    }
    disconnect(addin->cookie);
    return 0;
}

void AddinHost::disconnect(std::int32_t cookie) {
    const auto it = std::find_if(addins_.begin(), addins_.end(), [&](const auto& a) { return a->cookie == cookie; });
    if (it == addins_.end()) {
        return;
    }
    VARIANT_BOOL done = VARIANT_FALSE;
    HRESULT hr = E_UNEXPECTED;
    try {
        hr = (*it)->addin()->DisconnectFromSW(&done);
    } catch (...) {
        say("-- the add-in threw out of DisconnectFromSW");
    }
    say("-> Addin.DisconnectFromSW() = " +
        (FAILED(hr) ? hresult(hr) : done != VARIANT_FALSE ? "BOOL true" : "BOOL false"));
    failures_ += leftBehind(cookie);
    const std::wstring path = (*it)->path;
    HMODULE ours = std::exchange((*it)->module, nullptr);
    addins_.erase(it);
    // After the last release the DLL must be willing to go.
    HMODULE module = ours != nullptr ? ours : path.empty() ? nullptr : GetModuleHandleW(path.c_str());
    const auto canUnload =
        module == nullptr ? nullptr : exported<DllCanUnloadNowFn>(module, "DllCanUnloadNow");
    if (canUnload == nullptr) {
        say("-- DllCanUnloadNow not found in " + utf8(path));
        ++failures_;
    } else {
        const HRESULT answer = canUnload();
        say("-> DllCanUnloadNow() = " + (answer == S_OK ? std::string("S_OK") : hresult(answer)));
        if (answer != S_OK) {
            laterUnloads_.push_back({path, std::exchange(ours, nullptr)});
        }
    }
    if (ours != nullptr) {
        FreeLibrary(ours);
    }
}

void AddinHost::unloadLater() {
    for (const LaterUnload& later : std::exchange(laterUnloads_, {})) {
        // Loaded by COM rather than by path, the DLL is found by its path; COM may have let it go.
        const HMODULE module = later.module != nullptr ? later.module : GetModuleHandleW(later.path.c_str());
        const auto canUnload = module == nullptr ? nullptr : exported<DllCanUnloadNowFn>(module, "DllCanUnloadNow");
        const HRESULT answer = canUnload != nullptr ? canUnload() : S_OK;
        say("-> DllCanUnloadNow() = " + (answer == S_OK ? std::string("S_OK") : hresult(answer)) +
            " (asked again at the host's end)");
        if (answer != S_OK) {
            std::fprintf(stderr, "tvx-hostserver: %s cannot be unloaded after DisconnectFromSW\n",
                         utf8(later.path).c_str());
            ++failures_;
        }
        if (later.module != nullptr) {
            FreeLibrary(later.module);
        }
    }
}

void AddinHost::rememberUiState(const std::wstring& path) {
    const UiState state = loadUiState(path);
    uiStatePath_ = path;
    keptGroups_ = state.groups;
    for (const KeptTab& kept : state.tabs) {
        tabs_.push_back({nextTabId_++, 0, kept.docType, kept.name, kept.boxes});
    }
}

UiState AddinHost::uiState() const {
    UiState state;
    state.groups = keptGroups_;
    for (const CommandTab& tab : tabs_) {
        state.tabs.push_back({tab.docType, tab.name, tab.boxes});
    }
    return state;
}

void AddinHost::writeUiState() const {
    if (!uiStatePath_.empty()) {
        saveUiState(uiState(), uiStatePath_);
    }
}

void AddinHost::keepUiState() {
    if (uiStatePath_.empty()) {
        return;
    }
    for (const CommandTab& tab : tabs_) {
        std::size_t commands = 0;
        for (const auto& box : tab.boxes) {
            commands += box.size();
        }
        say("-- command tab \"" + utf8(tab.name) + "\" kept: " + std::to_string(tab.boxes.size()) + " boxes, " +
            std::to_string(commands) + " commands");
    }
    writeUiState();
}

// A box names its commands by group and item user ID; one whose group is not active shows no
// button, so a tab holding only such commands is empty.
void AddinHost::showTabs() {
    for (const CommandTab& tab : tabs_) {
        std::size_t shown = 0;
        std::size_t gone = 0;
        for (const auto& box : tab.boxes) {
            for (const BoxEntry& entry : box) {
                const bool live = std::any_of(commands_.begin(), commands_.end(), [&](const Command& c) {
                    return c.groupId == entry.groupId && c.itemId == entry.itemId;
                });
                ++(live ? shown : gone);
            }
        }
        std::string line = "-- command tab \"" + utf8(tab.name) + "\" shows " + std::to_string(tab.boxes.size()) +
                           " boxes, " + std::to_string(shown) + " buttons";
        if (gone > 0) {
            line += ", " + std::to_string(gone) + " gone" + (shown == 0 ? ": empty" : "");
        }
        say(line);
    }
}

// Menu items, command groups and tabs an add-in still has: each one named, removed, counted.
int AddinHost::leftBehind(std::int32_t cookie) {
    int left = 0;
    for (auto it = commands_.begin(); it != commands_.end();) {
        if (it->cookie == cookie && it->groupId < 0) {
            say("-- add-in " + std::to_string(cookie) + " left its menu item \"" + utf8(it->item) + "\"");
            frame_->removeMenuItem(it->id);
            it = commands_.erase(it);
            ++left;
        } else {
            ++it;
        }
    }
    for (auto it = groups_.begin(); it != groups_.end();) {
        if (it->first.first == cookie) {
            say("-- add-in " + std::to_string(cookie) + " left its command group " + std::to_string(it->first.second));
            const std::int32_t userId = it->first.second;
            ++it;
            removeCommandGroup(cookie, userId, true);
            ++left;
        } else {
            ++it;
        }
    }
    for (auto it = tabs_.begin(); it != tabs_.end();) {
        if (it->cookie == cookie) {
            say("-- add-in " + std::to_string(cookie) + " left its command tab \"" + utf8(it->name) + "\"");
            it = tabs_.erase(it);
            ++left;
        } else {
            ++it;
        }
    }
    if (left > 0) {
        std::fprintf(stderr, "tvx-hostserver: add-in %d left %d menu items, groups or tabs behind\n", cookie, left);
    }
    return left;
}

int AddinHost::countReferencesLeft() {
    std::map<std::string, LONG> byKind;
    LONG total = 0;
    // The clients' application object is left out: COM's stubs keep references on it after any
    // client in another process attached, however cleanly it ended, and a client's own hold on
    // it cannot be told from theirs. Everything a client reached from it is counted.
    const DispatchCore* clientApp = clientApp_ ? context_->findObject(clientApp_.get()) : nullptr;
    for (const DispatchCore* object : context_->liveObjects()) {
        if (object == clientApp) {
            continue;
        }
        const LONG held = object->references() - (object == context_->findObject(app_.get()) ? appBaseline_ : 0);
        if (held > 0) {
            byKind[object->kind()] += held;
            total += held;
        }
    }
    std::string kinds;
    for (const auto& [kind, count] : byKind) {
        kinds += (kinds.empty() ? " (" : ", ") + kind + " " + std::to_string(count);
    }
    say("-- references left on host objects: " + std::to_string(total) + (kinds.empty() ? "" : kinds + ")"));
    if (total > 0) {
        std::fprintf(stderr, "tvx-hostserver: the add-ins left %ld references on host objects%s\n",
                     static_cast<long>(total), kinds.empty() ? "" : (kinds + ")").c_str());
    }
    return static_cast<int>(total);
}

void AddinHost::unloadAll() {
    while (!addins_.empty()) {
        disconnect(addins_.front()->cookie);
    }
}

int AddinHost::unloadAllAndCheck() {
    unloadAll();
    unloadLater();
    // Counted also when no add-in ever loaded: what a client program held when it ended. A sink
    // still subscribed to the application's or the document's events is a reference its
    // subscriber left.
    const int sinks = (context_->appEvents() ? context_->appEvents()->reportLeft() : 0) +
                      (context_->docEvents() ? context_->docEvents()->reportLeft() : 0);
    return failures_ + countReferencesLeft() + sinks;
}

AddinHost::Addin* AddinHost::findAddin(std::int32_t cookie) const {
    for (const auto& a : addins_) {
        if (a->cookie == cookie) {
            return a.get();
        }
    }
    return nullptr;
}

AddinHost::Addin* AddinHost::findAddinByPath(const std::wstring& path) const {
    for (const auto& a : addins_) {
        if (lower(a->path) == lower(path)) {
            return a.get();
        }
    }
    return nullptr;
}

bool AddinHost::knowsCookie(std::int32_t cookie) const {
    return findAddin(cookie) != nullptr;
}

} // namespace tvx::hostserver
