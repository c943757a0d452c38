// Lists one item's alternate streams, probes their first bytes, parses and
// assesses each, and hands finished records to the scan's sink.
#pragma once

#include <cstdint>
#include <string>
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

void listItemStreams(ScanContext& context, const std::u16string& hostPath, bool hostIsFolder,
                     std::uint32_t attributes, std::uint64_t size, std::uint64_t lastWrite);
void emitItemRow(ScanContext& context, const std::u16string& hostPath, bool hostIsFolder,
                 std::uint32_t attributes, std::uint64_t size, std::uint64_t lastWrite);
// (name, type) of a listed name such as ":Zone.Identifier:$DATA".
std::pair<std::u16string, std::u16string> splitStreamName(const std::u16string& listed);
bool isMainStream(const std::u16string& name, const std::u16string& type);
StreamBytes readStreamBytes(FileSystem& fs, const std::u16string& hostPath,
                            const std::u16string& name, const std::u16string& type,
                            bool hostIsFolder, std::uint64_t limit);

}  // namespace streamscan
