#include "engine/csv_report.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/csv_field.h"
#include "engine/value_text.h"
#include "support/fake_file_system.h"
#include "support/report_fixture.h"

namespace streamscan {
namespace {

const std::u16string kPath = u"C:\\reports\\scan.csv";
// The mark and the header line every report starts with.
const std::u16string kHead = reportFixtureText().substr(0, reportFixtureText().find(u"\r\n") + 2);

// The report's exact bytes show the rest of the quoting and the guard.
TEST(CsvField, GuardsEveryFormulaStartAsWritten) {
    EXPECT_EQ(detail::csvField(u"+1"), u"\"'+1\"");
    EXPECT_EQ(detail::csvField(u"a=b+c-d@e"), u"a=b+c-d@e");
    EXPECT_EQ(detail::csvField(u"\t=x"), u"<U+0009>=x");  // an escaped control comes first
}

TEST(CoverageNote, SaysWhatTheScanDidNotExamine) {
    const std::pair<ScanStats, std::u16string> cases[] = {
        {{.files = 10, .folders = 3, .itemsWithStreams = 2, .streams = 4}, u""},
        {{.volumesWithoutStreams = 2}, u"\"Not examined: 2 volumes without stream support\""},
        {{.accessDenied = 12345}, u"\"Not examined: 12345 denied\""},  // never grouped
        {{.accessDenied = 4,
          .listFailed = 1,
          .unreadableStreams = 2,
          .linksNotFollowed = 3,
          .volumesWithoutStreams = 1,
          .cancelled = true},
         u"\"Scan cancelled before it finished\"\r\n\"Not examined: 4 denied, 1 could not be "
         u"listed, 2 unreadable, 3 links not followed, 1 volume without stream support\""},
    };
    for (const auto& [stats, note] : cases) {
        EXPECT_EQ(coverageNote(stats), note.empty() ? note : u"\r\n" + note + u"\r\n");
    }
    EXPECT_EQ(coverageNote({}, 1), u"\r\n\"Left out by the filter: 1 row\"\r\n");
}

// Writes a report through a fake with an empty C:\reports and gives its bytes.
std::string reportBytes(const std::vector<StreamRecord>& records, const ScanStats* stats) {
    FakeFileSystem fs;
    fs.addFolder(u"C:\\reports");
    std::u16string message = u"stale";
    EXPECT_TRUE(writeCsvReport(kPath, records, &message, stats, fs));
    EXPECT_EQ(message, u"");
    EXPECT_EQ(fs.log().open, FakeLog().open);
    return fs.fileBytes(kPath);
}

TEST(CsvReport, WritesTheExactBytes) {
    const ScanStats fixtureStats = reportFixtureStats();
    EXPECT_EQ(reportBytes(reportFixtureRecords(), &fixtureStats),
              littleEndianBytes(reportFixtureText()));
    EXPECT_EQ(reportBytes({}, nullptr), littleEndianBytes(kHead));
    // A lower bound is shown as one and never written as the stream's byte
    // count; the time is the local time text.
    const StreamRecord record{.hostFolder = u"C:\\",
                              .hostName = u"a.txt",
                              .streamName = u"big",
                              .streamType = u"$DATA",
                              .streamSize = 65536,
                              .streamSizeAtLeast = true,
                              .hostModified = 133487712000000000ULL,
                              .unreadable = true};
    ASSERT_FALSE(timeText(record.hostModified).empty());
    EXPECT_EQ(reportBytes({record}, nullptr),
              littleEndianBytes(kHead + u",,C:\\a.txt,File,big,$DATA,at least 64.0 KB,,0,," +
                                timeText(record.hostModified) + u",,,,,No\r\n"));
}

// Enough rows to pass the slice size several times.
const std::vector<StreamRecord> kManyRecords = [] {
    const StreamRecord record{.hostFolder = u"C:\\D", .hostName = u"p.txt", .hostSize = 7};
    return std::vector<StreamRecord>(2500, record);
}();

TEST(CsvReport, ALongReportIsWrittenInSlicesAsIfAtOnce) {
    std::u16string whole = kHead;
    for (std::size_t i = 0; i < kManyRecords.size(); ++i) {
        whole += u",,C:\\D\\p.txt,File,,,,,7,,,,,,,\r\n";
    }
    ASSERT_GT(whole.size(), 2 * detail::kReportSlice);
    EXPECT_EQ(reportBytes(kManyRecords, nullptr), littleEndianBytes(whole));
}

// A port that cannot even say why it failed.
struct ThrowingFileSystem : FakeFileSystem {
    std::uint32_t createFile(const std::u16string&, std::unique_ptr<FileWriter>&) override {
        throw std::runtime_error("device gone");
    }
};

TEST(CsvReport, AFileThatCannotBeCreatedIsNamedAndAnEarlierOneKept) {
    FakeFileSystem fs;
    fs.addFile(u"C:\\reports\\busy.csv", "earlier");
    fs.setFault(FakeOp::createFile, u"C:\\reports\\busy.csv", {kErrorSharingViolation});
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"", u"No file name was given for the report."},
        {u"C:\\reports\\busy.csv",
         u"Could not create C:\\reports\\busy.csv: The file is in use by another program (32)"},
        // The path goes into a message box: its controls are shown, not obeyed.
        {u"C:\\nowhere\\a\r\nb\u202E.csv",
         u"Could not create C:\\nowhere\\a<U+000D><U+000A>b<U+202E>.csv: Path not found (3)"},
    };
    for (const auto& [path, expected] : cases) {
        std::u16string message;
        EXPECT_FALSE(writeCsvReport(path, kManyRecords, &message, nullptr, fs));
        EXPECT_EQ(message, expected);
    }
    EXPECT_EQ(fs.fileBytes(u"C:\\reports\\busy.csv"), "earlier");
    EXPECT_EQ(fs.calls(FakeOp::deleteFile), 0u);

    ThrowingFileSystem throwing;
    std::u16string message;
    EXPECT_FALSE(writeCsvReport(kPath, kManyRecords, &message, nullptr, throwing));
    EXPECT_EQ(message, u"The report could not be written.");
}

TEST(CsvReport, AReportThatFailsHalfWayIsTakenBack) {
    const std::pair<FakeFault, std::u16string> cases[] = {
        {{kErrorDiskFull, 1000}, u"Could not write the report: The disk is full (112)"},
        {{kErrorDiskFull, 70000}, u"Could not write the report: The disk is full (112)"},
        {{.throwBadAlloc = true}, u"Ran out of memory while building the report."},
    };
    for (const auto& [fault, expected] : cases) {
        FakeFileSystem fs;
        fs.addFile(kPath, "an earlier report");
        fs.setFault(FakeOp::write, kPath, fault);
        std::u16string message;
        EXPECT_FALSE(writeCsvReport(kPath, kManyRecords, &message, nullptr, fs));
        EXPECT_EQ(message, expected);
        // The fake writes in place: neither a truncated report nor the earlier
        // one is left under the name.
        EXPECT_FALSE(fs.exists(kPath)) << fault.after;
        EXPECT_EQ(fs.log().open, FakeLog().open);
    }
}

}  // namespace
}  // namespace streamscan
