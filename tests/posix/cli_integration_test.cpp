// The built tessalin-scan end to end, wired to what a user and a script meet:
// real trees, the exit status bits, the report file, --json read by the real jq,
// copies checked by sha256sum, removal, downloads made by wget and curl from a
// local server, and Ctrl+C.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/real_volumes.h"

namespace streamscan {
namespace {

using namespace realfs;

const std::string kInternetZone =
    "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.net/\r\n"
    "HostUrl=https://example.net/setup.exe\r\n";

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(access(kScanner.c_str(), X_OK), 0) << kScanner << " is not built";
        if (const std::string why = noUserAttributes(folder.path()); !why.empty())
            GTEST_SKIP() << why;
    }

    TempFolder folder{"cli"};
};

TEST_F(Cli, RowsReportJsonAndCopiesAreWhatTerminalsJqAndSha256sumRead) {
    ASSERT_TRUE(makeFolder(folder.at("tree")));
    ASSERT_TRUE(makeFile(folder.at("tree/setup.exe"), {"user.Zone.Identifier", kInternetZone}));
    ASSERT_TRUE(makeFile(folder.at("tree/evil\u202Etxt.exe"), {"user.payload", "MZ\x90"}));
    ASSERT_TRUE(makeFile(folder.at("tree/line\nbreak.txt"), {"user.tab\tname", "x"}));
    ASSERT_TRUE(makeFile(folder.at("tree/bad\xFF.txt"), {"user.../../escape", {"MZ\0\x01", 4}}));
    ASSERT_TRUE(makeFile(folder.at("tree/plain.txt")));
    ASSERT_EQ(symlink("..", folder.at("tree/up").c_str()), 0);
    const std::string report = folder.at("report.csv");
    const CommandResult run = runCommand({kScanner, folder.at("tree"), "--csv", report});
    EXPECT_EQ(run.exitCode, 3) << run.output();  // flagged, and a link not followed
    EXPECT_EQ(run.err, "tessalin-scan: " + folder.at("tree/up") + ": link not followed\n");
    EXPECT_EQ(run.out.find("plain.txt"), std::string::npos);
    EXPECT_EQ(std::count_if(run.out.begin(), run.out.end(),
                            [](unsigned char c) { return c < 0x20 && c != '\n'; }),
              0);

    // The report as a spreadsheet reads it: UTF-16 with its mark, one record a row
    // (python's csv module stands in), names whole, the zone and its address.
    EXPECT_EQ(
        shell("python3 -X utf8 -c 'import csv, sys\n"
              "rows = list(csv.reader(open(sys.argv[1], encoding=\"utf-16\", "
              "errors=\"surrogatepass\", newline=\"\")))\n"
              "print(len(rows), rows[0][2], rows[0][12])\n"
              "for r in sorted((r for r in rows[1:] if len(r) == 16), key=lambda r: r[4]): "
              "print(ascii([r[2].rsplit(\"/\", 1)[1], "
              "r[4], r[7], r[12], r[13], r[15]]))' \"$1\"",
              {report}),
        "7 Path Zone Id\n['bad\\udcff.txt', '../../escape', '4', '', '', 'Yes']\n"
        "['setup.exe', 'Zone.Identifier', '99', '3', 'https://example.net/setup.exe', 'Yes']\n"
        "['evil<U+202E>txt.exe', 'payload', '3', '', '', 'Yes']\n"
        "['line<U+000A>break.txt', 'tab<U+0009>name', '1', '', '', 'Yes']\n");

    const std::string out = folder.at("out");
    const CommandResult json = runCommand(
        {kScanner, folder.at("tree"), "--json", "--hash", "--extract", out, "--name", "*escape"});
    EXPECT_EQ(json.exitCode, 3) << json.err;
    const std::string lines = folder.at("scan.jsonl");
    ASSERT_TRUE(writeFile(lines, json.out));
    // Every line is one object (jq fails on anything else): the row, the link not
    // followed, then the summary.
    EXPECT_EQ(shell("jq -r -s 'all(type == \"object\"), (.[] | [(.path // \"\" | sub(\".*/\"; "
                    "\"\")), .stream, .streamSize, .severity, .readable, .files, .streams, .rows, "
                    ".rowsFilteredOut, .complete] | @csv)' \"$1\"",
                    {lines}),
              "true\n\"bad<U+DCFF>.txt\",\"../../escape\",4,\"Alert\",true,,,,,\n"
              "\"up\",,,,,,,,,\n\"\",,,,,5,4,1,3,true\n");
    // The exact bytes of a name that is not UTF-8 reach the file again.
    EXPECT_EQ(shell("jq -j 'select(.pathBytes) | .pathBytes' \"$1\" | base64 -d", {lines}),
              folder.at("tree/bad\xFF.txt"));
    // Each copy holds its stream's bytes under the hash the manifest and the row give.
    EXPECT_EQ(
        shell("cd \"$1\" && ls && jq -r '.streams[] | .sha256 + \"  \" + .file' manifest.json "
              "| sha256sum -c --quiet && jq -r '([.complete, .copied, .failed] | @csv), "
              ".streams[].sha256' manifest.json",
              {out}),
        "manifest.json\nstream-000001.bin\ntrue,1,0\n" +
            shell("jq -r 'select(.sha256) | .sha256' \"$1\"", {lines}));
    // A folder that is not empty, or one inside the scanned tree, also through
    // a link into it, is refused first.
    ASSERT_TRUE(makeFolder(folder.at("tree/sub")));
    ASSERT_EQ(symlink("tree/sub", folder.at("into").c_str()), 0);
    for (const std::string& refused : {out, folder.at("tree/copies"), folder.at("into/copies")}) {
        const CommandResult again = runCommand({kScanner, folder.at("tree"), "--extract", refused});
        EXPECT_EQ(again.exitCode, 64) << again.err;
        EXPECT_EQ(again.out, "");
    }
    EXPECT_EQ(readFile(folder.at("tree/copies")), std::nullopt);
    EXPECT_EQ(readFile(folder.at("tree/sub/copies")), std::nullopt);
}

// Copies onto a disk that fills up: those that could not be written are said
// as such and fail the run; a manifest that cannot be written takes every
// copy with it.
TEST_F(Cli, CopiesThatCannotBeWrittenAreSaidAndNeverLeftWithoutTheirManifest) {
    const struct {
        int streams;
        int freePages;  // of the 16 on the disk: the manifest takes one, each copy one
        std::string said;
        std::string left;
    } cases[] = {
        {3, 2, "; 2 copies could not be written (see manifest.json)\n",
         "manifest.json\nstream-000001.bin\n"},
        {40, 3,
         "the extraction manifest could not be written: The disk is full (112); the 2 copies "
         "made were removed, as no copy is kept without it\n",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.streams);
        TempFolder run("copies");
        ASSERT_TRUE(makeFolder(run.at("tree")));
        for (int i = 0; i < c.streams; ++i)
            ASSERT_TRUE(
                makeFile(run.at("tree/" + std::to_string(i)), {"user.s", std::string(3000, 'c')}));
        MountedVolume disk;
        std::string error;
        if (!disk.mount(VolumeKind::tmpfs, "", run.at("tiny"), "size=64k", error))
            GTEST_SKIP() << error;
        shell("dd if=/dev/zero of=\"$1\" bs=4096 count=$2 2>/dev/null",
              {disk.at("fill"), std::to_string(16 - c.freePages)});
        const CommandResult result =
            runCommand({kScanner, "-q", run.at("tree"), "--extract", disk.at("out")});
        EXPECT_EQ(result.exitCode, 70) << result.output();
        EXPECT_NE(result.output().find(c.said), std::string::npos) << result.output();
        EXPECT_EQ(shell("ls \"$1\"", {disk.at("out")}), c.left);
    }
}

TEST_F(Cli, DownloadMarksOfWgetAndCurlAndWindowsSidecarsSayWhereAFileCameFrom) {
    ASSERT_TRUE(makeFolder(folder.at("site")) && makeFolder(folder.at("dl")));
    ASSERT_TRUE(makeFile(folder.at("site/tool.exe"), {}, "program"));
    const int port = freePort();
    Daemon server;
    std::string error;
    ASSERT_TRUE(server.start(
        {"python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory", folder.at("site"),
         std::to_string(port)},
        folder.at("http.log"), [&] { return acceptsConnections(port); }, error))
        << error;
    const std::string site = "http://127.0.0.1:" + std::to_string(port) + "/";
    shell(
        "cd \"$1\" && wget -q --xattr \"$2tool.exe\" && curl -s --xattr -o c.exe -e \"$2\" "
        "\"$2tool.exe\"",
        {folder.at("dl"), site});
    // What Windows leaves when it copies a downloaded file into a Linux folder,
    // and the attribute form of such a mark.
    ASSERT_TRUE(makeFile(folder.at("dl/c.exe:Zone.Identifier"), {}, kInternetZone));
    ASSERT_TRUE(setAttribute(folder.at("dl/tool.exe"), "user.Zone.Identifier", ""));

    const CommandResult run = runCommand({kScanner, folder.at("dl"), "--json"});
    EXPECT_EQ(run.exitCode, 0) << run.output();
    ASSERT_TRUE(writeFile(folder.at("rows.jsonl"), run.out));
    EXPECT_EQ(shell("jq -r 'select(.type == \"row\") | [(.path | sub(\".*/dl/\"; \"\")), .stream, "
                    ".hostUrl, .referrerUrl, .sidecarFile] | @tsv' \"$1\" | LC_ALL=C sort",
                    {folder.at("rows.jsonl")}),
              "c.exe\tZone.Identifier\thttps://example.net/setup.exe\thttps://example.net/\ttrue\n"
              "c.exe\tmime_type\t\t\tfalse\n"
              "c.exe\txdg.origin.url\t" +
                  site + "tool.exe\t" + site + "\tfalse\nc.exe\txdg.referrer.url\t" + site +
                  "tool.exe\t" + site +
                  "\tfalse\ntool.exe\tZone.Identifier\t\t\tfalse\ntool.exe\txdg.origin.url\t" +
                  site + "tool.exe\t\tfalse\n");
    // Without a terminal to ask on, and without --yes, nothing is touched; with
    // it, the named stream goes in both forms and everything else stays.
    const CommandResult refused =
        runCommand({kScanner, folder.at("dl"), "--remove", "Zone.Identifier"});
    EXPECT_EQ(std::pair(refused.exitCode, refused.out), std::pair(64, std::string()))
        << refused.err;
    EXPECT_EQ(attribute(folder.at("dl/tool.exe"), "user.Zone.Identifier"), "");
    EXPECT_EQ(
        runCommand({kScanner, folder.at("dl"), "--remove", "Zone.Identifier", "--yes"}).exitCode,
        0);
    EXPECT_EQ(shell("cd \"$1\" && for f in *; do getfattr \"$f\" | LC_ALL=C sort; done; cat *",
                    {folder.at("dl")}),
              "\n# file: c.exe\nuser.mime_type\nuser.xdg.origin.url\nuser.xdg.referrer.url\n"
              "\n# file: tool.exe\nuser.xdg.origin.url\nprogramprogram");
}

// What a person sees in a real terminal 80 and 200 columns wide: no row wraps
// through the columns, a path that does not fit has its own indented line, and
// a download's address is in the note, cut with an ellipsis where it must be.
TEST_F(Cli, RowsFitARealTerminalAndSayWhereADownloadCameFrom) {
    const std::string longUrl = "https://example.net/" + std::string(120, 'x') + ".exe";
    const std::string deep = "tree/" + std::string(60, 'd');
    ASSERT_TRUE(makeFolder(folder.at("tree")) && makeFolder(folder.at(deep)));
    ASSERT_TRUE(makeFile(
        folder.at(deep + "/setup.exe"),
        {"user.Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=" + longUrl + "\r\n"}));
    ASSERT_TRUE(
        makeFile(folder.at("tree/a.txt"), {"user.xdg.origin.url", "https://example.net/a.txt",
                                           "user.xdg.referrer.url", "https://example.net/page"}));
    const std::string origin = "Downloaded from https://example.net/a.txt";
    const std::string referrer = ", referred by https://example.net/page";
    for (const int width : {80, 200}) {
        const std::string socket = folder.at("tmux-" + std::to_string(width));
        // The pane stays until the server is ended, so the screen can be read.
        const std::string screen = shell(
            "tmux -S \"$1\" -f /dev/null new-session -d -x \"$2\" -y 40 "
            "\"NO_COLOR=1 '$3' '$4'; sleep 60\" && for i in $(seq 100); do "
            "tmux -S \"$1\" capture-pane -p | grep -q '^Nothing was skipped' && break; "
            "sleep 0.1; done; tmux -S \"$1\" capture-pane -p; echo ==; "
            "tmux -S \"$1\" capture-pane -p -J; tmux -S \"$1\" kill-server",
            {socket, std::to_string(width), kScanner, folder.at("tree")});
        const std::size_t split = screen.find("==\n");
        ASSERT_NE(split, std::string::npos) << screen;
        // Joining wrapped lines changes nothing: no line wrapped.
        EXPECT_EQ(screen.substr(0, split), screen.substr(split + 3)) << screen;
        const std::string path = folder.at(deep + "/setup.exe:Zone.Identifier:$DATA");
        const std::string zoneLead = "Internet: Downloaded from https://example.net/xxx";
        if (width == 80) {
            // The note takes the rest of its line, cut to end at the 80th column,
            // and the path follows in pieces of 76.
            const std::size_t lead = screen.find(zoneLead);
            ASSERT_NE(lead, std::string::npos) << screen;
            const std::size_t lineStart = screen.rfind('\n', lead) + 1;
            const std::string line = screen.substr(lineStart, screen.find('\n', lead) - lineStart);
            EXPECT_EQ(line.size(), 80u + 2u) << line;  // the ellipsis is 3 bytes, 1 column
            EXPECT_EQ(line.substr(line.size() - 3), "\xE2\x80\xA6") << line;
            std::string pieces;
            for (std::size_t at = 0; at < path.size(); at += 76)
                pieces += "\n    " + path.substr(at, 76);
            EXPECT_NE(screen.find(pieces + "\n"), std::string::npos) << screen;
            EXPECT_NE(screen.find("  " + origin + "\n"), std::string::npos) << screen;
        } else {
            EXPECT_NE(screen.find(folder.at("tree/a.txt:xdg.origin.url:$DATA  ") + origin +
                                  referrer + "\n"),
                      std::string::npos)
                << screen;
            EXPECT_NE(screen.find(folder.at("tree/a.txt:xdg.referrer.url:$DATA  ") +
                                  "Referred by https://example.net/page\n"),
                      std::string::npos)
                << screen;
        }
    }
}

// Links to folders followed by identity: a loop is found and counted, a link
// out of the tree is still not followed unless =all, and an excluded folder is
// counted as excluded, not as not examined.
TEST_F(Cli, FollowedLinksFindLoopsAndExcludedFoldersAreCountedAsAsked) {
    ASSERT_TRUE(makeFolder(folder.at("tree")) && makeFolder(folder.at("tree/in")) &&
                makeFolder(folder.at("tree/node_modules")) && makeFolder(folder.at("out")));
    ASSERT_TRUE(makeFile(folder.at("tree/in/a"), {"user.s", "1"}));
    ASSERT_TRUE(makeFile(folder.at("tree/node_modules/b"), {"user.s", "2"}));
    ASSERT_TRUE(makeFile(folder.at("out/c"), {"user.s", "3"}));
    ASSERT_EQ(symlink("..", folder.at("tree/in/up").c_str()), 0);        // a loop
    ASSERT_EQ(symlink("in", folder.at("tree/again").c_str()), 0);        // inside the tree
    ASSERT_EQ(symlink("../out", folder.at("tree/outside").c_str()), 0);  // out of the tree
    const auto summary = [&](const std::string& follow) {
        const CommandResult run =
            runCommand({kScanner, folder.at("tree"), "--json", follow, "--exclude", "node_*"});
        return std::to_string(run.exitCode) +
               shell(
                   "printf %s \"$1\" | jq -r 'select(.type == \"summary\") | [.streams, "
                   ".excluded, .linkLoops, .linksNotFollowed] | @csv'",
                   {run.out});
    };
    // in/a and again/a; up leads back to the root from both; outside is not
    // followed (status 2) unless =all.
    EXPECT_EQ(summary("--follow-links"), "22,1,2,1\n");
    EXPECT_EQ(summary("--follow-links=all"), "03,1,2,0\n");
}

// Evidence work on an NTFS volume: rules matched past the head of a stream,
// digests as md5sum gives them, and a body file that the real mactime reads.
TEST_F(Cli, RulesDigestsAndTheBodyFileAreWhatLibyaraMd5sumAndMactimeSee) {
    if (const std::string why = volumeUnavailableReason(VolumeKind::ntfs); !why.empty())
        GTEST_SKIP() << why;
    MountedVolume volume;
    std::string error;
    ASSERT_TRUE(volume.mount(VolumeKind::ntfs, folder.at("v.img"), folder.at("v"),
                             "streams_interface=windows", error))
        << error;
    const std::string payload = std::string(10000, 'A') + "EVILTAIL";
    ASSERT_TRUE(writeFile(volume.at("a.txt"), "text") &&
                writeFile(volume.at("a.txt:payload"), payload));
    ASSERT_TRUE(writeFile(folder.at("payload"), payload) && makeFolder(folder.at("rules")));
    ASSERT_TRUE(
        writeFile(folder.at("rules/tail.yar"),
                  "rule TailMarker : tag1 tag2 { strings: $a = \"EVILTAIL\" condition: $a }"));
    ASSERT_TRUE(writeFile(folder.at("rules/other.yar"), "rule Never { condition: false }"));

    const CommandResult run =
        runCommand({kScanner, "--json", "--yara", folder.at("rules"), "--hash=sha256,md5",
                    "--bodyfile", folder.at("body"), volume.mountPoint()});
    EXPECT_EQ(run.exitCode, 1) << run.output();
    ASSERT_TRUE(writeFile(folder.at("rows"), run.out));
    EXPECT_EQ(
        shell("jq -r 'select(.stream == \"payload\") | [.severity, .note, .yara[0].namespace, "
              "(.yara[0].tags | join(\" \")), .md5] | @tsv' \"$1/rows\"",
              {folder.path()}),
        "Alert\tYARA rule matched: TailMarker\ttail.yar\ttag1 tag2\t" +
            shell("md5sum < \"$1/payload\" | cut -d' ' -f1", {folder.path()}));
    EXPECT_NE(shell("mactime -b \"$1/body\" -d", {folder.path()}).find("/a.txt:payload"),
              std::string::npos);

    ASSERT_TRUE(writeFile(folder.at("bad.yar"), "rule Bad { condition: $x }"));
    const CommandResult bad = runCommand({kScanner, "--yara", folder.at("bad.yar"), folder.path()});
    EXPECT_EQ(bad.exitCode, 64);
    EXPECT_NE(bad.err.find("bad.yar(1): undefined string \"$x\""), std::string::npos) << bad.err;
    // A fifo named as the rules is refused at once, never waited on.
    ASSERT_EQ(mkfifo(folder.at("rules.fifo").c_str(), 0600), 0);
    const CommandResult fifo =
        runCommand({kScanner, "--yara", folder.at("rules.fifo"), folder.path()},
                   {.limit = std::chrono::seconds(20)});
    EXPECT_EQ(std::pair(fifo.exitCode, fifo.err.find("not a rules file") != std::string::npos),
              std::pair(64, true))
        << fifo.err;
}

// --csv /dev/stdout works down a pipe; where standard output is a file, a
// report put in its place would take the rows already written with it.
TEST_F(Cli, AReportGoesDownThePipeButNeverReplacesTheProgramsOwnOutputFile) {
    ASSERT_TRUE(makeFolder(folder.at("tree")) && makeFile(folder.at("tree/a"), {"user.s", "x"}));
    EXPECT_EQ(
        shell("\"$1\" \"$2\" --csv /dev/stdout | tr -d '\\000' | grep -c 'Severity,Note,Path'",
              {kScanner, folder.at("tree")}),
        "1\n");
    EXPECT_EQ(shell("\"$1\" \"$2\" --csv /dev/stdout > \"$3\" 2>&1; echo $?",
                    {kScanner, folder.at("tree"), folder.at("out.txt")}),
              "64\n");
    EXPECT_NE(readFile(folder.at("out.txt"))->find("the program's own output goes to it"),
              std::string::npos);
}

// The scan writes to a pipe that is read only after the signal, so it is still
// running when it comes, whatever the machine's speed.
TEST_F(Cli, CtrlCStopsTheScanAndTheSummaryAndStatusSaySo) {
    for (int f = 0; f < 5000; ++f) {
        if (f % 250 == 0) {
            ASSERT_TRUE(makeFolder(folder.at("tree" + std::to_string(f / 250))));
        }
        ASSERT_TRUE(makeFile(folder.at("tree" + std::to_string(f / 250) + "/" + std::to_string(f)),
                             {"user.Zone.Identifier", kInternetZone}));
    }
    const std::string status = shell(
        "mkfifo \"$2/pipe\"; \"$1\" \"$2\" --json > \"$2/pipe\" & scan=$!; exec 3< "
        "\"$2/pipe\"; read -r first <&3; sleep 0.3; kill -INT $scan; { printf '%s\\n' "
        "\"$first\"; cat <&3; } > \"$2/rows\"; wait $scan; echo $?",
        {kScanner, folder.path()});
    EXPECT_EQ(std::stoi("0" + status) & 2, 2) << status;  // not everything was examined
    EXPECT_EQ(shell("jq -r 'select(.type == \"summary\") | [.complete, .rows < 5000] | @csv' "
                    "\"$1/rows\"",
                    {folder.path()}),
              "false,true\n");
}

// What a user without privileges meets, run as nobody: a folder without search
// permission and a file whose streams cannot be read are each named on standard
// error, and a removal is refused on a file of another owner and on a read-only
// one, each with its reason, leaving both streams where they were.
TEST_F(Cli, AnUnprivilegedUserIsToldWhatWasDeniedAndWhyARemovalWasRefused) {
    if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "needs root and setpriv to run the scan as nobody";
    const std::string zone = "[ZoneTransfer]\r\nZoneId=3\r\n";
    ASSERT_TRUE(makeFolder(folder.at("tree")) && makeFolder(folder.at("tree/locked"), 0700));
    ASSERT_TRUE(makeFile(folder.at("tree/locked/a"), {"user.s", "1"}));
    ASSERT_TRUE(makeFile(folder.at("tree/secret.txt"), {"user.payload", "MZ"}));
    ASSERT_TRUE(makeFile(folder.at("tree/shared.txt"), {"user.Zone.Identifier", zone}));
    ASSERT_TRUE(makeFile(folder.at("tree/ro.txt"), {"user.Zone.Identifier", zone}));
    ASSERT_EQ(chmod(folder.at("tree/secret.txt").c_str(), 0600), 0);
    ASSERT_EQ(chmod(folder.at("tree/ro.txt").c_str(), 0444), 0);
    const CommandResult run =
        runCommand({"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", kScanner,
                    folder.at("tree"), "--remove", "Zone.Identifier", "--yes"});
    EXPECT_EQ(run.exitCode, 2 | 4) << run.output();
    EXPECT_EQ(shell("printf %s \"$1\" | LC_ALL=C sort", {run.err}),
              "tessalin-scan: " + folder.at("tree/locked") + ": Access denied (5)\n" +
                  "tessalin-scan: " + folder.at("tree/secret.txt") + ": Access denied (5)\n");
    for (const std::string& line :
         {"    " + folder.at("tree/shared.txt") + " : Zone.Identifier  --  Access denied (5)\n",
          "    " + folder.at("tree/ro.txt") +
              " : Zone.Identifier  --  The host file is read-only (5)\n"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
    }
    EXPECT_EQ(attribute(folder.at("tree/shared.txt"), "user.Zone.Identifier"), zone);
    EXPECT_EQ(attribute(folder.at("tree/ro.txt"), "user.Zone.Identifier"), zone);
}

// Through a terminal (a pty that script makes): rows are coloured unless
// NO_COLOR is set or TERM is dumb; and while a scan runs, its progress line is
// drawn on standard error. There the rows go to a fifo read half a kilobyte at a
// time, so the scan is still running whenever the terminal is looked at.
TEST_F(Cli, ATerminalGetsColourUnlessAskedNotToAndAProgressLineWhileTheScanRuns) {
    ASSERT_TRUE(makeFolder(folder.at("tree")));
    ASSERT_TRUE(makeFile(folder.at("tree/a.exe"), {"user.payload", "MZ"}));
    const struct {
        std::string environment;
        bool coloured;
    } cases[] = {{"TERM=xterm", true}, {"TERM=xterm NO_COLOR=1", false}, {"TERM=dumb", false}};
    for (const auto& c : cases) {
        const std::string screen =
            shell("env -i PATH=\"$PATH\" $1 script -qec \"'$2' '$3'\" /dev/null </dev/null",
                  {c.environment, kScanner, folder.at("tree")});
        EXPECT_NE(screen.find("a.exe:payload:$DATA"), std::string::npos) << screen;
        EXPECT_EQ(screen.find("\x1B["),
                  c.coloured ? screen.find("\x1B[31mAlert") : std::string::npos)
            << c.environment << "\n"
            << screen;
    }

    ASSERT_TRUE(makeFolder(folder.at("many")));
    for (int f = 0; f < 3000; ++f) {
        const std::string sub = "many/" + std::to_string(f / 50);
        if (f % 50 == 0)
            ASSERT_TRUE(makeFolder(folder.at(sub)));
        ASSERT_TRUE(makeFile(folder.at(sub + "/" + std::to_string(f)), {"user.s", "1"}));
    }
    const std::string terminal = shell(
        "cd \"$2\" && mkfifo rows && { TERM=xterm script -qfec \"'$1' '$2/many' > rows\" tty "
        "</dev/null >/dev/null & } && exec 3< rows && for i in $(seq 20000); do "
        "grep -q 'Scanning: ' tty && break; dd bs=512 count=1 <&3 >/dev/null 2>&1; done; "
        "cat <&3 >/dev/null; wait; cat tty",
        {kScanner, folder.path()});
    EXPECT_NE(terminal.find(" streams listed | Scanning: "), std::string::npos) << terminal;
}

// Names past U+FFFF (an emoji, a musical symbol) are reached on disk, read,
// and come back in JSON as the same characters, as jq reads them, with no byte
// form beside them; a --name pattern written with them matches them.
TEST_F(Cli, NamesPastTheBasicPlaneAreReachedAndComeBackWhole) {
    const std::string smile = "\xF0\x9F\x98\x80", clef = "\xF0\x9D\x84\x9E";
    ASSERT_TRUE(makeFolder(folder.at("tree")));
    ASSERT_TRUE(makeFile(folder.at("tree/" + smile + " song" + clef + ".txt"),
                         {"user.Zone.Identifier", kInternetZone, "user." + clef, "MZ"}));
    const CommandResult run =
        runCommand({kScanner, folder.at("tree"), "--json", "--name", "*" + clef});
    EXPECT_EQ(run.exitCode, 1) << run.output();
    EXPECT_EQ(
        shell("printf %s \"$1\" | jq -r 'select(.type == \"row\") | [(.path | sub(\".*/\"; "
              "\"\")), .stream, .severity, has(\"pathBytes\") or has(\"streamBytes\")] | @tsv'",
              {run.out}),
        smile + " song" + clef + ".txt\t" + clef + "\tAlert\tfalse\n");
}

}  // namespace
}  // namespace streamscan
