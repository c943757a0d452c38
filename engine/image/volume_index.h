// A whole NTFS volume's folder tree, built from one sequential pass over its
// file records instead of a walk through every folder's index: each item is
// placed by the parent reference of its $FILE_NAME (the long name, never the
// 8.3 one), extension records are joined to their base record, and items
// whose parent chain is broken or loops are gathered under $OrphanFiles.
// The builder is pure (it is handed each record's bytes), so it can be tested
// and fuzzed from byte strings; readVolumeIndex feeds it from the library.
// Kept compact (names in one pool, a folder's entries side by side), since a
// volume may hold millions of items.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/image/mft_record.h"

struct TSK_FS_INFO;

namespace streamscan {

inline constexpr std::uint64_t kRootRecord = 5;
inline constexpr char16_t kOrphanFolderName[] = u"$OrphanFiles";
inline constexpr std::uint64_t kNoRecord = ~std::uint64_t{0};

// A piece of text in the index's pool.
struct PooledName {
    std::uint32_t at = 0;
    std::uint32_t length = 0;
};

// One $DATA stream as its first piece declares it.
struct IndexedStream {
    PooledName name;  // empty: the unnamed stream
    std::uint64_t size = 0;
    std::uint16_t id = 0;
};

struct IndexedItem {
    std::uint64_t entry = 0;  // the base record's number; kNoRecord for $OrphanFiles
    std::uint16_t sequence = 0;
    bool inUse = false;
    bool directory = false;
    bool hasStandardInformation = false;
    // Every record and stream piece was there: false lists what was found and
    // says that the rest could not be read.
    bool streamsWhole = true;
    // The folder names an item twice: its listing ends with an error after the first.
    bool namesTwice = false;
    mft::StandardInformation standard;
    std::uint32_t firstStream = 0;  // in the order the records hold them
    std::uint32_t streamCount = 0;
    std::uint32_t firstChild = 0;  // entries, by lessName of their names
    std::uint32_t childCount = 0;
};

// One name of an item in a folder: a path step.
struct IndexedEntry {
    PooledName name;  // as listed: a deleted item whose name is taken is renamed
    std::uint32_t item = 0;
    std::uint32_t folder = 0;  // the item it is listed in
    mft::Times nameTimes;      // of the $FILE_NAME this entry comes from
    bool deleted = false;      // the item, or a folder above it, is deleted
    bool system = false;       // one of the file system's own files, or inside one of its folders
};

// The order of names in a folder: case folded for ASCII, then as stored.
bool lessName(std::u16string_view a, std::u16string_view b);

class VolumeIndex {
  public:
    // Entry 0 is the volume's root.
    const IndexedEntry& entry(std::uint32_t index) const { return entries[index]; }
    const IndexedItem& itemOf(std::uint32_t entryIndex) const {
        return items[entries[entryIndex].item];
    }
    std::u16string_view nameOf(std::uint32_t entryIndex) const {
        return text(entries[entryIndex].name);
    }
    std::u16string_view text(PooledName name) const {
        return std::u16string_view(pool).substr(name.at, name.length);
    }
    std::span<const IndexedStream> streamsOf(const IndexedItem& item) const {
        return std::span<const IndexedStream>(streams).subspan(item.firstStream, item.streamCount);
    }
    // The entry named `name` in the folder of entry `folder`, if any.
    std::optional<std::uint32_t> child(std::uint32_t folder, std::u16string_view name) const;

    // Items placed under $OrphanFiles because their parent chain is broken or loops.
    std::uint64_t orphans = 0;
    // Records the volume's bitmap says are in use that could not be read or parsed.
    std::uint64_t damagedRecords = 0;

  private:
    friend class IndexBuilder;
    std::u16string pool;
    std::vector<IndexedItem> items;
    std::vector<IndexedEntry> entries;
    std::vector<IndexedStream> streams;
};

class IndexBuilder {
  public:
    // `includeDeleted`: records no longer in use are placed too, as deleted items.
    explicit IndexBuilder(bool includeDeleted);
    ~IndexBuilder();
    IndexBuilder(const IndexBuilder&) = delete;
    IndexBuilder& operator=(const IndexBuilder&) = delete;

    // Hands over record `entry`, in the order of their numbers (one not above
    // the last is left out); `bytes` get their fixups applied. `allocated`: the
    // volume's bitmap says the record is in use, so bytes that are not a
    // record are damage.
    void add(std::uint64_t entry, std::span<std::uint8_t> bytes, bool allocated);
    // Room for `records` records, so that a volume of millions never holds
    // its tables twice while they grow.
    void reserve(std::uint64_t records);
    // A record the volume says is in use but that could not be read.
    void addUnreadable() { ++damaged; }
    // The tree, or nothing when the volume has no root folder; the builder is spent.
    std::unique_ptr<VolumeIndex> finish();

  private:
    struct Pending;
    bool includeDeleted;
    std::uint64_t damaged = 0;
    std::unique_ptr<Pending> pending;
};

// Reads the volume's $MFT in one pass; nothing when it cannot be read at all
// (the caller then walks the folders instead).
std::unique_ptr<VolumeIndex> readVolumeIndex(TSK_FS_INFO* fs, bool includeDeleted);

}  // namespace streamscan
