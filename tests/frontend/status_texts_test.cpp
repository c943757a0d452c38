#include "frontend/status_texts.h"

#include <gtest/gtest.h>

#include "engine/value_text.h"

namespace tessalin {
namespace {

using streamscan::ScanStats;

StatusState ended(ScanStats stats, bool listEmpty = true) {
    StatusState s;
    s.scanEnded = true;
    s.stats = stats;
    s.listEmpty = listEmpty;
    return s;
}

TEST(NotExaminedSummary, NamesEachSkippedKindInFixedOrderWithFixedWords) {
    struct Case {
        const char* label;
        ScanStats stats;
        const char16_t* expected;
    };
    ScanStats none;
    ScanStats deniedAndLink;
    deniedAndLink.accessDenied = 3;
    deniedAndLink.linksNotFollowed = 1;
    ScanStats deniedAndUnreadable;
    deniedAndUnreadable.unreadableStreams = 1;
    deniedAndUnreadable.accessDenied = 1;
    ScanStats all;
    all.volumesWithoutStreams = 5;
    all.linksNotFollowed = 4;
    all.unreadableStreams = 3;
    all.listFailed = 2;
    all.accessDenied = 1;
    ScanStats cancelled;
    cancelled.cancelled = true;
    ScanStats cancelledUnreadable = cancelled;
    cancelledUnreadable.unreadableStreams = 2;
    ScanStats onlyCounts;  // found things, skipped nothing
    onlyCounts.files = 10;
    onlyCounts.streams = 4;

    const Case cases[] = {
        {"clean", none, u"Nothing was skipped"},
        {"found only", onlyCounts, u"Nothing was skipped"},
        {"denied and link", deniedAndLink, u"\u26A0 Not examined: 3 denied, 1 links skipped"},
        {"words never singular", deniedAndUnreadable,
         u"\u26A0 Not examined: 1 denied, 1 unreadable"},
        {"all in order", all,
         u"\u26A0 Not examined: 1 denied, 2 failed to list, 3 unreadable, 4 links skipped, 5 not "
         u"NTFS"},
        {"cancelled alone", cancelled, u"\u26A0 Stopped before the end"},
        {"cancelled with counts", cancelledUnreadable,
         u"\u26A0 Stopped before the end; not examined: 2 unreadable"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(notExaminedSummary(c.stats, true), c.expected) << c.label;
        EXPECT_EQ(notExaminedSummary(c.stats, false), u"") << c.label;
    }
}

TEST(NotExaminedSummary, GroupsLargeCounts) {
    ScanStats stats;
    stats.accessDenied = 1234567;
    EXPECT_EQ(notExaminedSummary(stats, true),
              u"\u26A0 Not examined: " + streamscan::groupedNumber(1234567) + u" denied");
}

TEST(StatusParts, CountPartsAreEmptyUntilAScanIsKnown) {
    StatusState before;
    before.stats.files = 3;
    EXPECT_EQ(scanCountsText(before), u"");
    EXPECT_EQ(streamsListedText(before), u"");
    StatusState running = before;
    running.scanning = true;
    EXPECT_EQ(scanCountsText(running), u"3 files, 0 folders");
    EXPECT_EQ(streamsListedText(running), u"0 streams listed");
}

TEST(StatusParts, CountsUseSingularOnlyForOneAndDropZeroWithStreams) {
    struct Case {
        std::uint64_t files, folders, withStreams, rows, removed;
        const char16_t* part1;
        const char16_t* part2;
    } cases[] = {
        {0, 1, 0, 0, 0, u"0 files, 1 folder", u"0 streams listed"},
        {1, 0, 0, 1, 0, u"1 file, 0 folders", u"1 stream listed"},
        {204, 87, 5, 12, 0, u"204 files, 87 folders, 5 with streams", u"12 streams listed"},
        {204, 87, 5, 9, 3, u"204 files, 87 folders, 5 had streams when scanned",
         u"9 streams listed"},
    };
    for (const auto& c : cases) {
        ScanStats stats;
        stats.files = c.files;
        stats.folders = c.folders;
        stats.itemsWithStreams = c.withStreams;
        StatusState s = ended(stats);
        s.streamRowCount = c.rows;
        s.removedStreamCount = c.removed;
        EXPECT_EQ(scanCountsText(s), c.part1);
        EXPECT_EQ(streamsListedText(s), c.part2);
    }
}

TEST(EmptyListText, FirstMatchingRuleWins) {
    ScanStats none;
    ScanStats cancelled;
    cancelled.cancelled = true;
    ScanStats cancelledOnFat = cancelled;
    cancelledOnFat.volumesWithoutStreams = 1;
    ScanStats fatAndDenied;
    fatAndDenied.volumesWithoutStreams = 1;
    fatAndDenied.accessDenied = 2;
    ScanStats unreadable;
    unreadable.unreadableStreams = 1;
    ScanStats failedAndLinks;
    failedAndLinks.listFailed = 1;
    failedAndLinks.linksNotFollowed = 4;
    ScanStats links;
    links.linksNotFollowed = 4;

    StatusState idle;
    StatusState scanning;
    scanning.scanning = true;
    scanning.scanEnded = false;
    StatusState removedOne = ended(none);
    removedOne.removedStreamCount = 1;
    StatusState removedThreeCancelled = ended(cancelled);
    removedThreeCancelled.removedStreamCount = 3;
    StatusState removedButRowsLeft = ended(none, false);
    removedButRowsLeft.removedStreamCount = 2;

    struct Case {
        const char* label;
        StatusState state;
        const char16_t* expected;
    } cases[] = {
        {"before any scan", idle,
         u"Drop a folder or a file here to look for alternate data streams"},
        {"scanning", scanning,
         u"Scanning - nothing with an alternate data stream has turned up yet."},
        {"removed one", removedOne,
         u"1 stream was removed, and nothing else was listed. Press F5 to scan again."},
        {"removed three of a cancelled scan", removedThreeCancelled,
         u"3 streams were removed, and nothing else was listed. The scan that listed them was "
         u"stopped before it finished. Press F5 to scan again."},
        {"removed but rows remain", removedButRowsLeft, u"No alternate data streams were found."},
        {"cancelled beats volume", ended(cancelledOnFat),
         u"The scan was cancelled before anything was listed."},
        {"volume beats denied", ended(fatAndDenied),
         u"This volume cannot hold alternate data streams."},
        {"unreadable", ended(unreadable),
         u"Nothing was listed, and part of the tree could not be read - see the status bar."},
        {"failure beats links", ended(failedAndLinks),
         u"Nothing was listed, and part of the tree could not be read - see the status bar."},
        {"links only", ended(links),
         u"No alternate data streams were found outside the junctions and symlinks that were "
         u"not followed."},
        {"clean", ended(none), u"No alternate data streams were found."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(emptyListText(c.state), c.expected) << c.label;
    }
}

}  // namespace
}  // namespace tessalin
