// Exporting the list as a CSV report (command 1005). Not wired yet.
#include "window/win32/main_window.h"

namespace tessalin {

void exportList(MainWindowState&) {}

}  // namespace tessalin
