// The plain side of the filter bar, a removal stopped part-way, the Not
// Examined dialog's rows and the details view's digest.
#include <gtest/gtest.h>

#include "engine/path_forms.h"
#include "engine/removal.h"
#include "support/fake_file_system.h"
#include "window/details_text.h"
#include "window/filter_bar.h"
#include "window/layout.h"
#include "window/places_table.h"
#include "window/removal_progress.h"
#include "window/save_texts.h"

namespace tessalin {
namespace {

using streamscan::FakeFileSystem;
using streamscan::StreamRecord;

TEST(FilterBar, ReadsTheConsolesFiltersAndSetsAsideASizeItCannotRead) {
    const struct {
        FilterBarInput input;
        std::vector<std::u16string> patterns;
        std::uint64_t minimumSize;
        bool understood;
    } cases[] = {
        {{u"", false, u""}, {}, 0, true},
        {{u"  Zone.* ", true, u" 64k"}, {u"Zone.*"}, 65536, true},
        {{u"x", false, u"12 MB"}, {u"x"}, 0, false},
    };
    for (const auto& c : cases) {
        const FilterBarReading reading = readFilterBar(c.input);
        EXPECT_EQ(reading.filter.namePatterns, c.patterns);
        EXPECT_EQ(reading.filter.minimumSize, c.minimumSize);
        EXPECT_EQ(reading.filter.flaggedOnly, c.input.flaggedOnly);
        EXPECT_EQ(reading.sizeUnderstood, c.understood);
    }
    EXPECT_EQ(streamsPartText(u"3 streams listed", 0), u"3 streams listed");
    EXPECT_EQ(streamsPartText(u"3 streams listed", 1234),
              u"3 streams listed, 1,234 hidden by the filter");
    EXPECT_EQ(nothingMatchesText(1), u"Nothing matches the filter: 1 row is hidden.");
}

TEST(RemovalProgress, ACancelledRunSaysWhatStaysListedInsteadOfCallingItFailed) {
    EXPECT_EQ(removalProgressText(1234, 50000), u"Removing 1,234 of 50,000\u2026");
    DeletePlan plan;
    for (const char16_t* name : {u"a", u"b", u"c"}) {
        plan.targets.push_back({.hostPath = u"C:\\f", .streamName = name});
        plan.targetNames.push_back(removalDisplayName(u"C:\\f", name, u""));
    }
    plan.rowGroups = {{0}, {1}, {2}};
    const streamscan::RemovalResult result{
        .removedCount = 1, .failedCount = 2, .outcomes = {{u"C:\\f", u"a", u"", true, u""}}};
    const RemovalEnd cancelled = removalEnd(plan, result, 3, true);
    EXPECT_EQ(cancelled.removedMask, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(cancelled.box.text,
              u"Removed 1 stream.\n\nThe removal was cancelled: 2 streams were "
              u"not reached and stay in the list.");
    EXPECT_EQ(cancelled.box.style, kWarningBox);
    // Cut short by anything else, the targets not reached are named as failures.
    const auto aftermath = applyRemovalResult(plan, result, 3);
    EXPECT_EQ(removalEnd(plan, result, 3, false).box.text,
              removalResultMessage(result, aftermath.failureLines).text);
}

TEST(PlacesTable, EscapedRowsSortByEitherColumnBothWaysAndCopyAsTabbedLines) {
    PlacesTable table({{u"C:\\b\x1b", streamscan::PlaceKind::accessDenied, 5},
                       {u"C:\\a", streamscan::PlaceKind::linkNotFollowed, 0},
                       {u"C:\\c", streamscan::PlaceKind::accessDenied, 5}});
    const std::u16string b = u"C:\\b<U+001B>";
    const std::u16string denied = table.rows()[0].reason;
    const std::u16string link = table.rows()[1].reason;
    table.sortBy(0);
    EXPECT_EQ(table.copyText(),
              u"C:\\a\t" + link + u"\r\n" + b + u"\t" + denied + u"\r\nC:\\c\t" + denied);
    table.sortBy(1);
    table.sortBy(1);
    EXPECT_FALSE(table.ascending());
    EXPECT_EQ(table.rows()[0].place, link < denied ? u"C:\\c" : u"C:\\a");
    EXPECT_EQ(copiedPlacesText(1), u"Copied 1 place to the clipboard.");
}

TEST(PlacesDialog, FitsTheWorkAreaAtAnyDpi) {
    EXPECT_EQ(placesDialogRect(96, {0, 0, 1920, 1040}), (Rect{580, 280, 1340, 760}));
    EXPECT_EQ(placesDialogRect(192, {0, 0, 1280, 720}), (Rect{0, 0, 1280, 720}));
    const PlacesDialogLayout layout = placesDialogLayout(744, 441, 96);
    EXPECT_EQ(layout.closeButton, (Rect{646, 407, 736, 433}));
    EXPECT_EQ(layout.list.bottom, layout.closeButton.top - 6);
}

TEST(DetailsDigest, TheListedStreamIsReadWholeOrWhyNotIsSaid) {
    FakeFileSystem fs;
    fs.addStream(u"C:\\f", u"s", "abc");
    fs.addStream(u"C:\\g", u"s", "x");
    fs.setFault(streamscan::FakeOp::read, streamscan::streamPathOf(u"C:\\g", u"s", u"$DATA"),
                {streamscan::kErrorLockViolation});
    const StreamRecord abc{.hostFolder = u"C:\\", .hostName = u"f", .streamName = u"s"};
    const StreamRecord locked{.hostFolder = u"C:\\", .hostName = u"g", .streamName = u"s"};
    const std::u16string digest = streamDigestText(fs, abc);
    EXPECT_EQ(digest, u"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_NE(detailsText(abc, streamscan::PathStyle::windows, digest)
                  .find(u"Path:\tC:\\f:s:$DATA\nSHA-256:\t" + digest + u"\n"),
              std::u16string::npos);
    EXPECT_EQ(streamDigestText(fs, locked),
              u"not known: the stream could not be read (" +
                  streamscan::WindowsErrorText(streamscan::kErrorLockViolation) + u")");
    EXPECT_EQ(streamDigestText(fs, StreamRecord{.hostFolder = u"C:\\", .hostName = u"f"}), u"");
}

}  // namespace
}  // namespace tessalin

namespace tessalin {
namespace {

TEST(SaveTexts, StreamRowsAreSavedAndTheEndSaysWhatWasNotWithTheFolderOffered) {
    const std::vector<StreamRecord> records = {{.hostName = u"a", .streamName = u"s"},
                                               {.hostName = u"b"}};
    EXPECT_EQ(streamRowsToSave(records, {1, 0, 7}), std::vector<std::uint64_t>{0});
    EXPECT_EQ(saveProgressText(12, 3000), u"Saving 12 of 3,000\u2026");
    const BoxMessage all = savedMessage({2, 0, 0}, u"C:\\out\x1b");
    EXPECT_EQ(all.text, u"Saved 2 streams to:\nC:\\out<U+001B>\n\nOpen the folder?");
    EXPECT_EQ(all.style.buttons, BoxButtons::yesNo);
    EXPECT_EQ(savedMessage({1, 1, 3}, u"D:\\x").text,
              u"Saved 1 stream to:\nD:\\x\n\n1 stream could not be saved; manifest.json says "
              u"why.\n\nSaving was cancelled: 3 streams were not reached.\n\nOpen the folder?");
}

}  // namespace
}  // namespace tessalin
