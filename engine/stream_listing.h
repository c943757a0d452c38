// Lists one item's alternate streams, probes their first bytes, parses and
// assesses each, and hands finished records to the scan's sink.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/scan_context.h"

namespace streamscan {

inline constexpr std::uint32_t kProbeLimit = 4096;
inline constexpr std::uint64_t kZoneReadLimit = 1048576;
inline constexpr std::uint32_t kReadChunk = 1048576;

struct StreamBytes {
    bool ok = false;
    bool reachedEnd = false;
    std::uint32_t error = 0;  // why the open or a read failed
    std::vector<std::uint8_t> bytes;
};

// The facts of the item being listed: known already (a root's attribute query),
// or asked of the folder listing that handed the item out, once, when the
// item's first record needs them.
class HostFacts {
  public:
    explicit HostFacts(const ItemFacts& known) : facts(known), asked(true) {}
    explicit HostFacts(DirectoryListing& listing) : listing(&listing) {}

    // 0 with the facts, or the error the question failed with.
    std::uint32_t get(const ItemFacts*& answer);

  private:
    DirectoryListing* listing = nullptr;
    ItemFacts facts;
    bool asked = false;
    std::uint32_t error = 0;
};

void listItemStreams(ScanContext& context, const std::u16string& hostPath, bool hostIsFolder,
                     HostFacts& facts);
void emitItemRow(ScanContext& context, const std::u16string& hostPath, bool hostIsFolder,
                 HostFacts& facts);
// (name, type) of a name as a Windows stream listing gives it, such as
// ":Zone.Identifier:$DATA": for the ports whose system lists streams so.
std::pair<std::u16string, std::u16string> splitStreamName(const std::u16string& listed);
// The same into a stream entry's typed fields.
void setListedName(StreamEntry& entry, const std::u16string& listed);
bool isMainStream(const std::u16string& name, const std::u16string& type);
// Whether a type is $DATA: empty (a target's may be) or $DATA with the letters
// A-Z in either case, compared code unit by code unit, so that nothing
// ignorable can hide in a type that reads like it. Every place decides it here.
bool isDataStreamType(std::u16string_view type);
StreamBytes readStreamBytes(FileSystem& fs, const std::u16string& hostPath,
                            const std::u16string& name, const std::u16string& type,
                            bool hostIsFolder, std::uint64_t limit);
// The read loop of readStreamBytes on a stream already open.
StreamBytes readFromStream(StreamReader& reader, std::uint64_t limit);

}  // namespace streamscan
