// Copy Path, Copy Row, Open Containing Folder, Properties and the list's context
// menu, without a window: the clipboard text, the shell's arguments, the menu's
// items and states, and every text these commands show. The Win32 glue gathers
// the selection (selectedRecordIndices), talks to the clipboard and the shell,
// and shows what these functions return.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"
#include "engine/scan_types.h"
#include "window/command_ids.h"
#include "window/layout.h"
#include "frontend/message_box_style.h"

namespace tessalin {

inline constexpr std::u16string_view kClipboardFailedText = u"The clipboard could not be opened.";
// ShellExecuteExW's verb for the property sheet, and ShellExecuteW's for Explorer.
inline constexpr std::u16string_view kPropertiesVerb = u"properties";
inline constexpr std::u16string_view kOpenVerb = u"open";
inline constexpr std::u16string_view kExplorerFile = u"explorer.exe";

// One row as Copy Row writes it: the nine column texts as the list shows them
// (escaped), separated by tabs. Escaping keeps a tab or line break in a name from
// adding a column or a line.
std::u16string rowText(const streamscan::StreamRecord& record);

// The path Copy Path writes for one row: the stream's path for a stream row, the
// host path for an item row; escaped.
std::u16string copyPathText(const streamscan::StreamRecord& record,
                            streamscan::PathStyle style = streamscan::kNativePathStyle);

struct ClipboardText {
    std::u16string text;         // lines joined by "\r\n", none after the last
    std::uint64_t rowCount = 0;  // lines in the text
};

// The text Copy Path (wholeRow false) or Copy Row (true) puts on the clipboard
// for the selected record indices, top to bottom; indices beyond `records` are
// skipped. An empty text means there is nothing to copy and nothing to say.
ClipboardText clipboardText(const std::vector<streamscan::StreamRecord>& records,
                            const std::vector<std::uint64_t>& selectedRecordIndices, bool wholeRow,
                            streamscan::PathStyle style = streamscan::kNativePathStyle);

// "Copied N rows to the clipboard."
std::u16string copiedStatusText(std::uint64_t rowCount);

// The host item that Open Containing Folder and Properties act on: that of the
// topmost selected row, plain (not escaped). None when nothing is selected or the
// topmost row has no record; the rows below it are not tried.
std::optional<std::u16string> firstSelectedHostPath(
    const std::vector<streamscan::StreamRecord>& records,
    const std::vector<std::uint64_t>& selectedRecordIndices,
    streamscan::PathStyle style = streamscan::kNativePathStyle);

// Explorer's parameters: /select,"HOST" with no space in between.
std::u16string explorerSelectArgument(const std::u16string& hostPath);

BoxMessage explorerFailedMessage(const std::u16string& hostPath);
BoxMessage propertySheetFailedMessage(const std::u16string& hostPath);

struct ContextMenuItem {
    bool separator = false;
    int commandId = 0;         // 0 for a separator
    std::u16string_view text;  // empty for a separator
    bool enabled = false;      // added grayed (MF_GRAYED) when false
};

// The context menu's entries in order. Every command needs a selection; deleting
// also waits for the scan to end.
std::vector<ContextMenuItem> contextMenuItems(bool selectionExists, bool scanning);

struct ScreenPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// Where the menu opens. WM_CONTEXTMENU gives (-1, -1) when it was asked for from
// the keyboard: then a third of the way across the list, 40 px (at 96 dpi) below
// its top edge. Otherwise where the pointer is.
// `listRect` is the list view's window rectangle in screen coordinates.
ScreenPoint contextMenuPosition(int x, int y, const Rect& listRect, int dpi);

}  // namespace tessalin
