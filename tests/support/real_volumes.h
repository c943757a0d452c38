// Real file systems for Linux tests, made and checked with the system calls
// directly, so the port is never used to verify itself: a private folder on
// local disk (it must hold user. attributes, which tmpfs may not), NTFS and FAT
// image files mounted through FUSE, and small wrappers for bytes and attributes.
// Everything made here is undone by a destructor, also when a test fails.
#pragma once

#ifndef _WIN32

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace streamscan::realfs {

// The folder of the running test executable: the build folder, on local disk.
std::string executableFolder();

// A new, empty folder (mode 0755, so a test that drops to another user can
// reach it) under executableFolder()/real-volumes. Removed with everything in
// it when destroyed; the removal never crosses into a volume mounted inside.
class TempFolder {
  public:
    explicit TempFolder(const std::string& tag = "tree");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool valid() const { return !root.empty(); }
    const std::string& path() const { return root; }
    // path() + "/" + relative
    std::string at(const std::string& relative) const;

  private:
    std::string root;
};

// The result of a command run without a shell, stdout and stderr together.
struct CommandResult {
    int exitCode = -1;  // -1 when it could not run or did not exit normally
    std::string output;
};
CommandResult runCommand(const std::vector<std::string>& argv);

// Runs `work` in a child process that has dropped to the user `nobody` (root is
// never refused anything, so refusals can only be seen this way) and hands back
// the bytes it returned. False, with the reason, when the child did not finish.
bool runAsNobody(const std::function<std::string()>& work, std::string& output, std::string& error);

bool writeFile(const std::string& path, const std::string& content);
bool readFile(const std::string& path, std::string& content);
bool makeFolder(const std::string& path, mode_t mode = 0755);
bool makeSymlink(const std::string& target, const std::string& link);
// lsetxattr / lgetxattr, never following a link.
bool setAttribute(const std::string& path, const std::string& name, const std::string& value);
bool getAttribute(const std::string& path, const std::string& name, std::string& value);
bool hasAttribute(const std::string& path, const std::string& name);
// Whether the folder's file system takes user. attributes on a file.
bool userAttributesWork(const std::string& folder);

enum class VolumeKind { ntfs, fat };

// Why volumes of that kind cannot be made and mounted here (no /dev/fuse, a
// missing tool, not root), or empty when they can.
std::string volumeUnavailableReason(VolumeKind kind);

// A fresh image file of `mebibytes`, formatted (mkntfs or mkfs.vfat).
bool makeVolumeImage(VolumeKind kind, const std::string& image, int mebibytes, std::string& error);

// One image mounted through FUSE (ntfs-3g, or fusefat -o rw+). The daemon runs
// in the foreground as this process's child, so unmounting also waits until
// it has written everything back to the image and ended.
class MountedVolume {
  public:
    MountedVolume() = default;
    ~MountedVolume();
    MountedVolume(const MountedVolume&) = delete;
    MountedVolume& operator=(const MountedVolume&) = delete;

    // `options` go to ntfs-3g's -o (e.g. "streams_interface=windows"); the
    // mount point is made when missing.
    bool mount(VolumeKind kind, const std::string& image, const std::string& mountPoint,
               const std::string& options, std::string& error);
    bool unmount(std::string* error = nullptr);
    bool mounted() const { return daemon > 0; }
    const std::string& mountPoint() const { return point; }
    // mountPoint() + "/" + relative
    std::string at(const std::string& relative) const;

  private:
    pid_t daemon = -1;
    std::string point;
    std::string log;
};

}  // namespace streamscan::realfs

#endif  // _WIN32
