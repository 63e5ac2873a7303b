// Window classes and control IDs of the two dialogs and the add-in's notice. The GUI driver and
// the tests address the controls through these, so the numbers are part of the program's outside
// and must stay stable.
// Nothing may use 1 or 2: the dialog manager sends those for Enter and Escape.
#pragma once

#include <array>
#include <string_view>

namespace tvx::ids {

inline constexpr wchar_t kMainFormClass[] = L"tvx_MainForm";
inline constexpr wchar_t kMessageDialogClass[] = L"GEF";
inline constexpr wchar_t kPictureBoxClass[] = L"tvx_PictureBox";
// The add-in's notice that a saved drawing's general indication is out of date.
inline constexpr wchar_t kStaleNoticeClass[] = L"tvx_StaleNotice";

// tvx_MainForm
inline constexpr int stdSFSSymbol = 101;
inline constexpr int stdSFSRough = 102;
inline constexpr int cmd_Ok = 103;
inline constexpr int cmd_Cancel = 104;
inline constexpr int sfsPic = 105;
inline constexpr int txtCalc = 106;
inline constexpr int Label1 = 107;
inline constexpr int Label2 = 108;
inline constexpr int stdSFSMet = 109;
inline constexpr int Label3 = 110;
inline constexpr int Label4 = 111;

// GEF
inline constexpr int Info = 201;
inline constexpr int Ok = 202;
inline constexpr int Picture1 = 203;

// tvx_StaleNotice
inline constexpr int lblStale = 301;
inline constexpr int cmd_Update = 302;
inline constexpr int cmd_Close = 303;

// Fault injection for the tests: the main dialog's window procedure fails on this message (WM_APP +
// 0x100) as a control's handler can fail, so that a test drives the guarded route from outside.
inline constexpr unsigned kFailureProbe = 0x8000 + 0x100;

struct NamedControl {
    std::wstring_view name;
    int id;
};

// Every control by its name, for tools that take names on their command line.
inline constexpr std::array<NamedControl, 17> kControlNames{{
    {L"stdSFSSymbol", stdSFSSymbol}, {L"stdSFSRough", stdSFSRough}, {L"cmd_Ok", cmd_Ok},
    {L"cmd_Cancel", cmd_Cancel},     {L"sfsPic", sfsPic},           {L"txtCalc", txtCalc},
    {L"Label1", Label1},             {L"Label2", Label2},           {L"stdSFSMet", stdSFSMet},
    {L"Label3", Label3},             {L"Label4", Label4},           {L"Info", Info},
    {L"Ok", Ok},                     {L"Picture1", Picture1},       {L"lblStale", lblStale},
    {L"cmd_Update", cmd_Update},     {L"cmd_Close", cmd_Close},
}};

} // namespace tvx::ids
