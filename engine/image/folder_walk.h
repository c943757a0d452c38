// The library's own walk of an image's folders: a folder's entries read from
// its index, each item's facts and $DATA streams from its record, and a
// stream's content through the library. The port takes this way where no
// one-pass index of the volume was built (a file system other than NTFS, a
// volume whose $MFT cannot be read, a scan that starts below the root).
// Called on the scanning thread.
#pragma once

#include <tsk/libtsk.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/image/record_streams.h"

namespace streamscan {

struct FileCloser {
    void operator()(TSK_FS_FILE* file) const { tsk_fs_file_close(file); }
};
using FileHandle = std::unique_ptr<TSK_FS_FILE, FileCloser>;

// An item's streams as a listing gives them, and the error it ends with.
struct StreamList {
    std::uint32_t error = kErrorSuccess;
    std::vector<StreamEntry> entries;
};

// What the library's record of an item says of it; `nameType` decides whether
// it is a folder when the record could not be read.
ItemFacts factsOf(TSK_FS_FILE* file, TSK_FS_NAME_TYPE_ENUM nameType);

// A folder as the walk reached it.
struct LibraryFolder {
    TSK_INUM_T addr = 0;
    bool deleted = false;
    bool system = false;  // one of the file system's own folders, or inside one
};

// One item of a folder as the walk lists it.
struct LibraryItem {
    std::u16string name;
    ItemFacts facts;
    TSK_INUM_T addr = 0;
    bool deleted = false;
    // Read with the listing, which had the record open; null when it could not be.
    std::optional<StreamList> streams;
    bool system = false;
};

// Reads a folder's entries as the port lists them: 0, or the error. `damaged`
// says that the folder names an item twice. `records` is null on a volume
// other than NTFS.
std::uint32_t readFolder(TSK_FS_INFO* fs, RecordReader* records, const LibraryFolder& folder,
                         bool includeDeleted, std::vector<LibraryItem>& kept, bool& damaged);

// The streams of record `addr`, whose file is open (`file` may be null where the
// library refuses to open it).
StreamList streamsOf(RecordReader* records, TSK_FS_FILE* file, TSK_INUM_T addr);

// Opens the stream `name` (empty: the unnamed one) of record `addr`.
std::uint32_t openLibraryStream(TSK_FS_INFO* fs, RecordReader* records, TSK_INUM_T addr,
                                const std::u16string& name, std::unique_ptr<StreamReader>& reader);

}  // namespace streamscan
