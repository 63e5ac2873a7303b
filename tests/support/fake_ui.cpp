#include "tests/support/fake_ui.h"

#include <stdexcept>

namespace tvx::testing {

std::vector<std::string> UiLog::names() const {
    std::vector<std::string> out;
    for (const UiEvent& e : events) {
        out.push_back(e.what);
    }
    return out;
}

std::int64_t UiLog::callsBefore(const std::string& what) const {
    for (const UiEvent& e : events) {
        if (e.what == what) {
            return static_cast<std::int64_t>(e.hostCalls);
        }
    }
    return -1;
}

void FakeChoiceList::clear() {
    items.clear();
    index_ = -1;
    text_.clear();
}

void FakeChoiceList::setListIndex(std::int16_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
        throw std::out_of_range("list index outside the list");
    }
    index_ = index;
    text_ = items[static_cast<std::size_t>(index)];
    log_.add(name_ + "_Click");
}

FakeMainForm::FakeMainForm(UiLog& log)
    : kind("stdSFSSymbol", log), rough("stdSFSRough", log), method("stdSFSMet", log), log_(log) {}

void FakeMainForm::setAlwaysOnTop() {
    topmost = true;
    log_.add("setAlwaysOnTop");
}

void FakeMainForm::showModeless() {
    visible = true;
    log_.add("show");
}

void FakeMainForm::hide() {
    visible = false;
    log_.add("hide");
}

void FakeMessageDialog::Raise(const std::wstring& errText, const std::wstring& errTitle,
                              FormIcon formIcon) {
    shown.push_back({errText, errTitle, formIcon, form_.visible});
    log_.add("Raise");
    if (whileShown) {
        whileShown();
    }
}

void TestTerminator::endProcess(RunEnd end) {
    ++ended;
    how = end;
    log_.add("end");
    throw RunEnded{};
}

void playChoice(FakeMainForm& form, const UserChoice& choice) {
    form.kind.setListIndex(choice.kind);
    form.method.setText(choice.method);
    form.rough.setText(choice.roughness);
}

} // namespace tvx::testing
