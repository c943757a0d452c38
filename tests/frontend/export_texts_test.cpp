#include "frontend/export_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessalin {
namespace {

using streamscan::CivilTime;
using streamscan::ScanStats;

constexpr std::u16string_view kCoverageLine =
    u"\n\nThe report ends with a note of what the scan did not reach.";

TEST(ExportTexts, DefaultFileNameIsStampedWithTheLocalTime) {
    struct Case {
        CivilTime time;
        std::u16string name;
    };
    const Case cases[] = {
        {{2024, 1, 2, 3, 4, 5}, u"Tessalin_20240102_030405.csv"},
        {{2025, 12, 31, 23, 59, 59}, u"Tessalin_20251231_235959.csv"},
        {{987, 6, 7, 0, 0, 0}, u"Tessalin_09870607_000000.csv"},
        {{12345, 1, 1, 0, 0, 0}, u"Tessalin_123450101_000000.csv"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(defaultExportFileName(c.time), c.name);
}

TEST(ExportTexts, EmptyListQuotesWhatTheLastScanMissedButNotSkippedLinks) {
    struct Case {
        const char* label;
        ScanStats stats;
        std::u16string paragraph;
    };
    ScanStats cancelled;
    cancelled.cancelled = true;
    ScanStats denied;
    denied.accessDenied = 3;
    denied.linksNotFollowed = 1;
    ScanStats notNtfs;
    notNtfs.volumesWithoutStreams = 1;
    ScanStats linksOnly;
    linksOnly.linksNotFollowed = 4;
    const auto quoting = [](std::u16string_view summary) {
        return u"\n\nThe last scan did not cover everything - " + std::u16string(summary) +
               u" - so an empty report would not mean much.";
    };
    const Case cases[] = {
        {"clean", {}, u""},
        {"links only", linksOnly, u""},
        {"cancelled", cancelled, quoting(u"\u26A0 Stopped before the end")},
        {"denied", denied, quoting(u"\u26A0 Not examined: 3 denied, 1 links skipped")},
        {"not ntfs", notNtfs, quoting(u"\u26A0 Not examined: 1 not NTFS")},
    };
    for (const Case& c : cases) {
        const BoxMessage box = nothingToExportMessage(c.stats);
        EXPECT_EQ(box.text, u"There is nothing to export: the list is empty." + c.paragraph)
            << c.label;
        EXPECT_EQ(box.style, kInformationBox) << c.label;
    }
}

TEST(ExportTexts, SuccessNamesRowsAndEscapedPathAndMentionsTheCoverageNote) {
    ScanStats linksOnly;
    linksOnly.linksNotFollowed = 1;
    const BoxMessage one = exportSucceededMessage(1, u"C:\\r\\a\u202Etxt.csv", {});
    EXPECT_EQ(one.text, u"Exported 1 row to:\nC:\\r\\a<U+202E>txt.csv");
    EXPECT_EQ(messageBoxFlags(one.style), 0x40u);  // MB_OK | MB_ICONINFORMATION
    EXPECT_EQ(exportSucceededMessage(7, u"C:\\r.csv", linksOnly).text,
              u"Exported 7 rows to:\nC:\\r.csv" + std::u16string(kCoverageLine));
    EXPECT_EQ(exportSucceededStatusText(1), u"Exported 1 row.");
    EXPECT_EQ(exportSucceededStatusText(0), u"Exported 0 rows.");
}

TEST(ExportTexts, FailuresSayWhyInTheBoxAndBrieflyInTheStatusLine) {
    const BoxMessage bare = exportFailedMessage(u"D:\\x\ny.csv", u"");
    EXPECT_EQ(bare.text, u"The report could not be written to:\nD:\\x<U+000A>y.csv");
    EXPECT_EQ(messageBoxFlags(bare.style), 0x10u);  // MB_OK | MB_ICONERROR
    // The writer's own text arrives already escaped and is shown as it is.
    EXPECT_EQ(
        exportFailedMessage(u"D:\\r.csv", u"Could not create D:\\<U+000A>: Access denied (5)").text,
        u"The report could not be written to:\nD:\\r.csv\n\nCould not create "
        u"D:\\<U+000A>: Access denied (5)");
    EXPECT_EQ(saveDialogFailedStatusText(12290),
              u"The save dialog could not be opened (error 12290).");
}

TEST(ExportTexts, RowsFollowTheListOrderAndSkipStaleEntries) {
    std::vector<streamscan::StreamRecord> records(3);
    records[0].streamName = u"a";
    records[1].streamName = u"b";
    records[2].streamName = u"c";
    const auto rows = rowsToExport(records, {2, 7, 0});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].streamName, u"c");
    EXPECT_EQ(rows[1].streamName, u"a");
}

}  // namespace
}  // namespace tessalin
