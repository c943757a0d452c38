// The Linux port on a real local folder: streams as user. attributes, lossless
// names, facts of every kind of item, error codes, the report file. Set up and
// checked with the system calls directly (support/real_volumes.h).
#include "engine/posix/posix_file_system.h"

#include <fcntl.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "engine/path_forms.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"
#include "support/real_volumes.h"

namespace streamscan {
namespace {

using realfs::TempFolder;

std::u16string wide(const std::string& bytes) {
    return decodeName(bytes);
}

// Every stream the port lists for a host, by listed name, or the error.
std::uint32_t listStreams(FileSystem& fs, const std::string& host,
                          std::map<std::u16string, std::uint64_t>& streams) {
    streams.clear();
    StreamEntry entry;
    std::unique_ptr<StreamListing> listing;
    std::uint32_t error = fs.startStreams(wide(host), entry, listing);
    while (error == kErrorSuccess) {
        EXPECT_TRUE(streams.emplace(entry.name, entry.size).second) << "listed twice";
        error = listing->next(entry);
    }
    return error;
}

// The whole content of one stream through the port, read in small pieces.
std::uint32_t readStream(FileSystem& fs, const std::string& host, const std::u16string& name,
                         const std::u16string& type, std::string& content) {
    content.clear();
    std::unique_ptr<StreamReader> reader;
    const std::uint32_t error = fs.openStream(wide(host), name, type, false, reader);
    if (error != kErrorSuccess) {
        return error;
    }
    std::uint8_t buffer[7];
    for (;;) {
        std::uint32_t got = 0;
        const std::uint32_t readError = reader->read(buffer, sizeof buffer, got);
        if (readError != kErrorSuccess) {
            return readError;
        }
        if (got == 0) {
            return kErrorSuccess;
        }
        content.append(reinterpret_cast<const char*>(buffer), got);
    }
}

std::map<std::u16string, ItemFacts> listFolder(FileSystem& fs, const std::string& folder,
                                               std::uint32_t& endError) {
    std::map<std::u16string, ItemFacts> entries;
    DirectoryEntry entry;
    std::unique_ptr<DirectoryListing> listing;
    endError = fs.startListing(wide(folder), entry, listing);
    while (endError == kErrorSuccess) {
        ItemFacts& facts = entries[entry.name];
        EXPECT_EQ(listing->entryFacts(facts), kErrorSuccess);
        // The kind the listing gives alone agrees with the facts asked for.
        EXPECT_EQ(entry.kind, entryKindOf(facts.attributes)) << utf8ForDisplay(entry.name);
        endError = listing->next(entry);
    }
    return entries;
}

class PosixPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.valid());
        if (!realfs::userAttributesWork(folder.path())) {
            GTEST_SKIP() << folder.path() << " does not take user. attributes";
        }
    }

    TempFolder folder{"port"};
    PosixFileSystem fs;
};

const std::string kZoneText =
    "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.test/a.exe\r\n";
const std::string kPayload = std::string("MZ\x90\0\x03\0\0\0", 8);

TEST_F(PosixPortTest, UserAttributesAreStreamsInBothForms) {
    const std::string host = folder.at("download.exe");
    ASSERT_TRUE(realfs::writeFile(host, "main content"));
    ASSERT_TRUE(realfs::setAttribute(host, "user.Zone.Identifier", kZoneText));
    // Samba keeps one zero byte after every stream value; it is not content.
    ASSERT_TRUE(realfs::setAttribute(host, "user.DosStream.payload:$DATA", kPayload + '\0'));
    ASSERT_TRUE(realfs::setAttribute(host, "user.DosStream.odd:$OTHER", std::string("x\0", 2)));
    ASSERT_TRUE(realfs::setAttribute(host, "user.DOSATTRIB", std::string("\0\0\x04\0", 4)));
    ASSERT_TRUE(realfs::setAttribute(host, "user.ctl\x01\x1b[2J", "c"));
    ASSERT_TRUE(realfs::setAttribute(host, "user.caf\xe9", "latin"));
    ASSERT_TRUE(realfs::setAttribute(host, "user.empty", ""));
    ASSERT_TRUE(realfs::setAttribute(host, "user.a:b", "colon"));
    const bool trusted = realfs::setAttribute(host, "trusted.hidden", "not a stream");

    std::map<std::u16string, std::uint64_t> streams;
    EXPECT_EQ(listStreams(fs, host, streams), kErrorHandleEof);
    const std::map<std::u16string, std::uint64_t> expected = {
        {u":Zone.Identifier:$DATA", kZoneText.size()},
        {u":payload:$DATA", kPayload.size()},
        {u":odd:$OTHER", 1},
        {u":ctl\u0001\u001b[2J:$DATA", 1},
        {u":caf\xDCE9:$DATA", 5},
        {u":empty:$DATA", 0},
        {u":a:b:$DATA", 5},
    };
    EXPECT_EQ(streams, expected) << (trusted ? "trusted. set too" : "");

    // Each listed stream is read back by the name and type the engine splits
    // from its listed form, and gives exactly its content.
    struct ReadCase {
        std::u16string name;
        std::u16string type;
        std::string content;
    };
    const ReadCase reads[] = {
        {u"Zone.Identifier", u"$DATA", kZoneText},
        {u"payload", u"$DATA", kPayload},
        {u"odd", u"$OTHER", "x"},
        {u"ctl\u0001\u001b[2J", u"$DATA", "c"},
        {u"caf\xDCE9", u"$DATA", "latin"},
        {u"empty", u"$DATA", ""},
        {u"a", u"b:$DATA", "colon"},
        {u"zone.identifier", u"$DATA", ""},  // names are exact on Linux
        {u"DOSATTRIB", u"$DATA", ""},        // metadata, never a stream
    };
    for (const ReadCase& c : reads) {
        std::string content;
        const std::uint32_t error = readStream(fs, host, c.name, c.type, content);
        if (c.name == u"zone.identifier" || c.name == u"DOSATTRIB") {
            EXPECT_EQ(error, kErrorFileNotFound) << utf8ForDisplay(c.name);
        } else {
            EXPECT_EQ(error, kErrorSuccess) << utf8ForDisplay(c.name);
            EXPECT_EQ(content, c.content) << utf8ForDisplay(c.name);
        }
    }
}

TEST_F(PosixPortTest, ItemWithoutUserAttributesHasNoStreams) {
    const std::string plain = folder.at("plain.txt");
    ASSERT_TRUE(realfs::writeFile(plain, "x"));
    ASSERT_TRUE(realfs::setAttribute(plain, "user.DOSATTRIB", "0x20"));
    std::map<std::u16string, std::uint64_t> streams;
    EXPECT_EQ(listStreams(fs, plain, streams), kErrorHandleEof);
    EXPECT_TRUE(streams.empty());
}

TEST_F(PosixPortTest, DeletingRemovesTheAttributeThatCarriesTheStream) {
    const std::string host = folder.at("host.txt");
    ASSERT_TRUE(realfs::writeFile(host, "x"));
    ASSERT_TRUE(realfs::setAttribute(host, "user.Zone.Identifier", kZoneText));
    ASSERT_TRUE(realfs::setAttribute(host, "user.DosStream.payload:$DATA", kPayload + '\0'));
    ASSERT_TRUE(realfs::setAttribute(host, "user.DOSATTRIB", "0x20"));
    ASSERT_TRUE(realfs::setAttribute(host, "user.keep", "k"));

    // $DATA in any letter case reaches both forms, as the removal rules allow.
    EXPECT_EQ(fs.deleteStream(wide(host), u"Zone.Identifier", u"$data"), kErrorSuccess);
    EXPECT_EQ(fs.deleteStream(wide(host), u"payload", u"$Data"), kErrorSuccess);
    EXPECT_FALSE(realfs::hasAttribute(host, "user.Zone.Identifier"));
    EXPECT_FALSE(realfs::hasAttribute(host, "user.DosStream.payload:$DATA"));

    EXPECT_EQ(fs.deleteStream(wide(host), u"Zone.Identifier", u"$DATA"), kErrorFileNotFound);
    EXPECT_EQ(fs.deleteStream(wide(host), u"DOSATTRIB", u"$DATA"), kErrorFileNotFound);
    EXPECT_EQ(fs.deleteStream(wide(host), u"", u"$DATA"), kErrorInvalidParameter);
    EXPECT_TRUE(realfs::hasAttribute(host, "user.DOSATTRIB"));
    EXPECT_TRUE(realfs::hasAttribute(host, "user.keep"));
    std::string content;
    ASSERT_TRUE(realfs::readFile(host, content));
    EXPECT_EQ(content, "x");
}

TEST_F(PosixPortTest, NamesThatAreNotUtf8ReachTheSameFileAgain) {
    const std::vector<std::string> names = {"caf\xe9.txt", "ctl\x01\x1b.txt", "\xff\xfe",
                                            "plain.txt", "\xc3\xa9t\xc3\xa9"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        // Each file has its own size, so reaching the wrong one shows.
        ASSERT_TRUE(realfs::writeFile(folder.at(names[i]), std::string(i + 1, 'x')));
        ASSERT_TRUE(realfs::setAttribute(folder.at(names[i]), "user.n", names[i]));
    }
    std::uint32_t endError = 0;
    const auto entries = listFolder(fs, folder.path(), endError);
    EXPECT_EQ(endError, kErrorNoMoreFiles);
    ASSERT_EQ(entries.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::u16string name = decodeName(names[i]);
        ASSERT_EQ(entries.count(name), 1u) << utf8ForDisplay(name);
        EXPECT_EQ(entries.at(name).size, i + 1);
        const std::u16string path = joinPath(wide(folder.path()), name, PathStyle::posix);
        ItemFacts facts;
        ASSERT_EQ(fs.itemFacts(path, facts), kErrorSuccess) << utf8ForDisplay(name);
        EXPECT_EQ(facts.size, i + 1);
        std::string content;
        EXPECT_EQ(readStream(fs, encodeName(path), u"n", u"$DATA", content), kErrorSuccess);
        EXPECT_EQ(content, names[i]);
    }
    EXPECT_EQ(entries.count(u"."), 0u);
    EXPECT_EQ(entries.count(u".."), 0u);
}

TEST_F(PosixPortTest, FactsAreThoseAWindowsListingGives) {
    const std::string sub = folder.at("sub");
    ASSERT_TRUE(realfs::makeFolder(sub));
    ASSERT_TRUE(realfs::writeFile(sub + "/file.txt", "12345"));
    ASSERT_TRUE(realfs::writeFile(sub + "/readonly.txt", "1"));
    ASSERT_EQ(chmod((sub + "/readonly.txt").c_str(), 0444), 0);
    ASSERT_TRUE(realfs::writeFile(sub + "/.hidden", "12"));
    ASSERT_TRUE(realfs::makeFolder(sub + "/folder"));
    ASSERT_TRUE(realfs::makeSymlink("folder", sub + "/link-to-folder"));
    ASSERT_TRUE(realfs::makeSymlink("file.txt", sub + "/link-to-file"));
    ASSERT_TRUE(realfs::makeSymlink("nowhere", sub + "/dangling"));
    ASSERT_EQ(mkfifo((sub + "/pipe").c_str(), 0644), 0);
    // 2021-03-04 05:06:07.123456789 UTC
    const struct timespec times[2] = {{1614834367, 123456789}, {1614834367, 123456789}};
    ASSERT_EQ(utimensat(AT_FDCWD, (sub + "/file.txt").c_str(), times, 0), 0);

    struct FactsCase {
        std::u16string name;
        std::uint32_t attributes;
        std::uint64_t size;
    };
    const FactsCase cases[] = {
        {u"file.txt", 0x20, 5},        {u"readonly.txt", 0x21, 1},
        {u".hidden", 0x22, 2},         {u"folder", 0x10, 0},
        {u"link-to-folder", 0x410, 0}, {u"link-to-file", 0x400, 0},
        {u"dangling", 0x400, 0},       {u"pipe", 0x80, 0},
    };
    std::uint32_t endError = 0;
    const auto entries = listFolder(fs, sub, endError);
    EXPECT_EQ(endError, kErrorNoMoreFiles);
    EXPECT_EQ(entries.size(), std::size(cases));
    for (const FactsCase& c : cases) {
        const std::string label = utf8ForDisplay(c.name);
        ASSERT_EQ(entries.count(c.name), 1u) << label;
        EXPECT_EQ(entries.at(c.name).attributes, c.attributes) << label;
        EXPECT_EQ(entries.at(c.name).size, c.size) << label;
        ItemFacts facts;
        ASSERT_EQ(fs.itemFacts(wide(sub) + u"/" + c.name, facts), kErrorSuccess) << label;
        EXPECT_EQ(facts.attributes, c.attributes) << label;
        EXPECT_EQ(facts.size, c.size) << label;
        EXPECT_EQ(facts.lastWrite, entries.at(c.name).lastWrite) << label;
        std::uint32_t plain = 0;
        EXPECT_EQ(fs.plainAttributes(wide(sub) + u"/" + c.name, plain), kErrorSuccess);
        EXPECT_EQ(plain, c.attributes) << label;
    }
    EXPECT_EQ(entries.at(u"file.txt").lastWrite, 132593079671234567ULL);
}

// tmpfs keeps any 64-bit time, so a hostile file can carry one far beyond what
// a FILETIME holds; local disk clamps it, so the test needs a tmpfs.
TEST(PosixPortTimes, TimesAFileTimeCannotHoldAreNoTime) {
    char pattern[] = "/dev/shm/tessalin-times-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        GTEST_SKIP() << "no /dev/shm to make a folder in";
    }
    const std::string folder = pattern;
    const std::string file = folder + "/f";
    ASSERT_TRUE(realfs::writeFile(file, "x"));
    struct TimeCase {
        std::int64_t seconds;
        std::uint64_t fileTime;
    };
    const TimeCase cases[] = {
        {9000000000000000LL, 0},
        {-9000000000000000LL, 0},
        {-11644473601LL, 0},  // before 1601
        // The latest second whose every nanosecond still fits.
        {910692730084LL, 116444736000000000ULL + 910692730084ULL * 10000000ULL + 9999999ULL},
        {910692730085LL, 0},
    };
    PosixFileSystem fs;
    for (const TimeCase& c : cases) {
        const struct timespec times[2] = {{static_cast<time_t>(c.seconds), 999999999},
                                          {static_cast<time_t>(c.seconds), 999999999}};
        struct stat st;
        if (utimensat(AT_FDCWD, file.c_str(), times, 0) != 0 || stat(file.c_str(), &st) != 0 ||
            st.st_mtim.tv_sec != c.seconds) {
            unlink(file.c_str());
            rmdir(folder.c_str());
            GTEST_SKIP() << "/dev/shm does not keep the time " << c.seconds;
        }
        ItemFacts facts;
        EXPECT_EQ(fs.itemFacts(wide(file), facts), kErrorSuccess);
        EXPECT_EQ(facts.lastWrite, c.fileTime) << c.seconds;
    }
    unlink(file.c_str());
    rmdir(folder.c_str());
}

TEST_F(PosixPortTest, HostContentIsReadOnlyFromARegularFileNeverThroughALink) {
    const std::string file = folder.at("file.bin");
    ASSERT_TRUE(realfs::writeFile(file, "MZ host bytes"));
    ASSERT_TRUE(realfs::makeSymlink("file.bin", folder.at("link")));
    ASSERT_EQ(mkfifo(folder.at("pipe").c_str(), 0644), 0);
    std::string content;
    EXPECT_EQ(readStream(fs, file, u"", u"$OTHER", content), kErrorSuccess);
    EXPECT_EQ(content, "MZ host bytes");
    EXPECT_NE(readStream(fs, folder.at("link"), u"", u"$OTHER", content), kErrorSuccess);
    // A pipe with no writer would block a probe forever.
    EXPECT_NE(readStream(fs, folder.at("pipe"), u"", u"$OTHER", content), kErrorSuccess);
    EXPECT_NE(readStream(fs, folder.path(), u"", u"$OTHER", content), kErrorSuccess);
}

TEST_F(PosixPortTest, FailuresBecomeTheWindowsCodesTheEngineCounts) {
    ASSERT_TRUE(realfs::writeFile(folder.at("file"), "x"));
    ASSERT_TRUE(realfs::makeFolder(folder.at("empty")));
    const std::u16string root = wide(folder.path());
    const std::u16string longName(300, u'n');
    ItemFacts facts;
    DirectoryEntry entry;
    std::unique_ptr<DirectoryListing> listing;
    StreamEntry streamEntry;
    std::unique_ptr<StreamListing> streams;
    std::unique_ptr<StreamReader> reader;

    EXPECT_EQ(fs.itemFacts(root + u"/missing", facts), kErrorFileNotFound);
    EXPECT_EQ(fs.itemFacts(root + u"/file/below", facts), kErrorPathNotFound);
    EXPECT_EQ(fs.itemFacts(root + u"/" + longName, facts), kErrorFilenameTooLong);
    EXPECT_EQ(fs.itemFacts(root + std::u16string(u"/fi\0le", 6), facts), kErrorInvalidName);
    // A folder that is gone is a failure, never an empty folder.
    EXPECT_EQ(fs.startListing(root + u"/missing", entry, listing), kErrorPathNotFound);
    EXPECT_EQ(fs.startListing(root + u"/file", entry, listing), kErrorPathNotFound);
    EXPECT_EQ(fs.startListing(root + u"/empty", entry, listing), kErrorNoMoreFiles);
    EXPECT_EQ(listing, nullptr);
    EXPECT_EQ(fs.startStreams(root + u"/missing", streamEntry, streams), kErrorFileNotFound);
    EXPECT_EQ(fs.openStream(root + u"/file", u"absent", u"$DATA", false, reader),
              kErrorFileNotFound);
    EXPECT_EQ(fs.deleteStream(root + u"/missing", u"s", u"$DATA"), kErrorFileNotFound);

    const std::pair<int, std::uint32_t> errnos[] = {
        {EACCES, 5},      {EPERM, 5},          {ENOENT, 2},         {ENODATA, 2},
        {ENOTDIR, 3},     {ENAMETOOLONG, 206}, {ENOSPC, 112},       {EDQUOT, 112},
        {EROFS, 19},      {EBUSY, 32},         {ETXTBSY, 32},       {ENOTSUP, 50},
        {EOPNOTSUPP, 50}, {EIO, 0x20000005},   {E2BIG, 0x20000007}, {ERANGE, 0x20000022},
    };
    for (const auto& [error, code] : errnos) {
        EXPECT_EQ(windowsErrorFromErrno(error), code) << "errno " << error;
    }
}

TEST_F(PosixPortTest, FullPathIsLexicalAndNeverFollowsLinks) {
    ASSERT_TRUE(realfs::makeFolder(folder.at("real")));
    ASSERT_TRUE(realfs::makeFolder(folder.at("real/inner")));
    ASSERT_TRUE(realfs::makeSymlink(folder.at("real/inner"), folder.at("jump")));
    std::vector<char> cwd(4096);
    ASSERT_NE(getcwd(cwd.data(), cwd.size()), nullptr);
    const std::u16string here = wide(cwd.data());
    const std::u16string base = wide(folder.path());

    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"/a//b///c", u"/a/b/c"},
        {u"/a/./b/.", u"/a/b"},
        {u"/a/b/../c", u"/a/c"},
        {u"/../..", u"/"},
        {u"/", u"/"},
        {u"/a/b/", u"/a/b/"},
        {u"name", here + u"/name"},
        {u"./x/../y", here + u"/y"},
        // After a link, ".." goes back up the path as written, not the target's.
        {base + u"/jump/..", base},
        {u"", u""},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(fs.fullPath(input), expected) << utf8ForDisplay(input);
    }
    EXPECT_EQ(fs.pathStyle(), PathStyle::posix);
}

TEST_F(PosixPortTest, LocalVolumeHoldsStreamsAndIsNamedByTheMountTable) {
    const realfs::CommandResult found =
        realfs::runCommand({"findmnt", "-n", "-o", "FSTYPE", "--target", folder.path()});
    const VolumeInfo volume = fs.queryVolume(wide(folder.path()));
    EXPECT_TRUE(volume.known);
    EXPECT_TRUE(volume.namedStreams);
    if (found.exitCode == 0) {
        std::string type = found.output;
        type.erase(type.find_last_not_of("\n ") + 1);
        EXPECT_EQ(volume.fileSystemName, wide(type));
    }
    EXPECT_FALSE(fs.queryVolume(u"").known);
}

// The report is written beside its target and takes its place only on commit.
TEST_F(PosixPortTest, ReportFileTakesItsTargetsPlaceOnlyWhenCommitted) {
    const std::string path = folder.at("report.csv");
    const std::string bytes("\xff\xfeh\0i\0", 6);
    const mode_t mask = umask(0);
    umask(mask);
    for (const bool commit : {false, true}) {
        ASSERT_TRUE(realfs::writeFile(path, "an older, longer report"));
        std::unique_ptr<FileWriter> writer;
        ASSERT_EQ(fs.createFile(wide(path), writer), kErrorSuccess);
        std::uint32_t written = 0;
        EXPECT_EQ(writer->write(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                static_cast<std::uint32_t>(bytes.size()), written),
                  kErrorSuccess);
        std::string content;
        ASSERT_TRUE(realfs::readFile(path, content));
        EXPECT_EQ(content, "an older, longer report") << "before the end";
        if (commit)
            EXPECT_EQ(writer->commit(), kErrorSuccess);
        writer.reset();
        ASSERT_TRUE(realfs::readFile(path, content));
        EXPECT_EQ(content, commit ? bytes : "an older, longer report") << commit;
        struct stat st;
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        if (commit)
            EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
        std::size_t entries = 0;
        for (DIR* dir = opendir(folder.path().c_str()); dir != nullptr; dir = nullptr) {
            while (const dirent* entry = readdir(dir))
                entries += entry->d_name[0] == '.' ? 0 : 1;
            closedir(dir);
        }
        EXPECT_EQ(entries, 1u) << "no partial file is left beside it";
    }

    EXPECT_EQ(fs.deleteFile(wide(path)), kErrorSuccess);
    EXPECT_NE(access(path.c_str(), F_OK), 0);
    EXPECT_EQ(fs.deleteFile(wide(path)), kErrorFileNotFound);
    std::unique_ptr<FileWriter> writer;
    EXPECT_EQ(fs.createFile(wide(folder.at("missing/x.csv")), writer), kErrorPathNotFound);
}

}  // namespace
}  // namespace streamscan
