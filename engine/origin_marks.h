// Marks of where a file came from besides its Zone.Identifier stream: the
// addresses Linux browsers and downloaders keep in user.xdg.origin.url and
// user.xdg.referrer.url, and the sidecar file NAME:Zone.Identifier that Windows
// leaves beside NAME when it copies a download into a folder without streams.
#pragma once

#include <string>
#include <string_view>

#include "engine/file_system.h"
#include "engine/scan_context.h"
#include "engine/scan_types.h"

namespace streamscan {

inline constexpr std::u16string_view kXdgOriginName = u"xdg.origin.url";
inline constexpr std::u16string_view kXdgReferrerName = u"xdg.referrer.url";
inline constexpr std::u16string_view kSidecarSuffix = u":Zone.Identifier";

// Either of the two address attributes, letters A-Z in any case.
bool isXdgOriginStream(std::u16string_view streamName);
// A stream that records where its host came from: Zone.Identifier or an xdg address.
bool isOriginStream(std::u16string_view streamName);
// What a download leaves on any file, programs included: an origin stream, or
// the MIME type (user.mime_type) that curl --xattr and file managers record.
bool isDownloadMark(std::u16string_view streamName);

// Fills the record's host and referrer URL from the host's two address
// attributes (each read whole up to the Zone.Identifier limit, trimmed).
void readXdgOrigin(FileSystem& fs, const std::u16string& hostPath, bool hostIsFolder,
                   StreamRecord& record);

// NAME when `entryName` is NAME:Zone.Identifier (letters in any case) with a
// NAME that is not empty; empty otherwise.
std::u16string sidecarHostName(std::u16string_view entryName);

// Lists the sidecar file `sidecarName` of `folder` as the Zone.Identifier of
// the item beside it, when that item exists; the row goes to the scan's sink.
void listSidecarZone(ScanContext& context, const std::u16string& folder,
                     const std::u16string& sidecarName, std::uint64_t sidecarSize);

}  // namespace streamscan
