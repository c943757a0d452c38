// The built tessalin-scan on real trees: local disk with user. attributes, NTFS
// and FAT volumes through FUSE, a folder refused to nobody, Ctrl+C, removal.
// Checks what a user and a script see: stdout, the report's bytes, the status.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/summary.h"
#include "engine/csv_report.h"
#include "engine/not_examined.h"
#include "engine/posix/posix_file_system.h"
#include "engine/tree_walk.h"
#include "engine/unicode.h"
#include "support/real_volumes.h"

namespace streamscan {
namespace {

using realfs::MountedVolume;
using realfs::TempFolder;
using realfs::VolumeKind;

#ifdef TESSALIN_SCAN_BINARY
const std::string kBinary = TESSALIN_SCAN_BINARY;
#else
const std::string kBinary = realfs::executableFolder() + "/tessalin-scan";
#endif

const std::string kInternetZone =
    "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.net/\r\n"
    "HostUrl=https://example.net/setup.exe\r\n";

// The output line that holds `needle`, empty when there is none.
std::string lineWith(const std::string& out, const std::string& needle) {
    const std::size_t at = out.find(needle);
    if (at == std::string::npos)
        return {};
    const std::size_t start =
        out.rfind('\n', at) == std::string::npos ? 0 : out.rfind('\n', at) + 1;
    return out.substr(start, out.find('\n', at) - start);
}

// The line standard error carries for one place not examined.
std::string placeLine(const std::string& path, PlaceKind kind, std::uint32_t error = 0) {
    return utf8ForDisplay(tessalin::cli::notExaminedPlaceLine({decodeName(path), kind, error}));
}

struct RunResult {
    int status = -1;  // exit status; 128 + signal when a signal ended it
    std::string out;
    std::string err;
};

struct RunSetup {
    std::vector<std::string> environment;  // NAME=VALUE added to the inherited one
    bool asNobody = false;
};

// The binary as a child: stdin from /dev/null, stdout and stderr through pipes.
pid_t start(const std::vector<std::string>& args, const RunSetup& setup, int& outFd, int& errFd) {
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        return -1;
    std::vector<std::string> argv{kBinary};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t child = fork();
    if (child == 0) {
        const int input = open("/dev/null", O_RDONLY);
        dup2(input, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (const std::string& variable : setup.environment)
            putenv(const_cast<char*>(variable.c_str()));
        if (setup.asNobody) {
            const passwd* nobody = getpwnam("nobody");
            const uid_t uid = nobody != nullptr ? nobody->pw_uid : 65534;
            const gid_t gid = nobody != nullptr ? nobody->pw_gid : 65534;
            if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
                _exit(120);
        }
        std::vector<char*> pointers;
        for (std::string& arg : argv)
            pointers.push_back(arg.data());
        pointers.push_back(nullptr);
        execv(kBinary.c_str(), pointers.data());
        _exit(121);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    outFd = outPipe[0];
    errFd = errPipe[0];
    return child;
}

// Reads both pipes to their end, then reaps the child.
RunResult finish(pid_t child, int outFd, int errFd, RunResult result = {}) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* targets[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[65536];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                targets[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.status = 128 + WTERMSIG(status);
    return result;
}

RunResult runScan(const std::vector<std::string>& args, const RunSetup& setup = {}) {
    int outFd = -1;
    int errFd = -1;
    const pid_t child = start(args, setup, outFd, errFd);
    if (child < 0)
        return {};
    return finish(child, outFd, errFd);
}

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// What a shell command prints on stdout; the command runs under `timeout`.
std::string shellOutput(const std::string& command) {
    std::string out;
    FILE* pipe = popen(("timeout 60 sh -c " + shellQuoted(command)).c_str(), "r");
    if (pipe == nullptr)
        return out;
    char buffer[4096];
    for (std::size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, got);
    pclose(pipe);
    return out;
}

// python3 -m http.server on 127.0.0.1, serving `folder`; stopped by its pid.
class HttpServer {
  public:
    explicit HttpServer(const std::string& folder) {
        const int probe = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            close(probe);
            return;
        }
        close(probe);
        port = ntohs(address.sin_port);
        pid = fork();
        if (pid == 0) {
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, 1);
            dup2(quiet, 2);
            if (chdir(folder.c_str()) != 0)
                _exit(127);
            const std::string portText = std::to_string(port);
            execlp("python3", "python3", "-m", "http.server", "--bind", "127.0.0.1",
                   portText.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        // Ready once it accepts a connection; ten seconds at most.
        for (int attempt = 0; attempt < 100 && !ready; ++attempt) {
            const int client = socket(AF_INET, SOCK_STREAM, 0);
            ready = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            close(client);
            if (!ready)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    ~HttpServer() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    std::string url(const std::string& name) const {
        return "http://127.0.0.1:" + std::to_string(port) + "/" + name;
    }

    bool ready = false;

  private:
    pid_t pid = -1;
    int port = 0;
};

class CliOnLocalDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(access(kBinary.c_str(), X_OK), 0) << kBinary << " is not built";
        ASSERT_TRUE(folder.valid());
        if (!realfs::userAttributesWork(folder.path()))
            GTEST_SKIP() << folder.path() << " does not take user. attributes";
    }

    std::string file(const std::string& relative, const std::string& content = "content") {
        const std::string path = folder.at(relative);
        EXPECT_TRUE(realfs::writeFile(path, content)) << path;
        return path;
    }

    void stream(const std::string& path, const std::string& name, const std::string& value) {
        EXPECT_TRUE(realfs::setAttribute(path, "user." + name, value)) << path << " " << name;
    }

    TempFolder folder{"cli"};
};

TEST_F(CliOnLocalDisk, RowsSummaryAndReportOfATreeWithHostileNames) {
    ASSERT_TRUE(realfs::makeFolder(folder.at("tree")));
    stream(file("tree/setup.exe"), "Zone.Identifier", kInternetZone);
    stream(file("tree/evil\u202Etxt.exe"), "payload", "MZ\x90");
    stream(file("tree/line\nbreak.txt"), "tab\tname", "x");
    stream(file("tree/bad\xFF.txt"), "s", "y");
    file("tree/plain.txt");
    const std::string report = folder.at("report.csv");

    const RunResult run = runScan({folder.at("tree"), "--csv", report});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(run.err, "");
    const std::string& out = run.out;
    EXPECT_NE(out.find("tree/setup.exe:Zone.Identifier:$DATA"), std::string::npos) << out;
    EXPECT_NE(out.find("Internet"), std::string::npos);
    EXPECT_EQ(lineWith(out, folder.at("tree/evil<U+202E>txt.exe:payload:$DATA")).rfind("Alert ", 0),
              0u)
        << out;
    EXPECT_NE(out.find("tree/line<U+000A>break.txt:tab<U+0009>name:$DATA"), std::string::npos);
    EXPECT_NE(out.find("tree/bad<U+DCFF>.txt:s:$DATA"), std::string::npos);
    EXPECT_EQ(out.find("plain.txt"), std::string::npos);
    for (const char c : out) {
        ASSERT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << "raw control byte";
    }
    EXPECT_NE(out.find("\nScan complete.\n5 files, 1 folder, 4 with streams\n4 streams listed\n"
                       "Nothing was skipped\n\nExported 4 rows to:\n" +
                       report + "\n"),
              std::string::npos)
        << out;

    // The report is the very file the engine's writer makes of the same scan.
    std::string written;
    ASSERT_TRUE(realfs::readFile(report, written));
    PosixFileSystem fs;
    std::vector<StreamRecord> records;
    const ScanStats stats = scanRoots(
        {decodeName(folder.at("tree"))}, ScanOptions{},
        [&](const StreamRecord& r) { records.push_back(r); }, {}, {}, fs);
    const std::string expectedPath = folder.at("expected.csv");
    ASSERT_TRUE(writeCsvReport(decodeName(expectedPath), records, nullptr, &stats, fs));
    std::string expected;
    ASSERT_TRUE(realfs::readFile(expectedPath, expected));
    EXPECT_EQ(written, expected);
    ASSERT_GT(written.size(), 2u);
    EXPECT_EQ(written.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(countOf(written, std::string("\r\0\n\0", 4)), 5u);  // header and four rows
}

TEST_F(CliOnLocalDisk, JsonLinesAreTypedObjectsThatJqReads) {
    ASSERT_TRUE(realfs::makeFolder(folder.at("tree")));
    stream(file("tree/setup.exe", "MZ"), "Zone.Identifier", kInternetZone);
    stream(file("tree/bad\xFF.txt"), "s\x01", "MZ\x90");
    file("tree/plain.txt");
    const RunResult run = runScan({folder.at("tree"), "--json", "--all-items"});
    EXPECT_EQ(run.status, 1) << run.err;
    const std::string lines = folder.at("scan.jsonl");
    ASSERT_TRUE(realfs::writeFile(lines, run.out));
    const std::string file = " " + shellQuoted(lines);

    // Every line is one object; jq -e fails on anything else.
    EXPECT_EQ(shellOutput("jq -c -e 'type == \"object\"'" + file),
              "true\ntrue\ntrue\ntrue\ntrue\n");
    const std::string rows = shellOutput(
        "jq -s -r 'map(select(.type == \"row\")) | sort_by(.path) | .[] | "
        "[(.path | sub(\".*/tree\"; \"tree\")), .stream, .streamSize, .zone, .zoneName, "
        ".hostUrl, .severity, (.hostAttributes | join(\"+\")), .readable, "
        "(.hostModified | test(\"^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}Z$\"))] | @json'" +
        file);
    EXPECT_EQ(
        rows,
        "[\"tree\",null,null,null,null,null,null,\"Directory\",null,true]\n"
        "[\"tree/bad<U+DCFF>.txt\",\"s\\u0001\",3,null,null,null,\"Alert\",\"Archive\",true,true]\n"
        "[\"tree/plain.txt\",null,null,null,null,null,null,\"Archive\",null,true]\n"
        "[\"tree/setup.exe\",\"Zone.Identifier\",99,3,\"Internet\","
        "\"https://example.net/setup.exe\",null,\"Archive\",true,true]\n")
        << rows;
    // The exact bytes of a name that is not UTF-8 reach the file again.
    EXPECT_EQ(shellOutput("jq -j 'select(.pathBytes) | .pathBytes'" + file + " | base64 -d"),
              folder.at("tree/bad\xFF.txt"));
    EXPECT_EQ(shellOutput("jq -r 'select(.type == \"summary\") | [.complete, "
                          ".everythingExamined, .flagged, .files, .folders, .streams, .rows, "
                          ".rowsFilteredOut, .roots[0].path == \"" +
                          folder.at("tree") + "\"] | @csv'" + file),
              "true,true,true,3,1,2,4,0,true\n");
}

TEST_F(CliOnLocalDisk, LinuxDownloadMarksAndWindowsSidecarsExplainWhereAFileCameFrom) {
    ASSERT_TRUE(realfs::makeFolder(folder.at("site")));
    ASSERT_TRUE(realfs::makeFolder(folder.at("dl")));
    file("site/tool.exe", "program");
    HttpServer server(folder.at("site"));
    ASSERT_TRUE(server.ready);
    const std::string into = "cd " + shellQuoted(folder.at("dl")) + " && ";
    shellOutput(into + "wget -q --xattr " + server.url("tool.exe"));
    shellOutput(into + "curl -s --xattr -o c.exe -e " + server.url("") + " " +
                server.url("tool.exe"));
    // What Windows leaves when it copies a downloaded file into a Linux folder.
    file("dl/c.exe:Zone.Identifier", kInternetZone);

    const RunResult run = runScan({folder.at("dl"), "--json"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    const std::string lines = folder.at("scan.jsonl");
    ASSERT_TRUE(realfs::writeFile(lines, run.out));
    const std::string rows = shellOutput(
        "jq -s -r 'map(select(.type == \"row\")) | sort_by(.path, .stream) | .[] | "
        "[(.path | sub(\".*/dl/\"; \"\")), .stream, .hostUrl, .referrerUrl, .zoneName, "
        ".sidecarFile, .note] | @tsv' " +
        shellQuoted(lines));
    const std::string origin = server.url("tool.exe");
    EXPECT_EQ(rows,
              "c.exe\tZone.Identifier\thttps://example.net/setup.exe\thttps://example.net/\t"
              "Internet\ttrue\tZone.Identifier kept in a sidecar file beside it\n"
              "c.exe\tmime_type\t\t\t\tfalse\t\n"
              "c.exe\txdg.origin.url\t" +
                  origin + "\t" + server.url("") + "\t\tfalse\tDownloaded from " + origin +
                  "\n"
                  "c.exe\txdg.referrer.url\t" +
                  origin + "\t" + server.url("") + "\t\tfalse\tDownloaded from " + origin +
                  "\n"
                  "tool.exe\txdg.origin.url\t" +
                  origin + "\t\t\tfalse\tDownloaded from " + origin + "\n")
        << rows;

    // --remove takes the sidecar file and only it.
    const RunResult removal = runScan({folder.at("dl"), "--remove", "Zone.Identifier", "--yes"});
    EXPECT_EQ(removal.status, 0) << removal.out;
    EXPECT_NE(removal.out.find("Removed 1 stream."), std::string::npos) << removal.out;
    EXPECT_NE(access(folder.at("dl/c.exe").c_str(), F_OK), -1);
    EXPECT_EQ(access(folder.at("dl/c.exe:Zone.Identifier").c_str(), F_OK), -1);
    EXPECT_TRUE(realfs::hasAttribute(folder.at("dl/c.exe"), "user.xdg.origin.url"));
}

TEST_F(CliOnLocalDisk, DemoMakesItsTreeUnderTmpdirAndExplainsIt) {
    const RunResult run = runScan({"--demo"}, {{"TMPDIR=" + folder.path()}});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(run.out.rfind("Sample tree made in: " + folder.path() + "/tessalin-demo-", 0), 0u)
        << run.out;
    for (const char* expected :
         {"Documents/invoice<U+202E>txt.exe:Zone.Identifier:$DATA",
          "Stream content starts with MZ (executable image)",
          "Stream is named like an executable or script",
          "Alternate stream on an executable file, under a name Windows itself uses",
          "ZoneId 7 is outside the documented range 0-4", "Projects:summary:$DATA",
          "Nothing was skipped", "for you to look at"}) {
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
    }
}

TEST_F(CliOnLocalDisk, RemoveZoneIdentifierTakesExactlyThoseStreamsAndLeavesContent) {
    ASSERT_TRUE(realfs::makeFolder(folder.at("dl")));
    const std::string a = file("dl/a.zip", "zip bytes");
    const std::string b = file("dl/b.txt", "text bytes");
    const std::string c = file("dl/c.pdf", "pdf bytes");
    stream(a, "Zone.Identifier", kInternetZone);
    stream(b, "Zone.Identifier", kInternetZone);
    stream(b, "keep", "kept");
    stream(c, "ZONE.IDENTIFIER", kInternetZone);

    const RunResult run = runScan({folder.at("dl"), "--remove", "Zone.Identifier", "--yes"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Remove 3 streams from 3 files?"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nRemoved 3 streams.\n"), std::string::npos) << run.out;
    EXPECT_FALSE(realfs::hasAttribute(a, "user.Zone.Identifier"));
    EXPECT_FALSE(realfs::hasAttribute(b, "user.Zone.Identifier"));
    EXPECT_FALSE(realfs::hasAttribute(c, "user.ZONE.IDENTIFIER"));
    std::string value;
    EXPECT_TRUE(realfs::getAttribute(b, "user.keep", value));
    EXPECT_EQ(value, "kept");
    for (const auto& [path, content] :
         {std::pair{a, "zip bytes"}, std::pair{b, "text bytes"}, std::pair{c, "pdf bytes"}}) {
        std::string now;
        EXPECT_TRUE(realfs::readFile(path, now));
        EXPECT_EQ(now, content);
    }
}

TEST_F(CliOnLocalDisk, RemoveWithoutTerminalOrYesIsAUsageErrorAndTouchesNothing) {
    const std::string a = file("a.txt");
    stream(a, "Zone.Identifier", kInternetZone);
    const RunResult run = runScan({folder.path(), "--remove", "Zone.Identifier"});
    EXPECT_EQ(run.status, 64);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(countOf(run.err, "\n"), 2u) << run.err;
    EXPECT_NE(run.err.find("--help"), std::string::npos);
    EXPECT_TRUE(realfs::hasAttribute(a, "user.Zone.Identifier"));

    const RunResult unknown = runScan({"--frobnicate", folder.path()});
    EXPECT_EQ(unknown.status, 64);
    EXPECT_EQ(unknown.err,
              "tessalin-scan: unknown option '--frobnicate'\n"
              "Try 'tessalin-scan --help' for more information.\n");
}

TEST_F(CliOnLocalDisk, ExtractCopiesEachListedStreamUnderNamesOfItsOwn) {
    ASSERT_TRUE(realfs::makeFolder(folder.at("tree")));
    stream(file("tree/a.txt"), "payload", std::string("MZ\0\x01binary", 10));
    stream(file("tree/b\xFF.txt"), "../../escape", "name from the tree");
    const std::string out = folder.at("out");

    const RunResult run = runScan({folder.at("tree"), "--json", "--hash", "--extract", out});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    const std::string quotedOut = shellQuoted(out);
    EXPECT_EQ(shellOutput("ls -a " + quotedOut),
              ".\n..\nmanifest.json\nstream-000001.bin\n"
              "stream-000002.bin\n");
    // Each copy is its stream's bytes, under the hash the manifest and the row give it.
    const std::string copies = shellOutput(
        "cd " + quotedOut +
        " && jq -r '.streams[] | select(.file) | .sha256 + \"  \" + .file' manifest.json | "
        "sha256sum -c --quiet && jq -r '[.complete, .copied, .failed] | @csv' manifest.json && "
        "jq -r '.streams | sort_by(.path) | .[] | [(.path | sub(\".*/tree/\"; \"\")), "
        "(.pathBytes != null), .stream, .size, (.sha256 != null), .error] | @tsv' manifest.json");
    EXPECT_EQ(copies,
              "true,2,0\n"
              "a.txt\tfalse\tpayload\t10\ttrue\t\n"
              "b<U+DCFF>.txt\ttrue\t../../escape\t18\ttrue\t\n")
        << copies << run.err;
    std::string rowsFile = folder.at("rows.jsonl");
    ASSERT_TRUE(realfs::writeFile(rowsFile, run.out));
    EXPECT_EQ(
        shellOutput("jq -s -r 'map(select(.type == \"row\") | .sha256) | sort | @csv' " +
                    shellQuoted(rowsFile)),
        shellOutput("jq -r '[.streams[].sha256] | sort | @csv' " + quotedOut + "/manifest.json"));

    // A folder that is not empty, or one inside the scanned tree, is refused before any scan.
    for (const std::string& refused : {out, folder.at("tree/copies")}) {
        const RunResult again = runScan({folder.at("tree"), "--extract", refused});
        EXPECT_EQ(again.status, 64) << again.err;
        EXPECT_EQ(again.out, "");
        EXPECT_NE(again.err.find("--extract cannot use"), std::string::npos) << again.err;
    }
    EXPECT_EQ(access(folder.at("tree/copies").c_str(), F_OK), -1);
}

TEST_F(CliOnLocalDisk, AFolderDeniedToNobodyIsCountedAndSetsBitTwo) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run the scanner as nobody";
    ASSERT_TRUE(realfs::makeFolder(folder.at("root")));
    stream(file("root/open.txt"), "note", "readable");
    ASSERT_TRUE(realfs::makeFolder(folder.at("root/locked"), 0700));
    stream(file("root/locked/inside.txt"), "note", "hidden");

    const RunResult run = runScan({folder.at("root")}, {{}, true});
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_NE(run.out.find("root/open.txt:note:$DATA"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("inside.txt"), std::string::npos);
    EXPECT_NE(run.out.find("\nScan complete.\n1 file, 2 folders, 1 with streams\n"
                           "1 stream listed\n\xE2\x9A\xA0 Not examined: 1 denied"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.err, placeLine(folder.at("root/locked"), PlaceKind::accessDenied, 5));

    // As root nothing is refused: the difference is the refusal.
    EXPECT_EQ(runScan({folder.at("root")}).status, 0);
}

// A tree whose rows fill any pipe many times over, so a scan writing to a pipe
// nobody reads is still running when the signal comes.
class CliInterrupt : public ::testing::Test {
  protected:
    static constexpr int kFolders = 40;
    static constexpr int kFilesPerFolder = 250;

    static void SetUpTestSuite() {
        folder = std::make_unique<TempFolder>("interrupt");
        if (!realfs::userAttributesWork(folder->path())) {
            skipReason = folder->path() + " does not take user. attributes";
            return;
        }
        for (int d = 0; d < kFolders; ++d) {
            const std::string sub = folder->at("d" + std::to_string(d));
            realfs::makeFolder(sub);
            for (int f = 0; f < kFilesPerFolder; ++f) {
                const std::string path = sub + "/file-" + std::to_string(f) + ".txt";
                if (!realfs::writeFile(path, "x") ||
                    !realfs::setAttribute(path, "user.Zone.Identifier", kInternetZone)) {
                    skipReason = "the large tree could not be made at " + path;
                    return;
                }
            }
        }
    }
    static void TearDownTestSuite() { folder.reset(); }

    void SetUp() override {
        if (!skipReason.empty())
            GTEST_SKIP() << skipReason;
    }

    // Starts a scan, waits for its first row, leaves the pipe unread until the
    // scan must be blocked on it, sends `signals` SIGINTs, then reads to the end.
    static RunResult interrupted(int signals, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args{folder->path()};
        args.insert(args.end(), extra.begin(), extra.end());
        int outFd = -1;
        int errFd = -1;
        const pid_t child = start(args, {}, outFd, errFd);
        RunResult partial;
        char buffer[4096];
        const ssize_t n = read(outFd, buffer, sizeof buffer);
        if (n > 0)
            partial.out.assign(buffer, static_cast<std::size_t>(n));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (int i = 0; i < signals; ++i) {
            kill(child, SIGINT);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return finish(child, outFd, errFd, partial);
    }

    static std::unique_ptr<TempFolder> folder;
    static std::string skipReason;
};

std::unique_ptr<TempFolder> CliInterrupt::folder;
std::string CliInterrupt::skipReason;

TEST_F(CliInterrupt, CtrlCStopsTheScanAndEverythingSaysSo) {
    const std::string report = folder->path() + "/../interrupted.csv";
    const RunResult run = interrupted(1, {"--csv", report});
    EXPECT_EQ(run.status & 2, 2) << run.err;
    EXPECT_LT(run.status, 8);
    const std::size_t rows = countOf(run.out, ":Zone.Identifier:$DATA");
    EXPECT_GT(rows, 0u);
    EXPECT_LT(rows, static_cast<std::size_t>(kFolders * kFilesPerFolder));
    EXPECT_NE(run.out.find("\nScan cancelled - what is listed covers only part of the tree.\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("\xE2\x9A\xA0 Stopped before the end"), std::string::npos);
    // Standard error names the folder where the stop took effect.
    const std::string stoppedHere =
        utf8ForDisplay(notExaminedReason({{}, PlaceKind::cancelled, 0})) + "\n";
    EXPECT_NE(run.err.find(stoppedHere), std::string::npos) << run.err;
    std::string written;
    ASSERT_TRUE(realfs::readFile(report, written));
    unlink(report.c_str());
    const std::string cancelLine = "\"Scan cancelled before it finished\"\r\n";
    std::string utf16;
    for (const char c : cancelLine)
        utf16 += std::string{c, '\0'};
    ASSERT_GT(written.size(), utf16.size());
    EXPECT_EQ(written.substr(written.size() - utf16.size()), utf16);
}

TEST_F(CliInterrupt, ASecondCtrlCEndsAtOnceWith130) {
    const RunResult run = interrupted(2);
    EXPECT_EQ(run.status, 130);
    EXPECT_EQ(run.out.find("Scan cancelled"), std::string::npos);
}

// ---- FUSE volumes ----

class CliOnVolumes : public ::testing::Test {
  protected:
    void mountVolume(VolumeKind kind, const std::string& options = "") {
        const std::string reason = realfs::volumeUnavailableReason(kind);
        if (!reason.empty())
            GTEST_SKIP() << reason;
        ASSERT_TRUE(folder.valid());
        const std::string image = folder.at("volume.img");
        std::string error;
        ASSERT_TRUE(realfs::makeVolumeImage(kind, image, kind == VolumeKind::ntfs ? 16 : 8, error))
            << error;
        ASSERT_TRUE(volume.mount(kind, image, folder.at("mnt"), options, error)) << error;
    }

    void TearDown() override { volume.unmount(); }

    TempFolder folder{"cli-volume"};
    MountedVolume volume;
};

TEST_F(CliOnVolumes, StreamsOfARealNtfsVolumeAreListedAndAssessed) {
    mountVolume(VolumeKind::ntfs);
    ASSERT_TRUE(realfs::writeFile(volume.at("setup.exe"), "MZ"));
    ASSERT_TRUE(
        realfs::setAttribute(volume.at("setup.exe"), "user.Zone.Identifier", kInternetZone));
    ASSERT_TRUE(realfs::writeFile(volume.at("notes.txt"), "notes"));
    ASSERT_TRUE(realfs::setAttribute(volume.at("notes.txt"), "user.hidden", "MZ\x90\x00"));

    const RunResult run = runScan({volume.mountPoint(), "--no-folder-streams"});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.out.find(volume.at("setup.exe:Zone.Identifier:$DATA")), std::string::npos)
        << run.out;
    EXPECT_EQ(lineWith(run.out, volume.at("notes.txt:hidden:$DATA")).rfind("Alert ", 0), 0u);
    EXPECT_NE(run.out.find("2 streams listed\nNothing was skipped\n"), std::string::npos)
        << run.out;
}

TEST_F(CliOnVolumes, AStreamTheVolumeWillNotHandOverIsNamedInTheManifestWithItsError) {
    // Written as file:stream; through attributes ntfs-3g shows 64 KiB of it and
    // refuses to read it.
    mountVolume(VolumeKind::ntfs, "streams_interface=windows");
    ASSERT_TRUE(realfs::writeFile(volume.at("big.txt"), "host"));
    ASSERT_TRUE(realfs::writeFile(volume.at("big.txt:big"), std::string(70000, 'b')));
    std::string error;
    ASSERT_TRUE(volume.unmount(&error)) << error;
    ASSERT_TRUE(
        volume.mount(VolumeKind::ntfs, folder.at("volume.img"), folder.at("mnt"), "", error))
        << error;
    const std::string out = folder.at("out");
    const RunResult run = runScan({volume.mountPoint(), "--extract", out, "-q"});
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_NE(run.out.find("Copied 0 streams to " + out +
                           "; 1 stream could not be read (see manifest.json)\n"),
              std::string::npos)
        << run.out;
    const std::string manifest =
        shellOutput("jq -r '.streams[] | [.file, .stream, (.error | length > 0)] | @csv' " +
                    shellQuoted(out + "/manifest.json"));
    EXPECT_EQ(manifest, ",\"big\",true\n");
    // A row whose size is only what the volume would show says so.
    const RunResult rows = runScan({volume.mountPoint(), "--json"});
    EXPECT_EQ(rows.status, 3) << rows.err;
    const std::string json = folder.at("rows.json");
    ASSERT_TRUE(realfs::writeFile(json, rows.out));
    EXPECT_EQ(shellOutput("jq -r 'select(.type == \"row\") | [.streamSize, "
                          ".streamSizeIsLowerBound, .readable] | @csv' " +
                          shellQuoted(json)),
              "65536,true,false\n");
}

TEST_F(CliOnVolumes, AFatVolumeIsReportedAsUnableToHoldStreams) {
    mountVolume(VolumeKind::fat);
    ASSERT_TRUE(realfs::writeFile(volume.at("a.txt"), "a"));
    const RunResult run = runScan({volume.mountPoint()});
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_EQ(run.err, placeLine(volume.mountPoint(), PlaceKind::volumeWithoutStreams));
    EXPECT_NE(run.out.find("\xE2\x9A\xA0 Not examined: 1 not NTFS"), std::string::npos);
    EXPECT_NE(run.out.find("\nThis volume cannot hold alternate data streams.\n\n"
                           "Alternate data streams are an NTFS feature, and 1 location in this "
                           "scan sit on a volume that cannot hold one.\n\n    " +
                           volume.mountPoint()),
              std::string::npos)
        << run.out;
}

}  // namespace
}  // namespace streamscan
