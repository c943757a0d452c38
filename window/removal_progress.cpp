#include "window/removal_progress.h"

#include <algorithm>

#include "engine/value_text.h"

namespace tessalin {

std::u16string removalProgressText(std::uint64_t reached, std::uint64_t total) {
    return u"Removing " + streamscan::groupedNumber(reached) + u" of " +
           streamscan::groupedNumber(total) + u"\u2026";
}

RemovalEnd removalEnd(const DeletePlan& plan, const streamscan::RemovalResult& result,
                      std::size_t recordCount, bool cancelled) {
    DeleteAftermath aftermath = applyRemovalResult(plan, result, recordCount);
    const std::uint64_t notReached =
        cancelled ? plan.targets.size() - std::min(plan.targets.size(), result.outcomes.size()) : 0;
    streamscan::RemovalResult reached = result;
    if (notReached != 0) {
        // The lines past the outcomes name the targets never reached.
        aftermath.failureLines.resize(aftermath.failureLines.size() -
                                      std::min<std::size_t>(aftermath.failureLines.size(),
                                                            static_cast<std::size_t>(notReached)));
        reached.failedCount -=
            static_cast<std::uint32_t>(std::min<std::uint64_t>(reached.failedCount, notReached));
    }
    RemovalEnd end{std::move(aftermath.removedMask),
                   removalResultMessage(reached, aftermath.failureLines)};
    if (notReached != 0) {
        end.box.text += u"\n\nThe removal was cancelled: " +
                        streamscan::countPhrase(notReached, u"stream was", u"streams were") +
                        u" not reached and stay in the list.";
        end.box.style = kWarningBox;
    }
    return end;
}

}  // namespace tessalin
