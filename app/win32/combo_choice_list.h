// A drop-down combo box as the sequences' ChoiceList.
#pragma once

#include "app/ui_port.h"

#include <windows.h>

#include <functional>

namespace tvx::win {

class ComboChoiceList final : public ChoiceList {
public:
    ComboChoiceList() = default;
    void attach(HWND combo) { combo_ = combo; }
    HWND hwnd() const { return combo_; }

    // What runs when an entry becomes selected, by the user or by setListIndex.
    void onSelect(std::function<void()> handler) { onSelect_ = std::move(handler); }
    // True while the program itself changes the box, whose own edit notifications are then
    // no user's edits.
    bool changingByProgram() const { return changingByProgram_; }

    void clear() override;
    void addItem(const std::wstring& text) override;
    // Win32 does not notify on CB_SETCURSEL, so the select handler is called here.
    void setListIndex(std::int16_t index) override;
    std::int32_t listIndex() const override;
    // Selects the entry equal to the text, if any; the text stays as given either way.
    void setText(const std::wstring& text) override;
    std::wstring text() const override;

    std::int32_t count() const;

private:
    std::int32_t exactEntry(const std::wstring& text) const;
    std::wstring entryText(std::int32_t index) const;

    class ProgramChange;

    HWND combo_ = nullptr;
    std::function<void()> onSelect_;
    bool changingByProgram_ = false;
};

} // namespace tvx::win
