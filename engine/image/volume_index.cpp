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
constexpr std::uint32_t kNoItem = 0xFFFFFFFF;  // as a folder: the root's own entry
// As a folder: a name whose parent reference does not hold, and one left out.
constexpr std::uint32_t kBroken = 0xFFFFFFFE;
constexpr std::uint32_t kLeftOut = 0xFFFFFFFD;
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

// What is kept of a record until the pass ends: an extension record, or a base
// record whose attributes an attribute list spreads over several records.
struct Spread {
    std::uint64_t entry = 0;
    std::uint64_t baseReference = 0;  // 0 for a base record
    std::uint16_t sequence = 0;
    bool inUse = false;
    bool complete = false;
    bool hasList = false;
    std::optional<mft::StandardInformation> standard;
    std::vector<mft::FileName> names;  // without the 8.3 ones
    std::vector<Piece> pieces;
    std::vector<std::uint64_t> listed;  // the records a resident attribute list names
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
    const IndexedItem& item = itemOf(folder);
    const std::uint32_t first = item.firstChild;
    const std::uint32_t end = first + item.childCount;
    std::uint32_t low = first;
    std::uint32_t high = end;
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        if (lessName(nameOf(middle), name)) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low == end || nameOf(low) != name) {
        return std::nullopt;
    }
    return low;
}

struct IndexBuilder::Pending {
    VolumeIndex index;
    std::vector<std::uint64_t> parentOf;  // per entry: the reference its name gives
    std::vector<Spread> spread;           // bases with an attribute list
    std::vector<std::uint32_t> spreadItem;
    std::vector<Spread> extensions;
    std::uint64_t last = 0;
    bool any = false;
    mft::Record record;  // the record being read, and what is gathered of it
    Spread gathered;

    PooledName pooled(std::u16string_view text) {
        PooledName name{static_cast<std::uint32_t>(index.pool.size()),
                        static_cast<std::uint32_t>(text.size())};
        index.pool.append(text);
        return name;
    }

    void addName(std::uint32_t item, const mft::FileName& name) {
        IndexedEntry entry;
        entry.name = pooled(name.name);
        entry.item = item;
        entry.nameTimes = name.times;
        index.entries.push_back(entry);
        parentOf.push_back(name.parent);
    }

    // The item's streams from its pieces; `inListOrder`: its attributes span
    // several records, and are put in the order one record would hold them.
    void addStreams(IndexedItem& item, const std::vector<Piece>& pieces, bool inListOrder) {
        std::vector<IndexedStream>& streams = index.streams;
        item.firstStream = static_cast<std::uint32_t>(streams.size());
        const auto has = [&](const std::u16string& name) {
            return std::any_of(streams.begin() + item.firstStream, streams.end(),
                               [&](const IndexedStream& s) { return index.text(s.name) == name; });
        };
        for (const Piece& piece : pieces) {
            if (piece.lowestVcn == 0 && !has(piece.name)) {
                streams.push_back(IndexedStream{pooled(piece.name), piece.size, piece.id});
            }
        }
        for (const Piece& piece : pieces) {
            if (piece.lowestVcn != 0 && !has(piece.name)) {
                item.streamsWhole = false;  // a later piece without the first
            }
        }
        item.streamCount = static_cast<std::uint32_t>(streams.size() - item.firstStream);
        if (inListOrder) {
            std::stable_sort(streams.begin() + item.firstStream, streams.end(),
                             [&](const IndexedStream& a, const IndexedStream& b) {
                                 return lessName(index.text(a.name), index.text(b.name));
                             });
        }
    }

    std::uint32_t itemOfEntry(std::uint64_t entry) const {
        const std::vector<IndexedItem>& items = index.items;
        const auto found = std::lower_bound(
            items.begin(), items.end(), entry,
            [](const IndexedItem& item, std::uint64_t e) { return item.entry < e; });
        return found != items.end() && found->entry == entry
                   ? static_cast<std::uint32_t>(found - items.begin())
                   : kNoItem;
    }

    // A folder's entries by name, then by record.
    void sortByName(std::vector<IndexedEntry>::iterator first,
                    std::vector<IndexedEntry>::iterator last) {
        const auto less = [&](const IndexedEntry& a, const IndexedEntry& b) {
            const std::u16string_view x = index.text(a.name);
            const std::u16string_view y = index.text(b.name);
            if (x != y) {
                return lessName(x, y);
            }
            return index.items[a.item].entry < index.items[b.item].entry;
        };
        // Folders filled in name order have their records in that order too:
        // one look over them is far cheaper than sorting them again.
        if (!std::is_sorted(first, last, less)) {
            std::sort(first, last, less);
        }
    }

    // Entries by folder (the root's own first, those of no folder last), then
    // by name; each folder's entries are then side by side.
    void sortEntries() {
        std::vector<IndexedEntry>& entries = index.entries;
        // By folder in one counting pass and one permutation in place: the
        // entries of millions of items are never held twice.
        const auto rank = [&](std::uint32_t folder) -> std::size_t {
            return folder == kNoItem             ? 0
                   : folder < index.items.size() ? std::size_t{folder} + 1
                   : folder == kLeftOut          ? index.items.size() + 1
                                                 : index.items.size() + 2;
        };
        std::vector<std::uint32_t> place(index.items.size() + 4, 0);
        for (const IndexedEntry& entry : entries) {
            ++place[rank(entry.folder) + 1];
        }
        for (std::size_t i = 1; i < place.size(); ++i) {
            place[i] += place[i - 1];
        }
        std::vector<std::uint32_t> target(entries.size());
        for (std::size_t e = 0; e < entries.size(); ++e) {
            target[e] = place[rank(entries[e].folder)]++;
        }
        place = {};
        for (std::size_t e = 0; e < entries.size(); ++e) {
            while (target[e] != e) {
                std::swap(entries[e], entries[target[e]]);
                std::swap(target[e], target[target[e]]);
            }
        }
        for (auto start = entries.begin(); start != entries.end();) {
            const auto end = std::find_if(start, entries.end(), [&](const IndexedEntry& e) {
                return e.folder != start->folder;
            });
            sortByName(start, end);
            start = end;
        }
    }

    void findChildren() {
        for (IndexedItem& item : index.items) {
            item.childCount = 0;
        }
        for (std::uint32_t e = 0; e < index.entries.size(); ++e) {
            const std::uint32_t folder = index.entries[e].folder;
            if (folder < index.items.size()) {
                IndexedItem& item = index.items[folder];
                if (item.childCount++ == 0) {
                    item.firstChild = e;
                }
            }
        }
    }
};

IndexBuilder::IndexBuilder(bool includeDeleted)
    : includeDeleted(includeDeleted), pending(std::make_unique<Pending>()) {}

IndexBuilder::~IndexBuilder() = default;

void IndexBuilder::reserve(std::uint64_t records) {
    // Most records are one item with one name and one stream.
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(records, 1U << 26));
    pending->index.items.reserve(count);
    pending->index.entries.reserve(count + 1);
    pending->index.streams.reserve(count);
    pending->parentOf.reserve(count);
    pending->index.pool.reserve(count * 12);
}

void IndexBuilder::add(std::uint64_t entry, std::span<std::uint8_t> bytes, bool allocated) {
    if ((pending->any && entry <= pending->last) || entry >= kNoRecord) {
        return;
    }
    pending->any = true;
    pending->last = entry;
    // What one record needs is kept from the last, so that most records cost
    // no allocation.
    mft::Record& record = pending->record;
    if (!mft::parseRecord(bytes, record)) {
        damaged += allocated ? 1 : 0;
        return;
    }
    if (!record.inUse && !includeDeleted) {
        return;
    }
    Spread& gathered = pending->gathered;
    gathered.entry = entry;
    gathered.baseReference = record.baseReference;
    gathered.sequence = record.sequence;
    gathered.inUse = record.inUse;
    gathered.complete = record.complete;
    gathered.hasList = false;
    gathered.standard.reset();
    gathered.names.clear();
    gathered.pieces.clear();
    gathered.listed.clear();
    std::size_t names = 0;
    for (const mft::Attribute& attribute : record.attributes) {
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
            if (gathered.names.size() <= names) {
                gathered.names.emplace_back();
            }
            if (mft::parseFileName(value, gathered.names[names]) &&
                gathered.names[names].nameSpace != mft::kDosNames) {
                ++names;
            }
        } else if (attribute.type == mft::kTypeAttributeList) {
            for (const mft::ListEntry& listed : mft::parseAttributeList(value)) {
                gathered.listed.push_back(mft::entryOf(listed.reference));
            }
        }
    }
    gathered.names.resize(names);
    if (gathered.baseReference != 0) {
        pending->extensions.push_back(gathered);
        return;
    }
    if (gathered.names.empty() && !gathered.hasList && entry != kRootRecord) {
        return;  // no name places it anywhere, here or in an extension record
    }
    const auto item = static_cast<std::uint32_t>(pending->index.items.size());
    IndexedItem indexed;
    indexed.entry = entry;
    indexed.sequence = record.sequence;
    indexed.inUse = record.inUse;
    indexed.directory = record.directory;
    indexed.hasStandardInformation = gathered.standard.has_value();
    indexed.standard = gathered.standard.value_or(mft::StandardInformation());
    indexed.streamsWhole = record.complete;
    for (const mft::FileName& name : gathered.names) {
        pending->addName(item, name);
    }
    if (gathered.hasList) {
        pending->spread.push_back(gathered);
        pending->spread.back().names.clear();
        pending->spreadItem.push_back(item);
    } else {
        pending->addStreams(indexed, gathered.pieces, false);
    }
    pending->index.items.push_back(indexed);
}

std::unique_ptr<VolumeIndex> IndexBuilder::finish() {
    Pending& p = *pending;
    std::vector<IndexedItem>& items = p.index.items;
    std::vector<IndexedEntry>& entries = p.index.entries;
    p.index.damagedRecords = damaged;

    // An extension record belongs to its base while both are in use and the
    // base's sequence is the one it names (NTFS counts the sequence up once
    // when it frees a record), and the base has an attribute list.
    for (Spread& extension : p.extensions) {
        const std::uint32_t item = p.itemOfEntry(mft::entryOf(extension.baseReference));
        const auto spread = std::lower_bound(p.spreadItem.begin(), p.spreadItem.end(), item);
        if (item == kNoItem || spread == p.spreadItem.end() || *spread != item) {
            continue;
        }
        Spread& base = p.spread[static_cast<std::size_t>(spread - p.spreadItem.begin())];
        if (base.inUse != extension.inUse ||
            !stillDescribes(base.sequence, mft::sequenceOf(extension.baseReference), !base.inUse)) {
            continue;
        }
        items[item].streamsWhole = items[item].streamsWhole && extension.complete;
        if (!items[item].hasStandardInformation && extension.standard) {
            items[item].hasStandardInformation = true;
            items[item].standard = *extension.standard;
        }
        for (const mft::FileName& name : extension.names) {
            p.addName(item, name);
        }
        std::move(extension.pieces.begin(), extension.pieces.end(),
                  std::back_inserter(base.pieces));
        base.listed.erase(std::remove(base.listed.begin(), base.listed.end(), extension.entry),
                          base.listed.end());
    }
    for (std::size_t i = 0; i < p.spread.size(); ++i) {
        IndexedItem& item = items[p.spreadItem[i]];
        const Spread& base = p.spread[i];
        // Every record the attribute list names was taken in.
        item.streamsWhole =
            item.streamsWhole && std::all_of(base.listed.begin(), base.listed.end(),
                                             [&](std::uint64_t e) { return e == base.entry; });
        p.addStreams(item, base.pieces, true);
    }
    p.spread = {};
    p.spreadItem = {};
    p.extensions = {};

    const std::uint32_t root = p.itemOfEntry(kRootRecord);
    if (root == kNoItem || !items[root].inUse || !items[root].directory) {
        return nullptr;
    }

    // Each long name goes to its folder if the parent reference holds: the
    // folder is a folder, still the one named (the same sequence, or one on
    // when both are deleted), and live if the item is.
    std::vector<std::uint32_t> firstParent(items.size(), kNoItem);
    for (std::size_t e = 0; e < entries.size(); ++e) {
        IndexedEntry& entry = entries[e];
        const std::uint64_t parentEntry = mft::entryOf(p.parentOf[e]);
        if (entry.item == root && parentEntry == kRootRecord) {
            entry.folder = kLeftOut;  // the root's own name
            continue;
        }
        const std::uint32_t parent = p.itemOfEntry(parentEntry);
        const IndexedItem& item = items[entry.item];
        bool holds = parent != kNoItem && parent != entry.item && items[parent].directory;
        if (holds && mft::sequenceOf(p.parentOf[e]) != 0) {
            holds = stillDescribes(items[parent].sequence, mft::sequenceOf(p.parentOf[e]),
                                   !items[parent].inUse && !item.inUse);
        }
        holds = holds && (items[parent].inUse || !item.inUse);
        entry.folder = holds ? parent : kBroken;
        if (holds && firstParent[entry.item] == kNoItem) {
            firstParent[entry.item] = parent;
        }
    }
    p.parentOf = {};
    IndexedEntry rootEntry;
    rootEntry.item = root;
    rootEntry.folder = kNoItem;
    entries.push_back(rootEntry);
    p.sortEntries();

    std::unordered_set<std::uint32_t> renamedIn;
    // One path names one item. A live name the folder holds twice is damage:
    // the first is kept and the listing says the folder is damaged. A deleted
    // item is one per record, and one whose name is taken gets a name that
    // says which record it is.
    for (std::size_t start = 1; start < entries.size() && entries[start].folder < items.size();) {
        const std::uint32_t folder = entries[start].folder;
        std::size_t end = start;
        while (end < entries.size() && entries[end].folder == folder) {
            ++end;
        }
        // Sorted by name, a live name held twice is met twice in a row.
        std::size_t lastLive = end;
        bool anyDeleted = false;
        for (std::size_t i = start; i < end; ++i) {
            if (!items[entries[i].item].inUse) {
                anyDeleted = true;
            } else if (lastLive != end &&
                       p.index.text(entries[lastLive].name) == p.index.text(entries[i].name)) {
                entries[i].folder = kLeftOut;
                items[folder].namesTwice = true;
            } else {
                lastLive = i;
            }
        }
        if (!anyDeleted) {
            start = end;
            continue;
        }
        std::unordered_set<std::u16string> taken;
        std::unordered_set<std::uint32_t> deletedItems;
        for (std::size_t i = start; i < end; ++i) {
            if (items[entries[i].item].inUse && entries[i].folder != kLeftOut) {
                taken.insert(std::u16string(p.index.text(entries[i].name)));
            }
        }
        for (std::size_t i = start; i < end; ++i) {
            IndexedEntry& entry = entries[i];
            const IndexedItem& item = items[entry.item];
            if (item.inUse) {
                continue;
            }
            if (!deletedItems.insert(entry.item).second) {
                entry.folder = kLeftOut;
                continue;
            }
            const std::u16string stored(p.index.text(entry.name));
            std::u16string name = stored;
            for (std::uint32_t copy = 1; !taken.insert(name).second; ++copy) {
                name = takenName(stored, item.entry, copy, true);
            }
            if (name != stored) {
                entry.name = p.pooled(name);
                renamedIn.insert(folder);
            }
        }
        start = end;
    }
    std::vector<IndexedEntry> broken;
    while (!entries.empty() &&
           (entries.back().folder == kBroken || entries.back().folder == kLeftOut)) {
        if (entries.back().folder == kBroken) {
            broken.push_back(entries.back());
        }
        entries.pop_back();
    }
    std::reverse(broken.begin(), broken.end());
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const IndexedEntry& e) { return e.folder == kLeftOut; }),
                  entries.end());
    p.findChildren();
    for (const std::uint32_t folder : renamedIn) {
        const auto first = entries.begin() + items[folder].firstChild;
        p.sortByName(first, first + items[folder].childCount);
    }

    // Down from the root: each folder is entered once, so a folder named twice
    // or a loop of parent references cannot make the tree endless.
    std::vector<bool> reached(items.size(), false);
    std::vector<bool> entered(items.size(), false);
    const auto descend = [&](std::uint32_t top) {
        std::vector<std::uint32_t> folders{top};
        entered[top] = true;
        reached[top] = true;
        while (!folders.empty()) {
            const IndexedItem& folder = items[folders.back()];
            folders.pop_back();
            for (std::uint32_t e = folder.firstChild; e < folder.firstChild + folder.childCount;
                 ++e) {
                const std::uint32_t child = entries[e].item;
                reached[child] = true;
                if (items[child].directory && !entered[child]) {
                    entered[child] = true;
                    folders.push_back(child);
                }
            }
        }
    };
    descend(root);

    // What the root does not reach: an item whose folder is gone, or the top
    // of a chain that loops (found by climbing with a guard on loops and depth).
    const auto orphanFolder = static_cast<std::uint32_t>(items.size());
    std::vector<IndexedEntry> adopted;
    std::unordered_set<std::u16string> orphanNames;
    const auto adopt = [&](const IndexedEntry& named, std::uint32_t item) {
        const std::u16string stored(p.index.text(named.name));
        std::u16string name = stored;
        for (std::uint32_t copy = 1; !orphanNames.insert(name).second; ++copy) {
            name = takenName(stored, items[item].entry, copy, !items[item].inUse);
        }
        IndexedEntry entry = named;
        entry.name = name == stored ? named.name : p.pooled(name);
        entry.item = item;
        entry.folder = orphanFolder;
        adopted.push_back(entry);
        descend(item);
    };
    for (const IndexedEntry& entry : broken) {
        if (!reached[entry.item] && firstParent[entry.item] == kNoItem) {
            adopt(entry, entry.item);
        }
    }
    std::vector<std::uint32_t> firstEntry(items.size(), kNoItem);
    for (std::uint32_t e = static_cast<std::uint32_t>(entries.size()); e-- > 1;) {
        firstEntry[entries[e].item] = e;
    }
    for (std::uint32_t item = 0; item < items.size(); ++item) {
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
        if (!reached[top] && firstEntry[top] != kNoItem) {
            adopt(entries[firstEntry[top]], top);  // it keeps the name it has in its folder
        }
    }
    if (!adopted.empty()) {
        p.index.orphans = adopted.size();
        IndexedItem folder;
        folder.entry = kNoRecord;
        folder.inUse = true;
        folder.directory = true;
        items.push_back(folder);
        // A root that holds the name itself (a crafted volume) keeps it.
        std::u16string folderName = kOrphanFolderName;
        for (std::uint32_t copy = 2; p.index.child(0, folderName); ++copy) {
            folderName = kOrphanFolderName + (u" (" + widenAscii(std::to_string(copy)) + u")");
        }
        IndexedEntry named;
        named.name = p.pooled(folderName);
        named.item = orphanFolder;
        named.folder = root;
        entries.push_back(named);
        entries.insert(entries.end(), adopted.begin(), adopted.end());
        p.sortEntries();
        p.findChildren();
    }

    // What each entry's path says: deleted below a deleted folder, the file
    // system's own below one of its folders. Set from the entry that enters a folder.
    std::fill(entered.begin(), entered.end(), false);
    entered.resize(items.size(), false);
    std::vector<std::uint32_t> folders{0};
    entered[root] = true;
    while (!folders.empty()) {
        const IndexedEntry parent = entries[folders.back()];
        folders.pop_back();
        const IndexedItem& folder = items[parent.item];
        for (std::uint32_t e = folder.firstChild; e < folder.firstChild + folder.childCount; ++e) {
            IndexedEntry& child = entries[e];
            const IndexedItem& item = items[child.item];
            const std::u16string_view name = p.index.text(child.name);
            child.deleted = parent.deleted || !item.inUse;
            child.system = parent.system || (parent.item == root && item.entry < kFirstUserRecord &&
                                             !name.empty() && name[0] == u'$');
            if (item.directory && !entered[child.item]) {
                entered[child.item] = true;
                folders.push_back(e);
            }
        }
    }
    return std::make_unique<VolumeIndex>(std::move(p.index));
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
    builder.reserve(count);
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
