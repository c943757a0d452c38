#include "frontend/status_texts.h"

#include "engine/not_examined.h"
#include "engine/value_text.h"

namespace tessalin {

using streamscan::appendCountPhrase;
using streamscan::countPhrase;
using streamscan::groupedNumber;
using streamscan::ScanStats;

std::u16string notExaminedSummary(const ScanStats& stats, bool scanKnown) {
    if (!scanKnown)
        return {};
    // The words stay the same for 1: they label a counter, they do not describe one item.
    std::u16string list;
    for (const streamscan::NotExaminedCounter& counter : streamscan::notExaminedCounters())
        appendCountPhrase(list, stats.*counter.count, counter.statusWords);

    if (stats.cancelled) {
        std::u16string text = u"\u26A0 Stopped before the end";
        if (!list.empty())
            text += u"; not examined: " + list;
        return text;
    }
    if (list.empty())
        return u"Nothing was skipped";
    return u"\u26A0 Not examined: " + list;
}

std::u16string scanCountsText(const StatusState& state) {
    if (!isScanKnown(state))
        return {};
    std::u16string text = countPhrase(state.stats.files, u"file", u"files");
    text += u", ";
    text += countPhrase(state.stats.folders, u"folder", u"folders");
    if (state.stats.itemsWithStreams != 0) {
        text += u", ";
        text += groupedNumber(state.stats.itemsWithStreams);
        // After a delete the scan's count is history, and says so.
        text += state.removedStreamCount == 0 ? u" with streams" : u" had streams when scanned";
    }
    return text;
}

std::u16string streamsListedText(const StatusState& state) {
    if (!isScanKnown(state))
        return {};
    return countPhrase(state.streamRowCount, u"stream listed", u"streams listed");
}

std::u16string emptyResultText(const ScanStats& stats) {
    if (stats.cancelled)
        return u"The scan was cancelled before anything was listed.";
    if (stats.volumesWithoutStreams != 0)
        return u"This volume cannot hold alternate data streams.";
    if (streamscan::somethingUnread(stats)) {
        return u"Nothing was listed, and part of the tree could not be read - see the status bar.";
    }
    if (stats.linksNotFollowed != 0) {
        return u"No alternate data streams were found outside the junctions and symlinks that "
               u"were not followed.";
    }
    return u"No alternate data streams were found.";
}

}  // namespace tessalin
