// The Windows writer, through the real kernel32 port, produces byte for byte the
// report that the engine test checks on Linux.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "engine/csv_field.h"
#include "engine/csv_report.h"
#include "support/report_fixture.h"
#include "win32/temp_tree.h"

namespace streamscan {
namespace {

using wintest::exists;
using wintest::readBytes;
using wintest::TempTree;

TEST(Win32ReportBytes, FixtureReportMatchesTheSharedBytes) {
    TempTree tree;
    ASSERT_FALSE(tree.path().empty());
    const std::u16string path = tree / u"fixture report.csv";
    const std::vector<StreamRecord> records = reportFixtureRecords();
    const ScanStats stats = reportFixtureStats();
    std::u16string message = u"stale";
    // The entry point without a port writes through the native one.
    ASSERT_TRUE(writeCsvReport(path, records, &message, &stats));
    EXPECT_TRUE(message.empty());
    std::string bytes;
    ASSERT_TRUE(readBytes(path, bytes));
    EXPECT_EQ(bytes, littleEndianBytes(reportFixtureText()));
}

TEST(Win32ReportBytes, LongReportInALongPathIsWrittenWhole) {
    TempTree tree;
    ASSERT_FALSE(tree.path().empty());
    // Past MAX_PATH, so the report is only reachable through the long-path form.
    std::u16string folder = tree.path();
    while (folder.size() < 300) {
        folder += u"\\" + std::u16string(60, u'd');
        ASSERT_TRUE(wintest::makeFolder(folder));
    }
    const std::u16string path = folder + u"\\report.csv";

    StreamRecord record;
    record.hostFolder = u"C:\\Data";
    record.hostName = u"plain.txt";
    record.hostSize = 1048576;
    const std::vector<StreamRecord> records(2000, record);
    ScanStats stats;
    stats.volumesWithoutStreams = 1;
    std::u16string message;
    ASSERT_TRUE(writeCsvReport(path, records, &message, &stats));

    std::u16string expected =
        u"\uFEFFSeverity,Note,Path,Host Type,Stream,Stream Type,Stream Size,"
        u"Stream Size (bytes),Host Size (bytes),Host Attributes,Host Modified,Zone,Zone Id,"
        u"Host URL,Referrer URL,Readable\r\n";
    for (std::size_t i = 0; i < records.size(); ++i)
        expected += u",,C:\\Data\\plain.txt,File,,,,,1048576,,,,,,,\r\n";
    expected += u"\r\n\"Not examined: 1 volume without stream support\"\r\n";
    ASSERT_GT(expected.size(), 2 * detail::kReportSlice);
    std::string bytes;
    ASSERT_TRUE(readBytes(path, bytes));
    EXPECT_EQ(bytes, littleEndianBytes(expected));
}

TEST(Win32ReportBytes, MissingFolderGivesPathNotFoundAndNoFile) {
    TempTree tree;
    ASSERT_FALSE(tree.path().empty());
    const std::u16string path = tree / u"no such folder\\report.csv";
    std::u16string message;
    EXPECT_FALSE(writeCsvReport(path, reportFixtureRecords(), &message, nullptr));
    EXPECT_EQ(message, u"Could not create " + path + u": Path not found (3)");
    EXPECT_FALSE(exists(path));
    EXPECT_FALSE(exists(tree / u"no such folder"));
}

}  // namespace
}  // namespace streamscan
