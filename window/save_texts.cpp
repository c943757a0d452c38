#include "window/save_texts.h"

#include "engine/display_escape.h"
#include "engine/value_text.h"

namespace tessalin {

std::vector<std::uint64_t> streamRowsToSave(const std::vector<streamscan::StreamRecord>& records,
                                            const std::vector<std::uint64_t>& selected) {
    std::vector<std::uint64_t> rows;
    for (const std::uint64_t index : selected) {
        if (index < records.size() && !records[static_cast<std::size_t>(index)].streamName.empty())
            rows.push_back(index);
    }
    return rows;
}

std::u16string saveProgressText(std::uint64_t reached, std::uint64_t total) {
    return u"Saving " + streamscan::groupedNumber(reached) + u" of " +
           streamscan::groupedNumber(total) + u"\u2026";
}

BoxMessage savedMessage(const SaveOutcome& outcome, const std::u16string& folder) {
    std::u16string text = u"Saved " +
                          streamscan::countPhrase(outcome.saved, u"stream", u"streams") +
                          u" to:\n" + streamscan::escapeForDisplay(folder);
    if (outcome.notSaved != 0) {
        text += u"\n\n" + streamscan::countPhrase(outcome.notSaved, u"stream", u"streams") +
                u" could not be saved; manifest.json says why.";
    }
    if (outcome.notReached != 0) {
        text += u"\n\nSaving was cancelled: " +
                streamscan::countPhrase(outcome.notReached, u"stream was", u"streams were") +
                u" not reached.";
    }
    text += u"\n\nOpen the folder?";
    const bool clean = outcome.notSaved == 0 && outcome.notReached == 0;
    return {std::move(text),
            {BoxButtons::yesNo, clean ? BoxIcon::information : BoxIcon::warning, false}};
}

BoxMessage saveFailedMessage(const std::u16string& folder, const std::u16string& reason) {
    return {u"The streams could not be saved to:\n" + streamscan::escapeForDisplay(folder) +
                u"\n\n" + reason,
            kErrorBox};
}

std::u16string savedStatusText(std::uint64_t saved) {
    return u"Saved " + streamscan::countPhrase(saved, u"stream", u"streams") + u".";
}

}  // namespace tessalin
