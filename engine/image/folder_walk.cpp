#include "engine/image/folder_walk.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <unordered_set>

#include "engine/image/deleted_rules.h"
#include "engine/image/mft_record.h"
#include "engine/image/ntfs_facts.h"
#include "engine/unicode.h"

namespace streamscan {
namespace {

// MFT records below this number are the file system's own (reserved) files.
constexpr TSK_INUM_T kFirstUserRecord = 24;
// Seconds from 1601-01-01 (FILETIME) to 1970-01-01 (time_t).
constexpr std::uint64_t kUnixEpochSeconds = 11644473600ULL;

std::u16string nameOf(const char* utf8) {
    return utf8 == nullptr ? std::u16string() : decodeName(utf8);
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
        if (!isUnnamedData(attribute))
            entry.streamName = nameOf(attribute->name);
        entry.streamType = u"$DATA";
        entry.size = attribute->size > 0 ? static_cast<std::uint64_t>(attribute->size) : 0;
        entry.attributeId = attribute->id;
        entries.push_back(std::move(entry));
    }
    tsk_error_reset();
    return entries;
}

// Whether the library's streams of an item include every stream its records declare.
bool lacksNone(const std::vector<StreamEntry>& listed, const DeclaredStreams& declared) {
    return std::all_of(
        declared.streams.begin(), declared.streams.end(), [&](const DeclaredStream& stream) {
            return std::any_of(listed.begin(), listed.end(),
                               [&](const StreamEntry& e) { return e.streamName == stream.name; });
        });
}

struct DirCloser {
    void operator()(TSK_FS_DIR* dir) const { tsk_fs_dir_close(dir); }
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

ItemFacts factsOf(TSK_FS_FILE* file, TSK_FS_NAME_TYPE_ENUM nameType) {
    const TSK_FS_META* meta = file->meta;
    const bool folder =
        meta != nullptr ? TSK_FS_IS_DIR_META(meta->type) : nameType == TSK_FS_NAME_TYPE_DIR;
    if (meta == nullptr) {
        return itemFactsOf(folder, nullptr, 0, 0);
    }
    std::optional<mft::StandardInformation> standard;
    std::optional<mft::Times> nameTimes;
    const bool ntfs = file->fs_info != nullptr && TSK_FS_TYPE_ISNTFS(file->fs_info->ftype) != 0;
    const int count = ntfs ? tsk_fs_file_attr_getsize(file) : 0;
    for (int i = 0; i < count; ++i) {
        const TSK_FS_ATTR* attribute = tsk_fs_file_attr_get_idx(file, i);
        if (attribute == nullptr || (attribute->flags & TSK_FS_ATTR_RES) == 0 ||
            attribute->rd.buf == nullptr || attribute->size <= 0) {
            continue;
        }
        const std::span<const std::uint8_t> value(
            attribute->rd.buf, std::min<std::size_t>(attribute->rd.buf_size,
                                                     static_cast<std::size_t>(attribute->size)));
        const std::uint32_t type = attributeTypeOf(attribute);
        if (type == mft::kTypeStandardInformation && !standard) {
            standard = mft::parseStandardInformation(value);
        } else if (type == mft::kTypeFileName && !nameTimes) {
            const std::optional<mft::FileName> name = mft::parseFileName(value);
            if (name && name->nameSpace != mft::kDosNames) {
                nameTimes = name->times;
            }
        }
    }
    tsk_error_reset();
    const std::uint64_t fallbackWrite =
        meta->mtime >= 0
            ? (static_cast<std::uint64_t>(meta->mtime) + kUnixEpochSeconds) * 10000000ULL +
                  meta->mtime_nano / 100
            : 0;
    ItemFacts facts = itemFactsOf(folder, standard ? &*standard : nullptr, fallbackWrite,
                                  meta->size > 0 ? static_cast<std::uint64_t>(meta->size) : 0);
    if (file->fs_info != nullptr) {
        // The volume by where it starts on the disk, the item by its record.
        facts.identity = ItemIdentity{
            static_cast<std::uint64_t>(file->fs_info->offset),
            static_cast<std::uint64_t>(meta->addr) | static_cast<std::uint64_t>(meta->seq) << 48,
            true};
    }
    if (ntfs) {
        facts.details = recordDetails(meta->addr, meta->seq, standard ? &*standard : nullptr,
                                      nameTimes ? &*nameTimes : nullptr);
    }
    return facts;
}

std::uint32_t readFolder(TSK_FS_INFO* fs, RecordReader* records, const LibraryFolder& node,
                         bool includeDeleted, std::vector<LibraryItem>& kept, bool& damaged) {
    const std::unique_ptr<TSK_FS_DIR, DirCloser> dir(tsk_fs_dir_open_meta(fs, node.addr));
    if (!dir) {
        tsk_error_reset();
        return kErrorFileCorrupt;
    }
    std::vector<LibraryItem> live;
    std::vector<LibraryItem> deleted;
    const bool ntfs = TSK_FS_TYPE_ISNTFS(fs->ftype) != 0;
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
        const bool system = node.system || (ntfs && name.meta_addr < kFirstUserRecord &&
                                            node.addr == fs->root_inum && text[0] == '$');
        const bool gone = (name.flags & TSK_FS_NAME_FLAG_UNALLOC) != 0;
        FileHandle record;
        if (gone) {
            if (!includeDeleted) {
                continue;
            }
            // The library leaves a deleted name's record unread; it still
            // describes the deleted item only while it is free and not taken by
            // a later file (NTFS counts the sequence up once when it frees it).
            record.reset(tsk_fs_file_open_meta(fs, nullptr, name.meta_addr));
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
        if (ntfs && records && shown.find(u'^') != std::u16string::npos) {
            shown = records->exactName(name.meta_addr, node.addr, shown);
        }
        LibraryItem item{std::move(shown), factsOf(described, name.type),
                         name.meta_addr,   gone,
                         std::nullopt,     system};
        if (described->meta != nullptr) {
            item.streams = streamsOf(records, described, described->meta->addr);
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
    for (LibraryItem& item : live) {
        if (taken.insert(item.name).second) {
            kept.push_back(std::move(item));
        } else {
            damaged = true;
        }
    }
    std::unordered_set<std::uint64_t> deletedRecords;
    for (LibraryItem& item : deleted) {
        if (!deletedRecords.insert(item.facts.identity.file).second) {
            continue;
        }
        const std::u16string stored = item.name;
        for (std::uint32_t copy = 1; !taken.insert(item.name).second; ++copy) {
            item.name = takenName(stored, item.addr, copy, true);
        }
        kept.push_back(std::move(item));
    }
    return kErrorSuccess;
}

// The library drops an NTFS
// attribute it cannot load (a sparse run longer than the volume) and those
// after it, and says nothing; so the item's records are read too, and where
// they declare a stream the library lacks, the streams are listed from their
// headers, with their declared sizes.
StreamList streamsOf(RecordReader* records, TSK_FS_FILE* file, TSK_INUM_T addr) {
    StreamList list;
    std::optional<std::vector<StreamEntry>> entries;
    if (file != nullptr) {
        entries = dataStreamsOf(file);
    }
    if (!records) {
        list.error = entries ? kErrorSuccess : kErrorFileCorrupt;
        list.entries = std::move(entries).value_or(std::vector<StreamEntry>());
        return list;
    }
    DeclaredStreams declared = records->declaredStreams(addr);
    if (entries && (lacksNone(*entries, declared) ||
                    (declared.streams.empty() && declared.error != kErrorSuccess))) {
        list.entries = std::move(*entries);
        return list;
    }
    list.error = declared.error;
    for (const DeclaredStream& stream : declared.streams) {
        StreamEntry entry;
        entry.streamName = stream.name;
        entry.streamType = u"$DATA";
        entry.size = stream.size;
        entry.attributeId = stream.id;
        list.entries.push_back(std::move(entry));
    }
    return list;
}

std::uint32_t openLibraryStream(TSK_FS_INFO* fs, RecordReader* records, TSK_INUM_T addr,
                                const std::u16string& name, std::unique_ptr<StreamReader>& reader) {
    FileHandle file(tsk_fs_file_open_meta(fs, nullptr, addr));
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
    if (records != nullptr) {
        for (const DeclaredStream& stream : records->declaredStreams(addr).streams) {
            if (stream.name == name) {
                reader = records->open(stream);
                return reader ? kErrorSuccess : kErrorFileCorrupt;
            }
        }
    }
    return file ? kErrorFileNotFound : kErrorFileCorrupt;
}

}  // namespace streamscan
