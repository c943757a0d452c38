// The export command end to end in the real window: the save dialog as it is
// asked, a real report file written through the Win32 port, a cancelled or
// failing dialog, a disk that fills up, and an empty list.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/csv_report.h"
#include "gui/command_fixture.h"
#include "window/command_ids.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {
namespace {

using streamscan::StreamRecord;

constexpr char16_t kMissedNote[] =
    u"\n\nThe report ends with a note of what the scan did not reach.";

// A folder of its own under the system's temporary folder, removed afterwards.
class TempFolder {
  public:
    TempFolder() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"tessalin-export-" + std::to_wstring(GetCurrentProcessId());
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        std::filesystem::create_directory(path_, ignored);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::u16string at(std::u16string_view name) const {
        return fromWide(path_.c_str()) + u"\\" + std::u16string(name);
    }

  private:
    std::wstring path_;
};

std::string fileContent(const std::u16string& path) {
    std::ifstream in(std::filesystem::path(reinterpret_cast<const wchar_t*>(path.c_str())),
                     std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ExportCommandTest : public CommandTest {
  protected:
    // The report of the rows exactly as the list shows them now, as the writer
    // makes it, for comparing with what the command wrote.
    std::string reportOfTheListAsShown() {
        std::vector<StreamRecord> shown;
        for (int row = 0; row < itemCount(state->listView); ++row)
            shown.push_back(*state->rows.recordAtRow(row));
        streamscan::FakeFileSystem paper{streamscan::PathStyle::windows};
        paper.addFolder(u"C:\\out");
        std::u16string error;
        EXPECT_TRUE(
            streamscan::writeCsvReport(u"C:\\out\\r.csv", shown, &error, &state->stats, paper));
        return paper.fileBytes(u"C:\\out\\r.csv");
    }
};

TEST_F(ExportCommandTest, WritesTheRowsInTheListsOrderToARealFileAndSaysWhere) {
    scanTree();
    // Sorted by stream name, so the list's order is not the order of arrival.
    sortRows(*state, 2, false);
    sortRows(*state, 2, true);  // descending
    ASSERT_FALSE(std::is_sorted(state->rows.rowOrder.begin(), state->rows.rowOrder.end()));
    const std::string expected = reportOfTheListAsShown();
    const int rows = itemCount(state->listView);

    TempFolder folder;
    // A name with a character the boxes show escaped; the file gets it unchanged.
    const std::u16string path = folder.at(u"report \u202E.csv");
    ui.savePath = path;
    state->fileSystem = &streamscan::nativeFileSystem();
    SYSTEMTIME before{};
    GetLocalTime(&before);
    command(kCmdExportCsv);

    ASSERT_EQ(ui.saveDialogs.size(), 1u);
    const SaveDialogCall& dialog = ui.saveDialogs[0];
    EXPECT_EQ(dialog.structSize, sizeof(OPENFILENAMEW));
    EXPECT_EQ(dialog.owner, state->window);
    EXPECT_EQ(dialog.filter, std::u16string(u"CSV file\0*.csv\0All files\0*.*\0\0", 30));
    EXPECT_EQ(dialog.filterIndex, 1u);
    EXPECT_EQ(dialog.bufferLength, 32768u);
    EXPECT_FALSE(dialog.initialFolderGiven);
    EXPECT_EQ(dialog.title, u"Export the list as CSV");
    EXPECT_EQ(dialog.defaultExtension, u"csv");
    EXPECT_EQ(dialog.flags, 0x80Eu);
    // Tessalin_YYYYMMDD_HHMMSS.csv, stamped now.
    const std::u16string& name = dialog.proposedName;
    ASSERT_EQ(name.size(), 28u) << std::string(name.begin(), name.end());
    EXPECT_EQ(name.substr(0, 9), u"Tessalin_");
    EXPECT_EQ(name[17], u'_');
    EXPECT_EQ(name.substr(24), u".csv");
    for (const std::size_t digit : {9, 10, 11, 12, 13, 14, 15, 16, 18, 19, 20, 21, 22, 23})
        EXPECT_TRUE(name[digit] >= u'0' && name[digit] <= u'9') << digit;
    wchar_t day[16] = {};
    wsprintfW(day, L"%04d%02d%02d", before.wYear, before.wMonth, before.wDay);
    if (before.wHour != 23 || before.wMinute != 59) {  // not across midnight
        EXPECT_EQ(name.substr(9, 8), fromWide(day));
    }

    EXPECT_EQ(fileContent(path), expected);
    ASSERT_EQ(ui.boxes.size(), 1u);
    // The scan could not read broken.bin:data, so the report ends with a note.
    std::u16string shown = path;
    shown.replace(shown.find(u'\u202E'), 1, u"<U+202E>");
    const std::u16string count = fromWide(std::to_wstring(rows).c_str());
    EXPECT_EQ(ui.boxes[0].text, u"Exported " + count + u" rows to:\n" + shown + kMissedNote);
    EXPECT_EQ(ui.boxes[0].style, static_cast<std::uint32_t>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(status(), u"Exported " + count + u" rows.");
}

TEST_F(ExportCommandTest, ACancelledDialogIsSilentAndAFailedOneIsOnlyInTheStatusBar) {
    scanTree();
    const std::u16string statusBefore = status();
    struct Case {
        std::uint32_t error;
        std::u16string status;
    };
    const Case cases[] = {{0, statusBefore},
                          {0x3003, u"The save dialog could not be opened (error 12291)."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        ui.savePath.reset();
        ui.dialogError = c.error;
        command(kCmdExportCsv);
        EXPECT_TRUE(ui.boxes.empty());
        EXPECT_EQ(status(), c.status);
        EXPECT_EQ(fake.calls(streamscan::FakeOp::createFile), 0u);
    }
    EXPECT_EQ(ui.saveDialogs.size(), 2u);
}

TEST_F(ExportCommandTest, ADiskThatFillsUpGivesTheErrorBoxAndLeavesNoFile) {
    scanTree();
    fake.addFolder(u"C:\\out");
    fake.fillDiskAfter(100);
    ui.savePath = u"C:\\out\\report.csv";
    command(kCmdExportCsv);

    ASSERT_EQ(ui.boxes.size(), 1u);
    const std::u16string head = u"The report could not be written to:\nC:\\out\\report.csv\n\n";
    EXPECT_EQ(ui.boxes[0].text.substr(0, head.size()), head);
    EXPECT_GT(ui.boxes[0].text.size(), head.size());  // the writer's reason follows
    EXPECT_EQ(ui.boxes[0].style, static_cast<std::uint32_t>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(status(), u"The report could not be written.");
    EXPECT_GE(fake.writtenBytes(u"C:\\out\\report.csv").size(), 100u);  // it did get going
    EXPECT_FALSE(fake.exists(u"C:\\out\\report.csv"));
}

TEST_F(ExportCommandTest, AnEmptyListIsExplainedAndNothingIsAskedDuringAScan) {
    struct Case {
        const char* name;
        streamscan::ScanStats stats;
        std::u16string text;
    };
    streamscan::ScanStats cancelled;
    cancelled.cancelled = true;
    streamscan::ScanStats linksOnly;
    linksOnly.linksNotFollowed = 2;
    const Case cases[] = {
        {"cancelled", cancelled,
         u"There is nothing to export: the list is empty.\n\nThe last scan did not cover "
         u"everything - "},
        {"links only", linksOnly, u"There is nothing to export: the list is empty."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.boxes.clear();
        state->stats = c.stats;
        command(kCmdExportCsv);
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text.substr(0, c.text.size()), c.text);
        if (c.stats.cancelled) {
            const std::u16string tail = u" - so an empty report would not mean much.";
            ASSERT_GT(ui.boxes[0].text.size(), tail.size());
            EXPECT_EQ(ui.boxes[0].text.substr(ui.boxes[0].text.size() - tail.size()), tail);
        } else {
            EXPECT_EQ(ui.boxes[0].text, c.text);
        }
        EXPECT_EQ(ui.boxes[0].style, static_cast<std::uint32_t>(MB_OK | MB_ICONINFORMATION));
    }
    EXPECT_TRUE(ui.saveDialogs.empty());

    ui.boxes.clear();
    scanTree();
    ui.savePath = u"C:\\out\\report.csv";
    state->scanning = true;
    command(kCmdExportCsv);
    state->scanning = false;
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(ui.saveDialogs.empty());

    // A drop while the dialog is open starts a scan: the list is changing, so
    // nothing is written.
    ui.whileShown = [&](std::size_t) { state->scanning = true; };
    command(kCmdExportCsv);
    state->scanning = false;
    EXPECT_EQ(ui.saveDialogs.size(), 1u);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(fake.exists(u"C:\\out\\report.csv"));
}

}  // namespace
}  // namespace tessalin::gui
