#include "frontend/status_texts.h"

#include <gtest/gtest.h>

#include "engine/value_text.h"

namespace tessalin {
namespace {

using streamscan::ScanStats;

TEST(NotExaminedSummary, NamesEachSkippedKindInFixedOrderWithFixedWords) {
    const ScanStats all{.accessDenied = 1234567,
                        .listFailed = 2,
                        .unreadableStreams = 3,
                        .linksNotFollowed = 4,
                        .volumesWithoutStreams = 1};
    const std::pair<ScanStats, std::u16string> cases[] = {
        {{.files = 10, .streams = 4}, u"Nothing was skipped"},
        {all, u"\u26A0 Not examined: " + streamscan::groupedNumber(1234567) +
                  u" denied, 2 failed to list, 3 unreadable, 4 links skipped, 1 not NTFS"},
        {{.cancelled = true}, u"\u26A0 Stopped before the end"},
        {{.unreadableStreams = 2, .cancelled = true},
         u"\u26A0 Stopped before the end; not examined: 2 unreadable"},
    };
    for (const auto& [stats, text] : cases) {
        EXPECT_EQ(notExaminedSummary(stats, true), text);
        EXPECT_EQ(notExaminedSummary(stats, false), u"");
    }
}

TEST(StatusParts, CountsAppearOnceAScanIsKnownAndSayWhenStreamsWereRemoved) {
    const std::tuple<StatusState, std::u16string, std::u16string> cases[] = {
        {{.stats = {.files = 3}}, u"", u""},
        {{.scanning = true, .stats = {.files = 3}}, u"3 files, 0 folders", u"0 streams listed"},
        {{.scanEnded = true, .stats = {.files = 1, .folders = 1}, .streamRowCount = 1},
         u"1 file, 1 folder",
         u"1 stream listed"},
        {{.scanEnded = true, .stats = {.files = 2, .folders = 8, .itemsWithStreams = 5}},
         u"2 files, 8 folders, 5 with streams",
         u"0 streams listed"},
        {{.scanEnded = true, .stats = {.itemsWithStreams = 5}, .removedStreamCount = 3},
         u"0 files, 0 folders, 5 had streams when scanned",
         u"0 streams listed"},
    };
    for (const auto& [state, counts, listed] : cases) {
        EXPECT_EQ(scanCountsText(state), counts);
        EXPECT_EQ(streamsListedText(state), listed);
    }
}

TEST(EmptyListText, FirstMatchingRuleWins) {
    const std::u16string unreadable =
        u"Nothing was listed, and part of the tree could not be read - see the status bar.";
    const std::u16string clean = u"No alternate data streams were found.";
    const std::pair<StatusState, std::u16string> cases[] = {
        {{}, u"Drop a folder or a file here to look for alternate data streams"},
        {{.scanning = true},
         u"Scanning - nothing with an alternate data stream has turned up yet."},
        {{.scanEnded = true, .removedStreamCount = 1},
         u"1 stream was removed, and nothing else was listed. Press F5 to scan again."},
        {{.scanEnded = true, .stats = {.cancelled = true}, .removedStreamCount = 3},
         u"3 streams were removed, and nothing else was listed. The scan that listed them was "
         u"stopped before it finished. Press F5 to scan again."},
        {{.scanEnded = true, .removedStreamCount = 2, .listEmpty = false}, clean},
        {{.scanEnded = true, .stats = {.volumesWithoutStreams = 1, .cancelled = true}},
         u"The scan was cancelled before anything was listed."},
        {{.scanEnded = true, .stats = {.accessDenied = 2, .volumesWithoutStreams = 1}},
         u"This volume cannot hold alternate data streams."},
        {{.scanEnded = true, .stats = {.accessDenied = 1}}, unreadable},
        {{.scanEnded = true, .stats = {.listFailed = 1, .linksNotFollowed = 4}}, unreadable},
        {{.scanEnded = true, .stats = {.linksNotFollowed = 4}},
         u"No alternate data streams were found outside the junctions and symlinks that were "
         u"not followed."},
        {{.scanEnded = true}, clean},
    };
    for (const auto& [state, text] : cases) {
        EXPECT_EQ(emptyListText(state), text);
    }
}

}  // namespace
}  // namespace tessalin
