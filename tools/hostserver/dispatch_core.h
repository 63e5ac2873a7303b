// The strict IDispatch every stand-in host object answers with: a table of members per object
// kind, names matched case-insensitively, argument count and types checked exactly, errors
// reported with the HRESULTs a real automation server gives. Every call is traced.
#pragma once

#include "drawing/com/com_owners.h"
#include "drawing/host.h"
#include "drawing/oldest_host.h"
#include "drawing/sim/trace.h"
#include "tools/hostserver/call_revisions.h"
#include "tools/hostserver/played_findings.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace tvx::hostserver {

using com::ComPtr;
using com::UniqueVariant;

// How an empty object reference goes back to the client; real hosts use each of these.
enum class EmptyForm { NullDispatch, Empty, Null };

struct Answer;
class DispatchCore;
class AddinHost;
class AppEvents;
class DocEvents;

// What all objects of one server share: the trace, the injected faults, the text formats it
// handed out (so one passed back can be recognised).
class DispatchContext {
public:
    using TraceSink = std::function<void(const std::string& line)>;
    // Called instead of answering the n-th call: a host that dies in mid-run.
    using DeathHook = std::function<void()>;
    // Called with each call's number before it is answered, whatever the answer will be.
    using CallHook = std::function<void(std::uint64_t call)>;
    // Asked before a call is counted, with the number it would get and "Kind.Operation": S_OK
    // lets it run; any other code is answered instead and the call is neither run nor counted.
    using Gate = std::function<HRESULT(std::uint64_t next, const std::string& operation)>;

    void setTraceSink(TraceSink sink) { trace_ = std::move(sink); }
    const TraceSink& traceSink() const noexcept { return trace_; }
    void setEmptyForm(EmptyForm form) { emptyForm_ = form; }
    EmptyForm emptyForm() const { return emptyForm_; }

    // The n-th call (1-based, every Invoke counted) fails with the host's exception; 0 disarms.
    void failAtCall(std::uint64_t n) { failAt_ = n; }
    // Every call of that operation fails.
    void failOperation(std::string operation) { failOps_.push_back(std::move(operation)); }
    void dieAtCall(std::uint64_t n, DeathHook hook) {
        dieAt_ = n;
        death_ = std::move(hook);
    }
    void setBeforeCall(CallHook hook) { beforeCall_ = std::move(hook); }
    // Given every answer before it goes out, to put it in another form (see AnswerForms).
    using AnswerHook = std::function<void(const std::string& operation, Answer& answer)>;
    void setAnswerHook(AnswerHook hook) { answerHook_ = std::move(hook); }
    void setGate(Gate gate) { gate_ = std::move(gate); }
    HRESULT gate(std::uint64_t next, const std::string& operation) const {
        return gate_ ? gate_(next, operation) : S_OK;
    }
    std::uint64_t callCount() const { return calls_; }
    // GetIDsOfNames calls answered: each is a round trip of its own for a client in another process.
    std::uint64_t nameLookups() const { return lookups_; }
    void countLookup() { ++lookups_; }

    // Internal to the dispatch objects.
    std::uint64_t countCall() { return ++calls_; }
    bool faultFor(std::uint64_t call, const std::string& operation) const;
    void dieIfDue(std::uint64_t call) const;
    void beforeCall(std::uint64_t call) const;
    void shapeAnswer(const std::string& operation, Answer& answer) const {
        if (answerHook_) {
            answerHook_(operation, answer);
        }
    }
    void trace(const std::string& line) const;
    void registerTextFormat(const IUnknown* identity, host::TextFormatRef format);
    void forgetTextFormat(const IUnknown* identity);
    // The text format behind an object the client passed back, or nothing when it is not ours.
    const host::TextFormatRef* findTextFormat(IDispatch* object) const;

    // Every object alive, so the references left on them can be counted.
    void registerObject(const DispatchCore* object) { live_.insert(object); }
    void forgetObject(const DispatchCore* object) { live_.erase(object); }
    const std::set<const DispatchCore*>& liveObjects() const noexcept { return live_; }
    // The object behind one the client passed back, or null when it is not ours.
    DispatchCore* findObject(IDispatch* object) const;


    // Called after every call answered, whatever the answer: the drawing may have changed.
    void setAfterCall(std::function<void()> hook) { afterCall_ = std::move(hook); }
    void afterCall() const {
        if (afterCall_) {
            afterCall_();
        }
    }

    // The host in a modal state of its own (its "Optionen" dialog, a loop of its own watching
    // the keyboard): a call that arrives meanwhile is marked in the trace and counted. Nested.
    void enterModalState() noexcept { ++modalDepth_; }
    void leaveModalState() noexcept { --modalDepth_; }
    bool inModalState() const noexcept { return modalDepth_ > 0; }
    std::uint64_t callsDuringModalState() const noexcept { return modalCalls_; }
    void markIfModal(const std::string& operation);
    // A command of the host's runs with its PropertyManager page open: its help warns that
    // selecting does not work well then. A selection, deletion or insertion meanwhile is marked in
    // the trace and counted.
    void setCommandOpen(bool open) noexcept { commandOpen_ = open; }
    bool commandOpen() const noexcept { return commandOpen_; }
    std::uint64_t callsDuringCommand() const noexcept { return commandCalls_; }
    void markIfDuringCommand(const std::string& kind, const std::string& member);

    // What RevisionNumber answers, and the revision it is judged as (none: a host with every
    // call): a member that came after it is a name the host does not know.
    void setRevision(std::wstring text, std::optional<host::HostRevision> revision) {
        revisionText_ = std::move(text);
        revision_ = revision;
    }
    const std::wstring& revisionText() const noexcept { return revisionText_; }
    bool knows(const char* kind, const wchar_t* name) const;

    // A long operation of the host's that dispatches every message while its frame stays enabled:
    // a call that arrives meanwhile is marked and counted as in the modal state. Nested.
    void enterHostOperation() noexcept { ++operationDepth_; }
    void leaveHostOperation() noexcept { --operationDepth_; }
    std::uint64_t callsDuringHostOperation() const noexcept { return operationCalls_; }

    // The application's events; none: the application object offers no connection point.
    void setAppEvents(std::shared_ptr<AppEvents> events) { appEvents_ = std::move(events); }
    const std::shared_ptr<AppEvents>& appEvents() const noexcept { return appEvents_; }
    // The drawing document's events; none: the document object offers no connection point.
    void setDocEvents(std::shared_ptr<DocEvents> events) { docEvents_ = std::move(events); }
    const std::shared_ptr<DocEvents>& docEvents() const noexcept { return docEvents_; }

    // What a document's Save3 does (the host probe's test save); none: the host cannot save.
    void setDocumentSave(std::function<bool()> save) { documentSave_ = std::move(save); }
    const std::function<bool()>& documentSave() const noexcept { return documentSave_; }

    // A real host's answers to the probe's open questions, played; the stand-in's own by default.
    void setFindings(PlayedFindings findings) { findings_ = std::move(findings); }
    const PlayedFindings& findings() const noexcept { return findings_; }
    bool takesCoordinate(VARTYPE vt) const;
    // How many items the document's selection holds (its selection manager's count); the user's
    // answer to the host's question before deleting, asked in a window of the host's own. None:
    // the server cannot say.
    void setSelectionCount(std::function<std::int32_t()> count) { selectionCount_ = std::move(count); }
    const std::function<std::int32_t()>& selectionCount() const noexcept { return selectionCount_; }
    void setConfirmDeletion(std::function<bool()> ask) { confirmDeletion_ = std::move(ask); }
    const std::function<bool()>& confirmDeletion() const noexcept { return confirmDeletion_; }

    // Where the add-in calls go; none unless the server hosts add-ins.
    void setAddinHost(AddinHost* host) { addinHost_ = host; }
    AddinHost* addinHost() const noexcept { return addinHost_; }

private:
    TraceSink trace_;
    EmptyForm emptyForm_ = EmptyForm::NullDispatch;
    std::uint64_t calls_ = 0;
    std::uint64_t lookups_ = 0;
    std::uint64_t failAt_ = 0;
    std::vector<std::string> failOps_;
    std::uint64_t dieAt_ = 0;
    DeathHook death_;
    CallHook beforeCall_;
    AnswerHook answerHook_;
    Gate gate_;
    std::map<const IUnknown*, host::TextFormatRef> textFormats_;
    std::set<const DispatchCore*> live_;
    std::function<void()> afterCall_;
    AddinHost* addinHost_ = nullptr;
    std::wstring revisionText_ = kStandInRevision;
    std::optional<host::HostRevision> revision_;
    int modalDepth_ = 0;
    std::uint64_t modalCalls_ = 0;
    bool commandOpen_ = false;
    std::uint64_t commandCalls_ = 0;
    int operationDepth_ = 0;
    std::uint64_t operationCalls_ = 0;
    std::shared_ptr<AppEvents> appEvents_;
    std::shared_ptr<DocEvents> docEvents_;
    std::function<bool()> documentSave_;
    PlayedFindings findings_;
    std::function<std::int32_t()> selectionCount_;
    std::function<bool()> confirmDeletion_;
};

inline constexpr char kModalCallMarker[] = "!! called during modal state";
inline constexpr char kCommandCallMarker[] = "!! called during a running command";
inline constexpr char kOperationCallMarker[] = "!! called during host operation";

// The host's modal state for as long as it lives.
class ModalState {
public:
    explicit ModalState(DispatchContext& context) : context_(context) { context_.enterModalState(); }
    ModalState(const ModalState&) = delete;
    ModalState& operator=(const ModalState&) = delete;
    ~ModalState() { context_.leaveModalState(); }

private:
    DispatchContext& context_;
};

// Argument kinds, each one exact VARTYPE.
enum class Param {
    I2,         // VT_I2
    I4,         // VT_I4
    Bool,       // VT_BOOL
    R8,         // VT_R8
    Bstr,       // VT_BSTR
    TextFormat, // VT_DISPATCH: null, or a text format of this server
    EmptyRef,   // VT_DISPATCH holding null
    I8,         // VT_I8
    Object,     // VT_DISPATCH, not null: an object of the caller's
    HostObject, // VT_DISPATCH, not null: an object this server handed out
    Coordinate, // VT_I2, or another form the played host takes (PlayedFindings)
    ImageList,  // VT_EMPTY, or VT_ARRAY|VT_BSTR
    BstrArray,  // VT_ARRAY|VT_BSTR
    I4Array,    // VT_ARRAY|VT_I4
    I4Out,      // VT_BYREF|VT_I4, written back
    VariantOut, // VT_BYREF|VT_VARIANT, written back
    BstrOut,    // VT_BYREF|VT_BSTR, written back
    BoolOut,    // VT_BYREF|VT_BOOL, written back
};

enum class Access { Method, Get, Put };

// The arguments of one call, in the order the member's table lists them.
class CallArgs {
public:
    CallArgs(const DISPPARAMS& params, const DispatchContext& context) : params_(params), context_(context) {}

    std::int16_t i2(std::size_t index) const { return at(index).iVal; }
    std::int32_t i4(std::size_t index) const { return at(index).lVal; }
    bool boolean(std::size_t index) const { return at(index).boolVal != VARIANT_FALSE; }
    double r8(std::size_t index) const { return at(index).dblVal; }
    // A Coordinate in whichever form it came, as the 16-bit integer the model keeps.
    std::int16_t coordinate(std::size_t index) const;
    std::wstring bstr(std::size_t index) const;
    host::TextFormatRef textFormat(std::size_t index) const;
    std::int64_t i8(std::size_t index) const { return at(index).llVal; }
    IDispatch* object(std::size_t index) const { return at(index).pdispVal; }
    // EMPTY gives no entries.
    std::vector<std::wstring> bstrs(std::size_t index) const;
    std::vector<std::int32_t> i4s(std::size_t index) const;
    void setI4Out(std::size_t index, std::int32_t value) const { *at(index).plVal = value; }
    // What the slot held is freed, as a callee that writes a by-reference string must.
    void setBstrOut(std::size_t index, const std::wstring& value) const {
        BSTR& slot = *at(index).pbstrVal;
        SysFreeString(slot);
        slot = com::UniqueBstr(value).detach();
    }
    void setBoolOut(std::size_t index, bool value) const {
        *at(index).pboolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    }
    void setVariantOut(std::size_t index, UniqueVariant value) const {
        VariantClear(at(index).pvarVal);
        value.detachTo(*at(index).pvarVal);
    }

private:
    const VARIANT& at(std::size_t index) const { return params_.rgvarg[params_.cArgs - 1 - index]; }

    const DISPPARAMS& params_;
    const DispatchContext& context_;
};

// A member's answer: the VARIANT returned and how the trace shows it.
struct Answer {
    UniqueVariant value;
    std::string trace;

    static Answer none();
    static Answer boolean(bool value);
    static Answer int32(std::int32_t value);
    static Answer text(const std::wstring& value);
    // A host object of the named kind, or the empty reference in the context's form.
    static Answer object(ComPtr<IDispatch> object, const char* kind, EmptyForm emptyForm);
    static Answer hostValue(const host::HostValue& value);
    // A host object with no model behind it (the add-in interface's objects).
    static Answer dispatch(ComPtr<IDispatch> made, const char* kind) {
        return object(std::move(made), kind, EmptyForm::NullDispatch);
    }
};

struct MemberInfo {
    const wchar_t* name;
    Access access;
    std::vector<Param> params;
};

// COM objects are destroyed through Release, never through an interface pointer, so the
// interfaces' non-virtual destructors are as COM means them.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class DispatchCore : public IDispatch {
public:
    DispatchCore(const DispatchCore&) = delete;
    DispatchCore& operator=(const DispatchCore&) = delete;
    virtual ~DispatchCore();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* error, UINT* argErr) override;

    const char* kind() const noexcept { return kind_; }
    LONG references() const noexcept { return refs_; }

protected:
    DispatchCore(std::shared_ptr<DispatchContext> context, const char* kind);

    DispatchContext& context() const noexcept { return *context_; }
    const std::shared_ptr<DispatchContext>& sharedContext() const noexcept { return context_; }
    virtual std::span<const MemberInfo> members() const = 0;
    virtual Answer run(std::size_t member, const CallArgs& args) = 0;

private:
    HRESULT invokeChecked(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* error,
                          UINT* argErr);
    HRESULT refuse(std::size_t member, const DISPPARAMS& params, HRESULT hr, const std::string& why) const;

    std::shared_ptr<DispatchContext> context_;
    const char* kind_;
    LONG refs_ = 1;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// A new object with one reference, owned by the returned pointer.
template <class T, class... A>
ComPtr<IDispatch> makeDispatch(A&&... args) {
    auto object = std::make_unique<T>(std::forward<A>(args)...);
    return ComPtr<IDispatch>::attach(object.release());
}

// An argument as it arrived, for the trace: type "I2" value "0", "DISPATCH" "TextFormat", ...
sim::TracedArg traceArgument(const VARIANT& value, const DispatchContext& context);

} // namespace tvx::hostserver
