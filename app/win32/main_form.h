// tvx_MainForm: the main dialog, in which the user chooses the main symbol's kind, method and
// roughness, with a preview of the kind.
#pragma once

#include "app/ui_port.h"
#include "app/win32/combo_choice_list.h"
#include "app/win32/dialog_layouts.h"
#include "app/win32/gdi_measurer.h"
#include "app/win32/picture_box.h"
#include "app/win32/win_handles.h"
#include "drawing/run_log.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tvx::win {

class Win32MainForm final : public MainForm {
public:
    // What the buttons and the window's close command run. A handler left empty does nothing,
    // except the close command, which then ends the event loop.
    struct Handlers {
        std::function<void()> cmd_Ok_Click;
        std::function<void()> cmd_Cancel_Click;
        std::function<void()> closeCommand;
    };

    // Creates the dialog, hidden, owned by `owner` (none when null). Preview bitmaps are looked
    // for in previewFolder.
    Win32MainForm(HINSTANCE instance, std::wstring previewFolder, HWND owner = nullptr);
    Win32MainForm(const Win32MainForm&) = delete;
    Win32MainForm& operator=(const Win32MainForm&) = delete;
    ~Win32MainForm() override;

    void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }
    // Opens centred on the monitor of `anchor` (the primary one when null), laid out for its DPI.
    // Made, it stands on its owner's.
    void centreOn(HWND anchor);
    HWND hwnd() const { return window_.get(); }

    // Topmost only when the dialog has no owner.
    void setAlwaysOnTop() override;
    void showModeless() override;
    void hide() override;
    std::wstring caption() const override;
    FormIcon icon() const override;
    ChoiceList& stdSFSSymbol() override { return symbol_; }
    ChoiceList& stdSFSRough() override { return rough_; }
    ChoiceList& stdSFSMet() override { return met_; }
    MeasuringSurface& txtCalc() override { return measurer_; }

    // An entry of stdSFSSymbol became selected: remember it and show its preview.
    void stdSFSSymbol_Click();
    // The kind's text was edited: back to the entry last selected.
    void stdSFSSymbol_Change();

    std::int32_t lastSymbolIndex() const { return lastSymbolIndex_; }
    // How long the dialog took to load its own pictures (title icons, design picture), for the log.
    std::chrono::microseconds picturesTook() const { return picturesTook_; }
    HBITMAP preview() const { return sfsPic_.bitmap(); }
    HWND control(int id) const { return GetDlgItem(window_.get(), id); }

private:
    template <typename Dialog>
    friend LRESULT CALLBACK dialogWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void createControls();
    HFONT fontFor(FontRole role) const;
    // The one relayout for another DPI (see LayOutFor).
    void layOutFor(int dpi, const RECT& frame);
    // The title bar's icons drawn for dpi, given to the window.
    void setTitleIcons(int dpi);
    void onCommand(int id, int code);
    void onActivate(bool active);
    void paint();
    LRESULT controlColour(HDC dc, HWND control, UINT message);

    HINSTANCE instance_;
    std::wstring previewFolder_;
    int dpi_ = USER_DEFAULT_SCREEN_DPI;
    UniqueFont dialogFont_;
    UniqueFont largeBoldFont_;
    UniqueBrush background_;
    UniqueBrush choiceBackground_;
    // The title bar's icons, for each DPI the dialog has stood at: kept until the dialog goes,
    // since a message may still show the one it was given.
    struct TitleIcons {
        int dpi;
        UniqueIcon big;
        UniqueIcon small;
    };
    std::vector<TitleIcons> titleIcons_;
    ComboChoiceList symbol_;
    ComboChoiceList rough_;
    ComboChoiceList met_;
    PictureBox sfsPic_;
    PictureBox txtCalcBox_;
    GdiMeasurer measurer_;
    std::int32_t lastSymbolIndex_ = 0;
    HWND savedFocus_ = nullptr;
    std::chrono::microseconds picturesTook_{0};
    Handlers handlers_;
    // Last: the window goes before everything its controls use.
    UniqueWindow window_;
};

// The making of the dialog, which took `took`, its pictures among it, into a start-up's split.
void splitMaking(StartSplit& split, const Win32MainForm& form, std::chrono::microseconds took);

} // namespace tvx::win
