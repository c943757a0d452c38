// Choosing what to scan: the folder dialog, the file dialog and dropped items.
// Not wired yet: each road ends in startScan once it is built.
#include "window/win32/main_window.h"

namespace tessalin {

void chooseFolderAndScan(MainWindowState&) {}

void chooseFilesAndScan(MainWindowState&) {}

void scanDroppedItems(MainWindowState&, HDROP drop) {
    // Until drops are read, the drop's memory is still given back.
    if (drop != nullptr)
        DragFinish(drop);
}

}  // namespace tessalin
