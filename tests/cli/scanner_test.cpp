// One whole run of the console scanner over the in-memory file system: what it
// prints, the report it writes, what it removes and the status it ends with.
#include "cli/scanner.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <csignal>
#include <deque>
#include <functional>
#include <string>
#include <thread>

#include "cli/console.h"
#include "cli/json_lines.h"
#include "cli/summary.h"
#include "engine/display_escape.h"
#include "engine/file_system.h"
#include "engine/not_examined.h"
#include "engine/unicode.h"
#include "support/fake_file_system.h"

namespace tessalin::cli {
namespace {

using streamscan::FakeFault;
using streamscan::FakeFileSystem;
using streamscan::FakeOp;
using streamscan::utf8ForDisplay;

#ifdef _WIN32
constexpr char16_t kRoot[] = u"C:\\";
constexpr char16_t kSep = u'\\';
#else
constexpr char16_t kRoot[] = u"/";
constexpr char16_t kSep = u'/';
#endif

// A path below the root, written with '/' and turned into the native form.
std::u16string at(std::u16string relative) {
    for (char16_t& c : relative) {
        if (c == u'/')
            c = kSep;
    }
    return kRoot + relative;
}

class FakeConsole : public Console {
  public:
    void out(std::string_view t) override {
        output += t;
        if (onOut)
            onOut(t);
    }
    void flushOut() override {}
    void err(std::string_view t) override { errors += t; }
    bool outIsTerminal() const override { return false; }
    bool errIsTerminal() const override { return false; }
    bool inIsTerminal() const override { return true; }
    bool outTakesColour() const override { return false; }
    int outWidth() const override { return 120; }
    int errWidth() const override { return 120; }
    std::optional<std::string> readLine() override {
        if (answers.empty())
            return std::nullopt;
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool outFailed() const override { return false; }

    std::string output;
    std::string errors;
    std::deque<std::string> answers;
    std::function<void(std::string_view)> onOut;
};

const std::string kInternetZone = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://x.test/a\r\n";

// What standard error says of one place: computed, so that the reasons' own
// words stay pinned where they are made.
std::string placeLine(const std::u16string& path, streamscan::PlaceKind kind,
                      std::uint32_t error = 0) {
    return "tessalin-scan: " + utf8ForDisplay(streamscan::escapeForDisplay(path)) + ": " +
           utf8ForDisplay(streamscan::notExaminedReason({path, kind, error})) + "\n";
}

class ScannerRun : public ::testing::Test {
  protected:
    ScannerRun() : fs(streamscan::kNativePathStyle) {
        fs.addVolume(kRoot, u"NTFS", true);
        fs.addFolder(at(u"data"));
        fs.addFile(at(u"data/a.txt"), "aaaa");
        fs.addStream(at(u"data/a.txt"), u"Zone.Identifier", kInternetZone);
        fs.addFile(at(u"data/b.txt"), "bbbb");
        fs.addStream(at(u"data/b.txt"), u"notes", "plain text");
        fs.addFile(at(u"data/c.txt"), "cccc");
        fs.addStream(at(u"data/c.txt"), u"zone.identifier", kInternetZone);
    }

    int run(std::vector<std::u16string> args) {
        args.push_back(at(u"data"));
        const ParseResult parsed = parseArguments(args);
        EXPECT_EQ(parsed.error, u"");
        return runScanner(parsed.options, RunSettings{}, console, fs, cancel);
    }

    FakeFileSystem fs;
    FakeConsole console;
    std::atomic<bool> cancel{false};
};

TEST_F(ScannerRun, RowsGoOutAsFoundAndTheSummaryUsesTheWindowsWords) {
    fs.addFile(at(u"data/d.txt"), "dddd");
    fs.addStream(at(u"data/d.txt"), u"payload", "MZ\x90");
    EXPECT_EQ(run({}), kExitFlagged);
    const std::string& out = console.output;
    EXPECT_EQ(out.rfind("Severity       Size  Zone", 0), 0u) << out;
    const std::size_t a = out.find(utf8ForDisplay(at(u"data/a.txt:Zone.Identifier:$DATA")));
    const std::size_t d = out.find(utf8ForDisplay(at(u"data/d.txt:payload:$DATA")));
    ASSERT_NE(a, std::string::npos) << out;
    ASSERT_NE(d, std::string::npos) << out;
    EXPECT_LT(a, d);
    EXPECT_EQ(out.rfind('\n', d) + 1, out.rfind("\nAlert ", d) + 1) << out;
    EXPECT_NE(out.find("\n\nScan complete.\n4 files, 1 folder, 4 with streams\n"
                       "4 streams listed\nNothing was skipped\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(console.errors, "");
}

TEST_F(ScannerRun, QuietPrintsOnlyTheSummary) {
    EXPECT_EQ(run({u"-q"}), 0);
    EXPECT_EQ(console.output,
              "Scan complete.\n3 files, 1 folder, 3 with streams\n3 streams listed\n"
              "Nothing was skipped\n");
}

TEST_F(ScannerRun, ALocationNamedTwiceIsScannedOnceAndTheSummarySaysSo) {
    const ParseResult parsed = parseArguments({u"-q", at(u"data"), at(u"data/")});
    EXPECT_EQ(runScanner(parsed.options, {}, console, fs, cancel), 0);
    EXPECT_EQ(console.output.substr(0, console.output.find('\n') + 1),
              "Scan complete. (1 location was named twice and scanned once)\n");
    EXPECT_NE(console.output.find("\n3 streams listed\n"), std::string::npos);
}

TEST_F(ScannerRun, AnEmptyCleanResultSaysSoAndExitsZero) {
    fs.addFolder(at(u"empty"));
    const ParseResult parsed = parseArguments({at(u"empty")});
    EXPECT_EQ(runScanner(parsed.options, {}, console, fs, cancel), 0);
    EXPECT_EQ(console.output,
              "Scan complete.\n0 files, 1 folder\n0 streams listed\nNothing was skipped\n"
              "No alternate data streams were found.\n");
}

TEST_F(ScannerRun, AVolumeWithoutStreamsIsExplainedAndCountsAsNotExamined) {
    FakeFileSystem fat(streamscan::kNativePathStyle);
    fat.addVolume(kRoot, u"FAT32", false);
    fat.addFolder(at(u"stick"));
    const ParseResult parsed = parseArguments({at(u"stick")});
    EXPECT_EQ(runScanner(parsed.options, {}, console, fat, cancel), kExitNotExamined);
    EXPECT_NE(console.output.find("\u26A0 Not examined: 1 not NTFS (each place is named on "
                                  "standard error)\n"
                                  "This volume cannot hold alternate data streams.\n\n"
                                  "Alternate data streams are an NTFS feature, and 1 location in "
                                  "this scan sit on a volume that cannot hold one.\n\n    " +
                                  utf8ForDisplay(at(u"stick")) + "  (FAT32)\n\n"),
              std::string::npos)
        << console.output;
}

TEST_F(ScannerRun, ACancelledScanSaysSoInTheSummaryTheReportAndTheStatusAndRemovesNothing) {
    // Ctrl+C arrives while the first row is being printed.
    console.onOut = [this](std::string_view t) {
        if (t.find(":$DATA") != std::string_view::npos)
            cancel = true;
    };
    const int status = run({u"--csv", at(u"report.csv"), u"--remove", u"Zone.Identifier", u"-y"});
    EXPECT_EQ(status, kExitNotExamined | kExitRemovalFailed);
    EXPECT_NE(console.output.find("\nScan cancelled - what is listed covers only part of the "
                                  "tree.\n1 file, 1 folder, 1 with streams\n1 stream listed\n"
                                  "\u26A0 Stopped before the end (each place is named on "
                                  "standard error)\n"),
              std::string::npos)
        << console.output;
    EXPECT_EQ(console.errors, placeLine(at(u"data"), streamscan::PlaceKind::cancelled));
    EXPECT_NE(console.output.find("The scan was cancelled, so nothing was removed"),
              std::string::npos);
    EXPECT_TRUE(fs.hasStream(at(u"data/a.txt"), u"Zone.Identifier"));
    const std::string report = fs.fileBytes(at(u"report.csv"));
    const std::string cancelLine = "\"Scan cancelled before it finished\"\r\n";
    std::string cancelLine16;
    for (char c : cancelLine)
        cancelLine16 += std::string{c, '\0'};
    ASSERT_GE(report.size(), cancelLine16.size());
    EXPECT_EQ(report.substr(report.size() - cancelLine16.size()), cancelLine16);
}

TEST_F(ScannerRun, EachPlaceNotExaminedIsNamedAsFoundOnStandardErrorAndInJson) {
    using streamscan::PlaceKind;
    const std::u16string hostile = at(u"data/\x1b[2J\u202Elocked");
    fs.addFolder(hostile);
    fs.refuse(FakeOp::startListing, hostile);
    fs.addFolder(at(u"data/broken"));
    fs.setFault(FakeOp::startListing, at(u"data/broken"), {21});
    fs.refuse(FakeOp::openStream, at(u"data/b.txt:notes:$DATA"));
    fs.addFolder(at(u"data/link"));
    fs.setAttributes(at(u"data/link"), 0x410);
    std::u16string deepest = at(u"data/deep");
    for (int level = 1; level < 256; ++level)
        deepest += kSep + std::u16string(u"d");
    fs.addFolder(deepest);
    fs.addVolume(at(u"fat"), u"FAT32", false);
    fs.addFolder(at(u"fat"));
    const streamscan::NotExaminedPlace places[] = {
        {at(u"fat"), PlaceKind::volumeWithoutStreams, 0},
        {at(u"gone"), PlaceKind::listFailed, 2},
        {at(u"data/b.txt:notes:$DATA"), PlaceKind::unreadableStream, 5},
        {at(u"data/link"), PlaceKind::linkNotFollowed, 0},
        {hostile, PlaceKind::accessDenied, 5},
        {at(u"data/broken"), PlaceKind::listFailed, 21},
        {deepest, PlaceKind::depthLimit, 0},
    };
    std::string lines;
    std::string objects;
    for (const streamscan::NotExaminedPlace& place : places) {
        lines += placeLine(place.path, place.kind, place.error);
        objects += jsonPlace(place);
    }

    // Standard error names them also when the rows are not shown.
    for (const char16_t* mode : {u"-q", u"--json"}) {
        console.errors.clear();
        console.output.clear();
        EXPECT_EQ(run({mode, at(u"fat"), at(u"gone")}), kExitNotExamined) << utf8ForDisplay(mode);
        EXPECT_EQ(console.errors.substr(0, lines.size()), lines) << utf8ForDisplay(mode);
    }
    // The hostile name reaches the terminal only as markers.
    EXPECT_EQ(console.errors.find('\x1b'), std::string::npos);
    std::string found;
    for (std::size_t start = 0; start < console.output.size();) {
        const std::size_t end = console.output.find('\n', start) + 1;
        const std::string line = console.output.substr(start, end - start);
        if (line.rfind("{\"type\":\"notExamined\"", 0) == 0)
            found += line;
        start = end;
    }
    EXPECT_EQ(found, objects);
}

TEST_F(ScannerRun, RemoveWithYesTakesEveryStreamOfThatNameInAnyAsciiCase) {
    EXPECT_EQ(run({u"--remove", u"ZONE.IDENTIFIER", u"--yes", u"-q"}), 0);
    EXPECT_FALSE(fs.hasStream(at(u"data/a.txt"), u"Zone.Identifier"));
    EXPECT_FALSE(fs.hasStream(at(u"data/c.txt"), u"zone.identifier"));
    EXPECT_TRUE(fs.hasStream(at(u"data/b.txt"), u"notes"));
    EXPECT_EQ(fs.fileBytes(at(u"data/a.txt")), "aaaa");
    const std::string& out = console.output;
    EXPECT_NE(out.find("Remove 2 streams from 2 files?\n\n    " +
                       utf8ForDisplay(at(u"data/a.txt")) + " : Zone.Identifier\n    " +
                       utf8ForDisplay(at(u"data/c.txt")) + " : zone.identifier"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Remove them? yes (--yes)\nRemoved 2 streams.\n"), std::string::npos) << out;
#ifndef _WIN32
    EXPECT_EQ(out.find("Recycle Bin"), std::string::npos);
#endif
}

TEST_F(ScannerRun, RemoveAsksAndOnlyYesRemoves) {
    console.answers = {"n"};
    EXPECT_EQ(run({u"--remove", u"notes"}), 0);
    EXPECT_TRUE(fs.hasStream(at(u"data/b.txt"), u"notes"));
    // With standard output going elsewhere, the question is put where the user looks.
    EXPECT_NE(console.errors.find("Remove 1 stream from 1 file?"), std::string::npos);
    EXPECT_EQ(console.errors.substr(console.errors.size() - 19), "Remove them? [y/N] ");
    EXPECT_NE(console.output.find("\nNothing was removed.\n"), std::string::npos) << console.output;

    console.output.clear();
    console.answers = {" Yes "};
    EXPECT_EQ(run({u"--remove", u"notes"}), 0);
    EXPECT_FALSE(fs.hasStream(at(u"data/b.txt"), u"notes"));
    EXPECT_NE(console.output.find("Removed 1 stream.\n"), std::string::npos);
}

TEST_F(ScannerRun, ARemovalThatFailsIsNamedWithItsReasonAndSetsBitFour) {
    fs.setFault(FakeOp::deleteStream, u"", FakeFault{});
    EXPECT_EQ(run({u"--remove", u"notes", u"-y"}), kExitRemovalFailed);
    EXPECT_NE(console.output.find("Removed 0 streams.\n\n1 could not be removed:\n    " +
                                  utf8ForDisplay(at(u"data/b.txt")) +
                                  " : notes  --  Access denied (5)\n"),
              std::string::npos)
        << console.output;
}

TEST_F(ScannerRun, ANameNoRowCarriesRemovesNothingAndIsNoFailure) {
    EXPECT_EQ(run({u"--remove", u"absent", u"-y"}), 0);
    EXPECT_NE(console.output.find("No listed stream is named 'absent', so there is nothing to "
                                  "remove.\n"),
              std::string::npos);
}

TEST_F(ScannerRun, FiltersNarrowRowsReportAndRemovalButNeitherCountsNorVerdict) {
    fs.addFile(at(u"data/d.txt"), "dddd");
    fs.addStream(at(u"data/d.txt"), u"payload", "MZ\x90");
    const int status = run({u"--name", u"ZONE.*", u"--min-size", u"1", u"--csv", at(u"r.csv"),
                            u"--remove", u"payload", u"-y"});
    // The Alert row is left out but still decides the status.
    EXPECT_EQ(status, kExitFlagged);
    const std::string& out = console.output;
    EXPECT_NE(out.find(utf8ForDisplay(at(u"data/a.txt:Zone.Identifier:$DATA"))), std::string::npos);
    EXPECT_NE(out.find(utf8ForDisplay(at(u"data/c.txt:zone.identifier:$DATA"))), std::string::npos);
    EXPECT_EQ(out.find("notes"), std::string::npos) << out;
    EXPECT_EQ(out.find(":payload"), std::string::npos) << out;
    EXPECT_NE(out.find("4 files, 1 folder, 4 with streams\n2 streams listed\n"
                       "2 rows left out by the filters\nNothing was skipped\n"),
              std::string::npos)
        << out;
    const std::string report = fs.fileBytes(at(u"r.csv"));
    EXPECT_EQ(report.find(std::string("n\0o\0t\0e\0s\0", 10)), std::string::npos);
    EXPECT_NE(report.find(std::string("Z\0o\0n\0e\0", 8)), std::string::npos);
    EXPECT_TRUE(fs.hasStream(at(u"data/d.txt"), u"payload"));
    EXPECT_NE(out.find("No listed stream is named 'payload'"), std::string::npos) << out;
}

TEST_F(ScannerRun, JsonKeepsStandardOutputForObjectsAndSaysEverythingElseOnStandardError) {
    EXPECT_EQ(run({u"--json", u"--flagged", u"--csv", at(u"r.csv")}), 0);
    EXPECT_EQ(console.output.rfind("{\"type\":\"summary\",", 0), 0u) << console.output;
    EXPECT_NE(console.output.find("\"rowsFilteredOut\":3,"), std::string::npos);
    EXPECT_EQ(console.output.find("Scan complete."), std::string::npos);
    EXPECT_NE(console.errors.find("Scan complete."), std::string::npos);
    EXPECT_NE(console.errors.find("Exported 0 rows to:"), std::string::npos) << console.errors;
}

TEST_F(ScannerRun, TheReportHoldsEveryRowInScanOrder) {
    EXPECT_EQ(run({u"--csv", at(u"r.csv"), u"--all-items", u"-q"}), 0);
    const std::string bytes = fs.fileBytes(at(u"r.csv"));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::string narrow;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        narrow += bytes[i];
    // The folder's item row, then a, b, c in listing order; no coverage note.
    const std::size_t folderRow = narrow.find(utf8ForDisplay(at(u"data")) + ",Folder");
    const std::size_t a = narrow.find("a.txt,File,Zone.Identifier");
    const std::size_t b = narrow.find("b.txt,File,notes");
    const std::size_t c = narrow.find("c.txt,File,zone.identifier");
    ASSERT_NE(folderRow, std::string::npos) << narrow;
    EXPECT_LT(folderRow, a);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_EQ(narrow.find("Not examined"), std::string::npos);
    EXPECT_NE(console.output.find("\nExported 4 rows to:\n" + utf8ForDisplay(at(u"r.csv")) + "\n"),
              std::string::npos)
        << console.output;
}

TEST_F(ScannerRun, AReportThatCannotBeWrittenStopsBeforeAnythingIsRemoved) {
    fs.setFault(FakeOp::createFile, u"", FakeFault{});
    EXPECT_EQ(run({u"--csv", at(u"r.csv"), u"--remove", u"notes", u"-y"}), kExitInternal);
    EXPECT_TRUE(fs.hasStream(at(u"data/b.txt"), u"notes"));
    EXPECT_NE(console.errors.find("tessalin-scan: The report could not be written to:\n" +
                                  utf8ForDisplay(at(u"r.csv"))),
              std::string::npos)
        << console.errors;
    EXPECT_NE(console.errors.find("Nothing was removed"), std::string::npos);
}

#ifndef _WIN32
// Ctrl+C for real: the signal reaches some thread other than the scanning one,
// and the handler only sets the flag that the scan's continue check reads. The
// ThreadSanitizer build runs this to watch that hand-over.
TEST_F(ScannerRun, ASigintFromAnotherThreadStopsTheScanBetweenItems) {
    for (int i = 0; i < 500; ++i) {
        const std::u16string file = at(u"data/many/f") + streamscan::widenAscii(std::to_string(i));
        fs.addFile(file, "x");
        fs.addStream(file, u"notes", "n");
    }
    installInterruptHandler(cancel);
    std::atomic<bool> rowPrinted{false};
    console.onOut = [&](std::string_view t) {
        // Only the first stream row: the header line comes before it.
        if (t.find(":$DATA") == std::string_view::npos || rowPrinted.exchange(true))
            return;
        // Hold the first row until the handler has run, so the stop is certain.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!cancel.load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
    };
    std::thread interrupter([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!rowPrinted.load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        kill(getpid(), SIGINT);
    });
    const int status = run({});
    interrupter.join();
    signal(SIGINT, SIG_DFL);

    EXPECT_TRUE(cancel.load());
    EXPECT_EQ(status & kExitNotExamined, kExitNotExamined);
    EXPECT_NE(console.output.find("Scan cancelled - what is listed covers only part of the tree."),
              std::string::npos)
        << console.output;
    // It stopped between items, long before the 500 files were reached.
    EXPECT_EQ(console.output.find(utf8ForDisplay(at(u"data/many/f499"))), std::string::npos);
}
#endif

}  // namespace
}  // namespace tessalin::cli
