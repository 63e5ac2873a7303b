#include "drawing/com/com_host.h"

#include "drawing/com/dispatch_client.h"
#include "drawing/com/failure_text.h"
#include "drawing/com/result_convert.h"

#include <memory>

namespace tvx::com {

namespace {

// The names learnt per kind of host object, for everything reached from one application object.
struct KindIds {
    std::shared_ptr<MemberIds> app = std::make_shared<MemberIds>();
    std::shared_ptr<MemberIds> doc = std::make_shared<MemberIds>();
    std::shared_ptr<MemberIds> extension = std::make_shared<MemberIds>();
    std::shared_ptr<MemberIds> sheet = std::make_shared<MemberIds>();
    std::shared_ptr<MemberIds> view = std::make_shared<MemberIds>();
    std::shared_ptr<MemberIds> symbol = std::make_shared<MemberIds>();
    std::shared_ptr<MemberIds> annotation = std::make_shared<MemberIds>();
    std::shared_ptr<MemberIds> note = std::make_shared<MemberIds>();
    std::shared_ptr<MemberIds> textFormat = std::make_shared<MemberIds>();
    std::shared_ptr<HostLine> line;
};
using Kinds = std::shared_ptr<const KindIds>;

// A host reference from an object result; the empty reference stays an empty pointer.
template <class Adapter>
auto wrapResult(const char* operation, const UniqueVariant& result, const Kinds& kinds) {
    ComPtr<IDispatch> object = takeObject(operation, result.get());
    return object ? std::make_shared<Adapter>(std::move(object), kinds) : nullptr;
}

class ComTextFormat final : public host::TextFormat {
public:
    ComTextFormat(ComPtr<IDispatch> object, const Kinds& kinds) : d_(std::move(object), kinds->textFormat, kinds->line) {}

    void setTypeFaceName(const std::wstring& name) override { d_.put("TypeFaceName", arg(name)); }
    void setCharHeight(double metres) override { d_.put("CharHeight", arg(metres)); }
    void setCharHeightInPts(std::int32_t points) override { d_.put("CharHeightInPts", arg(points)); }
    void setBold(bool bold) override { d_.put("Bold", arg(bold)); }

    IDispatch* raw() const noexcept { return d_.raw(); }

private:
    DispatchObject d_;
};

// The text format as the host knows it; an empty one goes as the empty reference.
IDispatch* hostObjectOf(const char* operation, const host::TextFormatRef& format) {
    if (!format) {
        return nullptr;
    }
    const auto* own = dynamic_cast<const ComTextFormat*>(format.get());
    if (own == nullptr) {
        throw host::HostError(operation, "the text format does not come from this host");
    }
    return own->raw();
}

class ComAnnotation final : public host::Annotation {
public:
    ComAnnotation(ComPtr<IDispatch> object, Kinds kinds)
        : d_(std::move(object), kinds->annotation, kinds->line), kinds_(std::move(kinds)) {}

    std::wstring GetName() override { return takeString("GetName", d_.call("GetName").get()); }
    bool SetName(const std::wstring& name) override {
        return takeBool("SetName", d_.call("SetName", name).get());
    }
    bool Select2(bool append, std::int16_t mark) override {
        return takeBool("Select2", d_.call("Select2", append, mark).get());
    }
    host::TextFormatRef gettextformat(std::int16_t index) override {
        return wrapResult<ComTextFormat>("gettextformat", d_.call("gettextformat", index), kinds_);
    }
    bool SetTextFormat(std::int16_t index, bool useDoc, const host::TextFormatRef& format) override {
        IDispatch* object = hostObjectOf("SetTextFormat", format);
        return takeBool("SetTextFormat", d_.call("SetTextFormat", index, useDoc, object).get());
    }

private:
    DispatchObject d_;
    Kinds kinds_;
};

class ComSFSymbol final : public host::SFSymbol {
public:
    ComSFSymbol(ComPtr<IDispatch> object, Kinds kinds)
        : d_(std::move(object), kinds->symbol, kinds->line), kinds_(std::move(kinds)) {}

    host::SFSymbolRef GetNext() override {
        return wrapResult<ComSFSymbol>("GetNext", d_.call("GetNext"), kinds_);
    }
    std::int32_t GetSymbolType() override { return takeInt32("GetSymbolType", d_.call("GetSymbolType").get()); }
    std::wstring GetText(std::int32_t which) override {
        return takeString("GetText", d_.call("GetText", which).get());
    }
    host::AnnotationRef GetAnnotation() override {
        return wrapResult<ComAnnotation>("GetAnnotation", d_.call("GetAnnotation"), kinds_);
    }

private:
    DispatchObject d_;
    Kinds kinds_;
};

class ComView final : public host::View {
public:
    ComView(ComPtr<IDispatch> object, Kinds kinds)
        : d_(std::move(object), kinds->view, kinds->line), kinds_(std::move(kinds)) {}

    host::SFSymbolRef GetFirstSFSymbol() override {
        return wrapResult<ComSFSymbol>("GetFirstSFSymbol", d_.call("GetFirstSFSymbol"), kinds_);
    }
    host::ViewRef GetNextView() override {
        return wrapResult<ComView>("GetNextView", d_.call("GetNextView"), kinds_);
    }
    host::NoteRef GetFirstNote() override;

private:
    DispatchObject d_;
    Kinds kinds_;
};

class ComSheet final : public host::Sheet {
public:
    ComSheet(ComPtr<IDispatch> object, const Kinds& kinds) : d_(std::move(object), kinds->sheet, kinds->line) {}

    std::wstring GetName() override { return takeString("GetName", d_.call("GetName").get()); }
    host::HostValue GetProperties() override {
        return takeHostValue("GetProperties", d_.call("GetProperties").get());
    }

private:
    DispatchObject d_;
};

class ComNote final : public host::Note {
public:
    ComNote(ComPtr<IDispatch> object, Kinds kinds)
        : d_(std::move(object), kinds->note, kinds->line), kinds_(std::move(kinds)) {}

    void setAngle(std::int16_t angle) override { d_.put("angle", arg(angle)); }
    bool SetBalloon(std::int16_t style, std::int16_t size) override {
        return takeBool("SetBalloon", d_.call("SetBalloon", style, size).get());
    }
    host::TextFormatRef gettextformat() override {
        return wrapResult<ComTextFormat>("gettextformat", d_.call("gettextformat"), kinds_);
    }
    bool SetTextFormat(std::int16_t index, const host::TextFormatRef& format) override {
        IDispatch* object = hostObjectOf("SetTextFormat", format);
        return takeBool("SetTextFormat", d_.call("SetTextFormat", index, object).get());
    }
    host::AnnotationRef GetAnnotation() override {
        return wrapResult<ComAnnotation>("GetAnnotation", d_.call("GetAnnotation"), kinds_);
    }
    host::NoteRef GetNext() override { return wrapResult<ComNote>("GetNext", d_.call("GetNext"), kinds_); }

private:
    DispatchObject d_;
    Kinds kinds_;
};

host::NoteRef ComView::GetFirstNote() {
    return wrapResult<ComNote>("GetFirstNote", d_.call("GetFirstNote"), kinds_);
}

class ComExtension final : public host::Extension {
public:
    ComExtension(ComPtr<IDispatch> object, const Kinds& kinds) : d_(std::move(object), kinds->extension, kinds->line) {}

    bool SelectByID(const std::wstring& name, const std::wstring& type, std::int16_t x, std::int16_t y,
                    std::int16_t z, bool append, std::int16_t mark, host::EmptyRef callout) override {
        return takeBool("SelectByID", d_.call("SelectByID", name, type, x, y, z, append, mark, callout).get());
    }
    void StartRecordingUndoObject() override { d_.call("StartRecordingUndoObject"); }
    bool FinishRecordingUndoObject2(const std::wstring& name, bool hidden) override {
        return takeBool("FinishRecordingUndoObject2", d_.call("FinishRecordingUndoObject2", name, hidden).get());
    }
    bool FinishRecordingUndoObject(const std::wstring& name) override {
        return takeBool("FinishRecordingUndoObject", d_.call("FinishRecordingUndoObject", name).get());
    }

private:
    DispatchObject d_;
};

class ComDoc final : public host::Doc {
public:
    ComDoc(ComPtr<IDispatch> object, Kinds kinds)
        : d_(std::move(object), kinds->doc, kinds->line), kinds_(std::move(kinds)) {}

    std::int32_t GetType() override { return takeInt32("GetType", d_.call("GetType").get()); }
    host::ViewRef GetFirstView() override {
        return wrapResult<ComView>("GetFirstView", d_.call("GetFirstView"), kinds_);
    }
    host::SheetRef GetCurrentSheet() override {
        return wrapResult<ComSheet>("GetCurrentSheet", d_.call("GetCurrentSheet"), kinds_);
    }
    std::wstring GetTitle() override { return takeString("GetTitle", d_.call("GetTitle").get()); }
    host::ExtensionRef Extension() override {
        return wrapResult<ComExtension>("Extension", d_.get("Extension"), kinds_);
    }
    bool SelectByID(const std::wstring& name, const std::wstring& type, double x, double y,
                    std::int16_t z) override {
        return takeBool("SelectByID", d_.call("SelectByID", name, type, x, y, z).get());
    }
    bool DeleteSelection(bool confirm) override {
        return takeBool("DeleteSelection", d_.call("DeleteSelection", confirm).get());
    }
    void ClearSelection2(bool all) override { d_.call("ClearSelection2", all); }
    bool ActivateSheet(const std::wstring& name) override {
        return takeBool("ActivateSheet", d_.call("ActivateSheet", name).get());
    }
    bool InsertSurfaceFinishSymbol2(const host::SurfaceFinishArgs& a) override {
        const UniqueVariant result =
            d_.call("InsertSurfaceFinishSymbol2", a.symType, a.leaderType, a.locX, a.locY, a.locZ, a.laySymbol,
                    a.arrowType, a.machAllowance, a.otherVals, a.prodMethod, a.sampleLen, a.maxRoughness,
                    a.minRoughness, a.roughnessSpacing);
        return takeBool("InsertSurfaceFinishSymbol2", result.get());
    }
    host::NoteRef InsertNote(const std::wstring& text) override {
        return wrapResult<ComNote>("InsertNote", d_.call("InsertNote", text), kinds_);
    }
    // A Sub on some host versions, a Boolean on others: the answer means nothing here.
    void EditRebuild() override { d_.call("EditRebuild"); }

private:
    DispatchObject d_;
    Kinds kinds_;
};

class ComApp final : public host::App {
public:
    ComApp(ComPtr<IDispatch> object, Kinds kinds)
        : d_(std::move(object), kinds->app, kinds->line), kinds_(std::move(kinds)) {}

    host::DocRef ActiveDoc() override {
        return wrapResult<ComDoc>("ActiveDoc", d_.get("ActiveDoc"), kinds_);
    }
    bool GetUserPreferenceToggle(std::int32_t toggle) override {
        return takeBool("GetUserPreferenceToggle", d_.call("GetUserPreferenceToggle", toggle).get());
    }
    void SetUserPreferenceToggle(std::int32_t toggle, bool on) override {
        d_.call("SetUserPreferenceToggle", toggle, on);
    }
    // The host writes through the three references: VT_BYREF over a Long, a String and a Boolean.
    void GetRunningCommandInfo(std::int32_t& commandId, std::wstring& pageTitle, bool& uiActive) override {
        LONG id = 0;
        UniqueBstr title;
        VARIANT_BOOL active = VARIANT_FALSE;
        std::array<UniqueVariant, 3> args;
        args[0].get().vt = VT_BYREF | VT_I4;
        args[0].get().plVal = &id;
        args[1].get().vt = VT_BYREF | VT_BSTR;
        args[1].get().pbstrVal = title.put();
        args[2].get().vt = VT_BYREF | VT_BOOL;
        args[2].get().pboolVal = &active;
        d_.call("GetRunningCommandInfo", std::span<UniqueVariant>(args));
        commandId = static_cast<std::int32_t>(id);
        pageTitle = title.str();
        uiActive = active != VARIANT_FALSE;
    }

private:
    DispatchObject d_;
    Kinds kinds_;
};

} // namespace

host::AppRef wrapApp(ComPtr<IDispatch> app, std::shared_ptr<HostLine> line) {
    auto kinds = std::make_shared<KindIds>();
    kinds->line = line ? std::move(line) : std::make_shared<HostLine>();
    return std::make_shared<ComApp>(std::move(app), std::move(kinds));
}

ComConnector::ComConnector(CallBounds bounds) : line_(std::make_shared<HostLine>(bounds)) {}

void ComConnector::onHostHung(HostLine::HungHandler handler) { line_->onHung(std::move(handler)); }

ComPtr<IDispatch> attachRunning(HostLine& line, const std::wstring& className) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(className.c_str(), &clsid);
    if (FAILED(hr)) {
        throw host::HostError("attach", "the class \"" + toUtf8(className) + "\" is not registered: " +
                                            describeHresult(hr));
    }
    // Both steps reach into the host's process: a busy host may reject them, a hung one never answer.
    ComPtr<IUnknown> running;
    hr = line.call("attach", [&] { return GetActiveObject(clsid, nullptr, running.put()); });
    if (FAILED(hr) || !running) {
        throw host::HostError("attach", "no running instance of \"" + toUtf8(className) + "\": " +
                                            describeHresult(hr));
    }
    ComPtr<IDispatch> app;
    try {
        hr = line.call("attach", [&] { return running->QueryInterface(IID_IDispatch, app.putVoid()); });
    } catch (...) {
        line.release(running);
        throw;
    }
    line.release(running);
    if (FAILED(hr) || !app) {
        throw host::HostError("attach", "the running \"" + toUtf8(className) + "\" cannot be called by name");
    }
    return app;
}

host::AppRef ComConnector::attach(const std::wstring& className) {
    ComPtr<IDispatch> app = attachRunning(*line_, className);
    if (attached_) {
        attached_(DispatchObject(app, nullptr, line_));
    }
    return wrapApp(std::move(app), line_);
}

} // namespace tvx::com
