#include "tools/hostserver/addin_host.h"

#include "drawing/com/failure_text.h"
#include "tools/hostserver/host_frame.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace tvx::hostserver {

namespace {

constexpr std::int32_t kFileMenuId = 0;
constexpr std::int32_t kToolsMenuId = 4;
constexpr std::int32_t kEveryDocType = 15;
constexpr int kIconListSize = 20;  // IconList's first strip
constexpr int kSmallIconSize = 16; // SmallIconList's strip

std::string utf8(const std::wstring& text) {
    return com::toUtf8(text);
}

std::string hresult(HRESULT hr) {
    return com::describeHresult(hr);
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
            out.failure = "Invoke: " + hresult(out.hr);
            if (description.get() != nullptr) {
                out.failure += ' ';
                out.failure += utf8(description.str());
            }
        }
    } catch (...) {
        out.hr = E_UNEXPECTED;
        out.failure = "the add-in threw";
    }
    return out;
}

} // namespace

std::wstring localizedMenuName(std::int32_t menuId) {
    switch (menuId) {
    case kFileMenuId: return kFileMenu;
    case kToolsMenuId: return kToolsMenu;
    default: return {};
    }
}

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

bool AddinHost::onMenuNow(const Command& command) const {
    if (!activeDocType_) {
        return true;
    }
    const std::int32_t type = activeDocType_();
    return type >= 0 && type < 4 && ((command.docMask >> type) & 1) != 0;
}

std::int32_t AddinHost::menuState(std::int32_t commandId) {
    const Command* command = findCommand(commandId);
    if (command == nullptr || !onMenuNow(*command)) {
        return 0;
    }
    return askEnable(commandId);
}

bool AddinHost::click(std::int32_t commandId) {
    if (commandId == kOptionsCommand) {
        openOptions();
        return true;
    }
    if (commandId == kSaveCommand) {
        if (save_) {
            save_();
            sheetChanged();
        }
        return save_ != nullptr;
    }
    const Command* found = findCommand(commandId);
    if (found == nullptr) {
        return false;
    }
    // The add-in may change its commands from its callback.
    const Command command = *found;
    // A menu item of another document type is not on the menu; a group's command has its button.
    if (command.groupId < 0 && !onMenuNow(command)) {
        say("-- command " + std::to_string(commandId) + " is not on the menu of this document type, not called");
        return false;
    }
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
    // No "@menu" part: where a German host has its Tools menu.
    const std::wstring menu = at == std::wstring::npos ? std::wstring(kToolsMenu) : item.substr(at + 1);
    Command command{newCommandId(), cookie, docType, 1 << docType, -1, 0, item, callback, enable, hint};
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
    } else if (g.hasToolbar && (g.iconList.empty() || g.mainIconList.empty()) &&
               (g.smallIconList.empty() || g.largeIconList.empty())) {
        refusal = "a toolbar needs IconList and MainIconList (or SmallIconList and LargeIconList)";
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
    // ShowInDocumentType is a mask for the group's menu items; never set, they are for every type.
    const std::int32_t docMask = g.showInDocumentType == 0 ? kEveryDocType : g.showInDocumentType;
    const bool newIcons = !g.iconList.empty();
    for (CommandGroupItem& item : g.items) {
        item.commandId = newCommandId();
        commands_.push_back({item.commandId, cookie, 3, docMask, g.userId, item.userId, item.name, item.callback,
                             item.enable, item.hint});
        if (g.hasToolbar && (item.option & 2) != 0) {
            frame_->addToolbarButton(item.commandId, item.tooltip.empty() ? item.name : item.tooltip,
                                     newIcons ? g.iconList.front() : g.smallIconList, item.imageIndex,
                                     newIcons ? kIconListSize : kSmallIconSize);
        }
        if (g.hasMenu && (item.option & 1) != 0) {
            frame_->addMenuItem(kToolsMenu, item.name, item.commandId, -1);
        }
    }
    g.active = true;
    rememberLayout(g);
    return true;
}

// As a host keeps a group's layout: what it knew stays unless the add-in said to drop it, even
// when the group's items have changed under the same user ID (its stale buttons then show).
void AddinHost::rememberLayout(const CommandGroup& g) {
    std::vector<std::int32_t> items;
    for (const CommandGroupItem& item : g.items) {
        items.push_back(item.userId);
    }
    const auto kept = keptGroups_.find(g.userId);
    if (kept != keptGroups_.end() && kept->second != items && !g.ignorePreviousVersion) {
        say("-- command group " + std::to_string(g.userId) + " keeps the layout of an earlier session: stale buttons");
        return;
    }
    keptGroups_[g.userId] = std::move(items);
}

bool AddinHost::groupDataFromRegistry(std::int32_t userId, std::vector<std::int32_t>& itemIds) const {
    const auto kept = keptGroups_.find(userId);
    if (kept == keptGroups_.end()) {
        return false;
    }
    itemIds = kept->second;
    return true;
}

std::int32_t AddinHost::removeCommandGroup(std::int32_t cookie, std::int32_t userId, bool runtimeOnly) {
    const auto it = groups_.find({cookie, userId});
    if (it == groups_.end()) {
        return 1;
    }
    if (!runtimeOnly && keptGroups_.erase(userId) != 0) {
        say("-- command group " + std::to_string(userId) + " removed for good: the user's arrangement of it is lost");
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
    std::vector<BoxEntry> entries;
    for (const std::int32_t id : commandIds) {
        // Only a group's commands go into a tab: the host keeps them by the group's user ID.
        const Command* command = findCommand(id);
        if (command == nullptr || command->groupId < 0) {
            return false;
        }
        entries.push_back({command->groupId, command->itemId});
    }
    t.boxes[box].insert(t.boxes[box].end(), entries.begin(), entries.end());
    return true;
}

} // namespace tvx::hostserver
