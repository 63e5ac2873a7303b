// The two dialogs' fixed layouts, in twips from the top-left corner of the client area. Each
// table is in tab order, which is also the order the controls are created in: the dialog
// manager's Tab key follows creation order.
#pragma once

#include "app/win32/control_ids.h"
#include "app/win32/geometry.h"

#include <windows.h>

#include <array>

namespace tvx::win {

enum class ControlKind { label, comboBox, pictureBox, button };
enum class FontRole { dialog, largeBold };

struct ControlLayout {
    int id;
    ControlKind kind;
    const wchar_t* text;
    TwipsRect twips;
    FontRole font = FontRole::dialog;
    bool visible = true;
};

struct LineLayout {
    POINT from;
    POINT to;
};

// tvx_MainForm
inline constexpr wchar_t kMainFormCaption[] = L"Oberflächen - Assisten";
inline constexpr SIZE kMainFormClient{4155, 2565};
inline constexpr COLORREF kMainFormBackground = RGB(160, 160, 176);
inline constexpr COLORREF kChoiceBackground = RGB(180, 226, 219);
inline constexpr COLORREF kLabel4Text = RGB(179, 179, 179);
inline constexpr COLORREF kMainLineColour = RGB(0, 0, 0);
inline constexpr LineLayout kMainFormLine{{120, 1800}, {3960, 1800}};

inline constexpr std::array<ControlLayout, 11> kMainFormControls{{
    {ids::stdSFSSymbol, ControlKind::comboBox, L"-", {120, 360, 2175, 420}, FontRole::largeBold},
    {ids::stdSFSRough, ControlKind::comboBox, L"-", {3000, 360, 975, 420}, FontRole::largeBold},
    {ids::cmd_Ok, ControlKind::button, L"Ok", {3120, 2040, 855, 375}},
    {ids::cmd_Cancel, ControlKind::button, L"Abbruch", {120, 2040, 975, 375}},
    {ids::sfsPic, ControlKind::pictureBox, nullptr, {2400, 360, 400, 400}},
    {ids::txtCalc, ControlKind::pictureBox, nullptr, {1920, 2040, 375, 255}, FontRole::dialog, false},
    {ids::Label1, ControlKind::label, L"Symbol", {120, 120, 615, 255}},
    {ids::Label2, ControlKind::label, L"Methode", {120, 960, 855, 255}},
    {ids::stdSFSMet, ControlKind::comboBox, L"-", {120, 1200, 2175, 315}},
    {ids::Label3, ControlKind::label, L"max. Rauheit", {3000, 120, 1095, 255}},
    {ids::Label4, ControlKind::label, L"V1.2 / Zyr", {3000, 1320, 975, 255}},
}};

// GEF
inline constexpr wchar_t kMessageDialogCaption[] = L"-";
inline constexpr SIZE kMessageDialogClient{3615, 1305};
inline constexpr LineLayout kMessageDialogLine{{120, 720}, {3480, 720}};

inline constexpr std::array<ControlLayout, 3> kMessageDialogControls{{
    {ids::Info, ControlKind::label, L"-", {735, 150, 2760, 495}},
    {ids::Ok, ControlKind::button, L"Ok", {2640, 840, 855, 375}},
    {ids::Picture1, ControlKind::pictureBox, nullptr, {120, 120, 495, 495}},
}};

// Both dialogs: an ordinary resizable window with window menu, minimise and maximise boxes,
// listed in the taskbar.
inline constexpr DWORD kDialogStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
inline constexpr DWORD kDialogExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

} // namespace tvx::win
