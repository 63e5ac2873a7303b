#include "tools/hostserver/deletion_question.h"

namespace tvx::hostserver {

bool askBeforeDeleting(DispatchContext& context, HWND frame) {
    const ModalState modal(context);
    context.trace(std::string("-- DeleteSelection asks \"L\xc3\xb6schen best\xc3\xa4tigen\"") +
                  (frame != nullptr ? "; the frame is disabled --" : " --"));
    // A message box owned by the frame disables it for as long as it is up.
    const int answer = MessageBoxW(frame, L"Die Auswahl l\u00f6schen?", kDeletionQuestionTitle,
                                   MB_YESNO | MB_ICONQUESTION | (frame == nullptr ? MB_SETFOREGROUND : 0));
    context.trace(answer == IDYES ? "-- the user answered Ja --" : "-- the user answered Nein --");
    return answer == IDYES;
}

} // namespace tvx::hostserver
