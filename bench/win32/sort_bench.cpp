// Sorting 100,000 rows in the real window by every column, against the former
// way in the same run: every sort made the collation keys of all its texts
// anew (three per record; none for Size and Modified, which compared the
// tie-breaks through the system). Now the worker makes each record's keys as
// it arrives and a sort keys only the distinct texts of its column. Both orders
// must be the same; the bench says so per column and fails when they are not.
//
// Run under Wine with a display (as the window tests are):
//   wine build/windows/sort_bench.exe [ROWS]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "frontend/column_text.h"
#include "window/layout.h"
#include "window/result_rows.h"
#include "window/win32/main_window.h"

namespace {

using tessalin::SortKey;
using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The same mix as a large real result: two hosts in three carry a plain
// stream, one in three a Zone.Identifier with zone and host URL.
std::vector<streamscan::StreamRecord> makeRecords(int count) {
    std::vector<streamscan::StreamRecord> records;
    records.reserve(static_cast<std::size_t>(count));
    std::uint32_t seed = 12345;
    const auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    const char16_t* notes[] = {u"", u"Downloaded from the Internet", u"Executable content hidden",
                               u"Unusually large stream"};
    for (int i = 0; i < count; ++i) {
        streamscan::StreamRecord r;
        r.hostFolder = u"C:\\Users\\ana\\Projects\\p" +
                       std::u16string(1, char16_t(u'a' + next() % 26)) + u"\\sub" +
                       std::u16string(1, char16_t(u'A' + next() % 26));
        r.hostName = u"file";
        for (int d = 0; d < 6; ++d)
            r.hostName.push_back(char16_t(u'0' + next() % 10));
        r.hostName += u".txt";
        r.streamName = i % 3 == 0 ? u"Zone.Identifier" : u"notes";
        r.streamType = u"$DATA";
        r.streamSize = next() % 100000;
        r.severity = next() % 3;
        r.note = notes[next() % 4];
        r.hostAttributes = 0x20;
        r.hostModified = 132000000000000000ull + next();
        if (i % 3 == 0) {
            r.zone.isZoneIdentifier = r.zone.zoneIdPresent = r.zone.zoneIdParsed = true;
            r.zone.zone = next() % 5;
            r.zone.zoneId = r.zone.zone;
            r.zone.hostUrl = u"https://example.com/d/" + r.hostName;
        }
        records.push_back(std::move(r));
    }
    return records;
}

// The former sort, step for step: keys for all three texts of every record,
// made at each sort, compared at every step of it.
std::vector<std::uint64_t> formerSort(const std::vector<streamscan::StreamRecord>& records,
                                      std::vector<std::uint64_t> order, int column) {
    std::vector<SortKey> keys;
    keys.reserve(records.size());
    for (const auto& record : records)
        keys.push_back(tessalin::makeSortKey(record, column));
    const bool keyed = column != tessalin::kColumnSize && column != tessalin::kColumnModified;
    if (!keyed) {
        std::stable_sort(order.begin(), order.end(), [&](std::uint64_t a, std::uint64_t b) {
            return tessalin::compareSortKeys(keys[a], keys[b], column, true) < 0;
        });
        return order;
    }
    struct Keys {
        std::string text, path, stream;
    };
    std::vector<Keys> collated(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!tessalin::userCollationKey(keys[i].text, collated[i].text) ||
            !tessalin::userCollationKey(keys[i].hostPath, collated[i].path) ||
            !tessalin::userCollationKey(keys[i].streamName, collated[i].stream)) {
            std::fprintf(stderr, "a collation key could not be made\n");
            std::exit(1);
        }
    }
    const auto sign = [](int r) { return r < 0 ? -1 : (r > 0 ? 1 : 0); };
    std::stable_sort(order.begin(), order.end(), [&](std::uint64_t a, std::uint64_t b) {
        int result = 0;
        if (column == tessalin::kColumnSeverity)
            result = keys[b].severity < keys[a].severity ? -1 : keys[a].severity < keys[b].severity;
        else if (tessalin::sortsByText(column))
            result = sign(collated[a].text.compare(collated[b].text));
        if (result == 0)
            result = sign(collated[a].path.compare(collated[b].path));
        if (result == 0)
            result = sign(collated[a].stream.compare(collated[b].stream));
        return result < 0;
    });
    return order;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rows = argc > 1 ? _wtoi(argv[1]) : 100000;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    tessalin::MainWindowState state;
    if (!tessalin::registerMainWindowClass(instance) ||
        tessalin::createMainWindow(instance, state) == nullptr) {
        std::fprintf(stderr, "the window could not be created\n");
        return 1;
    }

    // The worker's side: each record is handed over with its keys made.
    const std::vector<streamscan::StreamRecord> records = makeRecords(rows);
    Clock::time_point start = Clock::now();
    for (const auto& record : records)
        state.scan.handOver.appendRecord(record);
    const double arrivalMs = millisecondsSince(start);
    tessalin::DrainedOutput drained = state.scan.handOver.drain();
    tessalin::appendResults(state, std::move(drained.records), std::move(drained.keys));

    std::printf("%d rows; keys made on the worker as records arrive: %.0f ms in all\n", rows,
                arrivalMs);
    std::printf("%-11s %14s %14s  %s\n", "sort by", "former (ms)", "now (ms)", "same order");
    bool allSame = true;
    double slowest = 0;
    for (int column = 0; column < tessalin::kListColumnCount; ++column) {
        const std::vector<std::uint64_t> before = state.rows.rowOrder;
        start = Clock::now();
        const std::vector<std::uint64_t> former = formerSort(state.rows.records, before, column);
        const double formerMs = millisecondsSince(start);

        start = Clock::now();
        tessalin::sortRows(state, column, false);
        const double nowMs = millisecondsSince(start);

        const bool same = state.rows.rowOrder == former;
        allSame = allSame && same;
        slowest = std::max(slowest, nowMs);
        std::printf("%-11ls %14.1f %14.1f  %s\n",
                    reinterpret_cast<const wchar_t*>(tessalin::kColumns[column].header), formerMs,
                    nowMs, same ? "yes" : "NO");
    }
    std::printf("slowest sort now: %.1f ms (the first one ranks every record's tie-breaks once)\n",
                slowest);
    DestroyWindow(state.window);
    return allSame ? 0 : 1;
}
