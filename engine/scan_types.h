// The value types a scan hands to the rest of the program, and its callbacks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/content_kind.h"
#include "engine/file_system.h"

namespace streamscan {

inline constexpr std::uint32_t kNoZone = 0xFFFFFFFF;
inline constexpr std::uint64_t kDefaultLargeStreamThreshold = 1048576;

// What a Zone.Identifier stream says. Defaults mean "nothing read".
struct ZoneInfo {
    bool isZoneIdentifier = false;
    bool zoneIdPresent = false;
    bool zoneIdParsed = false;
    std::uint32_t zone = kNoZone;  // 0-4, else kNoZone
    std::int64_t zoneId = -1;      // exactly as read, also outside 0-4
    std::u16string hostUrl;
    std::u16string referrerUrl;
};

// One row of a result: a host item with one of its alternate streams, or the
// host alone (an item row, empty streamName).
struct StreamRecord {
    std::u16string hostFolder;
    std::u16string hostName;  // empty when the host is its own parent (C:\)
    std::u16string streamName;
    std::u16string streamType;
    std::uint64_t streamSize = 0;
    // streamSize is only a lower bound: the port shows no more of the stream
    // (ntfs-3g's attribute interface stops at 64 KiB). Shown as "at least".
    bool streamSizeAtLeast = false;
    std::uint32_t hostAttributes = 0;
    std::uint64_t hostSize = 0;
    std::uint64_t hostModified = 0;  // FILETIME, UTC
    bool hostIsFolder = false;
    ZoneInfo zone;
    std::array<std::uint8_t, 16> head{};
    std::uint64_t headLength = 0;  // 0 to 16
    bool unreadable = false;
    // What the first bytes read say the content is, and their entropy in bits
    // per byte (negative when nothing was read).
    ContentKind contentKind = ContentKind::unknown;
    double entropy = -1;
    std::uint32_t severity = 0;  // 0 none, 1 Notice, 2 Alert
    std::u16string note;
    // The Zone.Identifier came from the sidecar file hostName:Zone.Identifier
    // beside the host, not from a stream.
    bool sidecarFile = false;
    // The host is one of the file system's own files (an NTFS metadata file in
    // an image), where no stream of anyone else belongs.
    bool hostIsFileSystemFile = false;
    // Where the row came from, so that acting on it reaches this very item and
    // carrier or nothing: the host's identity, what carried the stream (the
    // port's key, see StreamEntry), and the root the scan reached it from.
    ItemIdentity hostIdentity;
    ItemDetails hostDetails;  // times, owner, MFT record
    bool deleted = false;     // the host is a deleted item (images)
    std::u16string carrier;
    std::uint32_t attributeId = 0;
    std::u16string scanRoot;
    ItemIdentity rootIdentity;
};

// The running and final counters of one scan.
struct ScanStats {
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t itemsWithStreams = 0;
    std::uint64_t streams = 0;
    std::uint64_t accessDenied = 0;
    std::uint64_t listFailed = 0;
    std::uint64_t unreadableStreams = 0;
    std::uint64_t linksNotFollowed = 0;
    std::uint64_t volumesWithoutStreams = 0;
    // Volumes on which no file system was recognised (encrypted, or unknown).
    std::uint64_t volumesNotRecognised = 0;
    // NTFS volumes whose mount shows none of their streams, read through it.
    std::uint64_t volumesHidingStreams = 0;
    // Streams the file system keeps on its own files for itself: counted, not
    // listed, and no part of what was not examined.
    std::uint64_t fileSystemStreams = 0;
    // Attributes that hold metadata desktop programs and file servers keep
    // (tags, comments, sync state) on volumes that are not NTFS: counted, not
    // listed, unless all attributes are asked for. No part of what was not examined.
    std::uint64_t metadataAttributes = 0;
    // Items the user excluded: not walked, as asked, so no part of what was not examined.
    std::uint64_t excluded = 0;
    // Folder links followed that led back to a folder already on the walk: not entered again.
    std::uint64_t linkLoops = 0;
    bool cancelled = false;

    // Nothing was left unexamined: no counter of places grew (the table in
    // not_examined.h says which those are) and the scan ran to its end.
    bool everythingExamined() const;

    bool operator==(const ScanStats&) const = default;
};

struct ScanOptions {
    bool includeSubfolders = true;
    bool showItemsWithoutStreams = false;
    bool includeFolders = true;
    bool followLinks = false;
    // With followLinks: also enter links whose target lies outside every root.
    bool followLinksOutOfRoots = false;
    // Names ('*' any run, '?' one code unit, A-Z in either case) of items not
    // walked; a pattern with a separator is matched against the path below its root.
    std::vector<std::u16string> excludePatterns;
    // List the attributes that hold metadata as streams too (StreamEntry::metadata).
    bool allAttributes = false;
    std::uint64_t largeStreamThreshold = kDefaultLargeStreamThreshold;  // 0 reads as 1 MiB
};

// Which counter a place that was not examined grew. A folder beyond the depth
// limit counts in listFailed like any failed listing but is told apart, so that
// it can be named for what it is.
enum class PlaceKind : std::uint8_t {
    accessDenied,
    listFailed,
    depthLimit,
    unreadableStream,
    linkNotFollowed,
    volumeWithoutStreams,
    volumeNotRecognised,
    volumeHidingStreams,
    cancelled,
};

// One place a scan did not examine, reported when its counter grows.
struct NotExaminedPlace {
    std::u16string path;  // the root, folder, item or stream path (plain form)
    PlaceKind kind = PlaceKind::listFailed;
    std::uint32_t error = 0;  // the Windows code the system gave; 0 when none did
    // What the place is or lacks, where neither kind nor code says it
    // ("BitLocker", "the evidence set is incomplete: ..."); usually empty.
    std::u16string what;
};

// Called on the scanning thread once per emitted row; the record lives only
// during the call.
using RecordSink = std::function<void(const StreamRecord&)>;
// Polled on the scanning thread; false stops the scan.
using ContinueCheck = std::function<bool()>;
// Called on the scanning thread once per folder, before it is listed.
using ProgressSink = std::function<void(const std::u16string& folder, const ScanStats& counters)>;
// Called on the scanning thread each time a not-examined counter grows (and once
// for the folder where a cancel took effect); the place lives only during the call.
using PlaceSink = std::function<void(const NotExaminedPlace& place)>;

}  // namespace streamscan
