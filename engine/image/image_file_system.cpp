#include "engine/image/image_file_system.h"

#include <tsk/libtsk.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "engine/image/container.h"
#include "engine/image/folder_walk.h"
#include "engine/image/image_layout_reader.h"
#include "engine/image/index_listing.h"
#include "engine/image/listings.h"
#include "engine/image/partitions.h"
#include "engine/image/qcow_image.h"
#include "engine/image/record_streams.h"
#include "engine/image/volume_index.h"
#include "engine/path_forms.h"
#include "engine/removal.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

constexpr char16_t kMarker[] = u"//";
constexpr std::size_t kNoVolume = static_cast<std::size_t>(-1);

// The streams NTFS keeps on its own files for itself, by the file's path in
// the volume. They are counted, not listed; any other stream there is listed.
struct FileSystemStream {
    std::u16string_view file;
    std::u16string_view stream;
};
constexpr FileSystemStream kFileSystemStreams[] = {
    {u"$Secure", u"$SDS"},
    {u"$Secure", u"$SDH"},
    {u"$Secure", u"$SII"},
    {u"$UpCase", u"$Info"},
    {u"$BadClus", u"$Bad"},
    {u"$Extend/$ObjId", u"$O"},
    {u"$Extend/$Quota", u"$O"},
    {u"$Extend/$Quota", u"$Q"},
    {u"$Extend/$Reparse", u"$R"},
    {u"$Extend/$UsnJrnl", u"$J"},
    {u"$Extend/$UsnJrnl", u"$Max"},
    {u"$Extend/$RmMetadata/$Repair", u"$Config"},
    {u"$Extend/$RmMetadata/$Repair", u"$Corrupt"},
    {u"$Extend/$RmMetadata/$Repair", u"$Verify"},
    {u"$Extend/$RmMetadata/$TxfLog/$Tops", u"$T"},
};

bool isFileSystemStream(std::u16string_view file, const std::u16string& stream) {
    return std::any_of(
        std::begin(kFileSystemStreams), std::end(kFileSystemStreams),
        [&](const FileSystemStream& own) { return own.file == file && own.stream == stream; });
}

// Whether two texts are equal, compared as bytes: equal UTF-16 texts are equal
// bytes, and memcmp is much faster than char_traits<char16_t>'s character loop
// on the long paths of an image, which are compared for every item walked.
bool sameText(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0;
}

std::u16string decimal(std::uint32_t value) {
    return widenAscii(std::to_string(value));
}

}  // namespace

struct ImageFileSystem::State {
    struct Volume {
        std::u16string root;
        TSK_FS_INFO* fs = nullptr;   // null: no file system could be opened
        bool looksLikeNtfs = false;  // then a failure to open is damage, not absence
        VolumeInfo info;
        // The folders listed so far: by record (the folder walk), or by item
        // entry number (the index).
        std::unordered_set<std::uint64_t> listedFolders;
        std::unique_ptr<RecordReader> records;  // NTFS: what the library cannot give
        // NTFS: the tree of the one pass over $MFT, built when the root is
        // first listed; null before, or when the pass could not be made.
        std::unique_ptr<VolumeIndex> index;
        bool indexTried = false;
    };
    struct Image {
        std::u16string path;
        TSK_IMG_INFO* img = nullptr;
        TSK_VS_INFO* vs = nullptr;
        // Per partition, its volume, or kNoVolume for one that holds no files.
        std::vector<std::size_t> volumes;
        std::uint32_t partitionCount = 0;
        std::vector<std::u16string> reserved;  // the roots of those that hold no files
    };
    // Where a path leads: its volume, and its entry in the volume's index, or
    // its record as the folder walk met it.
    struct Node {
        std::size_t volume = kNoVolume;
        TSK_INUM_T addr = 0;
        bool deleted = false;
        // The folder walk: the streams, read with the listing that met the item
        // (which had its record open), until the walk asks for them once.
        std::optional<StreamList> streams;
        bool system = false;                 // one of the file system's own files or folders
        std::optional<std::uint32_t> entry;  // in the volume's index
    };

    bool includeDeleted = false;
    std::uint64_t orphans = 0;                   // of every pass so far
    mutable std::size_t lastVolume = kNoVolume;  // what volumeOf found last
    // The indexed folder listed last, and the entry its listing handed out
    // last (0, the root, for none: it is no folder's entry).
    struct {
        std::size_t volume = kNoVolume;
        std::u16string path;
        std::uint32_t entry = 0;
        std::uint32_t current = 0;
    } lastFolder;
    std::vector<Image> images;
    std::vector<Volume> volumes;
    // The folder walk's paths: roots and folders, and the other items of the last listing.
    std::unordered_map<std::u16string, Node> nodes;
    std::unordered_map<std::u16string, Node> children;

    ~State() {
        for (Volume& volume : volumes) {
            volume.records.reset();  // its $MFT handle belongs to the file system
            if (volume.fs != nullptr) {
                tsk_fs_close(volume.fs);
            }
        }
        for (Image& image : images) {
            if (image.vs != nullptr) {
                tsk_vs_close(image.vs);
            }
            tsk_img_close(image.img);
        }
    }

    // Whether `path` lies in an opened image (IMAGE//...).
    bool owns(const std::u16string& path) const {
        return std::any_of(images.begin(), images.end(), [&](const Image& known) {
            const std::size_t size = known.path.size();
            return path.size() >= size + 2 && path[size] == u'/' && path[size + 1] == u'/' &&
                   sameText(std::u16string_view(path).substr(0, size), known.path);
        });
    }

    // The volume `path` lies in (its root or below), or kNoVolume.
    std::size_t volumeOf(const std::u16string& path) const {
        const auto holds = [&](std::size_t i) {
            const std::u16string& root = volumes[i].root;
            return path.size() >= root.size() &&
                   (path.size() == root.size() || path[root.size()] == u'/') &&
                   sameText(std::u16string_view(path).substr(0, root.size()), root);
        };
        // The walk stays in one volume for long: the one found last is asked first.
        if (lastVolume < volumes.size() && holds(lastVolume)) {
            return lastVolume;
        }
        for (std::size_t i = 0; i < volumes.size(); ++i) {
            if (holds(i)) {
                lastVolume = i;
                return i;
            }
        }
        return kNoVolume;
    }

    // The error for a path this port owns but cannot reach.
    std::uint32_t missing(const std::u16string& path) const {
        for (const Volume& volume : volumes) {
            if (volume.root == path && volume.fs == nullptr) {
                return volume.looksLikeNtfs ? kErrorFileCorrupt : kErrorUnrecognizedVolume;
            }
        }
        return kErrorPathNotFound;
    }

    // Makes the one pass over the volume's $MFT, once.
    void buildIndex(Volume& volume) {
        if (volume.indexTried || volume.records == nullptr) {
            return;
        }
        volume.indexTried = true;
        volume.index = readVolumeIndex(volume.fs, includeDeleted);
        orphans += volume.index ? volume.index->orphans : 0;
    }

    // The node of entry `entry` of indexed volume `index`.
    Node indexedNode(std::size_t index, std::uint32_t entry) const {
        const VolumeIndex& tree = *volumes[index].index;
        const IndexedEntry& named = tree.entry(entry);
        return Node{index,         static_cast<TSK_INUM_T>(tree.itemOf(entry).entry),
                    named.deleted, std::nullopt,
                    named.system,  entry};
    }

    // Whether `path` names the entry the last indexed listing handed out, the
    // item the walk asks about right after listing it: then no step of the
    // path is looked up again. A folder that names an item twice is left to
    // the lookup, which finds the first of the two.
    bool reachCurrent(const std::u16string& path, Node& node) const {
        if (lastFolder.current == 0 || lastFolder.volume >= volumes.size() ||
            !volumes[lastFolder.volume].index) {
            return false;
        }
        const VolumeIndex& tree = *volumes[lastFolder.volume].index;
        const std::u16string_view name = tree.nameOf(lastFolder.current);
        const std::size_t folderSize = lastFolder.path.size();
        if (tree.entry(lastFolder.current).folder != tree.entry(lastFolder.entry).item ||
            tree.itemOf(lastFolder.entry).namesTwice ||
            path.size() != folderSize + 1 + name.size() || path[folderSize] != u'/' ||
            !sameText(std::u16string_view(path).substr(folderSize + 1), name) ||
            !sameText(std::u16string_view(path).substr(0, folderSize), lastFolder.path)) {
            return false;
        }
        node = indexedNode(lastFolder.volume, lastFolder.current);
        return true;
    }

    // The entry of a path below an indexed volume's root, step by step from it,
    // or from the folder listed last when the path lies in it (the walk asks
    // for the streams of each item it lists).
    std::uint32_t reachIndexed(std::size_t index, const std::u16string& path, Node& node) const {
        const Volume& volume = volumes[index];
        std::uint32_t entry = 0;
        std::size_t at = volume.root.size();
        if (lastFolder.volume == index && path.size() > lastFolder.path.size() &&
            path[lastFolder.path.size()] == u'/' &&
            path.find(u'/', lastFolder.path.size() + 1) == std::u16string::npos &&
            path.compare(0, lastFolder.path.size(), lastFolder.path) == 0) {
            entry = lastFolder.entry;
            at = lastFolder.path.size();
        }
        while (at < path.size()) {
            const std::size_t next = std::min(path.find(u'/', at + 1), path.size());
            const std::optional<std::uint32_t> found =
                volume.index->child(entry, std::u16string_view(path).substr(at + 1, next - at - 1));
            if (!found) {
                return next == path.size() ? kErrorFileNotFound : kErrorPathNotFound;
            }
            entry = *found;
            at = next;
        }
        node = indexedNode(index, entry);
        return kErrorSuccess;
    }

    // The node of a path this port owns: 0, or the error for one it cannot
    // reach. Through the folder walk, a path met before the last listing (a
    // report or an extraction after the scan) is found again by reading its folder.
    std::uint32_t reach(const std::u16string& path, Node& node) {
        if (reachCurrent(path, node)) {
            return kErrorSuccess;
        }
        const std::size_t index = volumeOf(path);
        if (index != kNoVolume && volumes[index].index) {
            return reachIndexed(index, path, node);
        }
        for (const auto* table : {&children, &nodes}) {
            const auto found = table->find(path);
            if (found != table->end()) {
                node = found->second;
                return kErrorSuccess;
            }
        }
        const std::u16string parent = parentPath(path, PathStyle::image);
        Node folder{};
        if (parent == path || !owns(parent) || reach(parent, folder) != kErrorSuccess) {
            return missing(path);
        }
        std::vector<LibraryItem> kept;
        bool damaged = false;
        Volume& volume = volumes[folder.volume];
        if (readFolder(volume.fs, volume.records.get(),
                       LibraryFolder{folder.addr, folder.deleted, folder.system}, includeDeleted,
                       kept, damaged) != kErrorSuccess) {
            return kErrorPathNotFound;
        }
        const std::u16string leaf = leafName(path, PathStyle::image);
        for (LibraryItem& item : kept) {
            if (item.name == leaf) {
                node = Node{folder.volume, item.addr,   item.deleted || folder.deleted,
                            std::nullopt,  item.system, std::nullopt};
                return kErrorSuccess;
            }
        }
        return kErrorFileNotFound;
    }

    // Hands the streams of `node` at `hostPath` over as a listing: 0 with the
    // first, kErrorHandleEof when there is none, or the error they ended with.
    std::uint32_t handOverStreams(const std::u16string& hostPath, const Node& node, StreamList list,
                                  StreamEntry& first,
                                  std::unique_ptr<StreamListing>& listing) const {
        if (node.system) {
            const std::u16string& root = volumes[node.volume].root;
            const std::u16string_view inVolume =
                std::u16string_view(hostPath).substr(root.size() + 1);
            for (StreamEntry& entry : list.entries) {
                entry.onFileSystemFile = true;
                entry.ownedByFileSystem = isFileSystemStream(inVolume, entry.streamName);
            }
        }
        if (list.entries.empty()) {
            return list.error == kErrorSuccess ? kErrorHandleEof : list.error;
        }
        first = std::move(list.entries.front());  // the listing hands out from the second on
        listing = std::make_unique<VectorStreamListing>(
            std::move(list.entries), list.error == kErrorSuccess ? kErrorHandleEof : list.error);
        return kErrorSuccess;
    }

    // `missingPart`: what the container lacks of it, or empty.
    void addVolume(Image& image, FoundVolume found, const std::u16string& missingPart) {
        Volume volume;
        volume.root = std::move(found.root);
        volume.fs = found.fs;
        volume.looksLikeNtfs = found.looksLikeNtfs;
        volume.info.known = true;
        volume.info.missingPart = missingPart;
        TSK_FS_INFO* fs = found.fs;
        if (fs != nullptr && fs->last_block_act < fs->last_block && missingPart.empty()) {
            volume.info.missingPart = u"the image ends before the volume does";
        }
        if (fs != nullptr) {
            volume.info.namedStreams = TSK_FS_TYPE_ISNTFS(fs->ftype) != 0;
            volume.info.fileSystemName = fileSystemNameOf(fs->ftype);
            nodes[volume.root] =
                Node{volumes.size(), fs->root_inum, false, std::nullopt, false, std::nullopt};
            if (TSK_FS_TYPE_ISNTFS(fs->ftype) != 0) {
                volume.records = std::make_unique<RecordReader>(fs);
            }
        } else if (!found.looksLikeNtfs) {
            volume.info.notRecognised = true;
            volume.info.fileSystemName = found.seen;
        }
        image.volumes.push_back(volumes.size());
        volumes.push_back(std::move(volume));
    }
};

ImageFileSystem::ImageFileSystem(FileSystem& host, bool includeDeleted)
    : host(host), state(std::make_unique<State>()) {
    state->includeDeleted = includeDeleted;
}

ImageFileSystem::~ImageFileSystem() = default;

ImageOpening ImageFileSystem::openImage(const std::u16string& imagePath, std::uint32_t partition) {
    ImageOpening opening;
    const std::u16string path = imagePathForm(host.fullPath(imagePath));
    State::Image* image = nullptr;
    for (State::Image& known : state->images) {
        if (known.path == path) {
            image = &known;
        }
    }
    if (image == nullptr) {
        ItemFacts facts;
        const std::uint32_t error = host.itemFacts(path, facts);
        if (error == kErrorFileNotFound || error == kErrorPathNotFound) {
            opening.error = u"no such file or device";
            return opening;
        }
        if (error != kErrorSuccess) {
            opening.error = u"the image could not be opened: " + WindowsErrorText(error);
            return opening;
        }
        if ((facts.attributes & kAttributeDirectory) != 0) {
            opening.error = u"this is a folder, not a disk image or device";
            return opening;
        }
        const std::string bytes = encodeName(path);
        const TSK_IMG_TYPE_ENUM type = containerType(bytes);
        TSK_IMG_INFO* img = type == TSK_IMG_TYPE_EXTERNAL
                                ? openQcowImage(bytes)
                                : tsk_img_open_utf8_sing(bytes.c_str(), type, 0);
        if (img == nullptr) {
            opening.error = u"the image could not be opened: " + libraryError();
            return opening;
        }
        state->images.push_back(State::Image{path, img, nullptr, {}, 0, {}});
        image = &state->images.back();
        std::u16string missing;
        if (img->itype == TSK_IMG_TYPE_EWF_EWF) {
            const std::string segment = missingSegment(bytes);
            if (!segment.empty()) {
                missing =
                    u"the evidence set is incomplete: " + decodeName(segment) + u" is missing";
            }
        }
        FoundPartitions found = findVolumes(img, path);
        image->vs = found.vs;
        for (FoundVolume& volume : found.volumes) {
            if (volume.reserved) {
                image->volumes.push_back(kNoVolume);
                image->reserved.push_back(volume.root);
            } else {
                state->addVolume(*image, std::move(volume), missing);
            }
        }
        image->partitionCount =
            image->vs != nullptr ? static_cast<std::uint32_t>(image->volumes.size()) : 0;
    }

    const auto isVolume = [](std::size_t index) { return index != kNoVolume; };
    if (std::none_of(image->volumes.begin(), image->volumes.end(), isVolume)) {
        opening.error = u"no file system this can read was found in the image";
        return opening;
    }
    if (partition == kEveryPartition) {
        for (std::size_t index : image->volumes) {
            if (isVolume(index)) {
                opening.roots.push_back(state->volumes[index].root);
            }
        }
        for (const std::u16string& root : image->reserved) {
            opening.notes.push_back(root + u": " + kReservedNote);
        }
        return opening;
    }
    if (image->vs == nullptr) {
        opening.error = u"the image has no partition table, so no partition " + decimal(partition);
    } else if (partition == 0 || partition > image->partitionCount) {
        opening.error = u"the image has no partition " + decimal(partition) + u" (it has " +
                        decimal(image->partitionCount) + u")";
    } else if (!isVolume(image->volumes[partition - 1])) {
        opening.error = u"partition " + decimal(partition) + u" is " + kReservedNote;
    } else {
        opening.roots.push_back(state->volumes[image->volumes[partition - 1]].root);
    }
    return opening;
}

std::vector<ImageLayout> ImageFileSystem::layouts() const {
    std::vector<ImageLayout> result;
    for (const State::Image& image : state->images) {
        result.push_back(readLayout(image.path, image.img, image.vs));
    }
    return result;
}

std::uint64_t ImageFileSystem::orphans() const {
    return state->orphans;
}

std::u16string ImageFileSystem::fullPath(const std::u16string& path) {
    return state->owns(path) ? path : host.fullPath(path);
}

VolumeInfo ImageFileSystem::queryVolume(const std::u16string& path) {
    if (!state->owns(path)) {
        return host.queryVolume(path);
    }
    for (const State::Volume& volume : state->volumes) {
        if (path == volume.root || (path.size() > volume.root.size() &&
                                    path.compare(0, volume.root.size(), volume.root) == 0 &&
                                    path[volume.root.size()] == u'/')) {
            return volume.fs == nullptr && volume.looksLikeNtfs ? VolumeInfo() : volume.info;
        }
    }
    return {};
}

std::uint32_t ImageFileSystem::itemFacts(const std::u16string& path, ItemFacts& facts) {
    if (!state->owns(path)) {
        return host.itemFacts(path, facts);
    }
    State::Node node{};
    const std::uint32_t error = state->reach(path, node);
    if (error != kErrorSuccess) {
        return error;
    }
    const State::Volume& volume = state->volumes[node.volume];
    if (node.entry) {
        facts =
            indexedFacts(*volume.index, *node.entry, static_cast<std::uint64_t>(volume.fs->offset));
        facts.deleted = node.deleted;
        return kErrorSuccess;
    }
    const FileHandle file(tsk_fs_file_open_meta(volume.fs, nullptr, node.addr));
    if (!file) {
        tsk_error_reset();
        return kErrorFileCorrupt;
    }
    facts = factsOf(file.get(), TSK_FS_NAME_TYPE_UNDEF);
    facts.deleted = node.deleted;
    return kErrorSuccess;
}

std::uint32_t ImageFileSystem::plainAttributes(const std::u16string& path,
                                               std::uint32_t& attributes) {
    if (!state->owns(path)) {
        return host.plainAttributes(path, attributes);
    }
    ItemFacts facts;
    const std::uint32_t error = itemFacts(path, facts);
    attributes = facts.attributes;
    return error;
}

std::uint32_t ImageFileSystem::startListing(const std::u16string& folder, DirectoryEntry& first,
                                            std::unique_ptr<DirectoryListing>& listing) {
    if (!state->owns(folder)) {
        return host.startListing(folder, first, listing);
    }
    const std::size_t index = state->volumeOf(folder);
    if (index != kNoVolume && state->volumes[index].root == folder) {
        state->buildIndex(state->volumes[index]);
    }
    State::Node node{};
    std::uint32_t error = state->reach(folder, node);
    if (error != kErrorSuccess) {
        return error;
    }
    State::Volume& volume = state->volumes[node.volume];
    // A folder has one parent in NTFS; meeting it twice means the index loops
    // or a folder has two names, and listing it again could go on for ever.
    const std::uint64_t key = node.entry ? volume.index->itemOf(*node.entry).entry : node.addr;
    if (!volume.listedFolders.insert(key).second) {
        return kErrorFileCorrupt;
    }
    if (node.entry) {
        state->lastFolder = {node.volume, folder, *node.entry, 0};
        // Records the pass could not read are damage the root's listing ends with.
        return startIndexedListing(*volume.index, *node.entry,
                                   static_cast<std::uint64_t>(volume.fs->offset),
                                   *node.entry == 0 && volume.index->damagedRecords > 0,
                                   state->lastFolder.current, first, listing);
    }
    std::vector<LibraryItem> kept;
    bool damaged = false;
    error = readFolder(volume.fs, volume.records.get(),
                       LibraryFolder{node.addr, node.deleted, node.system}, state->includeDeleted,
                       kept, damaged);
    if (error != kErrorSuccess) {
        return error;
    }
    if (kept.empty()) {
        return damaged ? kErrorFileCorrupt : kErrorFileNotFound;  // or an empty folder
    }

    // Folders stay known for the walk's descent; the other items only until
    // the next listing, so the table the walk asks stays small.
    state->children.clear();
    std::vector<ListedEntry> entries;
    entries.reserve(kept.size());
    for (LibraryItem& item : kept) {
        auto& table =
            (item.facts.attributes & kAttributeDirectory) != 0 ? state->nodes : state->children;
        table[joinPath(folder, item.name, PathStyle::image)] = State::Node{
            node.volume, item.addr,   item.deleted || node.deleted, std::move(item.streams),
            item.system, std::nullopt};
        item.facts.deleted = item.deleted || node.deleted;
        entries.push_back(ListedEntry{std::move(item.name), item.facts});
    }
    first = DirectoryEntry{entries.front().name, entryKindOf(entries.front().facts.attributes)};
    listing = std::make_unique<VectorListing>(std::move(entries),
                                              damaged ? kErrorFileCorrupt : kErrorNoMoreFiles);
    return kErrorSuccess;
}

std::uint32_t ImageFileSystem::startStreams(const std::u16string& hostPath, StreamEntry& first,
                                            std::unique_ptr<StreamListing>& listing) {
    StreamList list;
    State::Node node{};
    if (state->reachCurrent(hostPath, node)) {
        const VolumeIndex& index = *state->volumes[node.volume].index;
        if (!node.system) {
            return startIndexedStreams(index, *node.entry, first, listing);
        }
        return state->handOverStreams(hostPath, node, indexedStreams(index, *node.entry), first,
                                      listing);
    }
    if (!state->owns(hostPath)) {
        return host.startStreams(hostPath, first, listing);
    }
    State::Node* known = nullptr;
    // What the folder walk kept; a volume read in one pass keeps nothing there.
    const std::size_t index = state->volumeOf(hostPath);
    for (auto* table : {&state->children, &state->nodes}) {
        if (index != kNoVolume && state->volumes[index].index) {
            break;
        }
        const auto found = table->find(hostPath);
        if (found != table->end()) {
            known = &found->second;
            break;
        }
    }
    if (known != nullptr && known->streams.has_value()) {
        node.volume = known->volume;
        node.system = known->system;
        list = std::move(*known->streams);
        known->streams.reset();
    } else {
        const std::uint32_t error = state->reach(hostPath, node);
        if (error != kErrorSuccess) {
            return error;
        }
        State::Volume& volume = state->volumes[node.volume];
        if (node.entry) {
            list = indexedStreams(*volume.index, *node.entry);
        } else {
            const FileHandle file(tsk_fs_file_open_meta(volume.fs, nullptr, node.addr));
            tsk_error_reset();
            list = streamsOf(volume.records.get(), file.get(), node.addr);
        }
    }
    return state->handOverStreams(hostPath, node, std::move(list), first, listing);
}

std::uint32_t ImageFileSystem::openStream(const std::u16string& hostPath,
                                          const std::u16string& name, const std::u16string& type,
                                          bool hostIsFolder,
                                          std::unique_ptr<StreamReader>& reader) {
    if (!state->owns(hostPath)) {
        return host.openStream(hostPath, name, type, hostIsFolder, reader);
    }
    if (!type.empty() && !equalsAsciiNoCase(type, u"$DATA")) {
        return kErrorFileNotFound;
    }
    State::Node node{};
    const std::uint32_t error = state->reach(hostPath, node);
    if (error != kErrorSuccess) {
        return error;
    }
    State::Volume& volume = state->volumes[node.volume];
    return openLibraryStream(volume.fs, volume.records.get(), node.addr, name, reader);
}

std::uint32_t ImageFileSystem::deleteStream(const std::u16string& hostPath,
                                            const std::u16string& name,
                                            const std::u16string& type) {
    if (!state->owns(hostPath)) {
        return host.deleteStream(hostPath, name, type);
    }
    return kErrorWriteProtect;  // an image is evidence
}

std::uint32_t ImageFileSystem::createFile(const std::u16string& path,
                                          std::unique_ptr<FileWriter>& writer) {
    if (!state->owns(path)) {
        return host.createFile(path, writer);
    }
    return kErrorWriteProtect;
}

std::uint32_t ImageFileSystem::deleteFile(const std::u16string& path) {
    if (!state->owns(path)) {
        return host.deleteFile(path);
    }
    return kErrorWriteProtect;
}

void ImageFileSystem::scanEnded() {
    state->lastFolder = {};
    for (State::Volume& volume : state->volumes) {
        volume.listedFolders.clear();
        volume.index.reset();
        volume.indexTried = false;
    }
    state->children.clear();
    // Only the roots stay known to the walk.
    for (auto it = state->nodes.begin(); it != state->nodes.end();) {
        it = state->volumeOf(it->first) != kNoVolume &&
                     state->volumes[state->volumeOf(it->first)].root == it->first
                 ? std::next(it)
                 : state->nodes.erase(it);
    }
    host.scanEnded();
}

}  // namespace streamscan
