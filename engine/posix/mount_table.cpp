#include "engine/posix/mount_table.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

namespace streamscan {
namespace {

// A name no one sets: only the answer's kind matters.
constexpr const char* kProbeName = "user.tessalin.probe";

bool isUnsupported(int error) {
    return error == ENOTSUP || error == EOPNOTSUPP;
}

// Undoes the octal escapes (\040 for a space, \011, \012, \134) of the table.
std::string unescapeMountField(std::string_view field) {
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            out.push_back(static_cast<char>(((field[i + 1] - '0') << 6) |
                                            ((field[i + 2] - '0') << 3) | (field[i + 3] - '0')));
            i += 3;
            continue;
        }
        out.push_back(field[i]);
    }
    return out;
}

bool parseMountLine(std::string_view line, MountEntry& entry) {
    // id parent major:minor root mount-point options [optional...] - type source super
    std::vector<std::string_view> fields;
    while (!line.empty()) {
        const std::size_t space = line.find(' ');
        fields.push_back(line.substr(0, space));
        if (space == line.npos)
            break;
        line.remove_prefix(space + 1);
    }
    const auto separator = std::find(fields.begin(), fields.end(), std::string_view("-"));
    if (fields.size() < 6 || separator == fields.end() || separator - fields.begin() < 6 ||
        separator + 1 == fields.end()) {
        return false;
    }
    unsigned major = 0;
    unsigned minor = 0;
    const std::string deviceField(fields[2]);
    if (std::sscanf(deviceField.c_str(), "%u:%u", &major, &minor) == 2)
        entry.device = makedev(major, minor);
    entry.root = unescapeMountField(fields[3]);
    entry.mountPoint = unescapeMountField(fields[4]);
    entry.type = unescapeMountField(*(separator + 1));
    if (separator + 2 != fields.end())
        entry.source = unescapeMountField(*(separator + 2));
    if (separator + 2 != fields.end() && separator + 3 != fields.end())
        entry.superOptions = unescapeMountField(*(separator + 3));
    return true;
}

}  // namespace

std::vector<MountEntry> parseMountTable(std::string_view text) {
    std::vector<MountEntry> mounts;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        MountEntry entry;
        if (parseMountLine(text.substr(0, end), entry))
            mounts.push_back(std::move(entry));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return mounts;
}

std::vector<MountEntry> readMountTable() {
    std::ifstream table("/proc/self/mountinfo");
    const std::string text{std::istreambuf_iterator<char>(table), std::istreambuf_iterator<char>()};
    return parseMountTable(text);
}

const MountEntry* mountHolding(const std::vector<MountEntry>& mounts, std::string_view path) {
    const MountEntry* best = nullptr;
    for (const MountEntry& mount : mounts) {
        const std::string_view point(mount.mountPoint);
        const bool holds =
            point == "/" || (path.substr(0, point.size()) == point &&
                             (path.size() == point.size() || path[point.size()] == '/'));
        if (holds && (best == nullptr || point.size() >= best->mountPoint.size()))
            best = &mount;
    }
    return best;
}

bool keepsNtfsAttributes(std::string_view type) {
    // ntfs-3g mounts a block device as fuseblk and an image file as plain fuse.
    return type == "fuseblk" || type == "fuse" || type == "fuse.ntfs-3g" || type == "ntfs" ||
           type == "ntfs3" || type == "ntfs-3g";
}

bool refusesStreams(const char* path) {
    if (llistxattr(path, nullptr, 0) < 0 && isUnsupported(errno))
        return true;
    char probe = 0;
    return lgetxattr(path, kProbeName, &probe, sizeof probe) < 0 && isUnsupported(errno);
}

NtfsStreams ntfsStreamsOf(const MountEntry& mount) {
    if (mount.type == "ntfs" || mount.type == "ntfs3")
        return NtfsStreams::hidden;
    if (mount.type.rfind("fuse", 0) != 0)
        return NtfsStreams::notNtfs;
    char attributes[4];
    if (lgetxattr(mount.mountPoint.c_str(), "system.ntfs_attrib", attributes, sizeof attributes) <
        0)
        return NtfsStreams::notNtfs;
    return refusesStreams(mount.mountPoint.c_str()) ? NtfsStreams::hidden
                                                    : NtfsStreams::asAttributes;
}

// A FUSE file system names its own source (fsname=), and anyone allowed to
// mount one could name any device or image: only a mount made by root or by
// this user is read through its source. That source must be a disk: a fifo
// named there would stop the scan for good.
bool readableSource(const MountEntry& mount, uid_t reader) {
    if (mount.source.empty() || mount.source.front() != '/')
        return false;
    if (mount.type.rfind("fuse", 0) == 0) {
        const std::string uid = "user_id=";
        const std::size_t at = mount.superOptions.find(uid);
        if (at == std::string::npos)
            return false;
        const unsigned long owner =
            std::strtoul(mount.superOptions.c_str() + at + uid.size(), nullptr, 10);
        if (owner != 0 && owner != static_cast<unsigned long>(reader))
            return false;
    }
    struct stat st;
    return stat(mount.source.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode));
}

VolumeKinds::Kind VolumeKinds::of(dev_t device, const char* path) {
    std::optional<bool> ntfs;
    bool kernelNtfs = false;  // its user. attributes are NTFS's own, not streams
    {
        std::lock_guard<std::mutex> guard(lock);
        for (const Known& k : known) {
            if (k.device != device)
                continue;
            if (k.probed)
                return {k.ntfsAttributes, k.holdsStreams, k.hidesStreams};
            ntfs = k.ntfsAttributes;
            kernelNtfs = k.hidesStreams;
        }
    }
    if (!ntfs) {
        // A volume mounted since the table was read; one not in it at all
        // (btrfs subvolumes report devices of their own) is a plain volume.
        ntfs = false;
        for (const MountEntry& mount : readMountTable()) {
            if (mount.device == device) {
                ntfs = keepsNtfsAttributes(mount.type);
                kernelNtfs = mount.type == "ntfs" || mount.type == "ntfs3";
            }
        }
    }
    // An NTFS volume holds streams however its mount shows them.
    char attributes[4];
    const bool ntfsAnswers =
        *ntfs && lgetxattr(path, "system.ntfs_attrib", attributes, sizeof attributes) >= 0;
    const bool refuses = refusesStreams(path);
    const Kind kind{*ntfs, kernelNtfs || ntfsAnswers || !refuses,
                    kernelNtfs || (ntfsAnswers && refuses)};
    std::lock_guard<std::mutex> guard(lock);
    known.erase(std::remove_if(known.begin(), known.end(),
                               [&](const Known& k) { return k.device == device; }),
                known.end());
    known.push_back({device, kind.ntfsAttributes, true, kind.holdsStreams, kind.hidesStreams});
    return kind;
}

void VolumeKinds::reload(const std::vector<MountEntry>& mounts) {
    std::lock_guard<std::mutex> guard(lock);
    known.clear();
    for (const MountEntry& mount : mounts)
        known.push_back({mount.device, keepsNtfsAttributes(mount.type), false, true,
                         mount.type == "ntfs" || mount.type == "ntfs3"});
}

}  // namespace streamscan
