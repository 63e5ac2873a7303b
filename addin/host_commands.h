// The add-in's place in the host's user interface: the menu item on the Tools menu and a command
// group with one toolbar button on a tab of the drawing's command bar.
#pragma once

#include "drawing/com/com_owners.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tvx::addin {

// The German names of the command, as the host shows them.
inline constexpr wchar_t kMenuItem[] = L"Oberflächenangabe...";
inline constexpr wchar_t kCommandHint[] = L"Allgemeine Oberflächenangabe in die Zeichnung setzen";

class HostCommands {
public:
    // Announces the callbacks object, then adds the menu item and the command group (with the
    // icons at iconPaths, smallest first) and puts its button on the drawing's tab. On any failure
    // takes back what it added and throws host::HostError.
    HostCommands(com::ComPtr<IDispatch> app, long cookie, HINSTANCE module, IDispatch* callbacks,
                 const std::vector<std::wstring>& iconPaths);
    HostCommands(const HostCommands&) = delete;
    HostCommands& operator=(const HostCommands&) = delete;
    // Takes everything back; a failing host call does not stop the rest.
    ~HostCommands();

private:
    void add(HINSTANCE module, IDispatch* callbacks, const std::vector<std::wstring>& iconPaths);
    void takeBack() noexcept;

    com::ComPtr<IDispatch> app_;
    long cookie_;
    bool menuAdded_ = false;
    bool groupCreated_ = false;
    com::ComPtr<IDispatch> commandManager_;
    com::ComPtr<IDispatch> ownTab_; // only a tab the add-in added itself is removed again
};

} // namespace tvx::addin
