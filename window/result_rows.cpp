#include "window/result_rows.h"

#include <algorithm>
#include <new>

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

int compareText(bool collated, const std::string& keyA, const std::string& keyB,
                const std::u16string& a, const std::u16string& b) {
    if (!collated)
        return compareText(a, b);
    const int result = keyA.compare(keyB);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

// All keys or none: a sort never mixes the two ways of comparing.
bool addCollationKeys(std::vector<SortKey>& keys, const CollationKeyMaker& makeKey) {
    for (auto& key : keys) {
        if (!makeKey(key.text, key.textKey) || !makeKey(key.hostPath, key.hostPathKey) ||
            !makeKey(key.streamName, key.streamNameKey)) {
            for (auto& k : keys) {
                k.collated = false;
                std::string().swap(k.textKey);
                std::string().swap(k.hostPathKey);
                std::string().swap(k.streamNameKey);
            }
            return false;
        }
        key.collated = true;
    }
    return true;
}

}  // namespace

bool sortsByText(int column) {
    return column == kColumnStream || column == kColumnZone || column == kColumnHostUrl ||
           column == kColumnNote || column == kColumnAttributes;
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
    const bool collated = a.collated && b.collated;
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
                result = compareText(collated, a.textKey, b.textKey, a.text, b.text);
            }
            break;
    }
    if (result == 0) {
        result = compareText(collated, a.hostPathKey, b.hostPathKey, a.hostPath, b.hostPath);
    }
    if (result == 0) {
        result =
            compareText(collated, a.streamNameKey, b.streamNameKey, a.streamName, b.streamName);
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
    streamRowCount = 0;
}

std::size_t ResultRows::append(std::vector<StreamRecord>&& incoming) {
    const std::size_t count = incoming.size();
    if (count == 0)
        return 0;
    // Room grows by doubling: reserving only what arrives would move every
    // record already held at each drain of a long scan.
    growFor(records, count);
    growFor(rowOrder, count);
    for (auto& record : incoming) {
        if (!record.streamName.empty())
            ++streamRowCount;
        rowOrder.push_back(records.size());
        records.push_back(std::move(record));
    }
    incoming.clear();
    return count;
}

void ResultRows::removeRecords(const std::vector<bool>& marked) {
    constexpr std::uint64_t kGone = ~std::uint64_t{0};
    std::vector<std::uint64_t> newIndex(records.size(), kGone);
    std::vector<StreamRecord> kept;
    kept.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i < marked.size() && marked[i])
            continue;
        newIndex[i] = kept.size();
        kept.push_back(std::move(records[i]));
    }
    std::vector<std::uint64_t> newOrder;
    newOrder.reserve(rowOrder.size());
    for (const std::uint64_t index : rowOrder) {
        if (index < newIndex.size() && newIndex[index] != kGone)
            newOrder.push_back(newIndex[index]);
    }
    records = std::move(kept);
    rowOrder = std::move(newOrder);
    streamRowCount = 0;
    for (const auto& record : records) {
        if (!record.streamName.empty())
            ++streamRowCount;
    }
}

bool ResultRows::sortBy(int column, bool ascending, const CollationKeyMaker& makeKey) {
    try {
        std::vector<SortKey> keys;
        keys.reserve(records.size());
        for (const auto& record : records)
            keys.push_back(makeSortKey(record, column));
        if (makeKey)
            addCollationKeys(keys, makeKey);
        // Sorted as a copy, so running out of memory half-way leaves the rows as they were.
        std::vector<std::uint64_t> sorted(rowOrder);
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
        rowOrder.swap(sorted);
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
    for (std::size_t visited = 0; visited < count; ++visited, row = (row + 1) % count) {
        const StreamRecord* record = recordAtRow(static_cast<std::int64_t>(row));
        if (record == nullptr)
            continue;
        const std::u16string path = streamscan::escapeForDisplay(streamscan::hostPathOf(*record));
        const bool match = partial
                               ? path.size() >= search.size() &&
                                     streamscan::ordinalEqualIgnoreCase(
                                         std::u16string_view(path).substr(0, search.size()), search)
                               : streamscan::ordinalEqualIgnoreCase(path, search);
        if (match)
            return static_cast<int>(row);
    }
    return -1;
}

}  // namespace tessalin
