#include "frontend/delete_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/removal.h"
#include "engine/value_text.h"
#include "support/fake_file_system.h"

namespace tessalin {
namespace {

using streamscan::PathStyle;
using streamscan::RemovalOutcome;
using streamscan::RemovalResult;
using streamscan::RemovalTarget;
using streamscan::StreamRecord;

constexpr PathStyle kWin = PathStyle::windows;

StreamRecord streamRow(std::u16string folder, std::u16string name, std::u16string stream,
                       std::u16string type = u"$DATA") {
    StreamRecord record;
    record.hostFolder = std::move(folder);
    record.hostName = std::move(name);
    record.streamName = std::move(stream);
    record.streamType = std::move(type);
    return record;
}

StreamRecord itemRow(std::u16string folder, std::u16string name) {
    return streamRow(std::move(folder), std::move(name), u"", u"");
}

// Appends rather than `literal + string`, which MinGW g++ 12 warns about falsely.
std::u16string numbered(std::u16string_view prefix, std::uint64_t n) {
    std::u16string text(prefix);
    text += streamscan::plainDecimal(n);
    return text;
}

std::vector<std::u16string> numberedLines(int count) {
    std::vector<std::u16string> lines;
    for (int i = 1; i <= count; ++i)
        lines.push_back(numbered(u"n", i));
    return lines;
}

constexpr std::u16string_view kClosingParagraphs =
    u"\n\nRemoving Zone.Identifier is the same thing as the Unblock button on a file's "
    u"Properties page: the file itself is untouched, and Windows stops treating it as "
    u"something that came from elsewhere."
    u"\n\nRemoving any other stream throws its contents away. Streams do not go to the "
    u"Recycle Bin, and nothing here can put one back."
    u"\n\nRemove them?";

TEST(DeleteTexts, DisplayNameShowsOnlyUnusualTypesAndEscapesTheWhole) {
    EXPECT_EQ(removalDisplayName(u"C:\\dl\\tool.zip", u"Zone.Identifier", u"$DATA"),
              u"C:\\dl\\tool.zip : Zone.Identifier");
    EXPECT_EQ(removalDisplayName(u"C:\\a", u"s", u"$data"), u"C:\\a : s");
    EXPECT_EQ(removalDisplayName(u"C:\\a", u"s", u""), u"C:\\a : s");
    EXPECT_EQ(removalDisplayName(u"C:\\a", u"s", u"$EA"), u"C:\\a : s:$EA");
    EXPECT_EQ(removalDisplayName(u"C:\\evil\u202Etxt.exe", u"x\ny", u""),
              u"C:\\evil<U+202E>txt.exe : x<U+000A>y");
}

TEST(DeleteTexts, SameTargetFollowsTheCaseRulesOfThePathStyle) {
    struct Case {
        const char* label;
        RemovalTarget a, b;
        PathStyle style;
        bool same;
    };
    const Case cases[] = {
        {"identical", {u"C:\\a", u"s", u"$DATA"}, {u"C:\\a", u"s", u"$DATA"}, kWin, true},
        {"case differs", {u"C:\\A", u"ZONE", u"$data"}, {u"c:\\a", u"zone", u"$DATA"}, kWin, true},
        {"empty type is $DATA", {u"C:\\a", u"s", u""}, {u"C:\\a", u"s", u"$Data"}, kWin, true},
        {"other type", {u"C:\\a", u"s", u""}, {u"C:\\a", u"s", u"$EA"}, kWin, false},
        {"other stream", {u"C:\\a", u"s", u""}, {u"C:\\a", u"t", u""}, kWin, false},
        {"longer host", {u"C:\\a", u"s", u""}, {u"C:\\ab", u"s", u""}, kWin, false},
        {"posix exact", {u"/d/a", u"s", u""}, {u"/d/a", u"s", u"$data"}, PathStyle::posix, true},
        {"posix host case", {u"/d/A", u"s", u""}, {u"/d/a", u"s", u""}, PathStyle::posix, false},
        {"posix name case", {u"/d/a", u"S", u""}, {u"/d/a", u"s", u""}, PathStyle::posix, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sameRemovalTarget(c.a, c.b, c.style), c.same) << c.label;
        EXPECT_EQ(sameRemovalTarget(c.b, c.a, c.style), c.same) << c.label;
    }
}

TEST(DeleteTexts, NameListStopsAtItsLimitAndCountsTheRest) {
    EXPECT_EQ(nameListText({}, 12), u"");
    EXPECT_EQ(nameListText({u"a", u"b"}, 12), u"\n    a\n    b");
    const std::u16string twelve = nameListText(numberedLines(12), 12);
    EXPECT_EQ(twelve.find(u"more"), std::u16string::npos);
    EXPECT_TRUE(twelve.ends_with(u"\n    n12"));
    EXPECT_TRUE(nameListText(numberedLines(15), 12).ends_with(u"\n    n12\n    ... and 3 more"));
    const std::u16string failures = nameListText(numberedLines(25), kFailureListLimit);
    EXPECT_TRUE(failures.ends_with(u"\n    n20\n    ... and 5 more"));
    EXPECT_EQ(failures.find(u"n21"), std::u16string::npos);
}

TEST(DeletePlanning, MergesDuplicatesAndSetsAsideWhatCannotBeRemoved) {
    const std::vector<StreamRecord> records = {
        streamRow(u"C:\\dl", u"tool.zip", u"Zone.Identifier"),         // 0
        itemRow(u"C:\\dl", u"empty.txt"),                              // 1
        streamRow(u"C:\\dl", u"tool.zip", u"notes", u""),              // 2
        streamRow(u"c:\\DL", u"TOOL.zip", u"zone.identifier"),         // 3: same stream as 0
        streamRow(u"C:\\dl", u"x.bin", u"idx", u"$INDEX_ALLOCATION"),  // 4: refused
        streamRow(u"C:\\dl", u"x.bin", u"idx", u"$INDEX_ALLOCATION"),  // 5: refused again
    };
    const DeletePlan plan = planDelete(records, {3, 1, 0, 99, 2, 4, 5}, kWin);

    ASSERT_EQ(plan.targets.size(), 2u);
    EXPECT_EQ(plan.targets[0].hostPath, u"c:\\DL\\TOOL.zip");  // first appearance wins
    EXPECT_EQ(plan.targets[1].streamName, u"notes");
    EXPECT_EQ(plan.rowGroups, (std::vector<std::vector<std::uint64_t>>{{3, 0}, {2}}));
    EXPECT_EQ(plan.targetNames, (std::vector<std::u16string>{u"c:\\DL\\TOOL.zip : zone.identifier",
                                                             u"C:\\dl\\tool.zip : notes"}));
    EXPECT_EQ(plan.rowsWithoutStream, 1u);
    ASSERT_EQ(plan.refusedLines.size(), 2u);  // refused rows are never merged
    EXPECT_EQ(plan.refusedLines[0],
              u"C:\\dl\\x.bin : idx:$INDEX_ALLOCATION  --  The stream type is "
              u"$INDEX_ALLOCATION, not $DATA");
}

TEST(DeletePlanning, LargeSelectionsStillFindEveryDuplicate) {
    std::vector<StreamRecord> records;
    std::vector<std::uint64_t> selected;
    for (int i = 0; i < 3000; ++i) {
        records.push_back(streamRow(u"C:\\Users\\Sis", numbered(u"file", i), u"Zone.Identifier"));
        selected.push_back(records.size() - 1);
    }
    for (int i = 2999; i >= 0; --i) {
        records.push_back(
            streamRow(u"c:\\USERS\\SIS", numbered(u"FILE", i), u"ZONE.IDENTIFIER", u"$data"));
        selected.push_back(records.size() - 1);
    }
    const DeletePlan plan = planDelete(records, selected, kWin);
    ASSERT_EQ(plan.targets.size(), 3000u);
    EXPECT_EQ(plan.rowGroups[0], (std::vector<std::uint64_t>{0, 5999}));
    EXPECT_EQ(plan.rowGroups[2999], (std::vector<std::uint64_t>{2999, 3000}));
    EXPECT_EQ(planDelete(records, selected, PathStyle::posix).targets.size(), 6000u);
}

TEST(DeletePlanning, ConfirmationNamesTargetsLeftoversAndDefaultsToNo) {
    const std::vector<StreamRecord> records = {
        streamRow(u"C:\\dl", u"tool.zip", u"Zone.Identifier"),
        streamRow(u"C:\\dl", u"tool.zip", u"notes"),
        itemRow(u"C:\\dl", u"plain.txt"),
    };
    const BoxMessage box = confirmationMessage(planDelete(records, {0, 1, 2}, kWin));
    EXPECT_EQ(box.text,
              u"Remove 2 streams from 1 file?\n"
              u"\n    C:\\dl\\tool.zip : Zone.Identifier"
              u"\n    C:\\dl\\tool.zip : notes"
              u"\n\n1 selected row has no stream to remove and will be left alone." +
                  std::u16string(kClosingParagraphs));
    EXPECT_EQ(messageBoxFlags(box.style), 0x134u);  // MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2

    const DeletePlan single = planDelete(records, {1}, kWin);
    EXPECT_EQ(confirmationMessage(single).text,
              u"Remove 1 stream from 1 file?\n\n    C:\\dl\\tool.zip : notes" +
                  std::u16string(kClosingParagraphs));
    EXPECT_EQ(confirmationMessage(single, {false, false}).text,
              u"Remove 1 stream from 1 file?\n\n    C:\\dl\\tool.zip : notes\n\nRemove them?");
}

TEST(DeletePlanning, ConfirmationListsTwelveNamesAndRefusedRows) {
    std::vector<StreamRecord> records;
    std::vector<std::uint64_t> selected;
    for (int i = 0; i < 15; ++i) {
        records.push_back(streamRow(numbered(u"C:\\f", i % 2), u"a", numbered(u"s", i)));
        selected.push_back(i);
    }
    records.push_back(streamRow(u"C:\\f", u"b", u"bad:name"));
    selected.push_back(15);
    const std::u16string text = confirmationMessage(planDelete(records, selected, kWin)).text;
    EXPECT_TRUE(text.starts_with(u"Remove 15 streams from 2 files?\n\n    C:\\f0\\a : s0"));
    EXPECT_NE(text.find(u"\n    C:\\f1\\a : s11\n    ... and 3 more\n\n1 selected row cannot be "
                        u"removed and will be left alone:\n    C:\\f\\b : bad:name  --  The "
                        u"stream name contains \\, / or :, which would name another file\n\n"),
              std::u16string::npos)
        << std::string(text.begin(), text.end());
}

TEST(DeletePlanning, NothingRemovableExplainsItemsAndRefusals) {
    EXPECT_EQ(messageBoxFlags(selectStreamsFirstMessage().style), 0x40u);  // MB_ICONINFORMATION
    EXPECT_EQ(selectStreamsFirstMessage().text, u"Select the streams to remove first.");

    const std::vector<StreamRecord> items = {itemRow(u"C:\\", u"a"), itemRow(u"C:\\", u"b"),
                                             itemRow(u"C:\\", u"c")};
    const DeletePlan onlyItems = planDelete(items, {0, 1, 2}, kWin);
    EXPECT_TRUE(onlyItems.targets.empty());
    const BoxMessage box = nothingRemovableMessage(onlyItems);
    EXPECT_EQ(box.text,
              u"Nothing in this selection can be removed.\n\n3 selected rows are items "
              u"with no alternate stream at all, so there is nothing there to remove.");
    EXPECT_EQ(box.style, kWarningBox);

    const std::vector<StreamRecord> mixed = {itemRow(u"C:\\", u"a"), streamRow(u"", u"", u"s")};
    EXPECT_EQ(nothingRemovableMessage(planDelete(mixed, {0, 1}, kWin)).text,
              u"Nothing in this selection can be removed.\n\n1 selected row is an item with no "
              u"alternate stream at all, so there is nothing there to remove.\n\n1 row was "
              u"refused:\n     : s  --  The host path is empty");
}

TEST(DeleteRun, RemovedRowsLeaveTheListAndFailuresAreNamed) {
    streamscan::FakeFileSystem fs(kWin);
    fs.addFile(u"C:\\dl\\tool.zip");
    fs.addStream(u"C:\\dl\\tool.zip", u"Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
    fs.addFile(u"C:\\dl\\locked.txt", {}, 0x21);  // read-only host
    fs.addStream(u"C:\\dl\\locked.txt", u"notes", "x");
    const std::vector<StreamRecord> records = {
        streamRow(u"C:\\dl", u"tool.zip", u"Zone.Identifier"),
        streamRow(u"C:\\dl", u"locked.txt", u"notes"),
        streamRow(u"C:\\dl", u"TOOL.ZIP", u"zone.identifier"),
        streamRow(u"C:\\dl", u"gone.txt", u"s"),
    };
    const DeletePlan plan = planDelete(records, {0, 1, 2, 3}, kWin);
    const RemovalResult result = streamscan::RemoveStreams(plan.targets, fs);
    const DeleteAftermath after = applyRemovalResult(plan, result, records.size());

    EXPECT_FALSE(fs.hasStream(u"C:\\dl\\tool.zip", u"Zone.Identifier"));
    EXPECT_EQ(after.removedMask, (std::vector<bool>{true, false, true, false}));
    const BoxMessage box = removalResultMessage(result, after.failureLines);
    EXPECT_EQ(box.text,
              u"Removed 1 stream.\n\n2 could not be removed:"
              u"\n    C:\\dl\\locked.txt : notes  --  The host file is read-only (5)"
              u"\n    C:\\dl\\gone.txt : s  --  Stream not found (2)");
    EXPECT_EQ(box.style, kWarningBox);
    EXPECT_EQ(removalStatusText(result.removedCount), u"Removed 1 stream. Press F5 to scan again.");
}

TEST(DeleteRun, ResultTextsForSuccessAndTotalFailure) {
    RemovalResult allRemoved;
    allRemoved.removedCount = 2;
    const BoxMessage ok = removalResultMessage(allRemoved, {});
    EXPECT_EQ(ok.text, u"Removed 2 streams.");
    EXPECT_EQ(ok.style, kInformationBox);

    RemovalResult noneRemoved;
    noneRemoved.failedCount = 1;
    noneRemoved.outcomes.push_back({u"C:\\a", u"s", u"", false, u"Access denied (5)"});
    const BoxMessage failed =
        removalResultMessage(noneRemoved, {u"C:\\a : s  --  Access denied (5)"});
    EXPECT_TRUE(failed.text.starts_with(u"Removed 0 streams.\n\n1 could not be removed:"));
    EXPECT_EQ(failed.style, kWarningBox);
    EXPECT_EQ(removalStatusText(0), u"Removed 0 streams. Press F5 to scan again.");
}

TEST(DeleteRun, TargetsNeverReachedAreStillReportedAsNotRemoved) {
    const std::vector<StreamRecord> records = {streamRow(u"C:\\", u"a", u"s"),
                                               streamRow(u"C:\\", u"b", u"t")};
    const DeletePlan plan = planDelete(records, {0, 1}, kWin);
    RemovalResult cutShort;  // memory ran out after the first target
    cutShort.removedCount = 1;
    cutShort.failedCount = 1;
    cutShort.outcomes.push_back({u"C:\\a", u"s", u"$DATA", true, u""});
    const DeleteAftermath after = applyRemovalResult(plan, cutShort, records.size());
    EXPECT_EQ(after.removedMask, (std::vector<bool>{true, false}));
    const BoxMessage box = removalResultMessage(cutShort, after.failureLines);
    EXPECT_EQ(box.text, u"Removed 1 stream.\n\n1 could not be removed:\n    C:\\b : t");
    EXPECT_EQ(box.style, kWarningBox);
}

}  // namespace
}  // namespace tessalin
