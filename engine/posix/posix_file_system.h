// The file-system port over Linux. NTFS streams surface there as extended
// attributes in the user. namespace (stream_attributes.h says which), so this
// port lists, reads and removes those. Links are never followed. Names are
// bytes: they are decoded losslessly and encoded back for every call. One
// instance serves every thread; its only state is what it knows of each volume.
#pragma once

#include <string>

#include "engine/file_system.h"
#include "engine/posix/errno_codes.h"
#include "engine/posix/mount_table.h"

namespace streamscan {

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
    std::uint32_t openListedStream(const StreamRecord& row,
                                   std::unique_ptr<StreamReader>& reader) override;
    std::uint32_t removeListedStream(const RemovalTarget& target) override;
    std::uint32_t createFile(const std::u16string& path,
                             std::unique_ptr<FileWriter>& writer) override;
    std::uint32_t deleteFile(const std::u16string& path) override;
    void scanEnded() override;
    std::uint32_t outputTarget(const std::u16string& path, OutputTarget& target) override;

  private:
    VolumeKinds volumes;
};

}  // namespace streamscan
