// The export command without a window: its default file name, the rows it
// writes, and every text it shows. The Win32 glue runs the save dialog (whose
// own title and filter live with it) and writeCsvReport, and shows what these
// functions return.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/platform_text.h"
#include "engine/scan_types.h"
#include "frontend/message_box_style.h"

namespace tessalin {

inline constexpr std::u16string_view kNothingToExportText =
    u"There is nothing to export: the list is empty.";
inline constexpr std::u16string_view kReportNotWrittenStatusText =
    u"The report could not be written.";

// "There is nothing to export: the list is empty.", with a paragraph quoting what
// the last scan did not examine when that makes an empty report meaningless.
BoxMessage nothingToExportMessage(const streamscan::ScanStats& stats);

// Tessalin_YYYYMMDD_HHMMSS.csv from the local time; no folder.
std::u16string defaultExportFileName(const streamscan::CivilTime& localTime);

// The status text when the save dialog failed with a common-dialog error code
// other than 0 (0 is the user cancelling, which says nothing).
std::u16string saveDialogFailedStatusText(std::uint32_t commonDialogError);

// The rows the list shows, in its order; entries beyond `records` are skipped.
std::vector<streamscan::StreamRecord> rowsToExport(
    const std::vector<streamscan::StreamRecord>& records,
    const std::vector<std::uint64_t>& rowOrder);

// "Exported N rows to:\nPATH", with a line on the coverage note when the scan
// missed anything; `path` is shown escaped.
BoxMessage exportSucceededMessage(std::uint64_t rowCount, const std::u16string& path,
                                  const streamscan::ScanStats& stats);
// "Exported N rows."
std::u16string exportSucceededStatusText(std::uint64_t rowCount);

// "The report could not be written to:\nPATH" and the writer's reason, if any.
BoxMessage exportFailedMessage(const std::u16string& path, const std::u16string& writerError);

}  // namespace tessalin
