#include "cli/demo_tree.h"

#include "engine/display_escape.h"
#include "engine/unicode.h"

#ifdef _WIN32
#include <windows.h>

#include "engine/win32/owned.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#endif

namespace tessalin::cli {
namespace {

constexpr std::string_view kFromTheInternet =
    "[ZoneTransfer]\r\n"
    "ZoneId=3\r\n"
    "ReferrerUrl=https://downloads.example.net/tools/\r\n"
    "HostUrl=https://downloads.example.net/tools/setup.exe\r\n";
constexpr std::string_view kFromMail =
    "[ZoneTransfer]\r\n"
    "ZoneId=3\r\n"
    "HostUrl=https://mail.example.com/attachments/4711\r\n";
constexpr std::string_view kOutOfRangeZone = "[ZoneTransfer]\r\nZoneId=7\r\n";
// The start of a Windows program: what a payload hidden in a stream looks like.
constexpr std::string_view kExecutableImage{"MZ\x90\x00\x03\x00\x00\x00\x04\x00\x00\x00\xFF\xFF",
                                            14};

std::u16string displayed(const std::u16string& text) {
    return streamscan::escapeForDisplay(text);
}

#ifdef _WIN32

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

#else

std::u16string systemMessage(int error) {
    return streamscan::decodeName(std::strerror(error)) + u" (errno " +
           streamscan::widenAscii(std::to_string(error)) + u")";
}

bool writeBytes(const std::string& path, std::string_view content, int& error) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = errno;
        return false;
    }
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0) {
        error = errno;
        return false;
    }
    return true;
}

#endif

}  // namespace

const std::vector<DemoSample>& demoSamples() {
    static const std::vector<DemoSample> samples = {
        {u"Downloads", true, {}, {}, {}},
        {u"Downloads/setup.exe", false, kExecutableImage, u"Zone.Identifier", kFromTheInternet},
        {u"Downloads/odd-zone.txt", false, "notes\n", u"Zone.Identifier", kOutOfRangeZone},
        {u"Documents", true, {}, {}, {}},
        {u"Documents/report.txt", false, "Quarterly figures\n", u"payload", kExecutableImage},
        {u"Documents/readme.txt", false, "Read me\n", u"cleanup.ps1",
         "Remove-Item -Recurse $env:TEMP\\*\r\n"},
        // Shown as invoice<U+202E>txt.exe; on screen without the marker it would read
        // invoiceexe.txt.
        {u"Documents/invoice\u202Etxt.exe", false, kExecutableImage, u"Zone.Identifier", kFromMail},
        {u"Documents/plain.txt", false, "No streams here\n", {}, {}},
        {u"Tools", true, {}, {}, {}},
        {u"Tools/viewer.exe", false, kExecutableImage, u"SmartScreen", "Anaheim"},
        {u"Projects", true, {}, u"summary", "Folder notes kept beside the folder\n"},
    };
    return samples;
}

#ifdef _WIN32

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

#else

DemoTree makeDemoTree() {
    DemoTree tree;
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    std::string pattern = base + "/tessalin-demo-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        tree.error = u"no folder could be made in " + streamscan::decodeName(base) + u": " +
                     systemMessage(errno);
        return tree;
    }
    tree.root = streamscan::decodeName(pattern);

    bool attributesRefused = false;
    for (const DemoSample& sample : demoSamples()) {
        const std::string path = pattern + "/" + streamscan::encodeName(sample.path);
        int error = 0;
        if (sample.folder) {
            if (mkdir(path.c_str(), 0755) != 0) {
                error = errno;
            }
        } else {
            writeBytes(path, sample.content, error);
        }
        if (error != 0) {
            tree.notes.push_back(std::u16string(sample.path) + u" could not be made: " +
                                 systemMessage(error));
            continue;
        }
        if (sample.streamName.empty())
            continue;
        const std::string attribute = "user." + streamscan::encodeName(sample.streamName);
        if (lsetxattr(path.c_str(), attribute.c_str(), sample.streamContent.data(),
                      sample.streamContent.size(), 0) == 0) {
            continue;
        }
        const int refused = errno;
        if (refused == ENOTSUP || refused == EOPNOTSUPP) {
            if (!attributesRefused) {
                attributesRefused = true;
                tree.notes.push_back(
                    u"The file system holding " + tree.root +
                    u" keeps no user. extended attributes (" + systemMessage(refused) +
                    u"), which is where streams live on Linux, so no sample stream could be "
                    u"made; the scan below shows what that looks like. Point TMPDIR at a "
                    u"folder on ext4, XFS, Btrfs or an ntfs-3g volume to see them.");
            }
            continue;
        }
        tree.notes.push_back(std::u16string(sample.path) + u":" +
                             std::u16string(sample.streamName) + u" could not be made: " +
                             systemMessage(refused));
    }
    return tree;
}

#endif

std::u16string demoIntroText(const DemoTree& tree) {
    std::u16string text = u"Sample tree made in: " + displayed(tree.root) + u"\n";
    for (const std::u16string& note : tree.notes) {
        text += displayed(note);
        text += u"\n";
    }
    text += u"\n";
    return text;
}

std::u16string demoClosingText(const DemoTree& tree) {
    return u"\nThe sample tree stays in " + displayed(tree.root) +
           u" for you to look at; remove it when you are done.\n";
}

}  // namespace tessalin::cli
