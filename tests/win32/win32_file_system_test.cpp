// The Win32 port on a real folder under Wine, and the report written through it.
#include "engine/win32/win32_file_system.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine/csv_report.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"
#include "support/report_fixture.h"
#include "win32/temp_tree.h"

namespace streamscan {
namespace {

using namespace wintest;

constexpr std::uint32_t kShownAttributes = kAttributeDirectory | kAttributeReadOnly;

// Win32 parsing of a plain path strips a trailing dot or space and turns a
// device name into the device, and past MAX_PATH only the prefixed form works.
// Each "f.txt." holds its own folder's name, so reaching a look-alike shows.
TEST(Win32Port, ReachesEachItemExactlyAsListedAtAnyLength) {
    TempTree tree;
    std::u16string deep = tree.path();
    while (deep.size() < 320)
        ASSERT_TRUE(makeFolder(deep += u"\\" + std::u16string(60, u'L')));
    deep = deep.substr(tree.path().size() + 1) + u"\\deep.";
    struct Case {
        std::u16string path;
        std::string content;
        std::uint64_t size;
        std::uint32_t attributes;
    };
    std::vector<Case> cases = {{u"small.txt", "hello", 5, kAttributeReadOnly},
                               {u"large.bin", "", 0x1'0000'0005, 0}};  // past 4 GiB
    const std::u16string names[] = {u"dir.", u"dir", u"trail ", u"con", u"nul.txt", u"COM1", deep};
    for (const std::u16string& name : names) {
        const std::string own = "in " + utf8ForDisplay(name);
        cases.push_back({name, "", 0, kAttributeDirectory});
        cases.push_back({name + u"\\f.txt.", own, own.size(), 0});
    }
    for (const Case& c : cases)
        ASSERT_TRUE(c.attributes & kAttributeDirectory ? makeFolder(tree / c.path)
                                                       : writeBytes(tree / c.path, c.content));
    std::filesystem::resize_file(prefixed(tree / u"large.bin"), cases[1].size);  // no disk space
    ASSERT_TRUE(SetFileAttributesW(prefixed(tree / u"small.txt").c_str(), kAttributeReadOnly));

    Win32FileSystem fs;
    for (const Case& c : cases) {
        const std::u16string path = tree / c.path;
        const std::size_t slash = path.find_last_of(u'\\');
        SCOPED_TRACE(utf8ForDisplay(c.path));
        DirectoryEntry entry;
        std::unique_ptr<DirectoryListing> listing;
        std::uint32_t end = fs.startListing(path.substr(0, slash), entry, listing);
        while (end == 0 && entry.name != path.substr(slash + 1))
            end = listing->next(entry);
        ItemFacts listed, facts;
        std::uint32_t attributes = 0;
        ASSERT_TRUE(end == 0 && listing->entryFacts(listed) == 0) << "found in its folder";
        ASSERT_EQ(fs.itemFacts(path, facts), 0u);
        ASSERT_EQ(fs.plainAttributes(path, attributes), 0u);
        EXPECT_EQ(attributes & kShownAttributes, c.attributes);
        EXPECT_EQ(entry.kind, entryKindOf(listed.attributes));
        WIN32_FILE_ATTRIBUTE_DATA data{};  // the system's own word on the time
        ASSERT_TRUE(GetFileAttributesExW(prefixed(path).c_str(), GetFileExInfoStandard, &data));
        const FILETIME& time = data.ftLastWriteTime;
        for (const ItemFacts& seen : {facts, listed}) {
            EXPECT_EQ(seen.size, c.size);
            EXPECT_EQ(seen.attributes & kShownAttributes, c.attributes);
            EXPECT_EQ(seen.lastWrite,
                      std::uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime);
        }
        EXPECT_EQ(fs.queryVolume(path).fileSystemName, u"NTFS") << "Wine's volume";
        // Files are read in pieces smaller than their content, which must add up.
        std::unique_ptr<StreamReader> reader;
        std::string content;
        std::uint8_t piece[4];
        std::uint32_t got = 0;
        if (!c.content.empty()) {
            ASSERT_EQ(fs.openStream(path, u"", u"", false, reader), 0u);
            while (reader->read(piece, 4, got) == 0 && got != 0 && got <= 4)
                content.append(reinterpret_cast<const char*>(piece), got);
        }
        EXPECT_EQ(content, c.content);
    }
    // Removal reaches the exact name as well: one "f.txt." goes, its look-alike stays.
    EXPECT_EQ(fs.deleteStream(tree / u"dir.\\f.txt.", u"", u""), 0u);
    EXPECT_EQ(readBytes(tree / u"dir.\\f.txt."), std::nullopt);
    EXPECT_EQ(readBytes(tree / u"dir\\f.txt."), "in dir");
}

// What is missing, in use or not for opening, and paths the system would cut at
// an embedded NUL, fail with the system's codes and leave everything as it was.
TEST(Win32Port, FailsWithTheSystemsCodes) {
    TempTree tree;
    const std::u16string host = tree / u"host.txt", locked = tree / u"locked.csv";
    const std::u16string missing = tree / u"missing\\x", nul = host + std::u16string(u"\0.t", 3);
    ASSERT_TRUE(writeBytes(host, "host bytes") && writeBytes(locked, "keep"));
    HANDLE holder =
        CreateFileW(prefixed(locked).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Win32FileSystem fs;
    ItemFacts facts;
    std::uint32_t attributes = 0;
    std::unique_ptr<StreamReader> reader;
    std::unique_ptr<FileWriter> writer;
    StreamEntry stream;
    std::unique_ptr<StreamListing> streams;
    DirectoryEntry entry;
    std::unique_ptr<DirectoryListing> listing;
    const std::uint32_t cases[][2] = {
        {fs.startListing(missing, entry, listing), kErrorPathNotFound},
        {fs.createFile(missing, writer), kErrorPathNotFound},
        {fs.createFile(locked, writer), kErrorSharingViolation},
        {fs.startStreams(host, stream, streams), kErrorHandleEof},  // Wine keeps no streams
        {fs.openStream(tree.path(), u"", u"", false, reader), kErrorAccessDenied},
        // The system would act on the path before the NUL.
        {fs.itemFacts(nul, facts), kErrorInvalidName},
        {fs.plainAttributes(nul, attributes), kErrorInvalidName},
        {fs.startListing(nul, entry, listing), kErrorInvalidName},
        {fs.startStreams(nul, stream, streams), kErrorInvalidName},
        {fs.openStream(nul, u"", u"", false, reader), kErrorInvalidName},
        {fs.deleteStream(host, std::u16string(u"\0x", 2), u"$DATA"), kErrorInvalidName},
        {fs.createFile(nul, writer), kErrorInvalidName},
        {fs.deleteFile(nul), kErrorInvalidName},
    };
    CloseHandle(holder);
    for (std::size_t row = 0; row < std::size(cases); ++row)
        EXPECT_EQ(cases[row][0], cases[row][1]) << "row " << row;
    EXPECT_TRUE(!reader && !writer && !streams && !listing);
    EXPECT_EQ(fs.fullPath(nul), nul);
    EXPECT_FALSE(fs.queryVolume(nul).known);
    EXPECT_EQ(readBytes(host), "host bytes");
    EXPECT_EQ(readBytes(locked), "keep");
    EXPECT_EQ(namesIn(tree.path()).size(), 2u);
    // A folder opens with backup semantics; an open probe lets others delete the file.
    EXPECT_EQ(fs.openStream(tree.path(), u"", u"", true, reader), 0u);
    ASSERT_EQ(fs.openStream(host, u"", u"", false, reader), 0u);
    EXPECT_TRUE(DeleteFileW(prefixed(host).c_str())) << GetLastError();
}

// A report replaces the older file only when complete; one given up leaves the
// older file and nothing else. A path past MAX_PATH is reached.
TEST(Win32Port, WritesTheReportAndReplacesAnOlderFileOnlyWhenComplete) {
    TempTree tree;
    std::u16string folder = tree.path();
    while (folder.size() < 300)
        ASSERT_TRUE(makeFolder(folder += u"\\" + std::u16string(60, u'd')));
    const std::u16string path = folder + u"\\report.csv";
    ASSERT_TRUE(writeBytes(path, "older"));
    Win32FileSystem fs;
    std::unique_ptr<FileWriter> writer;
    std::uint32_t written = 0;
    ASSERT_EQ(fs.createFile(path, writer), 0u);
    EXPECT_EQ(writer->write(reinterpret_cast<const std::uint8_t*>("part"), 4, written), 0u);
    writer->discard();
    EXPECT_EQ(readBytes(path), "older");
    EXPECT_EQ(namesIn(folder), std::vector<std::u16string>{u"report.csv"});

    const ScanStats stats = reportFixtureStats();
    // The entry point without a port writes through the native one.
    ASSERT_TRUE(writeCsvReport(path, reportFixtureRecords(), nullptr, &stats));
    EXPECT_EQ(readBytes(path), littleEndianBytes(reportFixtureText()));
    EXPECT_EQ(fs.deleteFile(path), 0u);
    EXPECT_EQ(readBytes(path), std::nullopt);
}

}  // namespace
}  // namespace streamscan
