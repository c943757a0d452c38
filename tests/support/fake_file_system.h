// An in-memory file system for tests: a tree of folders, files and their
// streams, with Windows or POSIX paths and volumes, a fault for any operation on
// any path, and a log of what the engine did. Any thread may call it.
//
// Where the engine can tell, it behaves like the real ports: Windows style finds
// names ignoring the case of A-Z and takes / for \; a listing starts with "." and
// ".." except at a Windows drive or share root; a Windows file lists "::$DATA"
// first; an item with nothing to list fails to start with 38; a folder's stream
// opens only as a folder; a read-only host keeps its streams; every item added
// is a new identity, so adding at a listed path again stands for a swap.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
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
    count,
};

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

struct FakeLog {
    std::array<std::uint64_t, static_cast<std::size_t>(FakeOp::count)> calls{};
    // Handles open now and the most open at once, by the operation that opened them.
    std::array<int, static_cast<std::size_t>(FakeOp::count)> open{};
    std::array<int, static_cast<std::size_t>(FakeOp::count)> maxOpen{};
    std::vector<std::uint32_t> readSizes;  // asked for, in order
    std::vector<FakeStreamDelete> deletedStreams;
    std::map<std::u16string, std::string> written;  // by key, kept after a delete
};

class FakeFileSystem : public FileSystem {
  public:
    explicit FakeFileSystem(PathStyle style = PathStyle::windows);
    ~FakeFileSystem() override;

    // Missing parent folders are made on the way; a folder always has the
    // directory bit, and one added with 0x410 is a link.
    void addFolder(const std::u16string& path, std::uint32_t attributes = kAttributeDirectory);
    void addFile(const std::u16string& path, std::string_view content = {},
                 std::uint32_t attributes = kAttributeArchive);
    // A stream listed as ":name:type", on a file made for it if need be.
    void addStream(const std::u16string& hostPath, const std::u16string& name,
                   std::string_view content, const std::u16string& type = u"$DATA") {
        addListedStream(hostPath, u":" + name + u":" + type, content);
    }
    // A stream listed exactly as given ("::$DATA", ":$DATA", "noColons", ...).
    void addListedStream(const std::u16string& hostPath, const std::u16string& listedName,
                         std::string_view content);
    void setAttributes(const std::u16string& path, std::uint32_t attributes);
    // The file system of everything below `prefix` (longest prefix wins).
    void addVolume(const std::u16string& prefix, const std::u16string& fileSystemName,
                   bool namedStreams);
    // The folder fullPath joins relative paths to.
    void setCurrentFolder(const std::u16string& folder) {
        locked([&] { currentFolder_ = folder; });
    }

    // `path` is the one the operation receives (streamPathOf(host, name, type)
    // for a stream); an empty path matches every call.
    void setFault(FakeOp op, const std::u16string& path, FakeFault fault) {
        locked([&] { faults_[{op, path.empty() ? path : keyOf(path)}] = fault; });
    }
    void refuse(FakeOp op, const std::u16string& path) { setFault(op, path, {}); }
    void fillDiskAfter(std::uint64_t bytes) {
        setFault(FakeOp::write, u"", {kErrorDiskFull, bytes});
    }

    bool exists(const std::u16string& path) const {
        return locked([&] { return find(path) != nullptr; });
    }
    bool hasStream(const std::u16string& hostPath, const std::u16string& name) const {
        return locked([&] { return findStream(hostPath, name, u"$DATA") != nullptr; });
    }
    std::string fileBytes(const std::u16string& path) const {
        return locked([&] { return find(path) ? find(path)->content : std::string(); });
    }
    // Everything written to files created at `path`, also after the file was deleted.
    std::string writtenBytes(const std::u16string& path) const {
        return log().written[keyOf(path)];
    }
    std::uint64_t calls(FakeOp op) const { return log().calls[static_cast<std::size_t>(op)]; }
    std::vector<FakeStreamDelete> deleteStreamCalls() const { return log().deletedStreams; }
    FakeLog log() const {
        return locked([&] { return log_; });
    }

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
    class Handle;

    template <class Function>
    std::invoke_result_t<Function> locked(Function function) const {
        std::lock_guard lock(mutex_);
        return function();
    }
    std::u16string keyOf(const std::u16string& path) const;
    Item* find(const std::u16string& path) const;
    std::uint32_t factsOf(const std::u16string& path, ItemFacts& facts) const;
    Item& addItem(const std::u16string& path, bool folder, std::uint32_t attributes);
    Stream* findStream(const std::u16string& hostPath, const std::u16string& name,
                       const std::u16string& type) const;
    std::optional<FakeFault> faultFor(FakeOp op, const std::u16string& path) const;
    // Counts the call; the error of the fault that applies to it, if any.
    std::optional<std::uint32_t> enter(FakeOp op, const std::u16string& path);
    static std::uint32_t fail(const FakeFault& fault);  // throws or gives the error

    PathStyle style_;
    std::u16string currentFolder_;
    mutable std::map<std::u16string, Item> items_;
    std::vector<std::pair<std::u16string, VolumeInfo>> volumes_;  // by key
    std::map<std::pair<FakeOp, std::u16string>, FakeFault> faults_;
    mutable std::mutex mutex_;
    FakeLog log_;
    std::uint64_t lastIdentity_ = 0;
};

}  // namespace streamscan
