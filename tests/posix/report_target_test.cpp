// Where the CSV report goes on a real Linux file system: what each kind of
// target becomes, and that a report that fails leaves the earlier file as it was.
#include <fcntl.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/csv_report.h"
#include "engine/posix/posix_file_system.h"
#include "engine/unicode.h"
#include "support/real_volumes.h"

namespace streamscan {
namespace {

using namespace realfs;

bool makeSocket(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const bool made = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return made;
}

std::string refusal(const std::string& path, const std::string& reason) {
    return "Will not write to " + path + ": " + reason + ".";
}

// Each target kind, written with the rows of a scan of the folder: replaced
// (keeping owner, group and mode), replaced through a link that stays, written
// in place, or refused and left as it was.
TEST(PosixReport, EachTargetIsReplacedWrittenInPlaceOrRefused) {
    if (geteuid() != 0)
        GTEST_SKIP() << "owners and device nodes need root";
    TempFolder folder("target");
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ASSERT_TRUE(makeFile(folder.at("earlier.csv"), {}, "earlier"));
    ASSERT_EQ(chown(folder.at("earlier.csv").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(chmod(folder.at("earlier.csv").c_str(), 0640), 0);
    ASSERT_TRUE(makeFile(folder.at("linked.csv"), {}, "earlier"));
    ASSERT_EQ(symlink("linked.csv", folder.at("link.csv").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", folder.at("dead.csv").c_str()), 0);
    ASSERT_TRUE(makeSocket(folder.at("socket")));
    ASSERT_EQ(mknod(folder.at("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    ASSERT_EQ(mkfifo(folder.at("fifo").c_str(), 0600), 0);
    ASSERT_TRUE(makeFile(folder.at("listed.txt"), {"user.payload", "MZ"}, "evidence"));
    ASSERT_EQ(symlink("listed.txt", folder.at("to-listed").c_str()), 0);
    PosixFileSystem fs;
    const ScanResult scanned = scanTree(fs, {folder.path()});
    ASSERT_EQ(scanned.records.size(), 1u);

    const std::string listed =
        "the scan listed streams of it, and output never replaces what it reads";
    const struct {
        std::string name;
        std::string message;  // empty: written
        mode_t kind;          // what the name is afterwards
        std::string earlier;  // where the earlier content is kept, if it is
    } cases[] = {
        {"earlier.csv", "", S_IFREG, ""},
        {"link.csv", "", S_IFLNK, ""},
        {"null", "", S_IFCHR, ""},
        {"fifo", "", S_IFIFO, ""},
        {"dead.csv", refusal(folder.at("dead.csv"), "it is a link that leads nowhere"), S_IFLNK,
         ""},
        {"socket",
         refusal(folder.at("socket"), "it is neither a file, a character device nor a fifo"),
         S_IFSOCK, ""},
        {"listed.txt", refusal(folder.at("listed.txt"), listed), S_IFREG, "listed.txt"},
        {"to-listed", refusal(folder.at("to-listed"), listed), S_IFLNK, "listed.txt"},
    };
    // The fifo's reader is there before the report; a report this small fits
    // in the pipe, so it is read afterwards without waiting.
    const int reader = open(folder.at("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::u16string message;
        EXPECT_EQ(
            writeCsvReport(decodeName(folder.at(c.name)), scanned.records, &message, nullptr, fs),
            c.message.empty());
        EXPECT_EQ(encodeName(message), c.message);
        struct stat st;
        ASSERT_EQ(lstat(folder.at(c.name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & S_IFMT, c.kind);
        if (!c.earlier.empty()) {
            EXPECT_EQ(readFile(folder.at(c.earlier)), "evidence");
        }
    }
    char bytes[4] = {};
    EXPECT_EQ(read(reader, bytes, 2), 2);
    EXPECT_EQ(std::string(bytes, 2), "\xFF\xFE");
    close(reader);
    EXPECT_EQ(attribute(folder.at("listed.txt"), "user.payload"), "MZ");
    struct stat st;
    ASSERT_EQ(stat(folder.at("earlier.csv").c_str(), &st), 0);
    EXPECT_EQ(std::tuple(st.st_uid, st.st_gid, st.st_mode),
              std::tuple(nobody->pw_uid, nobody->pw_gid, S_IFREG | 0640));
    EXPECT_EQ(readFile(folder.at("linked.csv"))->substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(
        runCommand({"ls", "-A", folder.path()}).out,
        "dead.csv\nearlier.csv\nfifo\nlink.csv\nlinked.csv\nlisted.txt\nnull\nsocket\nto-listed\n");
}

// A report that fails midway over an earlier one, named directly or through a
// link, leaves the earlier file as it was and nothing else.
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
}

}  // namespace
}  // namespace streamscan
