// What stands behind the rows of the result list: the records in arrival order,
// the row order (list row -> record index), sorting with fixed tie-breaks,
// type-to-find and the removal of records. Plain logic, window thread only; the
// list control asks it for row counts and records and never owns a record.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/scan_types.h"

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

// One record's sort values, built afresh for each sort.
struct SortKey {
    std::u16string text;  // the sort column's displayed text, only for text columns
    std::u16string hostPath;
    std::u16string streamName;
    std::uint64_t size = 0;
    std::uint64_t modified = 0;  // FILETIME
    std::uint32_t severity = 0;
    // Collation keys of the three texts when the sort has them for every record
    // (then hostPath and streamName stay empty); owned by the rows and the sort.
    const std::string* textKey = nullptr;
    const std::string* hostPathKey = nullptr;
    const std::string* streamNameKey = nullptr;
};

// Columns whose order is that of their displayed text (Stream, Zone, Host URL,
// Note, Attributes).
bool sortsByText(int column);
// Without `withTexts`, only the sort column's text is made, for a sort that
// compares the tie-breaks by their kept keys.
SortKey makeSortKey(const streamscan::StreamRecord& record, int column, bool withTexts = true);
// Three-way comparison of two keys for a sort by `column` in the given
// direction; the tie-breaks (path, then stream name) follow the direction too.
int compareSortKeys(const SortKey& a, const SortKey& b, int column, bool ascending);

class ResultRows {
  public:
    std::vector<streamscan::StreamRecord> records;  // arrival order; the index is the identity
    std::vector<std::uint64_t> rowOrder;            // list row -> index in records
    std::uint64_t streamRowCount = 0;               // records with a non-empty streamName
    // Index-aligned with records; may be shorter (records that arrived without
    // keys get theirs at the first sort that asks for them).
    std::vector<RowKeys> rowKeys;

    // The record shown in `row`, or null for a row outside the list or one that
    // names an index beyond records.
    const streamscan::StreamRecord* recordAtRow(std::int64_t row) const;

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

    // Stable sort of rowOrder. False when memory ran out: rowOrder is unchanged.
    // With a key maker, the kept keys (made here for records that lack them) and
    // one key per distinct text of the sort column stand in for a comparison
    // through the system at every step; when one cannot be made, the whole sort
    // compares through the system.
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
    // With kept keys, the text keys go into `textKeys`, which must outlive the result.
    std::vector<SortKey> sortKeys(int column, const CollationKeyMaker& makeKey,
                                  std::unordered_map<std::u16string, std::string>& textKeys);
};

}  // namespace tessalin
