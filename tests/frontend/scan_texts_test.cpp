#include "frontend/scan_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/value_text.h"
#include "support/fake_file_system.h"

namespace tessalin {
namespace {

using streamscan::FakeFileSystem;
using streamscan::PathStyle;
using streamscan::ScanStats;

const std::u16string kNothingListedParagraph =
    u"\n\nNothing was listed for those locations. That is not the same as their being clean: "
    u"a volume like this has nowhere to keep a stream.";
const std::u16string kAlsoStoppedParagraph =
    u"\n\nThe scan was also stopped before it finished, so the rest of what was chosen was not "
    u"covered either.";
const std::u16string kStoppedParagraph =
    u"\n\nA scan that was stopped says nothing at all about the part of the tree it never "
    u"reached, and where several locations were chosen it may not have opened some of them.";
const std::u16string kEmptyListParagraph =
    u"\n\nAn empty list only means \"nothing found\" for the part of the tree that could be "
    u"read.";

TEST(ScanStatusTexts, StartProgressAndEndReadAsTheUserSeesThem) {
    ScanStats complete;
    ScanStats cancelled;
    cancelled.cancelled = true;
    cancelled.files = 7;
    struct Case {
        std::u16string actual;
        std::u16string expected;
    } cases[] = {
        {scanStartText({u"C:\\data"}, 0, 0), u"Scanning: C:\\data"},
        {scanStartText({u"C:\\evil\u202Etxt.exe"}, 0, 0), u"Scanning: C:\\evil<U+202E>txt.exe"},
        {scanStartText({u"C:\\data"}, 1, 0),
         u"Scanning: C:\\data (1 location was named twice and scanned once)"},
        {scanStartText({u"C:\\a", u"C:\\b"}, 1, 0),
         u"Scanning 2 locations... (1 location was named twice and scanned once)"},
        {scanStartText({u"C:\\a", u"C:\\a\\b", u"D:\\"}, 0, 1),
         u"Scanning 3 locations... (1 location sits inside another, so some streams are listed "
         u"twice)"},
        {scanProgressText(u"/srv/line\nbreak"), u"Scanning: /srv/line<U+000A>break"},
        {scanEndText(complete, 0, 0), u"Scan complete."},
        {scanEndText(complete, 2, 0),
         u"Scan complete. (2 locations were named twice and scanned once)"},
        {scanEndText(cancelled, 0, 0),
         u"Scan cancelled - what is listed covers only part of the tree."},
        {scanEndText(cancelled, 0, 2),
         u"Scan cancelled - what is listed covers only part of the tree. (2 locations sit inside "
         u"another, so some streams are listed twice)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.actual, c.expected);
    }
}

TEST(ScanEndBoxChoice, OnlyDoubtfulResultsBringUpABox) {
    struct Case {
        const char* label;
        ScanStats stats;
        bool rows;
        ScanEndBox box;
    };
    const auto stats = [](auto change) {
        ScanStats s;
        s.files = 10;
        s.folders = 2;
        change(s);
        return s;
    };
    const Case cases[] = {
        {"complete, nothing found", stats([](ScanStats&) {}), false, ScanEndBox::none},
        {"complete with rows", stats([](ScanStats&) {}), true, ScanEndBox::none},
        {"links alone", stats([](ScanStats& s) { s.linksNotFollowed = 4; }), false,
         ScanEndBox::none},
        {"denied, empty list", stats([](ScanStats& s) { s.accessDenied = 2; }), false,
         ScanEndBox::emptyResult},
        {"denied, rows listed", stats([](ScanStats& s) { s.accessDenied = 2; }), true,
         ScanEndBox::none},
        {"list failed", stats([](ScanStats& s) { s.listFailed = 1; }), false,
         ScanEndBox::emptyResult},
        {"unreadable", stats([](ScanStats& s) { s.unreadableStreams = 1; }), false,
         ScanEndBox::emptyResult},
        {"cancelled, empty list", stats([](ScanStats& s) { s.cancelled = true; }), false,
         ScanEndBox::emptyResult},
        {"cancelled with rows", stats([](ScanStats& s) { s.cancelled = true; }), true,
         ScanEndBox::none},
        {"volume, empty list", stats([](ScanStats& s) { s.volumesWithoutStreams = 1; }), false,
         ScanEndBox::volumeWithoutStreams},
        {"volume wins over rows", stats([](ScanStats& s) { s.volumesWithoutStreams = 1; }), true,
         ScanEndBox::volumeWithoutStreams},
        {"volume wins over failures", stats([](ScanStats& s) {
             s.volumesWithoutStreams = 1;
             s.accessDenied = 3;
             s.cancelled = true;
         }),
         false, ScanEndBox::volumeWithoutStreams},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(chooseScanEndBox(c.stats, c.rows), c.box) << c.label;
    }
}

TEST(VolumeMessage, NamesEachRootOnAVolumeWithoutStreams) {
    FakeFileSystem fs(PathStyle::windows);
    fs.addVolume(u"C:\\", u"NTFS", true);
    fs.addVolume(u"E:\\", u"FAT32", false);
    fs.addVolume(u"F:\\", u"", false);
    fs.addVolume(u"G:\\", u"ex\tFAT", false);
    fs.addFolder(u"C:\\data");
    fs.addFolder(u"E:\\photos");
    fs.addFolder(u"F:\\");
    fs.addFolder(u"G:\\odd\u202Ename");
    const std::u16string oneLocation =
        u"Alternate data streams are an NTFS feature, and 1 location in this scan sit on a volume "
        u"that cannot hold one.";

    ScanStats one;
    one.volumesWithoutStreams = 1;
    EXPECT_EQ(volumeMessageText(one, {u"E:\\photos"}, fs),
              oneLocation + u"\n\n    E:\\photos  (FAT32)" + kNothingListedParagraph);
    // A root on a volume that holds streams is not named.
    EXPECT_EQ(volumeMessageText(one, {u"C:\\data", u"E:\\photos"}, fs),
              oneLocation + u"\n\n    E:\\photos  (FAT32)" + kNothingListedParagraph);
    // No file-system name: no parenthesis at all.
    EXPECT_EQ(volumeMessageText(one, {u"F:\\"}, fs),
              oneLocation + u"\n\n    F:\\" + kNothingListedParagraph);
    // Names from the disk are shown escaped.
    EXPECT_EQ(
        volumeMessageText(one, {u"G:\\odd\u202Ename"}, fs),
        oneLocation + u"\n\n    G:\\odd<U+202E>name  (ex<U+0009>FAT)" + kNothingListedParagraph);

    ScanStats three;
    three.volumesWithoutStreams = 3;
    three.cancelled = true;
    EXPECT_EQ(
        volumeMessageText(three, {u"E:\\photos", u"C:\\data", u"F:\\", u"G:\\odd\u202Ename"}, fs),
        u"Alternate data streams are an NTFS feature, and 3 locations in this scan sit on a "
        u"volume that cannot hold one.\n\n    E:\\photos  (FAT32)\n    F:\\\n    "
        u"G:\\odd<U+202E>name  (ex<U+0009>FAT)" +
            kNothingListedParagraph + kAlsoStoppedParagraph);

    // A volume that can no longer be asked (unknown) is counted but not named,
    // and no empty line hangs after the sentence.
    EXPECT_EQ(volumeMessageText(one, {u"Q:\\gone"}, fs), oneLocation + kNothingListedParagraph);
}

TEST(EmptyResultMessage, SaysWhyAnEmptyListIsNotClean) {
    ScanStats cancelledOnly;
    cancelledOnly.cancelled = true;
    ScanStats deniedAndLink;
    deniedAndLink.accessDenied = 2;
    deniedAndLink.linksNotFollowed = 1;
    ScanStats everything;
    everything.linksNotFollowed = 4;
    everything.unreadableStreams = 3;
    everything.listFailed = 1234;
    everything.accessDenied = 1;
    everything.cancelled = true;
    struct Case {
        const char* label;
        ScanStats stats;
        std::u16string text;
    } cases[] = {
        {"cancelled, nothing failed", cancelledOnly,
         u"No alternate data streams were listed, and the scan was stopped before it finished." +
             kStoppedParagraph + kEmptyListParagraph},
        {"denied and a junction", deniedAndLink,
         u"No alternate data streams were listed, and the scan did not reach everything:\n"
         u"    Access denied: 2\n    Junctions and symlinks not followed: 1" +
             kEmptyListParagraph},
        {"every line, in fixed order", everything,
         u"No alternate data streams were listed, and the scan was stopped before it finished:\n"
         u"    Access denied: 1\n    Could not be listed: " +
             streamscan::groupedNumber(1234) +
             u"\n    Streams found but unreadable: 3\n    Junctions and symlinks not followed: 4" +
             kStoppedParagraph + kEmptyListParagraph},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(emptyResultMessageText(c.stats), c.text) << c.label;
    }
}

TEST(ScanEndExplanation, BuildsTheTextOfTheChosenBox) {
    FakeFileSystem fs(PathStyle::posix);
    fs.addVolume(u"/", u"ext4", true);
    fs.addVolume(u"/media/stick", u"vfat", false);
    fs.addFolder(u"/home/u");
    fs.addFolder(u"/media/stick/dcim");

    ScanStats volume;
    volume.volumesWithoutStreams = 1;
    volume.streams = 5;
    const ScanEndExplanation shown =
        scanEndExplanation(volume, true, {u"/home/u", u"/media/stick/dcim"}, fs);
    EXPECT_EQ(shown.box, ScanEndBox::volumeWithoutStreams);
    EXPECT_EQ(shown.text,
              u"Alternate data streams are an NTFS feature, and 1 location in this scan sit on a "
              u"volume that cannot hold one.\n\n    /media/stick/dcim  (vfat)" +
                  kNothingListedParagraph);

    ScanStats denied;
    denied.accessDenied = 1;
    const ScanEndExplanation empty = scanEndExplanation(denied, false, {u"/home/u"}, fs);
    EXPECT_EQ(empty.box, ScanEndBox::emptyResult);
    EXPECT_EQ(empty.text, emptyResultMessageText(denied));

    const ScanEndExplanation clean = scanEndExplanation(ScanStats{}, false, {u"/home/u"}, fs);
    EXPECT_EQ(clean.box, ScanEndBox::none);
    EXPECT_TRUE(clean.text.empty());
}

}  // namespace
}  // namespace tessalin
