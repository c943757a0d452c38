// --bodyfile FILE: one line per stream in the body format that mactime reads
// (MD5|name|inode|mode|UID|GID|size|atime|mtime|ctime|crtime), so that a
// timeline of streams can be made from it.
#pragma once

#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/scan_types.h"
#include "frontend/extraction.h"

namespace tessalin::cli {

// The line of one stream row, "\n"-ended: the name is PATH:STREAM, escaped for
// display (so no name can break a line or a field); the inode is
// ENTRY-128-ATTRIBUTEID for a row read from NTFS structures; the MD5 is the
// row's when --hash named it, else 0; times are whole seconds, 0 where unknown.
std::string bodyFileLine(const streamscan::StreamRecord& record, const RowExtras& extras);

// Writes the lines to `path` as a report is written (complete or absent, never
// over an item `records` listed a stream of). False with `message` set otherwise.
bool writeBodyFile(const std::u16string& path, const std::string& lines,
                   const std::vector<streamscan::StreamRecord>& records, std::u16string* message,
                   streamscan::FileSystem& fs);

}  // namespace tessalin::cli
