// The console's removal, and whole runs of the console scanner over the
// in-memory file system: how options, output, report, removal and exit status
// are wired together. The texts themselves are pinned where they are made.
#include "cli/scanner.h"
#include "cli/removal_flow.h"

#include <gtest/gtest.h>

#include <numeric>

#include "cli/json_lines.h"
#include "cli/row_format.h"
#include "cli/summary.h"
#include "engine/not_examined.h"
#include "engine/unicode.h"
#include "frontend/export_texts.h"
#include "frontend/scan_texts.h"
#include "support/fake_file_system.h"
#include "support/report_fixture.h"

namespace tessalin::cli {
namespace {

using streamscan::FakeOp;
using streamscan::littleEndianBytes;
using streamscan::StreamRecord;

class FakeConsole : public Console {
  public:
    void out(std::string_view t) override { output += t; }
    void flushOut() override {}
    void err(std::string_view t) override { errors += t; }
    bool outIsTerminal() const override { return false; }
    bool errIsTerminal() const override { return false; }
    bool inIsTerminal() const override { return true; }
    bool outTakesColour() const override { return false; }
    int outWidth() const override { return 120; }
    int errWidth() const override { return 120; }
    std::optional<std::string> readLine() override { return answer; }
    bool outFailed() const override { return false; }

    std::string output;
    std::string errors;
    std::optional<std::string> answer;
};

// What a console text becomes on the terminal.
std::string shown(std::u16string_view text) {
    return streamscan::utf8ForDisplay(text);
}

// Every part occurs in `text`, each after the one before.
testing::AssertionResult inOrder(const std::string& text, std::vector<std::string> parts) {
    std::size_t at = 0;
    for (const std::string& part : parts) {
        at = text.find(part, at);
        if (at == std::string::npos)
            return testing::AssertionFailure() << "no " << part << " in order in\n" << text;
    }
    return testing::AssertionSuccess();
}

// Three files in /data: a with a Zone.Identifier, b with plain notes, c with an
// executable's start (an Alert).
class ScannerRun : public ::testing::Test {
  protected:
    ScannerRun() : fs(streamscan::PathStyle::posix) {
        fs.addVolume(u"/", u"ntfs", true);
        fs.addStream(u"/data/a", u"Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
        fs.addStream(u"/data/b", u"notes", "plain text");
        fs.addStream(u"/data/c", u"payload", "MZ\x90");
    }

    int run(std::vector<std::u16string> args) {
        args.push_back(u"/data");
        const ParseResult parsed = parseArguments(args);
        EXPECT_EQ(parsed.error, u"");
        return runScanner(parsed.options, RunSettings{}, console, fs, cancel);
    }

    streamscan::FakeFileSystem fs;
    FakeConsole console;
    std::atomic<bool> cancel{false};
};

TEST_F(ScannerRun, RowsGoOutAsFoundUnderTheHeaderThenTheSummaryAndAnAlertSetsBitOne) {
    EXPECT_EQ(run({u"/data/"}), kExitFlagged);
    // The location named twice is noted on the summary's first line.
    EXPECT_TRUE(inOrder(console.output, {formatHeader(rowLayoutForWidth(120)),
                                         "a:Zone.Identifier:$DATA", "b:notes:$DATA", "\nAlert ",
                                         "\n\n" + shown(scanEndText({}, 1, 0)) + "\n"}));
    EXPECT_EQ(console.errors, "");
}

TEST_F(ScannerRun, QuietAndJsonKeepStandardOutputForTheirOwn) {
    fs.refuse(FakeOp::openStream, u"/data/c:payload:$DATA");  // no Alert
    EXPECT_EQ(run({u"-q"}), kExitNotExamined);
    EXPECT_EQ(console.output.find(shown(kScanCompleteText)), 0u) << console.output;

    console.output.clear();
    console.errors.clear();
    EXPECT_EQ(run({u"--json", u"--flagged", u"--csv", u"/r.csv"}), kExitNotExamined);
    const streamscan::NotExaminedPlace unread{u"/data/c:payload:$DATA",
                                              streamscan::PlaceKind::unreadableStream, 5};
    EXPECT_EQ(console.output.find(jsonPlace(unread) + "{\"type\":\"summary\","), 0u)
        << console.output;
    EXPECT_TRUE(inOrder(console.errors, {shown(notExaminedPlaceLine(unread)),
                                         shown(kScanCompleteText), "\nExported 0 rows to:"}));
}

TEST_F(ScannerRun, AReportThatCannotBeWrittenStopsTheRemoval) {
    fs.setFault(FakeOp::createFile, u"", {});
    EXPECT_EQ(run({u"--csv", u"/r2.csv", u"--remove", u"notes", u"-y"}), kExitInternal);
    EXPECT_TRUE(fs.hasStream(u"/data/b", u"notes"));
    EXPECT_TRUE(inOrder(console.errors,
                        {"tessalin-scan: " + shown(exportFailedMessage(u"/r2.csv", u"").text),
                         "\nNothing was removed, since the report could not be written.\n"}));
}

TEST_F(ScannerRun, FiltersNarrowRowsReportAndRemovalButNeitherCountsNorVerdict) {
    EXPECT_EQ(run({u"--name", u"ZONE.*", u"--min-size", u"1", u"--csv", u"/r.csv", u"--remove",
                   u"payload", u"-y"}),
              kExitFlagged);  // the Alert row is left out but still counts
    EXPECT_TRUE(inOrder(console.output, {"a:Zone.Identifier:$DATA\n\n", "3 files",
                                         "left out by the filters", "No listed stream"}));
    EXPECT_EQ(console.output.find(":notes"), std::string::npos) << console.output;
    EXPECT_EQ(fs.fileBytes(u"/r.csv").find(littleEndianBytes(u"notes")), std::string::npos);
    EXPECT_TRUE(fs.hasStream(u"/data/c", u"payload"));
}

// On Windows paths, by the identity the port gives: a report never replaces a
// scanned root (refused before the scan) or an item whose streams it lists
// (refused when written, the item left as it was), however it is spelled; an
// earlier report without streams beside the scanned files is replaced.
TEST(CliReportTarget, NeverReplacesARootOrAListedItemButAnEarlierReport) {
    const struct {
        std::u16string target;
        std::u16string root;
        int status;
        std::string said;
    } cases[] = {
        {u"c:/DATA/a", u"C:\\data\\a", kExitUsage, "it is a scanned root"},
        {u"C:\\data\\A", u"C:\\data", kExitInternal, "the scan listed streams of it"},
        {u"C:\\data\\old.csv", u"C:\\data", 0, "Exported 1 row"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(shown(c.target));
        streamscan::FakeFileSystem fs(streamscan::PathStyle::windows);
        fs.addVolume(u"C:\\", u"NTFS", true);
        fs.addStream(u"C:\\data\\a", u"notes", "plain text");
        fs.addFile(u"C:\\data\\old.csv", "an earlier report");
        FakeConsole console;
        std::atomic<bool> cancel{false};
        const ParseResult parsed = parseArguments({u"--csv", c.target, c.root});
        EXPECT_EQ(runScanner(parsed.options, RunSettings{}, console, fs, cancel), c.status);
        EXPECT_NE((console.output + console.errors).find(c.said), std::string::npos)
            << console.output << console.errors;
        EXPECT_TRUE(fs.hasStream(u"C:\\data\\a", u"notes"));
        EXPECT_EQ(fs.fileBytes(u"C:\\data\\a"), "");
        EXPECT_EQ(fs.fileBytes(u"C:\\data\\old.csv") == "an earlier report", c.status != 0);
    }
}

TEST(CliRemoval, OnlyYesInAnyCaseIsYesAndNamesMatchFoldingOnlyAsciiLetters) {
    for (const char* yes : {"y", "Y", "yes", "YES", " y ", "yes\r"})
        EXPECT_TRUE(isYesAnswer(yes)) << yes;
    for (const char* no : {"", "n", "no", "yess", "ja", "y y", "1"})
        EXPECT_FALSE(isYesAnswer(no)) << no;
    const std::vector<std::u16string> names{u"zone.IDENTIFIER", u"*.e?e"};
    EXPECT_TRUE(matchesRemovalName({.streamName = u"Zone.Identifier"}, names));
    EXPECT_TRUE(matchesRemovalName({.streamName = u"run.EXE"}, names));
    EXPECT_FALSE(matchesRemovalName({.streamName = u"run.exe2"}, names));
    EXPECT_FALSE(matchesRemovalName({}, {u"*"}));
}

// The delete command's plan, question and result, said on the console; the
// question first counts the streams of each name the patterns reached.
TEST(CliRemoval, SaysWhatItDidAndFailsOnAnythingNotRemoved) {
    const StreamRecord a{.hostFolder = u"/d", .hostName = u"a", .streamName = u"s"};
    const StreamRecord b{.hostFolder = u"/d", .hostName = u"b", .streamName = u"s"};
    const StreamRecord ea{.hostFolder = u"/d", .streamName = u"S", .streamType = u"$EA"};
    const std::u16string removed = u"Removed 1 stream.\n";
    const std::u16string stopped =
        u"The scan was cancelled, so nothing was removed: streams named 's' or 't*' may sit in "
        u"the part of the tree it never reached.\n";
    const std::u16string absent =
        u"No listed stream is named 'n<U+202E>', so there is nothing to remove.\n";
    const std::u16string oneS = u"Streams to remove, by name:\n    1 stream named 's'\n";
    using Names = std::vector<std::u16string>;
    const struct {
        std::vector<StreamRecord> rows;
        Names names;
        bool cancelled;
        std::optional<bool> answer;  // none: --yes
        std::u16string listing;      // before the question; empty when none is asked
        std::u16string said;         // after the question, when it is asked
        bool failed;
        int interruptAfter = -1;  // Ctrl+C once this many streams are removed
    } cases[] = {
        {{a}, {u"s"}, false, {}, oneS, removed, false},
        {{a, ea}, {u"?"}, false, {}, oneS + u"    1 stream named 'S'\n", removed, true},  // $EA is
                                                                                          // refused
        {{a}, {u"s"}, false, true, oneS, removed, false},
        {{a}, {u"x", u"S"}, false, false, oneS, u"Nothing was removed.\n", false},
        {{a}, {u"s", u"t*"}, true, {}, u"", stopped, true},
        {{a}, {u"n\u202E"}, false, {}, u"", absent, false},
        {{a, b},
         {u"*"},
         false,
         {},
         u"Streams to remove, by name:\n    2 streams named 's'\n",
         u"Removed 1 stream.\n\n1 could not be removed:\n    /d/b : s\n"
         u"The removal was stopped there: 1 stream left as found.\n",
         true,
         1},
    };
    for (const auto& c : cases) {
        streamscan::FakeFileSystem fs(streamscan::PathStyle::posix);
        fs.addStream(u"/d/a", u"s", "x");
        fs.addStream(u"/d/b", u"s", "x");
        std::vector<std::uint64_t> all(c.rows.size());
        std::iota(all.begin(), all.end(), 0);
        const std::u16string question =
            c.listing +
            confirmationMessage(planDelete(c.rows, all, fs.pathStyle()), {false, false}).text;
        std::u16string said;
        const RemovalIo io{[&](const std::u16string& text) { said += text; },
                           [&](std::u16string_view prompt) {
                               EXPECT_EQ(prompt, question + u" [y/N] ");
                               return c.answer.value();
                           },
                           [&] {
                               return c.interruptAfter < 0 ||
                                      fs.calls(FakeOp::deleteStream) <
                                          static_cast<std::uint64_t>(c.interruptAfter);
                           }};
        const RemovalRequest request{c.names, c.cancelled, c.answer.has_value(), {false, false}};
        EXPECT_EQ(runRemoval(c.rows, request, io, fs), c.failed);
        const bool echoed = !c.listing.empty() && !c.answer;
        EXPECT_EQ(said, (echoed ? question + u" yes (--yes)\n" : u"") + c.said);
    }
}

}  // namespace
}  // namespace tessalin::cli
