// The read-only port over disk images, read through The Sleuth Kit's library:
// raw and split images, block devices, and whatever container formats the
// installed library reads (E01, VMDK, VHD/VHDX). The image is evidence: nothing
// in it is ever written.
//
// Paths inside an image are written IMAGE//pN/FOLDER/NAME: the image's absolute
// path, a doubled slash, the partition (p1, p2, ... in the order of their start
// on the disk, counting only partitions that hold data; p0 for a file system
// that fills the whole image), then the path inside with / between names. An
// absolute path made by the system never holds a doubled slash, so the first one
// ends the image part and no such path can name a live file.
//
// Paths outside every opened image are the host port's: reports are written
// there, through it.
//
// Which calls may come in which order:
// - openImage first: it makes the roots; any other call on a path of an image
//   not opened is the host's.
// - The first startListing of an NTFS root (IMAGE//pN) reads the volume's $MFT
//   in one pass and builds its folder tree. From then until scanEnded every
//   call on a path of that volume (listings and their entryFacts, startStreams,
//   itemFacts, openStream) is answered from the tree, the items under
//   $OrphanFiles included.
// - Before that (itemFacts and the streams of the root itself, a scan that
//   starts at a folder), on other file systems, where the pass cannot be made,
//   and after scanEnded, paths are found through the library's folder walk: a
//   listing keeps its subfolders for the descent and its other items until the
//   next listing; any other path is found again by reading its parent folder.
// - Within one scan a folder is listed once: listing it again (a loop, or a
//   folder with two names) fails with kErrorFileCorrupt.
// - scanEnded forgets the tree, what the walk kept and which folders were
//   listed: the next scan reads the volume afresh (a mounted volume's device may
//   have changed in between).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/image_layout.h"

namespace streamscan {

inline constexpr std::uint32_t kEveryPartition = 0xFFFFFFFF;

// What opening one image found.
struct ImageOpening {
    // One root (IMAGE//pN) per partition or file system to scan, in disk order.
    // A partition without a file system this can read is a root too: its volume
    // says it is not recognised (and what it seems to be), so it is counted as
    // not examined. A partition that holds no files by its type is no root.
    std::vector<std::u16string> roots;
    // What is worth saying once and is not counted: partitions left out by type.
    std::vector<std::u16string> notes;
    // Why the image cannot be scanned at all; empty when roots is not empty.
    std::u16string error;
};

class ImageFileSystem final : public FileSystem {
  public:
    // `includeDeleted`: folder listings also give entries of deleted items whose
    // file record is still intact.
    ImageFileSystem(FileSystem& host, bool includeDeleted);
    ~ImageFileSystem() override;
    ImageFileSystem(const ImageFileSystem&) = delete;
    ImageFileSystem& operator=(const ImageFileSystem&) = delete;

    // Opens the image at `imagePath` (its other segments are found beside it)
    // and finds its file systems: every partition, or only `partition`.
    // Opening the same image twice gives the same roots.
    ImageOpening openImage(const std::u16string& imagePath, std::uint32_t partition);

    // What each image opened so far holds, as it was read: its container, its
    // partition table and the files it is read from.
    std::vector<ImageLayout> layouts() const;

    // Items placed under $OrphanFiles by the volumes read so far (each time
    // one is read), their folder being gone or their parent references looping.
    std::uint64_t orphans() const;

    PathStyle pathStyle() const override { return PathStyle::image; }
    std::u16string fullPath(const std::u16string& path) override;
    VolumeInfo queryVolume(const std::u16string& path) override;
    std::uint32_t itemFacts(const std::u16string& path, ItemFacts& facts) override;
    std::uint32_t plainAttributes(const std::u16string& path, std::uint32_t& attributes) override;
    std::uint32_t startListing(const std::u16string& folder, DirectoryEntry& first,
                               std::unique_ptr<DirectoryListing>& listing) override;
    std::uint32_t startStreams(const std::u16string& hostPath, StreamEntry& first,
                               std::unique_ptr<StreamListing>& listing) override;
    std::uint32_t openStream(const std::u16string& hostPath, const std::u16string& name,
                             const std::u16string& type, bool hostIsFolder,
                             std::unique_ptr<StreamReader>& reader) override;
    std::uint32_t deleteStream(const std::u16string& hostPath, const std::u16string& name,
                               const std::u16string& type) override;
    std::uint32_t createFile(const std::u16string& path,
                             std::unique_ptr<FileWriter>& writer) override;
    std::uint32_t deleteFile(const std::u16string& path) override;
    void scanEnded() override;

  private:
    struct State;
    FileSystem& host;
    std::unique_ptr<State> state;
};

}  // namespace streamscan
