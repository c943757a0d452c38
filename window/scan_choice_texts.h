// The words and the plain decisions of the roads to a scan: the folder and file
// dialogs' titles and buffers, the reading of a multi-select answer, and what
// is said when a dialog or a drop cannot be used. The Win32 glue asks the
// system and hands the results to these functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"

namespace tessalin {

inline constexpr std::u16string_view kFolderDialogTitle = u"Choose a folder to inspect";
inline constexpr std::u16string_view kFileDialogTitle = u"Choose files to inspect";
inline constexpr std::u16string_view kNoPathOnDiskText =
    u"That item has no path on disk, so there is nothing here to inspect.";

// Characters of the folder path asked of the shell: the longest path Windows knows.
inline constexpr std::size_t kFolderPathChars = 32768;
// Characters of the open dialog's answer: room for many names at once.
inline constexpr std::size_t kFileDialogBufferChars = 65536;
// CommDlgExtendedError when the open dialog's buffer was too small.
inline constexpr std::uint32_t kFileNameBufferTooSmall = 0x3003;

// The locations an open dialog with multi-select chose, from its buffer of
// NUL-separated strings ending in an empty one: one string is the one file's
// full path; more are a folder followed by names in it, joined in order. A
// string that runs to the end of the buffer without its NUL is not trusted.
std::vector<std::u16string> openDialogSelection(
    std::u16string_view buffer, streamscan::PathStyle style = streamscan::kNativePathStyle);

// The size, in characters, of the buffer for the one retry after the dialog
// said its buffer was too small and put the size it needs in the buffer's
// first unit. One 16-bit unit cannot hold a need beyond 65535, so a report
// that does not exceed the old size has lost its high part: the need is the
// smallest size beyond the old one that the report is the low part of. 4096
// characters more leave room for a slightly larger choice the second time.
std::size_t retryBufferSize(std::uint16_t reportedSize, std::size_t oldSize);

// "The file dialog could not be opened (error CODE)."
std::u16string fileDialogErrorText(std::uint32_t code);

// The warning after a drop in which `unresolved` items had no path on disk and
// `resolved` others are handed on to the scan.
std::u16string unresolvedDropText(std::uint64_t unresolved, std::uint64_t resolved);

}  // namespace tessalin
