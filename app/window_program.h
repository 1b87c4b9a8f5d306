#pragma once
// The window program from start-up to its exit code: build the window, run
// the created handler, then the event loop until the window has closed.

#include "app/extraction_session.h"
#include "app/ui_dialogs.h"

namespace quillmere::app {

inline constexpr int kExitClosed = 0;

// Needs the QApplication to exist. Returns kExitClosed once the window has
// closed (after a running extraction has saved its rows), also when SIGTERM
// or SIGHUP closed it. When the signals cannot be taken over, a warning box
// says so before the window is used.
int RunWindowProgram(UiDialogs& dialogs, SessionServices services);

}  // namespace quillmere::app
