#include "frontend/status_texts.h"
#include "frontend/column_text.h"

#include <gtest/gtest.h>

#include "engine/value_text.h"
#include "frontend/export_texts.h"
#include "frontend/root_preparation.h"
#include "frontend/scan_texts.h"
#include "support/fake_file_system.h"
#include "support/scan_stats_printer.h"

namespace tessalin {
namespace {

using streamscan::ScanStats;
using streamscan::StreamRecord;

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

TEST(EmptyResultText, FirstMatchingRuleWins) {
    const std::pair<ScanStats, std::u16string> cases[] = {
        {{.volumesWithoutStreams = 1, .cancelled = true},
         u"The scan was cancelled before anything was listed."},
        {{.accessDenied = 2, .volumesWithoutStreams = 1},
         u"This volume cannot hold alternate data streams."},
        {{.accessDenied = 1},
         u"Nothing was listed, and part of the tree could not be read - see the status bar."},
        {{.linksNotFollowed = 4},
         u"No alternate data streams were found outside the junctions and symlinks that were "
         u"not followed."},
        {{}, u"No alternate data streams were found."},
    };
    for (const auto& [stats, text] : cases) {
        EXPECT_EQ(emptyResultText(stats), text);
    }
}

TEST(ScanStatusTexts, StartProgressAndEndCarryTheRootListNote) {
    EXPECT_EQ(scanStartText({u"C:\\a\u202E"}, 0, 0), u"Scanning: C:\\a<U+202E>");
    EXPECT_EQ(scanStartText({u"C:\\a", u"C:\\b"}, 1, 2),
              u"Scanning 2 locations..." + rootListNote(1, 2));
    EXPECT_EQ(scanProgressText(u"/srv/a\nb"), u"Scanning: /srv/a<U+000A>b");
    EXPECT_EQ(scanEndText({}, 2, 0), u"Scan complete." + rootListNote(2, 0));
    EXPECT_EQ(
        scanEndText({.cancelled = true}, 0, 1),
        u"Scan cancelled - what is listed covers only part of the tree." + rootListNote(0, 1));
}

TEST(ScanEndBoxChoice, OnlyDoubtfulResultsBringUpABox) {
    using enum ScanEndBox;
    const std::tuple<ScanStats, bool, ScanEndBox> cases[] = {
        {{.files = 10}, false, none},
        {{.linksNotFollowed = 4}, false, none},
        {{.accessDenied = 2}, false, emptyResult},
        {{.accessDenied = 2}, true, none},
        {{.cancelled = true}, false, emptyResult},
        {{.volumesWithoutStreams = 1}, true, volumeWithoutStreams},
        {{.accessDenied = 3, .volumesWithoutStreams = 1}, false, volumeWithoutStreams},
    };
    for (const auto& [stats, rows, box] : cases) {
        EXPECT_EQ(chooseScanEndBox(stats, rows), box) << testing::PrintToString(stats);
    }
}

TEST(ScanEndExplanation, VolumeBoxNamesEachRootOnAVolumeWithoutStreamsEscaped) {
    streamscan::FakeFileSystem fs(streamscan::PathStyle::windows);
    fs.addVolume(u"C:\\", u"NTFS", true);
    fs.addVolume(u"E:\\", u"FAT32", false);
    fs.addVolume(u"G:\\", u"", false);
    fs.addVolume(u"H:\\", u"ex\tFAT", false);
    for (const char16_t* folder : {u"C:\\data", u"E:\\photos", u"G:\\", u"H:\\odd\u202E"})
        fs.addFolder(folder);
    // A root on a volume that holds streams, or one that can no longer be asked, is not named.
    const ScanEndExplanation shown = scanEndExplanation(
        {.volumesWithoutStreams = 3, .cancelled = true}, true,
        {u"E:\\photos", u"C:\\data", u"G:\\", u"H:\\odd\u202E", u"Q:\\gone"}, fs);
    EXPECT_EQ(shown.box, ScanEndBox::volumeWithoutStreams);
    EXPECT_EQ(shown.text,
              u"Alternate data streams are an NTFS feature, and 3 locations in this scan sit on a "
              u"volume that cannot hold one.\n\n    E:\\photos  (FAT32)\n    G:\\\n    "
              u"H:\\odd<U+202E>  (ex<U+0009>FAT)\n\nNothing was listed for those locations. That "
              u"is not the same as their being clean: a volume like this has nowhere to keep a "
              u"stream.\n\nThe scan was also stopped before it finished, so the rest of what was "
              u"chosen was not covered either.");
}

TEST(ScanEndExplanation, EmptyResultBoxListsWhatWasNotReachedInFixedOrder) {
    const ScanStats all{.accessDenied = 1,
                        .listFailed = 1234,
                        .unreadableStreams = 3,
                        .linksNotFollowed = 4,
                        .cancelled = true};
    streamscan::FakeFileSystem fs(streamscan::PathStyle::posix);
    const ScanEndExplanation shown = scanEndExplanation(all, false, {u"/"}, fs);
    EXPECT_EQ(shown.box, ScanEndBox::emptyResult);
    EXPECT_EQ(shown.text,
              u"No alternate data streams were listed, and the scan was stopped before it "
              u"finished:\n    Access denied: 1\n    Could not be listed: " +
                  streamscan::groupedNumber(1234) +
                  u"\n    Streams found but unreadable: 3\n    Junctions and symlinks not "
                  u"followed: 4\n\nA scan that was stopped says nothing at all about the part of "
                  u"the tree it never reached, and where several locations were chosen it may "
                  u"not have opened some of them.\n\nAn empty list only means \"nothing found\" "
                  u"for the part of the tree that could be read.");
}

TEST(ExportTexts, DefaultFileNameIsStampedWithTheLocalTime) {
    EXPECT_EQ(defaultExportFileName({2025, 12, 31, 23, 59, 59}), u"Tessalin_20251231_235959.csv");
    EXPECT_EQ(defaultExportFileName({12345, 1, 2, 3, 4, 5}), u"Tessalin_123450102_030405.csv");
}

TEST(ExportTexts, EmptyListQuotesWhatTheLastScanMissedButNotSkippedLinks) {
    const std::u16string empty = u"There is nothing to export: the list is empty.";
    EXPECT_EQ(nothingToExportMessage({.linksNotFollowed = 4}).text, empty);
    const ScanStats missed{.accessDenied = 3, .linksNotFollowed = 1};
    const BoxMessage box = nothingToExportMessage(missed);
    EXPECT_EQ(box.text, empty + u"\n\nThe last scan did not cover everything - " +
                            notExaminedSummary(missed, true) +
                            u" - so an empty report would not mean much.");
    EXPECT_EQ(box.style, kInformationBox);
}

TEST(ExportTexts, SuccessNamesRowsAndEscapedPathAndMentionsTheCoverageNote) {
    const BoxMessage one = exportSucceededMessage(1, u"C:\\r\\a\u202Etxt.csv", {});
    EXPECT_EQ(one.text, u"Exported 1 row to:\nC:\\r\\a<U+202E>txt.csv");
    EXPECT_EQ(one.style, kInformationBox);
    EXPECT_EQ(exportSucceededMessage(7, u"C:\\r.csv", {.linksNotFollowed = 1}).text,
              u"Exported 7 rows to:\nC:\\r.csv\n\nThe report ends with a note of what the scan "
              u"did not reach.");
    EXPECT_EQ(exportSucceededStatusText(1), u"Exported 1 row.");
}

TEST(ExportTexts, FailuresSayWhyInTheBoxAndBrieflyInTheStatusLine) {
    const BoxMessage bare = exportFailedMessage(u"D:\\x\ny.csv", u"");
    EXPECT_EQ(bare.text, u"The report could not be written to:\nD:\\x<U+000A>y.csv");
    EXPECT_EQ(bare.style, kErrorBox);
    // The writer's own text arrives already escaped and is shown as it is.
    EXPECT_EQ(exportFailedMessage(u"D:\\r.csv", u"Could not create D:\\<U+000A>").text,
              u"The report could not be written to:\nD:\\r.csv\n\nCould not create D:\\<U+000A>");
    EXPECT_EQ(saveDialogFailedStatusText(12290),
              u"The save dialog could not be opened (error 12290).");
}

TEST(ColumnText, EachColumnOfAStreamRowAndAnItemRow) {
    // Hosts that are their own parents: their paths are the same in either path style.
    const StreamRecord stream{.hostFolder = u"/tool.zip",
                              .streamName = u"Zone.Identifier",
                              .streamType = u"$Data",
                              .streamSize = 26,
                              .hostAttributes = 0x2,
                              .hostModified = 133000000000000000ull,
                              .zone = {.isZoneIdentifier = true,
                                       .zoneIdParsed = true,
                                       .zone = 3,
                                       .hostUrl = u"https://example.com/x.zip"},
                              .severity = 2,
                              .note = u"Downloaded"};
    const StreamRecord item{.hostFolder = u"/plain.txt", .hostAttributes = 0x1};
    const struct {
        int column;
        std::u16string stream, item;
    } cases[] = {
        {kColumnSeverity, u"Alert", u""},
        {kColumnPath, u"/tool.zip", u"/plain.txt"},
        {kColumnStream, u"Zone.Identifier", u"(no alternate streams)"},
        {kColumnSize, u"26 B", u""},
        {kColumnZone, u"Internet", u""},
        {kColumnHostUrl, u"https://example.com/x.zip", u""},
        {kColumnNote, u"Downloaded", u""},
        {kColumnModified, streamscan::timeText(stream.hostModified), streamscan::timeText(0)},
        {kColumnAttributes, u"Hidden", u"Read-only"},
        {-1, u"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(columnText(stream, c.column), c.stream) << c.column;
        EXPECT_EQ(columnText(item, c.column), c.item) << c.column;
    }
    // The type is shown only when it is not $DATA.
    EXPECT_EQ(columnText({.streamName = u"n", .streamType = u"$EA"}, kColumnStream), u"n:$EA");
    EXPECT_EQ(columnText({.streamName = u"n", .streamType = u"$DATA2"}, kColumnStream),
              u"n:$DATA2");
    // A soft hyphen, which collation ignores, does not make a type $DATA.
    EXPECT_EQ(columnText({.streamName = u"n", .streamType = u"$DA\u00ADTA"}, kColumnStream),
              u"n:$DA\u00ADTA");
}

TEST(ColumnText, NoteSaysOnceThatContentCouldNotBeRead) {
    const struct {
        bool unreadable;
        std::u16string note, shown;
    } cases[] = {
        {false, u"Hidden executable", u"Hidden executable"},
        {true, u"", u"Stream content could not be read"},
        {true, u"Could Not Be Read", u"Could Not Be Read; content could not be read"},
        {true, u"Large stream", u"Large stream; content could not be read"},
    };
    for (const auto& c : cases) {
        const StreamRecord record{.streamName = u"s", .unreadable = c.unreadable, .note = c.note};
        EXPECT_EQ(columnText(record, kColumnNote), c.shown);
    }
}

}  // namespace
}  // namespace tessalin
