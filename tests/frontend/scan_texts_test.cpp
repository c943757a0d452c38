#include "frontend/scan_texts.h"

#include <gtest/gtest.h>

#include "engine/value_text.h"
#include "frontend/root_preparation.h"
#include "support/fake_file_system.h"
#include "support/scan_stats_printer.h"

namespace tessalin {
namespace {

using streamscan::ScanStats;

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
        {{.listFailed = 1}, false, emptyResult},
        {{.unreadableStreams = 1}, false, emptyResult},
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
    // With no root to name, no empty line hangs after the sentence.
    EXPECT_TRUE(volumeMessageText({.volumesWithoutStreams = 1}, {u"Q:\\"}, fs)
                    .starts_with(u"Alternate data streams are an NTFS feature, and 1 location in "
                                 u"this scan sit on a volume that cannot hold one.\n\nNothing"));
    EXPECT_EQ(scanEndExplanation({}, false, {u"C:\\data"}, fs).text, u"");
}

TEST(ScanEndExplanation, EmptyResultBoxListsWhatWasNotReachedInFixedOrder) {
    const std::u16string emptyList =
        u"\n\nAn empty list only means \"nothing found\" for the part of the tree that could be "
        u"read.";
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
                  u"not have opened some of them." +
                  emptyList);
    EXPECT_EQ(emptyResultMessageText({.accessDenied = 2}),
              u"No alternate data streams were listed, and the scan did not reach everything:\n"
              u"    Access denied: 2" +
                  emptyList);
}

}  // namespace
}  // namespace tessalin
