#include "engine/image/image_file_system.h"

#include <fcntl.h>
#include <tsk/libtsk.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

#include "engine/image/record_streams.h"
#include "engine/path_forms.h"
#include "engine/removal.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

constexpr char16_t kMarker[] = u"//";
// MFT records below this number are the file system's own (reserved) files.
constexpr TSK_INUM_T kFirstUserRecord = 24;
// The standard information attribute: modification time at 8, DOS flags at 32.
constexpr std::size_t kSiModifiedOffset = 8;
constexpr std::size_t kSiFlagsOffset = 32;
// Bits of the standard information flags that Win32 attributes carry.
constexpr std::uint32_t kSiAttributeMask = 0x0FFFFFFF;
// Seconds from 1601-01-01 (FILETIME) to 1970-01-01 (time_t).
constexpr std::uint64_t kUnixEpochSeconds = 11644473600ULL;

std::uint64_t littleEndian(const std::uint8_t* bytes, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = count; i > 0; --i) {
        value = (value << 8) | bytes[i - 1];
    }
    return value;
}

std::u16string nameOf(const char* utf8) {
    return utf8 == nullptr ? std::u16string() : decodeName(utf8);
}

// TSK's message for its last error, one line.
std::u16string libraryError() {
    const char* text = tsk_error_get();
    std::u16string message = text == nullptr ? std::u16string() : decodeName(text);
    tsk_error_reset();
    for (char16_t& c : message) {
        if (c == u'\n' || c == u'\r') {
            c = u' ';
        }
    }
    while (!message.empty() && message.back() == u' ') {
        message.pop_back();
    }
    return message;
}

std::u16string fileSystemNameOf(TSK_FS_TYPE_ENUM type) {
    switch (type) {
        case TSK_FS_TYPE_NTFS:
            return u"NTFS";
        case TSK_FS_TYPE_FAT12:
            return u"FAT12";
        case TSK_FS_TYPE_FAT16:
            return u"FAT16";
        case TSK_FS_TYPE_FAT32:
            return u"FAT32";
        case TSK_FS_TYPE_EXFAT:
            return u"exFAT";
        default:
            return decodeName(tsk_fs_type_toname(type));
    }
}

// The library keeps an attribute's type as the volume wrote it, so the field may
// hold a number its enumeration lacks; it is read as that number.
std::uint32_t attributeTypeOf(const TSK_FS_ATTR* attribute) {
    std::underlying_type_t<TSK_FS_ATTR_TYPE_ENUM> type;
    std::memcpy(&type, &attribute->type, sizeof type);
    return static_cast<std::uint32_t>(type);
}

bool isDataAttribute(const TSK_FS_ATTR* attribute) {
    return attribute != nullptr && attributeTypeOf(attribute) == TSK_FS_ATTR_TYPE_NTFS_DATA;
}

// The library gives the unnamed $DATA no name; a stream named "$Data" has one.
bool isUnnamedData(const TSK_FS_ATTR* attribute) {
    return attribute->name == nullptr || attribute->name[0] == '\0';
}

// A stream's name as a listing gives it: "::$DATA" for the unnamed one.
std::u16string listedName(const std::u16string& name) {
    return name.empty() ? std::u16string(u"::$DATA") : u":" + name + u":$DATA";
}

// Every $DATA of the item as a listing names it; nothing when the library
// cannot load the item's attributes.
std::optional<std::vector<StreamEntry>> dataStreamsOf(TSK_FS_FILE* file) {
    std::vector<StreamEntry> entries;
    if (file->meta == nullptr) {
        return entries;
    }
    const int count = tsk_fs_file_attr_getsize(file);
    if (count < 0) {
        tsk_error_reset();
        return std::nullopt;
    }
    for (int i = 0; i < count; ++i) {
        const TSK_FS_ATTR* attribute = tsk_fs_file_attr_get_idx(file, i);
        if (!isDataAttribute(attribute)) {
            continue;
        }
        StreamEntry entry;
        entry.name =
            listedName(isUnnamedData(attribute) ? std::u16string() : nameOf(attribute->name));
        entry.size = attribute->size > 0 ? static_cast<std::uint64_t>(attribute->size) : 0;
        entry.attributeId = attribute->id;
        entries.push_back(std::move(entry));
    }
    tsk_error_reset();
    return entries;
}

ItemFacts factsOf(TSK_FS_FILE* file, TSK_FS_NAME_TYPE_ENUM nameType) {
    ItemFacts facts;
    const TSK_FS_META* meta = file->meta;
    if (meta != nullptr && file->fs_info != nullptr) {
        // The volume by where it starts on the disk, the item by its record.
        facts.identity = ItemIdentity{
            static_cast<std::uint64_t>(file->fs_info->offset),
            static_cast<std::uint64_t>(meta->addr) | static_cast<std::uint64_t>(meta->seq) << 48,
            true};
    }
    const bool folder =
        meta != nullptr ? TSK_FS_IS_DIR_META(meta->type) : nameType == TSK_FS_NAME_TYPE_DIR;
    bool fromStandardInformation = false;
    if (meta != nullptr) {
        const int count = tsk_fs_file_attr_getsize(file);
        for (int i = 0; i < count; ++i) {
            const TSK_FS_ATTR* attribute = tsk_fs_file_attr_get_idx(file, i);
            if (attribute == nullptr || attributeTypeOf(attribute) != TSK_FS_ATTR_TYPE_NTFS_SI ||
                (attribute->flags & TSK_FS_ATTR_RES) == 0 || attribute->rd.buf == nullptr ||
                attribute->rd.buf_size < kSiFlagsOffset + 4 ||
                attribute->size < static_cast<TSK_OFF_T>(kSiFlagsOffset + 4)) {
                continue;
            }
            facts.lastWrite = littleEndian(attribute->rd.buf + kSiModifiedOffset, 8);
            facts.attributes = static_cast<std::uint32_t>(
                littleEndian(attribute->rd.buf + kSiFlagsOffset, 4) & kSiAttributeMask);
            fromStandardInformation = true;
            break;
        }
        if (!fromStandardInformation && meta->mtime >= 0) {
            facts.lastWrite =
                (static_cast<std::uint64_t>(meta->mtime) + kUnixEpochSeconds) * 10000000ULL +
                meta->mtime_nano / 100;
        }
        if (!folder && meta->size > 0) {
            facts.size = static_cast<std::uint64_t>(meta->size);
        }
    }
    tsk_error_reset();
    if (folder) {
        facts.attributes |= kAttributeDirectory;
    } else {
        facts.attributes &= ~kAttributeDirectory;
    }
    if (facts.attributes == 0) {
        facts.attributes = kAttributeNormal;  // as a Windows listing reports a plain file
    }
    return facts;
}

// An item's streams as a listing gives them, and the error it ends with.
struct StreamList {
    std::uint32_t error = kErrorSuccess;
    std::vector<StreamEntry> entries;
};

// Whether the library's streams of an item include every stream its records declare.
bool lacksNone(const std::vector<StreamEntry>& listed, const DeclaredStreams& declared) {
    return std::all_of(declared.streams.begin(), declared.streams.end(),
                       [&](const DeclaredStream& stream) {
                           const std::u16string name = listedName(stream.name);
                           return std::any_of(listed.begin(), listed.end(),
                                              [&](const StreamEntry& e) { return e.name == name; });
                       });
}

// The name of a deleted item whose own name another item of its folder holds:
// "notes.txt (deleted, record 68)", numbered on should that be taken too.
std::u16string deletedName(const std::u16string& name, TSK_INUM_T record, std::uint32_t copy) {
    std::u16string text = name + u" (deleted, record " + widenAscii(std::to_string(record));
    if (copy > 1) {
        text += u", " + widenAscii(std::to_string(copy));
    }
    return text + u")";
}

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

bool isFileSystemStream(std::u16string_view file, const std::u16string& listed) {
    return std::any_of(std::begin(kFileSystemStreams), std::end(kFileSystemStreams),
                       [&](const FileSystemStream& own) {
                           return own.file == file && listed.size() == own.stream.size() + 7 &&
                                  listed.compare(1, own.stream.size(), own.stream) == 0 &&
                                  listed.compare(1 + own.stream.size(), 6, u":$DATA") == 0;
                       });
}

struct FileCloser {
    void operator()(TSK_FS_FILE* file) const { tsk_fs_file_close(file); }
};
using FileHandle = std::unique_ptr<TSK_FS_FILE, FileCloser>;

struct DirCloser {
    void operator()(TSK_FS_DIR* dir) const { tsk_fs_dir_close(dir); }
};

// A folder's entries with their facts, read whole from the folder's index.
struct ListedEntry {
    std::u16string name;
    ItemFacts facts;
};

class VectorListing final : public DirectoryListing {
  public:
    VectorListing(std::vector<ListedEntry> entries, std::uint32_t endError)
        : entries(std::move(entries)), endError(endError) {}
    std::uint32_t next(DirectoryEntry& entry) override {
        if (position + 1 >= entries.size()) {
            return endError;
        }
        ++position;
        entry =
            DirectoryEntry{entries[position].name, entryKindOf(entries[position].facts.attributes)};
        return kErrorSuccess;
    }
    std::uint32_t entryFacts(ItemFacts& facts) override {
        facts = entries[position].facts;
        return kErrorSuccess;
    }

  private:
    std::vector<ListedEntry> entries;
    std::uint32_t endError;
    std::size_t position = 0;  // the first went out with the start
};

class VectorStreamListing final : public StreamListing {
  public:
    VectorStreamListing(std::vector<StreamEntry> entries, std::uint32_t endError)
        : entries(std::move(entries)), endError(endError) {}
    std::uint32_t next(StreamEntry& entry) override {
        if (position >= entries.size()) {
            return endError;
        }
        entry = std::move(entries[position++]);
        return kErrorSuccess;
    }

  private:
    std::vector<StreamEntry> entries;
    std::uint32_t endError;
    std::size_t position = 1;
};

class AttributeReader final : public StreamReader {
  public:
    AttributeReader(FileHandle file, const TSK_FS_ATTR* attribute)
        : file(std::move(file)), attribute(attribute) {}
    std::uint32_t read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) override {
        got = 0;
        if (offset >= attribute->size || size == 0) {
            return kErrorSuccess;
        }
        const TSK_OFF_T left = attribute->size - offset;
        const std::size_t want =
            left < static_cast<TSK_OFF_T>(size) ? static_cast<std::size_t>(left) : size;
        const ssize_t read = tsk_fs_attr_read(attribute, offset, reinterpret_cast<char*>(buffer),
                                              want, TSK_FS_FILE_READ_FLAG_NONE);
        if (read <= 0) {
            tsk_error_reset();
            return kErrorFileCorrupt;
        }
        offset += read;
        got = static_cast<std::uint32_t>(read);
        return kErrorSuccess;
    }

  private:
    FileHandle file;
    const TSK_FS_ATTR* attribute;
    TSK_OFF_T offset = 0;
};

}  // namespace

struct ImageFileSystem::State {
    struct Volume {
        std::u16string root;
        TSK_FS_INFO* fs = nullptr;   // null: no file system could be opened
        bool looksLikeNtfs = false;  // then a failure to open is damage, not absence
        VolumeInfo info;
        std::unordered_set<TSK_INUM_T> listedFolders;
        std::unique_ptr<RecordReader> records;  // NTFS: what the library cannot give
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
    struct Node {
        std::size_t volume;
        TSK_INUM_T addr;
        bool deleted;
        // The streams, read with the listing that met the item (which had its
        // record open), until the walk asks for them once.
        std::optional<StreamList> streams;
        bool system = false;  // one of the file system's own files or folders
    };

    struct Found {
        ListedEntry entry;
        TSK_INUM_T addr;
        bool deleted;
        std::optional<StreamList> streams;
        bool system = false;
    };

    bool includeDeleted = false;
    std::vector<Image> images;
    std::vector<Volume> volumes;
    std::unordered_map<std::u16string, Node> nodes;     // roots and folders
    std::unordered_map<std::u16string, Node> children;  // the other items of the last listing

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
        const std::size_t marker = path.find(kMarker);
        if (marker == std::u16string::npos || marker == 0) {
            return false;
        }
        const std::u16string_view image = std::u16string_view(path).substr(0, marker);
        return std::any_of(images.begin(), images.end(),
                           [&](const Image& known) { return known.path == image; });
    }

    const Volume* volumeWithRoot(const std::u16string& path) const {
        for (const Volume& volume : volumes) {
            if (volume.root == path) {
                return &volume;
            }
        }
        return nullptr;
    }

    // The error for a path this port owns but cannot reach.
    std::uint32_t missing(const std::u16string& path) const {
        const Volume* volume = volumeWithRoot(path);
        if (volume != nullptr && volume->fs == nullptr) {
            return volume->looksLikeNtfs ? kErrorFileCorrupt : kErrorUnrecognizedVolume;
        }
        return kErrorPathNotFound;
    }

    // The node of a path this port owns: 0, or the error for one it cannot
    // reach. A path met before the last listing (a report or an extraction
    // after the scan) is found again by reading its folder.
    std::uint32_t reach(const std::u16string& path, Node& node) {
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
        std::vector<Found> kept;
        bool damaged = false;
        if (readFolder(folder, kept, damaged) != kErrorSuccess) {
            return kErrorPathNotFound;
        }
        const std::u16string leaf = leafName(path, PathStyle::image);
        for (Found& item : kept) {
            if (item.entry.name == leaf) {
                node = Node{folder.volume, item.addr, item.deleted || folder.deleted, std::nullopt,
                            item.system};
                return kErrorSuccess;
            }
        }
        return kErrorFileNotFound;
    }
    // Reads a folder's entries as the port lists them: 0, or the error.
    // `damaged` says that the folder names an item twice.
    std::uint32_t readFolder(const Node& node, std::vector<Found>& kept, bool& damaged) {
        Volume& volume = volumes[node.volume];
        const std::unique_ptr<TSK_FS_DIR, DirCloser> dir(
            tsk_fs_dir_open_meta(volume.fs, node.addr));
        if (!dir) {
            tsk_error_reset();
            return kErrorFileCorrupt;
        }
        std::vector<Found> live;
        std::vector<Found> deleted;
        const bool ntfs = TSK_FS_TYPE_ISNTFS(volume.fs->ftype) != 0;
        const std::size_t count = tsk_fs_dir_getsize(dir.get());
        for (std::size_t i = 0; i < count; ++i) {
            const FileHandle file(tsk_fs_dir_get(dir.get(), i));
            if (!file || file->name == nullptr || file->name->name == nullptr) {
                tsk_error_reset();
                continue;
            }
            const TSK_FS_NAME& name = *file->name;
            const std::string_view text(name.name);
            if (text.empty() || text == "." || text == "..") {
                continue;
            }
            // The library's own virtual entries and the file system's reserved files
            // are not items a listing of the volume shows.
            if (name.type == TSK_FS_NAME_TYPE_VIRT || name.type == TSK_FS_NAME_TYPE_VIRT_DIR ||
                (file->meta != nullptr && (file->meta->type == TSK_FS_META_TYPE_VIRT ||
                                           file->meta->type == TSK_FS_META_TYPE_VIRT_DIR))) {
                continue;
            }
            // The file system's own files sit in the root under $ names, and
            // everything in their folders is theirs too. They are items like any
            // other, so that a stream hidden on one is found.
            const bool system =
                node.system || (ntfs && name.meta_addr < kFirstUserRecord &&
                                node.addr == volume.fs->root_inum && text[0] == '$');
            const bool gone = (name.flags & TSK_FS_NAME_FLAG_UNALLOC) != 0;
            FileHandle record;
            if (gone) {
                if (!includeDeleted) {
                    continue;
                }
                // The library leaves a deleted name's record unread; it still
                // describes the deleted item only while it is free and not taken by
                // a later file (NTFS counts the sequence up once when it frees it).
                record.reset(tsk_fs_file_open_meta(volume.fs, nullptr, name.meta_addr));
                if (!record || record->meta == nullptr ||
                    (record->meta->flags & TSK_FS_META_FLAG_UNALLOC) == 0 ||
                    (ntfs && record->meta->seq != name.meta_seq &&
                     record->meta->seq != name.meta_seq + 1)) {
                    tsk_error_reset();
                    continue;
                }
            }
            TSK_FS_FILE* const described = gone ? record.get() : file.get();
            std::u16string shown = decodeName(text);
            // The library writes a lone surrogate in a name as '^'; the record
            // holds the name as it is.
            if (ntfs && volume.records && shown.find(u'^') != std::u16string::npos) {
                shown = volume.records->exactName(name.meta_addr, node.addr, shown);
            }
            Found item{ListedEntry{std::move(shown), factsOf(described, name.type)}, name.meta_addr,
                       gone, std::nullopt, system};
            if (described->meta != nullptr) {
                item.streams = streamsOf(volume, described, described->meta->addr);
            }
            (gone ? deleted : live).push_back(std::move(item));
        }
        tsk_error_reset();

        // One path names one item. A name the folder holds twice is damage (the
        // library also offers files whose record names this folder as parent), so
        // the listing ends with an error after the first. Deleted items are told
        // apart by their record: a record met twice (the folder's index keeps old
        // copies of entries) is one item, and one whose name is taken by another
        // gets a name that says which record it is.
        std::unordered_set<std::u16string> taken;
        for (Found& item : live) {
            if (taken.insert(item.entry.name).second) {
                kept.push_back(std::move(item));
            } else {
                damaged = true;
            }
        }
        std::unordered_set<std::uint64_t> deletedRecords;
        for (Found& item : deleted) {
            if (!deletedRecords.insert(item.entry.facts.identity.file).second) {
                continue;
            }
            const std::u16string stored = item.entry.name;
            for (std::uint32_t copy = 1; !taken.insert(item.entry.name).second; ++copy) {
                item.entry.name = deletedName(stored, item.addr, copy);
            }
            kept.push_back(std::move(item));
        }
        return kErrorSuccess;
    }

    // The streams of an item whose record is open. The library drops an NTFS
    // attribute it cannot load (a sparse run longer than the volume) and those
    // after it, and says nothing; so the item's records are read too, and where
    // they declare a stream the library lacks, the streams are listed from their
    // headers, with their declared sizes.
    // `file` may be null where the library refuses to open record `addr`.
    StreamList streamsOf(Volume& volume, TSK_FS_FILE* file, TSK_INUM_T addr) {
        StreamList list;
        std::optional<std::vector<StreamEntry>> entries;
        if (file != nullptr) {
            entries = dataStreamsOf(file);
        }
        if (!volume.records) {
            list.error = entries ? kErrorSuccess : kErrorFileCorrupt;
            list.entries = std::move(entries).value_or(std::vector<StreamEntry>());
            return list;
        }
        DeclaredStreams declared = volume.records->declaredStreams(addr);
        if (entries && (lacksNone(*entries, declared) ||
                        (declared.streams.empty() && declared.error != kErrorSuccess))) {
            list.entries = std::move(*entries);
            return list;
        }
        list.error = declared.error;
        for (const DeclaredStream& stream : declared.streams) {
            StreamEntry entry;
            entry.name = listedName(stream.name);
            entry.size = stream.size;
            entry.attributeId = stream.id;
            list.entries.push_back(std::move(entry));
        }
        return list;
    }

    // The item's file record, opened: 0, or the error.
    std::uint32_t openItem(const std::u16string& path, FileHandle& file) {
        Node node{};
        const std::uint32_t error = reach(path, node);
        if (error != kErrorSuccess) {
            return error;
        }
        file.reset(tsk_fs_file_open_meta(volumes[node.volume].fs, nullptr, node.addr));
        if (!file) {
            tsk_error_reset();
            return kErrorFileCorrupt;
        }
        return kErrorSuccess;
    }

    // `seen`: what a volume without a file system seems to be ("BitLocker"),
    // or empty; `missingPart`: what the container lacks of it, or empty.
    void addVolume(Image& image, std::u16string root, TSK_FS_INFO* fs, bool looksLikeNtfs,
                   const std::u16string& seen, const std::u16string& missingPart) {
        Volume volume;
        volume.root = std::move(root);
        volume.fs = fs;
        volume.looksLikeNtfs = looksLikeNtfs;
        volume.info.known = true;
        volume.info.missingPart = missingPart;
        if (fs != nullptr && fs->last_block_act < fs->last_block && missingPart.empty()) {
            volume.info.missingPart = u"the image ends before the volume does";
        }
        if (fs != nullptr) {
            volume.info.namedStreams = TSK_FS_TYPE_ISNTFS(fs->ftype) != 0;
            volume.info.fileSystemName = fileSystemNameOf(fs->ftype);
            nodes[volume.root] = Node{volumes.size(), fs->root_inum, false, std::nullopt};
            if (TSK_FS_TYPE_ISNTFS(fs->ftype) != 0) {
                volume.records = std::make_unique<RecordReader>(fs);
            }
        } else if (!looksLikeNtfs) {
            volume.info.notRecognised = true;
            volume.info.fileSystemName = seen;
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

namespace {

// The image's path as the form writes it: absolute, one slash between names.
std::u16string imagePathForm(std::u16string path) {
    std::u16string result;
    result.reserve(path.size());
    for (char16_t c : path) {
        if (c == u'/' && !result.empty() && result.back() == u'/') {
            continue;
        }
        result.push_back(c);
    }
    while (result.size() > 1 && result.back() == u'/') {
        result.pop_back();
    }
    return result;
}

// The container format, from the signature each one starts (or, for VHD,
// ends) with. Choosing it here, instead of letting the library try each in
// turn, keeps the failed tries of the container libraries (which leak) away
// from every raw image.
TSK_IMG_TYPE_ENUM containerType(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return TSK_IMG_TYPE_DETECT;
    }
    char head[32] = {};
    char tail[8] = {};
    const bool readHead = pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head);
    const off_t end = lseek(fd, 0, SEEK_END);
    const bool readTail =
        end >= 512 && pread(fd, tail, sizeof tail, end - 512) == static_cast<ssize_t>(sizeof tail);
    close(fd);
    const std::string_view start(head, sizeof head);
    if (!readHead) {
        return TSK_IMG_TYPE_RAW;
    }
    if (start.substr(0, 8) == std::string_view("EVF\x09\x0d\x0a\xff\x00", 8)) {
        return TSK_IMG_TYPE_EWF_EWF;
    }
    if (start.substr(0, 4) == "KDMV" || start.substr(0, 21) == "# Disk DescriptorFile") {
        return TSK_IMG_TYPE_VMDK_VMDK;
    }
    if (start.substr(0, 8) == "vhdxfile" || start.substr(0, 8) == "conectix" ||
        (readTail && std::string_view(tail, 8) == "conectix")) {
        return TSK_IMG_TYPE_VHD_VHD;
    }
    return TSK_IMG_TYPE_RAW;
}

constexpr std::size_t kNoVolume = static_cast<std::size_t>(-1);
constexpr char16_t kReservedNote[] = u"a Microsoft reserved partition, which holds no files";

// What a volume whose file system the library cannot read seems to be, from the
// signature it starts with: "BitLocker", "LUKS", or empty.
std::u16string encryptionOf(TSK_IMG_INFO* img, TSK_OFF_T offset) {
    char head[16] = {};
    if (tsk_img_read(img, offset, head, sizeof head) != static_cast<ssize_t>(sizeof head)) {
        tsk_error_reset();
        return {};
    }
    if (std::memcmp(head + 3, "-FVE-FS-", 8) == 0) {
        return u"BitLocker";
    }
    if (std::memcmp(head, "LUKS\xba\xbe", 6) == 0) {
        return u"LUKS";
    }
    return {};
}

// Whether the GPT entry of the partition that starts at sector `start` has the
// Microsoft reserved type (E3C9E316-0B5C-4DB8-817D-F92DF00215AE, as stored).
bool isMicrosoftReserved(TSK_VS_INFO* vs, TSK_DADDR_T start) {
    static constexpr std::uint8_t kReservedType[16] = {0x16, 0xE3, 0xC9, 0xE3, 0x5C, 0x0B,
                                                       0xB8, 0x4D, 0x81, 0x7D, 0xF9, 0x2D,
                                                       0xF0, 0x02, 0x15, 0xAE};
    if (vs->vstype != TSK_VS_TYPE_GPT) {
        return false;
    }
    std::uint8_t header[92] = {};
    const TSK_OFF_T sector = vs->block_size;
    if (tsk_img_read(vs->img_info, vs->offset + sector, reinterpret_cast<char*>(header),
                     sizeof header) != static_cast<ssize_t>(sizeof header)) {
        tsk_error_reset();
        return false;
    }
    const std::uint64_t table = littleEndian(header + 0x48, 8);
    const std::uint64_t count = std::min<std::uint64_t>(littleEndian(header + 0x50, 4), 1024);
    const std::uint64_t size = littleEndian(header + 0x54, 4);
    if (size < 48 || size > 4096 || table > (std::uint64_t{1} << 40)) {
        return false;
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint8_t entry[48] = {};
        if (tsk_img_read(vs->img_info,
                         vs->offset + static_cast<TSK_OFF_T>(table * sector + i * size),
                         reinterpret_cast<char*>(entry),
                         sizeof entry) != static_cast<ssize_t>(sizeof entry)) {
            tsk_error_reset();
            return false;
        }
        if (littleEndian(entry + 0x20, 8) == start) {
            return std::memcmp(entry, kReservedType, sizeof kReservedType) == 0;
        }
    }
    return false;
}

// The name of segment `number` of an evidence set whose first segment is
// `first`: .E01 to .E99, then .EAA to .EZZ, .FAA and on, in the first's case.
std::string segmentName(const std::string& first, std::uint32_t number) {
    std::string name = first;
    const std::size_t at = name.size() - 3;
    if (number <= 99) {
        name[at + 1] = static_cast<char>('0' + number / 10);
        name[at + 2] = static_cast<char>('0' + number % 10);
        return name;
    }
    const std::uint32_t k = number - 100;
    const char base = name[at] >= 'a' ? 'a' : 'A';
    name[at] = static_cast<char>(name[at] + k / 676);
    name[at + 1] = static_cast<char>(base + k / 26 % 26);
    name[at + 2] = static_cast<char>(base + k % 26);
    return name;
}

// How an evidence segment ends: true for "done" (the set's last), false for
// "next" (another follows); nothing when its sections cannot be followed.
std::optional<bool> endsTheSet(const std::string& segment) {
    const int fd = open(segment.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<bool> last;
    // Sections follow the 13-byte file header; each starts with its type (16
    // bytes) and the offset of the next; "next" and "done" point at themselves.
    std::uint64_t at = 13;
    for (int step = 0; step < 1000000; ++step) {
        std::uint8_t section[24] = {};
        if (pread(fd, section, sizeof section, static_cast<off_t>(at)) !=
            static_cast<ssize_t>(sizeof section)) {
            break;
        }
        const std::string_view type(reinterpret_cast<const char*>(section), 5);
        if (type == std::string_view("done\0", 5) || type == std::string_view("next\0", 5)) {
            last = type[0] == 'd';
            break;
        }
        const std::uint64_t next = littleEndian(section + 16, 8);
        if (next <= at || next > (std::uint64_t{1} << 62)) {
            break;
        }
        at = next;
    }
    close(fd);
    return last;
}

// The first segment an evidence set opened from `first` (NAME.E01) lacks, or
// empty when the set is whole or cannot be judged. The library reads the
// segments numbered on from the first that exist, so a gap or a lost last
// segment shows as a last one found that says another follows.
std::string missingSegment(const std::string& first) {
    if (first.size() < 4 || first[first.size() - 4] != '.' ||
        first.compare(first.size() - 2, 2, "01") != 0) {
        return {};
    }
    std::uint32_t number = 1;
    while (number < 14000 && access(segmentName(first, number + 1).c_str(), F_OK) == 0) {
        ++number;
    }
    const std::optional<bool> done = endsTheSet(segmentName(first, number));
    return done.has_value() && !*done ? segmentName(first, number + 1) : std::string();
}

// NTFS boot sectors carry "NTFS    " at offset 3.
bool startsLikeNtfs(TSK_IMG_INFO* img, TSK_OFF_T offset) {
    char boot[16] = {};
    if (tsk_img_read(img, offset, boot, sizeof boot) != static_cast<ssize_t>(sizeof boot)) {
        tsk_error_reset();
        return false;
    }
    return std::memcmp(boot + 3, "NTFS    ", 8) == 0;
}

std::u16string decimal(std::uint32_t value) {
    return widenAscii(std::to_string(value));
}

}  // namespace

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
        TSK_IMG_INFO* img = tsk_img_open_utf8_sing(bytes.c_str(), containerType(bytes), 0);
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
        // A GPT disk also carries a protective DOS table; asked for GPT first, the
        // library never builds (and leaks) the DOS reading it would drop.
        image->vs = tsk_vs_open(img, 0, TSK_VS_TYPE_GPT);
        if (image->vs == nullptr) {
            tsk_error_reset();
            image->vs = tsk_vs_open(img, 0, TSK_VS_TYPE_DETECT);
        }
        if (image->vs != nullptr) {
            std::uint32_t number = 0;
            for (TSK_PNUM_T i = 0; i < image->vs->part_count; ++i) {
                const TSK_VS_PART_INFO* part = tsk_vs_part_get(image->vs, i);
                if (part == nullptr || (part->flags & TSK_VS_PART_FLAG_ALLOC) == 0) {
                    continue;
                }
                ++number;
                const std::u16string root = path + kMarker + u"p" + decimal(number);
                if (isMicrosoftReserved(image->vs, part->start)) {
                    image->volumes.push_back(kNoVolume);
                    image->reserved.push_back(root);
                    continue;
                }
                TSK_FS_INFO* fs = tsk_fs_open_vol(part, TSK_FS_TYPE_DETECT);
                const TSK_OFF_T start = static_cast<TSK_OFF_T>(part->start) * image->vs->block_size;
                const bool ntfs = fs == nullptr && startsLikeNtfs(img, start);
                tsk_error_reset();
                state->addVolume(*image, root, fs, ntfs,
                                 fs == nullptr ? encryptionOf(img, start) : std::u16string(),
                                 missing);
            }
            image->partitionCount = number;
        } else {
            tsk_error_reset();
            TSK_FS_INFO* fs = tsk_fs_open_img(img, 0, TSK_FS_TYPE_DETECT);
            const std::u16string encryption = fs == nullptr ? encryptionOf(img, 0) : u"";
            const bool ntfs = fs == nullptr && startsLikeNtfs(img, 0);
            if (fs != nullptr || ntfs || !encryption.empty()) {
                state->addVolume(*image, path + kMarker + u"p0", fs, ntfs, encryption, missing);
            }
            tsk_error_reset();
        }
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

bool ImageFileSystem::isDeleted(const std::u16string& itemPath) {
    State::Node node{};
    return state->reach(itemPath, node) == kErrorSuccess && node.deleted;
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
    FileHandle file;
    const std::uint32_t error = state->openItem(path, file);
    if (error != kErrorSuccess) {
        return error;
    }
    facts = factsOf(file.get(), TSK_FS_NAME_TYPE_UNDEF);
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
    State::Node node{};
    std::uint32_t error = state->reach(folder, node);
    if (error != kErrorSuccess) {
        return error;
    }
    // A folder has one parent in NTFS; meeting its record twice means the
    // index loops or is damaged, and listing it again could go on for ever.
    if (!state->volumes[node.volume].listedFolders.insert(node.addr).second) {
        return kErrorFileCorrupt;
    }
    std::vector<State::Found> kept;
    bool damaged = false;
    error = state->readFolder(node, kept, damaged);
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
    for (State::Found& item : kept) {
        auto& table = (item.entry.facts.attributes & kAttributeDirectory) != 0 ? state->nodes
                                                                               : state->children;
        table[joinPath(folder, item.entry.name, PathStyle::image)] =
            State::Node{node.volume, item.addr, item.deleted || node.deleted,
                        std::move(item.streams), item.system};
        entries.push_back(std::move(item.entry));
    }
    first = DirectoryEntry{entries.front().name, entryKindOf(entries.front().facts.attributes)};
    listing = std::make_unique<VectorListing>(std::move(entries),
                                              damaged ? kErrorFileCorrupt : kErrorNoMoreFiles);
    return kErrorSuccess;
}

std::uint32_t ImageFileSystem::startStreams(const std::u16string& hostPath, StreamEntry& first,
                                            std::unique_ptr<StreamListing>& listing) {
    if (!state->owns(hostPath)) {
        return host.startStreams(hostPath, first, listing);
    }
    StreamList list;
    State::Node node{};
    State::Node* known = nullptr;
    for (auto* table : {&state->children, &state->nodes}) {
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
        const FileHandle file(tsk_fs_file_open_meta(volume.fs, nullptr, node.addr));
        tsk_error_reset();
        list = state->streamsOf(volume, file.get(), node.addr);
    }
    if (node.system) {
        const std::u16string& root = state->volumes[node.volume].root;
        const std::u16string_view inVolume = std::u16string_view(hostPath).substr(root.size() + 1);
        for (StreamEntry& entry : list.entries) {
            entry.onFileSystemFile = true;
            entry.ownedByFileSystem = isFileSystemStream(inVolume, entry.name);
        }
    }
    if (list.entries.empty()) {
        return list.error == kErrorSuccess ? kErrorHandleEof : list.error;
    }
    first = list.entries.front();
    listing = std::make_unique<VectorStreamListing>(
        std::move(list.entries), list.error == kErrorSuccess ? kErrorHandleEof : list.error);
    return kErrorSuccess;
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
    const State::Volume& volume = state->volumes[node.volume];
    FileHandle file(tsk_fs_file_open_meta(volume.fs, nullptr, node.addr));
    const int count = file ? tsk_fs_file_attr_getsize(file.get()) : 0;
    for (int i = 0; i < count; ++i) {
        const TSK_FS_ATTR* attribute = tsk_fs_file_attr_get_idx(file.get(), i);
        if (!isDataAttribute(attribute)) {
            continue;
        }
        const bool unnamed = isUnnamedData(attribute);
        if (name.empty() ? unnamed : (!unnamed && nameOf(attribute->name) == name)) {
            reader = std::make_unique<AttributeReader>(std::move(file), attribute);
            return kErrorSuccess;
        }
    }
    tsk_error_reset();
    // A stream the library dropped, or of an item it refuses to open, was
    // listed from the record's headers: it is read through them too.
    if (volume.records) {
        for (const DeclaredStream& stream : volume.records->declaredStreams(node.addr).streams) {
            if (stream.name == name) {
                reader = volume.records->open(stream);
                return reader ? kErrorSuccess : kErrorFileCorrupt;
            }
        }
    }
    return file ? kErrorFileNotFound : kErrorFileCorrupt;
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

}  // namespace streamscan
