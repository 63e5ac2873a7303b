// The typed port to the CAD host's automation interface.
//
// One small interface per host object; methods carry the host operation's name and take
// exactly the argument types the host is called with (16-bit integers as int16_t, 32-bit as
// int32_t, Booleans as bool, doubles, strings as std::wstring). Counted host references are
// shared pointers; an empty reference is an empty pointer. Every failing call throws
// HostError naming the operation. Adapters: drawing/sim (in memory), drawing/com (IDispatch).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace tvx {
class RunLog;
}

namespace tvx::host {

// How a host call failed, for the sequences to decide on: the host answered with an error
// (refused), kept rejecting the call past the retry bound (busy), did not answer within the call
// bound (hung), or its process is gone or cut off (gone).
enum class HostFailure { Refused, Busy, Hung, Gone };

// A failed host call: the operation's name, the host's own words where it gave some, how it
// failed and the automation code (HRESULT) where there was one.
class HostError : public std::runtime_error {
public:
    HostError(std::string operation, const std::string& detail, bool unreachable = false)
        : HostError(std::move(operation), detail, unreachable ? HostFailure::Gone : HostFailure::Refused) {}
    HostError(std::string operation, const std::string& detail, HostFailure kind, std::int32_t code = 0)
        : std::runtime_error(operation + (detail.empty() ? std::string() : ": " + detail)),
          operation_(std::move(operation)), kind_(kind), code_(code) {}
    const std::string& operation() const noexcept { return operation_; }
    HostFailure kind() const noexcept { return kind_; }
    std::int32_t code() const noexcept { return code_; }
    bool unreachable() const noexcept { return kind_ == HostFailure::Gone; }
    // The host takes no more calls in this run: busy past the bound or hung. Nothing may be
    // asked of it any more, not even to tidy up.
    bool stopsRun() const noexcept { return kind_ == HostFailure::Busy || kind_ == HostFailure::Hung; }
    // The host does not know the operation's name (DISP_E_UNKNOWNNAME): an older host.
    bool unknownName() const noexcept { return code_ == kUnknownNameCode; }
    static constexpr std::int32_t kUnknownNameCode = static_cast<std::int32_t>(0x80020006u);

private:
    std::string operation_;
    HostFailure kind_;
    std::int32_t code_;
};

// A value whose type the host chooses (the sheet properties, the paper-size code).
using HostScalar = std::variant<std::monostate, bool, std::int64_t, double, std::wstring>;
using HostArray = std::vector<HostScalar>;
using HostValue = std::variant<HostScalar, HostArray>;

class TextFormat;
class Annotation;
class SFSymbol;
class View;
class Sheet;
class Note;
class Extension;
class Doc;
class App;

using TextFormatRef = std::shared_ptr<TextFormat>;
using AnnotationRef = std::shared_ptr<Annotation>;
using SFSymbolRef = std::shared_ptr<SFSymbol>;
using ViewRef = std::shared_ptr<View>;
using SheetRef = std::shared_ptr<Sheet>;
using NoteRef = std::shared_ptr<Note>;
using ExtensionRef = std::shared_ptr<Extension>;
using DocRef = std::shared_ptr<Doc>;
using AppRef = std::shared_ptr<App>;

class TextFormat {
public:
    virtual ~TextFormat() = default;
    virtual void setTypeFaceName(const std::wstring& name) = 0;
    virtual void setCharHeight(double metres) = 0;
    virtual void setCharHeightInPts(std::int32_t points) = 0;
    virtual void setBold(bool bold) = 0;
};

class Annotation {
public:
    virtual ~Annotation() = default;
    virtual std::wstring GetName() = 0;
    virtual bool SetName(const std::wstring& name) = 0;
    virtual bool Select2(bool append, std::int16_t mark) = 0;
    virtual TextFormatRef gettextformat(std::int16_t index) = 0;
    virtual bool SetTextFormat(std::int16_t index, bool useDoc, const TextFormatRef& format) = 0;
};

class SFSymbol {
public:
    virtual ~SFSymbol() = default;
    virtual SFSymbolRef GetNext() = 0;
    virtual std::int32_t GetSymbolType() = 0;
    virtual std::wstring GetText(std::int32_t which) = 0;
    virtual AnnotationRef GetAnnotation() = 0;
};

class View {
public:
    virtual ~View() = default;
    virtual SFSymbolRef GetFirstSFSymbol() = 0;
    virtual ViewRef GetNextView() = 0;
    // The view's notes in order, or an empty reference; see Note::GetNext.
    virtual NoteRef GetFirstNote() = 0;
};

class Sheet {
public:
    virtual ~Sheet() = default;
    virtual std::wstring GetName() = 0;
    virtual HostValue GetProperties() = 0;
};

class Note {
public:
    virtual ~Note() = default;
    virtual void setAngle(std::int16_t angle) = 0;
    virtual bool SetBalloon(std::int16_t style, std::int16_t size) = 0;
    virtual TextFormatRef gettextformat() = 0;
    virtual bool SetTextFormat(std::int16_t index, const TextFormatRef& format) = 0;
    virtual AnnotationRef GetAnnotation() = 0;
    // The next note of the same view, or an empty reference.
    virtual NoteRef GetNext() = 0;
};

// The empty object reference passed as the callout of Extension::SelectByID.
struct EmptyRef {};

class Extension {
public:
    virtual ~Extension() = default;
    virtual bool SelectByID(const std::wstring& name, const std::wstring& type, std::int16_t x,
                            std::int16_t y, std::int16_t z, bool append, std::int16_t mark,
                            EmptyRef callout) = 0;
    // Everything changed between a start and a finish becomes one named entry of the host's Undo
    // list. A second start before the finish is ignored.
    virtual void StartRecordingUndoObject() = 0;
    // False when nothing was recording. Never hidden: a hidden first entry is discarded.
    virtual bool FinishRecordingUndoObject2(const std::wstring& name, bool hidden) = 0;
    // The same for hosts older than the two-argument form.
    virtual bool FinishRecordingUndoObject(const std::wstring& name) = 0;
};

// The 14 arguments of InsertSurfaceFinishSymbol2, in the host's order and types.
struct SurfaceFinishArgs {
    std::int32_t symType = 0;
    std::int16_t leaderType = 0;
    std::int16_t locX = 0;
    std::int16_t locY = 0;
    double locZ = 0.0;
    std::int16_t laySymbol = 0;
    std::int16_t arrowType = 1;
    std::wstring machAllowance;
    std::wstring otherVals;
    std::wstring prodMethod;
    std::wstring sampleLen;
    std::wstring maxRoughness;
    std::wstring minRoughness;
    std::wstring roughnessSpacing;
};

class Doc {
public:
    virtual ~Doc() = default;
    virtual std::int32_t GetType() = 0;
    virtual ViewRef GetFirstView() = 0;
    virtual SheetRef GetCurrentSheet() = 0;
    // The title of the document's window: its file's name, with or without the extension as
    // Windows shows file names.
    virtual std::wstring GetTitle() = 0;
    virtual ExtensionRef Extension() = 0;
    virtual bool SelectByID(const std::wstring& name, const std::wstring& type, double x, double y,
                            std::int16_t z) = 0;
    virtual bool DeleteSelection(bool confirm) = 0;
    // A Sub: empties the selection.
    virtual void ClearSelection2(bool all) = 0;
    virtual bool ActivateSheet(const std::wstring& name) = 0;
    virtual bool InsertSurfaceFinishSymbol2(const SurfaceFinishArgs& args) = 0;
    virtual NoteRef InsertNote(const std::wstring& text) = 0;
    virtual void EditRebuild() = 0;
};

class App {
public:
    virtual ~App() = default;
    virtual DocRef ActiveDoc() = 0;
    virtual bool GetUserPreferenceToggle(std::int32_t toggle) = 0;
    virtual void SetUserPreferenceToggle(std::int32_t toggle, bool on) = 0;
    // A Sub with three by-reference answers: the running command's ID (or its PropertyManager
    // page's), the page's title, and whether either is active in the user interface. Hosts older
    // than revision 19 do not know the name.
    virtual void GetRunningCommandInfo(std::int32_t& commandId, std::wstring& pageTitle, bool& uiActive) = 0;
};

// Attaching to the running object registered under a class name.
class Connector {
public:
    virtual ~Connector() = default;
    // Throws HostError when no such object runs.
    virtual AppRef attach(const std::wstring& className) = 0;
    // After the user has closed the host's own dialog: a host that kept rejecting calls past the
    // busy bound is asked again, each call within that bound once more. A host that did not
    // answer a call is never asked again.
    virtual void takeCallsAgain() noexcept {}
    // Every later host call of what attach gives goes to log as well (null: to none).
    virtual void logCallsTo(RunLog* /*log*/) noexcept {}
};

inline constexpr wchar_t kHostClassName[] = L"SldWorks.Application";

} // namespace tvx::host
