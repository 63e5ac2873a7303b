#include "drawing/com/com_host.h"

#include "drawing/com/dispatch_client.h"
#include "drawing/com/failure_text.h"
#include "drawing/com/result_convert.h"

#include <memory>

namespace tvx::com {

namespace {

// A host reference from an object result; the empty reference stays an empty pointer.
template <class Adapter>
auto wrapResult(const char* operation, const UniqueVariant& result) {
    ComPtr<IDispatch> object = takeObject(operation, result.get());
    return object ? std::make_shared<Adapter>(std::move(object)) : nullptr;
}

class ComTextFormat final : public host::TextFormat {
public:
    explicit ComTextFormat(ComPtr<IDispatch> object) : d_(std::move(object)) {}

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
    explicit ComAnnotation(ComPtr<IDispatch> object) : d_(std::move(object)) {}

    std::wstring GetName() override { return takeString("GetName", d_.call("GetName").get()); }
    bool SetName(const std::wstring& name) override {
        return takeBool("SetName", d_.call("SetName", name).get());
    }
    bool Select2(bool append, std::int16_t mark) override {
        return takeBool("Select2", d_.call("Select2", append, mark).get());
    }
    host::TextFormatRef gettextformat(std::int16_t index) override {
        return wrapResult<ComTextFormat>("gettextformat", d_.call("gettextformat", index));
    }
    bool SetTextFormat(std::int16_t index, bool useDoc, const host::TextFormatRef& format) override {
        IDispatch* object = hostObjectOf("SetTextFormat", format);
        return takeBool("SetTextFormat", d_.call("SetTextFormat", index, useDoc, object).get());
    }

private:
    DispatchObject d_;
};

class ComSFSymbol final : public host::SFSymbol {
public:
    explicit ComSFSymbol(ComPtr<IDispatch> object) : d_(std::move(object)) {}

    host::SFSymbolRef GetNext() override { return wrapResult<ComSFSymbol>("GetNext", d_.call("GetNext")); }
    std::int32_t GetSymbolType() override { return takeInt32("GetSymbolType", d_.call("GetSymbolType").get()); }
    std::wstring GetText(std::int32_t which) override {
        return takeString("GetText", d_.call("GetText", which).get());
    }
    host::AnnotationRef GetAnnotation() override {
        return wrapResult<ComAnnotation>("GetAnnotation", d_.call("GetAnnotation"));
    }

private:
    DispatchObject d_;
};

class ComView final : public host::View {
public:
    explicit ComView(ComPtr<IDispatch> object) : d_(std::move(object)) {}

    host::SFSymbolRef GetFirstSFSymbol() override {
        return wrapResult<ComSFSymbol>("GetFirstSFSymbol", d_.call("GetFirstSFSymbol"));
    }
    host::ViewRef GetNextView() override { return wrapResult<ComView>("GetNextView", d_.call("GetNextView")); }

private:
    DispatchObject d_;
};

class ComSheet final : public host::Sheet {
public:
    explicit ComSheet(ComPtr<IDispatch> object) : d_(std::move(object)) {}

    std::wstring GetName() override { return takeString("GetName", d_.call("GetName").get()); }
    host::HostValue GetProperties() override {
        return takeHostValue("GetProperties", d_.call("GetProperties").get());
    }

private:
    DispatchObject d_;
};

class ComNote final : public host::Note {
public:
    explicit ComNote(ComPtr<IDispatch> object) : d_(std::move(object)) {}

    void setAngle(std::int16_t angle) override { d_.put("angle", arg(angle)); }
    bool SetBalloon(std::int16_t style, std::int16_t size) override {
        return takeBool("SetBalloon", d_.call("SetBalloon", style, size).get());
    }
    host::TextFormatRef gettextformat() override {
        return wrapResult<ComTextFormat>("gettextformat", d_.call("gettextformat"));
    }
    bool SetTextFormat(std::int16_t index, const host::TextFormatRef& format) override {
        IDispatch* object = hostObjectOf("SetTextFormat", format);
        return takeBool("SetTextFormat", d_.call("SetTextFormat", index, object).get());
    }
    host::AnnotationRef GetAnnotation() override {
        return wrapResult<ComAnnotation>("GetAnnotation", d_.call("GetAnnotation"));
    }

private:
    DispatchObject d_;
};

class ComExtension final : public host::Extension {
public:
    explicit ComExtension(ComPtr<IDispatch> object) : d_(std::move(object)) {}

    bool SelectByID(const std::wstring& name, const std::wstring& type, std::int16_t x, std::int16_t y,
                    std::int16_t z, bool append, std::int16_t mark, host::EmptyRef callout) override {
        return takeBool("SelectByID", d_.call("SelectByID", name, type, x, y, z, append, mark, callout).get());
    }

private:
    DispatchObject d_;
};

class ComDoc final : public host::Doc {
public:
    explicit ComDoc(ComPtr<IDispatch> object) : d_(std::move(object)) {}

    std::int32_t GetType() override { return takeInt32("GetType", d_.call("GetType").get()); }
    host::ViewRef GetFirstView() override { return wrapResult<ComView>("GetFirstView", d_.call("GetFirstView")); }
    host::SheetRef GetCurrentSheet() override {
        return wrapResult<ComSheet>("GetCurrentSheet", d_.call("GetCurrentSheet"));
    }
    host::ExtensionRef Extension() override { return wrapResult<ComExtension>("Extension", d_.get("Extension")); }
    bool SelectByID(const std::wstring& name, const std::wstring& type, double x, double y,
                    std::int16_t z) override {
        return takeBool("SelectByID", d_.call("SelectByID", name, type, x, y, z).get());
    }
    bool DeleteSelection(bool confirm) override {
        return takeBool("DeleteSelection", d_.call("DeleteSelection", confirm).get());
    }
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
        return wrapResult<ComNote>("InsertNote", d_.call("InsertNote", text));
    }
    // A Sub on some host versions, a Boolean on others: the answer means nothing here.
    void EditRebuild() override { d_.call("EditRebuild"); }

private:
    DispatchObject d_;
};

class ComApp final : public host::App {
public:
    explicit ComApp(ComPtr<IDispatch> object) : d_(std::move(object)) {}

    host::DocRef ActiveDoc() override { return wrapResult<ComDoc>("ActiveDoc", d_.get("ActiveDoc")); }
    bool GetUserPreferenceToggle(std::int32_t toggle) override {
        return takeBool("GetUserPreferenceToggle", d_.call("GetUserPreferenceToggle", toggle).get());
    }
    void SetUserPreferenceToggle(std::int32_t toggle, bool on) override {
        d_.call("SetUserPreferenceToggle", toggle, on);
    }

private:
    DispatchObject d_;
};

} // namespace

host::AppRef wrapApp(ComPtr<IDispatch> app) {
    return std::make_shared<ComApp>(std::move(app));
}

host::AppRef ComConnector::attach(const std::wstring& className) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(className.c_str(), &clsid);
    if (FAILED(hr)) {
        throw host::HostError("attach", "the class \"" + toUtf8(className) + "\" is not registered: " +
                                            describeHresult(hr));
    }
    ComPtr<IUnknown> running;
    hr = GetActiveObject(clsid, nullptr, running.put());
    if (FAILED(hr) || !running) {
        throw host::HostError("attach", "no running instance of \"" + toUtf8(className) + "\": " +
                                            describeHresult(hr));
    }
    auto app = running.query<IDispatch>();
    if (!app) {
        throw host::HostError("attach", "the running \"" + toUtf8(className) + "\" cannot be called by name");
    }
    return wrapApp(std::move(app));
}

} // namespace tvx::com
