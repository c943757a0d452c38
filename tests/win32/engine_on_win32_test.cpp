// The engine's entry points on the real Win32 port, under Wine: what a user of
// the Windows build sees when a report is written or a stream removed.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine/csv_report.h"
#include "engine/removal.h"
#include "engine/tree_walk.h"
#include "engine/win32/win32_file_system.h"
#include "win32/temp_tree.h"

namespace streamscan {
namespace {

using wintest::readBytes;
using wintest::TempTree;
using wintest::wide;
using wintest::writeBytes;

std::string narrow(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

std::string utf16le(const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

const std::u16string kHeader =
    u"Severity,Note,Path,Host Type,Stream,Stream Type,Stream Size,Stream Size (bytes),"
    u"Host Size (bytes),Host Attributes,Host Modified,Zone,Zone Id,Host URL,Referrer URL,"
    u"Readable\r\n";

TEST(Win32Report, AnEmptyReportReplacesAnOlderFileWithMarkAndHeader) {
    TempTree tree;
    const std::u16string path = tree / u"report.csv";
    ASSERT_TRUE(writeBytes(path, std::string(1000, 'o')));
    std::u16string message = u"stale";
    Win32FileSystem fs;
    ASSERT_TRUE(writeCsvReport(path, {}, &message, nullptr, fs)) << narrow(message);
    EXPECT_TRUE(message.empty());
    std::string content;
    ASSERT_TRUE(readBytes(path, content));
    EXPECT_EQ(content, "\xFF\xFE" + utf16le(kHeader));
}

TEST(Win32Report, AFileHeldOpenByAnotherProgramIsNotTouched) {
    TempTree tree;
    const std::u16string path = tree / u"report.csv";
    ASSERT_TRUE(writeBytes(path, "keep"));
    HANDLE holder = CreateFileW(wide(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::u16string message;
    Win32FileSystem fs;
    EXPECT_FALSE(writeCsvReport(path, {}, &message, nullptr, fs));
    CloseHandle(holder);
    EXPECT_EQ(narrow(message),
              "Could not create " + narrow(path) + ": The file is in use by another program (32)");
    std::string content;
    ASSERT_TRUE(readBytes(path, content));
    EXPECT_EQ(content, "keep");
}

TEST(Win32Removal, AMissingStreamFailsAndTheHostStays) {
    TempTree tree;
    const std::u16string host = tree / u"setup.exe";
    ASSERT_TRUE(writeBytes(host, "MZ"));
    Win32FileSystem fs;
    const RemovalResult result =
        RemoveStreams({{host, u"Zone.Identifier", u"$DATA"}, {host, u"", u"$DATA"}}, fs);
    EXPECT_EQ(result.removedCount, 0u);
    EXPECT_EQ(result.failedCount, 1u);
    EXPECT_EQ(result.refusedCount, 1u);
    ASSERT_EQ(result.outcomes.size(), 2u);
    EXPECT_EQ(narrow(result.outcomes[0].message), "Stream not found (2)");
    std::string content;
    ASSERT_TRUE(readBytes(host, content));
    EXPECT_EQ(content, "MZ");
}

// Wine's volumes cannot hold named streams, so the honest result of a real scan
// there is the volume counted and nothing else: no rows, no items, no failures.
TEST(Win32Scan, AWineVolumeCountsAsOneWithoutStreamsAndGivesNoRows) {
    TempTree tree;
    ASSERT_TRUE(writeBytes(tree / u"a.txt", "a"));
    ASSERT_TRUE(wintest::makeFolder(tree / u"sub"));
    ASSERT_TRUE(writeBytes(tree / u"sub\\b.exe", "MZ"));
    ScanOptions options;
    options.showItemsWithoutStreams = true;
    std::vector<StreamRecord> rows;
    const RecordSink sink = [&](const StreamRecord& record) { rows.push_back(record); };
    int progressCalls = 0;
    const ProgressSink progress = [&](const std::u16string&, const ScanStats&) { ++progressCalls; };

    Win32FileSystem fs;
    const struct {
        const char* label;
        std::vector<std::u16string> roots;
        std::uint64_t volumes;
    } cases[] = {
        {"folder", {tree.path()}, 1},
        {"folder and file", {tree.path(), tree / u"sub\\b.exe"}, 2},
    };
    for (const auto& c : cases) {
        rows.clear();
        progressCalls = 0;
        const ScanStats stats = scanRoots(c.roots, options, sink, {}, progress, fs);
        EXPECT_EQ(stats.volumesWithoutStreams, c.volumes) << c.label;
        EXPECT_EQ(stats.files + stats.folders + stats.streams + stats.itemsWithStreams, 0u)
            << c.label;
        EXPECT_EQ(stats.accessDenied + stats.listFailed + stats.unreadableStreams +
                      stats.linksNotFollowed,
                  0u)
            << c.label;
        EXPECT_FALSE(stats.cancelled) << c.label;
        EXPECT_TRUE(rows.empty()) << c.label;
        EXPECT_EQ(progressCalls, 0) << c.label;
    }

    // The entry point without a port uses this one.
    const ScanStats native = scanRoots({tree.path()}, options, sink, {}, {});
    EXPECT_EQ(native.volumesWithoutStreams, 1u);
    EXPECT_TRUE(rows.empty());
}

}  // namespace
}  // namespace streamscan
