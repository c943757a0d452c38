#include "cli/summary.h"

#include <gtest/gtest.h>

#include "cli/removal_flow.h"
#include "engine/scan_types.h"
#include "frontend/status_texts.h"

namespace tessalin::cli {
namespace {

using streamscan::ScanStats;

// Each of the counters that make a scan incomplete, set alone.
std::vector<ScanStats> singleGaps() {
    std::vector<ScanStats> gaps(6);
    gaps[0].accessDenied = 1;
    gaps[1].listFailed = 1;
    gaps[2].unreadableStreams = 1;
    gaps[3].linksNotFollowed = 1;
    gaps[4].volumesWithoutStreams = 1;
    gaps[5].cancelled = true;
    return gaps;
}

TEST(CliExitStatus, NotExaminedBitFollowsTheNotExaminedSummaryExactly) {
    ScanStats complete;
    complete.files = 10;
    complete.folders = 3;
    complete.streams = 4;
    complete.itemsWithStreams = 4;
    EXPECT_EQ(notExaminedSummary(complete, true), u"Nothing was skipped");
    EXPECT_EQ(exitStatus({complete, 4, 4, false}, false), 0);
    for (const ScanStats& gap : singleGaps()) {
        EXPECT_NE(notExaminedSummary(gap, true), u"Nothing was skipped");
        EXPECT_EQ(exitStatus({gap, 0, 0, false}, false), kExitNotExamined);
    }
}

TEST(CliExitStatus, BitsAddUp) {
    ScanStats denied;
    denied.accessDenied = 2;
    struct Case {
        ScanOutcome outcome;
        bool removalFailed;
        int status;
    };
    const Case cases[] = {
        {{ScanStats{}, 3, 3, true}, false, 1}, {{denied, 0, 0, false}, false, 2},
        {{ScanStats{}, 0, 0, false}, true, 4}, {{denied, 3, 3, true}, false, 3},
        {{denied, 3, 3, true}, true, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(exitStatus(c.outcome, c.removalFailed), c.status);
    }
}

TEST(CliRemoval, AnswersAndNames) {
    for (const char* yes : {"y", "Y", "yes", "YES", " y ", "yes\r"}) {
        EXPECT_TRUE(isYesAnswer(yes)) << yes;
    }
    for (const char* no : {"", "n", "no", "yess", "ja", "y y", "1"}) {
        EXPECT_FALSE(isYesAnswer(no)) << no;
    }
    streamscan::StreamRecord record;
    record.streamName = u"Zone.Identifier";
    EXPECT_TRUE(matchesRemovalName(record, u"zone.IDENTIFIER"));
    EXPECT_FALSE(matchesRemovalName(record, u"Zone.Identifier "));
    // Only A-Z fold: a dotless or accented look-alike is another name.
    record.streamName = u"\u00C9t\u00E9";
    EXPECT_FALSE(matchesRemovalName(record, u"\u00E9t\u00E9"));
    record.streamName.clear();
    EXPECT_FALSE(matchesRemovalName(record, u""));
}

}  // namespace
}  // namespace tessalin::cli
