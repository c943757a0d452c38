#include "support/fake_file_system.h"

#include <algorithm>
#include <new>

#include "engine/path_forms.h"
#include "engine/unicode.h"

namespace streamscan {

namespace {

std::size_t index(FakeOp op) {
    return static_cast<std::size_t>(op);
}

// The listed name split as the enumeration's reader would: one leading colon
// skipped, then name up to the next colon and type after it.
void splitListed(const std::u16string& listed, std::u16string& name, std::u16string& type) {
    std::u16string rest = listed;
    if (!rest.empty() && rest.front() == u':') {
        rest.erase(0, 1);
    }
    const auto colon = rest.find(u':');
    if (colon == std::u16string::npos) {
        name = rest;
        type.clear();
    } else {
        name = rest.substr(0, colon);
        type = rest.substr(colon + 1);
    }
}

bool isAsciiLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

}  // namespace

// ---- handles ----

class FakeDirectoryListing : public DirectoryListing {
  public:
    FakeDirectoryListing(FakeFileSystem& fs, std::vector<DirectoryEntry> entries,
                         std::vector<std::u16string> paths, const FakeFault* fault)
        : fs_(fs),
          entries_(std::move(entries)),
          paths_(std::move(paths)),
          hasFault_(fault != nullptr) {
        if (fault) {
            fault_ = *fault;
        }
    }
    ~FakeDirectoryListing() override {
        std::lock_guard lock(fs_.mutex_);
        --fs_.openListings_;
    }
    std::uint32_t next(DirectoryEntry& entry) override {
        std::lock_guard lock(fs_.mutex_);
        ++fs_.calls_[index(FakeOp::nextEntry)];
        if (hasFault_ && handed_ >= fault_.after) {
            return FakeFileSystem::failWith(fault_);
        }
        if (handed_ >= entries_.size()) {
            return kErrorNoMoreFiles;
        }
        entry = entries_[handed_++];
        return kErrorSuccess;
    }
    std::uint32_t entryFacts(ItemFacts& facts) override {
        std::lock_guard lock(fs_.mutex_);
        const std::u16string& path = paths_[handed_ - 1];
        if (const FakeFault* fault = fs_.enter(FakeOp::entryFacts, path)) {
            return FakeFileSystem::failWith(*fault);
        }
        const FakeFileSystem::Item* item = fs_.find(path);
        if (!item) {
            return kErrorFileNotFound;
        }
        facts = item->facts;
        return kErrorSuccess;
    }

  private:
    FakeFileSystem& fs_;
    std::vector<DirectoryEntry> entries_;
    std::vector<std::u16string> paths_;  // each entry's own path
    std::size_t handed_ = 1;             // the first entry went out with the start
    bool hasFault_;
    FakeFault fault_;
};

class FakeStreamListing : public StreamListing {
  public:
    FakeStreamListing(FakeFileSystem& fs, std::vector<StreamEntry> entries, const FakeFault* fault)
        : fs_(fs), entries_(std::move(entries)), hasFault_(fault != nullptr) {
        if (fault) {
            fault_ = *fault;
        }
    }
    ~FakeStreamListing() override {
        std::lock_guard lock(fs_.mutex_);
        --fs_.openStreamListings_;
    }
    std::uint32_t next(StreamEntry& entry) override {
        std::lock_guard lock(fs_.mutex_);
        ++fs_.calls_[index(FakeOp::nextStream)];
        if (hasFault_ && handed_ >= fault_.after) {
            return FakeFileSystem::failWith(fault_);
        }
        if (handed_ >= entries_.size()) {
            return kErrorHandleEof;
        }
        entry = entries_[handed_++];
        return kErrorSuccess;
    }

  private:
    FakeFileSystem& fs_;
    std::vector<StreamEntry> entries_;
    std::size_t handed_ = 1;
    bool hasFault_;
    FakeFault fault_;
};

class FakeStreamReader : public StreamReader {
  public:
    FakeStreamReader(FakeFileSystem& fs, std::string content, bool folderItself,
                     const FakeFault* fault)
        : fs_(fs),
          content_(std::move(content)),
          folderItself_(folderItself),
          hasFault_(fault != nullptr) {
        if (fault) {
            fault_ = *fault;
        }
    }
    ~FakeStreamReader() override {
        std::lock_guard lock(fs_.mutex_);
        --fs_.openReaders_;
    }
    std::uint32_t read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) override {
        std::lock_guard lock(fs_.mutex_);
        ++fs_.calls_[index(FakeOp::read)];
        fs_.readSizes_.push_back(size);
        got = 0;
        if (folderItself_) {
            return kErrorInvalidFunction;  // ReadFile on a directory handle
        }
        std::uint64_t available = content_.size() - position_;
        if (hasFault_) {
            if (position_ >= fault_.after && size > 0) {
                return FakeFileSystem::failWith(fault_);
            }
            available = position_ >= fault_.after
                            ? 0
                            : std::min<std::uint64_t>(available, fault_.after - position_);
        }
        const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, available));
        std::copy_n(content_.data() + position_, count, buffer);
        position_ += count;
        got = count;
        return kErrorSuccess;
    }

  private:
    FakeFileSystem& fs_;
    std::string content_;
    std::size_t position_ = 0;
    bool folderItself_;
    bool hasFault_;
    FakeFault fault_;
};

class FakeFileWriter : public FileWriter {
  public:
    FakeFileWriter(FakeFileSystem& fs, std::u16string path, const FakeFault* fault)
        : fs_(fs), path_(std::move(path)), hasFault_(fault != nullptr) {
        if (fault) {
            fault_ = *fault;
        }
    }
    ~FakeFileWriter() override { close(); }
    std::uint32_t write(const std::uint8_t* data, std::uint32_t size,
                        std::uint32_t& written) override {
        std::lock_guard lock(fs_.mutex_);
        ++fs_.calls_[index(FakeOp::write)];
        written = 0;
        if (closed_) {
            return kErrorInvalidParameter;
        }
        std::uint32_t fits = size;
        if (hasFault_) {
            fits = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(size, fault_.after - std::min(fault_.after, total_)));
        }
        const std::string bytes(reinterpret_cast<const char*>(data), fits);
        if (FakeFileSystem::Item* item = fs_.find(path_)) {
            item->content += bytes;
            item->facts.size = item->content.size();
        }
        fs_.writtenBytes_[fs_.keyOf(path_)] += bytes;
        total_ += fits;
        written = fits;
        if (fits < size) {
            return FakeFileSystem::failWith(fault_);
        }
        return kErrorSuccess;
    }
    void close() override {
        std::lock_guard lock(fs_.mutex_);
        if (!closed_) {
            closed_ = true;
            --fs_.openWriters_;
        }
    }
    // The fake writes in place, as the report writer's old port did; taking
    // back a failed report deletes it.
    void discard() override {
        close();
        fs_.deleteFile(path_);
    }

  private:
    FakeFileSystem& fs_;
    std::u16string path_;
    bool hasFault_;
    FakeFault fault_;
    std::uint64_t total_ = 0;
    bool closed_ = false;
};

// ---- building ----

FakeFileSystem::FakeFileSystem(PathStyle style)
    : style_(style), currentFolder_(style == PathStyle::windows ? u"C:\\" : u"/") {}

FakeFileSystem::~FakeFileSystem() = default;

std::u16string FakeFileSystem::keyOf(const std::u16string& path) const {
    std::u16string key = path;
    if (style_ == PathStyle::windows) {
        for (char16_t& c : key) {
            c = c == u'/' ? u'\\' : asciiLower(c);
        }
        while (key.size() > 1 && key.back() == u'\\' && !(key.size() == 3 && key[1] == u':')) {
            key.pop_back();
        }
    } else {
        while (key.size() > 1 && key.back() == u'/') {
            key.pop_back();
        }
    }
    return key;
}

bool FakeFileSystem::sameName(const std::u16string& a, const std::u16string& b) const {
    return style_ == PathStyle::windows ? equalsAsciiNoCase(a, b) : a == b;
}

FakeFileSystem::Item* FakeFileSystem::find(const std::u16string& path) {
    const auto it = items_.find(keyOf(path));
    return it == items_.end() ? nullptr : &it->second;
}

const FakeFileSystem::Item* FakeFileSystem::find(const std::u16string& path) const {
    const auto it = items_.find(keyOf(path));
    return it == items_.end() ? nullptr : &it->second;
}

FakeFileSystem::Item& FakeFileSystem::ensureFolder(const std::u16string& path) {
    if (Item* item = find(path)) {
        return *item;
    }
    return addItem(path, true, kAttributeDirectory);
}

FakeFileSystem::Item& FakeFileSystem::addItem(const std::u16string& path, bool folder,
                                              std::uint32_t attributes) {
    const std::u16string key = keyOf(path);
    const std::u16string parent = parentPath(path, style_);
    const bool isRoot = parent.empty() || keyOf(parent) == key;
    if (!isRoot) {
        Item& parentItem = ensureFolder(parent);
        if (!items_.count(key)) {
            parentItem.children.push_back(key);
        }
    }
    Item& item = items_[key];
    item.path = path;
    item.folder = folder;
    item.dots = style_ == PathStyle::posix || !isRoot;
    item.facts.attributes = folder ? (attributes | kAttributeDirectory) : attributes;
    item.facts.size = folder ? 0 : item.content.size();
    return item;
}

void FakeFileSystem::addFolder(const std::u16string& path, std::uint32_t attributes) {
    std::lock_guard lock(mutex_);
    addItem(path, true, attributes);
}

void FakeFileSystem::addFile(const std::u16string& path, std::string_view content,
                             std::uint32_t attributes) {
    std::lock_guard lock(mutex_);
    Item& item = addItem(path, false, attributes);
    item.content = std::string(content);
    item.facts.size = item.content.size();
}

void FakeFileSystem::addStream(const std::u16string& hostPath, const std::u16string& name,
                               std::string_view content, const std::u16string& type) {
    addListedStream(hostPath, u":" + name + u":" + type, content);
}

void FakeFileSystem::addListedStream(const std::u16string& hostPath,
                                     const std::u16string& listedName, std::string_view content) {
    std::lock_guard lock(mutex_);
    Item* item = find(hostPath);
    if (!item) {
        item = &addItem(hostPath, false, kAttributeArchive);
    }
    Stream stream;
    stream.listedName = listedName;
    splitListed(listedName, stream.name, stream.type);
    stream.content = std::string(content);
    stream.listedSize = stream.content.size();
    item->streams.push_back(std::move(stream));
}

void FakeFileSystem::setListedStreamSize(const std::u16string& hostPath,
                                         const std::u16string& listedName, std::uint64_t size) {
    std::lock_guard lock(mutex_);
    if (Item* item = find(hostPath)) {
        for (Stream& stream : item->streams) {
            if (stream.listedName == listedName) {
                stream.listedSize = size;
            }
        }
    }
}

void FakeFileSystem::setAttributes(const std::u16string& path, std::uint32_t attributes) {
    std::lock_guard lock(mutex_);
    if (Item* item = find(path)) {
        item->facts.attributes = item->folder ? (attributes | kAttributeDirectory) : attributes;
    }
}

void FakeFileSystem::setLastWrite(const std::u16string& path, std::uint64_t fileTime) {
    std::lock_guard lock(mutex_);
    if (Item* item = find(path)) {
        item->facts.lastWrite = fileTime;
    }
}

void FakeFileSystem::addVolume(const std::u16string& prefix, const std::u16string& fileSystemName,
                               bool namedStreams) {
    std::lock_guard lock(mutex_);
    volumes_.push_back({keyOf(prefix), VolumeInfo{true, namedStreams, fileSystemName}});
}

void FakeFileSystem::setCurrentFolder(const std::u16string& folder) {
    std::lock_guard lock(mutex_);
    currentFolder_ = folder;
}

void FakeFileSystem::setFault(FakeOp op, const std::u16string& path, FakeFault fault) {
    std::lock_guard lock(mutex_);
    faults_[{op, path.empty() ? path : keyOf(path)}] = fault;
}

// ---- inspecting ----

bool FakeFileSystem::exists(const std::u16string& path) const {
    std::lock_guard lock(mutex_);
    return find(path) != nullptr;
}

bool FakeFileSystem::hasStream(const std::u16string& hostPath, const std::u16string& name) const {
    std::lock_guard lock(mutex_);
    const Item* item = find(hostPath);
    if (!item) {
        return false;
    }
    return std::any_of(item->streams.begin(), item->streams.end(),
                       [&](const Stream& s) { return sameName(s.name, name); });
}

std::string FakeFileSystem::fileBytes(const std::u16string& path) const {
    std::lock_guard lock(mutex_);
    const Item* item = find(path);
    return item ? item->content : std::string();
}

std::uint64_t FakeFileSystem::calls(FakeOp op) const {
    std::lock_guard lock(mutex_);
    return calls_[index(op)];
}

std::uint64_t FakeFileSystem::totalCalls() const {
    std::lock_guard lock(mutex_);
    std::uint64_t total = 0;
    for (const auto count : calls_) {
        total += count;
    }
    return total;
}

int FakeFileSystem::openListings() const {
    std::lock_guard lock(mutex_);
    return openListings_;
}

int FakeFileSystem::maxOpenListings() const {
    std::lock_guard lock(mutex_);
    return maxOpenListings_;
}

int FakeFileSystem::openStreamListings() const {
    std::lock_guard lock(mutex_);
    return openStreamListings_;
}

int FakeFileSystem::maxOpenStreamListings() const {
    std::lock_guard lock(mutex_);
    return maxOpenStreamListings_;
}

int FakeFileSystem::openReaders() const {
    std::lock_guard lock(mutex_);
    return openReaders_;
}

int FakeFileSystem::openWriters() const {
    std::lock_guard lock(mutex_);
    return openWriters_;
}

std::vector<std::uint32_t> FakeFileSystem::readSizes() const {
    std::lock_guard lock(mutex_);
    return readSizes_;
}

std::vector<FakeStreamDelete> FakeFileSystem::deleteStreamCalls() const {
    std::lock_guard lock(mutex_);
    return deleteStreamCalls_;
}

std::vector<std::u16string> FakeFileSystem::deleteFileCalls() const {
    std::lock_guard lock(mutex_);
    return deleteFileCalls_;
}

std::vector<std::u16string> FakeFileSystem::listedFolders() const {
    std::lock_guard lock(mutex_);
    return listedFolders_;
}

std::string FakeFileSystem::writtenBytes(const std::u16string& path) const {
    std::lock_guard lock(mutex_);
    const auto it = writtenBytes_.find(keyOf(path));
    return it == writtenBytes_.end() ? std::string() : it->second;
}

// ---- operations ----

const FakeFault* FakeFileSystem::enter(FakeOp op, const std::u16string& path) {
    ++calls_[index(op)];
    auto it = faults_.find({op, keyOf(path)});
    if (it == faults_.end()) {
        it = faults_.find({op, std::u16string()});
    }
    return it == faults_.end() ? nullptr : &it->second;
}

std::uint32_t FakeFileSystem::failWith(const FakeFault& fault) {
    if (fault.throwBadAlloc) {
        throw std::bad_alloc();
    }
    return fault.error;
}

std::u16string FakeFileSystem::fullPath(const std::u16string& path) {
    std::lock_guard lock(mutex_);
    const FakeFault* fault = enter(FakeOp::fullPath, path);
    if (fault) {
        failWith(*fault);
        return path;
    }
    if (path.empty()) {
        return path;  // GetFullPathNameW answers 0
    }
    const bool windows = style_ == PathStyle::windows;
    const char16_t separator = windows ? u'\\' : u'/';
    std::u16string p = path;
    if (windows) {
        if (p.rfind(u"\\\\?\\", 0) == 0 || p.rfind(u"\\\\.\\", 0) == 0) {
            return p;
        }
        std::replace(p.begin(), p.end(), u'/', u'\\');
    }
    // The part that ".." never climbs above, and the rest.
    std::u16string root;
    std::u16string rest;
    if (windows && p.size() >= 2 && p[0] == u'\\' && p[1] == u'\\') {
        std::size_t end = p.find(u'\\', 2);
        end = end == std::u16string::npos ? p.size() : p.find(u'\\', end + 1);
        end = end == std::u16string::npos ? p.size() : end;
        root = p.substr(0, end);
        rest = p.substr(end);
    } else if (windows && p.size() >= 2 && isAsciiLetter(p[0]) && p[1] == u':') {
        root = p.substr(0, 2) + u"\\";
        rest = p.substr(2);
        if (rest.empty() || rest[0] != u'\\') {
            const bool sameDrive = asciiLower(currentFolder_[0]) == asciiLower(p[0]);
            rest = (sameDrive ? currentFolder_.substr(2) : std::u16string(u"\\")) + u"\\" + rest;
        }
    } else if (!p.empty() && p[0] == separator) {
        root = windows ? currentFolder_.substr(0, 2) + u"\\" : u"/";
        rest = p;
    } else {
        // Relative to the current folder (a drive path or a POSIX path).
        root = currentFolder_.substr(0, windows ? 3 : 1);
        rest = currentFolder_.substr(root.size()) + separator + p;
    }
    std::vector<std::u16string> parts;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = rest.find(separator, start);
        if (end == std::u16string::npos) {
            end = rest.size();
        }
        const std::u16string part = rest.substr(start, end - start);
        if (part == u"..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != u".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::u16string result = root;
    for (const auto& part : parts) {
        if (result.empty() || result.back() != separator) {
            result += separator;
        }
        result += part;
    }
    const bool trailing = !rest.empty() && rest.back() == separator && !parts.empty();
    if (trailing) {
        result += separator;
    }
    return result;
}

VolumeInfo FakeFileSystem::queryVolume(const std::u16string& path) {
    std::lock_guard lock(mutex_);
    if (const FakeFault* fault = enter(FakeOp::queryVolume, path)) {
        failWith(*fault);
        return {};
    }
    const std::u16string key = keyOf(path);
    const Volume* best = nullptr;
    for (const Volume& volume : volumes_) {
        const std::u16string& prefix = volume.key;
        const bool inside =
            key.rfind(prefix, 0) == 0 &&
            (key.size() == prefix.size() || isPathSeparator(prefix.back(), style_) ||
             isPathSeparator(key[prefix.size()], style_));
        if (inside && (!best || prefix.size() > best->key.size())) {
            best = &volume;
        }
    }
    return best ? best->info : VolumeInfo{};
}

std::uint32_t FakeFileSystem::itemFacts(const std::u16string& path, ItemFacts& facts) {
    std::lock_guard lock(mutex_);
    if (const FakeFault* fault = enter(FakeOp::itemFacts, path)) {
        return failWith(*fault);
    }
    const Item* item = find(path);
    if (!item) {
        return kErrorFileNotFound;
    }
    facts = item->facts;
    return kErrorSuccess;
}

std::uint32_t FakeFileSystem::plainAttributes(const std::u16string& path,
                                              std::uint32_t& attributes) {
    std::lock_guard lock(mutex_);
    if (const FakeFault* fault = enter(FakeOp::plainAttributes, path)) {
        return failWith(*fault);
    }
    const Item* item = find(path);
    if (!item) {
        return kErrorFileNotFound;
    }
    attributes = item->facts.attributes;
    return kErrorSuccess;
}

std::uint32_t FakeFileSystem::startListing(const std::u16string& folder, DirectoryEntry& first,
                                           std::unique_ptr<DirectoryListing>& listing) {
    std::lock_guard lock(mutex_);
    listedFolders_.push_back(folder);
    const FakeFault* fault = enter(FakeOp::startListing, folder);
    if (fault && fault->after == 0) {
        return failWith(*fault);
    }
    const Item* item = find(folder);
    if (!item || !item->folder) {
        return kErrorPathNotFound;
    }
    std::vector<DirectoryEntry> entries;
    std::vector<std::u16string> paths;
    if (item->dots) {
        for (const char16_t* dots : {u".", u".."}) {
            entries.push_back({dots, EntryKind::folder});
            paths.push_back(item->path);
        }
    }
    for (const auto& childKey : item->children) {
        const Item& child = items_.at(childKey);
        entries.push_back({leafName(child.path, style_), entryKindOf(child.facts.attributes)});
        paths.push_back(child.path);
    }
    if (entries.empty()) {
        return kErrorFileNotFound;  // an empty drive root
    }
    first = entries.front();
    listing =
        std::make_unique<FakeDirectoryListing>(*this, std::move(entries), std::move(paths), fault);
    maxOpenListings_ = std::max(maxOpenListings_, ++openListings_);
    return kErrorSuccess;
}

std::uint32_t FakeFileSystem::startStreams(const std::u16string& hostPath, StreamEntry& first,
                                           std::unique_ptr<StreamListing>& listing) {
    std::lock_guard lock(mutex_);
    const FakeFault* fault = enter(FakeOp::startStreams, hostPath);
    if (fault && fault->after == 0) {
        return failWith(*fault);
    }
    const Item* item = find(hostPath);
    if (!item) {
        return kErrorFileNotFound;
    }
    std::vector<StreamEntry> entries;
    if (!item->folder && style_ == PathStyle::windows) {
        entries.push_back({u"::$DATA", item->facts.size});
    }
    for (const Stream& stream : item->streams) {
        entries.push_back({stream.listedName, stream.listedSize});
    }
    if (entries.empty()) {
        return kErrorHandleEof;
    }
    first = entries.front();
    listing = std::make_unique<FakeStreamListing>(*this, std::move(entries), fault);
    maxOpenStreamListings_ = std::max(maxOpenStreamListings_, ++openStreamListings_);
    return kErrorSuccess;
}

FakeFileSystem::Stream* FakeFileSystem::findStream(Item& item, const std::u16string& name,
                                                   const std::u16string& type) {
    const std::u16string wanted = type.empty() ? u"$DATA" : type;
    for (Stream& stream : item.streams) {
        const std::u16string own = stream.type.empty() ? u"$DATA" : stream.type;
        if (sameName(stream.name, name) && equalsAsciiNoCase(own, wanted)) {
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
    if (const FakeFault* fault = enter(FakeOp::openStream, path)) {
        return failWith(*fault);
    }
    Item* item = find(hostPath);
    if (!item) {
        return kErrorFileNotFound;
    }
    if (item->folder && !hostIsFolder) {
        return kErrorAccessDenied;  // a folder opens only with backup semantics
    }
    std::string content;
    bool folderItself = false;
    if (name.empty()) {
        content = item->content;
        folderItself = item->folder;
    } else {
        const Stream* stream = findStream(*item, name, type);
        if (!stream) {
            return kErrorFileNotFound;
        }
        content = stream->content;
    }
    const auto faultIt = faults_.find({FakeOp::read, keyOf(path)});
    const auto anyIt = faults_.find({FakeOp::read, std::u16string()});
    const FakeFault* readFault = faultIt != faults_.end() ? &faultIt->second
                                 : anyIt != faults_.end() ? &anyIt->second
                                                          : nullptr;
    reader = std::make_unique<FakeStreamReader>(*this, std::move(content), folderItself, readFault);
    ++openReaders_;
    return kErrorSuccess;
}

std::uint32_t FakeFileSystem::deleteStream(const std::u16string& hostPath,
                                           const std::u16string& name, const std::u16string& type) {
    std::lock_guard lock(mutex_);
    deleteStreamCalls_.push_back({hostPath, name, type});
    if (const FakeFault* fault = enter(FakeOp::deleteStream, streamPathOf(hostPath, name, type))) {
        return failWith(*fault);
    }
    Item* item = find(hostPath);
    if (!item) {
        return kErrorFileNotFound;
    }
    if (item->facts.attributes & kAttributeReadOnly) {
        return kErrorAccessDenied;
    }
    if (name.empty()) {
        // DeleteFileW on the host path itself: the whole file goes.
        if (item->folder) {
            return kErrorAccessDenied;
        }
        const std::u16string key = keyOf(hostPath);
        for (auto& [otherKey, other] : items_) {
            auto& children = other.children;
            children.erase(std::remove(children.begin(), children.end(), key), children.end());
        }
        items_.erase(key);
        return kErrorSuccess;
    }
    Stream* stream = findStream(*item, name, type);
    if (!stream) {
        return kErrorFileNotFound;
    }
    item->streams.erase(item->streams.begin() + (stream - item->streams.data()));
    return kErrorSuccess;
}

std::uint32_t FakeFileSystem::createFile(const std::u16string& path,
                                         std::unique_ptr<FileWriter>& writer) {
    std::lock_guard lock(mutex_);
    if (const FakeFault* fault = enter(FakeOp::createFile, path)) {
        return failWith(*fault);
    }
    const std::u16string parent = parentPath(path, style_);
    const Item* parentItem = find(parent);
    if (parent.empty() || keyOf(parent) == keyOf(path) || !parentItem || !parentItem->folder) {
        return kErrorPathNotFound;
    }
    if (const Item* existing = find(path)) {
        if (existing->folder || (existing->facts.attributes & kAttributeReadOnly)) {
            return kErrorAccessDenied;
        }
    }
    Item& item = addItem(path, false, kAttributeArchive);
    item.content.clear();
    item.facts.size = 0;
    writtenBytes_[keyOf(path)].clear();
    const auto faultIt = faults_.find({FakeOp::write, keyOf(path)});
    const auto anyIt = faults_.find({FakeOp::write, std::u16string()});
    const FakeFault* writeFault = faultIt != faults_.end() ? &faultIt->second
                                  : anyIt != faults_.end() ? &anyIt->second
                                                           : nullptr;
    writer = std::make_unique<FakeFileWriter>(*this, path, writeFault);
    ++openWriters_;
    return kErrorSuccess;
}

std::uint32_t FakeFileSystem::deleteFile(const std::u16string& path) {
    std::lock_guard lock(mutex_);
    deleteFileCalls_.push_back(path);
    if (const FakeFault* fault = enter(FakeOp::deleteFile, path)) {
        return failWith(*fault);
    }
    const Item* item = find(path);
    if (!item) {
        return kErrorFileNotFound;
    }
    if (item->folder || (item->facts.attributes & kAttributeReadOnly)) {
        return kErrorAccessDenied;
    }
    const std::u16string key = keyOf(path);
    if (Item* parentItem = find(parentPath(path, style_))) {
        auto& children = parentItem->children;
        children.erase(std::remove(children.begin(), children.end(), key), children.end());
    }
    items_.erase(key);
    return kErrorSuccess;
}

}  // namespace streamscan
