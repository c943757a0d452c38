#include "window/command_states.h"

#include <gtest/gtest.h>

namespace tessalin {
namespace {

TEST(CommandStates, EachCommandFollowsItsRule) {
    struct Case {
        CommandId command;
        // enabled for: idle-empty, idle-with-roots-rows, idle-selected, scanning, scanning-selected
        bool expected[5];
    } cases[] = {
        {kCmdScanFolder, {true, true, true, false, false}},
        {kCmdScanFile, {true, true, true, false, false}},
        {kCmdRescan, {false, true, true, false, false}},
        {kCmdCancelScan, {false, false, false, true, true}},
        {kCmdExportCsv, {false, true, true, false, false}},
        {kCmdDeleteStreams, {false, false, true, false, false}},
        {kCmdCopyPath, {false, false, true, false, true}},
        {kCmdCopyRow, {false, false, true, false, true}},
        {kCmdOpenContainingFolder, {false, false, true, false, true}},
        {kCmdProperties, {false, false, true, false, true}},
        {kCmdSelectAll, {false, true, true, true, true}},
        {kCmdNotExamined, {false, false, false, true, true}},
        {kCmdIncludeSubfolders, {true, true, true, false, false}},
        {kCmdIncludeFolders, {true, true, true, false, false}},
        {kCmdShowItemsWithoutStreams, {true, true, true, false, false}},
        {kCmdExit, {true, true, true, true, true}},
        {kCmdAbout, {true, true, true, true, true}},
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

}  // namespace
}  // namespace tessalin
