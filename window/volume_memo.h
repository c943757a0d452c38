// The volume answers one scan found, kept for the explanations after it. Wraps
// the scan's file system: while the scan runs (on the worker), every volume
// query goes through and its answer is kept; once the scan has ended, queries
// are answered from what was kept, so the window thread never waits for a
// volume (an offline share can take minutes to say it is gone).
#pragma once

#include <map>
#include <string>

#include "engine/file_system.h"

namespace tessalin {

class VolumeMemo : public streamscan::FileSystem {
  public:
    explicit VolumeMemo(streamscan::FileSystem& inner) : inner(inner) {}

    // After the worker has been joined: answer only from what was kept; a path
    // the scan never asked about is an unknown volume.
    void stopRecording() { recording = false; }

    streamscan::PathStyle pathStyle() const override { return inner.pathStyle(); }
    std::u16string fullPath(const std::u16string& path) override { return inner.fullPath(path); }
    streamscan::VolumeInfo queryVolume(const std::u16string& path) override;
    std::uint32_t itemFacts(const std::u16string& path, streamscan::ItemFacts& facts) override {
        return inner.itemFacts(path, facts);
    }
    std::uint32_t plainAttributes(const std::u16string& path, std::uint32_t& attributes) override {
        return inner.plainAttributes(path, attributes);
    }
    std::uint32_t startListing(const std::u16string& folder, streamscan::DirectoryEntry& first,
                               std::unique_ptr<streamscan::DirectoryListing>& listing) override {
        return inner.startListing(folder, first, listing);
    }
    std::uint32_t startStreams(const std::u16string& hostPath, streamscan::StreamEntry& first,
                               std::unique_ptr<streamscan::StreamListing>& listing) override {
        return inner.startStreams(hostPath, first, listing);
    }
    std::uint32_t openStream(const std::u16string& hostPath, const std::u16string& name,
                             const std::u16string& type, bool hostIsFolder,
                             std::unique_ptr<streamscan::StreamReader>& reader) override {
        return inner.openStream(hostPath, name, type, hostIsFolder, reader);
    }
    std::uint32_t openListedStream(const streamscan::StreamRecord& row,
                                   std::unique_ptr<streamscan::StreamReader>& reader) override {
        return inner.openListedStream(row, reader);
    }
    std::uint32_t deleteStream(const std::u16string& hostPath, const std::u16string& name,
                               const std::u16string& type) override {
        return inner.deleteStream(hostPath, name, type);
    }
    std::uint32_t removeListedStream(const streamscan::RemovalTarget& target) override {
        return inner.removeListedStream(target);
    }
    std::uint32_t createFile(const std::u16string& path,
                             std::unique_ptr<streamscan::FileWriter>& writer) override {
        return inner.createFile(path, writer);
    }
    std::uint32_t deleteFile(const std::u16string& path) override { return inner.deleteFile(path); }
    void scanEnded() override { inner.scanEnded(); }

  private:
    // The scan asks with the trimmed absolute form of a root; so does a lookup.
    std::u16string keyOf(const std::u16string& path);

    streamscan::FileSystem& inner;
    bool recording = true;
    std::map<std::u16string, streamscan::VolumeInfo> answers;
};

}  // namespace tessalin
