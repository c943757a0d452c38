#include "support/real_volumes.h"

#ifndef _WIN32

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "engine/tree_walk.h"
#include "engine/unicode.h"

namespace streamscan::realfs {
namespace {

using namespace std::chrono_literals;

// In a forked child, with stdin from /dev/null and stdout and stderr on `out`
// and `err`: becomes argv. Root's PATH may lack the sbin folders of the tools.
[[noreturn]] void execute(const std::vector<std::string>& argv, int out, int err) {
    dup2(open("/dev/null", O_RDONLY), 0);
    dup2(out, 1);
    dup2(err, 2);
    const char* path = getenv("PATH");
    setenv("PATH",
           (std::string(path != nullptr ? path : "/usr/bin:/bin") + ":/usr/sbin:/sbin").c_str(), 1);
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

// Waits for the child up to `limit`; true when it ended and was reaped.
bool awaitChild(pid_t child, std::chrono::milliseconds limit, int* status = nullptr) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const pid_t done = waitpid(child, status, WNOHANG);
        if (done == child || (done < 0 && errno == ECHILD))
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
}

std::string executableFolder() {  // the build folder, on local disk
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    const std::string path(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
    return path.substr(0, path.rfind('/'));
}

}  // namespace

TempFolder::TempFolder(const std::string& tag) {
    const std::string parent = executableFolder() + "/real-volumes";
    mkdir(parent.c_str(), 0755);
    std::string pattern = parent + "/" + tag + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr || chmod(pattern.c_str(), 0755) != 0)
        throw std::runtime_error("no temporary folder in " + parent);
    root = pattern;
}

TempFolder::~TempFolder() {
    // Locked folders are opened first; a volume a test could not unmount is
    // left alone, not emptied.
    runCommand({"sh", "-c", "chmod -R u+rwx \"$0\"; rm -rf --one-file-system \"$0\"", root});
}

CommandResult runCommand(const std::vector<std::string>& argv, const RunOptions& options) {
    // Files in memory, not pipes: whatever the program writes, it never blocks.
    const int out = memfd_create("stdout", MFD_CLOEXEC);
    const int err = memfd_create("stderr", MFD_CLOEXEC);
    const pid_t child = fork();
    if (child == 0)
        execute(argv, out, err);
    CommandResult result;
    int status = 0;
    if (child > 0 && !awaitChild(child, options.limit, &status)) {
        kill(child, SIGKILL);
        awaitChild(child, 5s, &status);
        result.err = "(killed: it ran past its time limit)\n";
    }
    result.out = readFile("/proc/self/fd/" + std::to_string(out)).value_or("");
    result.err += readFile("/proc/self/fd/" + std::to_string(err)).value_or("");
    close(out);
    close(err);
    if (child > 0)
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::string shell(const std::string& command, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"sh", "-c", command, "sh"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runCommand(argv).out;
}

bool writeFile(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    return file.write(content.data(), static_cast<std::streamsize>(content.size())).flush().good();
}

bool makeFile(const std::string& path, const std::vector<std::string>& attributes,
              const std::string& content) {
    bool made = writeFile(path, content);
    for (std::size_t i = 0; made && i + 1 < attributes.size(); i += 2)
        made = setAttribute(path, attributes[i], attributes[i + 1]);
    return made;
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), {});
}

bool makeFolder(const std::string& path, mode_t mode) {
    // The exact mode, past the umask; a volume without modes (FAT) refuses that.
    if (mkdir(path.c_str(), mode) != 0)
        return false;
    chmod(path.c_str(), mode);
    return true;
}

bool setAttribute(const std::string& path, const std::string& name, const std::string& value) {
    return lsetxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) == 0;
}

std::optional<std::string> attribute(const std::string& path, const std::string& name) {
    std::string value(65536, '\0');
    const ssize_t got = lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
    if (got < 0)
        return std::nullopt;
    value.resize(static_cast<std::size_t>(got));
    return value;
}

std::string noUserAttributes(const std::string& folder) {
    const std::string probe = folder + "/.attribute-probe";
    const bool works = writeFile(probe, "") && setAttribute(probe, "user.probe", "1");
    unlink(probe.c_str());
    return works ? "" : folder + " does not take user. attributes";
}

bool Daemon::start(const std::vector<std::string>& argv, const std::string& log,
                   const std::function<bool()>& ready, std::string& error) {
    const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    process = logFd < 0 ? -1 : fork();
    if (process == 0) {
        setsid();
        execute(argv, logFd, logFd);
    }
    close(logFd);
    const auto end = std::chrono::steady_clock::now() + 15s;
    while (process > 0 && !ready()) {
        if (awaitChild(process, 0ms))
            process = -1;  // it ended without becoming ready
        else if (std::chrono::steady_clock::now() >= end)
            stop();
        else
            std::this_thread::sleep_for(50ms);
    }
    if (process < 0)
        error = argv.front() + " did not become ready: " + readFile(log).value_or(log);
    return process > 0;
}

bool Daemon::stop(std::chrono::seconds grace) {
    const bool ended = process <= 0 || awaitChild(process, grace);
    if (!ended) {
        kill(process, SIGTERM);
        if (!awaitChild(process, 5s)) {
            kill(process, SIGKILL);
            awaitChild(process, 5s);
        }
    }
    process = -1;
    return ended;
}

int freePort() {
    return std::stoi("0" + shell("python3 -c 'import socket; s = socket.socket(); "
                                 "s.bind((\"127.0.0.1\", 0)); print(s.getsockname()[1])'"));
}

bool acceptsConnections(int port) {
    return runCommand({"bash", "-c", "exec 3<> /dev/tcp/127.0.0.1/$0", std::to_string(port)})
               .exitCode == 0;
}

SambaServer::~SambaServer() {
    smbd.stop();
    if (!state.empty())
        runCommand({"rm", "-rf", "--one-file-system", state});
}

std::string SambaServer::unavailableReason() {
    if (geteuid() != 0 || access("/usr/sbin/smbd", X_OK) != 0)
        return "needs root and smbd (Debian samba, smbclient)";
    return {};
}

bool SambaServer::start(const std::string& share, const std::string& vfsObjects,
                        std::string& error) {
    std::string pattern = "/tmp/tsmb-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        error = std::string("no folder for smbd's state under /tmp: ") + std::strerror(errno);
        return false;
    }
    state = pattern;
    port = freePort();
    const std::string config =
        "[global]\n smb ports = " + std::to_string(port) +
        "\n interfaces = 127.0.0.1\n bind interfaces only = yes\n map to guest = Bad User\n"
        " load printers = no\n disable spoolss = yes\n lock directory = " +
        state + "\n state directory = " + state + "\n cache directory = " + state +
        "\n pid directory = " + state + "\n private dir = " + state + "\n ncalrpc dir = " + state +
        "\n log file = " + state + "/log\n[share]\n path = " + share +
        "\n guest ok = yes\n read only = no\n force user = root\n vfs objects = " + vfsObjects +
        "\n";
    if (!writeFile(state + "/smb.conf", config)) {
        error = "could not write " + state + "/smb.conf";
        return false;
    }
    return smbd.start(
        {"smbd", "-s", state + "/smb.conf", "-F", "--no-process-group"}, state + "/smbd.out",
        [&] { return acceptsConnections(port); }, error);
}

CommandResult SambaServer::client(const std::string& commands) const {
    return runCommand({"smbclient", "//127.0.0.1/share", "-p", std::to_string(port), "-N", "-m",
                       "SMB3", "-c", commands},
                      {.limit = std::chrono::seconds(60)});
}

std::string volumeUnavailableReason(VolumeKind kind) {
    if (geteuid() != 0)
        return "mounting test volumes needs root";
    // The tools themselves scripts/bootstrap installs; a mount without them fails.
    if ((kind == VolumeKind::ntfs || kind == VolumeKind::fat) && access("/dev/fuse", R_OK) != 0)
        return "/dev/fuse is not available: FUSE volumes cannot be mounted here";
    return {};
}

bool MountedVolume::mount(VolumeKind kind, const std::string& source, const std::string& mountPoint,
                          const std::string& options, std::string& error) {
    if (access(mountPoint.c_str(), F_OK) != 0)
        makeFolder(mountPoint);
    point = mountPoint;
    const std::string extra = options.empty() ? "" : "," + options;
    if (kind == VolumeKind::ramfs || kind == VolumeKind::tmpfs) {
        const char* type = kind == VolumeKind::ramfs ? "ramfs" : "tmpfs";
        kernel =
            ::mount(type, point.c_str(), type, 0, options.empty() ? nullptr : options.c_str()) == 0;
        if (!kernel)
            error = std::string("mount -t ") + type + ": " + std::strerror(errno);
        return kernel;
    }
    // An image is made where none is yet.
    const CommandResult made = runCommand(
        {"sh", "-c",
         std::string("test -e \"$0\" || ") +
             (kind == VolumeKind::ntfs ? "{ truncate -s 12M \"$0\" && mkntfs -F -f -q \"$0\"; }"
                                       : "mkfs.vfat -C \"$0\" 8192"),
         source});
    if (made.exitCode != 0) {
        error = "making " + source + " failed: " + made.output();
        return false;
    }
    const std::vector<std::string> argv =
        kind == VolumeKind::ntfs
            ? std::vector<std::string>{"ntfs-3g", "-o", "no_detach" + extra, source, point}
            : std::vector<std::string>{"fusefat", "-f", "-o", "rw+" + extra, source, point};
    return daemon.start(
        // Beside the image, never in a folder a test scans; a device gets it beside its mount
        // point.
        argv, source.rfind("/dev/", 0) == 0 ? mountPoint + ".log" : source + ".log",
        [&] {
            return runCommand({"mountpoint", "-q", point}).exitCode == 0;
        },
        error);
}

bool MountedVolume::unmount(std::string* error) {
    if (kernel)
        umount2(point.c_str(), MNT_DETACH);
    kernel = false;
    if (!daemon.running())
        return true;
    int attempt = 0;
    while (umount2(point.c_str(), 0) != 0 && errno == EBUSY && ++attempt < 50)
        std::this_thread::sleep_for(100ms);
    const bool detached = attempt < 50;
    if (!detached)  // busy for good (a test kept something open): never leave it mounted
        umount2(point.c_str(), MNT_DETACH);
    // The daemon ends by itself once it has written everything back.
    const bool ended = daemon.stop(15s);
    if (error != nullptr && !(detached && ended))
        *error = point + (detached ? ": the FUSE daemon did not end" : " stayed busy");
    return detached && ended;
}

const StreamRecord* ScanResult::find(const std::u16string& host,
                                     const std::u16string& stream) const {
    for (const StreamRecord& record : records) {
        if (record.hostName == host && record.streamName == stream)
            return &record;
    }
    return nullptr;
}

ScanResult scanTree(FileSystem& fs, const std::vector<std::string>& roots,
                    const ScanOptions& options) {
    ScanResult result;
    std::vector<std::u16string> wide;
    for (const std::string& root : roots)
        wide.push_back(decodeName(root));
    result.stats = scanRoots(
        wide, options, [&](const StreamRecord& record) { result.records.push_back(record); }, {},
        {}, fs, result.places.sink());
    expectPlacesAddUp(result.stats, result.places.places);
    return result;
}

std::string headOf(const StreamRecord& record) {
    return std::string(reinterpret_cast<const char*>(record.head.data()), record.headLength);
}

}  // namespace streamscan::realfs

#endif  // _WIN32
