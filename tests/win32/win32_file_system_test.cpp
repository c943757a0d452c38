#include "engine/win32/win32_file_system.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "engine/win_codes.h"
#include "win32/temp_tree.h"

namespace streamscan {
namespace {

using wintest::exists;
using wintest::makeFolder;
using wintest::prefixed;
using wintest::readBytes;
using wintest::TempTree;
using wintest::wide;
using wintest::writeBytes;

std::string narrow(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

// Switches the process's current folder for one test.
class CurrentFolder {
  public:
    explicit CurrentFolder(const std::u16string& folder) {
        wchar_t buffer[MAX_PATH + 1] = {};
        GetCurrentDirectoryW(MAX_PATH + 1, buffer);
        saved = reinterpret_cast<const char16_t*>(buffer);
        EXPECT_TRUE(SetCurrentDirectoryW(wide(folder)));
    }
    ~CurrentFolder() { SetCurrentDirectoryW(wide(saved)); }

  private:
    std::u16string saved;
};

bool setLastWrite(const std::u16string& path, std::uint64_t fileTime, bool folder) {
    HANDLE handle =
        CreateFileW(wide(prefixed(path)), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, folder ? FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(fileTime);
    time.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    const BOOL ok = SetFileTime(handle, nullptr, nullptr, &time);
    CloseHandle(handle);
    return ok != 0;
}

// A file of `size` bytes that costs no disk space (the end is set, nothing written).
bool makeSizedFile(const std::u16string& path, std::uint64_t size) {
    HANDLE file = CreateFileW(wide(prefixed(path)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

// Reads a stream to its end in pieces of `piece` bytes; returns the sizes of the pieces.
std::vector<std::uint32_t> readInPieces(StreamReader& reader, std::uint32_t piece,
                                        std::string& content, std::uint32_t& error) {
    std::vector<std::uint32_t> pieces;
    std::vector<std::uint8_t> buffer(piece);
    content.clear();
    for (;;) {
        std::uint32_t got = 12345;
        error = reader.read(buffer.data(), piece, got);
        if (error != 0 || got == 0) {
            return pieces;
        }
        pieces.push_back(got);
        content.append(reinterpret_cast<const char*>(buffer.data()), got);
    }
}

// Distinct halves, so swapped or dropped halves show.
constexpr std::uint64_t kSomeFileTime = 0x01D5'0A0B'1C2D'3E40ull;
// Past 4 GiB: the high half of the size matters.
constexpr std::uint64_t kLargeSize = 0x1'0000'0005ull;

TEST(Win32FullPath, ResolvesAgainstTheCurrentFolder) {
    TempTree tree;
    ASSERT_TRUE(makeFolder(tree / u"sub"));
    CurrentFolder current(tree / u"sub");
    const std::u16string longName(300, u'n');
    struct Case {
        std::u16string path;
        std::u16string expected;
    };
    const Case cases[] = {
        {u".", tree / u"sub"},
        {u"..", tree.path()},
        {u"a.txt", tree / u"sub\\a.txt"},
        {u"..\\b\\c.txt", tree / u"b\\c.txt"},
        {u"./x/../y", tree / u"sub\\y"},
        {u"C:\\one\\..\\two", u"C:\\two"},
        {longName, tree / (u"sub\\" + longName)},  // the answer is longer than MAX_PATH
        {u"", u""},                                // the system refuses; unchanged
    };
    Win32FileSystem fs;
    for (const auto& c : cases) {
        EXPECT_EQ(narrow(fs.fullPath(c.path)), narrow(c.expected)) << narrow(c.path);
    }
}

TEST(Win32QueryVolume, WineReportsNtfsWithoutNamedStreams) {
    TempTree tree;
    const std::u16string deep =
        tree / (std::u16string(200, u'd') + u"\\" + std::u16string(100, u'e'));
    Win32FileSystem fs;
    for (const std::u16string& path : {std::u16string(u"Z:\\"), std::u16string(u"Z:\\tmp"),
                                       tree.path(), tree / u"missing", deep}) {
        const VolumeInfo info = fs.queryVolume(path);
        EXPECT_TRUE(info.known) << narrow(path);
        EXPECT_FALSE(info.namedStreams) << narrow(path);
        EXPECT_EQ(narrow(info.fileSystemName), "NTFS") << narrow(path);
    }
    const VolumeInfo none = fs.queryVolume(u"");
    EXPECT_FALSE(none.known);
    EXPECT_TRUE(none.fileSystemName.empty());
}

TEST(Win32ItemFacts, ReportsAttributesSizeAndTimeOfFilesAndFolders) {
    TempTree tree;
    ASSERT_TRUE(writeBytes(tree / u"small.txt", "hello"));
    ASSERT_TRUE(makeSizedFile(tree / u"large.bin", kLargeSize));
    ASSERT_TRUE(makeFolder(tree / u"folder"));
    ASSERT_TRUE(setLastWrite(tree / u"small.txt", kSomeFileTime, false));
    ASSERT_TRUE(setLastWrite(tree / u"folder", kSomeFileTime + 10'000'000, true));
    ASSERT_TRUE(SetFileAttributesW(wide(tree / u"small.txt"), FILE_ATTRIBUTE_READONLY));

    Win32FileSystem fs;
    ItemFacts facts;
    ASSERT_EQ(fs.itemFacts(tree / u"small.txt", facts), 0u);
    EXPECT_EQ(facts.size, 5u);
    EXPECT_EQ(facts.lastWrite, kSomeFileTime);
    EXPECT_EQ(facts.attributes & (kAttributeDirectory | kAttributeReadOnly), kAttributeReadOnly);

    ASSERT_EQ(fs.itemFacts(tree / u"large.bin", facts), 0u);
    EXPECT_EQ(facts.size, kLargeSize);
    EXPECT_EQ(facts.attributes & kAttributeDirectory, 0u);

    ASSERT_EQ(fs.itemFacts(tree / u"folder", facts), 0u);
    EXPECT_NE(facts.attributes & kAttributeDirectory, 0u);
    EXPECT_EQ(facts.size, 0u);
    EXPECT_EQ(facts.lastWrite, kSomeFileTime + 10'000'000);

    EXPECT_EQ(fs.itemFacts(tree / u"missing.txt", facts), kErrorFileNotFound);
    EXPECT_EQ(fs.itemFacts(tree / u"missing\\a.txt", facts), kErrorPathNotFound);

    std::uint32_t attributes = 0;
    ASSERT_EQ(fs.plainAttributes(tree / u"small.txt", attributes), 0u);
    EXPECT_NE(attributes & kAttributeReadOnly, 0u);
    ASSERT_EQ(fs.plainAttributes(tree / u"folder", attributes), 0u);
    EXPECT_EQ(attributes & (kAttributeDirectory | kAttributeReadOnly), kAttributeDirectory);
    EXPECT_EQ(fs.plainAttributes(tree / u"missing.txt", attributes), kErrorFileNotFound);
}

std::uint32_t listAll(FileSystem& fs, const std::u16string& folder,
                      std::map<std::u16string, ItemFacts>& entries) {
    entries.clear();
    DirectoryEntry entry;
    std::unique_ptr<DirectoryListing> listing;
    const std::uint32_t start = fs.startListing(folder, entry, listing);
    if (start != 0) {
        EXPECT_EQ(listing, nullptr);
        return start;
    }
    std::uint32_t end = 0;
    do {
        ItemFacts facts;
        EXPECT_EQ(listing->entryFacts(facts), 0u);
        EXPECT_EQ(entry.kind, entryKindOf(facts.attributes)) << narrow(entry.name);
        EXPECT_TRUE(entries.emplace(entry.name, facts).second) << narrow(entry.name);
    } while ((end = listing->next(entry)) == 0);
    // A finished listing keeps saying how it ended.
    EXPECT_EQ(listing->next(entry), end);
    return end;
}

TEST(Win32Listing, ListsEveryEntryWithItsFacts) {
    TempTree tree;
    ASSERT_TRUE(writeBytes(tree / u"a.txt", "abc"));
    ASSERT_TRUE(makeSizedFile(tree / u"b.bin", kLargeSize));
    ASSERT_TRUE(makeFolder(tree / u"sub"));
    ASSERT_TRUE(writeBytes(tree / u"sub\\inner.txt", "x"));
    ASSERT_TRUE(setLastWrite(tree / u"a.txt", kSomeFileTime, false));

    Win32FileSystem fs;
    std::map<std::u16string, ItemFacts> entries;
    ASSERT_EQ(listAll(fs, tree.path(), entries), kErrorNoMoreFiles);
    std::vector<std::string> names;
    for (const auto& [name, facts] : entries) {
        names.push_back(narrow(name));
    }
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a.txt", "b.bin", "sub"}));
    EXPECT_EQ(entries[u"a.txt"].size, 3u);
    EXPECT_EQ(entries[u"a.txt"].lastWrite, kSomeFileTime);
    EXPECT_EQ(entries[u"a.txt"].attributes & kAttributeDirectory, 0u);
    EXPECT_EQ(entries[u"b.bin"].size, kLargeSize);
    EXPECT_NE(entries[u"sub"].attributes & kAttributeDirectory, 0u);
    EXPECT_EQ(entries[u"sub"].size, 0u);

    // A trailing separator on the folder changes nothing.
    ASSERT_EQ(listAll(fs, tree.path() + u"\\", entries), kErrorNoMoreFiles);
    EXPECT_EQ(entries.size(), 5u);
}

TEST(Win32Listing, EmptyAndMissingFoldersAreToldApart) {
    TempTree tree;
    ASSERT_TRUE(makeFolder(tree / u"empty"));
    ASSERT_TRUE(writeBytes(tree / u"file.txt", "x"));
    Win32FileSystem fs;
    std::map<std::u16string, ItemFacts> entries;

    ASSERT_EQ(listAll(fs, tree / u"empty", entries), kErrorNoMoreFiles);
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries.count(u"."), 1u);
    EXPECT_EQ(entries.count(u".."), 1u);

    EXPECT_EQ(listAll(fs, tree / u"missing", entries), kErrorPathNotFound);
    EXPECT_EQ(listAll(fs, tree / u"missing\\deeper", entries), kErrorPathNotFound);
    // A file is no folder to list: a failure, never an empty folder (Wine says 123).
    const std::uint32_t file = listAll(fs, tree / u"file.txt", entries);
    EXPECT_TRUE(file != 0 && file != kErrorFileNotFound && file != kErrorNoMoreFiles) << file;
}

TEST(Win32LongPaths, ReachesItemsPastMaxPathThroughThePrefixedForm) {
    TempTree tree;
    std::u16string deep = tree.path();
    while (deep.size() < 320) {
        deep += u"\\" + std::u16string(60, u'L');
        ASSERT_TRUE(makeFolder(deep)) << deep.size();
    }
    // A name that ends in a dot is reached only through the prefixed form (plain
    // paths lose trailing dots), which shows the prefix is really applied.
    const std::u16string file = deep + u"\\deep.txt.";
    ASSERT_TRUE(writeBytes(file, "deep content"));
    ASSERT_GT(file.size(), 300u);

    Win32FileSystem fs;
    std::map<std::u16string, ItemFacts> entries;
    ASSERT_EQ(listAll(fs, deep, entries), kErrorNoMoreFiles);
    ASSERT_EQ(entries.count(u"deep.txt."), 1u);
    EXPECT_EQ(entries[u"deep.txt."].size, 12u);

    ItemFacts facts;
    ASSERT_EQ(fs.itemFacts(file, facts), 0u);
    EXPECT_EQ(facts.size, 12u);
    std::uint32_t attributes = 0;
    EXPECT_EQ(fs.plainAttributes(file, attributes), 0u);

    std::unique_ptr<StreamReader> reader;
    ASSERT_EQ(fs.openStream(file, u"", u"", false, reader), 0u);
    std::string content;
    std::uint32_t error = 0;
    readInPieces(*reader, 4096, content, error);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(content, "deep content");
    reader.reset();

    const std::u16string report = deep + u"\\report.csv.";
    std::unique_ptr<FileWriter> writer;
    ASSERT_EQ(fs.createFile(report, writer), 0u);
    std::uint32_t written = 0;
    EXPECT_EQ(writer->write(reinterpret_cast<const std::uint8_t*>("csv"), 3, written), 0u);
    EXPECT_EQ(writer->commit(), 0u);
    EXPECT_TRUE(readBytes(report, content));
    EXPECT_EQ(content, "csv");
    EXPECT_EQ(fs.deleteFile(report), 0u);
    EXPECT_FALSE(exists(report));
}

// Names that Win32 parsing rewrites in a plain path of any length: a trailing
// dot or space is stripped (dir. would reach dir), and a device name reaches the
// device. Each folder holds f.txt with its own content, so reaching a look-alike
// shows in the size and the bytes.
TEST(Win32Port, ReachesEveryNameExactlyAsListedAtAnyLength) {
    TempTree tree;
    const std::u16string names[] = {u"dir.", u"dir", u"trail ", u"con", u"nul.txt", u"COM1"};
    for (const auto& name : names) {
        ASSERT_TRUE(makeFolder(tree / name)) << narrow(name);
        ASSERT_TRUE(writeBytes(tree / (name + u"\\f.txt"), "in " + narrow(name)));
    }

    Win32FileSystem fs;
    for (const auto& name : names) {
        const std::u16string folder = tree / name;
        const std::string own = "in " + narrow(name);
        SCOPED_TRACE(narrow(name));
        ItemFacts facts;
        ASSERT_EQ(fs.itemFacts(folder, facts), 0u);
        EXPECT_NE(facts.attributes & kAttributeDirectory, 0u);
        std::uint32_t attributes = 0;
        ASSERT_EQ(fs.plainAttributes(folder, attributes), 0u);
        EXPECT_NE(attributes & kAttributeDirectory, 0u);
        EXPECT_TRUE(fs.queryVolume(folder).known);

        std::map<std::u16string, ItemFacts> entries;
        ASSERT_EQ(listAll(fs, folder, entries), kErrorNoMoreFiles);
        EXPECT_EQ(entries[u"f.txt"].size, own.size());
        std::unique_ptr<StreamReader> reader;
        ASSERT_EQ(fs.openStream(folder + u"\\f.txt", u"", u"", false, reader), 0u);
        std::string content;
        std::uint32_t error = 0;
        readInPieces(*reader, 4096, content, error);
        EXPECT_EQ(content, own);
    }
}

TEST(Win32Streams, WineListsNoStreamsAndNeverTouchesTheHost) {
    TempTree tree;
    ASSERT_TRUE(writeBytes(tree / u"host.txt", "host bytes"));
    ASSERT_TRUE(makeFolder(tree / u"folder"));
    Win32FileSystem fs;

    for (const std::u16string& host : {tree / u"host.txt", tree / u"folder"}) {
        StreamEntry entry;
        std::unique_ptr<StreamListing> listing;
        EXPECT_EQ(fs.startStreams(host, entry, listing), kErrorHandleEof) << narrow(host);
        EXPECT_EQ(listing, nullptr);
    }

    // Deleting a stream that is not there fails, and the host survives it.
    EXPECT_EQ(fs.deleteStream(tree / u"host.txt", u"Zone.Identifier", u"$DATA"),
              kErrorFileNotFound);
    EXPECT_EQ(fs.deleteStream(tree / u"host.txt", u"Zone.Identifier", u""), kErrorFileNotFound);
    std::string content;
    ASSERT_TRUE(readBytes(tree / u"host.txt", content));
    EXPECT_EQ(content, "host bytes");

    std::unique_ptr<StreamReader> reader;
    EXPECT_EQ(fs.openStream(tree / u"host.txt", u"Zone.Identifier", u"$DATA", false, reader),
              kErrorFileNotFound);
    EXPECT_EQ(reader, nullptr);
}

TEST(Win32OpenStream, AnEmptyNameReadsTheHostInPieces) {
    TempTree tree;
    const std::string bytes = "0123456789abcdefghij";  // 20 bytes
    ASSERT_TRUE(writeBytes(tree / u"host.bin", bytes));
    Win32FileSystem fs;

    struct Case {
        std::uint32_t piece;
        std::vector<std::uint32_t> pieces;
    };
    const Case cases[] = {
        {7, {7, 7, 6}}, {20, {20}}, {4096, {20}}, {1, std::vector<std::uint32_t>(20, 1)}};
    for (const auto& c : cases) {
        std::unique_ptr<StreamReader> reader;
        ASSERT_EQ(fs.openStream(tree / u"host.bin", u"", u"", false, reader), 0u);
        std::string content;
        std::uint32_t error = 1;
        EXPECT_EQ(readInPieces(*reader, c.piece, content, error), c.pieces) << c.piece;
        EXPECT_EQ(error, 0u);
        EXPECT_EQ(content, bytes);
    }

    std::unique_ptr<StreamReader> reader;
    EXPECT_EQ(fs.openStream(tree / u"missing.bin", u"", u"", false, reader), kErrorFileNotFound);
    EXPECT_EQ(reader, nullptr);
}

TEST(Win32OpenStream, AFolderHostOpensOnlyWithBackupSemantics) {
    TempTree tree;
    ASSERT_TRUE(makeFolder(tree / u"folder"));
    Win32FileSystem fs;
    std::unique_ptr<StreamReader> reader;
    EXPECT_EQ(fs.openStream(tree / u"folder", u"", u"", true, reader), 0u);
    EXPECT_NE(reader, nullptr);
    EXPECT_EQ(fs.openStream(tree / u"folder", u"", u"", false, reader), kErrorAccessDenied);
    EXPECT_EQ(reader, nullptr);
}

TEST(Win32OpenStream, AnOpenProbeNeverStandsInTheWayOfOthers) {
    TempTree tree;
    const std::u16string host = tree / u"busy.txt";
    ASSERT_TRUE(writeBytes(host, "busy"));
    Win32FileSystem fs;
    std::unique_ptr<StreamReader> reader;
    ASSERT_EQ(fs.openStream(host, u"", u"", false, reader), 0u);

    // Another program may write the file and delete it while the probe holds it.
    HANDLE other = CreateFileW(wide(host), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(other, INVALID_HANDLE_VALUE) << GetLastError();
    if (other != INVALID_HANDLE_VALUE) {
        CloseHandle(other);
    }
    EXPECT_TRUE(DeleteFileW(wide(host))) << GetLastError();
    reader.reset();
    EXPECT_FALSE(exists(host));
}

// The report is written beside the older file, which it replaces only when
// complete; one given up leaves the older file and nothing else.
TEST(Win32CreateFile, WritesExactlyTheBytesAndReplacesAnOlderFileOnlyWhenComplete) {
    TempTree tree;
    const std::u16string path = tree / u"report.csv";
    ASSERT_TRUE(writeBytes(path, std::string(100, 'o')));
    Win32FileSystem fs;

    std::unique_ptr<FileWriter> writer;
    ASSERT_EQ(fs.createFile(path, writer), 0u);
    std::uint32_t given = 0;
    EXPECT_EQ(writer->write(reinterpret_cast<const std::uint8_t*>("part"), 4, given), 0u);
    writer->discard();
    writer.reset();
    std::string content;
    ASSERT_TRUE(readBytes(path, content));
    EXPECT_EQ(content, std::string(100, 'o'));
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(wide(tree / u"*"), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    int entries = 0;
    do {
        entries +=
            found.cFileName[0] == L'.' && (found.cFileName[1] == 0 ||
                                           (found.cFileName[1] == L'.' && found.cFileName[2] == 0))
                ? 0
                : 1;
    } while (FindNextFileW(find, &found));
    FindClose(find);
    EXPECT_EQ(entries, 1) << "no partial file is left beside it";

    ASSERT_EQ(fs.createFile(path, writer), 0u);

    const std::string pieces[] = {std::string("\xFF\xFE", 2), "S\0e\0", std::string(3, '\0')};
    std::string expected;
    for (const auto& piece : pieces) {
        std::uint32_t written = 0;
        EXPECT_EQ(writer->write(reinterpret_cast<const std::uint8_t*>(piece.data()),
                                static_cast<std::uint32_t>(piece.size()), written),
                  0u);
        EXPECT_EQ(written, piece.size());
        expected += piece;
    }
    ASSERT_TRUE(readBytes(path, content));
    EXPECT_EQ(content, std::string(100, 'o')) << "before the end";
    EXPECT_EQ(writer->commit(), 0u);
    std::uint32_t written = 7;
    EXPECT_NE(writer->write(reinterpret_cast<const std::uint8_t*>("x"), 1, written), 0u);
    EXPECT_EQ(written, 0u);

    ASSERT_TRUE(readBytes(path, content));
    EXPECT_EQ(content, expected);
}

TEST(Win32CreateFile, FailsWithTheSystemsCode) {
    TempTree tree;
    const std::u16string locked = tree / u"locked.csv";
    ASSERT_TRUE(writeBytes(locked, "keep"));
    HANDLE holder = CreateFileW(wide(locked), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    Win32FileSystem fs;
    std::unique_ptr<FileWriter> writer;
    EXPECT_EQ(fs.createFile(locked, writer), kErrorSharingViolation);
    EXPECT_EQ(writer, nullptr);
    CloseHandle(holder);
    std::string content;
    ASSERT_TRUE(readBytes(locked, content));
    EXPECT_EQ(content, "keep");

    EXPECT_EQ(fs.createFile(tree / u"missing\\report.csv", writer), kErrorPathNotFound);
    EXPECT_EQ(writer, nullptr);
}

TEST(Win32DeleteFile, DeletesTheFileAndReportsAMissingOne) {
    TempTree tree;
    const std::u16string path = tree / u"old.csv";
    ASSERT_TRUE(writeBytes(path, "old"));
    Win32FileSystem fs;
    EXPECT_EQ(fs.deleteFile(path), 0u);
    EXPECT_FALSE(exists(path));
    EXPECT_EQ(fs.deleteFile(path), kErrorFileNotFound);
    EXPECT_EQ(fs.deleteFile(tree / u"missing\\old.csv"), kErrorPathNotFound);
}

// The system would stop at the NUL and act on the path before it.
TEST(Win32Port, RefusesPathsWithAnEmbeddedNul) {
    TempTree tree;
    const std::u16string victim = tree / u"victim.txt";
    ASSERT_TRUE(writeBytes(victim, "precious"));
    ASSERT_TRUE(makeFolder(tree / u"folder"));
    const std::u16string tail(u"\0.tmp", 5);
    Win32FileSystem fs;

    EXPECT_EQ(fs.deleteFile(victim + tail), kErrorInvalidName);
    EXPECT_EQ(fs.deleteStream(victim, std::u16string(u"\0x", 2), u"$DATA"), kErrorInvalidName);
    std::unique_ptr<FileWriter> writer;
    EXPECT_EQ(fs.createFile(victim + tail, writer), kErrorInvalidName);
    EXPECT_EQ(writer, nullptr);
    std::unique_ptr<StreamReader> reader;
    EXPECT_EQ(fs.openStream(victim + tail, u"", u"", false, reader), kErrorInvalidName);
    ItemFacts facts;
    EXPECT_EQ(fs.itemFacts(victim + tail, facts), kErrorInvalidName);
    std::uint32_t attributes = 0;
    EXPECT_EQ(fs.plainAttributes(victim + tail, attributes), kErrorInvalidName);
    DirectoryEntry entry;
    std::unique_ptr<DirectoryListing> listing;
    EXPECT_EQ(fs.startListing(tree / u"folder" + tail, entry, listing), kErrorInvalidName);
    StreamEntry streamEntry;
    std::unique_ptr<StreamListing> streams;
    EXPECT_EQ(fs.startStreams(victim + tail, streamEntry, streams), kErrorInvalidName);
    EXPECT_EQ(fs.fullPath(u"a" + tail), u"a" + tail);
    EXPECT_FALSE(fs.queryVolume(victim + tail).known);

    std::string content;
    ASSERT_TRUE(readBytes(victim, content));
    EXPECT_EQ(content, "precious");
}

}  // namespace
}  // namespace streamscan
