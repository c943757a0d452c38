// Folder listings of the Linux port. Each folder is opened relative to its
// parent's descriptor with O_NOFOLLOW, so a folder swapped for a link between
// the parent's listing and its own is never followed out of the tree; only a
// folder the user named (a scan root) is opened by its path. Each entry's
// attribute names are read through the folder's descriptor, once, and the
// stream enumeration of the entry then uses what was read; a file's facts are
// read the same way, only when it shows a record.
#pragma once

#include <string>
#include <string_view>

#include "engine/file_system.h"
#include "engine/posix/attribute_io.h"
#include "engine/posix/descriptors.h"
#include "engine/posix/item_facts.h"
#include "engine/posix/mount_table.h"

namespace streamscan {

// Opens `folder` for listing: relative to the descriptor of its parent when the
// parent was opened last on this thread, else by its path. 0 or the errno.
int openFolder(const std::string& folder, UniqueFd& fd);
// Forgets the folders this thread opened (a new root starts afresh).
void forgetOpenedFolders();

// What the listing read of its current entry, for the entry's stream enumeration.
struct CurrentEntry {
    int folder = -1;     // the listing's descriptor
    std::string name;    // entry name
    std::string path;    // full path
    int namesError = 0;  // errno of the attribute-name list, 0 when read
    std::string names;   // NUL-separated attribute names
};

// The current entry of the listing open on this thread whose entry `path` is;
// null when there is none.
const CurrentEntry* currentEntryFor(std::u16string_view path);

// The descriptor of the listing open on this thread whose folder holds `path`
// (any of its entries, not only the current one); -1 when there is none.
int listedFolderOf(std::u16string_view path);

std::uint32_t startFolderListing(std::string folder, VolumeKinds& volumes, DirectoryEntry& first,
                                 std::unique_ptr<DirectoryListing>& listing);

// The Windows attributes an item keeps where its volume has them. `names` is
// its attribute-name list, or null when not read (user.DOSATTRIB is then asked for).
WindowsAttributes windowsAttributesOf(const AttributeHost& host, bool ntfsVolume,
                                      const std::string* names);

}  // namespace streamscan
