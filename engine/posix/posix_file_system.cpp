#include "engine/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

#include "engine/unicode.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

constexpr std::string_view kUserPrefix = "user.";
constexpr std::string_view kSambaPrefix = "user.DosStream.";
constexpr std::string_view kSambaAttributes = "user.DOSATTRIB";
constexpr const char* kNtfsAttributes = "system.ntfs_attrib";
constexpr std::u16string_view kDataType = u"$DATA";
constexpr std::u16string_view kDataSuffix = u":$DATA";

// Seconds between 1601-01-01 and 1970-01-01, in FILETIME units.
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000LL;

// NTFS keeps these two index flags in the same word; Windows shows the first
// as the directory attribute and never shows the second.
constexpr std::uint32_t kNtfsDirectoryIndex = 0x10000000;
constexpr std::uint32_t kNtfsViewIndex = 0x20000000;

// The list of a file's attribute names is read into this much stack first; the
// usual item has none or one, so the heap is only needed for the rare long list.
constexpr std::size_t kListBufferSize = 1024;

bool hasEmbeddedNul(std::u16string_view text) {
    return text.find(u'\0') != text.npos;
}

// encodeName and decodeName with a shortcut for plain ASCII, which nearly every
// name on the walk is: these run for every entry.
std::string bytesOf(std::u16string_view text) {
    std::string bytes(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] >= 0x80) {
            return encodeName(text);
        }
        bytes[i] = static_cast<char>(text[i]);
    }
    return bytes;
}

std::u16string textOf(std::string_view bytes) {
    std::u16string text(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80) {
            return decodeName(bytes);
        }
        text[i] = static_cast<char16_t>(bytes[i]);
    }
    return text;
}

std::uint32_t lastError() {
    return windowsErrorFromErrno(errno);
}

std::uint64_t fileTimeOf(const struct timespec& time) {
    // tmpfs keeps any 64-bit time; one a FILETIME cannot hold is no time at all,
    // checked before the multiplication could overflow.
    constexpr std::int64_t kTicksPerSecond = 10000000;
    constexpr std::int64_t kEarliest = -kUnixEpochAsFileTime / kTicksPerSecond;
    constexpr std::int64_t kLatest =
        (INT64_MAX - kUnixEpochAsFileTime - (kTicksPerSecond - 1)) / kTicksPerSecond;
    const auto seconds = static_cast<std::int64_t>(time.tv_sec);
    if (seconds < kEarliest || seconds > kLatest) {
        return 0;
    }
    const std::int64_t value = kUnixEpochAsFileTime + seconds * kTicksPerSecond +
                               static_cast<std::int64_t>(time.tv_nsec) / 100;
    return value < 0 ? 0 : static_cast<std::uint64_t>(value);
}

bool isDotName(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

std::string_view leafOf(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    const std::size_t slash = path.rfind('/');
    return slash == path.npos ? path : path.substr(slash + 1);
}

bool readNtfsAttributes(const char* path, std::uint32_t& attributes) {
    unsigned char bytes[4];
    if (lgetxattr(path, kNtfsAttributes, bytes, sizeof bytes) != 4) {
        return false;
    }
    attributes =
        static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
        (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
    return true;
}

// The facts of one item as a Windows listing gives them. `linkToFolder` is asked
// only for a symbolic link; `pathForNtfs` is null unless the item's volume keeps
// real NTFS attributes.
template <typename LinkToFolder>
ItemFacts factsOf(const struct stat& st, std::string_view leaf, const char* pathForNtfs,
                  LinkToFolder linkToFolder) {
    ItemFacts facts;
    facts.lastWrite = fileTimeOf(st.st_mtim);
    const bool isLink = S_ISLNK(st.st_mode);
    const bool isFolder = S_ISDIR(st.st_mode) || (isLink && linkToFolder());
    std::uint32_t attributes = 0;
    std::uint32_t ntfs = 0;
    if (pathForNtfs != nullptr && readNtfsAttributes(pathForNtfs, ntfs)) {
        attributes = ntfs & ~(kNtfsViewIndex | kNtfsDirectoryIndex | kAttributeDirectory);
    } else {
        if (S_ISREG(st.st_mode)) {
            attributes |= kAttributeArchive;
        }
        if (!leaf.empty() && leaf.front() == '.') {
            attributes |= kAttributeHidden;
        }
    }
    if (isFolder) {
        attributes |= kAttributeDirectory;
    }
    if (isLink) {
        attributes |= kAttributeReparsePoint;
    } else if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        // A link's own permission bits mean nothing.
        attributes |= kAttributeReadOnly;
    }
    if (attributes == 0) {
        attributes = kAttributeNormal;
    }
    facts.attributes = attributes;
    facts.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    return facts;
}

// ---- directory listing ----

class PosixDirectoryListing;

// The listings open on this thread, latest last. The walk asks for the streams
// of each entry while the entry's folder is still open, so the folder's handle
// lets the kernel skip walking the whole path again for every item.
thread_local std::vector<const PosixDirectoryListing*> openListings;

class PosixDirectoryListing : public DirectoryListing {
  public:
    PosixDirectoryListing(PosixFileSystem& fs, DIR* dir, std::string folder)
        : fs(fs), dir(dir), handle(dirfd(dir)), folder(std::move(folder)) {
        struct stat st;
        if (fstat(handle, &st) == 0) {
            folderDevice = st.st_dev;
            folderNtfs = fs.hasNtfsAttributes(st.st_dev);
        }
        if (this->folder.empty() || this->folder.back() != '/') {
            this->folder.push_back('/');
        }
        folderLength = this->folder.size();
        folderText = textOf(this->folder);
        openListings.push_back(this);
    }
    ~PosixDirectoryListing() override {
        openListings.erase(std::find(openListings.begin(), openListings.end(), this));
        closedir(dir);
    }
    PosixDirectoryListing(const PosixDirectoryListing&) = delete;
    PosixDirectoryListing& operator=(const PosixDirectoryListing&) = delete;

    int folderHandle() const { return handle; }

    // Whether `path` names an entry of this folder, and which.
    bool holdsEntry(std::u16string_view path, std::u16string_view& entry) const {
        const std::size_t length = folderText.size();
        // memcmp: the code-unit loop of char_traits<char16_t> costs more than the
        // system call it saves.
        if (path.size() <= length ||
            std::memcmp(path.data(), folderText.data(), length * sizeof(char16_t)) != 0 ||
            path.find(u'/', length) != path.npos) {
            return false;
        }
        entry = path.substr(length);
        return true;
    }

    std::uint32_t next(DirectoryEntry& entry) override {
        for (;;) {
            errno = 0;
            const dirent* item = readdir(dir);
            if (item == nullptr) {
                return errno == 0 ? kErrorNoMoreFiles : lastError();
            }
            if (isDotName(item->d_name)) {
                continue;
            }
            struct stat st;
            if (fstatat(handle, item->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT) {
                    continue;  // gone since the folder was read: not there to examine
                }
                // The folder can be read but its items not looked at (no search
                // permission): the rest of the listing fails the same way.
                return lastError();
            }
            const bool ntfs =
                st.st_dev == folderDevice ? folderNtfs : fs.hasNtfsAttributes(st.st_dev);
            const char* pathForNtfs = nullptr;
            if (ntfs) {
                folder.resize(folderLength);
                folder.append(item->d_name);
                pathForNtfs = folder.c_str();
            }
            const int fd = handle;
            currentFacts = factsOf(st, item->d_name, pathForNtfs, [&] {
                struct stat target;
                return fstatat(fd, item->d_name, &target, 0) == 0 && S_ISDIR(target.st_mode);
            });
            entry.kind = entryKindOf(currentFacts.attributes);
            entry.name = textOf(item->d_name);
            return kErrorSuccess;
        }
    }

    std::uint32_t entryFacts(ItemFacts& facts) override {
        facts = currentFacts;
        return kErrorSuccess;
    }

  private:
    PosixFileSystem& fs;
    DIR* dir;
    int handle;
    std::string folder;
    std::size_t folderLength = 0;
    std::u16string folderText;  // with its trailing /
    dev_t folderDevice = 0;
    bool folderNtfs = false;
    ItemFacts currentFacts;  // of the entry handed out last
};

// ---- stream enumeration ----

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Whether an attribute name carries a stream.
bool isStreamAttribute(std::string_view attribute) {
    return startsWith(attribute, kUserPrefix) && attribute.size() > kUserPrefix.size() &&
           attribute != kSambaAttributes;
}

// Samba's form needs the NAME:TYPE colon; without one, the attribute is read
// like any other user. attribute, so listing, reading and removal agree.
bool isSambaAttribute(std::string_view attribute) {
    return startsWith(attribute, kSambaPrefix) &&
           attribute.find(':', kSambaPrefix.size()) != attribute.npos;
}

// The stream's size and content leave out Samba's trailing zero byte.
std::uint64_t streamSizeOf(std::string_view attribute, std::size_t valueSize) {
    if (isSambaAttribute(attribute)) {
        return valueSize > 0 ? valueSize - 1 : 0;
    }
    return valueSize;
}

std::u16string listedNameOf(std::string_view attribute) {
    std::u16string listed = u":";
    if (isSambaAttribute(attribute)) {
        listed += textOf(attribute.substr(kSambaPrefix.size()));
    } else {
        listed += textOf(attribute.substr(kUserPrefix.size()));
        listed += kDataSuffix;
    }
    return listed;
}

// listxattrat (Linux 6.13): the attribute names of an entry of an open folder.
#if defined(SYS_listxattrat)
constexpr long kListAttributesAt = SYS_listxattrat;
#elif defined(__x86_64__) || defined(__aarch64__)
constexpr long kListAttributesAt = 465;  // numbered alike on every architecture
#else
constexpr long kListAttributesAt = -1;
#endif
std::atomic<bool> listAttributesAtWorks{kListAttributesAt >= 0};

// The attribute names of an item that is an entry of a folder listed on this
// thread, through the folder's handle; false when that cannot answer, and the
// item is then asked for by path, whose answer (an error above all) is the one
// that counts: a sandbox may refuse the newer call with EPERM.
bool listEntryAttributes(std::u16string_view path, std::vector<char>& names) {
    if (!listAttributesAtWorks.load(std::memory_order_relaxed)) {
        return false;
    }
    for (auto open = openListings.rbegin(); open != openListings.rend(); ++open) {
        std::u16string_view entry;
        if (!(*open)->holdsEntry(path, entry)) {
            continue;
        }
        if (hasEmbeddedNul(entry)) {
            return false;  // refused by the path's own check
        }
        const std::string entryBytes = bytesOf(entry);
        char stackBuffer[kListBufferSize];
        const long length = syscall(kListAttributesAt, (*open)->folderHandle(), entryBytes.c_str(),
                                    AT_SYMLINK_NOFOLLOW, stackBuffer, sizeof stackBuffer);
        if (length >= 0) {
            names.assign(stackBuffer, stackBuffer + length);
            return true;
        }
        if (errno == ENOSYS) {
            listAttributesAtWorks.store(false, std::memory_order_relaxed);
        }
        return false;
    }
    return false;
}

// The names of all attributes of a path (no link followed), NUL-separated.
// Returns 0 or the errno.
int listAttributes(const std::string& pathBytes, std::vector<char>& names) {
    const char* path = pathBytes.c_str();
    char stackBuffer[kListBufferSize];
    ssize_t length = llistxattr(path, stackBuffer, sizeof stackBuffer);
    if (length >= 0) {
        names.assign(stackBuffer, stackBuffer + length);
        return 0;
    }
    for (int attempt = 0; attempt < 4 && errno == ERANGE; ++attempt) {
        const ssize_t needed = llistxattr(path, nullptr, 0);
        if (needed < 0) {
            return errno;
        }
        names.resize(static_cast<std::size_t>(needed));
        length = llistxattr(path, names.data(), names.size());
        if (length >= 0) {
            names.resize(static_cast<std::size_t>(length));
            return 0;
        }
    }
    return errno;
}

class PosixStreamListing : public StreamListing {
  public:
    PosixStreamListing(std::string path, std::vector<char> names)
        : path(std::move(path)), names(std::move(names)) {}

    std::uint32_t next(StreamEntry& entry) override {
        while (position < names.size()) {
            const char* start = names.data() + position;
            const std::size_t length = strnlen(start, names.size() - position);
            position += length + 1;
            const std::string_view attribute(start, length);
            if (!isStreamAttribute(attribute)) {
                continue;
            }
            const std::string attributeName(attribute);
            const ssize_t size = lgetxattr(path.c_str(), attributeName.c_str(), nullptr, 0);
            if (size < 0) {
                if (errno == ENODATA) {
                    continue;  // removed since the list was read
                }
                // No honest size can be given; the enumeration breaks off here.
                return lastError();
            }
            entry.name = listedNameOf(attribute);
            entry.size = streamSizeOf(attribute, static_cast<std::size_t>(size));
            return kErrorSuccess;
        }
        return kErrorHandleEof;
    }

  private:
    std::string path;
    std::vector<char> names;
    std::size_t position = 0;
};

// ---- stream reading ----

class BufferReader : public StreamReader {
  public:
    explicit BufferReader(std::vector<std::uint8_t> content) : content(std::move(content)) {}

    std::uint32_t read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) override {
        const std::size_t left = content.size() - position;
        const std::size_t count = std::min<std::size_t>(left, size);
        if (count > 0) {
            std::memcpy(buffer, content.data() + position, count);
        }
        position += count;
        got = static_cast<std::uint32_t>(count);
        return kErrorSuccess;
    }

  private:
    std::vector<std::uint8_t> content;
    std::size_t position = 0;
};

class FileReader : public StreamReader {
  public:
    explicit FileReader(int fd) : fd(fd) {}
    ~FileReader() override { ::close(fd); }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    std::uint32_t read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) override {
        got = 0;
        for (;;) {
            const ssize_t n = ::read(fd, buffer, size);
            if (n >= 0) {
                got = static_cast<std::uint32_t>(n);
                return kErrorSuccess;
            }
            if (errno != EINTR) {
                return lastError();
            }
        }
    }

  private:
    int fd;
};

// Reads a whole attribute value. A value that grows between the size query and
// the read is asked for again; one the kernel will not hand over (ntfs-3g's
// streams of 64 KiB or more) is a failure.
int readAttribute(const char* path, const char* attribute, std::vector<std::uint8_t>& value) {
    // Most values are small: one call reads them without asking for the size first.
    std::uint8_t small[4096];
    const ssize_t direct = lgetxattr(path, attribute, small, sizeof small);
    if (direct >= 0) {
        value.assign(small, small + direct);
        return 0;
    }
    if (errno != ERANGE) {
        return errno;
    }
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = lgetxattr(path, attribute, nullptr, 0);
        if (size < 0) {
            return errno;
        }
        value.resize(static_cast<std::size_t>(size));
        if (size == 0) {
            return 0;
        }
        const ssize_t got = lgetxattr(path, attribute, value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return 0;
        }
        if (errno != ERANGE) {
            return errno;
        }
    }
    return ERANGE;
}

// The attributes that can carry the stream name:type, in the order they are
// tried: the plain user.NAME form (only for $DATA; a listed user.a:b comes back
// split as name a, type b:$DATA), then Samba's user.DosStream.NAME:TYPE.
std::vector<std::string> attributeCandidates(const std::u16string& name,
                                             const std::u16string& type) {
    std::vector<std::string> candidates;
    const std::u16string_view typeView(type);
    // The removal rules accept $DATA in any letter case, as Windows does.
    const bool isData = type.empty() || equalsAsciiNoCase(typeView, kDataType);
    std::string plain;
    if (isData) {
        plain = std::string(kUserPrefix) + bytesOf(name);
    } else if (typeView.size() > kDataSuffix.size() &&
               equalsAsciiNoCase(typeView.substr(typeView.size() - kDataSuffix.size()),
                                 kDataSuffix)) {
        plain = std::string(kUserPrefix) + bytesOf(name) + ":" +
                bytesOf(typeView.substr(0, typeView.size() - kDataSuffix.size()));
    }
    // Only names the listing gives in that form, so a request never reaches an
    // attribute other than the one it names (user.DOSATTRIB above all).
    if (!plain.empty() && isStreamAttribute(plain) && !isSambaAttribute(plain)) {
        candidates.push_back(std::move(plain));
    }
    const std::string sambaName = std::string(kSambaPrefix) + bytesOf(name) + ":";
    candidates.push_back(sambaName + bytesOf(type.empty() ? std::u16string(kDataType) : type));
    if (isData && !type.empty() && typeView != kDataType) {
        candidates.push_back(sambaName + bytesOf(std::u16string(kDataType)));
    }
    return candidates;
}

std::uint32_t openHostContent(const std::string& path, std::unique_ptr<StreamReader>& reader) {
    // Never a link, never a device or a pipe: opening those can block or act.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return lastError();
    }
    struct stat st;
    if (fstat(fd, &st) != 0) {
        const std::uint32_t error = lastError();
        ::close(fd);
        return error;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return windowsErrorFromErrno(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    }
    try {
        reader = std::make_unique<FileReader>(fd);
    } catch (...) {
        ::close(fd);
        throw;
    }
    return kErrorSuccess;
}

// ---- the report file ----

class PosixFileWriter : public FileWriter {
  public:
    explicit PosixFileWriter(int fd) : fd(fd) {}
    ~PosixFileWriter() override { close(); }
    PosixFileWriter(const PosixFileWriter&) = delete;
    PosixFileWriter& operator=(const PosixFileWriter&) = delete;

    std::uint32_t write(const std::uint8_t* data, std::uint32_t size,
                        std::uint32_t& written) override {
        written = 0;
        if (fd < 0) {
            return windowsErrorFromErrno(EBADF);
        }
        for (;;) {
            const ssize_t n = ::write(fd, data, size);
            if (n >= 0) {
                written = static_cast<std::uint32_t>(n);
                return kErrorSuccess;
            }
            if (errno != EINTR) {
                return lastError();
            }
        }
    }

    void close() override {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }

  private:
    int fd;
};

// ---- the mount table ----

struct MountEntry {
    dev_t device = 0;
    std::string mountPoint;
    std::string type;
};

// Undoes the octal escapes (\040 for a space, \011, \012, \134) of the table.
std::string unescapeMountField(std::string_view field) {
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
            isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            out.push_back(static_cast<char>(((field[i + 1] - '0') << 6) |
                                            ((field[i + 2] - '0') << 3) | (field[i + 3] - '0')));
            i += 3;
            continue;
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<MountEntry> readMountTable() {
    std::vector<MountEntry> mounts;
    std::ifstream table("/proc/self/mountinfo");
    std::string line;
    while (std::getline(table, line)) {
        // id parent major:minor root mount-point options [optional...] - type source super
        std::vector<std::string_view> fields;
        std::string_view rest(line);
        while (!rest.empty()) {
            const std::size_t space = rest.find(' ');
            fields.push_back(rest.substr(0, space));
            if (space == rest.npos) {
                break;
            }
            rest.remove_prefix(space + 1);
        }
        const auto separator = std::find(fields.begin(), fields.end(), std::string_view("-"));
        if (fields.size() < 6 || separator == fields.end() || separator - fields.begin() < 6 ||
            separator + 1 == fields.end()) {
            continue;
        }
        MountEntry entry;
        unsigned major = 0;
        unsigned minor = 0;
        const std::string deviceField(fields[2]);
        if (std::sscanf(deviceField.c_str(), "%u:%u", &major, &minor) == 2) {
            entry.device = makedev(major, minor);
        }
        entry.mountPoint = unescapeMountField(fields[4]);
        entry.type = unescapeMountField(*(separator + 1));
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

bool keepsNtfsAttributes(std::string_view type) {
    // ntfs-3g mounts a block device as fuseblk and an image file as plain fuse.
    return type == "fuseblk" || type == "fuse" || type == "fuse.ntfs-3g" || type == "ntfs" ||
           type == "ntfs3" || type == "ntfs-3g";
}

// The mount that holds `path`: the longest mount point that is the path or a
// folder above it; of two at the same place, the later (upper) one.
const MountEntry* mountHolding(const std::vector<MountEntry>& mounts, std::string_view path) {
    const MountEntry* best = nullptr;
    for (const MountEntry& mount : mounts) {
        const std::string_view point(mount.mountPoint);
        const bool holds =
            point == "/" ||
            (startsWith(path, point) && (path.size() == point.size() || path[point.size()] == '/'));
        if (holds && (best == nullptr || point.size() >= best->mountPoint.size())) {
            best = &mount;
        }
    }
    return best;
}

}  // namespace

std::uint32_t windowsErrorFromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return kErrorAccessDenied;
        case ENOENT:
        case ENODATA:
            return kErrorFileNotFound;
        case ENOTDIR:
            return kErrorPathNotFound;
        case ENAMETOOLONG:
            return kErrorFilenameTooLong;
        case ENOSPC:
        case EDQUOT:
            return kErrorDiskFull;
        case EROFS:
            return kErrorWriteProtect;
        case EBUSY:
        case ETXTBSY:
            return kErrorSharingViolation;
        case ENOTSUP:
#if EOPNOTSUPP != ENOTSUP
        case EOPNOTSUPP:
#endif
            return kErrorNotSupported;
        default:
            return kErrorFromErrno | static_cast<std::uint32_t>(error);
    }
}

std::u16string PosixFileSystem::fullPath(const std::u16string& path) {
    if (path.empty() || hasEmbeddedNul(path)) {
        return path;
    }
    std::u16string combined;
    if (path.front() != u'/') {
        std::vector<char> cwd(PATH_MAX);
        while (getcwd(cwd.data(), cwd.size()) == nullptr) {
            if (errno != ERANGE) {
                return path;
            }
            cwd.resize(cwd.size() * 2);
        }
        combined = textOf(cwd.data());
        combined += u'/';
    }
    combined += path;

    // Lexical, like GetFullPathNameW: links are not resolved, so ".." after a
    // link goes back up the path as written.
    std::vector<std::u16string_view> parts;
    const std::u16string_view text(combined);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t slash = text.find(u'/', start);
        if (slash == text.npos) {
            slash = text.size();
        }
        const std::u16string_view part = text.substr(start, slash - start);
        if (part == u"..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != u".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::u16string result;
    for (const auto part : parts) {
        result += u'/';
        result += part;
    }
    if (result.empty() || path.back() == u'/') {
        result += u'/';
    }
    return result;
}

VolumeInfo PosixFileSystem::queryVolume(const std::u16string& path) {
    VolumeInfo info;
    if (path.empty() || hasEmbeddedNul(path)) {
        return info;
    }
    const std::vector<MountEntry> mounts = readMountTable();
    {
        std::lock_guard<std::mutex> lock(cacheLock);
        deviceKinds.clear();
        for (const MountEntry& mount : mounts) {
            deviceKinds.push_back({mount.device, keepsNtfsAttributes(mount.type)});
        }
    }
    // A link on the way may lead onto another volume: where it can, the volume
    // is found from the path with its links resolved.
    std::string located = bytesOf(fullPath(path));
    if (char* resolved = realpath(located.c_str(), nullptr)) {
        located = resolved;
        std::free(resolved);
    }
    const MountEntry* mount = mountHolding(mounts, located);
    if (mount == nullptr) {
        return info;
    }
    info.known = true;
    info.fileSystemName = textOf(mount->type);
    info.namedStreams = true;
    if (llistxattr(mount->mountPoint.c_str(), nullptr, 0) < 0 &&
        (errno == ENOTSUP || errno == EOPNOTSUPP)) {
        info.namedStreams = false;
    }
    return info;
}

void PosixFileSystem::rememberMountTypes() {
    const std::vector<MountEntry> mounts = readMountTable();
    std::lock_guard<std::mutex> lock(cacheLock);
    for (const MountEntry& mount : mounts) {
        const auto known =
            std::find_if(deviceKinds.begin(), deviceKinds.end(),
                         [&](const DeviceKind& k) { return k.device == mount.device; });
        if (known == deviceKinds.end()) {
            deviceKinds.push_back({mount.device, keepsNtfsAttributes(mount.type)});
        }
    }
}

bool PosixFileSystem::hasNtfsAttributes(dev_t device) {
    for (int pass = 0; pass < 2; ++pass) {
        {
            std::lock_guard<std::mutex> lock(cacheLock);
            for (const DeviceKind& kind : deviceKinds) {
                if (kind.device == device) {
                    return kind.ntfs;
                }
            }
        }
        if (pass == 0) {
            rememberMountTypes();  // a volume mounted since the table was read
        }
    }
    // Not in the table at all (btrfs subvolumes report devices of their own):
    // remembered as a plain volume so the table is not read again for it.
    std::lock_guard<std::mutex> lock(cacheLock);
    deviceKinds.push_back({device, false});
    return false;
}

std::uint32_t PosixFileSystem::itemFacts(const std::u16string& path, ItemFacts& facts) {
    if (hasEmbeddedNul(path)) {
        return kErrorInvalidName;
    }
    const std::string bytes = bytesOf(path);
    struct stat st;
    if (fstatat(AT_FDCWD, bytes.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return lastError();
    }
    const char* pathForNtfs = hasNtfsAttributes(st.st_dev) ? bytes.c_str() : nullptr;
    facts = factsOf(st, leafOf(bytes), pathForNtfs, [&] {
        struct stat target;
        return stat(bytes.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    });
    return kErrorSuccess;
}

std::uint32_t PosixFileSystem::plainAttributes(const std::u16string& path,
                                               std::uint32_t& attributes) {
    ItemFacts facts;
    const std::uint32_t error = itemFacts(path, facts);
    if (error == kErrorSuccess) {
        attributes = facts.attributes;
    }
    return error;
}

std::uint32_t PosixFileSystem::startListing(const std::u16string& folder, DirectoryEntry& first,
                                            std::unique_ptr<DirectoryListing>& listing) {
    if (hasEmbeddedNul(folder)) {
        return kErrorInvalidName;
    }
    std::string bytes = bytesOf(folder);
    const int fd = ::open(bytes.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        // A folder that is gone is a failure, not an empty folder.
        return errno == ENOENT ? kErrorPathNotFound : lastError();
    }
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        const std::uint32_t error = lastError();
        ::close(fd);
        return error;
    }
    std::unique_ptr<PosixDirectoryListing> opened;
    try {
        opened = std::make_unique<PosixDirectoryListing>(*this, dir, std::move(bytes));
    } catch (...) {
        closedir(dir);  // the listing never came to own it
        throw;
    }
    const std::uint32_t error = opened->next(first);
    if (error != kErrorSuccess) {
        return error;  // kErrorNoMoreFiles: nothing but . and ..
    }
    listing = std::move(opened);
    return kErrorSuccess;
}

std::uint32_t PosixFileSystem::startStreams(const std::u16string& hostPath, StreamEntry& first,
                                            std::unique_ptr<StreamListing>& listing) {
    std::vector<char> names;
    std::string bytes;
    if (!listEntryAttributes(hostPath, names)) {
        if (hasEmbeddedNul(hostPath)) {
            return kErrorInvalidName;
        }
        bytes = bytesOf(hostPath);
        if (const int error = listAttributes(bytes, names); error != 0) {
            return windowsErrorFromErrno(error);
        }
    }
    // Most items carry no stream at all; they cost nothing more.
    bool anyStream = false;
    for (std::size_t position = 0; position < names.size() && !anyStream;) {
        const std::size_t length = strnlen(names.data() + position, names.size() - position);
        anyStream = isStreamAttribute(std::string_view(names.data() + position, length));
        position += length + 1;
    }
    if (!anyStream) {
        return kErrorHandleEof;
    }
    if (bytes.empty()) {
        bytes = bytesOf(hostPath);
    }
    auto opened = std::make_unique<PosixStreamListing>(std::move(bytes), std::move(names));
    const std::uint32_t error = opened->next(first);
    if (error != kErrorSuccess) {
        return error;
    }
    listing = std::move(opened);
    return kErrorSuccess;
}

std::uint32_t PosixFileSystem::openStream(const std::u16string& hostPath,
                                          const std::u16string& name, const std::u16string& type,
                                          bool /*hostIsFolder*/,
                                          std::unique_ptr<StreamReader>& reader) {
    if (hasEmbeddedNul(hostPath) || hasEmbeddedNul(name) || hasEmbeddedNul(type)) {
        return kErrorInvalidName;
    }
    const std::string host = bytesOf(hostPath);
    if (name.empty()) {
        return openHostContent(host, reader);
    }
    int error = ENODATA;
    for (const std::string& attribute : attributeCandidates(name, type)) {
        std::vector<std::uint8_t> value;
        error = readAttribute(host.c_str(), attribute.c_str(), value);
        if (error == 0) {
            value.resize(streamSizeOf(attribute, value.size()));
            reader = std::make_unique<BufferReader>(std::move(value));
            return kErrorSuccess;
        }
        if (error != ENODATA) {
            break;
        }
    }
    return windowsErrorFromErrno(error);
}

std::uint32_t PosixFileSystem::deleteStream(const std::u16string& hostPath,
                                            const std::u16string& name,
                                            const std::u16string& type) {
    if (hasEmbeddedNul(hostPath) || hasEmbeddedNul(name) || hasEmbeddedNul(type)) {
        return kErrorInvalidName;
    }
    if (name.empty()) {
        // The unnamed stream is the item itself; it is never removed as a stream.
        return kErrorInvalidParameter;
    }
    const std::string host = bytesOf(hostPath);
    int error = ENODATA;
    for (const std::string& attribute : attributeCandidates(name, type)) {
        if (lremovexattr(host.c_str(), attribute.c_str()) == 0) {
            return kErrorSuccess;
        }
        error = errno;
        if (error != ENODATA) {
            break;
        }
    }
    return windowsErrorFromErrno(error);
}

std::uint32_t PosixFileSystem::createFile(const std::u16string& path,
                                          std::unique_ptr<FileWriter>& writer) {
    if (path.empty() || hasEmbeddedNul(path)) {
        return kErrorInvalidName;
    }
    const std::string bytes = bytesOf(path);
    const int fd = ::open(bytes.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        // O_CREAT makes the file itself, so a missing name is a missing folder:
        // "Path not found", as Windows says, not "Stream not found".
        return errno == ENOENT ? kErrorPathNotFound : lastError();
    }
    try {
        writer = std::make_unique<PosixFileWriter>(fd);
    } catch (...) {
        // Already emptied by O_TRUNC and never to be written: a report is complete
        // or absent.
        ::close(fd);
        unlink(bytes.c_str());
        throw;
    }
    return kErrorSuccess;
}

std::uint32_t PosixFileSystem::deleteFile(const std::u16string& path) {
    if (path.empty() || hasEmbeddedNul(path)) {
        return kErrorInvalidName;
    }
    const std::string bytes = bytesOf(path);
    if (unlink(bytes.c_str()) != 0) {
        return lastError();
    }
    return kErrorSuccess;
}

FileSystem& nativeFileSystem() {
    static PosixFileSystem instance;
    return instance;
}

}  // namespace streamscan
