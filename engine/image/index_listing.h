// The port's answers for a volume whose one-pass index was built: listings,
// facts and streams read from the index, with no call into the library.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/file_system.h"
#include "engine/image/folder_walk.h"
#include "engine/image/volume_index.h"

namespace streamscan {

// The facts of entry `entry`; `volumeOffset` tells the volume apart in identities.
ItemFacts indexedFacts(const VolumeIndex& index, std::uint32_t entry, std::uint64_t volumeOffset);

// The streams of entry `entry`'s item as a listing gives them.
StreamList indexedStreams(const VolumeIndex& index, std::uint32_t entry);

// The same as an open enumeration read from the index as it goes, for an item
// that is none of the file system's own: 0 with the first, kErrorHandleEof
// when there is none, or the error the streams end with.
std::uint32_t startIndexedStreams(const VolumeIndex& index, std::uint32_t entry, StreamEntry& first,
                                  std::unique_ptr<StreamListing>& listing);

// The listing of folder entry `folder`; kErrorFileNotFound when it is empty.
// `damaged`: the listing ends with an error whatever the folder holds.
// `current` is kept at the entry the listing handed out last, for the port to
// answer questions about it without looking its path up; it must outlive the
// listing.
std::uint32_t startIndexedListing(const VolumeIndex& index, std::uint32_t folder,
                                  std::uint64_t volumeOffset, bool damaged, std::uint32_t& current,
                                  DirectoryEntry& first,
                                  std::unique_ptr<DirectoryListing>& listing);

}  // namespace streamscan
