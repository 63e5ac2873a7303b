// The stand-in host as a host of in-process add-ins: loading them (from the registry or by path),
// the commands they add to its frame's menu and toolbar, clicks on those commands, and the
// check at the end that every add-in gave back what it took.
#pragma once

#include "drawing/com/addin_interface.h"
#include "tools/hostserver/dispatch_core.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tvx::hostserver {

class HostFrame;

// GetLocalizedMenuName's answer for a menu id of the host's list (File 0, ..., Tools 4), as a
// German host names the menu, "&" included; empty for a menu the frame does not have.
std::wstring localizedMenuName(std::int32_t menuId);

// LoadAddIn's answers, as the host's API help lists them.
enum LoadResult : std::int32_t { kLoaded = 0, kNotLoaded = 1, kAlreadyLoaded = 2, kFileNotFound = 3 };

struct CommandGroupItem {
    std::wstring name, hint, tooltip, callback, enable;
    std::int32_t imageIndex = -1;
    std::int32_t userId = 0;
    std::int32_t option = 0; // 1 menu, 2 toolbar, 3 both
    std::int32_t commandId = -1;
};

struct CommandGroup {
    std::int32_t cookie = 0;
    std::int32_t userId = 0;
    std::wstring title, tooltip, hint;
    std::vector<std::wstring> iconList, mainIconList;
    std::wstring smallIconList, largeIconList; // older hosts' strips: 16 and 24 px pictures
    std::vector<CommandGroupItem> items;
    bool hasToolbar = false;
    bool hasMenu = true;
    std::int32_t showInDocumentType = 0;
    bool active = false;
};

struct CommandTab {
    std::int32_t id = 0;
    std::int32_t cookie = 0; // the add-in that added it
    std::int32_t docType = 0;
    std::wstring name;
    std::vector<std::vector<std::int32_t>> boxes; // command ids per box
};

class AddinHost {
public:
    // `app` is the application object handed to every add-in.
    AddinHost(std::shared_ptr<DispatchContext> context, ComPtr<IDispatch> app);
    AddinHost(const AddinHost&) = delete;
    AddinHost& operator=(const AddinHost&) = delete;
    ~AddinHost();

    void showFrame();
    HWND frameWindow() const noexcept;
    // The active document's type (0 none, 1 part, 2 assembly, 3 drawing): a menu item is on the
    // menu only while a document of its types is active, as each type has its own menu on a real
    // host. Unset, every item is.
    void setActiveDocumentType(std::function<std::int32_t()> type) { activeDocType_ = std::move(type); }

    // Every add-in the registry marks as listed and started with the host; the number loaded.
    int loadStartup();
    std::int32_t loadByPath(const std::wstring& path);
    std::int32_t unloadByPath(const std::wstring& path);
    // DisconnectFromSW on every loaded add-in, each DLL asked whether it can be unloaded.
    void unloadAll();
    // unloadAll, then the references left on host objects are counted, by add-ins and by client
    // programs alike. Every failure found since the start: what an add-in left behind,
    // references, a DLL that would not unload.
    int unloadAllAndCheck();
    bool everLoaded() const noexcept { return everLoaded_; }

    // A user's click: the enable method first, the callback only when it answered enabled.
    // False when the command does not exist or was not called.
    bool click(std::int32_t commandId);
    // The first command an add-in added (menu item or toolbar button), for scripts.
    bool clickFirst();
    // The enable method's answer (0 on any failure).
    std::int32_t askEnable(std::int32_t commandId);
    // A menu item's state when its menu opens: 0 (greyed, the enable method not asked) while no
    // document of its types is active, else the enable method's answer.
    std::int32_t menuState(std::int32_t commandId);

    // ---- the add-in interface's calls, from the dispatch objects; HostError on bad input
    bool setCallbackInfo(std::int64_t module, IDispatch* callbacks, std::int32_t cookie);
    std::int32_t addMenuItem(std::int32_t docType, std::int32_t cookie, const std::wstring& item,
                             std::int32_t position, const std::wstring& callback, const std::wstring& enable,
                             const std::wstring& hint);
    bool removeMenu(std::int32_t docType, const std::wstring& item, const std::wstring& callback);
    bool knowsCookie(std::int32_t cookie) const;

    // nullopt with the error code when the group cannot be made.
    std::optional<std::int32_t> createCommandGroup(std::int32_t cookie, CommandGroup group);
    CommandGroup& group(std::int32_t cookie, std::int32_t userId);
    bool activate(std::int32_t cookie, std::int32_t userId);
    std::int32_t removeCommandGroup(std::int32_t cookie, std::int32_t userId);

    CommandTab* findTab(std::int32_t docType, const std::wstring& name);
    CommandTab& addTab(std::int32_t cookie, std::int32_t docType, const std::wstring& name);
    CommandTab& tab(std::int32_t id);
    bool removeTab(std::int32_t id);
    bool addToTabBox(std::int32_t tabId, std::size_t box, const std::vector<std::int32_t>& commandIds);

private:
    struct Addin {
        std::int32_t cookie = 0;
        std::wstring path;           // the DLL
        CLSID clsid{};
        HMODULE module = nullptr;    // our own LoadLibrary, for an add-in loaded by path
        ComPtr<IUnknown> object;     // the add-in object, asked for ISwAddin
        ComPtr<IDispatch> callbacks; // from SetAddinCallbackInfo2

        Addin() = default;
        Addin(const Addin&) = delete;
        Addin& operator=(const Addin&) = delete;
        ~Addin() {
            callbacks.reset();
            object.reset();
            if (module != nullptr) {
                FreeLibrary(module);
            }
        }
        ISwAddin* addin() const { return static_cast<ISwAddin*>(object.get()); }
    };
    struct Command {
        std::int32_t id = 0;
        std::int32_t cookie = 0;
        std::int32_t docType = 0;  // menu items
        std::int32_t docMask = 0;  // its menu item's document types: none 1, part 2, assembly 4, drawing 8
        std::int32_t groupId = -1; // toolbar buttons and group menu items: the group's user id
        std::wstring item;         // as the add-in named it, "@menu" part included
        std::wstring callback, enable, hint;
    };

    std::int32_t connect(std::unique_ptr<Addin> addin);
    // DisconnectFromSW, release, DllCanUnloadNow.
    void disconnect(std::int32_t cookie);
    int leftBehind(std::int32_t cookie);
    int countReferencesLeft();
    Addin* findAddin(std::int32_t cookie) const;
    Addin* findAddinByPath(const std::wstring& path) const;
    const Command* findCommand(std::int32_t id) const;
    bool onMenuNow(const Command& command) const;
    std::int32_t newCommandId() { return nextCommandId_++; }
    void say(const std::string& line) const;

    std::shared_ptr<DispatchContext> context_;
    ComPtr<IDispatch> app_;
    LONG appBaseline_ = 0;
    std::unique_ptr<HostFrame> frame_;
    std::function<std::int32_t()> activeDocType_;
    std::vector<std::unique_ptr<Addin>> addins_;
    std::vector<Command> commands_;
    std::map<std::pair<std::int32_t, std::int32_t>, CommandGroup> groups_;
    std::vector<CommandTab> tabs_;
    std::int32_t nextCookie_ = 1;
    std::int32_t nextCommandId_ = 40001;
    std::int32_t nextTabId_ = 1;
    bool everLoaded_ = false;
    int failures_ = 0;
};

} // namespace tvx::hostserver
