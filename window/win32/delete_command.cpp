// Removing the selected streams (command 1101). Not wired yet.
#include "window/win32/main_window.h"

namespace tessalin {

void DeleteSelectedStreams(MainWindowState&) {}

}  // namespace tessalin
