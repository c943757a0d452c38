// What stands behind the rows of the result list: the records in arrival order,
// the row order (list row -> record index), sorting with fixed tie-breaks,
// type-to-find and the removal of records. Plain logic, window thread only; the
// list control asks it for row counts and records and never owns a record.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scan_types.h"

namespace tessalin {

// Makes the collation key of a text: bytes whose plain order is the order of
// compareTextIgnoreCase. False when the system cannot make one.
using CollationKeyMaker = std::function<bool(std::u16string_view text, std::string& key)>;

// One record's sort values, built afresh for each sort.
struct SortKey {
    std::u16string text;  // the sort column's displayed text, only for text columns
    std::u16string hostPath;
    std::u16string streamName;
    std::uint64_t size = 0;
    std::uint64_t modified = 0;  // FILETIME
    std::uint32_t severity = 0;
    // Collation keys of the three texts, when the sort was given a key maker.
    bool collated = false;
    std::string textKey;
    std::string hostPathKey;
    std::string streamNameKey;
};

// Columns whose order is that of their displayed text (Stream, Zone, Host URL,
// Note, Attributes).
bool sortsByText(int column);
SortKey makeSortKey(const streamscan::StreamRecord& record, int column);
// Three-way comparison of two keys for a sort by `column` in the given
// direction; the tie-breaks (path, then stream name) follow the direction too.
int compareSortKeys(const SortKey& a, const SortKey& b, int column, bool ascending);

class ResultRows {
  public:
    std::vector<streamscan::StreamRecord> records;  // arrival order; the index is the identity
    std::vector<std::uint64_t> rowOrder;            // list row -> index in records
    std::uint64_t streamRowCount = 0;               // records with a non-empty streamName

    // The record shown in `row`, or null for a row outside the list or one that
    // names an index beyond records.
    const streamscan::StreamRecord* recordAtRow(std::int64_t row) const;

    void clear();

    // Moves the records to the end, in order, and appends their rows at the
    // bottom. Returns how many arrived.
    std::size_t append(std::vector<streamscan::StreamRecord>&& incoming);

    // Drops the records whose index is marked (indices beyond `marked` stay),
    // keeping the order of the rest; rows of dropped records disappear and the
    // remaining rows keep their order.
    void removeRecords(const std::vector<bool>& marked);

    // Stable sort of rowOrder. False when memory ran out: rowOrder is unchanged.
    // With a key maker, every text is turned into its collation key once instead
    // of being compared through the system at every step of the sort.
    bool sortBy(int column, bool ascending, const CollationKeyMaker& makeKey = {});

    // The records behind the given rows, as one flag per record index, so that a
    // selection survives a sort or a removal.
    std::vector<bool> markRecordsOfRows(const std::vector<int>& rows) const;
    // The rows, in row order, whose record is marked.
    std::vector<int> rowsOfMarkedRecords(const std::vector<bool>& marked) const;

    // Type-to-find: the first row from `startRow` on (wrapping around; row 0 when
    // `startRow` lies outside) whose displayed host path equals `search`, or
    // begins with it when `partial`, ignoring case. -1 when there is none.
    int findRow(std::u16string_view search, std::int64_t startRow, bool partial) const;
};

}  // namespace tessalin
