#include "engine/stream_listing.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>

#include "engine/assessment.h"
#include "engine/origin_marks.h"
#include "engine/path_forms.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"
#include "engine/zone_identifier.h"

namespace streamscan {
namespace {

constexpr std::u16string_view kZoneIdentifierName = u"Zone.Identifier";

// A record with the host fields filled and everything else at its defaults.
StreamRecord hostRecord(const ScanContext& context,
                        const std::pair<std::u16string, std::u16string>& split, bool hostIsFolder,
                        const ItemFacts& facts) {
    StreamRecord record;
    record.hostIdentity = facts.identity;
    record.hostDetails = facts.details;
    record.deleted = facts.deleted;
    record.scanRoot = context.root;
    record.rootIdentity = context.rootIdentity;
    record.hostFolder = split.first;
    record.hostName = split.second;
    record.hostAttributes = facts.attributes;
    record.hostSize = facts.size;
    record.hostModified = facts.lastWrite;
    record.hostIsFolder = hostIsFolder;
    return record;
}

// Severity and note come last, from the finished record.
void assess(StreamRecord& record, const ScanOptions& options) {
    std::u16string note;
    record.severity = assessStream(record, &note, options.largeStreamThreshold);
    record.note = std::move(note);
}

// Reads the first bytes of one stream into the record and parses a
// Zone.Identifier stream read whole; says whether the record is unreadable, and
// the system's error when one caused it.
bool probeContent(FileSystem& fs, StreamListing& listing, const std::u16string& hostPath,
                  bool hostIsFolder, bool isZone, StreamRecord& record, std::uint32_t& error) {
    std::uint64_t limit = kProbeLimit;
    if (isZone && record.streamSize > kProbeLimit && record.streamSize <= kZoneReadLimit) {
        limit = record.streamSize;  // read whole, so that it can be parsed
    }
    std::unique_ptr<StreamReader> reader;
    StreamBytes read;
    std::uint32_t openError = kErrorSuccess;
    if (listing.openEntry(openError, reader)) {
        read.error = openError;
        if (openError == kErrorSuccess && reader)
            read = readFromStream(*reader, limit);
    } else {
        read = readStreamBytes(fs, hostPath, record.streamName, record.streamType, hostIsFolder,
                               limit);
    }
    if (!read.ok) {
        error = read.error;
        return true;
    }
    const std::size_t kept = std::min<std::size_t>(read.bytes.size(), record.head.size());
    std::copy_n(read.bytes.begin(), kept, record.head.begin());
    record.headLength = kept;
    const std::span<const std::uint8_t> start(
        read.bytes.data(), std::min<std::size_t>(read.bytes.size(), kProbeLimit));
    record.contentKind = contentKindOf(start);
    record.entropy = entropyOf(start);
    if (!isZone) {
        return false;
    }
    if (!read.reachedEnd) {
        return true;  // larger than the whole-read limit: never parse a part of it
    }
    record.zone = parseZoneIdentifier(
        std::string_view(reinterpret_cast<const char*>(read.bytes.data()), read.bytes.size()));
    return false;
}

}  // namespace

std::uint32_t HostFacts::get(const ItemFacts*& answer) {
    if (!asked) {
        asked = true;
        error = listing->entryFacts(facts);
    }
    answer = &facts;
    return error;
}

std::pair<std::u16string, std::u16string> splitStreamName(const std::u16string& listed) {
    if (listed.empty()) {
        return {};
    }
    // The type is what follows the last colon: a type holds none, and a name
    // that does (user.:x, user.a:b on Linux) stays whole and is shown as it is.
    const std::size_t start = listed.front() == u':' ? 1 : 0;
    const std::size_t colon = listed.rfind(u':');
    if (colon == std::u16string::npos || colon < start) {
        return {listed.substr(start), std::u16string()};
    }
    return {listed.substr(start, colon - start), listed.substr(colon + 1)};
}

void setListedName(StreamEntry& entry, const std::u16string& listed) {
    auto [name, type] = splitStreamName(listed);
    entry.streamName = std::move(name);
    entry.streamType = std::move(type);
}

bool isDataStreamType(std::u16string_view type) {
    return type.empty() || equalsAsciiNoCase(type, u"$DATA");
}

bool isMainStream(const std::u16string& name, const std::u16string& type) {
    return name.empty() &&
           (isDataStreamType(type) || equalsAsciiNoCase(type, u"$INDEX_ALLOCATION"));
}

StreamBytes readStreamBytes(FileSystem& fs, const std::u16string& hostPath,
                            const std::u16string& name, const std::u16string& type,
                            bool hostIsFolder, std::uint64_t limit) {
    std::unique_ptr<StreamReader> reader;
    StreamBytes result;
    result.error = fs.openStream(hostPath, name, type, hostIsFolder, reader);
    if (result.error != kErrorSuccess || !reader) {
        return result;
    }
    return readFromStream(*reader, limit);
}

std::uint32_t FileSystem::openListedStream(const StreamRecord& row,
                                           std::unique_ptr<StreamReader>& reader) {
    if (row.sidecarFile)
        return openStream(joinPath(row.hostFolder, row.carrier, pathStyle()), u"", u"$DATA", false,
                          reader);
    return openStream(hostPathOf(row, pathStyle()), row.streamName, row.streamType,
                      row.hostIsFolder, reader);
}

StreamBytes readFromStream(StreamReader& reader, std::uint64_t limit) {
    StreamBytes result;
    result.bytes.resize(static_cast<std::size_t>(limit));
    std::uint64_t total = 0;
    while (total < limit) {
        const auto ask =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(limit - total, kReadChunk));
        std::uint32_t got = 0;
        result.error = reader.read(result.bytes.data() + total, ask, got);
        if (result.error != kErrorSuccess) {
            result.bytes.clear();
            return result;
        }
        if (got == 0) {
            result.reachedEnd = true;
            break;
        }
        total += std::min(got, ask);  // a port never hands more than was asked for
    }
    if (!result.reachedEnd) {
        std::uint8_t extra = 0;
        std::uint32_t got = 0;
        result.error = reader.read(&extra, 1, got);
        if (result.error != kErrorSuccess) {
            result.bytes.clear();
            result.reachedEnd = false;
            return result;
        }
        result.reachedEnd = got == 0;
    }
    result.bytes.resize(static_cast<std::size_t>(total));
    result.ok = true;
    return result;
}

void emitItemRow(ScanContext& context, const std::u16string& hostPath, bool hostIsFolder,
                 HostFacts& facts) {
    if (!context.options.showItemsWithoutStreams) {
        return;
    }
    const ItemFacts* known = nullptr;
    if (const std::uint32_t error = facts.get(known); error != kErrorSuccess) {
        countFailure(context, hostPath, error);
        return;
    }
    StreamRecord record =
        hostRecord(context, splitHostPath(hostPath, context.fs.pathStyle()), hostIsFolder, *known);
    assess(record, context.options);
    context.sink(record);
}

void listItemStreams(ScanContext& context, const std::u16string& hostPath, bool hostIsFolder,
                     HostFacts& facts) {
    ScanStats& stats = context.stats;
    StreamEntry entry;
    std::unique_ptr<StreamListing> listing;
    const std::uint32_t startError = context.fs.startStreams(hostPath, entry, listing);
    if (startError == kErrorHandleEof) {
        emitItemRow(context, hostPath, hostIsFolder, facts);
        return;
    }
    if (startError != kErrorSuccess || !listing) {
        countFailure(context, hostPath, startError);
        return;
    }

    // Made for the first row only: most items show none.
    std::optional<std::pair<std::u16string, std::u16string>> split;
    // Where the facts did not carry it, asked of the listing once per item.
    std::optional<ItemIdentity> askedIdentity;
    std::uint64_t rows = 0;
    std::uint32_t endError = kErrorSuccess;
    for (;;) {
        std::u16string& name = entry.streamName;
        std::u16string& type = entry.streamType;
        if (entry.ownedByFileSystem) {
            ++stats.fileSystemStreams;
        } else if (entry.metadata && !context.options.allAttributes) {
            ++stats.metadataAttributes;
        } else if (!isMainStream(name, type)) {
            // Asked before the first row: an item whose facts cannot be read
            // fails as a whole, like an enumeration that could not start.
            const ItemFacts* known = nullptr;
            if (const std::uint32_t error = facts.get(known); error != kErrorSuccess) {
                countFailure(context, hostPath, error);
                return;
            }
            if (!split)
                split = splitHostPath(hostPath, context.fs.pathStyle());
            StreamRecord record = hostRecord(context, *split, hostIsFolder, *known);
            if (!record.hostIdentity.known) {
                if (!askedIdentity)
                    askedIdentity = listing->hostIdentity();
                record.hostIdentity = *askedIdentity;
            }
            record.carrier = std::move(entry.carrier);
            record.attributeId = entry.attributeId;
            record.hostIsFileSystemFile = entry.onFileSystemFile;
            record.streamName = std::move(name);
            record.streamType = std::move(type);
            record.streamSize = entry.size;
            record.streamSizeAtLeast = entry.sizeAtLeast;
            const bool isZone = equalsAsciiNoCase(record.streamName, kZoneIdentifierName);
            // A zero-length stream is never opened; one whose size is not known
            // cannot be read whole either.
            std::uint32_t readError = kErrorSuccess;
            if (record.streamSizeAtLeast ||
                (record.streamSize != 0 && probeContent(context.fs, *listing, hostPath,
                                                        hostIsFolder, isZone, record, readError))) {
                record.unreadable = true;
                countNotExamined(context, PlaceKind::unreadableStream,
                                 streamPathOf(hostPath, record.streamName, record.streamType),
                                 readError);
            }
            if (isZone) {
                record.zone.isZoneIdentifier = true;
            } else if (isXdgOriginStream(record.streamName)) {
                readXdgOrigin(context.fs, hostPath, hostIsFolder, record);
            }
            assess(record, context.options);
            ++stats.streams;
            ++rows;
            context.sink(record);
        }
        entry = StreamEntry();
        endError = listing->next(entry);
        if (endError != kErrorSuccess) {
            break;
        }
    }
    listing.reset();

    const bool normalEnd = endError == kErrorHandleEof || endError == kErrorNoMoreFiles;
    if (!normalEnd) {
        countFailure(context, hostPath, endError);
    }
    if (rows > 0) {
        ++stats.itemsWithStreams;
    } else if (normalEnd) {
        emitItemRow(context, hostPath, hostIsFolder, facts);
    }
}

}  // namespace streamscan
