// The mount table (/proc/self/mountinfo) and what each volume can keep: NTFS
// attributes (ntfs-3g and the kernel's NTFS drivers) and streams at all. A
// kernel FAT, exFAT or ISO 9660 volume, or ramfs, lists an empty set of
// attributes instead of refusing, so only a probe of a user. name tells.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace streamscan {

struct MountEntry {
    dev_t device = 0;
    std::string mountPoint;
    std::string type;
    std::string source;        // the device or image file mounted, as the table names it
    std::string root;          // the folder of the volume that is mounted there ("/" for all of it)
    std::string superOptions;  // the file system's own options (FUSE: user_id=, ...)
};

// One mountinfo text; lines that do not parse are left out.
std::vector<MountEntry> parseMountTable(std::string_view text);
std::vector<MountEntry> readMountTable();
// The mount that holds `path`: the longest mount point that is the path or a
// folder above it; of two at the same place, the later (upper) one.
const MountEntry* mountHolding(const std::vector<MountEntry>& mounts, std::string_view path);
bool keepsNtfsAttributes(std::string_view type);
// Whether the volume that holds `path` refuses user. attributes (probed, no link followed).
bool refusesStreams(const char* path);

// How an NTFS volume's streams show through its mount: as user. attributes
// (ntfs-3g's streams_interface=xattr), or not at all (ntfs-3g's windows and
// none modes, the kernel's drivers, which keep user. as NTFS's own extended
// attributes). ntfs-3g is known by its answer for system.ntfs_attrib.
enum class NtfsStreams : std::uint8_t { notNtfs, asAttributes, hidden };
NtfsStreams ntfsStreamsOf(const MountEntry& mount);
// Whether the source of an NTFS mount may be read in its place by `reader`: a
// disk (a block device or an image file), and for FUSE, where the file system
// names its own source, a mount made by root or by `reader` itself.
bool readableSource(const MountEntry& mount, uid_t reader);

// What each device seen so far can keep, asked once per device so the walk
// pays nothing per item for it. One instance serves every thread.
class VolumeKinds {
  public:
    struct Kind {
        bool ntfsAttributes = false;
        bool holdsStreams = true;
        bool hidesStreams = false;  // NTFS whose mount shows none of its streams
    };
    // `path` is an item on the device, probed when the device is new.
    Kind of(dev_t device, const char* path);
    // Starts again from the table as it is now (each scan root does).
    void reload(const std::vector<MountEntry>& mounts);

  private:
    struct Known {
        dev_t device;
        bool ntfsAttributes;
        bool probed;
        bool holdsStreams;
        bool hidesStreams;  // before it is probed: a kernel NTFS driver's mount
    };
    std::mutex lock;
    std::vector<Known> known;  // guarded by lock
};

}  // namespace streamscan
