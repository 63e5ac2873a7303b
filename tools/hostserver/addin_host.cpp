#include "tools/hostserver/addin_host.h"

#include "drawing/com/failure_text.h"
#include "tools/hostserver/host_frame.h"

#include <algorithm>
#include <cstdio>
#include <cwctype>

namespace tvx::hostserver {

namespace {

constexpr wchar_t kAddinsKey[] = L"SOFTWARE\\SOLIDWORKS\\AddIns";
constexpr wchar_t kStartupKey[] = L"Software\\SolidWorks\\AddInsStartup";
// A menu item with no "@menu" part goes where a German host has its Tools menu.
constexpr wchar_t kToolsMenu[] = L"E&xtras";

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

// A callback name as the add-in gave it: "Name" or "Name(argument)".
struct CallbackName {
    std::wstring method;
    std::optional<std::wstring> argument;
};

CallbackName parseCallback(const std::wstring& text) {
    const auto open = text.find(L'(');
    if (open == std::wstring::npos || text.back() != L')') {
        return {text, std::nullopt};
    }
    return {text.substr(0, open), text.substr(open + 1, text.size() - open - 2)};
}

} // namespace

struct AddinHost::Addin {
    std::int32_t cookie = 0;
    std::wstring path;           // the DLL
    CLSID clsid{};
    HMODULE module = nullptr;    // our own LoadLibrary, for an add-in loaded by path
    ComPtr<IUnknown> object;     // the add-in object, asked for ISwAddin
    ComPtr<IDispatch> callbacks; // from SetAddinCallbackInfo2

    ISwAddin* addin() const { return static_cast<ISwAddin*>(object.get()); }
    ~Addin() {
        callbacks.reset();
        object.reset();
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
};

AddinHost::AddinHost(std::shared_ptr<DispatchContext> context, ComPtr<IDispatch> app)
    : context_(std::move(context)), app_(std::move(app)) {
    // What the host itself holds on its application object; anything above this at the end
    // is an add-in's.
    if (const DispatchCore* core = context_->findObject(app_.get())) {
        appBaseline_ = core->references();
    }
    frame_ = std::make_unique<HostFrame>([this](std::int32_t id) { click(id); },
                                         [this](std::int32_t id) { return askEnable(id); });
    context_->setAddinHost(this);
}

AddinHost::~AddinHost() {
    // Add-ins still loaded (the host timed out) take back their commands through us.
    while (!addins_.empty()) {
        disconnect(addins_.back()->cookie);
    }
    context_->setAddinHost(nullptr);
}

void AddinHost::showFrame() {
    frame_->show();
}

HWND AddinHost::frameWindow() const noexcept {
    return frame_->window();
}

void AddinHost::say(const std::string& line) const {
    context_->trace(line);
}

// ---- loading --------------------------------------------------------------------------------

int AddinHost::loadStartup() {
    int loaded = 0;
    for (const std::wstring& name : subkeys(HKEY_LOCAL_MACHINE, kAddinsKey)) {
        CLSID clsid{};
        if (FAILED(CLSIDFromString(name.c_str(), &clsid))) {
            continue;
        }
        // Listed and ticked in the Add-in Manager, and started with the host.
        if (dwordValue(HKEY_LOCAL_MACHINE, std::wstring(kAddinsKey) + L"\\" + name, nullptr).value_or(0) != 1 ||
            dwordValue(HKEY_CURRENT_USER, std::wstring(kStartupKey) + L"\\" + name, nullptr).value_or(0) != 1) {
            say("-- add-in " + utf8(name) + " listed, not started");
            continue;
        }
        auto addin = std::make_unique<Addin>();
        addin->clsid = clsid;
        addin->path = stringValue(HKEY_CLASSES_ROOT, L"CLSID\\" + guidText(clsid) + L"\\InprocServer32");
        const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIidSwAddin,
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
        hr = factory->CreateInstance(nullptr, kIidSwAddin, addin->object.putVoid());
    }
    if (FAILED(hr) || !addin->object) {
        say("-- " + utf8(path) + " not loaded: " + hresult(hr));
        return kNotLoaded;
    }
    return connect(std::move(addin));
}

std::int32_t AddinHost::connect(std::unique_ptr<Addin> addin) {
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
            std::fprintf(stderr, "tvx-hostserver: %s cannot be unloaded after DisconnectFromSW\n", utf8(path).c_str());
            ++failures_;
        }
    }
    if (ours != nullptr) {
        FreeLibrary(ours);
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
            removeCommandGroup(cookie, userId);
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
    for (const DispatchCore* object : context_->liveObjects()) {
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
    return failures_ + (everLoaded_ ? countReferencesLeft() : 0);
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

// ---- clicks ---------------------------------------------------------------------------------

namespace {

// A method of the callbacks object called by name, as the host does; the answer, or the
// failure in words.
struct NamedCall {
    HRESULT hr = E_UNEXPECTED;
    com::UniqueVariant answer;
    std::string failure;
};

NamedCall callByName(IDispatch* callbacks, const std::wstring& name) {
    NamedCall out;
    const CallbackName parsed = parseCallback(name);
    try {
        std::wstring method = parsed.method;
        LPOLESTR names[] = {method.data()};
        DISPID id = DISPID_UNKNOWN;
        out.hr = callbacks->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(out.hr)) {
            out.failure = "GetIDsOfNames: " + hresult(out.hr);
            return out;
        }
        com::UniqueVariant argument;
        DISPPARAMS params{};
        if (parsed.argument) {
            argument.get().vt = VT_BSTR;
            argument.get().bstrVal = com::UniqueBstr(*parsed.argument).detach();
            params.rgvarg = argument.addressOf();
            params.cArgs = 1;
        }
        EXCEPINFO error{};
        UINT argErr = 0;
        out.hr = callbacks->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, out.answer.put(),
                                   &error, &argErr);
        const com::UniqueBstr description = com::UniqueBstr::attach(error.bstrDescription);
        SysFreeString(error.bstrSource);
        SysFreeString(error.bstrHelpFile);
        if (FAILED(out.hr)) {
            out.failure = "Invoke: " + hresult(out.hr) + (description.get() ? " " + utf8(description.str()) : "");
        }
    } catch (...) {
        out.hr = E_UNEXPECTED;
        out.failure = "the add-in threw";
    }
    return out;
}

} // namespace

const AddinHost::Command* AddinHost::findCommand(std::int32_t id) const {
    for (const Command& c : commands_) {
        if (c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

std::int32_t AddinHost::askEnable(std::int32_t commandId) {
    const Command* command = findCommand(commandId);
    const Addin* addin = command == nullptr ? nullptr : findAddin(command->cookie);
    if (addin == nullptr || !addin->callbacks) {
        return 0;
    }
    if (command->enable.empty()) {
        return 1;
    }
    const std::string name = utf8(command->enable);
    NamedCall call = callByName(addin->callbacks.get(), command->enable);
    if (!call.failure.empty()) {
        say("-> Callbacks." + name + "() failed: " + call.failure);
        return 0;
    }
    if (call.answer.vt() != VT_I4) {
        say("-> Callbacks." + name + "() = " + com::vartypeName(call.answer.vt()) + ", not VT_I4: disabled");
        return 0;
    }
    say("-> Callbacks." + name + "() = I4 " + std::to_string(call.answer.get().lVal));
    return call.answer.get().lVal;
}

bool AddinHost::click(std::int32_t commandId) {
    const Command* found = findCommand(commandId);
    if (found == nullptr) {
        return false;
    }
    // The add-in may change its commands from its callback.
    const Command command = *found;
    if (askEnable(commandId) % 2 != 1) {
        say("-- command " + std::to_string(commandId) + " is disabled, not called");
        return false;
    }
    const Addin* addin = findAddin(command.cookie);
    if (addin == nullptr || !addin->callbacks) {
        return false;
    }
    // Held across the call: the add-in may unload itself from inside it.
    const ComPtr<IDispatch> callbacks = addin->callbacks;
    NamedCall call = callByName(callbacks.get(), command.callback);
    say("-> Callbacks." + utf8(command.callback) + "()" + (call.failure.empty() ? "" : " failed: " + call.failure));
    if (!call.failure.empty()) {
        std::fprintf(stderr, "tvx-hostserver: the callback %s failed: %s\n", utf8(command.callback).c_str(),
                     call.failure.c_str());
    }
    return call.failure.empty();
}

bool AddinHost::clickFirst() {
    if (commands_.empty()) {
        say("-- click: no add-in command");
        return false;
    }
    return click(commands_.front().id);
}

// ---- the add-in interface -------------------------------------------------------------------

bool AddinHost::setCallbackInfo(std::int64_t, IDispatch* callbacks, std::int32_t cookie) {
    Addin* addin = findAddin(cookie);
    if (addin == nullptr) {
        return false;
    }
    addin->callbacks = ComPtr<IDispatch>::borrow(callbacks);
    return true;
}

std::int32_t AddinHost::addMenuItem(std::int32_t docType, std::int32_t cookie, const std::wstring& item,
                                    std::int32_t position, const std::wstring& callback,
                                    const std::wstring& enable, const std::wstring& hint) {
    if (!knowsCookie(cookie) || item.empty() || docType < 0 || docType > 3) {
        return -1;
    }
    const auto at = item.find(L'@');
    const std::wstring text = at == std::wstring::npos ? item : item.substr(0, at);
    const std::wstring menu = at == std::wstring::npos ? std::wstring(kToolsMenu) : item.substr(at + 1);
    Command command{newCommandId(), cookie, docType, -1, item, callback, enable, hint};
    if (text.empty()) {
        frame_->addSeparator(menu, command.id);
    } else if (!frame_->addMenuItem(menu, text, command.id, position)) {
        return -1;
    }
    commands_.push_back(std::move(command));
    return commands_.back().id;
}

bool AddinHost::removeMenu(std::int32_t docType, const std::wstring& item, const std::wstring& callback) {
    const auto it = std::find_if(commands_.begin(), commands_.end(), [&](const Command& c) {
        return c.groupId < 0 && c.docType == docType && c.item == item && c.callback == callback;
    });
    if (it == commands_.end()) {
        return false;
    }
    frame_->removeMenuItem(it->id);
    commands_.erase(it);
    return true;
}

std::optional<std::int32_t> AddinHost::createCommandGroup(std::int32_t cookie, CommandGroup group) {
    constexpr std::int32_t kExists = 1;
    constexpr std::int32_t kBadCookie = 2;
    if (!knowsCookie(cookie)) {
        return kBadCookie;
    }
    const auto key = std::make_pair(cookie, group.userId);
    if (groups_.count(key) != 0) {
        return kExists;
    }
    group.cookie = cookie;
    groups_.emplace(key, std::move(group));
    return std::nullopt;
}

CommandGroup& AddinHost::group(std::int32_t cookie, std::int32_t userId) {
    const auto it = groups_.find({cookie, userId});
    if (it == groups_.end()) {
        throw host::HostError("CommandGroup", "the command group was removed");
    }
    return it->second;
}

bool AddinHost::activate(std::int32_t cookie, std::int32_t userId) {
    CommandGroup& g = group(cookie, userId);
    const Addin* addin = findAddin(cookie);
    // What makes the real host's Activate fail or crash, refused here with its reason.
    std::string refusal;
    if (g.active) {
        refusal = "already active";
    } else if (addin == nullptr || !addin->callbacks) {
        refusal = "SetAddinCallbackInfo2 was not called";
    } else if (g.hasToolbar && (g.iconList.empty() || g.mainIconList.empty())) {
        refusal = "a toolbar needs IconList and MainIconList";
    } else if (g.iconList.size() != g.mainIconList.size()) {
        refusal = "IconList and MainIconList differ in length";
    }
    for (const CommandGroupItem& item : g.items) {
        for (const std::wstring* name : {&item.callback, &item.enable}) {
            if (refusal.empty() && !name->empty()) {
                std::wstring method = parseCallback(*name).method;
                LPOLESTR names[] = {method.data()};
                DISPID id = DISPID_UNKNOWN;
                if (FAILED(addin->callbacks->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
                    refusal = "the callbacks object has no method " + utf8(method);
                }
            }
        }
    }
    if (!refusal.empty()) {
        say("-- Activate refused: " + refusal);
        return false;
    }
    for (CommandGroupItem& item : g.items) {
        item.commandId = newCommandId();
        commands_.push_back({item.commandId, cookie, 3, g.userId, item.name, item.callback, item.enable, item.hint});
        if (g.hasToolbar && (item.option & 2) != 0) {
            frame_->addToolbarButton(item.commandId, item.tooltip.empty() ? item.name : item.tooltip,
                                     g.iconList.empty() ? std::wstring() : g.iconList.front(), item.imageIndex);
        }
        if (g.hasMenu && (item.option & 1) != 0) {
            frame_->addMenuItem(kToolsMenu, item.name, item.commandId, -1);
        }
    }
    g.active = true;
    return true;
}

std::int32_t AddinHost::removeCommandGroup(std::int32_t cookie, std::int32_t userId) {
    const auto it = groups_.find({cookie, userId});
    if (it == groups_.end()) {
        return 1;
    }
    for (const CommandGroupItem& item : it->second.items) {
        if (item.commandId >= 0) {
            frame_->removeToolbarButton(item.commandId);
            frame_->removeMenuItem(item.commandId);
        }
    }
    commands_.erase(std::remove_if(commands_.begin(), commands_.end(),
                                   [&](const Command& c) { return c.cookie == cookie && c.groupId == userId; }),
                    commands_.end());
    groups_.erase(it);
    return 0;
}

CommandTab* AddinHost::findTab(std::int32_t docType, const std::wstring& name) {
    for (CommandTab& t : tabs_) {
        if (t.docType == docType && t.name == name) {
            return &t;
        }
    }
    return nullptr;
}

CommandTab& AddinHost::addTab(std::int32_t cookie, std::int32_t docType, const std::wstring& name) {
    if (findTab(docType, name) != nullptr) {
        // The real host adds a second tab of the same name; an add-in should have looked first.
        say("-- a second command tab named \"" + utf8(name) + "\"");
    }
    tabs_.push_back({nextTabId_++, cookie, docType, name, {}});
    return tabs_.back();
}

CommandTab& AddinHost::tab(std::int32_t id) {
    for (CommandTab& t : tabs_) {
        if (t.id == id) {
            return t;
        }
    }
    throw host::HostError("CommandTab", "the command tab was removed");
}

bool AddinHost::removeTab(std::int32_t id) {
    const auto it = std::find_if(tabs_.begin(), tabs_.end(), [&](const CommandTab& t) { return t.id == id; });
    if (it == tabs_.end()) {
        return false;
    }
    tabs_.erase(it);
    return true;
}

bool AddinHost::addToTabBox(std::int32_t tabId, std::size_t box, const std::vector<std::int32_t>& commandIds) {
    CommandTab& t = tab(tabId);
    if (box >= t.boxes.size()) {
        throw host::HostError("CommandTabBox", "the tab box was removed");
    }
    for (const std::int32_t id : commandIds) {
        if (findCommand(id) == nullptr) {
            return false;
        }
    }
    t.boxes[box].insert(t.boxes[box].end(), commandIds.begin(), commandIds.end());
    return true;
}

} // namespace tvx::hostserver
