// A benchmark, not a test: 100,000 rows in the real list, sorted by every
// column in turn. Run with --gtest_also_run_disabled_tests --gtest_filter=*Benchmark*.
#include <windows.h>

#include <chrono>
#include <cstdio>

#include "gui/gui_support.h"
#include "frontend/column_text.h"
#include "window/layout.h"

namespace tessalin::gui {
namespace {

TEST_F(MainWindowTest, DISABLED_SortBenchmarkOf100000Rows) {
    constexpr int kRows = 100000;
    std::vector<streamscan::StreamRecord> records;
    records.reserve(kRows);
    std::uint32_t seed = 12345;
    const auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    const char16_t* notes[] = {u"", u"Downloaded from the Internet", u"Executable content hidden",
                               u"Unusually large stream"};
    for (int i = 0; i < kRows; ++i) {
        const std::u16string folder = u"C:\\Users\\ana\\Projects\\p" +
                                      std::u16string(1, char16_t(u'a' + next() % 26)) + u"\\sub" +
                                      std::u16string(1, char16_t(u'A' + next() % 26));
        std::u16string name = u"file";
        for (int d = 0; d < 6; ++d)
            name.push_back(char16_t(u'0' + next() % 10));
        auto r = makeRecord(folder, name + u".txt", i % 3 == 0 ? u"Zone.Identifier" : u"notes",
                            next() % 100000, next() % 3);
        r.note = notes[next() % 4];
        r.hostModified = 132000000000000000ull + next();
        if (i % 3 == 0) {
            r.zone.isZoneIdentifier = r.zone.zoneIdPresent = r.zone.zoneIdParsed = true;
            r.zone.zone = next() % 5;
            r.zone.zoneId = r.zone.zone;
            r.zone.hostUrl = u"https://example.com/d/" + name;
        }
        records.push_back(std::move(r));
    }
    addRecords(std::move(records));
    ASSERT_EQ(itemCount(state->listView), kRows);

    double slowest = 0;
    int slowestColumn = -1;
    for (int column = 0; column < kListColumnCount; ++column) {
        const auto start = std::chrono::steady_clock::now();
        sortRows(*state, column, false);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        std::printf("sort by %-10ls %8.1f ms\n",
                    reinterpret_cast<const wchar_t*>(kColumns[column].header), ms);
        if (ms > slowest) {
            slowest = ms;
            slowestColumn = column;
        }
        ASSERT_EQ(state->sortColumn, column);
    }
    std::printf("slowest: %ls, %.1f ms for %d rows\n",
                reinterpret_cast<const wchar_t*>(kColumns[slowestColumn].header), slowest, kRows);
}

}  // namespace
}  // namespace tessalin::gui
