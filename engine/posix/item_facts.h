// The facts of one item as a Windows listing gives them, from what Linux says
// of it: the stat fields and, where a volume keeps them, the real Windows
// attributes (ntfs-3g's system.ntfs_attrib, Samba's user.DOSATTRIB).
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/file_system.h"

namespace streamscan {

inline constexpr const char* kNtfsAttributesName = "system.ntfs_attrib";

// st_mtim as a FILETIME; 0 for a time a FILETIME cannot hold.
std::uint64_t fileTimeOf(const struct timespec& time);

// The 4 little-endian bytes of system.ntfs_attrib; nothing for any other length.
std::optional<std::uint32_t> ntfsAttributesOf(std::string_view value);

struct WindowsAttributes {
    std::optional<std::uint32_t> ntfs;  // system.ntfs_attrib
    std::optional<std::uint32_t> dos;   // user.DOSATTRIB
};

// Device and inode: which item this is, whatever its path.
ItemIdentity identityOf(const struct stat& st);

// The time the file system says the item was made (statx), where it keeps one;
// asked only for items that show a row. `folder` may be AT_FDCWD.
void addBirthTime(int folder, const char* name, ItemDetails& details);
// fstatat without following a link, and the birth time where the file system
// keeps one, in one statx call. 0 or the errno.
int statWithBirth(int folder, const char* name, struct stat& st, std::optional<Timestamp>& birth);

// `linkToFolder` says, for a symbolic link, whether it leads to a folder; a
// link that NTFS marks as a directory (a junction) is a folder even when its
// target is gone.
ItemFacts factsOf(const struct stat& st, std::string_view leaf, const WindowsAttributes& windows,
                  bool linkToFolder);

}  // namespace streamscan
