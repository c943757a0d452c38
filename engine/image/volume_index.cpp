#include "engine/image/volume_index.h"

#include <tsk/libtsk.h>

#include <algorithm>
#include <unordered_set>

#include "engine/image/deleted_rules.h"
#include "engine/image/record_streams.h"
#include "engine/tree_walk.h"
#include "engine/unicode.h"

namespace streamscan {
namespace {

// MFT records below this number are the file system's own (reserved) files.
constexpr std::uint64_t kFirstUserRecord = 24;
constexpr std::uint32_t kNoItem = 0xFFFFFFFF;
// The $MFT is read in pieces of this size (a whole number of records).
constexpr std::size_t kReadSize = 4 * 1024 * 1024;

char16_t folded(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// A $DATA piece: the first one (lowestVcn 0) declares the stream's size.
struct Piece {
    std::u16string name;
    std::uint64_t size = 0;
    std::uint64_t lowestVcn = 0;
    std::uint16_t id = 0;
};

// What the pass keeps of one record.
struct Gathered {
    std::uint64_t entry = 0;
    std::uint64_t baseReference = 0;
    std::uint16_t sequence = 0;
    bool inUse = false;
    bool directory = false;
    bool complete = false;
    bool joined = false;  // an extension record taken into its base
    std::optional<mft::StandardInformation> standard;
    std::vector<mft::FileName> names;  // without the 8.3 ones
    std::vector<Piece> pieces;
    std::vector<std::uint64_t> listed;  // the records a resident attribute list names
    bool hasList = false;               // the item's attributes span several records
};

// A name of an item in a folder, before the folder's rules are applied.
struct Candidate {
    std::uint32_t parent = kNoItem;  // item
    std::uint32_t item = 0;
    mft::FileName name;
};

}  // namespace

bool lessName(std::u16string_view a, std::u16string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (folded(a[i]) != folded(b[i])) {
            return folded(a[i]) < folded(b[i]);
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

std::optional<std::uint32_t> VolumeIndex::child(std::uint32_t folder,
                                                std::u16string_view name) const {
    const std::vector<std::uint32_t>& children = itemOf(folder).children;
    const auto found = std::lower_bound(
        children.begin(), children.end(), name,
        [&](std::uint32_t e, std::u16string_view n) { return lessName(entries[e].name, n); });
    if (found == children.end() || entries[*found].name != name) {
        return std::nullopt;
    }
    return *found;
}

struct IndexBuilder::Pending {
    std::vector<Gathered> bases;
    std::vector<Gathered> extensions;
};

IndexBuilder::IndexBuilder(bool includeDeleted)
    : includeDeleted(includeDeleted), pending(std::make_unique<Pending>()) {}

IndexBuilder::~IndexBuilder() = default;

void IndexBuilder::add(std::uint64_t entry, std::span<std::uint8_t> bytes, bool allocated) {
    const std::optional<mft::Record> record = mft::parseRecord(bytes);
    if (!record) {
        damaged += allocated ? 1 : 0;
        return;
    }
    const bool extension = record->baseReference != 0;
    if (!record->inUse && !includeDeleted) {
        return;
    }
    Gathered gathered;
    gathered.entry = entry;
    gathered.baseReference = record->baseReference;
    gathered.sequence = record->sequence;
    gathered.inUse = record->inUse;
    gathered.directory = record->directory;
    gathered.complete = record->complete;
    for (const mft::Attribute& attribute : record->attributes) {
        const auto value = std::span<const std::uint8_t>(bytes).subspan(attribute.valueOffset,
                                                                        attribute.valueLength);
        gathered.hasList = gathered.hasList || attribute.type == mft::kTypeAttributeList;
        if (attribute.type == mft::kTypeData) {
            gathered.pieces.push_back(
                Piece{attribute.name, attribute.size, attribute.lowestVcn, attribute.id});
        } else if (!attribute.resident) {
            continue;
        } else if (attribute.type == mft::kTypeStandardInformation) {
            gathered.standard = mft::parseStandardInformation(value);
        } else if (attribute.type == mft::kTypeFileName) {
            std::optional<mft::FileName> name = mft::parseFileName(value);
            if (name && name->nameSpace != mft::kDosNames) {
                gathered.names.push_back(std::move(*name));
            }
        } else if (attribute.type == mft::kTypeAttributeList) {
            for (const mft::ListEntry& listed : mft::parseAttributeList(value)) {
                gathered.listed.push_back(mft::entryOf(listed.reference));
            }
        }
    }
    if (!extension && gathered.names.empty() && !gathered.hasList && entry != kRootRecord) {
        return;  // no name places it anywhere, here or in an extension record
    }
    (extension ? pending->extensions : pending->bases).push_back(std::move(gathered));
}

std::unique_ptr<VolumeIndex> IndexBuilder::finish() {
    auto index = std::make_unique<VolumeIndex>();
    index->damagedRecords = damaged;
    std::vector<Gathered>& bases = pending->bases;

    // Records arrive in order, so the bases are sorted by their number.
    const auto baseOf = [&](std::uint64_t entry) -> Gathered* {
        const auto found =
            std::lower_bound(bases.begin(), bases.end(), entry,
                             [](const Gathered& g, std::uint64_t e) { return g.entry < e; });
        return found != bases.end() && found->entry == entry ? &*found : nullptr;
    };
    std::sort(bases.begin(), bases.end(),
              [](const Gathered& a, const Gathered& b) { return a.entry < b.entry; });

    // An extension record belongs to its base while both are in use and the
    // base's sequence is the one it names; when NTFS frees a record it counts
    // the sequence up once.
    for (Gathered& extension : pending->extensions) {
        Gathered* base = baseOf(mft::entryOf(extension.baseReference));
        const std::uint16_t named = mft::sequenceOf(extension.baseReference);
        if (base == nullptr || base->inUse != extension.inUse ||
            !stillDescribes(base->sequence, named, !base->inUse)) {
            continue;
        }
        extension.joined = true;
        base->complete = base->complete && extension.complete;
        if (!base->standard) {
            base->standard = extension.standard;
        }
        std::move(extension.names.begin(), extension.names.end(), std::back_inserter(base->names));
        std::move(extension.pieces.begin(), extension.pieces.end(),
                  std::back_inserter(base->pieces));
        base->listed.erase(std::remove(base->listed.begin(), base->listed.end(), extension.entry),
                           base->listed.end());
    }
    pending->extensions.clear();

    Gathered* root = baseOf(kRootRecord);
    if (root == nullptr || !root->inUse || !root->directory) {
        return nullptr;
    }

    // The items, and where each record's item is.
    std::vector<std::uint32_t> itemAt(bases.size(), kNoItem);
    std::vector<IndexedItem>& items = index->items;
    items.reserve(bases.size() + 1);
    for (std::size_t i = 0; i < bases.size(); ++i) {
        Gathered& base = bases[i];
        IndexedItem item;
        item.entry = base.entry;
        item.sequence = base.sequence;
        item.inUse = base.inUse;
        item.directory = base.directory;
        item.hasStandardInformation = base.standard.has_value();
        item.standard = base.standard.value_or(mft::StandardInformation());
        // Every record the attribute list names was taken in.
        item.streamsWhole =
            base.complete && std::all_of(base.listed.begin(), base.listed.end(),
                                         [&](std::uint64_t e) { return e == base.entry; });
        std::vector<std::u16string> firstless;
        for (Piece& piece : base.pieces) {
            if (piece.lowestVcn == 0) {
                const bool again =
                    std::any_of(item.streams.begin(), item.streams.end(),
                                [&](const IndexedStream& s) { return s.name == piece.name; });
                if (!again) {
                    item.streams.push_back(
                        IndexedStream{std::move(piece.name), piece.size, piece.id});
                }
            } else {
                firstless.push_back(std::move(piece.name));
            }
        }
        for (const std::u16string& name : firstless) {
            if (std::none_of(item.streams.begin(), item.streams.end(),
                             [&](const IndexedStream& s) { return s.name == name; })) {
                item.streamsWhole = false;  // a later piece without the first
            }
        }
        base.pieces.clear();
        if (base.hasList) {
            // The list holds the attributes in the order a single record would.
            std::stable_sort(item.streams.begin(), item.streams.end(),
                             [](const IndexedStream& a, const IndexedStream& b) {
                                 return lessName(a.name, b.name);
                             });
        }
        itemAt[i] = static_cast<std::uint32_t>(items.size());
        items.push_back(std::move(item));
    }
    const auto itemOfEntry = [&](std::uint64_t entry) -> std::uint32_t {
        const Gathered* base = baseOf(entry);
        return base == nullptr ? kNoItem : itemAt[static_cast<std::size_t>(base - bases.data())];
    };
    const std::uint32_t rootItem = itemOfEntry(kRootRecord);

    // Each long name goes to its folder if the parent reference holds: the
    // folder is a folder, still the one named (the same sequence, or one on
    // when both are deleted), and live if the item is.
    std::vector<Candidate> placed;
    std::vector<Candidate> broken;
    std::vector<std::uint32_t> firstParent(items.size(), kNoItem);
    for (std::size_t i = 0; i < bases.size(); ++i) {
        const std::uint32_t item = itemAt[i];
        for (mft::FileName& name : bases[i].names) {
            const std::uint64_t parentEntry = mft::entryOf(name.parent);
            if (parentEntry == bases[i].entry && item == rootItem) {
                continue;  // the root's own name
            }
            const std::uint32_t parent = itemOfEntry(parentEntry);
            const std::uint16_t named = mft::sequenceOf(name.parent);
            bool holds = parent != kNoItem && items[parent].directory && parent != item;
            if (holds && named != 0) {
                const IndexedItem& folder = items[parent];
                holds = stillDescribes(folder.sequence, named, !folder.inUse && !items[item].inUse);
            }
            if (holds && items[item].inUse) {
                holds = items[parent].inUse;
            }
            if (holds && firstParent[item] == kNoItem) {
                firstParent[item] = parent;
            }
            (holds ? placed : broken)
                .push_back(Candidate{holds ? parent : kNoItem, item, std::move(name)});
        }
        bases[i].names.clear();
    }
    bases.clear();
    bases.shrink_to_fit();

    // One path names one item. A live name the folder holds twice is damage:
    // the first is kept and the listing says the folder is damaged. A deleted
    // item is one per record, and one whose name is taken gets a name that
    // says which record it is.
    std::vector<IndexedEntry>& entries = index->entries;
    entries.push_back(IndexedEntry{u"", rootItem, {}, false, false});
    std::sort(placed.begin(), placed.end(), [&](const Candidate& a, const Candidate& b) {
        if (a.parent != b.parent) {
            return a.parent < b.parent;
        }
        if (a.name.name != b.name.name) {
            return lessName(a.name.name, b.name.name);
        }
        return items[a.item].entry < items[b.item].entry;
    });
    for (std::size_t start = 0; start < placed.size();) {
        std::size_t end = start;
        while (end < placed.size() && placed[end].parent == placed[start].parent) {
            ++end;
        }
        IndexedItem& folder = items[placed[start].parent];
        std::unordered_set<std::u16string> taken;
        std::unordered_set<std::uint32_t> deletedItems;
        const auto add = [&](Candidate& candidate, std::u16string name) {
            folder.children.push_back(static_cast<std::uint32_t>(entries.size()));
            entries.push_back(
                IndexedEntry{std::move(name), candidate.item, candidate.name.times, false, false});
        };
        for (std::size_t i = start; i < end; ++i) {
            if (items[placed[i].item].inUse) {
                if (taken.insert(placed[i].name.name).second) {
                    add(placed[i], std::move(placed[i].name.name));
                } else {
                    folder.namesTwice = true;
                }
            }
        }
        for (std::size_t i = start; i < end; ++i) {
            const IndexedItem& item = items[placed[i].item];
            if (item.inUse || !deletedItems.insert(placed[i].item).second) {
                continue;
            }
            std::u16string name = placed[i].name.name;
            for (std::uint32_t copy = 1; !taken.insert(name).second; ++copy) {
                name = takenName(placed[i].name.name, item.entry, copy, true);
            }
            add(placed[i], std::move(name));
        }
        std::sort(folder.children.begin(), folder.children.end(),
                  [&](std::uint32_t a, std::uint32_t b) {
                      return lessName(entries[a].name, entries[b].name);
                  });
        start = end;
    }
    placed.clear();
    placed.shrink_to_fit();

    // Down from the root: each folder is entered once, from the first entry
    // that reaches it, so a folder named twice or a loop of parent references
    // cannot make the tree endless.
    std::vector<bool> reached(items.size(), false);
    std::vector<bool> entered(items.size(), false);
    const auto descend = [&](std::uint32_t top) {
        std::vector<std::uint32_t> folders{top};
        entered[entries[top].item] = true;
        reached[entries[top].item] = true;
        while (!folders.empty()) {
            const IndexedEntry& parent = entries[folders.back()];
            const std::uint32_t folder = parent.item;
            const bool deleted = parent.deleted;
            const bool system = parent.system;
            folders.pop_back();
            const bool atRoot = folder == rootItem;
            for (const std::uint32_t e : items[folder].children) {
                IndexedEntry& child = entries[e];
                const IndexedItem& item = items[child.item];
                child.deleted = deleted || !item.inUse;
                child.system = system || (atRoot && item.entry < kFirstUserRecord &&
                                          !child.name.empty() && child.name[0] == u'$');
                reached[child.item] = true;
                if (item.directory && !entered[child.item]) {
                    entered[child.item] = true;
                    folders.push_back(e);
                }
            }
        }
    };
    descend(0);

    // What the root does not reach: an item whose folder is gone, or the top
    // of a chain that loops (found by climbing with a guard on loops and depth).
    std::uint32_t orphanFolder = kNoItem;
    std::unordered_set<std::u16string> orphanNames;
    const auto adopt = [&](std::uint32_t item, const mft::Times& times, std::u16string name) {
        if (orphanFolder == kNoItem) {
            orphanFolder = static_cast<std::uint32_t>(items.size());
            IndexedItem folder;
            folder.entry = kNoRecord;
            folder.inUse = true;
            folder.directory = true;
            items.push_back(std::move(folder));
            reached.push_back(true);
            entered.push_back(true);
            // A root that holds the name itself (a crafted volume) keeps it.
            std::u16string folderName = kOrphanFolderName;
            for (std::uint32_t copy = 2; index->child(0, folderName); ++copy) {
                folderName = kOrphanFolderName + (u" (" + widenAscii(std::to_string(copy)) + u")");
            }
            items[rootItem].children.push_back(static_cast<std::uint32_t>(entries.size()));
            entries.push_back(IndexedEntry{folderName, orphanFolder, {}, false, false});
        }
        ++index->orphans;
        const std::u16string stored = name;
        for (std::uint32_t copy = 1; !orphanNames.insert(name).second; ++copy) {
            name = takenName(stored, items[item].entry, copy, !items[item].inUse);
        }
        items[orphanFolder].children.push_back(static_cast<std::uint32_t>(entries.size()));
        entries.push_back(IndexedEntry{std::move(name), item, times, !items[item].inUse, false});
        descend(static_cast<std::uint32_t>(entries.size() - 1));
    };
    for (Candidate& candidate : broken) {
        if (!reached[candidate.item] && firstParent[candidate.item] == kNoItem) {
            adopt(candidate.item, candidate.name.times, std::move(candidate.name.name));
        }
    }
    std::vector<std::uint32_t> firstEntry(firstParent.size(), kNoItem);
    for (std::uint32_t e = static_cast<std::uint32_t>(entries.size()); e-- > 1;) {
        if (entries[e].item < firstEntry.size()) {
            firstEntry[entries[e].item] = e;
        }
    }
    for (std::uint32_t item = 0; item < firstParent.size(); ++item) {
        if (reached[item] || firstParent[item] == kNoItem) {
            continue;
        }
        std::uint32_t top = item;
        std::unordered_set<std::uint32_t> climbed{top};
        for (int depth = 0; depth < kMaxDepth; ++depth) {
            const std::uint32_t up = firstParent[top];
            if (up == kNoItem || reached[up] || !climbed.insert(up).second) {
                break;
            }
            top = up;
        }
        // The top keeps the name it has in its folder.
        if (!reached[top] && firstEntry[top] != kNoItem) {
            const IndexedEntry named = entries[firstEntry[top]];
            adopt(top, named.nameTimes, named.name);
        }
    }
    if (orphanFolder != kNoItem) {
        std::vector<std::uint32_t>& children = items[rootItem].children;
        std::sort(children.begin(), children.end(), [&](std::uint32_t a, std::uint32_t b) {
            return lessName(entries[a].name, entries[b].name);
        });
        std::vector<std::uint32_t>& orphans = items[orphanFolder].children;
        std::sort(orphans.begin(), orphans.end(), [&](std::uint32_t a, std::uint32_t b) {
            return lessName(entries[a].name, entries[b].name);
        });
    }
    return index;
}

std::unique_ptr<VolumeIndex> readVolumeIndex(TSK_FS_INFO* fs, bool includeDeleted) {
    const std::uint32_t recordSize = mftRecordSize(fs);
    TSK_FS_FILE* mft = recordSize == 0 ? nullptr : tsk_fs_file_open_meta(fs, nullptr, 0);
    if (mft == nullptr || mft->meta == nullptr || mft->meta->size <= 0) {
        tsk_error_reset();
        if (mft != nullptr) {
            tsk_fs_file_close(mft);
        }
        return nullptr;
    }
    const std::uint64_t count = static_cast<std::uint64_t>(mft->meta->size) / recordSize;

    // Which records are in use: without the bitmap, every one is taken to be.
    std::vector<std::uint8_t> bitmap;
    if (const TSK_FS_ATTR* attribute =
            tsk_fs_file_attr_get_type(mft, TSK_FS_ATTR_TYPE_NTFS_BITMAP, 0, 0);
        attribute != nullptr && attribute->size > 0 &&
        static_cast<std::uint64_t>(attribute->size) <= count / 8 + 8) {
        bitmap.resize(static_cast<std::size_t>(attribute->size));
        if (tsk_fs_attr_read(attribute, 0, reinterpret_cast<char*>(bitmap.data()), bitmap.size(),
                             TSK_FS_FILE_READ_FLAG_NONE) != static_cast<ssize_t>(bitmap.size())) {
            bitmap.clear();
        }
    }
    tsk_error_reset();
    const auto allocated = [&](std::uint64_t entry) {
        return bitmap.empty() ||
               (entry / 8 < bitmap.size() && (bitmap[entry / 8] >> (entry % 8) & 1) != 0);
    };

    IndexBuilder builder(includeDeleted);
    const std::size_t perRead = kReadSize / recordSize;
    std::vector<std::uint8_t> buffer(perRead * recordSize);
    for (std::uint64_t first = 0; first < count; first += perRead) {
        const std::size_t records =
            static_cast<std::size_t>(std::min<std::uint64_t>(perRead, count - first));
        const std::size_t want = records * recordSize;
        const ssize_t got = tsk_fs_file_read(mft, static_cast<TSK_OFF_T>(first * recordSize),
                                             reinterpret_cast<char*>(buffer.data()), want,
                                             TSK_FS_FILE_READ_FLAG_NONE);
        for (std::size_t i = 0; i < records; ++i) {
            const std::uint64_t entry = first + i;
            auto bytes = std::span<std::uint8_t>(buffer).subspan(i * recordSize, recordSize);
            // A piece that could not be read whole is read again record by
            // record, so that damage costs only the records it touches.
            if (got != static_cast<ssize_t>(want) &&
                tsk_fs_file_read(mft, static_cast<TSK_OFF_T>(entry * recordSize),
                                 reinterpret_cast<char*>(bytes.data()), recordSize,
                                 TSK_FS_FILE_READ_FLAG_NONE) != static_cast<ssize_t>(recordSize)) {
                if (allocated(entry)) {
                    builder.addUnreadable();
                }
                continue;
            }
            builder.add(entry, bytes, allocated(entry));
        }
        tsk_error_reset();
    }
    tsk_fs_file_close(mft);
    return builder.finish();
}

}  // namespace streamscan
