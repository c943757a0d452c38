#include "engine/csv_report.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/csv_field.h"
#include "engine/value_text.h"
#include "support/fake_file_system.h"
#include "support/report_fixture.h"

namespace streamscan {
namespace {

using detail::appendCsvField;
using detail::csvField;
using detail::kMaxWritePiece;
using detail::kReportSlice;
using detail::writeReportBuffer;

constexpr char16_t kHeader[] =
    u"Severity,Note,Path,Host Type,Stream,Stream Type,Stream Size,Stream Size (bytes),"
    u"Host Size (bytes),Host Attributes,Host Modified,Zone,Zone Id,Host URL,Referrer URL,"
    u"Readable\r\n";

TEST(CsvField, EscapesQuotesAndGuardsFormulas) {
    struct Case {
        std::u16string in;
        std::u16string out;
    };
    const Case cases[] = {
        {u"", u""},
        {u"plain note", u"plain note"},
        {u" leading space; semicolon", u" leading space; semicolon"},
        {u"a,b", u"\"a,b\""},
        {u"say \"hi\"", u"\"say \"\"hi\"\"\""},
        {u"=cmd", u"\"'=cmd\""},
        {u"+1", u"\"'+1\""},
        {u"-1", u"\"'-1\""},
        {u"@sum", u"\"'@sum\""},
        {u"=\"a\",b", u"\"'=\"\"a\"\",b\""},
        {u"a=b+c-d@e", u"a=b+c-d@e"},
        {u"tab\there", u"tab<U+0009>here"},
        {u"cr\r\nlf", u"cr<U+000D><U+000A>lf"},
        {u"evil\u202Etxt.exe", u"evil<U+202E>txt.exe"},
        // The guard looks at what is written: an escaped control comes first.
        {u"\t=x", u"<U+0009>=x"},
        {u"caf\u00E9 \U0001F600", u"caf\u00E9 \U0001F600"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(csvField(c.in), c.out);
    }

    std::u16string line;
    appendCsvField(line, u"a,b", false);
    appendCsvField(line, u"-", false);
    appendCsvField(line, u"", true);
    EXPECT_EQ(line, u"\"a,b\",\"'-\",\r\n");
}

// A writer that takes what a script allows and keeps the bytes it took.
class ScriptedWriter : public FileWriter {
  public:
    struct Step {
        std::uint32_t error = 0;
        std::uint32_t accept = 0xFFFFFFFF;  // bytes taken at most
    };
    explicit ScriptedWriter(std::vector<Step> steps = {}) : script(std::move(steps)) {}

    std::vector<Step> script;  // used in order; afterwards every call takes all
    std::vector<std::uint32_t> asked;
    std::string bytes;
    bool keepBytes = true;

    std::uint32_t write(const std::uint8_t* data, std::uint32_t size,
                        std::uint32_t& written) override {
        const Step step = asked.size() < script.size() ? script[asked.size()] : Step{};
        asked.push_back(size);
        written = 0;
        if (step.error != 0)
            return step.error;
        written = std::min(size, step.accept);
        if (keepBytes)
            bytes.append(reinterpret_cast<const char*>(data), written);
        return 0;
    }
    void close() override {}
};

TEST(WriteReportBuffer, ShortWritesContinueWhereTheyStopped) {
    const std::u16string text = u"\uFEFFab\u00E9\U0001F600";
    ScriptedWriter writer({{0, 3}, {0, 1}, {0, 5}});
    std::u16string message = u"untouched";
    EXPECT_TRUE(writeReportBuffer(writer, text, &message));
    EXPECT_EQ(message, u"untouched");
    const std::uint8_t expected[] = {0xFF, 0xFE, 'a', 0, 'b', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE};
    EXPECT_EQ(writer.bytes, std::string(std::begin(expected), std::end(expected)));
    EXPECT_EQ(writer.asked, (std::vector<std::uint32_t>{12, 9, 8, 3}));

    ScriptedWriter untouched;
    EXPECT_TRUE(writeReportBuffer(untouched, u"", &message));
    EXPECT_TRUE(untouched.asked.empty());
}

TEST(WriteReportBuffer, FailuresGiveTheWriteText) {
    struct Case {
        const char* label;
        std::vector<ScriptedWriter::Step> script;
        std::u16string message;
        std::size_t calls;
    };
    const Case cases[] = {
        {"fails at once",
         {{kErrorAccessDenied, 0}},
         u"Could not write the report: Access denied (5)",
         1},
        {"fails after a short write",
         {{0, 4}, {kErrorDiskFull, 0}},
         u"Could not write the report: The disk is full (112)",
         2},
        // Success with nothing written would otherwise spin for ever.
        {"writes nothing",
         {{0, 2}, {0, 0}},
         u"Could not write the report: The disk is full (112)",
         2},
    };
    for (const Case& c : cases) {
        ScriptedWriter writer(c.script);
        std::u16string message;
        EXPECT_FALSE(writeReportBuffer(writer, u"0123456789", &message)) << c.label;
        EXPECT_EQ(message, c.message) << c.label;
        EXPECT_EQ(writer.asked.size(), c.calls) << c.label;

        ScriptedWriter quiet(c.script);
        EXPECT_FALSE(writeReportBuffer(quiet, u"0123456789", nullptr)) << c.label;
    }
}

TEST(WriteReportBuffer, NoSingleWriteExceedsTheLargestPiece) {
    // 64 MiB and one code unit: one full piece and a rest of two bytes.
    std::u16string text(kMaxWritePiece / 2 + 1, u'x');
    text.back() = u'\u20AC';
    ScriptedWriter writer({{0, 0xFFFFFFFF}, {0, 1}});
    writer.keepBytes = false;
    ASSERT_TRUE(writeReportBuffer(writer, text, nullptr));
    EXPECT_EQ(writer.asked, (std::vector<std::uint32_t>{kMaxWritePiece, 2, 1}));
}

// The in-memory file system, with every created file's writes recorded and, on
// request, shortened or broken by an exception.
class RecordingFileSystem : public FakeFileSystem {
  public:
    std::vector<std::uint32_t> writeSizes;
    std::uint32_t acceptAtMost = 0xFFFFFFFF;
    std::function<void()> beforeWrite;

    std::uint32_t createFile(const std::u16string& path,
                             std::unique_ptr<FileWriter>& writer) override {
        const std::uint32_t error = FakeFileSystem::createFile(path, writer);
        if (error == 0)
            writer = std::make_unique<Writer>(*this, std::move(writer));
        return error;
    }

  private:
    class Writer : public FileWriter {
      public:
        Writer(RecordingFileSystem& owner, std::unique_ptr<FileWriter> inner)
            : owner_(owner), inner_(std::move(inner)) {}
        std::uint32_t write(const std::uint8_t* data, std::uint32_t size,
                            std::uint32_t& written) override {
            owner_.writeSizes.push_back(size);
            if (owner_.beforeWrite)
                owner_.beforeWrite();
            return inner_->write(data, std::min(size, owner_.acceptAtMost), written);
        }
        void close() override { inner_->close(); }
        std::uint32_t commit() override { return inner_->commit(); }
        void discard() override { inner_->discard(); }

      private:
        RecordingFileSystem& owner_;
        std::unique_ptr<FileWriter> inner_;
    };
};

const std::u16string kReportPath = u"C:\\reports\\scan.csv";

TEST(CsvReport, FixtureRecordsGiveTheExactBytes) {
    FakeFileSystem fs;
    fs.addFolder(u"C:\\reports");
    const std::vector<StreamRecord> records = reportFixtureRecords();
    const ScanStats stats = reportFixtureStats();
    std::u16string message = u"stale";
    ASSERT_TRUE(writeCsvReport(kReportPath, records, &message, &stats, fs));
    EXPECT_EQ(message, u"");
    EXPECT_EQ(fs.openWriters(), 0);

    const std::string bytes = fs.fileBytes(kReportPath);
    EXPECT_EQ(bytes, littleEndianBytes(reportFixtureText()));
    // The mark and the first letter, low byte first.
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE"
                                              "S\0",
                                              4));
    EXPECT_EQ(std::u16string(kHeader).size(), 173u);
}

TEST(CsvReport, NoRecordsGivesHeaderAndNote) {
    struct Case {
        const char* label;
        bool passStats;
        ScanStats stats;
        std::u16string after;
    };
    ScanStats clean;
    clean.files = 3;
    ScanStats links;
    links.linksNotFollowed = 2;
    const Case cases[] = {
        {"no stats", false, links, u""},
        {"clean scan", true, clean, u""},
        {"links skipped", true, links, u"\r\n\"Not examined: 2 links not followed\"\r\n"},
    };
    for (const Case& c : cases) {
        FakeFileSystem fs;
        fs.addFolder(u"C:\\reports");
        ASSERT_TRUE(writeCsvReport(kReportPath, {}, nullptr, c.passStats ? &c.stats : nullptr, fs))
            << c.label;
        EXPECT_EQ(fs.fileBytes(kReportPath),
                  littleEndianBytes(u"\uFEFF" + std::u16string(kHeader) + c.after))
            << c.label;
    }
}

TEST(CsvReport, HostModifiedIsTheLocalTimeText) {
    FakeFileSystem fs;
    fs.addFolder(u"C:\\reports");
    StreamRecord record;
    record.hostFolder = u"C:\\";
    record.hostName = u"a.txt";
    record.hostModified = 133487712000000000ULL;  // 2024-01-02 12:00:00 UTC
    ASSERT_FALSE(timeText(record.hostModified).empty());
    ASSERT_TRUE(writeCsvReport(kReportPath, {record}, nullptr, nullptr, fs));
    const std::u16string line =
        u",,C:\\a.txt,File,,,,,0,," + timeText(record.hostModified) + u",,,,,\r\n";
    EXPECT_EQ(fs.fileBytes(kReportPath),
              littleEndianBytes(u"\uFEFF" + std::u16string(kHeader) + line));
}

// A lower bound is shown as one and never written as the stream's byte count.
TEST(CsvReport, ALowerBoundSizeStatesNoByteCount) {
    FakeFileSystem fs;
    fs.addFolder(u"C:\\reports");
    StreamRecord record;
    record.hostFolder = u"C:\\";
    record.hostName = u"a.txt";
    record.streamName = u"big";
    record.streamType = u"$DATA";
    record.streamSize = 65536;
    record.streamSizeAtLeast = true;
    record.unreadable = true;
    ASSERT_TRUE(writeCsvReport(kReportPath, {record}, nullptr, nullptr, fs));
    const std::u16string line = u",,C:\\a.txt,File,big,$DATA,at least 64.0 KB,,0,,,,,,,No\r\n";
    EXPECT_EQ(fs.fileBytes(kReportPath),
              littleEndianBytes(u"\uFEFF" + std::u16string(kHeader) + line));
}

// Enough rows to pass the slice size several times.
std::vector<StreamRecord> manyRecords(std::size_t count) {
    StreamRecord record;
    record.hostFolder = u"C:\\Data";
    record.hostName = u"plain.txt";
    record.hostSize = 1048576;
    return std::vector<StreamRecord>(count, record);
}

constexpr char16_t kManyLine[] = u",,C:\\Data\\plain.txt,File,,,,,1048576,,,,,,,\r\n";

TEST(CsvReport, LongReportIsWrittenInSlicesAsIfAtOnce) {
    RecordingFileSystem fs;
    fs.addFolder(u"C:\\reports");
    fs.acceptAtMost = 40001;  // and the port takes less than asked, at odd places
    const std::size_t count = 2000;
    ScanStats stats;
    stats.listFailed = 1;
    ASSERT_TRUE(writeCsvReport(kReportPath, manyRecords(count), nullptr, &stats, fs));

    std::u16string whole = u"\uFEFF" + std::u16string(kHeader);
    for (std::size_t i = 0; i < count; ++i)
        whole += kManyLine;
    whole += u"\r\n\"Not examined: 1 could not be listed\"\r\n";
    ASSERT_GT(whole.size(), 2 * kReportSlice);
    EXPECT_EQ(fs.fileBytes(kReportPath), littleEndianBytes(whole));

    // Each slice is flushed after the line that reaches the threshold, so it
    // holds at least the threshold and less than one more line.
    std::uint64_t slices = 0;
    for (std::size_t i = 0; i < fs.writeSizes.size(); ++i) {
        const std::uint64_t size = fs.writeSizes[i];
        if (i > 0 && fs.writeSizes[i - 1] > 40001 && size == fs.writeSizes[i - 1] - 40001)
            continue;  // the rest of a short write
        ++slices;
        if (slices < 3) {
            EXPECT_GE(size, 2 * kReportSlice) << i;
            EXPECT_LT(size, 2 * (kReportSlice + std::u16string(kManyLine).size())) << i;
        }
    }
    EXPECT_EQ(slices, 3u);
}

TEST(CsvReport, NothingIsTouchedWithoutAPath) {
    FakeFileSystem fs;
    std::u16string message;
    EXPECT_FALSE(writeCsvReport(u"", manyRecords(1), &message, nullptr, fs));
    EXPECT_EQ(message, u"No file name was given for the report.");
    EXPECT_EQ(fs.totalCalls(), 0u);
    EXPECT_FALSE(writeCsvReport(u"", {}, nullptr, nullptr, fs));
}

TEST(CsvReport, FileThatCannotBeCreatedIsNamed) {
    FakeFileSystem fs;
    fs.addFolder(u"C:\\reports");
    fs.setFault(FakeOp::createFile, u"C:\\reports\\busy.csv", {kErrorSharingViolation});
    struct Case {
        std::u16string path;
        std::u16string message;
    };
    const Case cases[] = {
        {u"C:\\nowhere\\scan.csv", u"Could not create C:\\nowhere\\scan.csv: Path not found (3)"},
        {u"C:\\reports\\busy.csv",
         u"Could not create C:\\reports\\busy.csv: The file is in use by another program (32)"},
        // The path goes into a message box: its controls are shown, not obeyed.
        {u"C:\\nowhere\\a\r\nb\u202E.csv",
         u"Could not create C:\\nowhere\\a<U+000D><U+000A>b<U+202E>.csv: Path not found (3)"},
    };
    for (const Case& c : cases) {
        std::u16string message;
        EXPECT_FALSE(writeCsvReport(c.path, manyRecords(3), &message, nullptr, fs));
        EXPECT_EQ(message, c.message);
        EXPECT_FALSE(fs.exists(c.path));
    }
    EXPECT_TRUE(fs.deleteFileCalls().empty());
}

TEST(CsvReport, FailedReportIsCompleteOrAbsent) {
    struct Case {
        const char* label;
        std::function<void(RecordingFileSystem&)> arrange;
        std::u16string message;
    };
    FakeFault outOfMemory;
    outOfMemory.throwBadAlloc = true;
    const Case cases[] = {
        {"disk fills in the first slice", [](RecordingFileSystem& fs) { fs.fillDiskAfter(1000); },
         u"Could not write the report: The disk is full (112)"},
        {"disk fills in a later slice", [](RecordingFileSystem& fs) { fs.fillDiskAfter(70000); },
         u"Could not write the report: The disk is full (112)"},
        {"write refused", [](RecordingFileSystem& fs) { fs.refuse(FakeOp::write, kReportPath); },
         u"Could not write the report: Access denied (5)"},
        {"memory runs out",
         [&](RecordingFileSystem& fs) { fs.setFault(FakeOp::write, kReportPath, outOfMemory); },
         u"Ran out of memory while building the report."},
        {"anything else thrown",
         [](RecordingFileSystem& fs) {
             fs.beforeWrite = [] { throw std::runtime_error("device gone"); };
         },
         u"The report could not be written."},
    };
    for (const Case& c : cases) {
        RecordingFileSystem fs;
        fs.addFolder(u"C:\\reports");
        fs.addFile(kReportPath, "an earlier report");
        c.arrange(fs);
        std::u16string message;
        ScanStats stats;
        stats.cancelled = true;
        EXPECT_FALSE(writeCsvReport(kReportPath, manyRecords(2000), &message, &stats, fs))
            << c.label;
        EXPECT_EQ(message, c.message) << c.label;
        // Neither a truncated report nor the earlier one is left under the name.
        EXPECT_FALSE(fs.exists(kReportPath)) << c.label;
        EXPECT_EQ(fs.openWriters(), 0) << c.label;
        EXPECT_EQ(fs.deleteFileCalls(), std::vector<std::u16string>{kReportPath}) << c.label;
    }
}

}  // namespace
}  // namespace streamscan
