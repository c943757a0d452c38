// A mounted NTFS volume read as NTFS: through its source (the block device or
// image file in the mount table) with the image port, so every stream is listed
// with its exact size whatever the mount shows of them. Rows keep the mount's
// paths. Everything else goes to the host port: other volumes, a volume whose
// source cannot be read (then the mount is used, and says what it hides),
// reports, and removal, which goes through the mount by the means it offers.
//
// Called on the scanning thread, like the ports it wraps; queryVolume of each
// root reads the mount table again, as the Linux port does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/file_system.h"

namespace streamscan {

class ImageFileSystem;

class MountedNtfsReader final : public FileSystem {
  public:
    explicit MountedNtfsReader(FileSystem& host);
    ~MountedNtfsReader() override;
    MountedNtfsReader(const MountedNtfsReader&) = delete;
    MountedNtfsReader& operator=(const MountedNtfsReader&) = delete;

    struct VolumeRead {
        std::u16string mountPoint;
        std::u16string source;
    };
    // The volumes read through their source so far, in the order first met.
    std::vector<VolumeRead> volumesRead() const;
    // Items of those volumes listed under $OrphanFiles.
    std::uint64_t orphans() const;

    PathStyle pathStyle() const override { return host.pathStyle(); }
    std::u16string fullPath(const std::u16string& path) override { return host.fullPath(path); }
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
    std::uint32_t openListedStream(const StreamRecord& row,
                                   std::unique_ptr<StreamReader>& reader) override;
    std::uint32_t deleteStream(const std::u16string& hostPath, const std::u16string& name,
                               const std::u16string& type) override {
        return host.deleteStream(hostPath, name, type);
    }
    std::uint32_t removeListedStream(const RemovalTarget& target) override;
    std::uint32_t createFile(const std::u16string& path,
                             std::unique_ptr<FileWriter>& writer) override {
        return host.createFile(path, writer);
    }
    std::uint32_t deleteFile(const std::u16string& path) override { return host.deleteFile(path); }
    std::uint32_t outputTarget(const std::u16string& path, OutputTarget& target) override {
        return host.outputTarget(path, target);
    }
    void scanEnded() override;

  private:
    struct Volumes;
    class HostListing;
    // Clears what the host's listing says of a mount point whose NTFS volume is
    // read through its source.
    void readThroughSource(const std::u16string& folder, DirectoryEntry& entry);
    // The image path of `path` when it lies on an NTFS volume read through its
    // source; empty otherwise.
    std::u16string imagePathOf(const std::u16string& path);

    FileSystem& host;
    std::unique_ptr<ImageFileSystem> image;
    std::unique_ptr<Volumes> volumes;
};

}  // namespace streamscan
