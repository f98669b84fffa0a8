#pragma once
// The Qt presenter of message boxes (UI library).

namespace platform {

// From now on MessageBox shows a QMessageBox (unless a test installed its own
// presenter). Called by the application start-up when a display exists; a box asked for
// on another thread is shown on the UI thread while the caller waits for the answer.
void installQtMessageBoxPresenter();

} // namespace platform
