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
#include "frontend/row_filter.h"

namespace tessalin {

// Makes the collation key of a text: bytes whose plain order is the order of
// compareTextIgnoreCase. False when the system cannot make one.
using CollationKeyMaker = std::function<bool(std::u16string_view text, std::string& key)>;

// Collation keys of the two texts every sort compares last (host path, then
// stream name). Made once per record, on the worker as the record arrives, and
// kept beside it, so a sort asks the system for no key of its own but those of
// the sort column's distinct texts.
struct RowKeys {
    bool made = false;  // false: not made yet, or the system could not make one
    std::string hostPath;
    std::string streamName;
};
RowKeys makeRowKeys(const streamscan::StreamRecord& record, const CollationKeyMaker& makeKey);

// One record's sort values for a sort that compares through the system (no
// key maker, or a key that could not be made), built afresh for each sort.
struct SortKey {
    std::u16string text;  // the sort column's displayed text, only for text columns
    std::u16string hostPath;
    std::u16string streamName;
    std::uint64_t size = 0;
    std::uint64_t modified = 0;  // FILETIME
    std::uint32_t severity = 0;
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
    std::vector<std::uint64_t> rowOrder;  // list row -> index in records: the rows the filter shows
    std::uint64_t streamRowCount = 0;     // records with a non-empty streamName
    // Index-aligned with records; may be shorter (records that arrived without
    // keys get theirs at the first sort that asks for them).
    std::vector<RowKeys> rowKeys;

    // The record shown in `row`, or null for a row outside the list or one that
    // names an index beyond records.
    const streamscan::StreamRecord* recordAtRow(std::int64_t row) const;

    // Every record still listed, shown or hidden by the filter; rowOrder is the
    // part of it that the filter shows, in the same order.
    const std::vector<std::uint64_t>& allRows() const { return allOrder; }
    const RowFilter& filter() const { return shownFilter; }
    std::uint64_t hiddenCount() const { return allOrder.size() - rowOrder.size(); }
    // Shows the rows that pass `filter`, in the order all rows have. Out of
    // memory: nothing has changed.
    void setFilter(const RowFilter& filter);

    void clear();

    // Moves the records (and their keys, when given: one per record) to the
    // end, in order, and appends their rows at the bottom. Returns how many
    // arrived. Out of memory: nothing has changed.
    std::size_t append(std::vector<streamscan::StreamRecord>&& incoming,
                       std::vector<RowKeys>&& keys = {});

    // Drops the records whose index is marked (indices beyond `marked` stay),
    // keeping the order of the rest; rows of dropped records disappear and the
    // remaining rows keep their order. Out of memory: nothing has changed.
    void removeRecords(const std::vector<bool>& marked);

    // Stable sort of the rows, shown and hidden. False when memory ran out: rowOrder is unchanged.
    // With a key maker, the kept keys (made here for records that lack them)
    // and one key per distinct text of the sort column become ranks, and the
    // sort compares numbers; when a key cannot be made, the whole sort compares
    // through the system.
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

  private:
    // Makes the keys records lack; false when the system cannot make one.
    bool keepRowKeys(const CollationKeyMaker& makeKey);
    // The order of every record by its tie-breaks (host path, then stream name)
    // as one number each, made from the kept keys once after records arrive.
    void keepTieRanks();
    // Each record's rank by the sort column's shown text, into `values`.
    bool rankColumnTexts(int column, const CollationKeyMaker& makeKey,
                         std::vector<std::uint64_t>& values) const;
    // The sort by numbers; false when a key cannot be made or the rows are
    // inconsistent, and the sort compares through the system instead.
    bool sortByRanks(int column, bool ascending, const CollationKeyMaker& makeKey,
                     std::vector<std::uint64_t>& order);

    // Index-aligned with records when kept; empty after records arrive.
    std::vector<std::uint32_t> tieRanks;
    std::vector<std::uint64_t> allOrder;  // every listed record in list order
    RowFilter shownFilter;
};

}  // namespace tessalin
