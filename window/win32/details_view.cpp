// The details of one row, shown on a double-click in an information box. The
// text comes from details_text.
#include <new>

#include "window/details_text.h"
#include "window/win32/main_window.h"

namespace tessalin {

void showDetails(MainWindowState& state, const streamscan::StreamRecord& record) {
    try {
        // The record's paths are in the style of the file system it came from.
        showMessageBox(state, detailsMessage(record, state.fileSystem->pathStyle()));
    } catch (const std::bad_alloc&) {
        // Without memory for the text there is nothing to show; the list is unchanged.
    }
}

}  // namespace tessalin
