// Output (a report, a manifest, the folder of copies) never replaces what a scan
// reads or listed. Decided by identity with links followed, never by spelling:
// a second name for a scanned file is still that file.
#pragma once

#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/scan_types.h"

namespace streamscan {

// What output must never replace.
struct KeptItems {
    std::vector<ItemIdentity> roots;   // the scanned roots
    std::vector<ItemIdentity> images;  // disk images and their segments being read
    std::vector<ItemIdentity> listed;  // items the scan listed a stream of
    // Regular files this program's own standard output or error goes to: a
    // report put in their place would take what was written there with it.
    std::vector<ItemIdentity> consoleFiles;
};

// Why nothing may be written at `path`, or empty: it names one of `kept`, or
// something no file may be written to (a link that leads nowhere, a socket).
// A folder is left to the writer, which says so in its own words.
std::u16string outputRefusal(const std::u16string& path, const KeptItems& kept, FileSystem& fs);

// The hosts of the stream rows among `records`. An item row alone is no
// reason to keep a file: an earlier report beside the scanned files may go.
std::vector<ItemIdentity> listedHosts(const std::vector<StreamRecord>& records);

// What `path` is, links followed; unknown when the port cannot say.
ItemIdentity resolvedIdentity(const std::u16string& path, FileSystem& fs);

// Whether `identity` is known and one of `items`.
bool isAmong(const ItemIdentity& identity, const std::vector<ItemIdentity>& items);

}  // namespace streamscan
