#include "window/row_commands.h"

#include "engine/display_escape.h"
#include "engine/path_forms.h"
#include "engine/value_text.h"
#include "frontend/column_text.h"

namespace tessalin {
namespace {

using streamscan::StreamRecord;

int clampToInt(std::int64_t value) {
    constexpr std::int64_t kMin = -2147483647 - 1;
    constexpr std::int64_t kMax = 2147483647;
    return static_cast<int>(value < kMin ? kMin : value > kMax ? kMax : value);
}

}  // namespace

std::u16string rowText(const StreamRecord& record) {
    std::u16string text;
    for (int column = 0; column < kColumnCount; ++column) {
        if (column > 0)
            text += u'\t';
        text += streamscan::escapeForDisplay(columnText(record, column));
    }
    return text;
}

std::u16string copyPathText(const StreamRecord& record, streamscan::PathStyle style) {
    return streamscan::escapeForDisplay(record.streamName.empty()
                                            ? streamscan::hostPathOf(record, style)
                                            : streamscan::recordStreamPath(record, style));
}

ClipboardText clipboardText(const std::vector<StreamRecord>& records,
                            const std::vector<std::uint64_t>& selectedRecordIndices, bool wholeRow,
                            streamscan::PathStyle style) {
    ClipboardText out;
    for (const std::uint64_t index : selectedRecordIndices) {
        if (index >= records.size())
            continue;
        const StreamRecord& record = records[static_cast<std::size_t>(index)];
        if (!out.text.empty())
            out.text += u"\r\n";
        out.text += wholeRow ? rowText(record) : copyPathText(record, style);
        // Counted as copied, so the status line never claims a row that is not there.
        ++out.rowCount;
    }
    return out;
}

std::u16string copiedStatusText(std::uint64_t rowCount) {
    return u"Copied " + streamscan::countPhrase(rowCount, u"row", u"rows") + u" to the clipboard.";
}

std::optional<std::u16string> firstSelectedHostPath(
    const std::vector<StreamRecord>& records,
    const std::vector<std::uint64_t>& selectedRecordIndices, streamscan::PathStyle style) {
    if (selectedRecordIndices.empty())
        return std::nullopt;
    const std::uint64_t index = selectedRecordIndices.front();
    if (index >= records.size())
        return std::nullopt;
    return streamscan::hostPathOf(records[static_cast<std::size_t>(index)], style);
}

std::u16string explorerSelectArgument(const std::u16string& hostPath) {
    return u"/select,\"" + hostPath + u"\"";
}

BoxMessage explorerFailedMessage(const std::u16string& hostPath) {
    return {u"Explorer could not be opened for:\n" + streamscan::escapeForDisplay(hostPath),
            kWarningBox};
}

BoxMessage propertySheetFailedMessage(const std::u16string& hostPath) {
    return {
        u"The property sheet could not be opened for:\n" + streamscan::escapeForDisplay(hostPath),
        kWarningBox};
}

std::vector<ContextMenuItem> contextMenuItems(bool selectionExists, bool scanning) {
    const auto item = [](CommandId command, std::u16string_view text, bool enabled) {
        return ContextMenuItem{false, static_cast<int>(command), text, enabled};
    };
    const ContextMenuItem separator{true, 0, {}, false};
    return {
        item(kCmdDeleteStreams, u"Delete Selected Streams...", selectionExists && !scanning),
        item(kCmdSaveStreams, u"Save Streams To...", selectionExists && !scanning),
        separator,
        item(kCmdCopyPath, u"Copy Path", selectionExists),
        item(kCmdCopyRow, u"Copy Row", selectionExists),
        separator,
        item(kCmdOpenContainingFolder, u"Open Containing Folder", selectionExists),
        item(kCmdProperties, u"Properties", selectionExists),
    };
}

ScreenPoint contextMenuPosition(int x, int y, const Rect& listRect, int dpi) {
    if (x != -1 || y != -1)
        return {x, y};
    const std::int64_t width = static_cast<std::int64_t>(listRect.right) - listRect.left;
    return {clampToInt(listRect.left + width / 3),
            clampToInt(static_cast<std::int64_t>(listRect.top) + scaled(40, dpi))};
}

}  // namespace tessalin
