// The report writer and the removal engine on real Linux file systems: a disk
// that really fills up, a host that an unprivileged user may not change, a real
// NTFS volume through ntfs-3g, and streams kept in Samba's attribute form.
#include <grp.h>
#include <pwd.h>
#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "engine/csv_report.h"
#include "engine/posix/posix_file_system.h"
#include "engine/removal.h"
#include "engine/unicode.h"
#include "support/real_volumes.h"
#include "support/report_fixture.h"

namespace streamscan {
namespace {

using realfs::MountedVolume;
using realfs::TempFolder;
using realfs::VolumeKind;

bool pathExists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

// A tmpfs of a fixed size, unmounted when the test ends however it ends.
class TinyTmpfs {
  public:
    TinyTmpfs(const std::string& point, const char* options) : point_(point) {
        if (!realfs::makeFolder(point_)) {
            error_ = "could not make " + point_;
        } else if (::mount("tmpfs", point_.c_str(), "tmpfs", 0, options) != 0) {
            error_ = "mount -t tmpfs failed: " + std::string(std::strerror(errno));
        } else {
            mounted_ = true;
        }
    }
    ~TinyTmpfs() {
        if (mounted_)
            ::umount2(point_.c_str(), MNT_DETACH);
        ::rmdir(point_.c_str());
    }
    TinyTmpfs(const TinyTmpfs&) = delete;
    TinyTmpfs& operator=(const TinyTmpfs&) = delete;

    const std::string& error() const { return error_; }
    std::string at(const std::string& name) const { return point_ + "/" + name; }

  private:
    std::string point_;
    std::string error_;
    bool mounted_ = false;
};

std::vector<StreamRecord> rows(std::size_t count) {
    StreamRecord record;
    record.hostFolder = u"/srv/data";
    record.hostName = u"plain.txt";
    record.hostSize = 1048576;
    return std::vector<StreamRecord>(count, record);
}

constexpr char16_t kHeader[] =
    u"\uFEFFSeverity,Note,Path,Host Type,Stream,Stream Type,Stream Size,Stream Size (bytes),"
    u"Host Size (bytes),Host Attributes,Host Modified,Zone,Zone Id,Host URL,Referrer URL,"
    u"Readable\r\n";
constexpr char16_t kRow[] = u",,/srv/data/plain.txt,File,,,,,1048576,,,,,,,\r\n";

TEST(PosixReport, MissingFolderCreatesNothing) {
    TempFolder folder("report");
    ASSERT_TRUE(folder.valid());
    const std::string path = folder.at("no such folder/scan.csv");
    PosixFileSystem fs;
    std::u16string message;
    EXPECT_FALSE(writeCsvReport(decodeName(path), rows(1), &message, nullptr, fs));
    EXPECT_EQ(message.rfind(u"Could not create " + decodeName(path) + u": ", 0), 0u);
    EXPECT_FALSE(pathExists(path));
    EXPECT_FALSE(pathExists(folder.at("no such folder")));
}

// Names in `folder` other than those given: a partial report left behind.
std::vector<std::string> namesBesides(const std::string& folder,
                                      const std::vector<std::string>& expected) {
    std::vector<std::string> others;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." &&
                std::find(expected.begin(), expected.end(), name) == expected.end())
                others.push_back(name);
        }
        closedir(dir);
    }
    return others;
}

// A report that fails midway over an earlier one, named directly or through a
// link, leaves the earlier file as it was and nothing else; one that succeeds
// takes the name's place (a link is replaced, the file it led to left alone).
TEST(PosixReport, DiskThatFillsUpLeavesTheEarlierFileAsItWas) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a tmpfs";
    TempFolder folder("tmpfs");
    ASSERT_TRUE(folder.valid());
    TinyTmpfs disk(folder.at("tiny"), "size=64k");
    if (!disk.error().empty())
        GTEST_SKIP() << disk.error();
    ASSERT_TRUE(realfs::writeFile(disk.at("earlier.csv"), "an earlier report"));
    ASSERT_TRUE(realfs::makeSymlink("earlier.csv", disk.at("link.csv")));

    std::u16string expected = kHeader;
    for (int i = 0; i < 10; ++i)
        expected += kRow;
    expected += u"\r\n\"Scan cancelled before it finished\"\r\n";
    PosixFileSystem fs;
    ScanStats stats;
    stats.cancelled = true;
    for (const char* name : {"earlier.csv", "link.csv"}) {
        // About 260 KiB of report on a 64 KiB disk: the first slice fits, a later one does not.
        std::u16string message;
        EXPECT_FALSE(writeCsvReport(decodeName(disk.at(name)), rows(3000), &message, &stats, fs))
            << name;
        EXPECT_EQ(message, u"Could not write the report: The disk is full (112)") << name;
        std::string bytes;
        ASSERT_TRUE(realfs::readFile(disk.at(name), bytes)) << name;
        EXPECT_EQ(bytes, "an earlier report") << name;
        EXPECT_EQ(namesBesides(disk.at(""), {"earlier.csv", "link.csv"}),
                  std::vector<std::string>{})
            << name;
    }

    // The space is given back, so a report that fits is written whole.
    std::u16string message = u"stale";
    ASSERT_TRUE(writeCsvReport(decodeName(disk.at("link.csv")), rows(10), &message, &stats, fs));
    EXPECT_EQ(message, u"");
    std::string bytes;
    ASSERT_TRUE(realfs::readFile(disk.at("link.csv"), bytes));
    EXPECT_EQ(bytes, littleEndianBytes(expected));
    struct stat st;
    ASSERT_EQ(lstat(disk.at("link.csv").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    ASSERT_TRUE(realfs::readFile(disk.at("earlier.csv"), bytes));
    EXPECT_EQ(bytes, "an earlier report");
}

// ---- removal ----

// Runs RemoveStreams in a child process dropped to `nobody` (root is never
// refused) and hands back each outcome's message, "" for a removed stream.
bool removeAsNobody(const std::vector<RemovalTarget>& targets,
                    std::vector<std::u16string>& messages, std::string& error) {
    std::string raw;
    const bool finished = realfs::runAsNobody(
        [&] {
            PosixFileSystem fs;
            const RemovalResult result = RemoveStreams(targets, fs);
            std::u16string out;
            for (const RemovalOutcome& outcome : result.outcomes) {
                out += outcome.removed ? u"" : outcome.message;
                out += u'\n';
            }
            return std::string(reinterpret_cast<const char*>(out.data()),
                               out.size() * sizeof(char16_t));
        },
        raw, error);
    if (!finished || raw.size() % 2 != 0)
        return false;
    std::u16string text(raw.size() / 2, u'\0');
    std::memcpy(text.data(), raw.data(), raw.size());
    messages.clear();
    for (std::size_t start = 0, end; (end = text.find(u'\n', start)) != std::u16string::npos;
         start = end + 1) {
        messages.push_back(text.substr(start, end - start));
    }
    return true;
}

TEST(PosixRemoval, ReadOnlyHostIsNamedAndLeftAlone) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to drop to nobody";
    TempFolder folder("removal");
    ASSERT_TRUE(folder.valid());
    if (!realfs::userAttributesWork(folder.path()))
        GTEST_SKIP() << folder.path() << " does not take user. attributes";
    const std::string readOnly = folder.at("read-only.txt");
    const std::string notMine = folder.at("not mine.txt");
    for (const std::string& path : {readOnly, notMine}) {
        ASSERT_TRUE(realfs::writeFile(path, "content"));
        ASSERT_TRUE(
            realfs::setAttribute(path, "user.Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3"));
    }
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    ASSERT_EQ(chmod(notMine.c_str(), 0644), 0);

    std::vector<std::u16string> messages;
    std::string error;
    ASSERT_TRUE(removeAsNobody({{decodeName(readOnly), u"Zone.Identifier", u"$DATA"},
                                {decodeName(notMine), u"Zone.Identifier", u"$DATA"}},
                               messages, error))
        << error;
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], u"The host file is read-only (5)");
    EXPECT_EQ(messages[1], u"Access denied (5)");

    struct stat info;
    ASSERT_EQ(stat(readOnly.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);
    EXPECT_TRUE(realfs::hasAttribute(readOnly, "user.Zone.Identifier"));
    EXPECT_TRUE(realfs::hasAttribute(notMine, "user.Zone.Identifier"));
}

TEST(PosixRemoval, SambaFormStreamIsRemovedByItsName) {
    TempFolder folder("samba");
    ASSERT_TRUE(folder.valid());
    if (!realfs::userAttributesWork(folder.path()))
        GTEST_SKIP() << folder.path() << " does not take user. attributes";
    const std::string host = folder.at("share file.docx");
    ASSERT_TRUE(realfs::writeFile(host, "PK"));
    ASSERT_TRUE(realfs::setAttribute(host, "user.DosStream.Zone.Identifier:$DATA",
                                     std::string("[ZoneTransfer]\r\nZoneId=3\r\n\0", 26)));
    ASSERT_TRUE(realfs::setAttribute(host, "user.DosStream.notes:$DATA", "keep"));
    ASSERT_TRUE(realfs::setAttribute(host, "user.DOSATTRIB", "0x20"));

    PosixFileSystem fs;
    const RemovalResult result = RemoveStreams({{decodeName(host), u"Zone.Identifier", u"$DATA"},
                                                {decodeName(host), u"Zone.Identifier", u""}},
                                               fs);
    ASSERT_EQ(result.outcomes.size(), 2u);
    EXPECT_TRUE(result.outcomes[0].removed);
    EXPECT_EQ(result.outcomes[1].message, u"Stream not found (2)");
    EXPECT_EQ(result.removedCount, 1u);
    EXPECT_EQ(result.failedCount, 1u);

    EXPECT_FALSE(realfs::hasAttribute(host, "user.DosStream.Zone.Identifier:$DATA"));
    std::string value;
    ASSERT_TRUE(realfs::getAttribute(host, "user.DosStream.notes:$DATA", value));
    EXPECT_EQ(value, "keep");
    ASSERT_TRUE(realfs::getAttribute(host, "user.DOSATTRIB", value));
    EXPECT_EQ(value, "0x20");
    ASSERT_TRUE(realfs::readFile(host, value));
    EXPECT_EQ(value, "PK");
}

TEST(PosixRemoval, ZoneIdentifierGoesFromARealNtfsVolumeAndNothingElseChanges) {
    const std::string reason = realfs::volumeUnavailableReason(VolumeKind::ntfs);
    if (!reason.empty())
        GTEST_SKIP() << reason;
    TempFolder folder("ntfs-removal");
    ASSERT_TRUE(folder.valid());
    const std::string image = folder.at("volume.img");
    const std::string point = folder.at("ntfs");
    std::string error;
    ASSERT_TRUE(realfs::makeVolumeImage(VolumeKind::ntfs, image, 16, error)) << error;
    MountedVolume volume;
    ASSERT_TRUE(volume.mount(VolumeKind::ntfs, image, point, "", error)) << error;

    std::string content(200000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>((i * 131 + 7) % 251);
    const std::string payload("MZ\x90\0\x03\0\0\0\xff\xfe\r\n", 12);
    const std::string host = volume.at("setup.exe");
    ASSERT_TRUE(realfs::writeFile(host, content));
    ASSERT_TRUE(
        realfs::setAttribute(host, "user.Zone.Identifier",
                             "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://host.test/\r\n"));
    ASSERT_TRUE(realfs::setAttribute(host, "user.payload", payload));
    ASSERT_TRUE(realfs::setAttribute(host, "user.notes", "keep me"));

    PosixFileSystem fs;
    const RemovalResult result =
        RemoveStreams({{decodeName(host), u"Zone.Identifier", u"$DATA"}}, fs);
    ASSERT_EQ(result.outcomes.size(), 1u);
    EXPECT_TRUE(result.outcomes[0].removed) << result.outcomes[0].message.size();

    // Unmounted and mounted again, so what is checked is what NTFS kept.
    ASSERT_TRUE(volume.unmount(&error)) << error;
    ASSERT_TRUE(volume.mount(VolumeKind::ntfs, image, point, "", error)) << error;
    EXPECT_FALSE(realfs::hasAttribute(host, "user.Zone.Identifier"));
    std::string value;
    ASSERT_TRUE(realfs::readFile(host, value));
    EXPECT_EQ(value, content);
    ASSERT_TRUE(realfs::getAttribute(host, "user.payload", value));
    EXPECT_EQ(value, payload);
    ASSERT_TRUE(realfs::getAttribute(host, "user.notes", value));
    EXPECT_EQ(value, "keep me");
    ASSERT_TRUE(volume.unmount(&error)) << error;
}

}  // namespace
}  // namespace streamscan
