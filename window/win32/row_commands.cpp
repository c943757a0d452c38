// Copy Path, Copy Row, Open Containing Folder, Properties and the row context
// menu (commands 1102-1105). Not wired yet.
#include "window/win32/main_window.h"

namespace tessalin {

void copySelection(MainWindowState&, bool) {}

void openContainingFolder(MainWindowState&) {}

void showProperties(MainWindowState&) {}

void showRowContextMenu(MainWindowState&, int, int) {}

}  // namespace tessalin
