#include "window/command_states.h"
#include "window/layout.h"
#include "window/scan_choice_texts.h"
#include "window/status_texts.h"

#include <gtest/gtest.h>

namespace tessalin {
namespace {

using namespace std::string_view_literals;
using Paths = std::vector<std::u16string>;

// One command for each rule; the others share their rule with one of these.
TEST(CommandStates, EachCommandFollowsItsRule) {
    struct Case {
        CommandId command;
        // enabled for: idle-empty, idle-with-roots-rows, idle-selected, scanning, scanning-selected
        bool expected[5];
    } cases[] = {
        {kCmdScanFolder, {true, true, true, false, false}},
        {kCmdRescan, {false, true, true, false, false}},
        {kCmdCancelScan, {false, false, false, true, true}},
        {kCmdExportCsv, {false, true, true, false, false}},
        {kCmdDeleteStreams, {false, false, true, false, false}},
        {kCmdCopyPath, {false, false, true, false, true}},
        {kCmdSelectAll, {false, true, true, true, true}},
        {kCmdNotExamined, {false, false, false, true, true}},
        {kCmdExit, {true, true, true, true, true}},
    };
    const CommandStateInput states[5] = {
        {false, false, false, false},    {false, true, true, false},     {false, true, true, true},
        {true, true, true, false, true}, {true, true, true, true, true},
    };
    for (const auto& c : cases) {
        for (int s = 0; s < 5; ++s) {
            EXPECT_EQ(isCommandEnabled(c.command, states[s]), c.expected[s])
                << "command " << c.command << " state " << s;
        }
    }
}

TEST(Layout, MulDivRoundsHalfAwayFromZeroLikeWindows) {
    const struct {
        int a, b, c, result;
    } cases[] = {
        {1120, 144, 96, 1680}, {1, 3, 2, 2},   {-1, 3, 2, -2}, {5, 120, 96, 6},
        {26, 120, 96, 33},     {3, 5, -2, -8}, {7, 1, 0, -1},  {2147483647, 2, 1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mulDiv(c.a, c.b, c.c), c.result) << c.a << "*" << c.b << "/" << c.c;
    }
}

TEST(OpenDialogSelection, ReadsOneFileOrAFolderWithNamesAndTrustsNoStringWithoutItsNul) {
    const struct {
        std::u16string_view buffer;
        Paths expected;
    } cases[] = {
        {u"C:\\data\\a.txt\0\0\0\0"sv, {u"C:\\data\\a.txt"}},
        {u"C:\\data\0c.txt\0a b.txt\0\0"sv, {u"C:\\data\\c.txt", u"C:\\data\\a b.txt"}},
        {u"D:\\\0x.bin\0\0"sv, {u"D:\\x.bin"}},  // no second separator in a drive root
        {u"C:\\data\0a.txt\0b.t"sv, {u"C:\\data\\a.txt"}},
        {u"C:\\d\0a\0\0stale\0\0"sv, {u"C:\\d\\a"}},  // the strings end at the first empty one
    };
    for (const auto& c : cases) {
        EXPECT_EQ(openDialogSelection(c.buffer, streamscan::PathStyle::windows), c.expected);
    }
}

TEST(ScanChoiceTexts, DropsThatNameNoPathAreCounted) {
    EXPECT_EQ(unresolvedDropText(1, 15),
              u"1 dropped item could not be resolved to a path on disk and will not be scanned. "
              u"The other 15 items are being scanned.");
    EXPECT_EQ(unresolvedDropText(2, 0),
              u"2 dropped items could not be resolved to a path on disk, "
              u"so there is nothing here to scan.");
}

TEST(EmptyListText, SaysWhatTheListAwaitsAndWhatARemovalLeftBeforeTheScansOwnWords) {
    const std::pair<StatusState, std::u16string> cases[] = {
        {{}, u"Drop a folder or a file here to look for alternate data streams"},
        {{.scanning = true},
         u"Scanning - nothing with an alternate data stream has turned up yet."},
        {{.scanEnded = true, .stats = {.cancelled = true}, .removedStreamCount = 3},
         u"3 streams were removed, and nothing else was listed. The scan that listed them was "
         u"stopped before it finished. Press F5 to scan again."},
        {{.scanEnded = true, .removedStreamCount = 2, .listEmpty = false},
         u"No alternate data streams were found."},
    };
    for (const auto& [state, text] : cases) {
        EXPECT_EQ(emptyListText(state), text);
    }
    EXPECT_EQ(removalStatusText(1), u"Removed 1 stream. Press F5 to scan again.");
}

}  // namespace
}  // namespace tessalin
