// An in-memory file system for tests: folders, files and their streams, with
// Windows or POSIX paths, volumes, and a fault switch on every operation. It also
// records what was called, so a test can check how the engine used it.
//
// It behaves like the real ports where the engine can tell the difference:
// - Windows style looks names up ignoring the case of A-Z (like NTFS); both \ and /
//   separate. POSIX style compares names exactly; only / separates.
// - A folder listing starts with "." and ".." except at a drive or share root
//   (Windows); an empty root fails to start with error 2.
// - A listing's entries say only name and kind; their facts are asked of the
//   listing (entryFacts), which answers from the tree.
// - A file's stream enumeration lists "::$DATA" first (Windows style); a folder
//   without named streams, or a POSIX item without any, fails to start with 38.
// - Opening a folder's stream without hostIsFolder is refused (5); reading a
//   folder's own content fails with 1. Deleting a stream of a read-only host is
//   refused (5).
//
// Every operation may be called from any thread; the counters are read after the
// scan has ended.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"
#include "engine/win_codes.h"

namespace streamscan {

enum class FakeOp {
    fullPath,
    queryVolume,
    itemFacts,
    plainAttributes,
    startListing,  // a fault's `after` breaks the listing off after that many entries
    nextEntry,
    entryFacts,    // the path is the entry's own
    startStreams,  // as startListing, for stream enumerations
    nextStream,
    openStream,
    read,  // a fault's `after` lets that many bytes through before the read fails
    deleteStream,
    createFile,
    write,  // a fault's `after` lets that many bytes be written before the write fails
    deleteFile,
};
inline constexpr std::size_t kFakeOpCount = static_cast<std::size_t>(FakeOp::deleteFile) + 1;

// How an operation fails. With `after` 0 it fails at once; listings hand out
// `after` entries first, reads and writes pass `after` bytes first.
struct FakeFault {
    std::uint32_t error = kErrorAccessDenied;
    std::uint64_t after = 0;
    bool throwBadAlloc = false;  // throw std::bad_alloc instead of returning the error
};

struct FakeStreamDelete {
    std::u16string hostPath;
    std::u16string name;
    std::u16string type;
};

class FakeFileSystem : public FileSystem {
  public:
    explicit FakeFileSystem(PathStyle style = PathStyle::windows);
    ~FakeFileSystem() override;

    // ---- building the tree (missing parent folders are made on the way) ----
    // Attributes default to 0x10 for folders and 0x20 for files; the directory bit
    // is always kept on folders. A folder listed with 0x410 is a link.
    void addFolder(const std::u16string& path, std::uint32_t attributes = kAttributeDirectory);
    void addFile(const std::u16string& path, std::string_view content = {},
                 std::uint32_t attributes = kAttributeArchive);
    // A stream listed as ":name:type".
    void addStream(const std::u16string& hostPath, const std::u16string& name,
                   std::string_view content, const std::u16string& type = u"$DATA");
    // A stream listed exactly as given ("::$DATA", ":$DATA", "noColons", "::$EA", ...).
    // Opening it finds it by the name and type the listed text splits into.
    void addListedStream(const std::u16string& hostPath, const std::u16string& listedName,
                         std::string_view content);
    // Changes what the listing reports as a stream's size (content stays).
    void setListedStreamSize(const std::u16string& hostPath, const std::u16string& listedName,
                             std::uint64_t size);
    void setAttributes(const std::u16string& path, std::uint32_t attributes);
    void setLastWrite(const std::u16string& path, std::uint64_t fileTime);
    // The file-system name of everything below `prefix` (longest prefix wins).
    // Paths under no volume are on an unknown volume (known false).
    void addVolume(const std::u16string& prefix, const std::u16string& fileSystemName,
                   bool namedStreams);
    // The folder relative paths are resolved against by fullPath.
    void setCurrentFolder(const std::u16string& folder);

    // ---- faults: `path` is the path the operation receives (for stream
    // operations streamPathOf(host, name, type)); an empty path matches every call.
    void setFault(FakeOp op, const std::u16string& path, FakeFault fault);
    void refuse(FakeOp op, const std::u16string& path) { setFault(op, path, {}); }
    // Every write fails with 112 once `bytes` bytes have been written.
    void fillDiskAfter(std::uint64_t bytes) {
        setFault(FakeOp::write, u"", {kErrorDiskFull, bytes});
    }

    // ---- inspecting the tree ----
    bool exists(const std::u16string& path) const;
    bool hasStream(const std::u16string& hostPath, const std::u16string& name) const;
    // The content of a file (e.g. one the engine created); empty when there is none.
    std::string fileBytes(const std::u16string& path) const;

    // ---- what was called ----
    std::uint64_t calls(FakeOp op) const;
    std::uint64_t totalCalls() const;
    int openListings() const;  // directory listings open now
    int maxOpenListings() const;
    int openStreamListings() const;
    int maxOpenStreamListings() const;
    int openReaders() const;
    int openWriters() const;
    // The size of every read call, in order.
    std::vector<std::uint32_t> readSizes() const;
    std::vector<FakeStreamDelete> deleteStreamCalls() const;
    std::vector<std::u16string> deleteFileCalls() const;
    // Folders whose listing was started, in order.
    std::vector<std::u16string> listedFolders() const;
    // Everything written to files created at `path`, also after the file was deleted.
    std::string writtenBytes(const std::u16string& path) const;

    // ---- FileSystem ----
    PathStyle pathStyle() const override { return style_; }
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

  private:
    struct Stream {
        std::u16string listedName;
        std::u16string name;  // as the listed name splits
        std::u16string type;
        std::string content;
        std::uint64_t listedSize = 0;
    };
    struct Item {
        std::u16string path;  // as it was added
        bool folder = false;
        bool dots = true;
        ItemFacts facts;
        std::string content;
        std::vector<std::u16string> children;  // keys, in listing order
        std::vector<Stream> streams;
    };

    friend class FakeDirectoryListing;
    friend class FakeStreamListing;
    friend class FakeStreamReader;
    friend class FakeFileWriter;

    std::u16string keyOf(const std::u16string& path) const;
    bool sameName(const std::u16string& a, const std::u16string& b) const;
    Item* find(const std::u16string& path);
    const Item* find(const std::u16string& path) const;
    Item& ensureFolder(const std::u16string& path);
    Item& addItem(const std::u16string& path, bool folder, std::uint32_t attributes);
    Stream* findStream(Item& item, const std::u16string& name, const std::u16string& type);
    // Counts the call and returns the fault that applies to it, if any.
    const FakeFault* enter(FakeOp op, const std::u16string& path);
    static std::uint32_t failWith(const FakeFault& fault);

    PathStyle style_;
    std::u16string currentFolder_;
    std::map<std::u16string, Item> items_;
    struct Volume {
        std::u16string key;
        VolumeInfo info;
    };
    std::vector<Volume> volumes_;
    std::map<std::pair<FakeOp, std::u16string>, FakeFault> faults_;

    mutable std::mutex mutex_;
    std::array<std::uint64_t, kFakeOpCount> calls_{};
    int openListings_ = 0;
    int maxOpenListings_ = 0;
    int openStreamListings_ = 0;
    int maxOpenStreamListings_ = 0;
    int openReaders_ = 0;
    int openWriters_ = 0;
    std::map<std::u16string, std::string> writtenBytes_;
    std::vector<std::uint32_t> readSizes_;
    std::vector<FakeStreamDelete> deleteStreamCalls_;
    std::vector<std::u16string> deleteFileCalls_;
    std::vector<std::u16string> listedFolders_;
};

}  // namespace streamscan
