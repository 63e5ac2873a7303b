#include "addin/host_commands.h"

#include "addin/addin_interfaces.h"
#include "app/win32/run_log_file.h"
#include "drawing/com/failure_text.h"
#include "drawing/com/dispatch_client.h"
#include "drawing/com/result_convert.h"
#include "drawing/session.h"

#include <array>
#include <cstdint>
#include <optional>

namespace tvx::addin {
namespace {

using com::arg;
using com::DispatchObject;
using com::UniqueVariant;

constexpr wchar_t kGroupTitle[] = L"Tarvenix";
constexpr wchar_t kButtonName[] = L"Oberflächenangabe";
constexpr wchar_t kTabName[] = L"Tarvenix";
constexpr std::int32_t kEndPosition = -1;
constexpr std::int32_t kDrawingBit = 8;   // the document-type bit mask of ShowInDocumentType
constexpr std::int32_t kToolbarOnly = 2;
constexpr std::int32_t kTextBelowIcon = 2;
// The button's own user ID in the group. Any change to the group's buttons needs a new group ID
// (kCommandGroupId): the host keeps a group's layout per user under it.
constexpr std::int32_t kButtonUserId = 0;

UniqueVariant argI8(std::int64_t value) {
    UniqueVariant v;
    v.get().vt = VT_I8;
    v.get().llVal = value;
    return v;
}

UniqueVariant argBstrArray(const std::vector<std::wstring>& texts) {
    com::UniqueSafeArray array =
        com::UniqueSafeArray::attach(SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(texts.size())));
    if (!array.get()) {
        throw std::bad_alloc();
    }
    for (LONG i = 0; i < static_cast<LONG>(texts.size()); ++i) {
        com::UniqueBstr text(texts[static_cast<std::size_t>(i)]);
        // SafeArrayPutElement copies the string.
        if (FAILED(SafeArrayPutElement(array.get(), &i, text.get()))) {
            throw std::bad_alloc();
        }
    }
    UniqueVariant v;
    v.get().vt = VT_ARRAY | VT_BSTR;
    v.get().parray = array.detach();
    return v;
}

UniqueVariant argI4Array(std::int32_t value) {
    com::UniqueSafeArray array = com::UniqueSafeArray::attach(SafeArrayCreateVector(VT_I4, 0, 1));
    LONG index = 0;
    LONG element = value;
    if (!array.get() || FAILED(SafeArrayPutElement(array.get(), &index, &element))) {
        throw std::bad_alloc();
    }
    UniqueVariant v;
    v.get().vt = VT_ARRAY | VT_I4;
    v.get().parray = array.detach();
    return v;
}

// The host writes into it; clearing a by-reference VARIANT frees nothing.
UniqueVariant argI4Out(LONG& slot) {
    UniqueVariant v;
    v.get().vt = VT_BYREF | VT_I4;
    v.get().plVal = &slot;
    return v;
}

template <std::size_t N>
UniqueVariant call(DispatchObject& object, const char* operation, std::array<UniqueVariant, N> args) {
    return object.call(operation, std::span<UniqueVariant>(args));
}

UniqueVariant argVariantOut(VARIANT& slot) {
    UniqueVariant v;
    v.get().vt = VT_BYREF | VT_VARIANT;
    v.get().pvarVal = &slot;
    return v;
}

// The item IDs GetGroupDataFromRegistry hands back, from any one-dimensional array of integers
// (VT_I4, VT_INT, VT_I2, or VT_VARIANT holding those); nothing for any other answer.
std::optional<std::vector<std::int32_t>> integerArray(const VARIANT& value) {
    const VARTYPE element = static_cast<VARTYPE>(value.vt & ~VT_ARRAY);
    if ((value.vt & VT_ARRAY) == 0 || (value.vt & VT_BYREF) != 0 || value.parray == nullptr ||
        SafeArrayGetDim(value.parray) != 1) {
        return std::nullopt;
    }
    LONG lower = 0;
    LONG upper = -1;
    if (FAILED(SafeArrayGetLBound(value.parray, 1, &lower)) || FAILED(SafeArrayGetUBound(value.parray, 1, &upper))) {
        return std::nullopt;
    }
    std::vector<std::int32_t> ids;
    for (LONG i = lower; i <= upper; ++i) {
        UniqueVariant item;
        if (element == VT_VARIANT) {
            if (FAILED(SafeArrayGetElement(value.parray, &i, item.put()))) {
                return std::nullopt;
            }
        } else if (element == VT_I4 || element == VT_INT) {
            item.get().vt = VT_I4;
            if (FAILED(SafeArrayGetElement(value.parray, &i, &item.get().lVal))) {
                return std::nullopt;
            }
        } else if (element == VT_I2) {
            item.get().vt = VT_I2;
            if (FAILED(SafeArrayGetElement(value.parray, &i, &item.get().iVal))) {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
        switch (item.vt()) {
        case VT_I4: ids.push_back(item.get().lVal); break;
        case VT_INT: ids.push_back(item.get().intVal); break;
        case VT_I2: ids.push_back(item.get().iVal); break;
        default: return std::nullopt;
        }
    }
    return ids;
}

// The host keeps a group's layout from earlier sessions: it is dropped (IgnorePreviousVersion)
// only when the buttons it knows are not ours, so that a user's own arrangement survives. A host
// that keeps nothing, or does not know the call, has nothing to drop; its tab of ours, though,
// may name buttons of another group ID and show empty, so it is built again.
struct KeptLayout {
    bool known = false;
    bool ours = false;
    std::string answer; // the call's answer and its out parameter's VARTYPE, for support
};

KeptLayout keptLayout(DispatchObject& manager) {
    UniqueVariant kept;
    try {
        if (!com::takeBool("GetGroupDataFromRegistry",
                           call<2>(manager, "GetGroupDataFromRegistry",
                                   {arg(static_cast<std::int32_t>(kCommandGroupId)), argVariantOut(kept.get())})
                               .get())) {
            return {false, false, "False, Ausgabe " + com::vartypeName(kept.vt())};
        }
    } catch (const host::HostError& e) {
        if (e.unknownName()) {
            return {};
        }
        throw;
    }
    const std::optional<std::vector<std::int32_t>> ids = integerArray(kept.get());
    return {true, ids && *ids == std::vector<std::int32_t>{kButtonUserId},
            "True, Ausgabe " + com::vartypeName(kept.vt()) + (ids ? "" : " (keine ganzen Zahlen)")};
}

void require(bool answer, const char* operation) {
    if (!answer) {
        throw host::HostError(operation, "the host answered False");
    }
}

} // namespace

HostCommands::HostCommands(com::ComPtr<IDispatch> app, long cookie, HINSTANCE module, IDispatch* callbacks,
                           const std::vector<std::wstring>& iconPaths)
    : app_(std::move(app)), cookie_(cookie) {
    try {
        add(module, callbacks, iconPaths);
    } catch (...) {
        takeBack();
        throw;
    }
}

HostCommands::~HostCommands() { takeBack(); }

void HostCommands::add(HINSTANCE module, IDispatch* callbacks, const std::vector<std::wstring>& iconPaths) {
    const auto cookie = static_cast<std::int32_t>(cookie_);
    DispatchObject app(app_);
    require(com::takeBool("SetAddinCallbackInfo2",
                          call<3>(app, "SetAddinCallbackInfo2",
                                  {argI8(reinterpret_cast<std::intptr_t>(module)), arg(callbacks), arg(cookie)})
                              .get()),
            "SetAddinCallbackInfo2");

    UniqueVariant noImages;
    const std::int32_t menuId = com::takeInt32(
        "AddMenuItem5",
        call<8>(app, "AddMenuItem5",
                {arg(kDrawingDocType), arg(cookie), arg(std::wstring(kMenuItem)), arg(kEndPosition),
                 arg(std::wstring(kCallbackName)), arg(std::wstring(kEnableName)), arg(std::wstring(kCommandHint)),
                 std::move(noImages)})
            .get());
    require(menuId != -1, "AddMenuItem5");
    menuAdded_ = true;

    commandManager_ = com::takeObject("GetCommandManager", app.call("GetCommandManager", cookie).get());
    DispatchObject manager(commandManager_);
    const KeptLayout kept = keptLayout(manager);
    // Only an add-in can ask it; the host probe reads it from the log.
    if (!kept.answer.empty()) {
        win::logOutsideRun(module, "Add-in", "GetGroupDataFromRegistry", kept.answer);
    }
    const bool dropKeptLayout = kept.known && !kept.ours;
    LONG errors = 0;
    const com::ComPtr<IDispatch> groupObject = com::takeObject(
        "CreateCommandGroup2",
        call<7>(manager, "CreateCommandGroup2",
                {arg(static_cast<std::int32_t>(kCommandGroupId)), arg(std::wstring(kGroupTitle)),
                 arg(std::wstring(kGroupTitle)), arg(std::wstring(kCommandHint)), arg(kEndPosition),
                 arg(dropKeptLayout), argI4Out(errors)})
            .get());
    require(static_cast<bool>(groupObject), "CreateCommandGroup2");
    groupCreated_ = true;

    // The icons before the item: a toolbar item without them makes some hosts fail in Activate.
    DispatchObject group(groupObject);
    group.put("IconList", argBstrArray(iconPaths));
    group.put("MainIconList", argBstrArray(iconPaths));
    const std::int32_t item = com::takeInt32(
        "AddCommandItem2",
        call<9>(group, "AddCommandItem2",
                {arg(std::wstring(kButtonName)), arg(kEndPosition), arg(std::wstring(kCommandHint)),
                 arg(std::wstring(kButtonName)), arg(std::int32_t{0}), arg(std::wstring(kCallbackName)),
                 arg(std::wstring(kEnableName)), arg(kButtonUserId), arg(kToolbarOnly)})
            .get());
    group.put("HasToolbar", arg(true));
    group.put("HasMenu", arg(false));
    group.put("ShowInDocumentType", arg(kDrawingBit));
    require(com::takeBool("Activate", group.call("Activate").get()), "Activate");
    std::array<UniqueVariant, 1> index{arg(item)};
    const std::int32_t commandId = com::takeInt32("CommandID", group.get("CommandID", index).get());

    // The host adds a tab of the same name each time it is asked to. A tab it kept from an earlier
    // session is used as the user left it, box and all, while the kept layout is ours: a box added
    // to it would show the button twice, and more so with each start. Otherwise its box names
    // buttons the host no longer has and shows empty, so it goes and is built again.
    if (const com::ComPtr<IDispatch> keptTab = com::takeObject(
            "GetCommandTab", manager.call("GetCommandTab", kDrawingDocType, std::wstring(kTabName)).get())) {
        if (kept.ours) {
            return;
        }
        // A tab the host will not remove stays as it is rather than beside a second one.
        if (!com::takeBool("RemoveCommandTab", manager.call("RemoveCommandTab", keptTab.get()).get())) {
            return;
        }
    }
    const com::ComPtr<IDispatch> tab = com::takeObject(
        "AddCommandTab", manager.call("AddCommandTab", kDrawingDocType, std::wstring(kTabName)).get());
    require(static_cast<bool>(tab), "AddCommandTab");
    ownTab_ = tab;
    const com::ComPtr<IDispatch> box =
        com::takeObject("AddCommandTabBox", DispatchObject(tab).call("AddCommandTabBox").get());
    require(static_cast<bool>(box), "AddCommandTabBox");
    DispatchObject boxObject(box);
    require(com::takeBool("AddCommands",
                          call<2>(boxObject, "AddCommands", {argI4Array(commandId), argI4Array(kTextBelowIcon)}).get()),
            "AddCommands");
}

void HostCommands::takeBack() noexcept {
    // Each step on its own: what one refuses must not keep the others in the host.
    if (menuAdded_) {
        try {
            DispatchObject(app_).call("RemoveMenu", kDrawingDocType, std::wstring(kMenuItem), std::wstring(kCallbackName));
        } catch (...) {
        }
        menuAdded_ = false;
    }
    if (ownTab_ && commandManager_) {
        try {
            DispatchObject(commandManager_).call("RemoveCommandTab", ownTab_.get());
        } catch (...) {
        }
    }
    ownTab_.reset();
    if (groupCreated_ && commandManager_) {
        try {
            // Runtime only: the layout the host keeps of the group, the user's own arrangement, stays.
            DispatchObject(commandManager_).call("RemoveCommandGroup2", static_cast<std::int32_t>(kCommandGroupId), true);
        } catch (...) {
        }
        groupCreated_ = false;
    }
    commandManager_.reset();
    app_.reset();
}

} // namespace tvx::addin
