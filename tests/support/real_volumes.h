// Real file systems and programs for the Linux tests, made and checked with the
// system calls directly, so the port is never used to verify itself. What is
// made here is undone by a destructor, also when a test fails, and every wait
// is bounded, so no test hangs.
#pragma once

#ifndef _WIN32

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "support/places.h"

namespace streamscan::realfs {

#ifdef TESSALIN_SCAN_BINARY                                // set for the tests that run it
inline const std::string kScanner = TESSALIN_SCAN_BINARY;  // the tessalin-scan of this build
#endif

// A new folder (0755, so servers can reach it) under the build folder (local disk);
// removed with everything in it, but not what is still mounted inside.
class TempFolder {
  public:
    explicit TempFolder(const std::string& tag);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return root; }
    std::string at(const std::string& relative) const { return root + "/" + relative; }

  private:
    std::string root;
};

struct RunOptions {
    std::chrono::seconds limit{120};  // killed when it runs longer
};

struct CommandResult {
    int exitCode = -1;  // 128 + the signal that ended it; -1 when it did not start
    std::string out;
    std::string err;
    std::string output() const { return out + err; }
};

// A program found on PATH (or in the sbin folders), run without a shell with
// stdin from /dev/null.
CommandResult runCommand(const std::vector<std::string>& argv, const RunOptions& options = {});
// What `sh -c command` prints on stdout, its arguments being $1, $2, ...
std::string shell(const std::string& command, const std::vector<std::string>& args = {});

bool writeFile(const std::string& path, const std::string& content);
// A file with `content` and attributes: full names and values, in turn.
bool makeFile(const std::string& path, const std::vector<std::string>& attributes = {},
              const std::string& content = "x");
std::optional<std::string> readFile(const std::string& path);
bool makeFolder(const std::string& path, mode_t mode = 0755);
// lsetxattr / lgetxattr: a link is never followed.
bool setAttribute(const std::string& path, const std::string& name, const std::string& value);
std::optional<std::string> attribute(const std::string& path, const std::string& name);
// Why the folder's file system cannot hold user. attributes; empty when it can.
std::string noUserAttributes(const std::string& folder);

// A program in the background in a session of its own (servers signal their
// process group when they stop), stopped with SIGTERM, then SIGKILL.
class Daemon {
  public:
    Daemon() = default;
    ~Daemon() { stop(); }
    Daemon(const Daemon&) = delete;
    Daemon& operator=(const Daemon&) = delete;

    // Starts it with its output in `log` and waits up to 15 s until `ready`.
    bool start(const std::vector<std::string>& argv, const std::string& log,
               const std::function<bool()>& ready, std::string& error);
    // Waits up to `grace` for it to end by itself (true when it did), then stops it.
    bool stop(std::chrono::seconds grace = {});
    bool running() const { return process > 0; }

  private:
    pid_t process = -1;
};

int freePort();  // a loopback port nobody listens on now
bool acceptsConnections(int port);

// A real Samba server on 127.0.0.1 that shares a folder as //127.0.0.1/share to
// guests, writing as root. Its state (sockets, locks, databases) lives in a
// private folder of its own under /tmp, so its socket paths stay within the
// 108 bytes a socket path may have, however deep the checkout is.
class SambaServer {
  public:
    SambaServer() = default;
    ~SambaServer();
    SambaServer(const SambaServer&) = delete;
    SambaServer& operator=(const SambaServer&) = delete;

    // Why no server can be started here (not root, no smbd); empty when one can.
    static std::string unavailableReason();
    // `vfsObjects` as the share's "vfs objects" line, e.g. "streams_depot".
    bool start(const std::string& share, const std::string& vfsObjects, std::string& error);
    // smbclient on the share, over SMB3, with `commands` for -c.
    CommandResult client(const std::string& commands) const;

  private:
    Daemon smbd;
    std::string state;
    int port = 0;
};

// ntfs and fat: an image file mounted through FUSE (ntfs-3g, or fusefat -o
// rw+), whose daemon runs in the foreground, so an unmount also waits until it
// has written everything back and ended. ramfs and tmpfs: a kernel mount.
enum class VolumeKind { ntfs, fat, ramfs, tmpfs };

// Why such volumes cannot be mounted here (not root, no /dev/fuse, a missing
// tool); empty when they can.
std::string volumeUnavailableReason(VolumeKind kind);

class MountedVolume {
  public:
    // `image` is unused for ramfs and tmpfs, and made (12 MiB NTFS, 8 MiB FAT) when
    // missing; `options` are added to -o (e.g. "streams_interface=windows",
    // "size=64k"); the mount point is made when missing.
    bool mount(VolumeKind kind, const std::string& image, const std::string& mountPoint,
               const std::string& options, std::string& error);
    bool unmount(std::string* error = nullptr);
    ~MountedVolume() { unmount(); }

    const std::string& mountPoint() const { return point; }
    std::string at(const std::string& relative) const { return point + "/" + relative; }

  private:
    Daemon daemon;
    bool kernel = false;
    std::string point;
};

// One whole scan through `fs`, as the tests look at it: the counters, every
// row, and the places named as not examined, checked to add up to the counters.
struct ScanResult {
    ScanStats stats;
    std::vector<StreamRecord> records;
    PlaceLog places;

    // The row of a stream (an empty name: the item row) of the host with that leaf name.
    const StreamRecord* find(const std::u16string& host, const std::u16string& stream) const;
};
ScanResult scanTree(FileSystem& fs, const std::vector<std::string>& roots,
                    const ScanOptions& options = {});
std::string headOf(const StreamRecord& record);  // the stream's first bytes the row holds

}  // namespace streamscan::realfs

#endif  // _WIN32
