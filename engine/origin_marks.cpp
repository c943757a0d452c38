#include "engine/origin_marks.h"

#include <algorithm>

#include "engine/assessment.h"
#include "engine/path_forms.h"
#include "engine/stream_listing.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"
#include "engine/zone_identifier.h"

namespace streamscan {
namespace {

constexpr std::u16string_view kZoneIdentifierName = u"Zone.Identifier";

std::u16string readAddress(FileSystem& fs, const std::u16string& hostPath, bool hostIsFolder,
                           std::u16string_view name) {
    const StreamBytes read =
        readStreamBytes(fs, hostPath, std::u16string(name), u"$DATA", hostIsFolder, kZoneReadLimit);
    if (!read.ok || !read.reachedEnd)
        return {};
    return trimWhitespace(decodeStreamText(
        std::string_view(reinterpret_cast<const char*>(read.bytes.data()), read.bytes.size())));
}

}  // namespace

bool isXdgOriginStream(std::u16string_view streamName) {
    return equalsAsciiNoCase(streamName, kXdgOriginName) ||
           equalsAsciiNoCase(streamName, kXdgReferrerName);
}

bool isOriginStream(std::u16string_view streamName) {
    return equalsAsciiNoCase(streamName, kZoneIdentifierName) || isXdgOriginStream(streamName);
}

bool isDownloadMark(std::u16string_view streamName) {
    return isOriginStream(streamName) || equalsAsciiNoCase(streamName, u"mime_type");
}

void readXdgOrigin(FileSystem& fs, const std::u16string& hostPath, bool hostIsFolder,
                   StreamRecord& record) {
    record.zone.hostUrl = readAddress(fs, hostPath, hostIsFolder, kXdgOriginName);
    record.zone.referrerUrl = readAddress(fs, hostPath, hostIsFolder, kXdgReferrerName);
}

std::u16string sidecarHostName(std::u16string_view entryName) {
    if (entryName.size() <= kSidecarSuffix.size())
        return {};
    const std::size_t split = entryName.size() - kSidecarSuffix.size();
    if (!equalsAsciiNoCase(entryName.substr(split), kSidecarSuffix))
        return {};
    return std::u16string(entryName.substr(0, split));
}

void listSidecarZone(ScanContext& context, const std::u16string& folder,
                     const std::u16string& sidecarName, std::uint64_t sidecarSize) {
    const std::u16string hostName = sidecarHostName(sidecarName);
    if (hostName.empty())
        return;
    const PathStyle style = context.fs.pathStyle();
    const std::u16string hostPath = joinPath(folder, hostName, style);
    ItemFacts host;
    if (context.fs.itemFacts(hostPath, host) != kErrorSuccess)
        return;  // no item beside it: an ordinary file with an odd name

    StreamRecord record;
    record.hostFolder = folder;
    record.hostName = hostName;
    record.hostAttributes = host.attributes;
    record.hostSize = host.size;
    record.hostModified = host.lastWrite;
    record.hostIsFolder = (host.attributes & kAttributeDirectory) != 0;
    record.streamName = kZoneIdentifierName;
    record.streamType = u"$DATA";
    record.streamSize = sidecarSize;
    record.sidecarFile = true;
    record.carrier = sidecarName;
    record.hostIdentity = host.identity;
    record.hostDetails = host.details;
    record.scanRoot = context.root;
    record.rootIdentity = context.rootIdentity;
    record.zone.isZoneIdentifier = true;

    const std::u16string sidecarPath = joinPath(folder, sidecarName, style);
    if (sidecarSize != 0) {
        const StreamBytes read =
            readStreamBytes(context.fs, sidecarPath, u"", u"$DATA", false, kZoneReadLimit);
        if (read.ok) {
            const std::size_t kept = std::min<std::size_t>(read.bytes.size(), record.head.size());
            std::copy_n(read.bytes.begin(), kept, record.head.begin());
            record.headLength = kept;
        }
        if (read.ok && read.reachedEnd) {
            record.zone = parseZoneIdentifier(std::string_view(
                reinterpret_cast<const char*>(read.bytes.data()), read.bytes.size()));
        } else {
            record.unreadable = true;
            countNotExamined(context, PlaceKind::unreadableStream, sidecarPath, read.error);
        }
    }
    std::u16string note;
    record.severity = assessStream(record, &note, context.options.largeStreamThreshold);
    record.note = note.empty() ? u"Zone.Identifier kept in a sidecar file beside it"
                               : note + u" (sidecar file)";
    ++context.stats.streams;
    // The item beside it counts as an item with streams unless it has streams of its own.
    StreamEntry first;
    std::unique_ptr<StreamListing> listing;
    if (context.fs.startStreams(hostPath, first, listing) == kErrorHandleEof)
        ++context.stats.itemsWithStreams;
    listing.reset();
    context.sink(record);
}

}  // namespace streamscan
