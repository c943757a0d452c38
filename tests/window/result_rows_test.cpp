#include "window/result_rows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>

#include "engine/file_system.h"
#include "frontend/column_text.h"
#include "support/allocation_failure.h"

namespace tessalin {
namespace {

using streamscan::StreamRecord;

constexpr bool kWindowsPaths = streamscan::kNativePathStyle == streamscan::PathStyle::windows;

std::u16string root() {
    return kWindowsPaths ? u"C:\\" : u"/";
}
std::u16string folder(std::u16string name) {
    return kWindowsPaths ? u"C:\\" + name : u"/" + name;
}

StreamRecord rec(std::u16string hostFolder, std::u16string hostName, std::u16string stream,
                 std::uint64_t size = 0, std::uint32_t severity = 0, std::uint64_t modified = 0) {
    StreamRecord r;
    r.hostFolder = std::move(hostFolder);
    r.hostName = std::move(hostName);
    r.streamName = std::move(stream);
    r.streamType = r.streamName.empty() ? u"" : u"$DATA";
    r.streamSize = size;
    r.severity = severity;
    r.hostModified = modified;
    return r;
}

ResultRows rowsOf(std::vector<StreamRecord> records) {
    ResultRows rows;
    rows.append(std::move(records));
    return rows;
}

// The records' stream names in row order: what the user sees top to bottom.
std::vector<std::u16string> streamsInRowOrder(const ResultRows& rows) {
    std::vector<std::u16string> out;
    for (std::size_t row = 0; row < rows.rowOrder.size(); ++row) {
        out.push_back(rows.recordAtRow(static_cast<std::int64_t>(row))->streamName);
    }
    return out;
}

using Names = std::vector<std::u16string>;

TEST(ResultRows, AppendKeepsArrivalOrderAndCountsStreamRows) {
    ResultRows rows;
    std::vector<StreamRecord> batch{rec(root(), u"a", u"s1"), rec(root(), u"b", u"")};
    EXPECT_EQ(rows.append(std::move(batch)), 2u);
    EXPECT_TRUE(batch.empty());
    rows.append({rec(root(), u"c", u"s3")});
    EXPECT_EQ(streamsInRowOrder(rows), (Names{u"s1", u"", u"s3"}));
    EXPECT_EQ(rows.streamRowCount, 2u);
    EXPECT_EQ(rows.rowOrder, (std::vector<std::uint64_t>{0, 1, 2}));
    rows.clear();
    EXPECT_TRUE(rows.records.empty());
    EXPECT_TRUE(rows.rowOrder.empty());
    EXPECT_EQ(rows.streamRowCount, 0u);
}

TEST(ResultRows, RecordAtRowRefusesRowsOutsideTheListAndStaleIndices) {
    ResultRows rows = rowsOf({rec(root(), u"a", u"s1"), rec(root(), u"b", u"s2")});
    rows.rowOrder.push_back(7);  // a row that names no record
    EXPECT_EQ(rows.recordAtRow(0)->streamName, u"s1");
    EXPECT_EQ(rows.recordAtRow(1)->streamName, u"s2");
    EXPECT_EQ(rows.recordAtRow(-1), nullptr);
    EXPECT_EQ(rows.recordAtRow(2), nullptr);
    EXPECT_EQ(rows.recordAtRow(3), nullptr);
}

TEST(ResultRows, SortOrdersByColumnWithTieBreaksInBothDirections) {
    struct Case {
        const char* label;
        int column;
        bool ascending;
        Names expected;
    };
    // Paths: /a holds s-a1 (size 5, Notice) and s-a2 (size 5, Alert); /b holds
    // s-b (size 1, none) and Zz (size 9, Alert).
    const std::vector<StreamRecord> records{
        rec(root(), u"b", u"s-b", 1, 0, 300),
        rec(root(), u"a", u"s-a2", 5, 2, 100),
        rec(root(), u"a", u"s-a1", 5, 1, 200),
        rec(root(), u"b", u"Zz", 9, 2, 0xFFFFFFFF00000000ull),
    };
    const Case cases[] = {
        {"severity up: alerts first, ties by path then name",
         kColumnSeverity,
         true,
         {u"s-a2", u"Zz", u"s-a1", u"s-b"}},
        {"severity down reverses ties too",
         kColumnSeverity,
         false,
         {u"s-b", u"s-a1", u"Zz", u"s-a2"}},
        {"path up", kColumnPath, true, {u"s-a1", u"s-a2", u"s-b", u"Zz"}},
        {"path down", kColumnPath, false, {u"Zz", u"s-b", u"s-a2", u"s-a1"}},
        {"size up", kColumnSize, true, {u"s-b", u"s-a1", u"s-a2", u"Zz"}},
        {"size down: equal sizes by path and name, descending",
         kColumnSize,
         false,
         {u"Zz", u"s-a2", u"s-a1", u"s-b"}},
        {"modified up, unsigned", kColumnModified, true, {u"s-a2", u"s-a1", u"s-b", u"Zz"}},
        {"stream text ignores case", kColumnStream, true, {u"s-a1", u"s-a2", u"s-b", u"Zz"}},
        {"stream text down", kColumnStream, false, {u"Zz", u"s-b", u"s-a2", u"s-a1"}},
    };
    for (const auto& c : cases) {
        ResultRows rows = rowsOf(records);
        ASSERT_TRUE(rows.sortBy(c.column, c.ascending)) << c.label;
        EXPECT_EQ(streamsInRowOrder(rows), c.expected) << c.label;
    }
}

TEST(ResultRows, EqualRowsKeepTheirRelativeOrderThroughAnyNumberOfSorts) {
    // Four identical records: only their identity (index) tells them apart.
    ResultRows rows = rowsOf({rec(root(), u"x", u"s"), rec(root(), u"x", u"s"),
                              rec(root(), u"x", u"s"), rec(root(), u"x", u"s")});
    rows.rowOrder = {2, 0, 3, 1};
    for (int column = 0; column < kColumnCount; ++column) {
        ASSERT_TRUE(rows.sortBy(column, column % 2 == 0));
        EXPECT_EQ(rows.rowOrder, (std::vector<std::uint64_t>{2, 0, 3, 1})) << column;
    }
}

TEST(ResultRows, TextColumnsSortByTheDisplayedText) {
    StreamRecord plain = rec(root(), u"a", u"b");
    StreamRecord escaped = rec(root(), u"a", u"\u202Ea");  // shows as <U+202E>a, which sorts first
    ResultRows rows = rowsOf({plain, escaped});
    ASSERT_TRUE(rows.sortBy(kColumnStream, true));
    EXPECT_EQ(rows.rowOrder, (std::vector<std::uint64_t>{1, 0}));
}

TEST(ResultRows, OutOfMemoryDuringSortOrRemovalChangesNothing) {
    std::vector<StreamRecord> records;
    for (int i = 0; i < 50; ++i) {
        records.push_back(rec(root(), u"h" + std::u16string(1, char16_t(u'z' - i % 26)), u"s",
                              static_cast<std::uint64_t>(50 - i)));
    }
    const ResultRows rows = rowsOf(records);
    std::vector<bool> everyThird(records.size());
    for (std::size_t i = 0; i < everyThird.size(); i += 3)
        everyThird[i] = true;
    const struct {
        const char* name;
        std::function<bool(ResultRows&)> run;  // false: it ran out of memory
    } operations[] = {
        {"sort", [](ResultRows& r) { return r.sortBy(kColumnStream, true); }},
        {"remove",
         [&](ResultRows& r) {
             try {
                 r.removeRecords(everyThird);
                 return true;
             } catch (const std::bad_alloc&) {
                 return false;
             }
         }},
    };
    for (const auto& operation : operations) {
        bool anyFailed = false;
        // Fail at every allocation in turn until the operation needs no more.
        for (long budget = 0; budget < 2000; ++budget) {
            ResultRows copy = rows;
            testsupport::failAllocationsAfter(budget);
            const bool done = operation.run(copy);
            testsupport::failAllocationsAfter(-1);
            if (done)
                break;
            anyFailed = true;
            ASSERT_EQ(copy.rowOrder, rows.rowOrder) << operation.name << budget;
            ASSERT_EQ(streamsInRowOrder(copy), streamsInRowOrder(rows)) << operation.name << budget;
            ASSERT_EQ(copy.records.size(), rows.records.size()) << operation.name << budget;
            ASSERT_EQ(copy.records.back().hostName, rows.records.back().hostName) << operation.name;
        }
        EXPECT_TRUE(anyFailed) << operation.name;
    }
}

TEST(ResultRows, RemoveRecordsKeepsTheOrderOfTheRestAndRecounts) {
    ResultRows rows =
        rowsOf({rec(root(), u"a", u"s0"), rec(root(), u"b", u""), rec(root(), u"c", u"s2"),
                rec(root(), u"d", u"s3"), rec(root(), u"e", u"s4")});
    rows.rowOrder = {4, 2, 0, 3, 1};  // a sorted list
    rows.removeRecords({false, false, true, false, true});
    EXPECT_EQ(streamsInRowOrder(rows), (Names{u"s0", u"s3", u""}));
    EXPECT_EQ(rows.records.size(), 3u);
    EXPECT_EQ(rows.streamRowCount, 2u);
    // A short mask leaves the records beyond it alone.
    rows.removeRecords({true});
    EXPECT_EQ(streamsInRowOrder(rows), (Names{u"s3", u""}));
    EXPECT_EQ(rows.streamRowCount, 1u);
}

TEST(ResultRows, SelectionFollowsItsRecordsThroughASort) {
    ResultRows rows =
        rowsOf({rec(root(), u"c", u"s"), rec(root(), u"a", u"s"), rec(root(), u"b", u"s")});
    const auto marked = rows.markRecordsOfRows({0, 2, 99, -1});
    EXPECT_EQ(marked, (std::vector<bool>{true, false, true}));
    ASSERT_TRUE(rows.sortBy(kColumnPath, true));  // a, b, c
    EXPECT_EQ(rows.rowsOfMarkedRecords(marked), (std::vector<int>{1, 2}));
}

TEST(ResultRows, TypeToFindSearchesDisplayedPathsFromTheStartRowWrapping) {
    ResultRows rows =
        rowsOf({rec(folder(u"Data"), u"one", u"s"), rec(folder(u"x"), u"two", u"s"),
                rec(folder(u"DATA"), u"three", u"s"), rec(folder(u"d\tx"), u"f", u"s")});
    const std::u16string prefix = folder(u"da");
    EXPECT_EQ(rows.findRow(prefix, 0, true), 0);
    EXPECT_EQ(rows.findRow(prefix, 1, true), 2);
    EXPECT_EQ(rows.findRow(prefix, 3, true), 0);   // wraps around
    EXPECT_EQ(rows.findRow(prefix, 17, true), 0);  // outside: from row 0
    EXPECT_EQ(rows.findRow(prefix, -5, true), 0);
    EXPECT_EQ(rows.findRow(folder(u"data"), 0, false), -1);  // full match only
    const std::u16string whole = streamscan::kNativePathStyle == streamscan::PathStyle::windows
                                     ? u"c:\\data\\THREE"
                                     : u"/data/THREE";
    EXPECT_EQ(rows.findRow(whole, 0, false), 2);
    EXPECT_EQ(rows.findRow(folder(u"d<U+0009>x"), 0, true), 3);  // the shown form
    EXPECT_EQ(rows.findRow(folder(u"d\tx"), 0, true), -1);
    EXPECT_EQ(rows.findRow(u"", 0, true), -1);
    EXPECT_EQ(ResultRows().findRow(prefix, 0, true), -1);
}

}  // namespace
}  // namespace tessalin

namespace tessalin {
namespace {

// Plain ASCII in lower case orders as the case-insensitive comparison does for
// ASCII names, so a sort with these keys must give the same rows.
bool asciiLowerKey(std::u16string_view text, std::string& key) {
    key.clear();
    for (char16_t c : text) {
        if (c > 0x7F)
            return false;
        key.push_back(static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c));
    }
    return true;
}

TEST(ResultRowsCollation, KeyedSortGivesTheSameOrderAndFallsBackWhenAKeyFails) {
    std::vector<StreamRecord> records;
    const char16_t* names[] = {u"Beta", u"alpha", u"ALPHA", u"gamma", u"Alpha2", u"beta"};
    for (int i = 0; i < 6; ++i) {
        StreamRecord r;
        r.hostFolder = i % 2 ? u"/B" : u"/a";
        r.hostName = names[(i * 5) % 6];
        r.streamName = names[i];
        r.streamType = u"$DATA";
        r.note = names[(i + 2) % 6];
        records.push_back(r);
    }
    for (int column : {kColumnPath, kColumnStream, kColumnNote, kColumnSize}) {
        for (bool ascending : {true, false}) {
            ResultRows plain;
            plain.append(std::vector<StreamRecord>(records));
            ResultRows keyed = plain;
            ASSERT_TRUE(plain.sortBy(column, ascending));
            ASSERT_TRUE(keyed.sortBy(column, ascending, asciiLowerKey));
            EXPECT_EQ(keyed.rowOrder, plain.rowOrder) << column << ascending;
        }
    }
    // One text without a key: the whole sort compares through the system instead.
    records[3].note = u"\u00E9t\u00E9";
    ResultRows plain;
    plain.append(std::vector<StreamRecord>(records));
    ResultRows keyed = plain;
    int calls = 0;
    const auto counting = [&](std::u16string_view text, std::string& key) {
        ++calls;
        return asciiLowerKey(text, key);
    };
    ASSERT_TRUE(plain.sortBy(kColumnNote, true));
    ASSERT_TRUE(keyed.sortBy(kColumnNote, true, counting));
    EXPECT_GT(calls, 0);
    EXPECT_EQ(keyed.rowOrder, plain.rowOrder);
}

TEST(ResultRowsCollation, KeysKeptFromArrivalLeaveASortOneKeyPerDistinctColumnText) {
    std::vector<StreamRecord> records;
    for (int i = 0; i < 8; ++i) {
        StreamRecord r =
            rec(folder(i % 2 ? u"B" : u"a"), u"f" + std::u16string(1, char16_t(u'0' + i)),
                i % 3 ? u"notes" : u"Zone.Identifier", static_cast<std::uint64_t>(i % 4));
        r.note = i % 2 ? u"Hidden" : u"downloaded";
        records.push_back(r);
    }
    int calls = 0;
    const CollationKeyMaker counting = [&](std::u16string_view text, std::string& key) {
        ++calls;
        return asciiLowerKey(text, key);
    };
    std::vector<RowKeys> keys;
    for (const auto& r : records)
        keys.push_back(makeRowKeys(r, asciiLowerKey));
    ResultRows kept;
    kept.append(std::vector<StreamRecord>(records), std::move(keys));
    ResultRows late = rowsOf(records);  // arrived without keys
    ResultRows plain = rowsOf(records);
    const std::vector<bool> firstAndFifth = {true, false, false, false, true};

    const struct {
        const char* step;
        ResultRows* rows;
        int column;
        int keysMade;
        bool removeFirst = false;
    } steps[] = {
        {"kept: two distinct notes", &kept, kColumnNote, 2},
        {"kept: no text column", &kept, kColumnSize, 0},
        {"late: two per record, once", &late, kColumnSize, 16},
        {"late: kept since", &late, kColumnPath, 0},
        {"kept after a removal", &kept, kColumnNote, 2, true},
    };
    for (const auto& step : steps) {
        if (step.removeFirst) {
            kept.removeRecords(firstAndFifth);
            plain.removeRecords(firstAndFifth);
        }
        calls = 0;
        ASSERT_TRUE(step.rows->sortBy(step.column, true, counting)) << step.step;
        ASSERT_TRUE(plain.sortBy(step.column, true)) << step.step;
        EXPECT_EQ(calls, step.keysMade) << step.step;
        EXPECT_EQ(streamsInRowOrder(*step.rows), streamsInRowOrder(plain)) << step.step;
        std::vector<std::u16string> hostsA, hostsB;
        for (std::size_t row = 0; row < plain.rowOrder.size(); ++row) {
            hostsA.push_back(step.rows->recordAtRow(static_cast<std::int64_t>(row))->hostName);
            hostsB.push_back(plain.recordAtRow(static_cast<std::int64_t>(row))->hostName);
        }
        EXPECT_EQ(hostsA, hostsB) << step.step;
    }
}

}  // namespace
}  // namespace tessalin
