// What the start-up, OK and ending sequences need of the two dialogs and of the process.
// The Win32 program implements it with the real dialogs; native tests use a recording fake.
#pragma once

#include "layout/measuring_surface.h"

#include <cstdint>
#include <string>

namespace tvx {

// An editable drop-down list of the main dialog.
class ChoiceList {
public:
    virtual ~ChoiceList() = default;
    virtual void clear() = 0;
    virtual void addItem(const std::wstring& text) = 0;
    // Selecting by program runs the box's click handler as a user's choice would.
    // An index outside the list throws.
    virtual void setListIndex(std::int16_t index) = 0;
    virtual std::int32_t listIndex() const = 0;
    virtual void setText(const std::wstring& text) = 0;
    virtual std::wstring text() const = 0;
};

// The main dialog's icon, passed through to the message dialog; opaque to the sequences.
struct FormIcon {
    const void* handle = nullptr;
};

// tvx_MainForm as the sequences see it.
class MainForm {
public:
    virtual ~MainForm() = default;
    virtual void setAlwaysOnTop() = 0;
    virtual void showModeless() = 0;
    virtual void hide() = 0;
    virtual std::wstring caption() const = 0;
    virtual FormIcon icon() const = 0;
    virtual ChoiceList& stdSFSSymbol() = 0;
    virtual ChoiceList& stdSFSRough() = 0;
    virtual ChoiceList& stdSFSMet() = 0;
    virtual MeasuringSurface& txtCalc() = 0;
};

// GEF, the message dialog.
class MessageDialog {
public:
    virtual ~MessageDialog() = default;
    // Modal; returns once the user has dismissed the message (Ok or the close command).
    virtual void Raise(const std::wstring& errText, const std::wstring& errTitle, FormIcon formIcon) = 0;
};

// How a run ended, for whoever started the program: its exit code. A script or a command of the
// host's can tell a placed indication or Abbruch from the rest.
enum class RunEnd : int {
    Done = 0,       // Ok placed the indication, or Abbruch, or the dialog closed
    Message = 1,    // the run showed one of its messages
    HostGone = 2,   // the host no longer answered, was busy past the bound, or had gone
    Unexpected = 3, // a failure nothing of the run words itself
};

// Ends the process at once. Never returns; tests inject one that unwinds to the test instead.
class Terminator {
public:
    virtual ~Terminator() = default;
    [[noreturn]] virtual void endProcess(RunEnd how) = 0;
};

} // namespace tvx
