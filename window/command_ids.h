// Command identifiers (menu items, push buttons and accelerators share them),
// control identifiers, the scan timer and the accelerator entries.
#pragma once

#include <cstdint>

namespace tessalin {

enum CommandId : int {
    kCmdScanFolder = 1001,
    kCmdScanFile = 1002,
    kCmdRescan = 1003,
    kCmdCancelScan = 1004,
    kCmdExportCsv = 1005,
    kCmdExit = 1006,
    kCmdDeleteStreams = 1101,
    kCmdCopyPath = 1102,
    kCmdCopyRow = 1103,
    kCmdOpenContainingFolder = 1104,
    kCmdProperties = 1105,
    kCmdSelectAll = 1106,
    kCmdNotExamined = 1107,
    kCmdSaveStreams = 1108,
    kCmdIncludeSubfolders = 1201,
    kCmdIncludeFolders = 1202,
    kCmdShowItemsWithoutStreams = 1203,
    kCmdAbout = 1301,
};

// Every command whose enabled state follows the window's state (Exit and About never change).
inline constexpr CommandId kStatefulCommands[] = {
    kCmdScanFolder,
    kCmdScanFile,
    kCmdRescan,
    kCmdCancelScan,
    kCmdExportCsv,
    kCmdDeleteStreams,
    kCmdCopyPath,
    kCmdCopyRow,
    kCmdOpenContainingFolder,
    kCmdProperties,
    kCmdSelectAll,
    kCmdNotExamined,
    kCmdSaveStreams,
    kCmdIncludeSubfolders,
    kCmdIncludeFolders,
    kCmdShowItemsWithoutStreams,
};

inline constexpr int kListViewId = 1401;
inline constexpr int kStatusBarId = 1402;
// The filter bar's controls, in the order of kFilterControls (labels first).
inline constexpr int kFilterFirstId = 1501;
inline constexpr int kFilterNameId = 1502;
inline constexpr int kFilterFlaggedId = 1503;
inline constexpr int kFilterMinimumSizeId = 1505;

// Drains the worker's output every 100 ms while a scan runs.
inline constexpr std::uintptr_t kScanTimerId = 1;
inline constexpr unsigned kScanTimerIntervalMs = 100;
// Reports a removal's progress and notices its end, at the same pace.
inline constexpr std::uintptr_t kRemovalTimerId = 2;
// Notices the end of a details view's digest.
inline constexpr std::uintptr_t kDigestTimerId = 3;
// Reports the progress of saving streams and notices its end.
inline constexpr std::uintptr_t kSaveTimerId = 4;

// The fVirt bits of an ACCEL entry (FVIRTKEY, FCONTROL).
inline constexpr std::uint8_t kAccelVirtualKey = 0x01;
inline constexpr std::uint8_t kAccelControl = 0x08;

struct AcceleratorEntry {
    std::uint8_t flags;
    std::uint16_t key;  // a virtual-key code
    CommandId command;
};

inline constexpr AcceleratorEntry kAccelerators[] = {
    {kAccelVirtualKey, 0x74, kCmdRescan},                    // F5
    {kAccelVirtualKey | kAccelControl, 'A', kCmdSelectAll},  // Ctrl+A
    {kAccelVirtualKey, 0x2E, kCmdDeleteStreams},             // Delete
    {kAccelVirtualKey, 0x1B, kCmdCancelScan},                // Escape
};

}  // namespace tessalin
