// A real Samba server on 127.0.0.1, started and stopped by the test, with a
// guest share that keeps streams and DOS attributes the way Samba does
// (streams_xattr, user.DOSATTRIB). A real client writes a stream and marks the
// file hidden; the scan must see both, and a removal must reach what the
// client sees.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/posix/posix_file_system.h"
#include "engine/removal.h"
#include "engine/tree_walk.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"
#include "support/real_volumes.h"

namespace streamscan {
namespace {

using realfs::TempFolder;

bool acceptsConnections(int port) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return connected;
}

// A port nobody listens on now, chosen by the kernel.
int freePort() {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(s);
    return port;
}

// smbd in the foreground, in a session of its own (it signals its process
// group when it stops), with everything it keeps under `folder`.
class SambaServer {
  public:
    explicit SambaServer(TempFolder& folder) : share(folder.at("share")) {
        if (geteuid() != 0 || access("/usr/sbin/smbd", X_OK) != 0 ||
            access("/usr/bin/smbclient", X_OK) != 0) {
            error = "needs root, smbd and smbclient (Debian samba, smbclient)";
            return;
        }
        port = freePort();
        const std::string config = folder.at("smb.conf");
        std::string text = "[global]\n  smb ports = " + std::to_string(port) +
                           "\n  interfaces = 127.0.0.1\n  bind interfaces only = yes\n"
                           "  server role = standalone server\n  map to guest = Bad User\n"
                           "  load printers = no\n  printcap name = /dev/null\n"
                           "  disable spoolss = yes\n  log level = 1\n";
        for (const char* place : {"lock directory", "state directory", "cache directory",
                                  "pid directory", "private dir", "ncalrpc dir"}) {
            const std::string path = folder.at(std::string(place).substr(0, 4) + "-dir");
            realfs::makeFolder(path, 0755);
            text += std::string("  ") + place + " = " + path + "\n";
        }
        text += "  log file = " + folder.at("smbd.log") + "\n[share]\n  path = " + share +
                "\n  guest ok = yes\n  read only = no\n  force user = root\n"
                "  vfs objects = streams_xattr\n";
        if (!realfs::makeFolder(share, 0777) || !realfs::writeFile(config, text)) {
            error = "could not write " + config;
            return;
        }
        daemon = fork();
        if (daemon == 0) {
            setsid();
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            execl("/usr/sbin/smbd", "smbd", "-s", config.c_str(), "-F", "--no-process-group",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 200 && !acceptsConnections(port); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!acceptsConnections(port))
            error = "smbd did not start listening on 127.0.0.1:" + std::to_string(port);
    }
    ~SambaServer() {
        if (daemon > 0) {
            kill(daemon, SIGTERM);
            int status = 0;
            for (int i = 0; i < 100 && waitpid(daemon, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (waitpid(daemon, &status, WNOHANG) == 0) {
                kill(daemon, SIGKILL);
                waitpid(daemon, &status, 0);
            }
        }
    }
    SambaServer(const SambaServer&) = delete;
    SambaServer& operator=(const SambaServer&) = delete;

    // smbclient's commands on the share; its output.
    realfs::CommandResult client(const std::string& commands) const {
        return realfs::runCommand({"timeout", "60", "smbclient", "//127.0.0.1/share", "-p",
                                   std::to_string(port), "-N", "-m", "SMB3", "-c", commands});
    }

    std::string error;
    std::string share;

  private:
    int port = 0;
    pid_t daemon = -1;
};

TEST(SambaShare, StreamsAndAttributesAWindowsClientSetAreScannedAndRemoved) {
    TempFolder folder("samba");
    ASSERT_TRUE(folder.valid());
    SambaServer server(folder);
    if (!server.error.empty())
        GTEST_SKIP() << server.error;
    const std::string zone = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://host.test/\r\n";
    ASSERT_TRUE(realfs::writeFile(folder.at("setup.exe"), "MZ"));
    ASSERT_TRUE(realfs::writeFile(folder.at("zone.txt"), zone));
    const std::string local = folder.path() + "/";
    const realfs::CommandResult wrote =
        server.client("lcd " + local +
                      "; put setup.exe; put zone.txt setup.exe:Zone.Identifier;"
                      " put setup.exe plain.exe; setmode setup.exe +hr");
    ASSERT_EQ(wrote.exitCode, 0) << wrote.output;

    PosixFileSystem fs;
    std::vector<StreamRecord> records;
    const ScanStats stats = scanRoots(
        {decodeName(server.share)}, ScanOptions{},
        [&](const StreamRecord& record) { records.push_back(record); }, {}, {}, fs);
    EXPECT_EQ(stats.files, 2u);
    EXPECT_EQ(stats.streams, 1u);
    EXPECT_EQ(stats.unreadableStreams + stats.listFailed + stats.accessDenied, 0u);
    ASSERT_EQ(records.size(), 1u);
    const StreamRecord& row = records.front();
    EXPECT_EQ(row.hostName, u"setup.exe");
    EXPECT_EQ(row.streamName, u"Zone.Identifier");
    EXPECT_EQ(row.streamSize, zone.size());  // Samba's trailing zero is not content
    EXPECT_EQ(row.zone.zone, 3u);
    EXPECT_EQ(row.hostAttributes & (kAttributeHidden | kAttributeReadOnly),
              kAttributeHidden | kAttributeReadOnly);

    ItemFacts plain;
    ASSERT_EQ(fs.itemFacts(decodeName(server.share + "/plain.exe"), plain), kErrorSuccess);
    EXPECT_EQ(plain.attributes & (kAttributeHidden | kAttributeReadOnly), 0u);

    const RemovalResult removed = RemoveStreams(
        {{decodeName(server.share + "/setup.exe"), u"Zone.Identifier", u"$DATA"}}, fs);
    EXPECT_EQ(removed.removedCount, 1u);
    const realfs::CommandResult info = server.client("allinfo setup.exe");
    ASSERT_EQ(info.exitCode, 0) << info.output;
    EXPECT_NE(info.output.find("stream: [::$DATA]"), std::string::npos) << info.output;
    EXPECT_EQ(info.output.find("Zone.Identifier"), std::string::npos) << info.output;
}

}  // namespace
}  // namespace streamscan
