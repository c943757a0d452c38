// Samba's streams_depot keeps each stream of a file as a file of its own below
// the share's .streams folder, at .streams/XX/YY/ID/:NAME:TYPE: ID is the
// file's device and inode (8 bytes each, little-endian) in capital hex, XX and
// YY the two low bytes of Samba's hash of those 16 bytes. The file itself is
// marked with user.SAMBA_STREAMS. Everything here is reached through
// descriptors: up from the item's folder through "..", which is never a link,
// and down without following any.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/file_system.h"
#include "engine/posix/descriptors.h"

namespace streamscan {

inline constexpr const char* kDepotMarkerName = "user.SAMBA_STREAMS";

// The place of an item's stream folder below .streams, e.g. "FD/56/00FE...00".
std::string depotFolderOf(std::uint64_t device, std::uint64_t inode);

// Opens the stream folder of `item` from `start` (the item's folder, or the
// item itself when it is a folder, which may be the share's top): in the
// nearest .streams at or above it on the item's volume that holds one. 0, or
// the errno (ENOENT when there is none).
int openDepotFolder(int start, const struct stat& item, UniqueFd& depot);

// The same for the item `name` of the open folder `folder`, or (folder < 0)
// the item at `path`, whose folder is then opened by its path.
int openItemDepot(int folder, const std::string& name, const std::string& path, UniqueFd& depot);

// What carries a depot stream: its file name behind a prefix no attribute name
// can have (an attribute name begins with its namespace).
bool isDepotCarrier(std::u16string_view carrier);
std::u16string depotCarrierOf(std::string_view fileName);
std::string depotFileOf(std::u16string_view carrier);

// The content of one depot stream: a regular file, never a link, opened
// without blocking. 0 or the errno.
int openDepotFile(int depot, const std::string& fileName, UniqueFd& content);

// The streams of one stream folder, in turn.
class DepotListing {
  public:
    explicit DepotListing(UniqueFd folder);

    // Fills the next entry: 0, kErrorHandleEof at the end, or the error the
    // folder's listing ended with.
    std::uint32_t next(StreamEntry& entry);
    // The content of the entry handed out last: 0, or the error that refused it.
    std::uint32_t open(UniqueFd& content);

  private:
    DirectoryStream dir;
    std::string current;
    UniqueFd opened;  // the content of `current`, until open() hands it over
    int currentError = 0;
};

// Unlinks the depot file `fileName` of `item`, searched for from `start` as
// openDepotFolder does (when start < 0, from the folder of `path`), when it is
// still a regular file. 0 or the errno.
int removeDepotFile(int start, const std::string& path, const struct stat& item,
                    const std::string& fileName);

}  // namespace streamscan
