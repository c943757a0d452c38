// The fake stands in for the real ports in every engine, window and console
// test, so the behaviour those tests lean on is pinned down here.
#include "support/fake_file_system.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace streamscan {
namespace {

std::vector<std::u16string> listNames(FakeFileSystem& fs, const std::u16string& folder,
                                      std::uint32_t* endError = nullptr) {
    std::vector<std::u16string> names;
    DirectoryEntry entry;
    std::unique_ptr<DirectoryListing> listing;
    std::uint32_t error = fs.startListing(folder, entry, listing);
    while (error == kErrorSuccess) {
        names.push_back(entry.name);
        error = listing->next(entry);
    }
    if (endError) {
        *endError = error;
    }
    return names;
}

TEST(FakeFileSystem, WindowsNamesIgnoreAsciiCaseAndPosixNamesDoNot) {
    FakeFileSystem windows(PathStyle::windows);
    windows.addFile(u"C:\\Dir\\File.TXT", "x");
    EXPECT_TRUE(windows.exists(u"c:/dir/file.txt"));
    EXPECT_TRUE(windows.exists(u"C:\\DIR\\"));
    windows.addFile(u"C:\\Dir\\\u00C9t\u00E9", "x");
    EXPECT_FALSE(windows.exists(u"C:\\Dir\\\u00E9t\u00E9"));  // only A-Z fold

    FakeFileSystem posix(PathStyle::posix);
    posix.addFile(u"/home/File.txt", "x");
    EXPECT_TRUE(posix.exists(u"/home/File.txt"));
    EXPECT_FALSE(posix.exists(u"/home/file.txt"));
    EXPECT_FALSE(posix.exists(u"\\home\\File.txt"));
}

TEST(FakeFileSystem, ListingsLookLikeTheRealOnes) {
    FakeFileSystem fs;
    fs.addFolder(u"C:\\d\\empty");
    fs.addFile(u"C:\\d\\b.txt");
    std::uint32_t end = 0;
    EXPECT_EQ(listNames(fs, u"C:\\d", &end),
              (std::vector<std::u16string>{u".", u"..", u"empty", u"b.txt"}));
    EXPECT_EQ(end, kErrorNoMoreFiles);
    EXPECT_EQ(listNames(fs, u"C:\\d\\b.txt", &end), std::vector<std::u16string>{});
    EXPECT_EQ(end, kErrorPathNotFound);

    FakeFileSystem emptyDrive;
    emptyDrive.addFolder(u"D:\\");
    listNames(emptyDrive, u"D:\\", &end);
    EXPECT_EQ(end, kErrorFileNotFound);

    fs.setFault(FakeOp::startListing, u"c:\\D", {59, 3});
    EXPECT_EQ(listNames(fs, u"C:\\d", &end), (std::vector<std::u16string>{u".", u"..", u"empty"}));
    EXPECT_EQ(end, 59u);
    EXPECT_EQ(fs.openListings(), 0);
    EXPECT_EQ(fs.maxOpenListings(), 1);
}

TEST(FakeFileSystem, CreatedFilesAreRealAndAFullDiskStopsTheWrite) {
    FakeFileSystem fs;
    fs.addFolder(u"C:\\out");
    std::unique_ptr<FileWriter> writer;
    EXPECT_EQ(fs.createFile(u"C:\\missing\\r.csv", writer), kErrorPathNotFound);
    EXPECT_EQ(fs.createFile(u"C:\\out", writer), kErrorAccessDenied);

    fs.fillDiskAfter(5);
    ASSERT_EQ(fs.createFile(u"C:\\out\\r.csv", writer), kErrorSuccess);
    std::uint32_t written = 0;
    const std::uint8_t bytes[] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(writer->write(bytes, 4, written), kErrorSuccess);
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(writer->write(bytes, 4, written), kErrorDiskFull);
    EXPECT_EQ(written, 1u);
    writer->close();
    EXPECT_EQ(fs.openWriters(), 0);
    EXPECT_EQ(fs.fileBytes(u"C:\\out\\r.csv"), "abcda");

    EXPECT_EQ(fs.deleteFile(u"C:\\out\\r.csv"), kErrorSuccess);
    EXPECT_FALSE(fs.exists(u"C:\\out\\r.csv"));
    EXPECT_EQ(fs.writtenBytes(u"C:\\out\\r.csv"), "abcda");
    EXPECT_EQ(fs.deleteFileCalls(), std::vector<std::u16string>{u"C:\\out\\r.csv"});
}

TEST(FakeFileSystem, DeletingAStreamRemovesItAndReadOnlyHostsRefuse) {
    FakeFileSystem fs;
    fs.addFile(u"C:\\a.txt", "x");
    fs.addStream(u"C:\\a.txt", u"Zone.Identifier", "z");
    fs.addFile(u"C:\\ro.txt", "x", kAttributeReadOnly);
    fs.addStream(u"C:\\ro.txt", u"s", "z");
    EXPECT_EQ(fs.deleteStream(u"C:\\a.txt", u"zone.identifier", u""), kErrorSuccess);
    EXPECT_FALSE(fs.hasStream(u"C:\\a.txt", u"Zone.Identifier"));
    EXPECT_EQ(fs.deleteStream(u"C:\\a.txt", u"Zone.Identifier", u"$DATA"), kErrorFileNotFound);
    EXPECT_EQ(fs.deleteStream(u"C:\\ro.txt", u"s", u"$DATA"), kErrorAccessDenied);
    EXPECT_TRUE(fs.hasStream(u"C:\\ro.txt", u"s"));
    EXPECT_EQ(fs.deleteStreamCalls().size(), 3u);
    EXPECT_EQ(fs.calls(FakeOp::deleteStream), 3u);
}

TEST(FakeFileSystem, FullPathResolvesAgainstTheCurrentFolder) {
    struct Case {
        PathStyle style;
        std::u16string current;
        std::u16string path;
        std::u16string expected;
    };
    const Case cases[] = {
        {PathStyle::windows, u"C:\\work", u"a.txt", u"C:\\work\\a.txt"},
        {PathStyle::windows, u"C:\\work", u"..\\b\\.\\a.txt\\", u"C:\\b\\a.txt\\"},
        {PathStyle::windows, u"C:\\work", u"\\x", u"C:\\x"},
        {PathStyle::windows, u"C:\\work", u"C:x", u"C:\\work\\x"},
        {PathStyle::windows, u"C:\\work", u"D:x", u"D:\\x"},
        {PathStyle::windows, u"C:\\work", u"\\\\srv\\share\\..\\..\\y", u"\\\\srv\\share\\y"},
        {PathStyle::posix, u"/home/u", u"a", u"/home/u/a"},
        {PathStyle::posix, u"/home/u", u"../../../a/", u"/a/"},
        {PathStyle::posix, u"/home/u", u"/", u"/"},
    };
    for (const auto& c : cases) {
        FakeFileSystem fs(c.style);
        fs.setCurrentFolder(c.current);
        EXPECT_EQ(fs.fullPath(c.path), c.expected);
    }
}

}  // namespace
}  // namespace streamscan
