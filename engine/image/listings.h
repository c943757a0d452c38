// Listings the image port hands out from entries it has already read whole.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/file_system.h"

namespace streamscan {

// A folder's entries with their facts.
struct ListedEntry {
    std::u16string name;
    ItemFacts facts;
};

class VectorListing final : public DirectoryListing {
  public:
    // The first entry went out with the start.
    VectorListing(std::vector<ListedEntry> entries, std::uint32_t endError)
        : entries(std::move(entries)), endError(endError) {}
    std::uint32_t next(DirectoryEntry& entry) override {
        if (position + 1 >= entries.size()) {
            return endError;
        }
        ++position;
        entry =
            DirectoryEntry{entries[position].name, entryKindOf(entries[position].facts.attributes)};
        return kErrorSuccess;
    }
    std::uint32_t entryFacts(ItemFacts& facts) override {
        facts = entries[position].facts;
        return kErrorSuccess;
    }

  private:
    std::vector<ListedEntry> entries;
    std::uint32_t endError;
    std::size_t position = 0;
};

class VectorStreamListing final : public StreamListing {
  public:
    // The first entry went out with the start.
    VectorStreamListing(std::vector<StreamEntry> entries, std::uint32_t endError)
        : entries(std::move(entries)), endError(endError) {}
    std::uint32_t next(StreamEntry& entry) override {
        if (position >= entries.size()) {
            return endError;
        }
        entry = std::move(entries[position++]);
        return kErrorSuccess;
    }

  private:
    std::vector<StreamEntry> entries;
    std::uint32_t endError;
    std::size_t position = 1;
};

}  // namespace streamscan
