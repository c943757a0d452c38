// Pure text operations on paths: split, join, trim, the long-path form.
// Paths are held, shown and written plain; the long-path form is made only for a
// system call. Each takes the path style, defaulting to the native one.
#pragma once

#include <string>
#include <utility>

#include "engine/file_system.h"
#include "engine/scan_types.h"

namespace streamscan {

std::u16string longPathForm(const std::u16string& path, PathStyle style = kNativePathStyle);
// The prefixed form whatever the length, for every call on a path the walk
// produced: Win32 parsing would strip a trailing dot or space from a name and
// turn con or nul.txt into a device, reaching another item than the one listed.
std::u16string verbatimPathForm(const std::u16string& path, PathStyle style = kNativePathStyle);
// Asks the file system (GetFullPathNameW); returns the path unchanged when it cannot.
std::u16string fullPathOf(const std::u16string& path);
std::u16string fullPathOf(const std::u16string& path, FileSystem& fs);
std::u16string trimTrailingSeparator(const std::u16string& path,
                                     PathStyle style = kNativePathStyle);
std::u16string parentPath(const std::u16string& path, PathStyle style = kNativePathStyle);
std::u16string leafName(const std::u16string& path, PathStyle style = kNativePathStyle);
// (hostFolder, hostName)
std::pair<std::u16string, std::u16string> splitHostPath(const std::u16string& hostPath,
                                                        PathStyle style = kNativePathStyle);
std::u16string joinPath(const std::u16string& folder, const std::u16string& name,
                        PathStyle style = kNativePathStyle);
// joinPath into `out`, reusing its room.
void joinPathInto(std::u16string& out, const std::u16string& folder, const std::u16string& name,
                  PathStyle style = kNativePathStyle);
std::u16string hostPathOf(const StreamRecord& record, PathStyle style = kNativePathStyle);
std::u16string streamPathOf(const std::u16string& hostPath, const std::u16string& name,
                            const std::u16string& type);
std::u16string recordStreamPath(const StreamRecord& record, PathStyle style = kNativePathStyle);

bool isPathSeparator(char16_t c, PathStyle style = kNativePathStyle);

}  // namespace streamscan
