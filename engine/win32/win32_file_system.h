// The file-system port over kernel32. Paths come in plain; every call on a path
// the walk produced gets the \\?\ form whatever its length (a report path the
// user chose only when it is long), and stream paths are composed as
// host:name:type here. Every failure is the GetLastError() code.
// Holds no state, so one instance serves every thread.
#pragma once

#include "engine/file_system.h"

namespace streamscan {

class Win32FileSystem : public FileSystem {
  public:
    PathStyle pathStyle() const override { return PathStyle::windows; }

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
    std::uint32_t removeListedStream(const RemovalTarget& target) override;
    std::uint32_t createFile(const std::u16string& path,
                             std::unique_ptr<FileWriter>& writer) override;
    std::uint32_t deleteFile(const std::u16string& path) override;
    std::uint32_t outputTarget(const std::u16string& path, OutputTarget& target) override;
};

}  // namespace streamscan
