// The folder --extract writes into: made new or taken only when empty, and
// written only by creating new files in it (never following a link, never
// replacing a file), so nothing outside it can be touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"

namespace tessalin {

// A root of the scan, by what it is and what it is called.
struct ScannedRoot {
    streamscan::ItemIdentity identity;
    std::u16string path;
};

class OutputFile {
  public:
    virtual ~OutputFile() = default;
    // Empty, or the reason the bytes could not be written.
    virtual std::u16string write(const std::uint8_t* data, std::size_t size) = 0;
    virtual std::u16string close() = 0;
};

class OutputFolder {
  public:
    OutputFolder();
    ~OutputFolder();
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    // Makes the folder `path`, or takes it when it is an existing empty folder
    // (not a link). Refused before anything is made when it is or would lie
    // inside one of `scanned`, by identity: a link into the tree is seen
    // through. Empty, or the reason it cannot be used.
    std::u16string open(const std::u16string& path, const std::vector<ScannedRoot>& scanned = {});
    // A new file of that plain name in the folder; fails if the name exists.
    std::u16string create(std::u16string_view name, std::unique_ptr<OutputFile>& file);
    // Renames one of its files to a name that is not taken yet.
    std::u16string rename(std::u16string_view from, std::u16string_view to);
    void remove(std::u16string_view name);

  private:
    struct State;
    std::unique_ptr<State> state;
};

}  // namespace tessalin
