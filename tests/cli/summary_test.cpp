#include "cli/summary.h"

#include <gtest/gtest.h>

#include "engine/not_examined.h"
#include "frontend/scan_texts.h"
#include "frontend/status_texts.h"
#include "support/fake_file_system.h"

namespace tessalin::cli {
namespace {

using streamscan::ScanStats;

TEST(CliExitStatus, BitsAddUpAndBitTwoFollowsTheNotExaminedSummaryExactly) {
    const struct {
        ScanOutcome outcome;
        bool removalFailed;
        int status;
    } cases[] = {
        {{.stats = {.files = 10, .itemsWithStreams = 4}, .rows = 4}, false, 0},
        {{.flagged = true}, false, 1},
        {{.stats = {.accessDenied = 2}}, false, 2},
        {{.stats = {.listFailed = 1}}, false, 2},
        {{.stats = {.unreadableStreams = 1}}, false, 2},
        {{.stats = {.linksNotFollowed = 1}}, false, 2},
        {{.stats = {.volumesWithoutStreams = 1}}, false, 2},
        {{.stats = {.cancelled = true}}, false, 2},
        {{}, true, 4},
        {{.stats = {.accessDenied = 2}, .flagged = true}, true, 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exitStatus(c.outcome, c.removalFailed), c.status);
        EXPECT_EQ(notExaminedSummary(c.outcome.stats, true) != u"Nothing was skipped",
                  (c.status & kExitNotExamined) != 0);
    }
}

TEST(CliSummary, TheWindowsWordsWithTheConsolesOwnLinesAndTheExplanationLast) {
    streamscan::FakeFileSystem fs(streamscan::PathStyle::posix);
    fs.addVolume(u"/", u"vfat", false);
    const auto head = [](const ScanOutcome& o, std::uint64_t duplicates) {
        const StatusState state{
            .scanEnded = true, .stats = o.stats, .streamRowCount = o.streamRows};
        return scanEndText(o.stats, duplicates, 0) + u"\n" + scanCountsText(state) + u"\n" +
               streamsListedText(state) + u"\n";
    };
    const ScanOutcome listed{.stats = {.files = 4, .folders = 1, .itemsWithStreams = 4},
                             .rows = 2,
                             .streamRows = 2,
                             .filteredOut = 2,
                             .filtered = true,
                             .deletedListed = true,
                             .deletedStreamRows = 1};
    const ScanOutcome allFilteredOut{.filteredOut = 3, .filtered = true};
    const ScanOutcome empty{.stats = {.folders = 1}};
    const ScanOutcome denied{.stats = {.accessDenied = 2}};
    const ScanOutcome notNtfs{.stats = {.volumesWithoutStreams = 1}};
    const std::u16string onStandardError = u" (each place is named on standard error)\n";
    const struct {
        ScanOutcome outcome;
        std::uint64_t duplicates;
        std::u16string text;
    } cases[] = {
        {listed, 1,
         head(listed, 1) + u"2 rows left out by the filters\n1 stream belongs to deleted items\n" +
             notExaminedSummary(listed.stats, true) + u"\n"},
        {allFilteredOut, 0,
         head(allFilteredOut, 0) + u"3 rows left out by the filters\n" +
             notExaminedSummary({}, true) + u"\n"},
        {empty, 0,
         head(empty, 0) + notExaminedSummary({}, true) + u"\n" +
             emptyListText({.scanEnded = true, .stats = empty.stats}) + u"\n"},
        // The empty list's pointer to the status bar has no place on a console.
        {denied, 0,
         head(denied, 0) + notExaminedSummary(denied.stats, true) + onStandardError + u"\n" +
             emptyResultMessageText(denied.stats) + u"\n"},
        {notNtfs, 0,
         head(notNtfs, 0) + notExaminedSummary(notNtfs.stats, true) + onStandardError +
             emptyListText({.scanEnded = true, .stats = notNtfs.stats}) + u"\n\n" +
             volumeMessageText(notNtfs.stats, {u"/stick"}, fs) + u"\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(summaryText(c.outcome, {u"/stick"}, c.duplicates, 0, fs), c.text);
    }
    const streamscan::NotExaminedPlace place{u"/a\nb", streamscan::PlaceKind::accessDenied, 5};
    EXPECT_EQ(notExaminedPlaceLine(place),
              u"tessalin-scan: " + streamscan::notExaminedPlaceText(place) + u"\n");
}

}  // namespace
}  // namespace tessalin::cli
