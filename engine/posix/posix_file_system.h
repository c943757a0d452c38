// The file-system port over Linux. NTFS streams surface there as extended
// attributes in the user. namespace (ntfs-3g: user.NAME; Samba's streams_xattr:
// user.DosStream.NAME:TYPE with one trailing zero byte), so this port lists,
// reads and removes those. Links are never followed. Names are bytes: they are
// decoded losslessly (decodeName) and encoded back (encodeName) for every call.
// One instance serves every thread; its only state is a cache of the mount table.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/file_system.h"

namespace streamscan {

// EACCES/EPERM 5, ENOENT/ENODATA 2, ENOTDIR 3, ... ; any other errno e is
// kErrorFromErrno | e.
std::uint32_t windowsErrorFromErrno(int error);

class PosixFileSystem : public FileSystem {
  public:
    PathStyle pathStyle() const override { return PathStyle::posix; }

    std::u16string fullPath(const std::u16string& path) override;
    VolumeInfo queryVolume(const std::u16string& path) override;
    std::uint32_t itemFacts(const std::u16string& path, ItemFacts& facts) override;
    std::uint32_t plainAttributes(const std::u16string& path, std::uint32_t& attributes) override;
    std::uint32_t startListing(const std::u16string& folder, DirectoryEntry& first,
                               std::unique_ptr<DirectoryListing>& listing) override;
    std::uint32_t startStreams(const std::u16string& hostPath, StreamEntry& first,
                               std::unique_ptr<StreamListing>& listing) override;
    std::uint32_t openStream(const std::u16string& hostPath, const std::u16string& name,
                             const std::u16string& type, bool hostIsFolder,
                             std::unique_ptr<StreamReader>& reader) override;
    std::uint32_t deleteStream(const std::u16string& hostPath, const std::u16string& name,
                               const std::u16string& type) override;
    std::uint32_t createFile(const std::u16string& path,
                             std::unique_ptr<FileWriter>& writer) override;
    std::uint32_t deleteFile(const std::u16string& path) override;

    // Whether items on the device carry their NTFS attributes in
    // system.ntfs_attrib (ntfs-3g and the kernel's NTFS drivers). Asked per
    // device, not per item, so other volumes pay nothing for it.
    bool hasNtfsAttributes(dev_t device);

  private:
    struct DeviceKind {
        dev_t device;
        bool ntfs;
    };

    void rememberMountTypes();

    std::mutex cacheLock;
    std::vector<DeviceKind> deviceKinds;  // guarded by cacheLock
};

}  // namespace streamscan
