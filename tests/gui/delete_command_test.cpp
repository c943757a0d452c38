// The delete command end to end in the real window: the selection of a scanned
// tree, the one question, the removal through the file system, and what the list,
// the boxes and the status bar say afterwards.
#include "gui/command_fixture.h"
#include "window/command_ids.h"

#include <new>

namespace tessalin::gui {
namespace {

using streamscan::FakeStreamDelete;

constexpr std::uint32_t kQuestionStyle = MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2;

constexpr char16_t kClosingParagraphs[] =
    u"\n\nRemoving Zone.Identifier is the same thing as the Unblock button on a file's "
    u"Properties page: the file itself is untouched, and Windows stops treating it as "
    u"something that came from elsewhere."
    u"\n\nRemoving any other stream throws its contents away. Streams do not go to the "
    u"Recycle Bin, and nothing here can put one back."
    u"\n\nRemove them?";

class DeleteCommandTest : public CommandTest {
  protected:
    void SetUp() override {
        CommandTest::SetUp();
        scanTree();
    }

    std::vector<std::u16string> without(std::vector<std::u16string> rows,
                                        const std::vector<std::u16string>& gone) {
        for (const auto& name : gone)
            std::erase(rows, name);
        return rows;
    }
};

TEST_F(DeleteCommandTest, ConfirmedDeleteRemovesEachMergedStreamOnceAndDropsAllItsRows) {
    // The same stream again, named with other letter cases, as overlapping scans
    // could list it.
    streamscan::StreamRecord again = recordOf(u"tool.zip", u"Zone.Identifier");
    again.hostFolder = u"c:\\DL";
    again.hostName = u"TOOL.zip";
    again.streamName = u"zone.identifier";
    addRecords({again});
    const std::vector<std::u16string> before = listedRows();

    selectOnly({rowOf(u"tool.zip", u"Zone.Identifier"), rowOf(u"tool.zip", u"notes"),
                rowOf(u"readme.txt", u""), rowOf(u"TOOL.zip", u"zone.identifier")});
    ui.answer = IDYES;
    command(kCmdDeleteStreams);

    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text,
              std::u16string(u"Remove 2 streams from 1 file?\n"
                             u"\n    C:\\dl\\tool.zip : Zone.Identifier"
                             u"\n    C:\\dl\\tool.zip : notes"
                             u"\n\n1 selected row has no stream to remove and will be left "
                             u"alone.") +
                  kClosingParagraphs);
    EXPECT_EQ(ui.boxes[0].style, kQuestionStyle);
    EXPECT_EQ(ui.boxes[1].text, u"Removed 2 streams.");
    EXPECT_EQ(ui.boxes[1].style, static_cast<std::uint32_t>(MB_OK | MB_ICONINFORMATION));

    const std::vector<FakeStreamDelete> calls = fake.deleteStreamCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].hostPath, u"C:\\dl\\tool.zip");
    EXPECT_EQ(calls[0].name, u"Zone.Identifier");
    EXPECT_EQ(calls[1].hostPath, u"C:\\dl\\tool.zip");
    EXPECT_EQ(calls[1].name, u"notes");
    EXPECT_FALSE(fake.hasStream(u"C:\\dl\\tool.zip", u"Zone.Identifier"));
    EXPECT_FALSE(fake.hasStream(u"C:\\dl\\tool.zip", u"notes"));
    EXPECT_TRUE(fake.hasStream(u"C:\\dl\\setup.exe", u"Zone.Identifier"));
    EXPECT_EQ(fake.fileBytes(u"C:\\dl\\tool.zip"), "PK\x03\x04");

    // The rows were gone before the result was shown, and the item row stayed.
    const std::vector<std::u16string> after = without(
        before, {u"tool.zip:Zone.Identifier", u"tool.zip:notes", u"TOOL.zip:zone.identifier"});
    EXPECT_EQ(listedRows(), after);
    EXPECT_EQ(ui.rowsAtBox[1], static_cast<int>(after.size()));
    EXPECT_TRUE(selectedRowsOf(state->listView).empty());
    EXPECT_EQ(state->removedStreamCount, 2u);
    EXPECT_EQ(status(), u"Removed 2 streams. Press F5 to scan again.");
    EXPECT_TRUE(menuGrayed(kCmdDeleteStreams));  // nothing is selected any more
}

TEST_F(DeleteCommandTest, AnythingButYesChangesNothing) {
    const std::vector<std::u16string> before = listedRows();
    const std::vector<int> selection = {rowOf(u"tool.zip", u"notes"),
                                        rowOf(u"setup.exe", u"Zone.Identifier")};
    const std::u16string statusBefore = status();
    for (const int answer : {IDNO, IDCANCEL, 0}) {
        SCOPED_TRACE(answer);
        ui.boxes.clear();
        selectOnly(selection);
        ui.answer = answer;
        command(kCmdDeleteStreams);
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].style, kQuestionStyle);
        EXPECT_TRUE(fake.deleteStreamCalls().empty());
        EXPECT_TRUE(fake.hasStream(u"C:\\dl\\tool.zip", u"notes"));
        EXPECT_EQ(listedRows(), before);
        EXPECT_EQ(selectedRowsOf(state->listView), selection);
        EXPECT_EQ(status(), statusBefore);
        EXPECT_EQ(state->removedStreamCount, 0u);
    }
}

TEST_F(DeleteCommandTest, RefusedRowsAreNamedBeforeAndFailedRemovalsAfterAndBothStay) {
    const std::vector<std::u16string> before = listedRows();
    selectOnly({rowOf(u"setup.exe", u"Zone.Identifier"), rowOf(u"locked.bin", u"payload"),
                rowOf(u"odd.dat", u"ea")});
    ui.answer = IDYES;
    command(kCmdDeleteStreams);

    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text,
              std::u16string(u"Remove 2 streams from 2 files?\n"
                             u"\n    C:\\dl\\setup.exe : Zone.Identifier"
                             u"\n    C:\\dl\\locked.bin : payload"
                             u"\n\n1 selected row cannot be removed and will be left alone:"
                             u"\n    C:\\dl\\odd.dat : ea:$EA  --  The stream type is $EA, not "
                             u"$DATA") +
                  kClosingParagraphs);
    EXPECT_EQ(ui.boxes[1].text,
              u"Removed 1 stream.\n\n1 could not be removed:"
              u"\n    C:\\dl\\locked.bin : payload  --  Access denied (5)");
    EXPECT_EQ(ui.boxes[1].style, static_cast<std::uint32_t>(MB_OK | MB_ICONWARNING));

    // The refused stream never reached the disk; the failed one was tried.
    ASSERT_EQ(fake.deleteStreamCalls().size(), 2u);
    EXPECT_TRUE(fake.hasStream(u"C:\\dl\\locked.bin", u"payload"));
    EXPECT_TRUE(fake.hasStream(u"C:\\dl\\odd.dat", u"ea"));
    EXPECT_FALSE(fake.hasStream(u"C:\\dl\\setup.exe", u"Zone.Identifier"));
    EXPECT_EQ(listedRows(), without(before, {u"setup.exe:Zone.Identifier"}));
    EXPECT_EQ(status(), u"Removed 1 stream. Press F5 to scan again.");
    EXPECT_EQ(state->removedStreamCount, 1u);
}

TEST_F(DeleteCommandTest, EveryRemovalFailingStillClearsTheSelectionAndSaysSo) {
    const std::vector<std::u16string> before = listedRows();
    selectOnly({rowOf(u"locked.bin", u"payload")});
    ui.answer = IDYES;
    command(kCmdDeleteStreams);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].text.substr(0, 18), u"Removed 0 streams.");
    EXPECT_EQ(ui.boxes[1].style, static_cast<std::uint32_t>(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(listedRows(), before);
    EXPECT_TRUE(selectedRowsOf(state->listView).empty());
    EXPECT_EQ(status(), u"Removed 0 streams. Press F5 to scan again.");
}

TEST_F(DeleteCommandTest, SelectionsWithNothingToRemoveAreExplainedWithoutAQuestion) {
    struct Case {
        const char* name;
        std::vector<int> rows;
        std::u16string text;
        std::uint32_t style;
    };
    const Case cases[] = {
        {"no selection", {}, u"Select the streams to remove first.", MB_OK | MB_ICONINFORMATION},
        {"items and a refused stream",
         {rowOf(u"readme.txt", u""), rowOf(u"odd.dat", u"ea"), rowOf(u"empty", u"")},
         u"Nothing in this selection can be removed.\n\n2 selected rows are items with no "
         u"alternate stream at all, so there is nothing there to remove.\n\n1 row was refused:"
         u"\n    C:\\dl\\odd.dat : ea:$EA  --  The stream type is $EA, not $DATA",
         MB_OK | MB_ICONWARNING},
    };
    ui.answer = IDYES;  // would remove, were it asked
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.boxes.clear();
        selectOnly(c.rows);
        command(kCmdDeleteStreams);
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, c.text);
        EXPECT_EQ(ui.boxes[0].style, c.style);
        EXPECT_TRUE(fake.deleteStreamCalls().empty());
    }
}

TEST_F(DeleteCommandTest, DuringAScanNothingHappensAtAll) {
    const std::vector<std::u16string> before = listedRows();
    selectOnly({rowOf(u"tool.zip", u"notes")});
    const std::u16string statusBefore = status();
    ui.answer = IDYES;
    // Already running, or started by a drop while the question waited.
    for (const bool whileAsked : {false, true}) {
        SCOPED_TRACE(whileAsked);
        ui.boxes.clear();
        state->scanning = !whileAsked;
        ui.whileShown = [&](std::size_t) { state->scanning = true; };
        command(kCmdDeleteStreams);
        state->scanning = false;
        ui.whileShown = nullptr;
        EXPECT_EQ(ui.boxes.size(), whileAsked ? 1u : 0u);
        EXPECT_TRUE(fake.deleteStreamCalls().empty());
        EXPECT_EQ(listedRows(), before);
        EXPECT_EQ(status(), statusBefore);
    }
}

TEST_F(DeleteCommandTest, MemoryRunningOutAfterTheRemovalCountsItOnceAndSaysSo) {
    selectOnly({rowOf(u"tool.zip", u"notes"), rowOf(u"setup.exe", u"Zone.Identifier")});
    ui.answer = IDYES;
    ui.whileShown = [](std::size_t shownBefore) {
        if (shownBefore == 1)
            throw std::bad_alloc();  // making the result box
    };
    command(kCmdDeleteStreams);
    EXPECT_EQ(fake.deleteStreamCalls().size(), 2u);
    EXPECT_EQ(rowOf(u"tool.zip", u"notes"), -1);
    EXPECT_EQ(state->removedStreamCount, 2u);
    EXPECT_EQ(status(), u"Removed 2 streams. Press F5 to scan again.");
    EXPECT_TRUE(selectedRowsOf(state->listView).empty());
}

}  // namespace
}  // namespace tessalin::gui
