#include "support/real_volumes.h"

#ifndef _WIN32

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <ftw.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace streamscan::realfs {
namespace {

constexpr auto kMountWait = std::chrono::seconds(15);
constexpr auto kPoll = std::chrono::milliseconds(50);

bool isExecutable(const std::string& path) {
    return access(path.c_str(), X_OK) == 0;
}

// The tool's full path from PATH and the system folders (root's PATH may lack /sbin).
std::string findTool(const std::string& name) {
    std::string folders = "/usr/sbin:/sbin:/usr/bin:/bin";
    if (const char* path = getenv("PATH")) {
        folders = std::string(path) + ":" + folders;
    }
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t colon = folders.find(':', start);
        if (colon == std::string::npos) {
            colon = folders.size();
        }
        const std::string candidate = folders.substr(start, colon - start) + "/" + name;
        if (colon > start && isExecutable(candidate)) {
            return candidate;
        }
        start = colon + 1;
    }
    return {};
}

std::vector<char*> argvOf(const std::vector<std::string>& argv) {
    std::vector<char*> pointers;
    for (const std::string& arg : argv) {
        pointers.push_back(const_cast<char*>(arg.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Starts argv[0] (looked up like a tool) with stdin from /dev/null and stdout
// and stderr on `outputFd`. Returns the child's pid, or -1.
pid_t spawn(const std::vector<std::string>& argv, int outputFd) {
    std::string program = argv.front();
    if (program.find('/') == std::string::npos) {
        program = findTool(program);
        if (program.empty()) {
            return -1;
        }
    }
    std::vector<char*> args = argvOf(argv);
    const pid_t child = fork();
    if (child == 0) {
        const int input = open("/dev/null", O_RDONLY);
        if (input >= 0) {
            dup2(input, 0);
        }
        dup2(outputFd, 1);
        dup2(outputFd, 2);
        execv(program.c_str(), args.data());
        _exit(127);
    }
    return child;
}

// Waits for the child up to `limit`; true when it ended (and reaped).
bool waitFor(pid_t child, std::chrono::milliseconds limit, int* status = nullptr) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int local = 0;
        const pid_t done = waitpid(child, &local, WNOHANG);
        if (done == child || (done < 0 && errno == ECHILD)) {
            if (status != nullptr) {
                *status = local;
            }
            return true;
        }
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

bool isMountPoint(const std::string& path) {
    struct stat self;
    struct stat parent;
    return lstat(path.c_str(), &self) == 0 && lstat((path + "/..").c_str(), &parent) == 0 &&
           self.st_dev != parent.st_dev;
}

int openFolderForWrite(const char* path, const struct stat* st, int type, struct FTW*) {
    // Folders a test locked are opened again so their content can go.
    if (type == FTW_D || type == FTW_DNR) {
        chmod(path, (st->st_mode & 07777) | S_IRWXU);
    }
    return 0;
}

int removeEntry(const char* path, const struct stat*, int type, struct FTW*) {
    if (type == FTW_DP || type == FTW_D || type == FTW_DNR) {
        rmdir(path);
    } else {
        unlink(path);
    }
    return 0;
}

}  // namespace

std::string executableFolder() {
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) {
        return ".";
    }
    std::string path(buffer.data(), static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

TempFolder::TempFolder(const std::string& tag) {
    const std::string parent = executableFolder() + "/real-volumes";
    mkdir(parent.c_str(), 0755);
    chmod(parent.c_str(), 0755);
    std::string pattern = parent + "/" + tag + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
        chmod(pattern.c_str(), 0755);
        root = pattern;
    }
}

TempFolder::~TempFolder() {
    if (root.empty()) {
        return;
    }
    // FTW_MOUNT: a volume that could not be unmounted is left alone, not emptied.
    nftw(root.c_str(), openFolderForWrite, 16, FTW_PHYS | FTW_MOUNT);
    nftw(root.c_str(), removeEntry, 16, FTW_PHYS | FTW_MOUNT | FTW_DEPTH);
}

std::string TempFolder::at(const std::string& relative) const {
    return root + "/" + relative;
}

CommandResult runCommand(const std::vector<std::string>& argv) {
    CommandResult result;
    int pipeFds[2];
    if (argv.empty() || pipe2(pipeFds, O_CLOEXEC) != 0) {
        return result;
    }
    const pid_t child = spawn(argv, pipeFds[1]);
    close(pipeFds[1]);
    if (child < 0) {
        close(pipeFds[0]);
        result.output = argv.front() + ": not found";
        return result;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n > 0) {
            result.output.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    return result;
}

bool writeFile(const std::string& path, const std::string& content) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n <= 0) {
            close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return close(fd) == 0;
}

bool readFile(const std::string& path, std::string& content) {
    content.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0) {
            close(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return true;
}

bool makeFolder(const std::string& path, mode_t mode) {
    if (mkdir(path.c_str(), mode) != 0) {
        return false;
    }
    // The exact mode, past the umask; volumes without modes (FAT) refuse that.
    chmod(path.c_str(), mode);
    return true;
}

bool makeSymlink(const std::string& target, const std::string& link) {
    return symlink(target.c_str(), link.c_str()) == 0;
}

bool setAttribute(const std::string& path, const std::string& name, const std::string& value) {
    return lsetxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) == 0;
}

bool getAttribute(const std::string& path, const std::string& name, std::string& value) {
    value.clear();
    const ssize_t size = lgetxattr(path.c_str(), name.c_str(), nullptr, 0);
    if (size < 0) {
        return false;
    }
    value.resize(static_cast<std::size_t>(size));
    const ssize_t got = lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
    if (got < 0) {
        return false;
    }
    value.resize(static_cast<std::size_t>(got));
    return true;
}

bool hasAttribute(const std::string& path, const std::string& name) {
    return lgetxattr(path.c_str(), name.c_str(), nullptr, 0) >= 0;
}

bool userAttributesWork(const std::string& folder) {
    const std::string probe = folder + "/.attribute-probe";
    const bool works = writeFile(probe, "") && setAttribute(probe, "user.probe", "1");
    unlink(probe.c_str());
    return works;
}

std::string volumeUnavailableReason(VolumeKind kind) {
    if (geteuid() != 0) {
        return "mounting test volumes needs root";
    }
    const int fuse = open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fuse < 0) {
        return std::string("/dev/fuse is not available (") + std::strerror(errno) +
               "): FUSE volumes cannot be mounted here";
    }
    close(fuse);
    const std::vector<std::string> tools = kind == VolumeKind::ntfs
                                               ? std::vector<std::string>{"mkntfs", "ntfs-3g"}
                                               : std::vector<std::string>{"mkfs.vfat", "fusefat"};
    for (const std::string& tool : tools) {
        if (findTool(tool).empty()) {
            return tool + " is not installed (scripts/bootstrap installs it)";
        }
    }
    return {};
}

bool makeVolumeImage(VolumeKind kind, const std::string& image, int mebibytes, std::string& error) {
    const int fd = open(image.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(mebibytes) * 1024 * 1024) != 0) {
        error = image + ": " + std::strerror(errno);
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    close(fd);
    const CommandResult made = kind == VolumeKind::ntfs
                                   ? runCommand({"mkntfs", "-F", "-f", "-q", image})
                                   : runCommand({"mkfs.vfat", image});
    if (made.exitCode != 0) {
        error = "formatting " + image + " failed: " + made.output;
        return false;
    }
    return true;
}

MountedVolume::~MountedVolume() {
    unmount();
}

bool MountedVolume::mount(VolumeKind kind, const std::string& image, const std::string& mountPoint,
                          const std::string& options, std::string& error) {
    if (mounted()) {
        error = "already mounted at " + point;
        return false;
    }
    mkdir(mountPoint.c_str(), 0755);
    log = image + ".mount.log";
    const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (logFd < 0) {
        error = log + ": " + std::strerror(errno);
        return false;
    }
    std::vector<std::string> argv;
    if (kind == VolumeKind::ntfs) {
        argv = {"ntfs-3g", "-o", options.empty() ? "no_detach" : "no_detach," + options, image,
                mountPoint};
    } else {
        argv = {"fusefat", "-f",      "-o", options.empty() ? "rw+" : "rw+," + options,
                image,     mountPoint};
    }
    const pid_t child = spawn(argv, logFd);
    close(logFd);
    if (child < 0) {
        error = argv.front() + " could not be started";
        return false;
    }
    const auto end = std::chrono::steady_clock::now() + kMountWait;
    while (!isMountPoint(mountPoint)) {
        std::string output;
        if (waitFor(child, std::chrono::milliseconds(0))) {
            readFile(log, output);
            error = argv.front() + " ended without mounting: " + output;
            return false;
        }
        if (std::chrono::steady_clock::now() >= end) {
            kill(child, SIGTERM);
            waitFor(child, std::chrono::seconds(5));
            readFile(log, output);
            error = argv.front() + " did not mount in time: " + output;
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
    daemon = child;
    point = mountPoint;
    return true;
}

bool MountedVolume::unmount(std::string* error) {
    if (!mounted()) {
        return true;
    }
    bool detached = false;
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (umount2(point.c_str(), 0) == 0 || errno == EINVAL || errno == ENOENT) {
            detached = true;
            break;
        }
        if (errno != EBUSY) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!detached) {
        // Busy for good (a test kept something open): never leave it mounted.
        umount2(point.c_str(), MNT_DETACH);
    }
    bool ended = waitFor(daemon, std::chrono::seconds(15));
    if (!ended) {
        kill(daemon, SIGTERM);
        ended = waitFor(daemon, std::chrono::seconds(5));
        if (!ended) {
            kill(daemon, SIGKILL);
            waitFor(daemon, std::chrono::seconds(5));
        }
    }
    daemon = -1;
    unlink(log.c_str());
    if (error != nullptr && (!detached || !ended)) {
        *error = point + (!detached ? " was busy and was detached lazily"
                                    : ": the file-system daemon did not end by itself");
    }
    return detached && ended;
}

std::string MountedVolume::at(const std::string& relative) const {
    return point + "/" + relative;
}

bool runAsNobody(const std::function<std::string()>& work, std::string& output,
                 std::string& error) {
    const passwd* nobody = getpwnam("nobody");
    const uid_t uid = nobody != nullptr ? nobody->pw_uid : 65534;
    const gid_t gid = nobody != nullptr ? nobody->pw_gid : 65534;
    int fds[2];
    if (pipe(fds) != 0) {
        error = "pipe failed";
        return false;
    }
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        error = "fork failed";
        return false;
    }
    if (child == 0) {
        close(fds[0]);
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
            _exit(3);
        const std::string bytes = work();
        const ssize_t size = static_cast<ssize_t>(bytes.size());
        _exit(write(fds[1], bytes.data(), bytes.size()) == size ? 0 : 4);
    }
    close(fds[1]);
    output.clear();
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "the work as nobody did not finish (status " + std::to_string(status) + ")";
        return false;
    }
    return true;
}

}  // namespace streamscan::realfs

#endif  // _WIN32
