#include "support/fake_file_system.h"

#include <algorithm>
#include <new>

#include "engine/path_forms.h"
#include "engine/stream_listing.h"
#include "engine/unicode.h"

namespace streamscan {

// One open handle of any kind, counted open until it closes: a listing hands out
// its entries, a reader its content, a writer appends to its file in place.
class FakeFileSystem::Handle : public DirectoryListing,
                               public StreamListing,
                               public StreamReader,
                               public FileWriter {
  public:
    // Made under the lock.
    Handle(FakeFileSystem& fs, FakeOp op, std::optional<FakeFault> fault)
        : fs_(fs), op_(static_cast<std::size_t>(op)), fault_(fault) {
        fs_.log_.maxOpen[op_] = std::max(fs_.log_.maxOpen[op_], ++fs_.log_.open[op_]);
    }
    ~Handle() override { close(); }

    std::uint32_t next(DirectoryEntry& entry) override {
        return nextOf(FakeOp::nextEntry, entries, entry, kErrorNoMoreFiles);
    }
    std::uint32_t next(StreamEntry& entry) override {
        return nextOf(FakeOp::nextStream, streams, entry, kErrorHandleEof);
    }
    std::uint32_t entryFacts(ItemFacts& facts) override {
        std::lock_guard lock(fs_.mutex_);
        const auto error = fs_.enter(FakeOp::entryFacts, paths[done - 1]);
        return error ? *error : fs_.factsOf(paths[done - 1], facts);
    }
    std::uint32_t read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) override {
        std::lock_guard lock(fs_.mutex_);
        ++fs_.log_.calls[static_cast<std::size_t>(FakeOp::read)];
        fs_.log_.readSizes.push_back(size);
        got = 0;
        if (folderItself) {
            return kErrorInvalidFunction;  // ReadFile on a directory handle
        }
        if (fault_ && done >= fault_->after && size > 0) {
            return fail(*fault_);
        }
        const std::uint64_t end =
            std::min<std::uint64_t>(content.size(), fault_ ? fault_->after : -1);
        got = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, end - done));
        std::copy_n(content.data() + done, got, buffer);
        done += got;
        return kErrorSuccess;
    }
    std::uint32_t write(const std::uint8_t* data, std::uint32_t size,
                        std::uint32_t& written) override {
        std::lock_guard lock(fs_.mutex_);
        ++fs_.log_.calls[static_cast<std::size_t>(FakeOp::write)];
        const std::uint64_t room = fault_ ? fault_->after - std::min(fault_->after, done) : size;
        written = closed_ ? 0 : static_cast<std::uint32_t>(std::min<std::uint64_t>(size, room));
        const std::string bytes(reinterpret_cast<const char*>(data), written);
        if (Item* item = fs_.find(path)) {
            item->content += bytes;
            item->facts.size = item->content.size();
        }
        fs_.log_.written[fs_.keyOf(path)] += bytes;
        done += written;
        if (closed_) {
            return kErrorInvalidParameter;
        }
        return written < size ? fail(*fault_) : kErrorSuccess;
    }
    void close() override {
        std::lock_guard lock(fs_.mutex_);
        fs_.log_.open[op_] -= closed_ ? 0 : 1;
        closed_ = true;
    }
    void discard() override {
        close();
        fs_.deleteFile(path);
    }

    std::vector<DirectoryEntry> entries;
    std::vector<std::u16string> paths;  // each directory entry's own path
    std::vector<StreamEntry> streams;
    std::string content;
    bool folderItself = false;
    std::u16string path;     // a writer's file
    std::uint64_t done = 0;  // entries handed out (the start hands out the first), or bytes moved

  private:
    template <class Entry>
    std::uint32_t nextOf(FakeOp op, const std::vector<Entry>& list, Entry& entry,
                         std::uint32_t end) {
        std::lock_guard lock(fs_.mutex_);
        ++fs_.log_.calls[static_cast<std::size_t>(op)];
        if (fault_ && done >= fault_->after) {
            return fail(*fault_);
        }
        if (done >= list.size()) {
            return end;
        }
        entry = list[done++];
        return kErrorSuccess;
    }

    FakeFileSystem& fs_;
    std::size_t op_;
    std::optional<FakeFault> fault_;
    bool closed_ = false;
};

FakeFileSystem::FakeFileSystem(PathStyle style)
    : style_(style), currentFolder_(style == PathStyle::windows ? u"C:\\" : u"/") {}

FakeFileSystem::~FakeFileSystem() = default;

std::u16string FakeFileSystem::keyOf(const std::u16string& path) const {
    const bool windows = style_ == PathStyle::windows;
    std::u16string key = path;
    for (char16_t& c : key) {
        c = windows ? (c == u'/' ? u'\\' : asciiLower(c)) : c;
    }
    const std::size_t keep = windows && key.size() == 3 && key[1] == u':' ? 3 : 1;
    while (key.size() > keep && key.back() == (windows ? u'\\' : u'/')) {
        key.pop_back();
    }
    return key;
}

FakeFileSystem::Item* FakeFileSystem::find(const std::u16string& path) const {
    const auto it = items_.find(keyOf(path));
    return it == items_.end() ? nullptr : &it->second;
}

FakeFileSystem::Item& FakeFileSystem::addItem(const std::u16string& path, bool folder,
                                              std::uint32_t attributes) {
    const std::u16string key = keyOf(path);
    const std::u16string parent = parentPath(path, style_);
    const bool isRoot = parent.empty() || keyOf(parent) == key;
    if (!isRoot && !items_.count(key)) {
        Item* parentItem = find(parent);
        (parentItem ? *parentItem : addItem(parent, true, 0)).children.push_back(key);
    }
    Item& item = items_[key];
    item.path = path;
    item.folder = folder;
    item.dots = style_ == PathStyle::posix || !isRoot;
    item.facts.attributes = folder ? (attributes | kAttributeDirectory) : attributes;
    // Adding at a path again puts a new item there, as replacing a file does.
    item.facts.identity = {1, ++lastIdentity_, true};
    return item;
}

void FakeFileSystem::addFolder(const std::u16string& path, std::uint32_t attributes) {
    locked([&] { addItem(path, true, attributes); });
}

void FakeFileSystem::addFile(const std::u16string& path, std::string_view content,
                             std::uint32_t attributes) {
    locked([&] {
        Item& item = addItem(path, false, attributes);
        item.content = std::string(content);
        item.facts.size = content.size();
    });
}

void FakeFileSystem::addListedStream(const std::u16string& hostPath,
                                     const std::u16string& listedName, std::string_view content) {
    locked([&] {
        Item* item = find(hostPath);
        item = item ? item : &addItem(hostPath, false, kAttributeArchive);
        const auto [name, type] = splitStreamName(listedName);
        item->streams.push_back({listedName, name, type, std::string(content)});
    });
}

void FakeFileSystem::setAttributes(const std::u16string& path, std::uint32_t attributes) {
    locked([&] {
        if (Item* item = find(path)) {
            item->facts.attributes = item->folder ? (attributes | kAttributeDirectory) : attributes;
        }
    });
}

void FakeFileSystem::addVolume(const std::u16string& prefix, const std::u16string& fileSystemName,
                               bool namedStreams) {
    locked([&] { volumes_.push_back({keyOf(prefix), {true, namedStreams, fileSystemName}}); });
}

std::optional<FakeFault> FakeFileSystem::faultFor(FakeOp op, const std::u16string& path) const {
    auto it = faults_.find({op, keyOf(path)});
    it = it != faults_.end() ? it : faults_.find({op, std::u16string()});
    return it == faults_.end() ? std::nullopt : std::optional<FakeFault>(it->second);
}

std::optional<std::uint32_t> FakeFileSystem::enter(FakeOp op, const std::u16string& path) {
    ++log_.calls[static_cast<std::size_t>(op)];
    const std::optional<FakeFault> fault = faultFor(op, path);
    return fault ? std::optional<std::uint32_t>(fail(*fault)) : std::nullopt;
}

std::uint32_t FakeFileSystem::fail(const FakeFault& fault) {
    if (fault.throwBadAlloc) {
        throw std::bad_alloc();
    }
    return fault.error;
}

// A relative path is joined to the current folder; dots are left as they are.
std::u16string FakeFileSystem::fullPath(const std::u16string& path) {
    std::lock_guard lock(mutex_);
    if (enter(FakeOp::fullPath, path) || path.empty()) {
        return path;
    }
    const bool windows = style_ == PathStyle::windows;
    std::u16string full = path;
    std::replace(full.begin(), full.end(), u'/', windows ? u'\\' : u'/');
    const bool absolute =
        windows ? full.rfind(u"\\\\", 0) == 0 || full.find(u":\\") == 1 : full[0] == u'/';
    return absolute ? full : joinPath(currentFolder_, full, style_);
}

VolumeInfo FakeFileSystem::queryVolume(const std::u16string& path) {
    std::lock_guard lock(mutex_);
    VolumeInfo best;
    std::size_t bestLength = 0;
    if (enter(FakeOp::queryVolume, path)) {
        return best;
    }
    const std::u16string key = keyOf(path);
    for (const auto& [prefix, info] : volumes_) {
        const bool inside =
            key.rfind(prefix, 0) == 0 &&
            (key.size() == prefix.size() || isPathSeparator(prefix.back(), style_) ||
             isPathSeparator(key[prefix.size()], style_));
        if (inside && prefix.size() >= bestLength) {
            best = info;
            bestLength = prefix.size();
        }
    }
    return best;
}

std::uint32_t FakeFileSystem::factsOf(const std::u16string& path, ItemFacts& facts) const {
    const Item* item = find(path);
    facts = item ? item->facts : facts;
    return item ? kErrorSuccess : kErrorFileNotFound;
}

std::uint32_t FakeFileSystem::itemFacts(const std::u16string& path, ItemFacts& facts) {
    std::lock_guard lock(mutex_);
    const auto error = enter(FakeOp::itemFacts, path);
    return error ? *error : factsOf(path, facts);
}

std::uint32_t FakeFileSystem::plainAttributes(const std::u16string& path,
                                              std::uint32_t& attributes) {
    std::lock_guard lock(mutex_);
    ItemFacts facts{attributes};
    const auto error = enter(FakeOp::plainAttributes, path);
    const std::uint32_t result = error ? *error : factsOf(path, facts);
    attributes = facts.attributes;
    return result;
}

std::uint32_t FakeFileSystem::startListing(const std::u16string& folder, DirectoryEntry& first,
                                           std::unique_ptr<DirectoryListing>& listing) {
    std::lock_guard lock(mutex_);
    ++log_.calls[static_cast<std::size_t>(FakeOp::startListing)];
    const auto fault = faultFor(FakeOp::startListing, folder);
    const Item* item = find(folder);
    if (fault && fault->after == 0) {
        return fail(*fault);
    }
    if (!item || !item->folder || (!item->dots && item->children.empty())) {
        return item && item->folder ? kErrorFileNotFound : kErrorPathNotFound;
    }
    auto handle = std::make_unique<Handle>(*this, FakeOp::startListing, fault);
    if (item->dots) {
        handle->entries = {{u".", EntryKind::folder}, {u"..", EntryKind::folder}};
        handle->paths = {item->path, item->path};
    }
    for (const auto& key : item->children) {
        const Item& child = items_.at(key);
        handle->entries.push_back(
            {leafName(child.path, style_), entryKindOf(child.facts.attributes)});
        handle->paths.push_back(child.path);
    }
    first = handle->entries[0];
    handle->done = 1;
    listing = std::move(handle);
    return kErrorSuccess;
}

std::uint32_t FakeFileSystem::startStreams(const std::u16string& hostPath, StreamEntry& first,
                                           std::unique_ptr<StreamListing>& listing) {
    std::lock_guard lock(mutex_);
    ++log_.calls[static_cast<std::size_t>(FakeOp::startStreams)];
    const auto fault = faultFor(FakeOp::startStreams, hostPath);
    const Item* item = find(hostPath);
    if (fault && fault->after == 0) {
        return fail(*fault);
    }
    if (!item) {
        return kErrorFileNotFound;
    }
    std::vector<StreamEntry> streams;
    // A Windows listing's form, read as the Windows port reads it.
    if (!item->folder && style_ == PathStyle::windows) {
        streams.push_back({u"", u"$DATA", item->facts.size});
    }
    for (const Stream& stream : item->streams) {
        StreamEntry entry;
        setListedName(entry, stream.listedName);
        entry.size = stream.content.size();
        streams.push_back(std::move(entry));
    }
    if (streams.empty()) {
        return kErrorHandleEof;
    }
    first = streams[0];
    auto handle = std::make_unique<Handle>(*this, FakeOp::startStreams, fault);
    handle->streams = std::move(streams);
    handle->done = 1;
    listing = std::move(handle);
    return kErrorSuccess;
}

FakeFileSystem::Stream* FakeFileSystem::findStream(const std::u16string& hostPath,
                                                   const std::u16string& name,
                                                   const std::u16string& type) const {
    Item* item = find(hostPath);
    if (!item) {
        return nullptr;
    }
    for (Stream& stream : item->streams) {
        const bool sameName = style_ == PathStyle::windows ? equalsAsciiNoCase(stream.name, name)
                                                           : stream.name == name;
        if (sameName && equalsAsciiNoCase(stream.type.empty() ? u"$DATA" : stream.type,
                                          type.empty() ? u"$DATA" : type)) {
            return &stream;
        }
    }
    return nullptr;
}

std::uint32_t FakeFileSystem::openStream(const std::u16string& hostPath, const std::u16string& name,
                                         const std::u16string& type, bool hostIsFolder,
                                         std::unique_ptr<StreamReader>& reader) {
    std::lock_guard lock(mutex_);
    const std::u16string path = streamPathOf(hostPath, name, type);
    const Item* item = find(hostPath);
    const Stream* stream = name.empty() ? nullptr : findStream(hostPath, name, type);
    if (const auto error = enter(FakeOp::openStream, path)) {
        return *error;
    }
    if (!item || (!name.empty() && !stream)) {
        return kErrorFileNotFound;
    }
    if (item->folder && !hostIsFolder) {
        return kErrorAccessDenied;  // a folder opens only with backup semantics
    }
    auto handle = std::make_unique<Handle>(*this, FakeOp::openStream, faultFor(FakeOp::read, path));
    handle->content = stream ? stream->content : item->content;
    handle->folderItself = !stream && item->folder;
    reader = std::move(handle);
    return kErrorSuccess;
}

std::uint32_t FakeFileSystem::deleteStream(const std::u16string& hostPath,
                                           const std::u16string& name, const std::u16string& type) {
    std::lock_guard lock(mutex_);
    log_.deletedStreams.push_back({hostPath, name, type});
    const Stream* stream = findStream(hostPath, name, type);
    if (const auto error = enter(FakeOp::deleteStream, streamPathOf(hostPath, name, type))) {
        return *error;
    }
    if (!stream) {
        return kErrorFileNotFound;
    }
    Item& item = *find(hostPath);
    if (item.facts.attributes & kAttributeReadOnly) {
        return kErrorAccessDenied;
    }
    item.streams.erase(item.streams.begin() + (stream - item.streams.data()));
    return kErrorSuccess;
}

std::uint32_t FakeFileSystem::createFile(const std::u16string& path,
                                         std::unique_ptr<FileWriter>& writer) {
    std::lock_guard lock(mutex_);
    const Item* parent = find(parentPath(path, style_));
    const Item* existing = find(path);
    if (const auto error = enter(FakeOp::createFile, path)) {
        return *error;
    }
    if (!parent || !parent->folder || parent == existing) {
        return kErrorPathNotFound;
    }
    if (existing && (existing->folder || (existing->facts.attributes & kAttributeReadOnly))) {
        return kErrorAccessDenied;
    }
    Item& item = addItem(path, false, kAttributeArchive);
    item.content.clear();
    item.facts.size = 0;
    log_.written[keyOf(path)].clear();
    auto handle =
        std::make_unique<Handle>(*this, FakeOp::createFile, faultFor(FakeOp::write, path));
    handle->path = path;
    writer = std::move(handle);
    return kErrorSuccess;
}

std::uint32_t FakeFileSystem::deleteFile(const std::u16string& path) {
    std::lock_guard lock(mutex_);
    const Item* item = find(path);
    if (const auto error = enter(FakeOp::deleteFile, path)) {
        return *error;
    }
    if (!item || item->folder || (item->facts.attributes & kAttributeReadOnly)) {
        return item ? kErrorAccessDenied : kErrorFileNotFound;
    }
    std::erase(find(parentPath(path, style_))->children, keyOf(path));
    items_.erase(keyOf(path));
    return kErrorSuccess;
}

}  // namespace streamscan
