// The scan's life on a worker thread: start, timer drain, end.
// Not wired yet: starting a scan, draining and ending it arrive with the scan lifecycle.
#include "window/win32/main_window.h"

namespace tessalin {

void startScan(MainWindowState&, const std::vector<std::u16string>&) {}

void onScanTimer(MainWindowState&) {}

void endScan(MainWindowState&, bool) {}

}  // namespace tessalin
