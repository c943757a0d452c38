#include "cli/row_format.h"
#include "cli/json_lines.h"
#include "cli/summary.h"

#include <gtest/gtest.h>

#include "engine/not_examined.h"
#include "engine/unicode.h"
#include "frontend/column_text.h"
#include "frontend/status_texts.h"

namespace tessalin::cli {
namespace {

using streamscan::ScanStats;
using streamscan::StreamRecord;

// The host is its own parent, so its path is the same in either path style.
StreamRecord streamRow(std::u16string host, std::uint32_t severity = 0, std::u16string note = {}) {
    return {.hostFolder = host,
            .streamName = u"s",
            .streamSize = 5,
            .severity = severity,
            .note = note};
}

TEST(CliRows, FixedColumnsFirstThenThePathThatOnlyPushesTheNote) {
    EXPECT_EQ(rowLayoutForWidth(120).pathWidth, 39);
    EXPECT_EQ(rowLayoutForWidth(50).pathWidth, kMinimumPathWidth);
    const RowLayout layout{30};
    const std::string row = formatRow(streamRow(u"/d", 2, u"why"), layout, false);
    EXPECT_EQ(row, "Alert" + std::string(11, ' ') + "5 B" + std::string(20, ' ') + "/d:s:$DATA" +
                       std::string(22, ' ') + "why\n");
    const std::string header = formatHeader(layout);
    EXPECT_EQ(header.find("Path"), row.find("/d"));
    EXPECT_EQ(header.find("Note"), row.find("why"));
    const std::string longPath = "/" + std::string(40, 'n');
    EXPECT_EQ(formatRow(streamRow(streamscan::decodeName(longPath), 0, u"why"), layout, false),
              std::string(16, ' ') + "5 B" + std::string(20, ' ') + longPath + ":s:$DATA  why\n");
    // An item row says where the note would be that it has no stream, and ends without blanks.
    const std::string item = formatRow({.hostFolder = u"/plain.txt"}, layout, true);
    EXPECT_EQ(item, std::string(39, ' ') + "/plain.txt" + std::string(22, ' ') +
                        streamscan::utf8ForDisplay(columnText({}, kColumnStream)) + "\n");
}

constexpr std::uint64_t kSecond = 10000000;
constexpr std::uint64_t kUnixEpoch = 11644473600ull * kSecond;

TEST(JsonLines, TimesAreUtcToTheSecond) {
    const std::pair<std::uint64_t, std::string> cases[] = {
        {0, ""},
        {kUnixEpoch - 86400 * kSecond, "1969-12-31T00:00:00Z"},
        {kUnixEpoch + 951782400 * kSecond, "2000-02-29T00:00:00Z"},
        {kUnixEpoch + 1796585086 * kSecond, "2026-12-06T19:24:46Z"},
        {kUnixEpoch + 4102444799 * kSecond + 9999999, "2099-12-31T23:59:59Z"},
    };
    for (const auto& [fileTime, text] : cases) {
        EXPECT_EQ(isoUtcTime(fileTime), text) << fileTime;
    }
}

TEST(JsonLines, NamesAreValidJson) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"q\"b\\c\x01\n", R"("n":"q\"b\\c\u0001\u000a")"},
        {u"caf\u00E9\u202E", "\"n\":\"caf\xC3\xA9\xE2\x80\xAE\""},
        // C1 controls and the separators end lines for some readers; their
        // neighbours stay as they are.
        {u"\u007E\u007F\u0080\u009F\u00A0", "\"n\":\"~\\u007f\\u0080\\u009f\xC2\xA0\""},
        {u"\u2027\u2028\u2029\u202A", "\"n\":\"\xE2\x80\xA7\\u2028\\u2029\xE2\x80\xAA\""},
    };
    for (const auto& [name, json] : cases) {
        std::string out;
        appendJsonName(out, "n", name);
        EXPECT_EQ(out, json);
    }
}

TEST(JsonLines, APlaceNotExaminedNamesTheCounterItCountsIn) {
    using streamscan::PlaceKind;
    const std::pair<PlaceKind, std::string> cases[] = {
        {PlaceKind::accessDenied, "accessDenied"},
        {PlaceKind::depthLimit, "listFailed"},
        {PlaceKind::volumeWithoutStreams, "volumesWithoutStreams"},
    };
    for (const auto& [kind, name] : cases) {
        const streamscan::NotExaminedPlace place{u"/a\"b", kind, 32};
        EXPECT_EQ(jsonPlace(place),
                  R"({"type":"notExamined","schema":1,"path":"/a\"b","kind":")" + name +
                      R"(","code":32,"reason":")" +
                      streamscan::utf8ForDisplay(streamscan::notExaminedReason(place)) + "\"}\n");
    }
}

TEST(CliExitStatus, BitsAddUpAndBitTwoFollowsTheNotExaminedSummaryExactly) {
    const struct {
        ScanOutcome outcome;
        bool removalFailed;
        int status;
    } cases[] = {
        {{.stats = {.files = 10, .itemsWithStreams = 4}, .rows = 4}, false, 0},
        {{.flagged = true}, false, 1},
        {{.stats = {.accessDenied = 2}}, false, 2},
        {{.stats = {.linksNotFollowed = 1}}, false, 2},
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

}  // namespace
}  // namespace tessalin::cli
