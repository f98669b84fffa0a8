#pragma once
// IDOK and IDCANCEL sent to a dialog as WM_COMMAND (by another window, or a test) act as
// its OK and Cancel buttons.

#include <platform/MessageBox.h>
#include <platform/Windows.h>

#include <QDialog>

namespace host::ui {

// True when the message was one of the two commands and the dialog has acted on it.
inline bool answerDialogCommand(QDialog& dialog, UINT message, WPARAM wParam)
{
    if (message != WM_COMMAND) {
        return false;
    }
    if (LOWORD(wParam) == IDOK) {
        dialog.accept();
        return true;
    }
    if (LOWORD(wParam) == IDCANCEL) {
        dialog.reject();
        return true;
    }
    return false;
}

} // namespace host::ui
