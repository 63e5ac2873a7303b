#include "timing_host.h"

#include <utility>

namespace tvx::bench {
namespace {

using Clock = std::chrono::steady_clock;

template <class Call>
auto timed(HostClock& clock, Call&& call) -> decltype(call()) {
    struct Add {
        HostClock& clock;
        Clock::time_point start;
        ~Add() {
            clock.inHost += Clock::now() - start;
            ++clock.calls;
        }
    } add{clock, Clock::now()};
    return call();
}

template <class Wrapper, class Inner>
std::shared_ptr<Wrapper> wrap(std::shared_ptr<Inner> inner, HostClock& clock) {
    return inner ? std::make_shared<Wrapper>(std::move(inner), clock) : nullptr;
}

class TimedTextFormat final : public host::TextFormat {
public:
    TimedTextFormat(host::TextFormatRef wrapped, HostClock& clock)
        : inner(std::move(wrapped)), c(clock) {}
    void setTypeFaceName(const std::wstring& n) override { timed(c, [&] { inner->setTypeFaceName(n); }); }
    void setCharHeight(double m) override { timed(c, [&] { inner->setCharHeight(m); }); }
    void setCharHeightInPts(std::int32_t p) override { timed(c, [&] { inner->setCharHeightInPts(p); }); }
    void setBold(bool b) override { timed(c, [&] { inner->setBold(b); }); }
    host::TextFormatRef inner;

private:
    HostClock& c;
};

host::TextFormatRef unwrap(const host::TextFormatRef& format) {
    const auto* timedFormat = dynamic_cast<const TimedTextFormat*>(format.get());
    return timedFormat != nullptr ? timedFormat->inner : format;
}

class TimedAnnotation final : public host::Annotation {
public:
    TimedAnnotation(host::AnnotationRef inner, HostClock& clock) : in(std::move(inner)), c(clock) {}
    std::wstring GetName() override { return timed(c, [&] { return in->GetName(); }); }
    bool SetName(const std::wstring& n) override { return timed(c, [&] { return in->SetName(n); }); }
    bool Select2(bool a, std::int16_t m) override { return timed(c, [&] { return in->Select2(a, m); }); }
    host::TextFormatRef gettextformat(std::int16_t i) override {
        return wrap<TimedTextFormat>(timed(c, [&] { return in->gettextformat(i); }), c);
    }
    bool SetTextFormat(std::int16_t i, bool useDoc, const host::TextFormatRef& f) override {
        const host::TextFormatRef inner = unwrap(f);
        return timed(c, [&] { return in->SetTextFormat(i, useDoc, inner); });
    }

private:
    host::AnnotationRef in;
    HostClock& c;
};

class TimedSymbol final : public host::SFSymbol {
public:
    TimedSymbol(host::SFSymbolRef inner, HostClock& clock) : in(std::move(inner)), c(clock) {}
    host::SFSymbolRef GetNext() override {
        return wrap<TimedSymbol>(timed(c, [&] { return in->GetNext(); }), c);
    }
    std::int32_t GetSymbolType() override { return timed(c, [&] { return in->GetSymbolType(); }); }
    std::wstring GetText(std::int32_t w) override { return timed(c, [&] { return in->GetText(w); }); }
    host::AnnotationRef GetAnnotation() override {
        return wrap<TimedAnnotation>(timed(c, [&] { return in->GetAnnotation(); }), c);
    }

private:
    host::SFSymbolRef in;
    HostClock& c;
};

class TimedView final : public host::View {
public:
    TimedView(host::ViewRef inner, HostClock& clock) : in(std::move(inner)), c(clock) {}
    host::SFSymbolRef GetFirstSFSymbol() override {
        return wrap<TimedSymbol>(timed(c, [&] { return in->GetFirstSFSymbol(); }), c);
    }
    host::ViewRef GetNextView() override {
        return wrap<TimedView>(timed(c, [&] { return in->GetNextView(); }), c);
    }
    host::NoteRef GetFirstNote() override;

private:
    host::ViewRef in;
    HostClock& c;
};

class TimedSheet final : public host::Sheet {
public:
    TimedSheet(host::SheetRef inner, HostClock& clock) : in(std::move(inner)), c(clock) {}
    std::wstring GetName() override { return timed(c, [&] { return in->GetName(); }); }
    host::HostValue GetProperties() override { return timed(c, [&] { return in->GetProperties(); }); }

private:
    host::SheetRef in;
    HostClock& c;
};

class TimedNote final : public host::Note {
public:
    TimedNote(host::NoteRef inner, HostClock& clock) : in(std::move(inner)), c(clock) {}
    void setAngle(std::int16_t a) override { timed(c, [&] { in->setAngle(a); }); }
    bool SetBalloon(std::int16_t s, std::int16_t z) override {
        return timed(c, [&] { return in->SetBalloon(s, z); });
    }
    host::TextFormatRef gettextformat() override {
        return wrap<TimedTextFormat>(timed(c, [&] { return in->gettextformat(); }), c);
    }
    bool SetTextFormat(std::int16_t i, const host::TextFormatRef& f) override {
        const host::TextFormatRef inner = unwrap(f);
        return timed(c, [&] { return in->SetTextFormat(i, inner); });
    }
    host::AnnotationRef GetAnnotation() override {
        return wrap<TimedAnnotation>(timed(c, [&] { return in->GetAnnotation(); }), c);
    }
    host::NoteRef GetNext() override { return wrap<TimedNote>(timed(c, [&] { return in->GetNext(); }), c); }

private:
    host::NoteRef in;
    HostClock& c;
};

host::NoteRef TimedView::GetFirstNote() {
    return wrap<TimedNote>(timed(c, [&] { return in->GetFirstNote(); }), c);
}

class TimedExtension final : public host::Extension {
public:
    TimedExtension(host::ExtensionRef inner, HostClock& clock) : in(std::move(inner)), c(clock) {}
    bool SelectByID(const std::wstring& n, const std::wstring& t, std::int16_t x, std::int16_t y,
                    std::int16_t z, bool a, std::int16_t m, host::EmptyRef e) override {
        return timed(c, [&] { return in->SelectByID(n, t, x, y, z, a, m, e); });
    }
    void StartRecordingUndoObject() override { timed(c, [&] { in->StartRecordingUndoObject(); }); }
    bool FinishRecordingUndoObject2(const std::wstring& n, bool h) override {
        return timed(c, [&] { return in->FinishRecordingUndoObject2(n, h); });
    }
    bool FinishRecordingUndoObject(const std::wstring& n) override {
        return timed(c, [&] { return in->FinishRecordingUndoObject(n); });
    }

private:
    host::ExtensionRef in;
    HostClock& c;
};

class TimedDoc final : public host::Doc {
public:
    TimedDoc(host::DocRef inner, HostClock& clock) : in(std::move(inner)), c(clock) {}
    std::int32_t GetType() override { return timed(c, [&] { return in->GetType(); }); }
    host::ViewRef GetFirstView() override {
        return wrap<TimedView>(timed(c, [&] { return in->GetFirstView(); }), c);
    }
    host::SheetRef GetCurrentSheet() override {
        return wrap<TimedSheet>(timed(c, [&] { return in->GetCurrentSheet(); }), c);
    }
    std::wstring GetTitle() override { return timed(c, [&] { return in->GetTitle(); }); }
    host::ExtensionRef Extension() override {
        return wrap<TimedExtension>(timed(c, [&] { return in->Extension(); }), c);
    }
    bool SelectByID(const std::wstring& n, const std::wstring& t, double x, double y,
                    std::int16_t z) override {
        return timed(c, [&] { return in->SelectByID(n, t, x, y, z); });
    }
    bool DeleteSelection(bool f) override { return timed(c, [&] { return in->DeleteSelection(f); }); }
    void ClearSelection2(bool all) override { timed(c, [&] { in->ClearSelection2(all); }); }
    bool ActivateSheet(const std::wstring& n) override {
        return timed(c, [&] { return in->ActivateSheet(n); });
    }
    bool InsertSurfaceFinishSymbol2(const host::SurfaceFinishArgs& a) override {
        return timed(c, [&] { return in->InsertSurfaceFinishSymbol2(a); });
    }
    host::NoteRef InsertNote(const std::wstring& t) override {
        return wrap<TimedNote>(timed(c, [&] { return in->InsertNote(t); }), c);
    }
    void EditRebuild() override { timed(c, [&] { in->EditRebuild(); }); }

private:
    host::DocRef in;
    HostClock& c;
};

class TimedApp final : public host::App {
public:
    TimedApp(host::AppRef inner, HostClock& clock) : in(std::move(inner)), c(clock) {}
    host::DocRef ActiveDoc() override {
        return wrap<TimedDoc>(timed(c, [&] { return in->ActiveDoc(); }), c);
    }
    bool GetUserPreferenceToggle(std::int32_t t) override {
        return timed(c, [&] { return in->GetUserPreferenceToggle(t); });
    }
    void SetUserPreferenceToggle(std::int32_t t, bool on) override {
        timed(c, [&] { in->SetUserPreferenceToggle(t, on); });
    }
    void GetRunningCommandInfo(std::int32_t& id, std::wstring& title, bool& active) override {
        timed(c, [&] { in->GetRunningCommandInfo(id, title, active); });
    }

private:
    host::AppRef in;
    HostClock& c;
};

class TimedConnector final : public host::Connector {
public:
    TimedConnector(host::Connector& inner, HostClock& clock) : in(inner), c(clock) {}
    host::AppRef attach(const std::wstring& name) override {
        return wrap<TimedApp>(timed(c, [&] { return in.attach(name); }), c);
    }

private:
    host::Connector& in;
    HostClock& c;
};

} // namespace

std::chrono::nanoseconds emptyCallTime() {
    constexpr int kRounds = 1000000;
    HostClock clock;
    for (int i = 0; i < kRounds; ++i) {
        timed(clock, [] {});
    }
    return clock.inHost / kRounds;
}

std::unique_ptr<host::Connector> timingConnector(host::Connector& inner, HostClock& clock) {
    return std::make_unique<TimedConnector>(inner, clock);
}

} // namespace tvx::bench
