// A removal that runs on the window's worker, without a window: what the
// status line says while it runs, and what its end means for the list and the
// result box when the user stopped it part-way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/removal.h"
#include "frontend/delete_plan.h"
#include "frontend/message_box_style.h"

namespace tessalin {

// "Removing 1,234 of 50,000…"
std::u16string removalProgressText(std::uint64_t reached, std::uint64_t total);

// A scan asked for while streams are removed or saved.
inline constexpr std::u16string_view kRemovalRunningText =
    u"Streams are being removed or saved. Wait until that has finished, or cancel it, before "
    u"starting a scan.";
inline constexpr std::u16string_view kCancellingRemovalBeforeClosingText =
    u"Cancelling the removal before closing...";

struct RemovalEnd {
    std::vector<bool> removedMask;  // one flag per record: its stream is gone
    BoxMessage box;
};

// The delete command's outcome for the streams the run reached. When it was
// cancelled, the targets it never reached are neither removed nor failed: the
// box says how many stay listed instead of naming them as failures.
RemovalEnd removalEnd(const DeletePlan& plan, const streamscan::RemovalResult& result,
                      std::size_t recordCount, bool cancelled);

}  // namespace tessalin
