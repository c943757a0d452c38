#include "window/status_texts.h"

#include "engine/value_text.h"

namespace tessalin {

std::u16string removalStatusText(std::uint32_t removedCount) {
    return u"Removed " + streamscan::countPhrase(removedCount, u"stream", u"streams") +
           u". Press F5 to scan again.";
}

std::u16string emptyListText(const StatusState& state) {
    if (state.scanning)
        return u"Scanning - nothing with an alternate data stream has turned up yet.";
    if (!state.scanEnded)
        return u"Drop a folder or a file here to look for alternate data streams";
    if (state.listEmpty && state.removedStreamCount != 0) {
        std::u16string text = streamscan::countPhrase(
            state.removedStreamCount, u"stream was removed", u"streams were removed");
        text += u", and nothing else was listed.";
        if (state.stats.cancelled)
            text += u" The scan that listed them was stopped before it finished.";
        text += u" Press F5 to scan again.";
        return text;
    }
    return emptyResultText(state.stats);
}

}  // namespace tessalin
