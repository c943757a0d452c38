// Streams' content read whole, once, through the scan's port: its SHA-256 (the
// console's --hash), and into a folder (the console's --extract, the window's
// Save Streams To...) a copy under a name the program makes, with
// manifest.json mapping each copy to the stream's full path, size and SHA-256
// (or the error that kept it out), and, when the caller gives them, the facts of
// the run the copies came from.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/output_folder.h"
#include "engine/digest.h"
#include "engine/file_system.h"
#include "engine/image_layout.h"
#include "engine/scan_types.h"

namespace tessalin {

inline constexpr std::u16string_view kManifestName = u"manifest.json";

// What a row carries beyond its record: its content's digests.
struct RowExtras {
    bool hashed = false;  // --hash: the row has a field per digest asked for
    std::string sha256;   // lowercase hex; empty when the content could not be read
    // Every digest asked for, in the order asked; empty hex when not read.
    std::vector<std::pair<streamscan::DigestKind, std::string>> digests;
    std::u16string hashError;  // why it could not be read
};

// What made a manifest's copies and from what: written at its head, so each
// copy can be traced to the run and the evidence it came from.
struct Provenance {
    std::u16string program;
    std::u16string version;
    std::vector<std::u16string> commandLine;  // the program's name, then its arguments
    std::u16string host;
    std::vector<streamscan::ImageLayout> images;  // the disk images read, if any
};

class StreamContent {
  public:
    // Without `folder` only hashes are taken: SHA-256 always (the manifest
    // names it), and each of `digests` too.
    explicit StreamContent(OutputFolder* folder, std::vector<streamscan::DigestKind> digests = {});

    // Empty, or the reason the manifest cannot be started. With `provenance`
    // the manifest also names the run, its start and, once finished, its end.
    std::u16string start(const Provenance* provenance = nullptr);
    // Reads the stream of a stream row, copies and hashes it; the row's extras.
    RowExtras take(const streamscan::StreamRecord& record, streamscan::FileSystem& fs);
    // Completes the manifest and gives it its name. Empty, or the reason; then
    // no copy is left without it: every copy made is removed again.
    std::u16string finish(bool scanCancelled);

    std::uint64_t copied() const { return copiedCount; }
    // Copy files in the folder now.
    std::uint64_t copiesMade() const { return copies.size(); }
    // Streams whose content could not be read whole.
    std::uint64_t notRead() const { return notReadCount; }
    // Copies that could not be written (a full disk): the output failed, not the scan.
    std::uint64_t notWritten() const { return notWrittenCount; }

  private:
    void manifestEntry(const streamscan::StreamRecord& record, const std::u16string& fileName,
                       const RowExtras& extras, std::uint64_t size);

    OutputFolder* folder;
    std::vector<streamscan::DigestKind> digests;
    std::unique_ptr<OutputFile> manifest;
    std::u16string manifestError;
    bool timed = false;  // the manifest says when the run started, so also when it ended
    std::vector<std::u16string> copies;  // the names of the copies made
    std::uint64_t copiedCount = 0;
    std::uint64_t notReadCount = 0;
    std::uint64_t notWrittenCount = 0;
};

}  // namespace tessalin
