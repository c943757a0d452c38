#include "window/command_states.h"

namespace tessalin {

bool isCommandEnabled(CommandId command, const CommandStateInput& in) {
    switch (command) {
        case kCmdScanFolder:
        case kCmdScanFile:
        case kCmdIncludeSubfolders:
        case kCmdIncludeFolders:
        case kCmdShowItemsWithoutStreams:
            return !in.scanning;
        case kCmdRescan:
            return !in.scanning && in.haveLastRoots;
        case kCmdCancelScan:
            return in.scanning;
        case kCmdExportCsv:
            return !in.scanning && in.haveRows;
        case kCmdDeleteStreams:
        case kCmdSaveStreams:
            return !in.scanning && in.anySelected;
        // Copying and looking at rows does not disturb a running scan.
        case kCmdCopyPath:
        case kCmdCopyRow:
        case kCmdOpenContainingFolder:
        case kCmdProperties:
            return in.anySelected;
        case kCmdSelectAll:
            return in.haveRows;
        case kCmdNotExamined:
            return in.havePlaces;
        default:
            return true;
    }
}

}  // namespace tessalin
