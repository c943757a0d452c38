#include <gtest/gtest.h>

#include <string>

#include "engine/coverage_note.h"

namespace streamscan {
namespace {

ScanStats statsWith(bool cancelled, std::uint64_t denied, std::uint64_t listFailed,
                    std::uint64_t unreadable, std::uint64_t links, std::uint64_t volumes) {
    ScanStats stats;
    stats.cancelled = cancelled;
    stats.accessDenied = denied;
    stats.listFailed = listFailed;
    stats.unreadableStreams = unreadable;
    stats.linksNotFollowed = links;
    stats.volumesWithoutStreams = volumes;
    return stats;
}

TEST(CoverageNote, SaysWhatTheScanDidNotExamine) {
    struct Case {
        const char* label;
        ScanStats stats;
        std::u16string note;
    };
    const Case cases[] = {
        {"complete scan", statsWith(false, 0, 0, 0, 0, 0), u""},
        {"cancelled only", statsWith(true, 0, 0, 0, 0, 0),
         u"\r\n\"Scan cancelled before it finished\"\r\n"},
        {"one volume", statsWith(false, 0, 0, 0, 0, 1),
         u"\r\n\"Not examined: 1 volume without stream support\"\r\n"},
        {"two volumes", statsWith(false, 0, 0, 0, 0, 2),
         u"\r\n\"Not examined: 2 volumes without stream support\"\r\n"},
        {"one link", statsWith(false, 0, 0, 0, 1, 0),
         u"\r\n\"Not examined: 1 link not followed\"\r\n"},
        {"many links", statsWith(false, 0, 0, 0, 3, 0),
         u"\r\n\"Not examined: 3 links not followed\"\r\n"},
        {"same words for every count", statsWith(false, 1, 5, 1, 0, 0),
         u"\r\n\"Not examined: 1 denied, 5 could not be listed, 1 unreadable\"\r\n"},
        {"no grouping", statsWith(false, 12345, 0, 0, 0, 0),
         u"\r\n\"Not examined: 12345 denied\"\r\n"},
        {"cancelled with counts", statsWith(true, 2, 1, 3, 1, 0),
         u"\r\n\"Scan cancelled before it finished\"\r\n"
         u"\"Not examined: 2 denied, 1 could not be listed, 3 unreadable, 1 link not "
         u"followed\"\r\n"},
        {"all in table order", statsWith(false, 4, 3, 2, 2, 1),
         u"\r\n\"Not examined: 4 denied, 3 could not be listed, 2 unreadable, 2 links not "
         u"followed, 1 volume without stream support\"\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(coverageNote(c.stats), c.note) << c.label;
    }
}

TEST(CoverageNote, IgnoresTheCountsOfWhatWasFound) {
    ScanStats stats;
    stats.files = 10;
    stats.folders = 3;
    stats.itemsWithStreams = 2;
    stats.streams = 4;
    EXPECT_EQ(coverageNote(stats), u"");
}

}  // namespace
}  // namespace streamscan
