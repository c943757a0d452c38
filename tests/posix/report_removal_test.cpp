// The report writer and the removal engine on real Linux file systems: a disk
// that really fills up, a real NTFS volume through ntfs-3g, and a share of a
// real Samba server on 127.0.0.1.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/csv_report.h"
#include "engine/posix/posix_file_system.h"
#include "engine/removal.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"
#include "support/real_volumes.h"
#include "support/scan_stats_printer.h"

namespace streamscan {
namespace {

using namespace realfs;

const std::string kZoneText = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://host.test/\r\n";

// A report that fails midway over an earlier one, named directly or through a
// link, leaves the earlier file as it was and nothing else; one that succeeds
// takes the name's place (a link is replaced, the file it led to left alone).
TEST(PosixReport, ADiskThatFillsUpLeavesTheEarlierFileAsItWas) {
    TempFolder folder("report");
    MountedVolume disk;
    std::string error;
    if (!disk.mount(VolumeKind::tmpfs, "", folder.at("tiny"), "size=64k", error))
        GTEST_SKIP() << error;
    ASSERT_TRUE(writeFile(disk.at("earlier.csv"), "an earlier report"));
    ASSERT_EQ(symlink("earlier.csv", disk.at("link.csv").c_str()), 0);
    StreamRecord row;
    row.hostFolder = u"/srv/data";
    row.hostName = u"plain.txt";
    PosixFileSystem fs;
    for (const char* name : {"earlier.csv", "link.csv"}) {
        // About 250 KiB of report on a 64 KiB disk: the first slice fits, a later one does not.
        std::u16string message;
        EXPECT_FALSE(writeCsvReport(decodeName(disk.at(name)), std::vector(3000, row), &message,
                                    nullptr, fs));
        EXPECT_EQ(message, u"Could not write the report: The disk is full (112)") << name;
        EXPECT_EQ(readFile(disk.at(name)), "an earlier report") << name;
        EXPECT_EQ(runCommand({"ls", disk.mountPoint()}).out, "earlier.csv\nlink.csv\n");
    }
    // The space is given back, so a report that fits is written whole, with
    // the mode a new file gets.
    std::u16string message = u"stale";
    ASSERT_TRUE(writeCsvReport(decodeName(disk.at("link.csv")), {row}, &message, nullptr, fs));
    EXPECT_EQ(message, u"");
    EXPECT_EQ(readFile(disk.at("earlier.csv")), "an earlier report");
    struct stat st;
    ASSERT_EQ(lstat(disk.at("link.csv").c_str(), &st), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode, S_IFREG | (0666 & ~mask));
    EXPECT_EQ(readFile(disk.at("link.csv"))->substr(0, 2), "\xFF\xFE");
}

// Removal takes the named streams and nothing else, and names one that went
// meanwhile: checked after a fresh mount, so what is verified is what NTFS
// kept, not what ntfs-3g had in memory.
TEST(NtfsRemoval, OnlyTheNamedStreamsGoAndOneGoneMeanwhileIsNamed) {
    if (const std::string why = volumeUnavailableReason(VolumeKind::ntfs); !why.empty())
        GTEST_SKIP() << why;
    TempFolder folder("ntfs-removal");
    const std::string image = folder.at("volume.img");
    MountedVolume volume;
    std::string error;
    ASSERT_TRUE(makeVolumeImage(VolumeKind::ntfs, image, 16, error)) << error;
    ASSERT_TRUE(volume.mount(VolumeKind::ntfs, image, folder.at("ntfs"), "", error)) << error;
    std::string content(200000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>((i * 131 + 7) % 251);
    const std::string setup = volume.at("setup.exe");
    ASSERT_TRUE(writeFile(setup, content) && makeFolder(volume.at("dir")));
    for (const char* name : {"user.Zone.Identifier", "user.payload", "user.notes"})
        ASSERT_TRUE(setAttribute(setup, name, kZoneText));
    ASSERT_TRUE(setAttribute(volume.at("dir"), "user.folder stream", "on a folder"));
    PosixFileSystem fs;
    const RemovalResult result =
        RemoveStreams({{decodeName(setup), u"Zone.Identifier", u"$DATA"},
                       {decodeName(setup), u"gone", u"$DATA"},
                       {decodeName(volume.at("dir")), u"folder stream", u"$DATA"}},
                      fs);
    EXPECT_EQ(std::pair(result.removedCount, result.failedCount), std::pair(2u, 1u));
    EXPECT_EQ(result.outcomes[1].message, WindowsErrorText(kErrorFileNotFound));

    ASSERT_TRUE(volume.unmount(&error)) << error;
    ASSERT_TRUE(volume.mount(VolumeKind::ntfs, image, folder.at("ntfs"), "", error)) << error;
    EXPECT_EQ(readFile(setup), content);
    EXPECT_EQ(runCommand({"getfattr", "-R", "--absolute-names", volume.mountPoint()}).out,
              "# file: " + setup + "\nuser.notes\nuser.payload\n\n");
}

// A real client writes a stream and marks the file hidden and read-only on a
// share that keeps them Samba's way (streams_xattr, user.DOSATTRIB): the scan
// sees both, and a removal reaches what the client sees.
TEST(SambaShare, StreamsAndAttributesAWindowsClientSetAreScannedAndRemoved) {
    if (geteuid() != 0 || access("/usr/sbin/smbd", X_OK) != 0)
        GTEST_SKIP() << "needs root and smbd (Debian samba, smbclient)";
    TempFolder folder("samba");
    const std::string share = folder.at("share");
    const int port = freePort();
    std::string config = "[global]\n  smb ports = " + std::to_string(port) +
                         "\n  interfaces = 127.0.0.1\n  bind interfaces only = yes\n"
                         "  map to guest = Bad User\n  load printers = no\n"
                         "  disable spoolss = yes\n  log file = " +
                         folder.at("smbd.log") + "\n";
    for (const char* place : {"lock directory", "state directory", "cache directory",
                              "pid directory", "private dir", "ncalrpc dir"}) {
        ASSERT_TRUE(makeFolder(folder.at(place)));
        config += std::string("  ") + place + " = " + folder.at(place) + "\n";
    }
    config += "[share]\n  path = " + share +
              "\n  guest ok = yes\n  read only = no\n  force user = root\n"
              "  vfs objects = streams_xattr\n";
    ASSERT_TRUE(makeFolder(share, 0777) && writeFile(folder.at("smb.conf"), config));
    Daemon smbd;
    std::string error;
    ASSERT_TRUE(smbd.start(
        {"smbd", "-s", folder.at("smb.conf"), "-F", "--no-process-group"}, folder.at("smbd.out"),
        [&] { return acceptsConnections(port); }, error))
        << error;
    const auto client = [&](const std::string& commands) {
        return runCommand({"smbclient", "//127.0.0.1/share", "-p", std::to_string(port), "-N", "-m",
                           "SMB3", "-c", commands},
                          {.limit = std::chrono::seconds(60)});
    };
    ASSERT_TRUE(writeFile(folder.at("setup.exe"), "MZ") && writeFile(folder.at("zone"), kZoneText));
    const CommandResult wrote = client("lcd " + folder.path() +
                                       "; put setup.exe; put zone setup.exe:Zone.Identifier;"
                                       " put setup.exe plain.exe; setmode setup.exe +hr");
    ASSERT_EQ(wrote.exitCode, 0) << wrote.output();

    PosixFileSystem fs;
    const ScanResult result = scanTree(fs, {share}, {.showItemsWithoutStreams = true});
    EXPECT_EQ(result.stats,
              (ScanStats{.files = 2, .folders = 1, .itemsWithStreams = 1, .streams = 1}));
    const StreamRecord* row = result.find(u"setup.exe", u"Zone.Identifier");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->streamSize, kZoneText.size());  // Samba's trailing zero is not content
    EXPECT_EQ(row->hostAttributes & 0x3u, 0x3u);   // hidden and read-only
    EXPECT_EQ(result.find(u"plain.exe", u"")->hostAttributes & 0x3u, 0u);

    EXPECT_EQ(RemoveStreams({{decodeName(share + "/setup.exe"), u"Zone.Identifier", u"$DATA"}}, fs)
                  .removedCount,
              1u);
    const CommandResult info = client("allinfo setup.exe");
    EXPECT_NE(info.out.find("stream: [::$DATA]"), std::string::npos) << info.output();
    EXPECT_EQ(info.out.find("Zone.Identifier"), std::string::npos) << info.output();
}

}  // namespace
}  // namespace streamscan
