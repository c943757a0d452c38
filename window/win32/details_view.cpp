// The details of one row, shown on a double-click. Not wired yet.
#include "window/win32/main_window.h"

namespace tessalin {

void showDetails(MainWindowState&, const streamscan::StreamRecord&) {}

}  // namespace tessalin
