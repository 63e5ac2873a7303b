// The stand-in host as a host of in-process add-ins: loading them (from the registry or by path),
// the commands they add to its frame's menu and toolbar, clicks on those commands, and the
// check at the end that every add-in gave back what it took.
#pragma once

#include "drawing/com/addin_interface.h"
#include "drawing/sim/sheet_picture.h"
#include "tools/hostserver/dispatch_core.h"
#include "tools/hostserver/ui_state.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tvx::hostserver {

class HostFrame;
class OptionsDialog;

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
    bool ignorePreviousVersion = false; // CreateCommandGroup2's: the layout kept from earlier is dropped
    bool active = false;
};

struct CommandTab {
    std::int32_t id = 0;
    std::int32_t cookie = 0; // the add-in that added it; 0: kept by the host from an earlier session
    std::int32_t docType = 0;
    std::wstring name;
    std::vector<std::vector<BoxEntry>> boxes;
};

class AddinHost {
public:
    // The add-ins get an application object of their own over `hostApp`, never the one in the
    // running object table, so that what they hold on it can be told from COM's stubs' holdings.
    AddinHost(std::shared_ptr<DispatchContext> context, const host::AppRef& hostApp);
    AddinHost(const AddinHost&) = delete;
    AddinHost& operator=(const AddinHost&) = delete;
    ~AddinHost();

    void showFrame();
    // The frame's title names what it stands in for and the drawing it serves.
    void nameFrame(const std::wstring& drawingFile);
    HWND frameWindow() const noexcept;
    // The frame shows the sheet `describe` gives (none without a drawing), painted again after
    // every call and whenever sheetChanged says so.
    void showSheet(std::function<std::optional<sim::SheetPicture>()> describe);
    void sheetChanged();
    // Closing the frame ends the host as a "save" stop file does, its add-ins let go at once, inside
    // whatever loop dispatched the close; without this it only minimizes.
    void closeSaves();
    bool closed() const noexcept { return closed_; }
    // The active document's type (0 none, 1 part, 2 assembly, 3 drawing): a menu item is on the
    // menu only while a document of its types is active, as each type has its own menu on a real
    // host. Unset, every item is.
    void setActiveDocumentType(std::function<std::int32_t()> type) { activeDocType_ = std::move(type); }

    // What the frame's "Datei > Speichern" does.
    void onSave(std::function<void()> save) { save_ = std::move(save); }
    // The host's "Optionen" dialog, modal to the frame.
    void openOptions();
    void closeOptions();

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
    // The application object out-of-process clients find in the running object table.
    void setClientApplication(ComPtr<IDispatch> app) { clientApp_ = std::move(app); }
    bool everLoaded() const noexcept { return everLoaded_; }

    // The command groups' layouts and the tabs a real host keeps per user across its restarts:
    // read from the file before the add-ins load, written once they have loaded (so that a host
    // killed later leaves them, as after a crash) and again at the stop, each kept tab traced.
    void rememberUiState(const std::wstring& path);
    void writeUiState() const;
    void keepUiState();
    // Traces what each tab shows: its boxes, and its buttons whose commands exist.
    void showTabs();

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
    // Runtime only: gone from this session, the layout the host keeps of it stays.
    std::int32_t removeCommandGroup(std::int32_t cookie, std::int32_t userId, bool runtimeOnly);
    // The items' user IDs the host keeps of a group from earlier sessions; false when none.
    bool groupDataFromRegistry(std::int32_t userId, std::vector<std::int32_t>& itemIds) const;

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
        std::int32_t itemId = 0;   // and the item's own
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
    void rememberLayout(const CommandGroup& group);
    bool onMenuNow(const Command& command) const;
    std::int32_t newCommandId() { return nextCommandId_++; }
    void say(const std::string& line) const;
    void sayIcon(const Addin& addin) const;

    std::shared_ptr<DispatchContext> context_;
    ComPtr<IDispatch> app_;
    LONG appBaseline_ = 0;
    ComPtr<IDispatch> clientApp_;
    std::unique_ptr<HostFrame> frame_;
    std::unique_ptr<OptionsDialog> options_;
    std::function<std::int32_t()> activeDocType_;
    std::function<void()> save_;
    std::vector<std::unique_ptr<Addin>> addins_;
    std::vector<Command> commands_;
    std::map<std::pair<std::int32_t, std::int32_t>, CommandGroup> groups_;
    std::vector<CommandTab> tabs_;
    UiState uiState() const;

    std::wstring uiStatePath_;
    std::map<std::int32_t, std::vector<std::int32_t>> keptGroups_; // user id -> item user ids
    std::int32_t nextCookie_ = 1;
    std::int32_t nextCommandId_ = 40001;
    std::int32_t nextTabId_ = 1;
    bool everLoaded_ = false;
    bool closed_ = false;
    int failures_ = 0;
    // DLLs that were not yet willing to go when their add-in was let go (a run of theirs still
    // ending): asked again at the host's end, as COM asks again later, and freed then.
    struct LaterUnload {
        std::wstring path;
        HMODULE module; // ours to free, or null when COM loaded it
    };
    std::vector<LaterUnload> laterUnloads_;
    void unloadLater();
};

} // namespace tvx::hostserver
