#include "engine/image/index_listing.h"

#include <span>

#include "engine/image/ntfs_facts.h"

namespace streamscan {
namespace {

EntryKind kindOf(const VolumeIndex& index, std::uint32_t entry) {
    const IndexedItem& item = index.itemOf(entry);
    return entryKindOf(
        item.directory ? kAttributeDirectory | (item.standard.flags & kAttributeReparsePoint) : 0);
}

class IndexListing final : public DirectoryListing {
  public:
    IndexListing(const VolumeIndex& index, std::uint32_t folder, std::uint64_t volumeOffset,
                 std::uint32_t endError, std::uint32_t& current)
        : index(index),
          position(index.itemOf(folder).firstChild),
          end(position + index.itemOf(folder).childCount),
          volumeOffset(volumeOffset),
          endError(endError),
          current(current) {
        current = position;
    }
    std::uint32_t next(DirectoryEntry& entry) override {
        if (position + 1 >= end) {
            return endError;
        }
        ++position;
        current = position;
        entry = DirectoryEntry{std::u16string(index.nameOf(position)), kindOf(index, position)};
        return kErrorSuccess;
    }
    std::uint32_t entryFacts(ItemFacts& facts) override {
        facts = indexedFacts(index, position, volumeOffset);
        facts.deleted = index.entry(position).deleted;
        return kErrorSuccess;
    }

  private:
    const VolumeIndex& index;
    std::uint32_t position;  // the first went out with the start
    std::uint32_t end;
    std::uint64_t volumeOffset;
    std::uint32_t endError;
    std::uint32_t& current;  // the port's note of the entry handed out last
};

StreamEntry streamEntryOf(const VolumeIndex& index, const IndexedStream& stream) {
    StreamEntry listed;
    listed.streamName = std::u16string(index.text(stream.name));
    listed.streamType = u"$DATA";
    listed.size = stream.size;
    listed.attributeId = stream.id;
    return listed;
}

// An item's streams read from the index as they are handed out, so that the
// many items with one stream cost no list of their own.
class IndexStreamListing final : public StreamListing {
  public:
    IndexStreamListing(const VolumeIndex& index, std::span<const IndexedStream> streams,
                       std::uint32_t endError)
        : index(index), streams(streams), endError(endError) {}
    std::uint32_t next(StreamEntry& entry) override {
        if (position >= streams.size()) {
            return endError;
        }
        entry = streamEntryOf(index, streams[position++]);
        return kErrorSuccess;
    }

  private:
    const VolumeIndex& index;
    std::span<const IndexedStream> streams;
    std::uint32_t endError;
    std::size_t position = 1;  // the first went out with the start
};

}  // namespace

ItemFacts indexedFacts(const VolumeIndex& index, std::uint32_t entry, std::uint64_t volumeOffset) {
    const IndexedEntry& named = index.entry(entry);
    const IndexedItem& item = index.itemOf(entry);
    const mft::StandardInformation* standard =
        item.hasStandardInformation ? &item.standard : nullptr;
    std::uint64_t size = 0;
    for (const IndexedStream& stream : index.streamsOf(item)) {
        if (stream.name.length == 0) {
            size = stream.size;
        }
    }
    ItemFacts facts = itemFactsOf(item.directory, standard, named.nameTimes.modified, size);
    if (item.entry == kNoRecord) {
        return facts;  // $OrphanFiles: no record of its own
    }
    facts.identity = ItemIdentity{
        volumeOffset, item.entry | static_cast<std::uint64_t>(item.sequence) << 48, true};
    facts.details =
        recordDetails(item.entry, item.sequence, standard, entry == 0 ? nullptr : &named.nameTimes);
    return facts;
}

StreamList indexedStreams(const VolumeIndex& index, std::uint32_t entry) {
    const IndexedItem& item = index.itemOf(entry);
    StreamList list;
    list.error = item.streamsWhole ? kErrorSuccess : kErrorFileCorrupt;
    for (const IndexedStream& stream : index.streamsOf(item)) {
        list.entries.push_back(streamEntryOf(index, stream));
    }
    return list;
}

std::uint32_t startIndexedStreams(const VolumeIndex& index, std::uint32_t entry, StreamEntry& first,
                                  std::unique_ptr<StreamListing>& listing) {
    const IndexedItem& item = index.itemOf(entry);
    const std::uint32_t endError = item.streamsWhole ? kErrorHandleEof : kErrorFileCorrupt;
    const std::span<const IndexedStream> streams = index.streamsOf(item);
    if (streams.empty()) {
        return endError;
    }
    first = streamEntryOf(index, streams.front());
    listing = std::make_unique<IndexStreamListing>(index, streams, endError);
    return kErrorSuccess;
}

std::uint32_t startIndexedListing(const VolumeIndex& index, std::uint32_t folder,
                                  std::uint64_t volumeOffset, bool damaged, std::uint32_t& current,
                                  DirectoryEntry& first,
                                  std::unique_ptr<DirectoryListing>& listing) {
    const IndexedItem& item = index.itemOf(folder);
    damaged = damaged || item.namesTwice;
    if (item.childCount == 0) {
        return damaged ? kErrorFileCorrupt : kErrorFileNotFound;
    }
    first = DirectoryEntry{std::u16string(index.nameOf(item.firstChild)),
                           kindOf(index, item.firstChild)};
    listing = std::make_unique<IndexListing>(
        index, folder, volumeOffset, damaged ? kErrorFileCorrupt : kErrorNoMoreFiles, current);
    return kErrorSuccess;
}

}  // namespace streamscan
