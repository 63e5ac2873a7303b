#include "tools/hostserver/addin_objects.h"

#include "drawing/com/failure_text.h"
#include "tools/hostserver/table_object.h"

#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tvx::hostserver {

AddinHost& addinHostOf(const DispatchContext& context) {
    AddinHost* host = context.addinHost();
    if (host == nullptr) {
        throw host::HostError("AddinHost", "this host was started without add-ins");
    }
    return *host;
}

namespace {

template <class Object, class Ref>
Answer handOut(const std::shared_ptr<DispatchContext>& context, Ref ref) {
    return Answer::dispatch(makeDispatch<Object>(context, std::move(ref)), Object::kKind);
}

// A list of IDs as the host hands it out: VT_ARRAY|VT_I4, or another element type a probed host
// used (VT_VARIANT elements hold VT_I4).
UniqueVariant idArray(const std::vector<std::int32_t>& values, VARTYPE element) {
    com::UniqueSafeArray array =
        com::UniqueSafeArray::attach(SafeArrayCreateVector(element, 0, static_cast<ULONG>(values.size())));
    if (array.get() == nullptr) {
        throw std::bad_alloc();
    }
    for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
        UniqueVariant value;
        value.get().vt = VT_I4;
        value.get().lVal = values[static_cast<std::size_t>(i)];
        UniqueVariant converted;
        if (element != VT_VARIANT && FAILED(VariantChangeType(converted.addressOf(), value.addressOf(), 0, element))) {
            throw std::invalid_argument("IDs cannot be given as " + com::vartypeName(element));
        }
        void* slot = element == VT_VARIANT ? static_cast<void*>(value.addressOf())
                     : element == VT_BSTR  ? static_cast<void*>(converted.get().bstrVal)
                                           : static_cast<void*>(&converted.get().lVal);
        if (FAILED(SafeArrayPutElement(array.get(), &i, slot))) {
            throw std::bad_alloc();
        }
    }
    UniqueVariant v;
    v.get().vt = static_cast<VARTYPE>(VT_ARRAY | element);
    v.get().parray = array.detach();
    return v;
}

Answer noObject(const DispatchContext& context, const char* kind) {
    return Answer::object(nullptr, kind, context.emptyForm());
}

using GroupKey = std::pair<std::int32_t, std::int32_t>; // cookie, user id
using BoxKey = std::pair<std::int32_t, std::size_t>;    // tab id, box index

class DispCommandTabBox final : public TableObject<DispCommandTabBox, BoxKey> {
public:
    static constexpr const char* kKind = "CommandTabBox";

    DispCommandTabBox(std::shared_ptr<DispatchContext> context, BoxKey box)
        : TableObject(std::move(context), kKind, box) {}

    static const std::vector<Member<DispCommandTabBox>>& table() {
        static const std::vector<Member<DispCommandTabBox>> t{
            {{L"AddCommands", kMethod, {Param::I4Array, Param::I4Array}},
             [](DispCommandTabBox& s, const CallArgs& a) {
                 const std::vector<std::int32_t> ids = a.i4s(0);
                 if (ids.size() != a.i4s(1).size()) {
                     return Answer::boolean(false);
                 }
                 return Answer::boolean(
                     addinHostOf(s.context()).addToTabBox(s.ref().first, s.ref().second, ids));
             }},
        };
        return t;
    }
};

class DispCommandTab final : public TableObject<DispCommandTab, std::int32_t> {
public:
    static constexpr const char* kKind = "CommandTab";

    DispCommandTab(std::shared_ptr<DispatchContext> context, std::int32_t id)
        : TableObject(std::move(context), kKind, id) {}

    std::int32_t id() const noexcept { return ref(); }

    static const std::vector<Member<DispCommandTab>>& table() {
        static const std::vector<Member<DispCommandTab>> t{
            {{L"AddCommandTabBox", kMethod, {}},
             [](DispCommandTab& s, const CallArgs&) {
                 CommandTab& tab = addinHostOf(s.context()).tab(s.ref());
                 tab.boxes.emplace_back();
                 return handOut<DispCommandTabBox>(s.sharedContext(), BoxKey{s.ref(), tab.boxes.size() - 1});
             }},
        };
        return t;
    }
};

class DispCommandGroup final : public TableObject<DispCommandGroup, GroupKey> {
public:
    static constexpr const char* kKind = "CommandGroup";

    DispCommandGroup(std::shared_ptr<DispatchContext> context, GroupKey key)
        : TableObject(std::move(context), kKind, key) {}

    CommandGroup& group() { return addinHostOf(context()).group(ref().first, ref().second); }

    // Changes to a group that is already on the toolbar do not reach it.
    CommandGroup& inactiveGroup() {
        CommandGroup& g = group();
        if (g.active) {
            throw host::HostError("CommandGroup", "the group is active already");
        }
        return g;
    }

    static const std::vector<Member<DispCommandGroup>>& table() {
        static const std::vector<Member<DispCommandGroup>> t{
            {{L"IconList", kPut, {Param::BstrArray}},
             [](DispCommandGroup& s, const CallArgs& a) {
                 s.inactiveGroup().iconList = a.bstrs(0);
                 return Answer::none();
             }},
            {{L"MainIconList", kPut, {Param::BstrArray}},
             [](DispCommandGroup& s, const CallArgs& a) {
                 s.inactiveGroup().mainIconList = a.bstrs(0);
                 return Answer::none();
             }},
            // Older hosts' icons: one strip each, of 16 and of 24 px pictures.
            {{L"SmallIconList", kPut, {Param::Bstr}},
             [](DispCommandGroup& s, const CallArgs& a) {
                 s.inactiveGroup().smallIconList = a.bstr(0);
                 return Answer::none();
             }},
            {{L"LargeIconList", kPut, {Param::Bstr}},
             [](DispCommandGroup& s, const CallArgs& a) {
                 s.inactiveGroup().largeIconList = a.bstr(0);
                 return Answer::none();
             }},
            {{L"AddCommandItem2", kMethod,
              {Param::Bstr, Param::I4, Param::Bstr, Param::Bstr, Param::I4, Param::Bstr, Param::Bstr, Param::I4,
               Param::I4}},
             [](DispCommandGroup& s, const CallArgs& a) {
                 CommandGroup& g = s.inactiveGroup();
                 CommandGroupItem item{a.bstr(0), a.bstr(2), a.bstr(3), a.bstr(5),
                                       a.bstr(6), a.i4(4),  a.i4(7),  a.i4(8)};
                 const std::int32_t position = a.i4(1);
                 if (item.option < 1 || item.option > 3 || item.callback.empty()) {
                     return Answer::int32(-1);
                 }
                 const auto at = position < 0 || static_cast<std::size_t>(position) > g.items.size()
                                     ? g.items.size()
                                     : static_cast<std::size_t>(position);
                 g.items.insert(g.items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
                 return Answer::int32(static_cast<std::int32_t>(at));
             }},
            {{L"HasToolbar", kPut, {Param::Bool}},
             [](DispCommandGroup& s, const CallArgs& a) {
                 s.inactiveGroup().hasToolbar = a.boolean(0);
                 return Answer::none();
             }},
            {{L"HasMenu", kPut, {Param::Bool}},
             [](DispCommandGroup& s, const CallArgs& a) {
                 s.inactiveGroup().hasMenu = a.boolean(0);
                 return Answer::none();
             }},
            {{L"ShowInDocumentType", kPut, {Param::I4}},
             [](DispCommandGroup& s, const CallArgs& a) {
                 // A bit mask: none 1, part 2, assembly 4, drawing 8.
                 if (a.i4(0) < 0 || a.i4(0) > 15) {
                     throw host::HostError("ShowInDocumentType", "not a document type mask");
                 }
                 s.inactiveGroup().showInDocumentType = a.i4(0);
                 return Answer::none();
             }},
            {{L"Activate", kMethod, {}},
             [](DispCommandGroup& s, const CallArgs&) {
                 return Answer::boolean(addinHostOf(s.context()).activate(s.ref().first, s.ref().second));
             }},
            {{L"CommandID", kGet, {Param::I4}},
             [](DispCommandGroup& s, const CallArgs& a) {
                 const CommandGroup& g = s.group();
                 const std::int32_t index = a.i4(0);
                 // Command ids exist only once the group is active.
                 if (!g.active || index < 0 || static_cast<std::size_t>(index) >= g.items.size()) {
                     return Answer::int32(-1);
                 }
                 return Answer::int32(g.items[static_cast<std::size_t>(index)].commandId);
             }},
        };
        return t;
    }
};

class DispCommandManager final : public TableObject<DispCommandManager, std::int32_t> {
public:
    static constexpr const char* kKind = "CommandManager";

    DispCommandManager(std::shared_ptr<DispatchContext> context, std::int32_t cookie)
        : TableObject(std::move(context), kKind, cookie) {}

    static std::int32_t tabOf(const DispatchContext& context, IDispatch* object) {
        const DispatchCore* core = context.findObject(object);
        if (core == nullptr || std::string(core->kind()) != DispCommandTab::kKind) {
            throw host::HostError("RemoveCommandTab", "not a command tab of this host");
        }
        return static_cast<const DispCommandTab*>(core)->id();
    }

    static const std::vector<Member<DispCommandManager>>& table() {
        static const std::vector<Member<DispCommandManager>> t{
            {{L"CreateCommandGroup2", kMethod,
              {Param::I4, Param::Bstr, Param::Bstr, Param::Bstr, Param::I4, Param::Bool, Param::I4Out}},
             [](DispCommandManager& s, const CallArgs& a) {
                 CommandGroup group;
                 group.userId = a.i4(0);
                 group.title = a.bstr(1);
                 group.tooltip = a.bstr(2);
                 group.hint = a.bstr(3);
                 group.ignorePreviousVersion = a.boolean(5);
                 const auto error = addinHostOf(s.context()).createCommandGroup(s.ref(), std::move(group));
                 a.setI4Out(6, error.value_or(0));
                 if (error) {
                     return noObject(s.context(), DispCommandGroup::kKind);
                 }
                 return handOut<DispCommandGroup>(s.sharedContext(), GroupKey{s.ref(), a.i4(0)});
             }},
            {{L"RemoveCommandGroup2", kMethod, {Param::I4, Param::Bool}},
             [](DispCommandManager& s, const CallArgs& a) {
                 return Answer::int32(addinHostOf(s.context()).removeCommandGroup(s.ref(), a.i4(0), a.boolean(1)));
             }},
            {{L"GetGroupDataFromRegistry", kMethod, {Param::I4, Param::VariantOut}},
             [](DispCommandManager& s, const CallArgs& a) {
                 std::vector<std::int32_t> ids;
                 const bool known = addinHostOf(s.context()).groupDataFromRegistry(a.i4(0), ids);
                 const VARTYPE form = s.context().findings().keptIdsForm;
                 if (known && form != VT_EMPTY) {
                     a.setVariantOut(1, idArray(ids, static_cast<VARTYPE>(form & ~VT_ARRAY)));
                 }
                 return Answer::boolean(known);
             }},
            {{L"GetCommandTab", kMethod, {Param::I4, Param::Bstr}},
             [](DispCommandManager& s, const CallArgs& a) {
                 const CommandTab* tab = addinHostOf(s.context()).findTab(a.i4(0), a.bstr(1));
                 if (tab == nullptr) {
                     return noObject(s.context(), DispCommandTab::kKind);
                 }
                 return handOut<DispCommandTab>(s.sharedContext(), tab->id);
             }},
            {{L"AddCommandTab", kMethod, {Param::I4, Param::Bstr}},
             [](DispCommandManager& s, const CallArgs& a) {
                 const CommandTab& tab = addinHostOf(s.context()).addTab(s.ref(), a.i4(0), a.bstr(1));
                 return handOut<DispCommandTab>(s.sharedContext(), tab.id);
             }},
            {{L"RemoveCommandTab", kMethod, {Param::HostObject}},
             [](DispCommandManager& s, const CallArgs& a) {
                 return Answer::boolean(addinHostOf(s.context()).removeTab(tabOf(s.context(), a.object(0))));
             }},
        };
        return t;
    }
};

// The host's main window. Without add-ins the stand-in shows none: its handle is then 0.
class DispFrame final : public TableObject<DispFrame, std::int32_t> {
public:
    static constexpr const char* kKind = "Frame";

    explicit DispFrame(std::shared_ptr<DispatchContext> context) : TableObject(std::move(context), kKind, 0) {}

    static const std::vector<Member<DispFrame>>& table() {
        static const std::vector<Member<DispFrame>> t{
            // VT_I4, as late binding gets it; a window handle's significant bits fit.
            {{L"GetHWnd", kMethod, {}},
             [](DispFrame& s, const CallArgs&) {
                 const AddinHost* host = s.context().addinHost();
                 const HWND window = host == nullptr ? nullptr : host->frameWindow();
                 return Answer::int32(static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window)));
             }},
        };
        return t;
    }
};

} // namespace

Answer frameOf(const std::shared_ptr<DispatchContext>& context) {
    return Answer::dispatch(makeDispatch<DispFrame>(context), DispFrame::kKind);
}

Answer commandManagerFor(const std::shared_ptr<DispatchContext>& context, std::int32_t cookie) {
    if (!addinHostOf(*context).knowsCookie(cookie)) {
        return noObject(*context, DispCommandManager::kKind);
    }
    return handOut<DispCommandManager>(context, cookie);
}

} // namespace tvx::hostserver
