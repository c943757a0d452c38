#include "cli/summary.h"

#include "cli/options.h"
#include "engine/not_examined.h"
#include "engine/value_text.h"
#include "frontend/scan_texts.h"
#include "frontend/status_texts.h"

namespace tessalin::cli {

bool somethingNotExamined(const streamscan::ScanStats& stats) {
    return !stats.everythingExamined();
}

int exitStatus(const ScanOutcome& outcome, bool removalFailed) {
    int status = 0;
    if (outcome.flagged)
        status |= kExitFlagged;
    if (somethingNotExamined(outcome.stats))
        status |= kExitNotExamined;
    if (removalFailed)
        status |= kExitRemovalFailed;
    return status;
}

std::u16string notExaminedPlaceLine(const streamscan::NotExaminedPlace& place) {
    return std::u16string(kProgramName) + u": " + streamscan::notExaminedPlaceText(place) + u"\n";
}

std::u16string summaryText(const ScanOutcome& outcome, const std::vector<std::u16string>& roots,
                           std::uint64_t duplicates, std::uint64_t nested,
                           streamscan::FileSystem& fs) {
    StatusState state;
    state.scanEnded = true;
    state.stats = outcome.stats;
    state.streamRowCount = outcome.streamRows;
    // Rows a filter left out were found: the list is not empty in the sense of
    // "nothing there", and the filter line says where they went.
    state.listEmpty = outcome.rows == 0 && outcome.filteredOut == 0;

    std::u16string text = scanEndText(outcome.stats, duplicates, nested);
    text += u"\n";
    text += scanCountsText(state);
    text += u"\n";
    text += streamsListedText(state);
    text += u"\n";
    if (outcome.filtered) {
        text += streamscan::countPhrase(outcome.filteredOut, u"row", u"rows");
        text += u" left out by the filters\n";
    }
    if (outcome.stats.fileSystemStreams != 0) {
        text += streamscan::countPhrase(outcome.stats.fileSystemStreams,
                                        u"stream NTFS keeps for itself was",
                                        u"streams NTFS keeps for itself were");
        text += u" not listed\n";
    }
    if (outcome.orphans != 0) {
        text += streamscan::countPhrase(outcome.orphans, u"item whose folder is gone was",
                                        u"items whose folder is gone were");
        text += u" listed under $OrphanFiles\n";
    }
    if (outcome.stats.metadataAttributes != 0) {
        text += streamscan::countPhrase(outcome.stats.metadataAttributes,
                                        u"attribute holding metadata, not a stream, was",
                                        u"attributes holding metadata, not streams, were");
        text += u" not listed (--all-attributes lists them)\n";
    }
    if (outcome.stats.excluded != 0) {
        text += streamscan::countPhrase(outcome.stats.excluded, u"item was", u"items were");
        text += u" excluded (--exclude), as asked\n";
    }
    if (outcome.stats.linkLoops != 0) {
        text += streamscan::countPhrase(outcome.stats.linkLoops, u"folder link leads",
                                        u"folder links lead");
        text += u" back into the walk (a loop), not entered again\n";
    }
    if (outcome.deletedListed) {
        text += streamscan::countPhrase(outcome.deletedStreamRows, u"stream belongs",
                                        u"streams belong");
        text += u" to deleted items\n";
    }
    text += notExaminedSummary(outcome.stats, true);
    if (somethingNotExamined(outcome.stats))
        text += u" (each place is named on standard error)";
    text += u"\n";
    // The empty list's sentence for a partly unreadable tree points at the
    // window's status bar; here the not-examined line just above says it.
    const streamscan::ScanStats& stats = outcome.stats;
    const bool partlyUnreadable =
        !stats.cancelled && stats.volumesWithoutStreams == 0 && streamscan::somethingUnread(stats);
    if (state.listEmpty && !partlyUnreadable) {
        text += emptyResultText(stats);
        text += u"\n";
    }
    const ScanEndExplanation explanation =
        scanEndExplanation(outcome.stats, !state.listEmpty, roots, fs);
    if (explanation.box != ScanEndBox::none) {
        text += u"\n";
        text += explanation.text;
        text += u"\n";
    }
    return text;
}

}  // namespace tessalin::cli
