#include "window/result_rows.h"

#include <gtest/gtest.h>

#include "frontend/column_text.h"

namespace tessalin {
namespace {

using streamscan::StreamRecord;
using Names = std::vector<std::u16string>;

ResultRows rowsOf(std::vector<StreamRecord> records, std::vector<RowKeys> keys = {}) {
    ResultRows rows;
    rows.append(std::move(records), std::move(keys));
    return rows;
}

// The stream names in row order: what the user sees top to bottom.
Names shown(const ResultRows& rows) {
    Names out;
    for (std::int64_t row = 0; rows.recordAtRow(row) != nullptr; ++row)
        out.push_back(rows.recordAtRow(row)->streamName);
    return out;
}

// ASCII folded to lower case orders as the case-insensitive comparison does.
bool asciiKey(std::u16string_view text, std::string& key) {
    key.clear();
    for (char16_t c : text) {
        if (c > 0x7F)
            return false;
        key.push_back(static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c));
    }
    return true;
}

StreamRecord rec(std::u16string host, std::u16string stream = u"", std::uint64_t size = 0,
                 std::uint64_t modified = 0, std::uint32_t severity = 0) {
    return {.hostFolder = host,
            .streamName = stream,
            .streamSize = size,
            .hostModified = modified,
            .severity = severity};
}

const std::vector<StreamRecord> kRecords = {
    rec(u"/b", u"s-b", 1, 300, 0), rec(u"/a", u"s-a2", 5, 100, 2), rec(u"/a", u"s-a1", 5, 200, 1),
    rec(u"/B", u"Zz", 9, ~0ull, 2)};

std::vector<RowKeys> keysOf(const std::vector<StreamRecord>& records) {
    std::vector<RowKeys> keys;
    for (const StreamRecord& record : records)
        keys.push_back(makeRowKeys(record, asciiKey));
    return keys;
}

TEST(ResultRows, SortOrdersByColumnWithTieBreaksInBothDirectionsWithOrWithoutKeys) {
    const std::tuple<int, bool, Names> cases[] = {
        {kColumnSeverity, true, {u"s-a2", u"Zz", u"s-a1", u"s-b"}},  // alerts first
        {kColumnSeverity, false, {u"s-b", u"s-a1", u"Zz", u"s-a2"}},
        {kColumnPath, true, {u"s-a1", u"s-a2", u"s-b", u"Zz"}},
        {kColumnPath, false, {u"Zz", u"s-b", u"s-a2", u"s-a1"}},
        {kColumnSize, false, {u"Zz", u"s-a2", u"s-a1", u"s-b"}},
        {kColumnModified, true, {u"s-a2", u"s-a1", u"s-b", u"Zz"}},  // unsigned
        {kColumnStream, false, {u"Zz", u"s-b", u"s-a2", u"s-a1"}},
    };
    for (const auto& [column, ascending, expected] : cases) {
        ResultRows plain = rowsOf(kRecords);
        ResultRows keyed = rowsOf(kRecords, keysOf(kRecords));
        ASSERT_TRUE(plain.sortBy(column, ascending));
        ASSERT_TRUE(keyed.sortBy(column, ascending, asciiKey));
        EXPECT_EQ(shown(plain), expected) << column << ascending;
        EXPECT_EQ(keyed.rowOrder, plain.rowOrder) << column << ascending;
    }
}

TEST(ResultRows, RemovalKeepsTheOrderOfTheRestAndTheirKeysAndCountsStreamRows) {
    ResultRows rows = rowsOf(kRecords, keysOf(kRecords));
    rows.append({rec(u"/c")});  // an item row
    EXPECT_EQ(rows.streamRowCount, 4u);
    ASSERT_TRUE(rows.sortBy(kColumnSize, true));
    rows.removeRecords({false, true, false});  // a short mask leaves the records beyond it alone
    EXPECT_EQ(shown(rows), (Names{u"", u"s-b", u"s-a1", u"Zz"}));
    EXPECT_EQ(rows.streamRowCount, 3u);
    EXPECT_EQ(rows.recordAtRow(-1), nullptr);
}

TEST(ResultRows, SelectionFollowsItsRecordsThroughASortAndFindMatchesShownPaths) {
    ResultRows rows = rowsOf({rec(u"/Data"), rec(u"/x"), rec(u"/DATA2"), rec(u"/d\tx")});
    const std::vector<bool> marked = rows.markRecordsOfRows({0, 2, 99, -1});
    EXPECT_EQ(marked, (std::vector<bool>{true, false, true, false}));
    ASSERT_TRUE(rows.sortBy(kColumnPath, true));  // /d\tx, /Data, /DATA2, /x
    EXPECT_EQ(rows.rowsOfMarkedRecords(marked), (std::vector<int>{1, 2}));
    const std::tuple<std::u16string, std::int64_t, bool, int> cases[] = {
        {u"/da", 0, true, 1},
        {u"/da", 2, true, 2},
        {u"/DATA2", 0, false, 2},
        {u"/d<U+0009>", 1, true, 0},
        {u"/d\t", 0, true, -1},
        {u"", 0, true, -1},
        // From the last row the search goes round; a start outside the rows is row 0.
        {u"/data2", 3, false, 2},
        {u"/d<U+0009>", 4, true, 0},
        {u"/d<U+0009>", -1, true, 0},
    };
    for (const auto& [search, start, partial, row] : cases) {
        EXPECT_EQ(rows.findRow(search, start, partial), row) << start;
    }
}

}  // namespace
}  // namespace tessalin

namespace tessalin {
namespace {

TEST(ResultRows, TheFilterShowsPassingRowsInListOrderAndHiddenRowsKeepTheirPlace) {
    ResultRows rows = rowsOf(kRecords, keysOf(kRecords));
    RowFilter zOrA1;
    zOrA1.namePatterns = {u"z?", u"*A1"};
    rows.setFilter(zOrA1);
    EXPECT_EQ(shown(rows), (Names{u"s-a1", u"Zz"}));
    EXPECT_EQ(rows.hiddenCount(), 2u);
    rows.append({rec(u"/c", u"zq"), rec(u"/c", u"other")});  // arrivals are filtered too
    EXPECT_EQ(shown(rows), (Names{u"s-a1", u"Zz", u"zq"}));
    ASSERT_TRUE(rows.sortBy(kColumnSize, false, asciiKey));
    rows.removeRecords({false, false, true});  // s-a1 leaves
    rows.setFilter({});
    EXPECT_EQ(shown(rows), (Names{u"Zz", u"s-a2", u"s-b", u"zq", u"other"}));
    EXPECT_EQ(rows.hiddenCount(), 0u);
}

}  // namespace
}  // namespace tessalin
