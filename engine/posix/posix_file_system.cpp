#include "engine/posix/posix_file_system.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/path_forms.h"
#include "engine/posix/attribute_io.h"
#include "engine/posix/descriptors.h"
#include "engine/posix/folder_listing.h"
#include "engine/posix/item_facts.h"
#include "engine/posix/listed_removal.h"
#include "engine/posix/name_codec.h"
#include "engine/posix/report_file.h"
#include "engine/posix/stream_attributes.h"
#include "engine/posix/stream_depot.h"
#include "engine/scan_types.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

std::string_view leafOf(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    return slash == path.npos ? path : path.substr(slash + 1);
}

class BufferReader : public StreamReader {
  public:
    explicit BufferReader(std::string content) : content(std::move(content)) {}

    std::uint32_t read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) override {
        const std::size_t count = std::min<std::size_t>(content.size() - position, size);
        if (count > 0)
            std::memcpy(buffer, content.data() + position, count);
        position += count;
        got = static_cast<std::uint32_t>(count);
        return kErrorSuccess;
    }

  private:
    std::string content;
    std::size_t position = 0;
};

class FileReader : public StreamReader {
  public:
    explicit FileReader(UniqueFd fd) : fd(std::move(fd)) {}

    std::uint32_t read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) override {
        got = 0;
        for (;;) {
            const ssize_t n = ::read(fd.get(), buffer, size);
            if (n >= 0) {
                got = static_cast<std::uint32_t>(n);
                return kErrorSuccess;
            }
            if (errno != EINTR)
                return lastError();
        }
    }

  private:
    UniqueFd fd;
};

// The stream entries of one item, each read, sized and opened from the very
// attribute it was listed from.
class PosixStreamListing : public StreamListing {
  public:
    PosixStreamListing(UniqueFd folder, std::string name, std::string path, std::string names,
                       VolumeKinds& volumes)
        : folder(std::move(folder)),
          name(std::move(name)),
          path(std::move(path)),
          names(std::move(names)),
          volumes(volumes) {}

    std::uint32_t next(StreamEntry& entry) override {
        const AttributeHost host{folder.get(), name.c_str(), path.c_str()};
        while (position < names.size()) {
            std::size_t end = names.find('\0', position);
            if (end == names.npos)
                end = names.size();
            const std::string attribute = names.substr(position, end - position);
            position = end + 1;
            depotMarked = depotMarked || attribute == kDepotMarkerName;
            if (!isStreamAttribute(attribute))
                continue;
            AttributeValue value = readAttributeValue(host, attribute.c_str());
            if (value.error == ENODATA)
                continue;  // removed since the list was read
            if (value.error == ENOENT || value.error == EACCES || value.error == EPERM)
                return windowsErrorFromErrno(value.error);  // the item itself is gone or refused
            AttributeStream stream = streamOf(attribute);
            entry.streamName = std::move(stream.name);
            entry.streamType = std::move(stream.type);
            entry.carrier = textOf(attribute);
            entry.metadata = isMetadataAttribute(attribute) && !onNtfsVolume();
            currentError = value.error;
            if (value.error != 0) {
                // Only what the interface shows is known (nothing at all when it
                // refused): a lower bound, never passed off as the size.
                entry.size = value.shownSize;
                entry.sizeAtLeast = true;
                content.clear();
            } else {
                value.bytes.resize(streamLengthOf(attribute, value.bytes));
                entry.size = value.bytes.size();
                content = std::move(value.bytes);
            }
            return kErrorSuccess;
        }
        return depotMarked ? nextInDepot(entry) : kErrorHandleEof;
    }

    bool openEntry(std::uint32_t& error, std::unique_ptr<StreamReader>& reader) override {
        if (depot) {
            UniqueFd content;
            error = depot->open(content);
            if (error == kErrorSuccess)
                reader = std::make_unique<FileReader>(std::move(content));
            return true;
        }
        error = currentError == 0 ? kErrorSuccess : windowsErrorFromErrno(currentError);
        if (currentError == 0)
            reader = std::make_unique<BufferReader>(content);
        return true;
    }

  private:
    // Every user. attribute on NTFS is a stream; elsewhere some hold metadata.
    bool onNtfsVolume() {
        if (!volumeKnown) {
            struct stat st;
            ntfsVolume = fstatat(folder.valid() ? folder.get() : AT_FDCWD, name.c_str(), &st,
                                 AT_SYMLINK_NOFOLLOW) == 0 &&
                         volumes.of(st.st_dev, path.c_str()).ntfsAttributes;
            volumeKnown = true;
        }
        return ntfsVolume;
    }

    // After its attributes, the streams Samba's streams_depot keeps in files
    // for an item it marked. As for Samba, no stream folder for the item means
    // no streams (a copy of a marked file keeps the mark, not the streams); a
    // depot that cannot be reached or read fails the listing.
    std::uint32_t nextInDepot(StreamEntry& entry) {
        if (!depot) {
            UniqueFd found;
            const int error = openItemDepot(folder.get(), name, path, found);
            if (error == ENOENT)
                depotMarked = false;
            if (error != 0)
                return error == ENOENT ? kErrorHandleEof : windowsErrorFromErrno(error);
            depot = std::make_unique<DepotListing>(std::move(found));
        }
        return depot->next(entry);
    }

    UniqueFd folder;
    std::string name;
    std::string path;
    std::string names;
    VolumeKinds& volumes;
    std::size_t position = 0;
    int currentError = 0;
    std::string content;
    bool volumeKnown = false;
    bool ntfsVolume = false;
    bool depotMarked = false;
    std::unique_ptr<DepotListing> depot;
};

// An item the walk is at is reached through its folder's descriptor (exactly
// that entry, at any depth); any other by its path.
AttributeHost attributeHostOf(const std::u16string& hostPath, const std::string& path) {
    if (const CurrentEntry* entry = currentEntryFor(hostPath))
        return {entry->folder, entry->name.c_str(), path.c_str()};
    return {-1, path.c_str(), path.c_str()};
}

// A stream Samba's streams_depot keeps in a file, found from its item.
std::uint32_t openDepotStream(const AttributeHost& host, const std::u16string& carrier,
                              std::unique_ptr<StreamReader>& reader) {
    UniqueFd depot;
    UniqueFd content;
    int error = openItemDepot(host.folder, host.name, host.path, depot);
    if (error == 0)
        error = openDepotFile(depot.get(), depotFileOf(carrier), content);
    if (error != 0)
        return windowsErrorFromErrno(error);
    reader = std::make_unique<FileReader>(std::move(content));
    return kErrorSuccess;
}

// Through the folder the walk holds open when the item is its current entry
// (a sidecar file as it is listed), so a folder swapped for a link on the way
// cannot lead the read out of the tree; by its path otherwise.
std::uint32_t openHostContent(const AttributeHost& host, std::unique_ptr<StreamReader>& reader) {
    // Never a link, never a device or a pipe: opening those can block or act.
    constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    UniqueFd fd(host.folder >= 0 ? openat(host.folder, host.name, kFlags)
                                 : ::open(host.path, kFlags));
    if (!fd.valid())
        return lastError();
    struct stat st;
    if (fstat(fd.get(), &st) != 0)
        return lastError();
    if (!S_ISREG(st.st_mode))
        return windowsErrorFromErrno(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    reader = std::make_unique<FileReader>(std::move(fd));
    return kErrorSuccess;
}

}  // namespace

std::u16string PosixFileSystem::fullPath(const std::u16string& path) {
    if (path.empty() || hasEmbeddedNul(path))
        return path;
    std::u16string combined;
    if (path.front() != u'/') {
        std::vector<char> cwd(PATH_MAX);
        while (getcwd(cwd.data(), cwd.size()) == nullptr) {
            if (errno != ERANGE)
                return path;
            cwd.resize(cwd.size() * 2);
        }
        combined = textOf(cwd.data());
        combined += u'/';
    }
    combined += path;

    // Lexical, like GetFullPathNameW: links are not resolved, so ".." after a
    // link goes back up the path as written.
    std::vector<std::u16string_view> parts;
    const std::u16string_view text(combined);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t slash = text.find(u'/', start);
        if (slash == text.npos)
            slash = text.size();
        const std::u16string_view part = text.substr(start, slash - start);
        if (part == u"..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != u".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::u16string result;
    for (const auto part : parts) {
        result += u'/';
        result += part;
    }
    if (result.empty() || path.back() == u'/')
        result += u'/';
    return result;
}

VolumeInfo PosixFileSystem::queryVolume(const std::u16string& path) {
    VolumeInfo info;
    if (path.empty() || hasEmbeddedNul(path))
        return info;
    const std::vector<MountEntry> mounts = readMountTable();
    volumes.reload(mounts);
    forgetOpenedFolders();
    // A link on the way may lead onto another volume: where it can, the volume
    // is found from the path with its links resolved.
    std::string located = bytesOf(fullPath(path));
    if (char* resolved = realpath(located.c_str(), nullptr)) {
        located = resolved;
        std::free(resolved);
    }
    const MountEntry* mount = mountHolding(mounts, located);
    if (mount == nullptr)
        return info;
    info.known = true;
    info.fileSystemName = textOf(mount->type);
    // An NTFS volume holds streams whatever its mount shows of them; one whose
    // mount hides them says so, and is never one that cannot hold them.
    const NtfsStreams ntfs = ntfsStreamsOf(*mount);
    info.namedStreams = ntfs != NtfsStreams::notNtfs || !refusesStreams(mount->mountPoint.c_str());
    info.streamsHidden = ntfs == NtfsStreams::hidden;
    return info;
}

std::uint32_t PosixFileSystem::itemFacts(const std::u16string& path, ItemFacts& facts) {
    if (hasEmbeddedNul(path))
        return kErrorInvalidName;
    const std::string bytes = bytesOf(path);
    // An item of a folder the walk holds open (the item a sidecar file stands
    // beside) is looked at through that folder, never by a path a link swapped
    // in on the way could lead elsewhere.
    const int folder = listedFolderOf(path);
    const std::string leaf(leafOf(bytes));
    const AttributeHost host{folder, folder >= 0 ? leaf.c_str() : bytes.c_str(), bytes.c_str()};
    const int at = folder >= 0 ? folder : AT_FDCWD;
    struct stat st;
    if (fstatat(at, host.name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return lastError();
    const WindowsAttributes windows =
        windowsAttributesOf(host, volumes.of(st.st_dev, bytes.c_str()).ntfsAttributes, nullptr);
    struct stat target;
    const bool linkToFolder =
        S_ISLNK(st.st_mode) && fstatat(at, host.name, &target, 0) == 0 && S_ISDIR(target.st_mode);
    facts = factsOf(st, leaf, windows, linkToFolder);
    addBirthTime(at, host.name, facts.details);
    return kErrorSuccess;
}

std::uint32_t PosixFileSystem::plainAttributes(const std::u16string& path,
                                               std::uint32_t& attributes) {
    ItemFacts facts;
    const std::uint32_t error = itemFacts(path, facts);
    if (error == kErrorSuccess)
        attributes = facts.attributes;
    return error;
}

std::uint32_t PosixFileSystem::startListing(const std::u16string& folder, DirectoryEntry& first,
                                            std::unique_ptr<DirectoryListing>& listing) {
    if (hasEmbeddedNul(folder))
        return kErrorInvalidName;
    return startFolderListing(bytesOf(folder), volumes, first, listing);
}

std::uint32_t PosixFileSystem::startStreams(const std::u16string& hostPath, StreamEntry& first,
                                            std::unique_ptr<StreamListing>& listing) {
    if (hasEmbeddedNul(hostPath))
        return kErrorInvalidName;
    UniqueFd folder;
    std::string name;
    std::string path;
    std::string names;
    if (const CurrentEntry* entry = currentEntryFor(hostPath)) {
        if (entry->namesError != 0)
            return windowsErrorFromErrno(entry->namesError);
        names = entry->names;
        name = entry->name;
        path = entry->path;
    } else {
        path = bytesOf(hostPath);
        name = path;
        if (const int error = listAttributeNames({-1, path.c_str(), path.c_str()}, names);
            error != 0)
            return windowsErrorFromErrno(error);
    }
    // Most items carry no stream at all; they cost nothing more.
    bool anyStream = false;
    forEachAttributeName(names, [&](std::string_view attribute) {
        anyStream = anyStream || isStreamAttribute(attribute);
    });
    if (!anyStream)
        return kErrorHandleEof;
    if (const CurrentEntry* entry = currentEntryFor(hostPath))
        folder.reset(fcntl(entry->folder, F_DUPFD_CLOEXEC, 0));
    if (!folder.valid())
        name = path;
    auto opened = std::make_unique<PosixStreamListing>(std::move(folder), std::move(name),
                                                       std::move(path), std::move(names), volumes);
    const std::uint32_t error = opened->next(first);
    if (error != kErrorSuccess)
        return error;
    listing = std::move(opened);
    return kErrorSuccess;
}

std::uint32_t PosixFileSystem::openStream(const std::u16string& hostPath,
                                          const std::u16string& name, const std::u16string& type,
                                          bool /*hostIsFolder*/,
                                          std::unique_ptr<StreamReader>& reader) {
    if (hasEmbeddedNul(hostPath) || hasEmbeddedNul(name) || hasEmbeddedNul(type))
        return kErrorInvalidName;
    const std::string host = bytesOf(hostPath);
    if (name.empty())
        return openHostContent(attributeHostOf(hostPath, host), reader);
    int error = ENODATA;
    for (const std::string& attribute : attributesOfStream(name, type)) {
        AttributeValue value =
            readAttributeValue(attributeHostOf(hostPath, host), attribute.c_str());
        error = value.error;
        if (error == 0) {
            value.bytes.resize(streamLengthOf(attribute, value.bytes));
            reader = std::make_unique<BufferReader>(std::move(value.bytes));
            return kErrorSuccess;
        }
        if (error != ENODATA)
            break;
    }
    return windowsErrorFromErrno(error);
}

std::uint32_t PosixFileSystem::deleteStream(const std::u16string& hostPath,
                                            const std::u16string& name,
                                            const std::u16string& type) {
    if (hasEmbeddedNul(hostPath) || hasEmbeddedNul(name) || hasEmbeddedNul(type))
        return kErrorInvalidName;
    if (name.empty()) {
        // The unnamed stream is the item itself; it is never removed as a stream.
        return kErrorInvalidParameter;
    }
    // Every attribute that carries the name goes, so none is left behind under
    // a removal reported as done; the first refusal is what is said.
    const std::string host = bytesOf(hostPath);
    bool removed = false;
    int refusal = 0;
    for (const std::string& attribute : attributesOfStream(name, type)) {
        if (lremovexattr(host.c_str(), attribute.c_str()) == 0)
            removed = true;
        else if (errno != ENODATA && refusal == 0)
            refusal = errno;
    }
    if (refusal != 0)
        return windowsErrorFromErrno(refusal);
    return removed ? kErrorSuccess : kErrorFileNotFound;
}

std::uint32_t PosixFileSystem::openListedStream(const StreamRecord& row,
                                                std::unique_ptr<StreamReader>& reader) {
    if (row.carrier.empty() || row.sidecarFile || hasEmbeddedNul(row.carrier))
        return FileSystem::openListedStream(row, reader);
    const std::u16string hostPath = hostPathOf(row, PathStyle::posix);
    const std::string host = bytesOf(hostPath);
    if (isDepotCarrier(row.carrier))
        return openDepotStream(attributeHostOf(hostPath, host), row.carrier, reader);
    const std::string attribute = bytesOf(row.carrier);
    AttributeValue value = readAttributeValue(attributeHostOf(hostPath, host), attribute.c_str());
    if (value.error != 0)
        return windowsErrorFromErrno(value.error);
    value.bytes.resize(streamLengthOf(attribute, value.bytes));
    reader = std::make_unique<BufferReader>(std::move(value.bytes));
    return kErrorSuccess;
}

std::uint32_t PosixFileSystem::removeListedStream(const RemovalTarget& target) {
    if (hasEmbeddedNul(target.hostPath) || hasEmbeddedNul(target.scanRoot) ||
        hasEmbeddedNul(target.carrier) || hasEmbeddedNul(target.streamName))
        return kErrorInvalidName;
    return removeListedStreamByDescriptors(target);
}

std::uint32_t PosixFileSystem::createFile(const std::u16string& path,
                                          std::unique_ptr<FileWriter>& writer) {
    if (path.empty() || hasEmbeddedNul(path))
        return kErrorInvalidName;
    return createReportFile(bytesOf(path), writer);
}

std::uint32_t PosixFileSystem::outputTarget(const std::u16string& path, OutputTarget& target) {
    if (path.empty() || hasEmbeddedNul(path))
        return kErrorInvalidName;
    return reportTargetOf(bytesOf(path), target);
}

std::uint32_t PosixFileSystem::deleteFile(const std::u16string& path) {
    if (path.empty() || hasEmbeddedNul(path))
        return kErrorInvalidName;
    if (unlink(bytesOf(path).c_str()) != 0)
        return lastError();
    return kErrorSuccess;
}

void PosixFileSystem::scanEnded() {
    forgetOpenedFolders();
}

FileSystem& nativeFileSystem() {
    static PosixFileSystem instance;
    return instance;
}

}  // namespace streamscan
