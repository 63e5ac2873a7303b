#include "app/win32/combo_choice_list.h"

#include "drawing/symbol_register.h"

#include <stdexcept>
#include <string>

namespace tvx::win {

class ComboChoiceList::ProgramChange {
public:
    explicit ProgramChange(ComboChoiceList& list) : list_(list), outer_(list.changingByProgram_) {
        list_.changingByProgram_ = true;
    }
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;
    ~ProgramChange() { list_.changingByProgram_ = outer_; }

private:
    ComboChoiceList& list_;
    bool outer_;
};

void ComboChoiceList::clear() {
    const ProgramChange change(*this);
    SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
}

void ComboChoiceList::addItem(const std::wstring& text) {
    const LRESULT result = SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (result == CB_ERR || result == CB_ERRSPACE) {
        throw std::runtime_error("the list takes no further entry");
    }
}

void ComboChoiceList::setListIndex(std::int16_t index) {
    // Also -1: a kind the list does not offer must not pass as "no kind chosen".
    if (index < 0 || index >= count()) {
        throw IndexError("list index " + std::to_string(index) + " outside the list of " +
                         std::to_string(count()) + " entries");
    }
    {
        const ProgramChange change(*this);
        SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    if (onSelect_) {
        onSelect_();
    }
}

std::int32_t ComboChoiceList::listIndex() const {
    return static_cast<std::int32_t>(SendMessageW(combo_, CB_GETCURSEL, 0, 0));
}

std::int32_t ComboChoiceList::count() const {
    return static_cast<std::int32_t>(SendMessageW(combo_, CB_GETCOUNT, 0, 0));
}

void ComboChoiceList::setText(const std::wstring& text) {
    const ProgramChange change(*this);
    // A text that is an entry is also the list's selection, so the arrow keys move on from it.
    SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(exactEntry(text)), 0);
    SetWindowTextW(combo_, text.c_str());
}

// The box's own search (CB_FINDSTRINGEXACT) ignores case, and selecting shows the entry's
// spelling instead of the text set; under Wine it also finds no empty entry. So the entries are
// compared letter for letter; the lists hold a handful.
std::int32_t ComboChoiceList::exactEntry(const std::wstring& text) const {
    for (std::int32_t i = 0; i < count(); ++i) {
        if (entryText(i) == text) {
            return i;
        }
    }
    return -1;
}

std::wstring ComboChoiceList::entryText(std::int32_t index) const {
    const LRESULT length = SendMessageW(combo_, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) {
        return {};
    }
    std::wstring entry(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(combo_, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(entry.data()));
    entry.resize(copied == CB_ERR ? 0 : static_cast<std::size_t>(copied));
    return entry;
}

std::wstring ComboChoiceList::text() const {
    const int length = GetWindowTextLengthW(combo_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(combo_, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

} // namespace tvx::win
