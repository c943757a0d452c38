#include "window/result_rows.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_map>

#include "engine/display_escape.h"
#include "engine/path_forms.h"
#include "engine/platform_text.h"
#include "frontend/column_text.h"

namespace tessalin {

using streamscan::StreamRecord;

namespace {

template <typename T>
void growFor(std::vector<T>& items, std::size_t arriving) {
    const std::size_t needed = items.size() + arriving;
    if (needed > items.capacity())
        items.reserve(std::max(needed, items.capacity() * 2));
}

int threeWay(std::uint64_t a, std::uint64_t b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int compareText(const std::u16string& a, const std::u16string& b) {
    const int result = streamscan::compareTextIgnoreCase(a, b);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

// The byte order of two collation keys, eight bytes at a time. Keys of paths
// share long beginnings, and a runtime's byte-by-byte memcmp (Wine's is one)
// made their comparison most of a sort's time.
int compareKeyBytes(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i + 8 <= common; i += 8) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y)
            break;
    }
    for (; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return threeWay(a.size(), b.size());
}

}  // namespace

bool sortsByText(int column) {
    return column == kColumnStream || column == kColumnZone || column == kColumnHostUrl ||
           column == kColumnNote || column == kColumnAttributes;
}

RowKeys makeRowKeys(const StreamRecord& record, const CollationKeyMaker& makeKey) {
    RowKeys keys;
    keys.made = makeKey(streamscan::hostPathOf(record), keys.hostPath) &&
                makeKey(record.streamName, keys.streamName);
    return keys;
}

SortKey makeSortKey(const StreamRecord& record, int column) {
    SortKey key;
    if (sortsByText(column))
        key.text = streamscan::escapeForDisplay(columnText(record, column));
    key.hostPath = streamscan::hostPathOf(record);
    key.streamName = record.streamName;
    key.size = record.streamSize;
    key.modified = record.hostModified;
    key.severity = record.severity;
    return key;
}

int compareSortKeys(const SortKey& a, const SortKey& b, int column, bool ascending) {
    int result = 0;
    switch (column) {
        case kColumnSeverity:
            // Ascending puts the most severe rows first, under the up arrow.
            result = threeWay(b.severity, a.severity);
            break;
        case kColumnSize:
            result = threeWay(a.size, b.size);
            break;
        case kColumnModified:
            // CompareFileTime compares the two halves as unsigned numbers.
            result = threeWay(a.modified, b.modified);
            break;
        default:
            if (sortsByText(column)) {
                result = compareText(a.text, b.text);
            }
            break;
    }
    if (result == 0) {
        result = compareText(a.hostPath, b.hostPath);
    }
    if (result == 0) {
        result = compareText(a.streamName, b.streamName);
    }
    return ascending ? result : -result;
}

const StreamRecord* ResultRows::recordAtRow(std::int64_t row) const {
    if (row < 0 || static_cast<std::uint64_t>(row) >= rowOrder.size())
        return nullptr;
    const std::uint64_t index = rowOrder[static_cast<std::size_t>(row)];
    if (index >= records.size())
        return nullptr;
    return &records[static_cast<std::size_t>(index)];
}

void ResultRows::clear() {
    // Swapping with empty vectors gives the memory of a large result back.
    std::vector<StreamRecord>().swap(records);
    std::vector<std::uint64_t>().swap(rowOrder);
    std::vector<RowKeys>().swap(rowKeys);
    std::vector<std::uint32_t>().swap(tieRanks);
    std::vector<std::uint64_t>().swap(allOrder);
    streamRowCount = 0;
}

void ResultRows::setFilter(const RowFilter& filter) {
    RowFilter kept = filter;
    std::vector<std::uint64_t> shown;
    shown.reserve(allOrder.size());
    for (const std::uint64_t index : allOrder) {
        if (index < records.size() && filter.passes(records[static_cast<std::size_t>(index)]))
            shown.push_back(index);
    }
    rowOrder.swap(shown);
    shownFilter = std::move(kept);
}

std::size_t ResultRows::append(std::vector<StreamRecord>&& incoming, std::vector<RowKeys>&& keys) {
    const std::size_t count = incoming.size();
    if (count == 0)
        return 0;
    const bool withKeys = !keys.empty() || !rowKeys.empty();
    // Room grows by doubling: reserving only what arrives would move every
    // record already held at each drain of a long scan. All room is taken
    // before anything moves, so running out of memory changes nothing.
    growFor(records, count);
    growFor(rowOrder, count);
    growFor(allOrder, count);
    if (withKeys) {
        growFor(rowKeys, records.size() + count - rowKeys.size());
        rowKeys.resize(records.size());
    }
    for (std::size_t i = 0; i < count; ++i) {
        StreamRecord& record = incoming[i];
        if (!record.streamName.empty())
            ++streamRowCount;
        // A record the filter hides is listed all the same, and shown once the filter lets it.
        if (shownFilter.passes(record))
            rowOrder.push_back(records.size());
        allOrder.push_back(records.size());
        records.push_back(std::move(record));
        if (withKeys)
            rowKeys.push_back(i < keys.size() ? std::move(keys[i]) : RowKeys{});
    }
    incoming.clear();
    tieRanks.clear();  // the new records have no rank among the others yet
    return count;
}

void ResultRows::removeRecords(const std::vector<bool>& marked) {
    constexpr std::uint64_t kGone = ~std::uint64_t{0};
    // Every allocation comes first: once records start moving, nothing may
    // throw, or the list would be left with blank rows.
    std::vector<std::uint64_t> newIndex(records.size(), kGone);
    std::vector<StreamRecord> kept;
    kept.reserve(records.size());
    std::vector<RowKeys> keptKeys;
    keptKeys.reserve(rowKeys.size());
    std::vector<std::uint32_t> keptRanks;
    keptRanks.reserve(tieRanks.size());
    std::vector<std::uint64_t> newOrder;
    newOrder.reserve(rowOrder.size());
    std::vector<std::uint64_t> newAll;
    newAll.reserve(allOrder.size());

    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i < marked.size() && marked[i])
            continue;
        newIndex[i] = kept.size();
        kept.push_back(std::move(records[i]));
        if (i < rowKeys.size())
            keptKeys.push_back(std::move(rowKeys[i]));
        // Ranks keep their order among the records that stay.
        if (i < tieRanks.size())
            keptRanks.push_back(tieRanks[i]);
    }
    for (const std::uint64_t index : rowOrder) {
        if (index < newIndex.size() && newIndex[index] != kGone)
            newOrder.push_back(newIndex[index]);
    }
    for (const std::uint64_t index : allOrder) {
        if (index < newIndex.size() && newIndex[index] != kGone)
            newAll.push_back(newIndex[index]);
    }
    records.swap(kept);
    rowOrder.swap(newOrder);
    allOrder.swap(newAll);
    rowKeys.swap(keptKeys);
    tieRanks.swap(keptRanks);
    streamRowCount = 0;
    for (const auto& record : records) {
        if (!record.streamName.empty())
            ++streamRowCount;
    }
}

bool ResultRows::keepRowKeys(const CollationKeyMaker& makeKey) {
    rowKeys.resize(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!rowKeys[i].made) {
            rowKeys[i] = makeRowKeys(records[i], makeKey);
            if (!rowKeys[i].made)
                return false;
        }
    }
    return true;
}

void ResultRows::keepTieRanks() {
    if (tieRanks.size() == records.size())
        return;
    struct Tie {
        const std::string* hostPath;
        const std::string* streamName;
        std::uint32_t index;
    };
    const auto compareTies = [](const Tie& a, const Tie& b) {
        const int result = compareKeyBytes(*a.hostPath, *b.hostPath);
        return result != 0 ? result : compareKeyBytes(*a.streamName, *b.streamName);
    };
    std::vector<Tie> ties;
    ties.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        ties.push_back(
            {&rowKeys[i].hostPath, &rowKeys[i].streamName, static_cast<std::uint32_t>(i)});
    std::sort(ties.begin(), ties.end(),
              [&](const Tie& a, const Tie& b) { return compareTies(a, b) < 0; });
    std::vector<std::uint32_t> ranks(records.size());
    std::uint32_t rank = 0;
    for (std::size_t k = 0; k < ties.size(); ++k) {
        if (k > 0 && compareTies(ties[k - 1], ties[k]) != 0)
            ++rank;
        ranks[ties[k].index] = rank;
    }
    tieRanks.swap(ranks);
}

bool ResultRows::rankColumnTexts(int column, const CollationKeyMaker& makeKey,
                                 std::vector<std::uint64_t>& values) const {
    // Texts of a column repeat (zones, notes, attributes, Zone.Identifier): one
    // key per distinct text, and one rank per distinct key.
    std::unordered_map<std::u16string, std::uint32_t> distinct;
    std::vector<std::uint32_t> textOf(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto found =
            distinct.try_emplace(streamscan::escapeForDisplay(columnText(records[i], column)),
                                 static_cast<std::uint32_t>(distinct.size()));
        textOf[i] = found.first->second;
    }
    std::vector<std::string> keys(distinct.size());
    for (const auto& [text, id] : distinct) {
        if (!makeKey(text, keys[id]))
            return false;
    }
    std::vector<std::uint32_t> byKey(keys.size());
    for (std::uint32_t id = 0; id < byKey.size(); ++id)
        byKey[id] = id;
    std::sort(byKey.begin(), byKey.end(), [&](std::uint32_t a, std::uint32_t b) {
        return compareKeyBytes(keys[a], keys[b]) < 0;
    });
    std::vector<std::uint32_t> rankOfText(keys.size());
    std::uint32_t rank = 0;
    for (std::size_t k = 0; k < byKey.size(); ++k) {
        if (k > 0 && compareKeyBytes(keys[byKey[k - 1]], keys[byKey[k]]) != 0)
            ++rank;
        rankOfText[byKey[k]] = rank;
    }
    for (std::size_t i = 0; i < records.size(); ++i)
        values[i] = rankOfText[textOf[i]];
    return true;
}

bool ResultRows::sortByRanks(int column, bool ascending, const CollationKeyMaker& makeKey,
                             std::vector<std::uint64_t>& order) {
    for (const std::uint64_t index : order) {
        if (index >= records.size())
            return false;  // an inconsistent list sorts the plain way
    }
    if (!keepRowKeys(makeKey))
        return false;
    keepTieRanks();
    std::vector<std::uint64_t> values(records.size(), 0);
    if (sortsByText(column)) {
        if (!rankColumnTexts(column, makeKey, values))
            return false;
    } else {
        for (std::size_t i = 0; i < records.size(); ++i) {
            const StreamRecord& record = records[i];
            // Ascending puts the most severe rows first, under the up arrow.
            values[i] = column == kColumnSeverity   ? ~std::uint64_t{record.severity}
                        : column == kColumnSize     ? record.streamSize
                        : column == kColumnModified ? record.hostModified
                                                    : 0;
        }
    }
    // The sort itself compares numbers held side by side: no text, no key.
    struct Entry {
        std::uint64_t value;
        std::uint32_t tie;
        std::uint64_t index;
    };
    std::vector<Entry> entries;
    entries.reserve(order.size());
    for (const std::uint64_t index : order) {
        const auto i = static_cast<std::size_t>(index);
        entries.push_back({values[i], tieRanks[i], index});
    }
    std::stable_sort(entries.begin(), entries.end(), [ascending](const Entry& a, const Entry& b) {
        const int result = a.value != b.value ? threeWay(a.value, b.value) : threeWay(a.tie, b.tie);
        return ascending ? result < 0 : result > 0;
    });
    for (std::size_t k = 0; k < entries.size(); ++k)
        order[k] = entries[k].index;
    return true;
}

bool ResultRows::sortBy(int column, bool ascending, const CollationKeyMaker& makeKey) {
    try {
        // Sorted as a copy, so running out of memory half-way leaves the rows as
        // they were. Hidden rows are sorted too, so a wider filter shows them in place.
        std::vector<std::uint64_t> sorted(allOrder);
        if (!makeKey || !sortByRanks(column, ascending, makeKey, sorted)) {
            sorted = allOrder;
            std::vector<SortKey> keys;
            keys.reserve(records.size());
            for (const auto& record : records)
                keys.push_back(makeSortKey(record, column));
            const auto keyOf = [&](std::uint64_t index) -> const SortKey* {
                return index < keys.size() ? &keys[static_cast<std::size_t>(index)] : nullptr;
            };
            std::stable_sort(sorted.begin(), sorted.end(), [&](std::uint64_t a, std::uint64_t b) {
                const SortKey* ka = keyOf(a);
                const SortKey* kb = keyOf(b);
                // A row without a record cannot happen in a consistent list; keep it last.
                if (ka == nullptr || kb == nullptr)
                    return ka != nullptr && kb == nullptr;
                return compareSortKeys(*ka, *kb, column, ascending) < 0;
            });
        }
        std::vector<std::uint64_t> shown;
        shown.reserve(rowOrder.size());
        for (const std::uint64_t index : sorted) {
            if (index < records.size() &&
                shownFilter.passes(records[static_cast<std::size_t>(index)]))
                shown.push_back(index);
        }
        allOrder.swap(sorted);
        rowOrder.swap(shown);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::vector<bool> ResultRows::markRecordsOfRows(const std::vector<int>& rows) const {
    std::vector<bool> marked(records.size(), false);
    for (const int row : rows) {
        if (row < 0 || static_cast<std::size_t>(row) >= rowOrder.size())
            continue;
        const std::uint64_t index = rowOrder[static_cast<std::size_t>(row)];
        if (index < marked.size())
            marked[static_cast<std::size_t>(index)] = true;
    }
    return marked;
}

std::vector<int> ResultRows::rowsOfMarkedRecords(const std::vector<bool>& marked) const {
    std::vector<int> rows;
    for (std::size_t row = 0; row < rowOrder.size(); ++row) {
        const std::uint64_t index = rowOrder[row];
        if (index < marked.size() && marked[static_cast<std::size_t>(index)]) {
            rows.push_back(static_cast<int>(row));
        }
    }
    return rows;
}

int ResultRows::findRow(std::u16string_view search, std::int64_t startRow, bool partial) const {
    const std::size_t count = rowOrder.size();
    if (search.empty() || count == 0)
        return -1;
    std::size_t row = startRow >= 0 && static_cast<std::uint64_t>(startRow) < count
                          ? static_cast<std::size_t>(startRow)
                          : 0;
    // Only as much of each displayed path as the search can match is made, in
    // buffers reused from row to row: a keystroke costs no allocation per row.
    // One code unit more than the search tells a longer path from an equal one.
    std::u16string path;
    std::u16string shown;
    for (std::size_t visited = 0; visited < count; ++visited, row = (row + 1) % count) {
        const StreamRecord* record = recordAtRow(static_cast<std::int64_t>(row));
        if (record == nullptr)
            continue;
        streamscan::joinPathInto(path, record->hostFolder, record->hostName);
        streamscan::escapedPrefixInto(shown, path, search.size() + 1);
        const bool match =
            partial ? shown.size() >= search.size() &&
                          streamscan::ordinalEqualIgnoreCase(
                              std::u16string_view(shown).substr(0, search.size()), search)
                    : streamscan::ordinalEqualIgnoreCase(shown, search);
        if (match)
            return static_cast<int>(row);
    }
    return -1;
}

}  // namespace tessalin
