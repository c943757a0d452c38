#include "frontend/delete_plan.h"

#include <gtest/gtest.h>

#include <numeric>

#include "engine/path_forms.h"
#include "engine/value_text.h"
#include "support/fake_file_system.h"

namespace tessalin {
namespace {

using streamscan::PathStyle;
using streamscan::StreamRecord;
using Lines = std::vector<std::u16string>;

constexpr PathStyle kWin = PathStyle::windows;

StreamRecord row(std::u16string folder, std::u16string name, std::u16string stream,
                 std::u16string type = u"") {
    return {.hostFolder = folder, .hostName = name, .streamName = stream, .streamType = type};
}

TEST(DeleteTexts, DisplayNamesAndNameLists) {
    EXPECT_EQ(removalDisplayName(u"C:\\a\u202E", u"x\ny", u"$EA"),
              u"C:\\a<U+202E> : x<U+000A>y:$EA");
    const Lines three = {u"a", u"b", u"c"};
    EXPECT_EQ(nameListText(three, 2), u"\n    a\n    b\n    ... and 1 more");
    // Lines that were never made count too.
    EXPECT_EQ(nameListText(three, 3, 1237),
              u"\n    a\n    b\n    c\n    ... and " + streamscan::groupedNumber(1234) + u" more");
}

TEST(DeletePlanning, MergesTheSameStreamByThePathStylesRulesAndSetsAsideTheRest) {
    const std::vector<StreamRecord> records = {
        row(u"C:\\dl", u"tool.zip", u"Zone.Identifier", u"$DATA"),  // 0
        row(u"C:\\dl", u"empty.txt", u"", u""),                     // 1: an item row
        row(u"C:\\dl", u"tool.zip", u"notes", u"$EA"),              // 2: refused
        row(u"c:\\DL", u"TOOL.zip", u"zone.identifier", u"$data"),  // 3: the same stream as 0
        row(u"C:\\dl", u"tool.zip", u"notes", u"$EA"),              // 4: refused again
        row(u"C:\\dl", u"tool.zip", u"s"),                          // 5
        row(u"C:\\dl", u"tool.zip", u"S"),                          // 6: the same as 5 on Windows
        row(u"C:\\dl", u"tool.zipx", u"s"),                         // 7
    };
    const DeletePlan plan = planDelete(records, {3, 1, 0, 99, 2, 4, 6, 5, 7}, kWin);
    EXPECT_EQ(plan.targetNames, (Lines{u"c:\\DL\\TOOL.zip : zone.identifier",
                                       u"C:\\dl\\tool.zip : S", u"C:\\dl\\tool.zipx : s"}));
    EXPECT_EQ(plan.rowGroups, (std::vector<std::vector<std::uint64_t>>{{3, 0}, {6, 5}, {7}}));
    EXPECT_EQ(plan.rowsWithoutStream, 1u);
    const std::u16string refused =
        u"C:\\dl\\tool.zip : notes:$EA  --  The stream type is $EA, not $DATA";
    EXPECT_EQ(plan.refusedLines, (Lines{refused, refused}));  // refused rows are never merged
    // On a POSIX port, case makes another file and another attribute; and a
    // sidecar file or another attribute form of one name is another carrier.
    EXPECT_EQ(planDelete(records, {0, 3, 5, 6}, PathStyle::posix).targets.size(), 4u);
    std::vector<StreamRecord> carriers(3, row(u"/dl", u"a.exe", u"Zone.Identifier"));
    carriers[0].carrier = u"user.Zone.Identifier";
    carriers[1].carrier = u"user.DosStream.Zone.Identifier:$DATA";
    carriers[2].sidecarFile = true;
    EXPECT_EQ(planDelete(carriers, {0, 1, 2, 0}, PathStyle::posix).rowGroups,
              (std::vector<std::vector<std::uint64_t>>{{0, 0}, {1}, {2}}));
}

TEST(DeletePlanning, ConfirmationNamesTwelveTargetsThenLeftoversAndDefaultsToNo) {
    std::vector<StreamRecord> records = {row(u"C:\\dl", u"tool.zip", u"Zone.Identifier"),
                                         row(u"C:\\dl", u"plain.txt", u"", u"")};
    const BoxMessage box = confirmationMessage(planDelete(records, {0, 1}, kWin));
    EXPECT_EQ(box.text,
              u"Remove 1 stream from 1 file?\n\n    C:\\dl\\tool.zip : Zone.Identifier"
              u"\n\n1 selected row has no stream to remove and will be left alone."
              u"\n\nRemoving Zone.Identifier is the same thing as the Unblock button on a file's "
              u"Properties page: the file itself is untouched, and Windows stops treating it as "
              u"something that came from elsewhere."
              u"\n\nRemoving any other stream throws its contents away. Streams do not go to the "
              u"Recycle Bin, and nothing here can put one back.\n\nRemove them?");
    EXPECT_EQ(box.style, kQuestionDefaultNoBox);

    // Past twelve names the list says how many more there are; refused rows are listed apart.
    for (std::uint64_t i = 0; i < 14; ++i)
        records.push_back(row(i % 2 ? u"C:\\1" : u"C:\\0", u"a", streamscan::plainDecimal(i)));
    records.push_back(row(u"C:\\f", u"b", u"bad:name"));
    std::vector<std::uint64_t> selected(15);
    std::iota(selected.begin(), selected.end(), 2);
    const DeletePlan many = planDelete(records, selected, kWin);
    EXPECT_EQ(confirmationMessage(many, {false, false}).text,
              u"Remove 14 streams from 2 files?\n" + nameListText(many.targetNames, 12) +
                  u"\n\n1 selected row cannot be removed and will be left alone:" +
                  nameListText(many.refusedLines, 12) + u"\n\nRemove them?");
}

TEST(DeletePlanning, NothingRemovableExplainsItemsAndRefusals) {
    EXPECT_EQ(selectStreamsFirstMessage().text, u"Select the streams to remove first.");
    const std::vector<StreamRecord> rows = {row(u"C:\\", u"a", u""), row(u"", u"", u"s")};
    const BoxMessage box = nothingRemovableMessage(planDelete(rows, {0, 1}, kWin));
    EXPECT_EQ(box.style, kWarningBox);
    EXPECT_EQ(box.text,
              u"Nothing in this selection can be removed.\n\n1 selected row is an item with no "
              u"alternate stream at all, so there is nothing there to remove.\n\n1 row was "
              u"refused:\n     : s  --  The host path is empty");
}

TEST(DeleteRun, RemovedRowsLeaveTheListAndEveryTargetNotRemovedIsNamedWithItsReason) {
    streamscan::FakeFileSystem fs(kWin);
    fs.addStream(u"C:\\dl\\tool.zip", u"Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
    fs.addFile(u"C:\\dl\\locked.txt", {}, 0x21);  // read-only host
    fs.addStream(u"C:\\dl\\locked.txt", u"s", "x");
    fs.addStream(u"C:\\dl\\old.txt", u"s", "x");
    // Each row knows the item it was listed from, as a scan leaves it.
    const auto listed = [&](StreamRecord record) {
        streamscan::ItemFacts facts;
        fs.itemFacts(streamscan::hostPathOf(record, kWin), facts);
        record.hostIdentity = facts.identity;
        return record;
    };
    const std::vector<StreamRecord> records = {
        listed(row(u"C:\\dl", u"tool.zip", u"Zone.Identifier")),
        listed(row(u"C:\\dl", u"locked.txt", u"s")),
        listed(row(u"C:\\dl", u"TOOL.ZIP", u"zone.identifier")),
        listed(row(u"C:\\dl", u"gone.txt", u"s")), listed(row(u"C:\\dl", u"old.txt", u"s"))};
    // Another file of that name, with a stream of that name, since the scan.
    fs.addFile(u"C:\\dl\\old.txt");
    fs.addStream(u"C:\\dl\\old.txt", u"s", "new");
    const DeletePlan plan = planDelete(records, {0, 1, 2, 3, 4}, kWin);
    const streamscan::RemovalResult result = streamscan::RemoveStreams(plan.targets, fs);
    const DeleteAftermath after = applyRemovalResult(plan, result, records.size());
    EXPECT_FALSE(fs.hasStream(u"C:\\dl\\tool.zip", u"Zone.Identifier"));
    EXPECT_TRUE(fs.hasStream(u"C:\\dl\\old.txt", u"s"));
    EXPECT_EQ(after.removedMask, (std::vector<bool>{true, false, true, false, false}));
    const BoxMessage box = removalResultMessage(result, after.failureLines);
    EXPECT_EQ(box.text,
              u"Removed 1 stream.\n\n3 could not be removed:"
              u"\n    C:\\dl\\locked.txt : s  --  The host file is read-only (5)"
              u"\n    C:\\dl\\gone.txt : s  --  Stream not found (2)"
              u"\n    C:\\dl\\old.txt : s  --  The item changed since the scan");
    EXPECT_EQ(box.style, kWarningBox);
    EXPECT_EQ(removalResultMessage({.removedCount = 2}, {}).style, kInformationBox);

    // A run cut short by lack of memory names the targets it never reached too.
    const DeleteAftermath cutShort =
        applyRemovalResult(plan, {1, 1, 0, {result.outcomes[0]}}, records.size());
    EXPECT_EQ(cutShort.removedMask, after.removedMask);
    EXPECT_EQ(cutShort.failureLines,
              (Lines{plan.targetNames[1], plan.targetNames[2], plan.targetNames[3]}));
}

}  // namespace
}  // namespace tessalin
