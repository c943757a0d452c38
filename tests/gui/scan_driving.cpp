#include "gui/scan_driving.h"

#include <cderr.h>
#include <commdlg.h>

#include <cstring>
#include <cwchar>

#include "engine/path_forms.h"
#include "window/command_ids.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {

using namespace std::chrono_literals;

GatedFileSystem::GatedFileSystem()
    : gate_(CreateEventW(nullptr, TRUE, TRUE, nullptr)),
      held_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

GatedFileSystem::~GatedFileSystem() {
    SetEvent(gate_);
    CloseHandle(gate_);
    CloseHandle(held_);
}

void GatedFileSystem::closeGateAt(const std::u16string& folder) {
    std::lock_guard<std::mutex> guard(mutex_);
    gateFolder_ = folder;
    ResetEvent(held_);
    ResetEvent(gate_);
}

void GatedFileSystem::open() {
    SetEvent(gate_);
}

bool GatedFileSystem::waitUntilHeld(std::chrono::milliseconds timeout) {
    return WaitForSingleObject(held_, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

std::uint32_t GatedFileSystem::startListing(
    const std::u16string& folder, streamscan::DirectoryEntry& first,
    std::unique_ptr<streamscan::DirectoryListing>& listing) {
    bool gated = false;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        gated = !gateFolder_.empty() && folder == gateFolder_;
    }
    if (gated) {
        SetEvent(held_);
        // Bounded, so that a test that forgets to open the gate fails instead of hanging.
        WaitForSingleObject(gate_, 20000);
    }
    return FakeFileSystem::startListing(folder, first, listing);
}

void* DialogSeam::browseForFolder(void* browseInfo) {
    const auto* info = static_cast<const BROWSEINFOW*>(browseInfo);
    browseCalls.push_back({info->hwndOwner, info->pidlRoot != nullptr,
                           info->pszDisplayName != nullptr, fromWide(info->lpszTitle),
                           info->ulFlags});
    return folderAnswer ? folderAnswer() : nullptr;
}

bool DialogSeam::getOpenFileName(void* openFileName) {
    auto* dialog = static_cast<OPENFILENAMEW*>(openFileName);
    OpenCall call{};
    call.owner = dialog->hwndOwner;
    call.structSize = dialog->lStructSize;
    if (const wchar_t* filter = dialog->lpstrFilter) {
        // Pairs of strings, ending in an empty one.
        const wchar_t* end = filter;
        while (*end != L'\0')
            end += std::wcslen(end) + 1;
        call.filter.assign(reinterpret_cast<const char16_t*>(filter), end - filter);
    }
    call.bufferChars = dialog->nMaxFile;
    call.bufferZeroed = true;
    for (DWORD i = 0; i < dialog->nMaxFile; ++i)
        call.bufferZeroed = call.bufferZeroed && dialog->lpstrFile[i] == L'\0';
    call.title = fromWide(dialog->lpstrTitle);
    call.flags = dialog->Flags;
    openCalls.push_back(call);

    if (openAnswers.empty()) {
        lastError_ = 0;
        return false;
    }
    const OpenAnswer answer = openAnswers.front();
    openAnswers.erase(openAnswers.begin());
    if (answer.choice.empty()) {
        lastError_ = answer.error;
        return false;
    }
    if (answer.choice.size() > dialog->nMaxFile) {
        dialog->lpstrFile[0] =
            static_cast<wchar_t>(static_cast<std::uint16_t>(answer.choice.size()));
        lastError_ = FNERR_BUFFERTOOSMALL;
        return false;
    }
    std::memcpy(dialog->lpstrFile, answer.choice.data(), answer.choice.size() * sizeof(wchar_t));
    lastError_ = 0;
    return true;
}

HDROP makeDropHandle(const std::vector<std::u16string>& paths) {
    std::size_t chars = 1;  // the empty string that ends the list
    for (const auto& path : paths)
        chars += path.size() + 1;
    HGLOBAL memory =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    if (memory == nullptr)
        return nullptr;
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* out = reinterpret_cast<char16_t*>(reinterpret_cast<char*>(header) + sizeof(DROPFILES));
    for (const auto& path : paths) {
        std::memcpy(out, path.data(), path.size() * sizeof(char16_t));
        out += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

void ScanWindowTest::SetUp() {
    MainWindowTest::SetUp();
    if (!state)
        return;
    state->fileSystem = &fs;
    state->ui = &dialogs;
}

void ScanWindowTest::TearDown() {
    // No worker may outlive the state and the file system it uses.
    fs.open();
    if (state && state->scanning && state->window != nullptr) {
        state->cancelRequested.exchange(true);
        EXPECT_TRUE(waitForScanEnd()) << "the scan did not end";
    }
    if (state && state->scanThread) {
        WaitForSingleObject(state->scanThread.get(), 20000);
        state->scanThread.reset();
    }
    MainWindowTest::TearDown();
    for (const auto& box : dialogs.boxes)
        EXPECT_EQ(box.caption, u"Tessalin");
}

void ScanWindowTest::addSampleTree() {
    fs.addVolume(u"C:\\", u"NTFS", true);
    fs.addFolder(u"C:\\data");
    fs.addFile(u"C:\\data\\a.txt", "alpha");
    fs.addStream(u"C:\\data\\a.txt", u"Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
    fs.addFile(u"C:\\data\\b.txt", "bravo");
    fs.addStream(u"C:\\data\\b.txt", u"notes", "a note");
    fs.addFile(u"C:\\data\\sub\\c.txt", "charlie");
    fs.addStream(u"C:\\data\\sub\\c.txt", u"payload.exe", "MZ\x90");
    fs.addFile(u"C:\\data\\sub\\d.txt", "delta");
}

bool ScanWindowTest::pumpWatchingStatus(const std::function<bool()>& done,
                                        std::chrono::milliseconds timeout) {
    const auto note = [this] {
        if (state->statusBar == nullptr)
            return;
        std::u16string text = statusText();
        if (statusSeen.empty() || statusSeen.back() != text)
            statusSeen.push_back(std::move(text));
    };
    note();
    return pumpUntil(
        [&] {
            note();
            return done();
        },
        timeout);
}

bool ScanWindowTest::waitForScanEnd(std::chrono::milliseconds timeout) {
    return pumpWatchingStatus([this] { return !state->scanning; }, timeout);
}

std::vector<std::u16string> ScanWindowTest::listedStreams() const {
    std::vector<std::u16string> streams;
    for (std::size_t row = 0; row < state->rows.rowOrder.size(); ++row) {
        const streamscan::StreamRecord* record =
            state->rows.recordAtRow(static_cast<std::int64_t>(row));
        streams.push_back(streamscan::hostPathOf(*record) + u":" + record->streamName);
    }
    return streams;
}

}  // namespace tessalin::gui
