// The delete command without a window: which selected rows become removal
// targets, what the confirmation says, and what the result means for the list.
// The Win32 glue gathers the selection, asks the question, runs RemoveStreams and
// drops the rows; everything it shows or decides comes from here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"
#include "engine/removal.h"
#include "engine/scan_types.h"
#include "frontend/message_box_style.h"

namespace tessalin {

inline constexpr std::u16string_view kSelectStreamsFirstText =
    u"Select the streams to remove first.";
inline constexpr std::u16string_view kNothingRemovableText =
    u"Nothing in this selection can be removed.";

// How many names a confirmation or refusal list shows, and a result's failure list.
inline constexpr std::size_t kConfirmationListLimit = 12;
inline constexpr std::size_t kFailureListLimit = 20;

// What the selected rows amount to, worked out before anything is asked.
struct DeletePlan {
    // Distinct streams, in order of their first appearance in the selection.
    std::vector<streamscan::RemovalTarget> targets;
    // For each target, every selected record index that named it, in selection order.
    std::vector<std::vector<std::uint64_t>> rowGroups;
    // For each target, removalDisplayName of it.
    std::vector<std::u16string> targetNames;
    // One line per selected row the removal rules refuse: its name, "  --  ", the reason.
    std::vector<std::u16string> refusedLines;
    // Selected item rows (no stream at all).
    std::uint64_t rowsWithoutStream = 0;
};

// Host path, " : ", stream name, and ":" + type unless the type is empty or $DATA;
// escaped for display as a whole.
std::u16string removalDisplayName(const std::u16string& hostPath, const std::u16string& streamName,
                                  const std::u16string& streamType);

// The target that reaches exactly the item and carrier the row was listed from.
streamscan::RemovalTarget removalTargetOf(
    const streamscan::StreamRecord& record,
    streamscan::PathStyle style = streamscan::kNativePathStyle);

// Whether two targets name the same stream. With the Windows path style host
// paths and stream names compare ordinally ignoring case, as NTFS does; with the
// POSIX style they compare exactly, since there X and x are two files (and two
// attributes), and merging them would drop a row whose stream was never removed.
// Types always ignore case, and an empty type is $DATA.
bool sameRemovalTarget(const streamscan::RemovalTarget& a, const streamscan::RemovalTarget& b,
                       streamscan::PathStyle style = streamscan::kNativePathStyle);

// Each of the first `limit` lines as "\n    LINE", then "\n    ... and N more"
// when lines were left out. Empty for no lines.
// `total` counts lines that were never made (0: just `lines`).
std::u16string nameListText(const std::vector<std::u16string>& lines, std::size_t limit,
                            std::uint64_t total = 0);

// `selectedRecordIndices` are the selected rows top to bottom as indices into
// `records`; indices beyond `records` are skipped.
DeletePlan planDelete(const std::vector<streamscan::StreamRecord>& records,
                      const std::vector<std::uint64_t>& selectedRecordIndices,
                      streamscan::PathStyle style = streamscan::kNativePathStyle);

// The box for a Delete with no row selected.
BoxMessage selectStreamsFirstMessage();

// The box for a selection with no target at all.
BoxMessage nothingRemovableMessage(const DeletePlan& plan);

// Which paragraphs of the confirmation apply where the streams live. Both speak
// of Windows (the Unblock button, the Recycle Bin); a front end on another system
// can leave them out.
struct ConfirmationWording {
    bool unblockParagraph = true;
    bool recycleBinParagraph = true;
};

// The question asked before anything is removed; it defaults to No.
BoxMessage confirmationMessage(const DeletePlan& plan, ConfirmationWording wording = {});

// What a removal run means for the list.
struct DeleteAftermath {
    // One flag per entry of records: set where the record's stream was removed.
    std::vector<bool> removedMask;
    // One line per target that was not removed, in target order.
    std::vector<std::u16string> failureLines;
};

DeleteAftermath applyRemovalResult(const DeletePlan& plan, const streamscan::RemovalResult& result,
                                   std::size_t recordCount);

// "Removed N streams." and, when anything failed, the failure list; a warning then.
BoxMessage removalResultMessage(const streamscan::RemovalResult& result,
                                const std::vector<std::u16string>& failureLines);

}  // namespace tessalin
