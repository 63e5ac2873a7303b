// The question a host may ask inside DeleteSelection(True) before it deletes: a modal window of
// its own, the frame disabled while it is up, nothing else read meanwhile (the stop file waits).
#pragma once

#include "tools/hostserver/dispatch_core.h"

#include <windows.h>

namespace tvx::hostserver {

inline constexpr wchar_t kDeletionQuestionTitle[] = L"L\u00f6schen best\u00e4tigen";

// True when the user answered "Ja". Traced before and after.
bool askBeforeDeleting(DispatchContext& context, HWND frame);

} // namespace tvx::hostserver
