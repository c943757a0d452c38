// The sample tree on Windows: files with real NTFS streams in the temporary folder.
#include <windows.h>

#include "cli/demo_tree.h"
#include "engine/unicode.h"
#include "engine/win32/owned.h"

namespace tessalin::cli {
namespace {

const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string windowsPath(std::u16string_view relative) {
    std::u16string path(relative);
    for (char16_t& c : path) {
        if (c == u'/')
            c = u'\\';
    }
    return path;
}

std::u16string systemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const streamscan::Owned<wchar_t*, &LocalFree> owned(buffer);
    std::u16string text;
    if (length > 0 && buffer != nullptr)
        text.assign(reinterpret_cast<const char16_t*>(buffer), length);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' '))
        text.pop_back();
    const std::string number = std::to_string(code);
    return text + u" (" + streamscan::widenAscii(number) + u")";
}

bool writeBytes(const std::u16string& path, std::string_view content, DWORD& error) {
    const streamscan::OwnedHandle file(CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr,
                                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = GetLastError();
        return false;
    }
    DWORD written = 0;
    const BOOL ok =
        content.empty() || WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()),
                                     &written, nullptr);
    error = ok ? 0 : GetLastError();
    return ok && written == content.size();
}

// Whether the volume holding `path` keeps named streams, and its file-system name.
bool volumeKeepsStreams(const std::u16string& path, std::u16string& fileSystem) {
    wchar_t volume[MAX_PATH + 1] = {};
    wchar_t name[MAX_PATH + 1] = {};
    DWORD flags = 0;
    if (!GetVolumePathNameW(wide(path), volume, MAX_PATH + 1) ||
        !GetVolumeInformationW(volume, nullptr, 0, nullptr, nullptr, &flags, name, MAX_PATH + 1)) {
        return true;  // unknown: try, and let each write say what happened
    }
    fileSystem = reinterpret_cast<const char16_t*>(name);
    return (flags & FILE_NAMED_STREAMS) != 0;
}

}  // namespace

DemoTree makeDemoTree() {
    DemoTree tree;
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) {
        tree.error = u"the temporary folder could not be found: " + systemMessage(GetLastError());
        return tree;
    }
    std::u16string base(reinterpret_cast<const char16_t*>(temp), length);
    if (!base.empty() && base.back() != u'\\')
        base += u'\\';
    DWORD lastError = 0;
    for (unsigned attempt = 0; attempt < 100 && tree.root.empty(); ++attempt) {
        const std::string suffix = std::to_string(GetCurrentProcessId()) + "-" +
                                   std::to_string(GetTickCount64() % 1000000) + "-" +
                                   std::to_string(attempt);
        const std::u16string candidate = base + u"tessalin-demo-" + streamscan::widenAscii(suffix);
        if (CreateDirectoryW(wide(candidate), nullptr)) {
            tree.root = candidate;
        } else {
            lastError = GetLastError();
            if (lastError != ERROR_ALREADY_EXISTS)
                break;
        }
    }
    if (tree.root.empty()) {
        tree.error = u"no folder could be made in " + base + u": " + systemMessage(lastError);
        return tree;
    }

    std::u16string fileSystem;
    const bool streamsKept = volumeKeepsStreams(tree.root, fileSystem);
    if (!streamsKept) {
        tree.notes.push_back(u"The volume holding " + tree.root + u" (" + fileSystem +
                             u") does not keep alternate data streams, so no sample stream "
                             u"could be written; the scan below shows what that looks like.");
    }
    for (const DemoSample& sample : demoSamples()) {
        const std::u16string path = tree.root + u"\\" + windowsPath(sample.path);
        DWORD error = 0;
        if (sample.folder ? !CreateDirectoryW(wide(path), nullptr)
                          : !writeBytes(path, sample.content, error)) {
            if (sample.folder)
                error = GetLastError();
            tree.notes.push_back(std::u16string(sample.path) + u" could not be made: " +
                                 systemMessage(error));
            continue;
        }
        if (sample.streamName.empty() || !streamsKept)
            continue;
        if (!writeBytes(path + u":" + std::u16string(sample.streamName), sample.streamContent,
                        error)) {
            tree.notes.push_back(std::u16string(sample.path) + u":" +
                                 std::u16string(sample.streamName) + u" could not be written: " +
                                 systemMessage(error));
        }
    }
    return tree;
}

}  // namespace tessalin::cli
