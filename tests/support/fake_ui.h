// A recording stand-in for the two dialogs and the process end: it notes what was shown, hidden
// and raised (with the number of host calls made by then), and plays a user's choices.
#pragma once

#include "app/program.h"
#include "app/ui_port.h"
#include "layout/table_measurer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tvx::testing {

inline constexpr wchar_t kMainCaption[] = L"Oberflächen - Assisten";

struct UiEvent {
    std::string what;
    std::uint64_t hostCalls = 0;
};

struct UiLog {
    std::function<std::uint64_t()> hostCalls = [] { return std::uint64_t{0}; };
    std::vector<UiEvent> events;

    void add(std::string what) { events.push_back({std::move(what), hostCalls()}); }
    std::vector<std::string> names() const;
    // Host calls made before the first event of that name; -1 when there was none.
    std::int64_t callsBefore(const std::string& what) const;
};

class FakeChoiceList final : public ChoiceList {
public:
    FakeChoiceList(std::string name, UiLog& log) : name_(std::move(name)), log_(log) {}

    void clear() override;
    void addItem(const std::wstring& text) override { items.push_back(text); }
    void setListIndex(std::int16_t index) override; // logs "<name>_Click", as the box's handler runs
    std::int32_t listIndex() const override { return index_; }
    void setText(const std::wstring& text) override { text_ = text; }
    std::wstring text() const override { return text_; }

    std::vector<std::wstring> items;

private:
    std::string name_;
    UiLog& log_;
    std::int32_t index_ = -1;
    std::wstring text_ = L"-";
};

class FakeMainForm final : public MainForm {
public:
    explicit FakeMainForm(UiLog& log);

    void setAlwaysOnTop() override;
    void showModeless() override;
    void hide() override;
    std::wstring caption() const override { return kMainCaption; }
    FormIcon icon() const override { return FormIcon{&iconTag_}; }
    ChoiceList& stdSFSSymbol() override { return kind; }
    ChoiceList& stdSFSRough() override { return rough; }
    ChoiceList& stdSFSMet() override { return method; }
    MeasuringSurface& txtCalc() override { return measurer; }

    FakeChoiceList kind;
    FakeChoiceList rough;
    FakeChoiceList method;
    TableMeasurer measurer = bracketExampleMeasurer();
    bool visible = false;
    bool topmost = false;

private:
    UiLog& log_;
    int iconTag_ = 0;
};

class FakeMessageDialog final : public MessageDialog {
public:
    struct Shown {
        std::wstring text;
        std::wstring title;
        FormIcon icon;
        bool mainFormVisible = false;
    };

    FakeMessageDialog(UiLog& log, const FakeMainForm& form) : log_(log), form_(form) {}
    void Raise(const std::wstring& errText, const std::wstring& errTitle, FormIcon formIcon) override;

    std::vector<Shown> shown;
    // What happens while the message is up, before the user confirms it (the host answering
    // again, say). Empty: nothing.
    std::function<void()> whileShown;

private:
    UiLog& log_;
    const FakeMainForm& form_;
};

class TestTerminator final : public Terminator {
public:
    explicit TestTerminator(UiLog& log) : log_(log) {}
    [[noreturn]] void endProcess(RunEnd how) override;

    int ended = 0;
    RunEnd how = RunEnd::Done; // as the last end gave it

private:
    UiLog& log_;
};

struct UserChoice {
    std::int16_t kind = 1;
    std::wstring method;
    std::wstring roughness;
};

// The kind picked from its list, method and roughness typed (or picked: the box shows the text
// either way).
void playChoice(FakeMainForm& form, const UserChoice& choice);

} // namespace tvx::testing
