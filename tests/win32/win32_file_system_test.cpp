// The Win32 port on a real folder under Wine, and the report written through it.
#include "engine/win32/win32_file_system.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
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

// Distinct halves, so swapped or dropped halves show.
constexpr std::uint64_t kSomeFileTime = 0x01D5'0A0B'1C2D'3E40ull;
constexpr std::uint32_t kShownAttributes = kAttributeDirectory | kAttributeReadOnly;

// Sets the size (when given; a file end costs no disk space) and the last-write time.
bool setFacts(const std::u16string& path, std::int64_t size, std::uint64_t lastWrite) {
    HANDLE handle =
        CreateFileW(prefixed(path).c_str(), size < 0 ? FILE_WRITE_ATTRIBUTES : GENERIC_WRITE, 0,
                    nullptr, OPEN_ALWAYS, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const FILETIME time{static_cast<DWORD>(lastWrite), static_cast<DWORD>(lastWrite >> 32)};
    const bool ok = handle != INVALID_HANDLE_VALUE &&
                    (size < 0 || (SetFilePointerEx(handle, {.QuadPart = size}, nullptr, 0) &&
                                  SetEndOfFile(handle))) &&
                    SetFileTime(handle, nullptr, nullptr, &time);
    CloseHandle(handle);
    return ok;
}

// Every entry of a listing with its facts; returns the code the listing ended with.
std::uint32_t listAll(FileSystem& fs, const std::u16string& folder,
                      std::map<std::u16string, ItemFacts>& entries) {
    DirectoryEntry entry;
    std::unique_ptr<DirectoryListing> listing;
    std::uint32_t end = fs.startListing(folder, entry, listing);
    for (entries.clear(); end == 0; end = listing->next(entry)) {
        EXPECT_EQ(listing->entryFacts(entries[entry.name]), 0u);
        EXPECT_EQ(entry.kind, entryKindOf(entries[entry.name].attributes));
    }
    EXPECT_TRUE(!listing || listing->next(entry) == end) << "a finished listing keeps its end";
    return end;
}

// A file's content read through the port in pieces of at most `piece` bytes.
std::string readFile(FileSystem& fs, const std::u16string& path, std::uint32_t piece) {
    std::unique_ptr<StreamReader> reader;
    std::vector<std::uint8_t> buffer(piece);
    std::string content;
    std::uint32_t got = 0;
    if (fs.openStream(path, u"", u"", false, reader) != 0)
        return "(not opened)";
    while (reader->read(buffer.data(), piece, got) == 0 && got != 0 && got <= piece)
        content.append(reinterpret_cast<const char*>(buffer.data()), got);
    return content;
}

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
                               {u"large.bin", "", 0x1'0000'0005, 0},  // past 4 GiB
                               {u"folder", "", 0, kAttributeDirectory}};
    for (const std::u16string name : {u"dir.", u"dir", u"trail ", u"con", u"nul.txt", u"COM1"})
        cases.push_back({name, "", 0, kAttributeDirectory});
    cases.push_back({deep, "", 0, kAttributeDirectory});
    for (std::size_t i = 3, count = cases.size(); i < count; ++i) {
        const std::string own = "in " + utf8ForDisplay(cases[i].path);
        cases.push_back({cases[i].path + u"\\f.txt.", own, own.size(), 0});
    }
    for (const Case& c : cases) {
        ASSERT_TRUE(c.attributes & kAttributeDirectory ? makeFolder(tree / c.path)
                                                       : writeBytes(tree / c.path, c.content));
    }
    // Children first, so that no folder's time moves after it is set.
    for (std::size_t i = cases.size(); i-- > 0;) {
        const bool sparse = cases[i].size != cases[i].content.size();
        ASSERT_TRUE(setFacts(tree / cases[i].path, sparse ? std::int64_t(cases[i].size) : -1,
                             kSomeFileTime + i));
    }
    ASSERT_TRUE(SetFileAttributesW(prefixed(tree / u"small.txt").c_str(), kAttributeReadOnly));

    Win32FileSystem fs;
    std::map<std::u16string, ItemFacts> entries;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::u16string path = tree / cases[i].path;
        const std::size_t slash = path.find_last_of(u'\\');
        SCOPED_TRACE(utf8ForDisplay(cases[i].path));
        ASSERT_EQ(listAll(fs, path.substr(0, slash), entries), kErrorNoMoreFiles);
        ItemFacts facts;
        std::uint32_t attributes = 0;
        ASSERT_EQ(fs.itemFacts(path, facts), 0u);
        ASSERT_EQ(fs.plainAttributes(path, attributes), 0u);
        EXPECT_EQ(attributes & kShownAttributes, cases[i].attributes);
        for (const ItemFacts& seen : {facts, entries[path.substr(slash + 1)]}) {
            EXPECT_EQ(seen.size, cases[i].size);
            EXPECT_EQ(seen.lastWrite, kSomeFileTime + i);
            EXPECT_EQ(seen.attributes & kShownAttributes, cases[i].attributes);
        }
        const VolumeInfo volume = fs.queryVolume(path);  // Wine's: NTFS without streams
        EXPECT_TRUE(volume.known && !volume.namedStreams && volume.fileSystemName == u"NTFS");
        // Read in pieces smaller than the content, so that they must add up.
        if (!cases[i].content.empty()) {
            EXPECT_EQ(readFile(fs, path, 4), cases[i].content);
        }
    }
    EXPECT_EQ(listAll(fs, tree.path() + u"\\", entries), kErrorNoMoreFiles);
    EXPECT_EQ(entries.size(), 12u) << "a trailing separator changes nothing";
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
        {fs.itemFacts(tree / u"missing.txt", facts), kErrorFileNotFound},
        {fs.startListing(missing, entry, listing), kErrorPathNotFound},
        {fs.openStream(tree / u"missing.txt", u"", u"", false, reader), kErrorFileNotFound},
        {fs.createFile(missing, writer), kErrorPathNotFound},
        {fs.createFile(locked, writer), kErrorSharingViolation},
        {fs.deleteFile(tree / u"missing.txt"), kErrorFileNotFound},
        // Wine keeps no named streams.
        {fs.startStreams(host, stream, streams), kErrorHandleEof},
        {fs.openStream(host, u"Zone.Identifier", u"$DATA", false, reader), kErrorFileNotFound},
        {fs.openStream(tree.path(), u"", u"", false, reader), kErrorAccessDenied},
        {fs.deleteStream(host, u"Zone.Identifier", u"$DATA"), kErrorFileNotFound},
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
    EXPECT_EQ(readBytes(path), "older") << "before the end";
    writer->discard();
    EXPECT_EQ(readBytes(path), "older");
    EXPECT_EQ(namesIn(folder), std::vector<std::u16string>{u"report.csv"});
    EXPECT_NE(writer->write(reinterpret_cast<const std::uint8_t*>("x"), 1, written), 0u);
    EXPECT_EQ(written, 0u);

    const ScanStats stats = reportFixtureStats();
    std::u16string message = u"stale";
    // The entry point without a port writes through the native one.
    ASSERT_TRUE(writeCsvReport(path, reportFixtureRecords(), &message, &stats));
    EXPECT_EQ(message, u"");
    EXPECT_EQ(readBytes(path), littleEndianBytes(reportFixtureText()));
    EXPECT_EQ(fs.deleteFile(path), 0u);
    EXPECT_EQ(readBytes(path), std::nullopt);
}

}  // namespace
}  // namespace streamscan
