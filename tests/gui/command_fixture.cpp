#include "gui/command_fixture.h"

#include <commdlg.h>
#include <shellapi.h>

#include "engine/path_forms.h"
#include "engine/tree_walk.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {

using streamscan::StreamRecord;

int CommandSeam::messageBox(NativeWindow owner, std::u16string_view text,
                            std::u16string_view caption, std::uint32_t style) {
    if (whileShown)
        whileShown(boxes.size() + saveDialogs.size());
    rowsAtBox.push_back(list == nullptr ? -1 : itemCount(list));
    return RecordingUiSeam::messageBox(owner, text, caption, style);
}

bool CommandSeam::getSaveFileName(void* openFileName) {
    if (whileShown)
        whileShown(boxes.size() + saveDialogs.size());
    auto* dialog = static_cast<OPENFILENAMEW*>(openFileName);
    SaveDialogCall call;
    call.structSize = dialog->lStructSize;
    call.owner = dialog->hwndOwner;
    if (const wchar_t* filter = dialog->lpstrFilter) {
        const wchar_t* end = filter;
        while (end[0] != L'\0' || end[1] != L'\0')
            ++end;
        call.filter.assign(reinterpret_cast<const char16_t*>(filter), end - filter + 2);
    }
    call.filterIndex = dialog->nFilterIndex;
    call.proposedName = fromWide(dialog->lpstrFile);
    call.bufferLength = dialog->nMaxFile;
    call.initialFolderGiven = dialog->lpstrInitialDir != nullptr;
    call.title = fromWide(dialog->lpstrTitle);
    call.defaultExtension = fromWide(dialog->lpstrDefExt);
    call.flags = dialog->Flags;
    saveDialogs.push_back(call);
    if (!savePath)
        return false;
    if (savePath->size() >= dialog->nMaxFile)
        return false;
    std::copy(savePath->begin(), savePath->end(), reinterpret_cast<char16_t*>(dialog->lpstrFile));
    dialog->lpstrFile[savePath->size()] = L'\0';
    return true;
}

bool CommandSeam::shellExecuteEx(void* info) {
    const auto* execute = static_cast<const SHELLEXECUTEINFOW*>(info);
    propertySheets.push_back({execute->cbSize, execute->fMask, execute->hwnd,
                              fromWide(execute->lpVerb), fromWide(execute->lpFile),
                              execute->nShow});
    return propertySheetOpens;
}

bool CommandSeam::setClipboardText(NativeWindow owner, std::u16string_view text) {
    if (realClipboard)
        return systemUiSeam().setClipboardText(owner, text);
    if (!clipboardWorks)
        return false;
    return RecordingUiSeam::setClipboardText(owner, text);
}

void CommandTest::SetUp() {
    MainWindowTest::SetUp();
    ASSERT_NE(state->window, nullptr);
    state->ui = &ui;
    state->fileSystem = &fake;
    ui.list = state->listView;

    fake.addVolume(u"C:\\", u"NTFS", true);
    fake.addFolder(u"C:\\dl");
    fake.addFile(u"C:\\dl\\tool.zip", "PK\x03\x04");
    fake.addStream(u"C:\\dl\\tool.zip", u"Zone.Identifier",
                   "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.test/tool.zip\r\n");
    fake.addStream(u"C:\\dl\\tool.zip", u"notes", "remember the milk");
    fake.addFile(u"C:\\dl\\setup.exe", "MZ");
    fake.addStream(u"C:\\dl\\setup.exe", u"Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
    fake.addFile(u"C:\\dl\\readme.txt", "read me");
    fake.addFile(u"C:\\dl\\locked.bin", "locked");
    fake.addStream(u"C:\\dl\\locked.bin", u"payload", std::string("MZ\x90\0\x03", 5));
    fake.refuse(streamscan::FakeOp::deleteStream,
                streamscan::streamPathOf(u"C:\\dl\\locked.bin", u"payload", u"$DATA"));
    fake.addFile(u"C:\\dl\\odd.dat", "odd");
    fake.addStream(u"C:\\dl\\odd.dat", u"ea", "extended", u"$EA");
    fake.addFile(u"C:\\dl\\broken.bin", "broken");
    fake.addStream(u"C:\\dl\\broken.bin", u"data", "cannot be read");
    fake.setFault(streamscan::FakeOp::read,
                  streamscan::streamPathOf(u"C:\\dl\\broken.bin", u"data", u"$DATA"),
                  {streamscan::kErrorLockViolation, 0, false});
    fake.addFile(std::u16string(u"C:\\dl\\") + kOddName, "x");
    fake.addStream(std::u16string(u"C:\\dl\\") + kOddName, u"x", "x");
    fake.addFolder(u"C:\\dl\\sub");
    fake.addStream(u"C:\\dl\\sub", u"folder note", "on a folder");
    fake.addFolder(u"C:\\dl\\sub\\empty");
}

void CommandTest::TearDown() {
    for (std::size_t i = 0; i < ui.boxes.size(); ++i) {
        EXPECT_EQ(ui.boxes[i].caption, u"Tessalin") << i;
        EXPECT_EQ(ui.boxes[i].owner, state->window) << i;
    }
    MainWindowTest::TearDown();
}

void CommandTest::scanTree() {
    state->scanOptions.showItemsWithoutStreams = true;
    std::vector<StreamRecord> found;
    state->stats = streamscan::scanRoots(
        {u"C:\\dl"}, state->scanOptions,
        [&](const StreamRecord& record) { found.push_back(record); }, [] { return true; },
        [](const std::u16string&, const streamscan::ScanStats&) {}, fake);
    state->lastRoots = {u"C:\\dl"};
    state->scanEnded = true;
    addRecords(std::move(found));
    updateCommandStates(*state);
    refreshStatusBar(*state);
}

int CommandTest::rowOf(std::u16string_view hostName, std::u16string_view streamName) const {
    for (std::size_t row = 0; row < state->rows.rowOrder.size(); ++row) {
        const StreamRecord& record = state->rows.records[state->rows.rowOrder[row]];
        if (record.hostName == hostName && record.streamName == streamName)
            return static_cast<int>(row);
    }
    return -1;
}

const StreamRecord& CommandTest::recordOf(std::u16string_view hostName,
                                          std::u16string_view streamName) const {
    const int row = rowOf(hostName, streamName);
    EXPECT_GE(row, 0) << "no row for the record";
    return *state->rows.recordAtRow(row < 0 ? 0 : row);
}

std::vector<std::u16string> CommandTest::listedRows() const {
    std::vector<std::u16string> rows;
    for (int row = 0; row < itemCount(state->listView); ++row) {
        const StreamRecord* record = state->rows.recordAtRow(row);
        rows.push_back(record == nullptr ? u"?" : record->hostName + u":" + record->streamName);
    }
    return rows;
}

}  // namespace tessalin::gui
