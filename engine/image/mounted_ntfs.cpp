#include "engine/image/mounted_ntfs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "engine/image/image_file_system.h"
#include "engine/path_forms.h"
#include "engine/posix/mount_table.h"
#include "engine/posix/name_codec.h"
#include "engine/scan_types.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

// The MFT entry in an image row's identity (the sequence number sits above it).
constexpr std::uint64_t kEntryMask = 0xFFFFFFFFFFFFull;

bool holds(const std::string& mountPoint, const std::string& path) {
    return mountPoint == "/" ||
           (path.compare(0, mountPoint.size(), mountPoint) == 0 &&
            (path.size() == mountPoint.size() || path[mountPoint.size()] == '/'));
}

}  // namespace

struct MountedNtfsReader::Volumes {
    struct Volume {
        MountEntry mount;
        NtfsStreams streams = NtfsStreams::notNtfs;
        std::u16string imageRoot;  // SOURCE//pN; empty when the source cannot be read
        bool reported = false;     // named in volumesRead
    };
    std::vector<MountEntry> mounts;
    // The mount points of mounts that may be NTFS (kernel NTFS, FUSE): a path
    // below none of them is no business of this reader, told at the cost of
    // a few compares, as the walk asks about every item.
    std::vector<std::u16string> candidates;
    std::vector<Volume> known;  // by mount point, in the order first met
    std::vector<VolumeRead> read;

    void load(std::vector<MountEntry> table) {
        mounts = std::move(table);
        candidates.clear();
        for (const MountEntry& mount : mounts) {
            if (mount.type == "ntfs" || mount.type == "ntfs3" || mount.type.rfind("fuse", 0) == 0)
                candidates.push_back(textOf(mount.mountPoint));
        }
    }

    bool mayHold(std::u16string_view path) const {
        return std::any_of(candidates.begin(), candidates.end(), [&](const std::u16string& point) {
            return point == u"/" || (path.substr(0, point.size()) == point &&
                                     (path.size() == point.size() || path[point.size()] == u'/'));
        });
    }
};

MountedNtfsReader::MountedNtfsReader(FileSystem& host)
    : host(host),
      image(std::make_unique<ImageFileSystem>(host, false)),
      volumes(std::make_unique<Volumes>()) {
    volumes->load(readMountTable());
}

MountedNtfsReader::~MountedNtfsReader() = default;

std::uint64_t MountedNtfsReader::orphans() const {
    return image->orphans();
}

std::vector<MountedNtfsReader::VolumeRead> MountedNtfsReader::volumesRead() const {
    return volumes->read;
}

std::u16string MountedNtfsReader::imagePathOf(const std::u16string& path) {
    if (path.empty() || path.front() != u'/' || !volumes->mayHold(path) ||
        path.find(u'\0') != std::u16string::npos)
        return {};
    const std::string bytes = bytesOf(path);
    const MountEntry* mount = mountHolding(volumes->mounts, bytes);
    if (mount == nullptr)
        return {};
    auto known = std::find_if(volumes->known.begin(), volumes->known.end(), [&](const auto& v) {
        return v.mount.mountPoint == mount->mountPoint;
    });
    if (known == volumes->known.end()) {
        Volumes::Volume volume;
        volume.mount = *mount;
        volume.streams = ntfsStreamsOf(*mount);
        // Read-only, through the library that reads images: a source this user
        // cannot read leaves the volume to its mount, and so does one that is
        // not to be trusted to be what is mounted.
        if (volume.streams != NtfsStreams::notNtfs && readableSource(*mount, geteuid())) {
            const ImageOpening opening = image->openImage(textOf(mount->source), kEveryPartition);
            if (opening.error.empty() && opening.roots.size() == 1)
                volume.imageRoot = opening.roots.front();
        }
        volumes->known.push_back(std::move(volume));
        known = volumes->known.end() - 1;
    }
    if (known->imageRoot.empty() || !holds(known->mount.mountPoint, bytes))
        return {};
    if (!known->reported) {
        known->reported = true;
        volumes->read.push_back({textOf(known->mount.mountPoint), textOf(known->mount.source)});
    }
    // A bind mount shows a folder of the volume, not its top.
    const std::size_t rest = known->mount.mountPoint == "/" ? 0 : known->mount.mountPoint.size();
    const std::string folder = known->mount.root == "/" ? std::string() : known->mount.root;
    std::u16string inside = textOf(folder + std::string(std::string_view(bytes).substr(rest)));
    while (!inside.empty() && inside.back() == u'/')
        inside.pop_back();
    return known->imageRoot + inside;
}

VolumeInfo MountedNtfsReader::queryVolume(const std::u16string& path) {
    // Each root starts from the table as it is now.
    volumes->load(readMountTable());
    if (imagePathOf(host.fullPath(path)).empty())
        return host.queryVolume(path);
    VolumeInfo info;
    info.known = true;
    info.namedStreams = true;
    info.fileSystemName = u"NTFS";
    return info;
}

std::uint32_t MountedNtfsReader::itemFacts(const std::u16string& path, ItemFacts& facts) {
    const std::u16string inside = imagePathOf(path);
    return inside.empty() ? host.itemFacts(path, facts) : image->itemFacts(inside, facts);
}

std::uint32_t MountedNtfsReader::plainAttributes(const std::u16string& path,
                                                 std::uint32_t& attributes) {
    const std::u16string inside = imagePathOf(path);
    return inside.empty() ? host.plainAttributes(path, attributes)
                          : image->plainAttributes(inside, attributes);
}

// A folder of the host's with an NTFS volume mounted on one of its entries:
// that volume is read through its source, so the mount's own view of it (no
// streams shown, or none held) does not keep the walk out.
class MountedNtfsReader::HostListing : public DirectoryListing {
  public:
    HostListing(MountedNtfsReader& reader, std::u16string folder,
                std::unique_ptr<DirectoryListing> inner)
        : reader(reader), folder(std::move(folder)), inner(std::move(inner)) {}

    std::uint32_t next(DirectoryEntry& entry) override {
        const std::uint32_t error = inner->next(entry);
        if (error == kErrorSuccess)
            reader.readThroughSource(folder, entry);
        return error;
    }
    std::uint32_t entryFacts(ItemFacts& facts) override { return inner->entryFacts(facts); }

  private:
    MountedNtfsReader& reader;
    std::u16string folder;
    std::unique_ptr<DirectoryListing> inner;
};

void MountedNtfsReader::readThroughSource(const std::u16string& folder, DirectoryEntry& entry) {
    if ((entry.volumeHidingStreams || entry.volumeWithoutStreams) &&
        !imagePathOf(joinPath(folder, entry.name, PathStyle::posix)).empty()) {
        entry.volumeHidingStreams = false;
        entry.volumeWithoutStreams = false;
    }
}

std::uint32_t MountedNtfsReader::startListing(const std::u16string& folder, DirectoryEntry& first,
                                              std::unique_ptr<DirectoryListing>& listing) {
    const std::u16string inside = imagePathOf(folder);
    if (!inside.empty())
        return image->startListing(inside, first, listing);
    std::unique_ptr<DirectoryListing> inner;
    const std::uint32_t error = host.startListing(folder, first, inner);
    if (error != kErrorSuccess)
        return error;
    readThroughSource(folder, first);
    listing = std::make_unique<HostListing>(*this, folder, std::move(inner));
    return kErrorSuccess;
}

std::uint32_t MountedNtfsReader::startStreams(const std::u16string& hostPath, StreamEntry& first,
                                              std::unique_ptr<StreamListing>& listing) {
    const std::u16string inside = imagePathOf(hostPath);
    return inside.empty() ? host.startStreams(hostPath, first, listing)
                          : image->startStreams(inside, first, listing);
}

std::uint32_t MountedNtfsReader::openStream(const std::u16string& hostPath,
                                            const std::u16string& name, const std::u16string& type,
                                            bool hostIsFolder,
                                            std::unique_ptr<StreamReader>& reader) {
    const std::u16string inside = imagePathOf(hostPath);
    return inside.empty() ? host.openStream(hostPath, name, type, hostIsFolder, reader)
                          : image->openStream(inside, name, type, hostIsFolder, reader);
}

std::uint32_t MountedNtfsReader::openListedStream(const StreamRecord& row,
                                                  std::unique_ptr<StreamReader>& reader) {
    const std::u16string inside = imagePathOf(row.hostFolder);
    if (inside.empty() || row.sidecarFile)
        return host.openListedStream(row, reader);
    StreamRecord there = row;
    there.hostFolder = inside;
    return image->openListedStream(there, reader);
}

std::uint32_t MountedNtfsReader::removeListedStream(const RemovalTarget& target) {
    const std::u16string inside = imagePathOf(target.hostPath);
    const std::string mountPath = bytesOf(target.hostPath);
    const auto volume =
        std::find_if(volumes->known.begin(), volumes->known.end(), [&](const auto& v) {
            return !v.imageRoot.empty() && holds(v.mount.mountPoint, mountPath);
        });
    if (inside.empty() || target.sidecarFile || volume == volumes->known.end())
        return host.removeListedStream(target);
    // The row knows the item as the volume does (its MFT entry); through
    // ntfs-3g that entry is the item's inode, on the mount's device.
    RemovalTarget through = target;
    struct stat mountPoint;
    if (lstat(volume->mount.mountPoint.c_str(), &mountPoint) != 0)
        return kErrorPathNotFound;
    through.hostIdentity = {static_cast<std::uint64_t>(mountPoint.st_dev),
                            target.hostIdentity.file & kEntryMask, target.hostIdentity.known};
    through.rootIdentity = {};
    if (volume->streams == NtfsStreams::asAttributes) {
        through.carrier = u"user." + target.streamName;
        return host.removeListedStream(through);
    }
    // ntfs-3g's windows mode opens host:NAME as a file of its own; its none mode
    // and the kernel's drivers offer no way to a stream at all.
    struct stat stream;
    const std::string streamPath = mountPath + ":" + bytesOf(target.streamName);
    if (volume->mount.type.rfind("fuse", 0) == 0 && lstat(streamPath.c_str(), &stream) == 0) {
        through.carrier = leafName(target.hostPath, PathStyle::posix) + u":" + target.streamName;
        through.sidecarFile = true;
        return host.removeListedStream(through);
    }
    return kErrorStreamsHiddenByMount;
}

void MountedNtfsReader::scanEnded() {
    image->scanEnded();
    host.scanEnded();
}

}  // namespace streamscan
