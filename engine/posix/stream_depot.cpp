#include "engine/posix/stream_depot.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>

#include "engine/posix/errno_codes.h"
#include "engine/posix/name_codec.h"
#include "engine/stream_listing.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

constexpr const char* kDepotName = ".streams";
constexpr std::u16string_view kCarrierPrefix = u"streams_depot/";

// Samba's hash of the 16 bytes of a file id, which picks the two folder levels.
std::uint32_t depotHash(const unsigned char (&id)[16]) {
    std::uint32_t value = 0x238F13AFu * 16u;
    for (std::uint32_t i = 0; i < 16; ++i)
        value += static_cast<std::uint32_t>(id[i]) << (i * 5 % 24);
    return 1103515243u * value + 12345u;
}

bool isDotName(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Opens `place` ("XX/YY/ID") below `streams` one folder at a time, none a link.
int openBelow(int streams, const std::string& place, UniqueFd& depot) {
    UniqueFd at(fcntl(streams, F_DUPFD_CLOEXEC, 0));
    std::size_t start = 0;
    while (at.valid()) {
        const std::size_t slash = place.find('/', start);
        const bool last = slash == place.npos;
        const std::string name = place.substr(start, last ? place.npos : slash - start);
        UniqueFd next(openat(at.get(), name.c_str(),
                             (last ? O_RDONLY : O_PATH) | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid())
            return errno;
        if (last) {
            depot = std::move(next);
            return 0;
        }
        at = std::move(next);
        start = slash + 1;
    }
    return errno;
}

// Opens the folder of the item at `path` (by its path: a root the user named)
// and says the item's name in it.
int openFolderOf(const std::string& path, UniqueFd& folder, std::string* leaf) {
    std::string_view whole = path;
    while (whole.size() > 1 && whole.back() == '/')
        whole.remove_suffix(1);
    const std::size_t slash = whole.rfind('/');
    const std::string above(slash == whole.npos ? "." : slash == 0 ? "/" : whole.substr(0, slash));
    if (leaf != nullptr)
        *leaf = whole.substr(slash == whole.npos ? 0 : slash + 1);
    folder.reset(::open(above.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return folder.valid() ? 0 : errno;
}

}  // namespace

std::string depotFolderOf(std::uint64_t device, std::uint64_t inode) {
    unsigned char id[16];
    for (int i = 0; i < 8; ++i) {
        id[i] = static_cast<unsigned char>(device >> (8 * i));
        id[8 + i] = static_cast<unsigned char>(inode >> (8 * i));
    }
    const std::uint32_t hash = depotHash(id);
    char text[3 + 3 + 32 + 1];
    int length = std::snprintf(text, sizeof text, "%02X/%02X/", hash & 0xFF, (hash >> 8) & 0xFF);
    for (const unsigned char byte : id)
        length += std::snprintf(text + length, sizeof text - length, "%02X", byte);
    return text;
}

int openDepotFolder(int start, const struct stat& item, UniqueFd& depot) {
    const std::string place = depotFolderOf(item.st_dev, item.st_ino);
    UniqueFd at(fcntl(start, F_DUPFD_CLOEXEC, 0));
    struct stat here;
    for (;;) {
        if (!at.valid() || fstat(at.get(), &here) != 0)
            return errno;
        if (here.st_dev != item.st_dev)
            break;  // the depot lies on the item's own volume
        const UniqueFd streams(
            openat(at.get(), kDepotName, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (streams.valid()) {
            // A .streams without this item's folder may be another share's,
            // nested in this one: the search goes on above it.
            const int error = openBelow(streams.get(), place, depot);
            if (error != ENOENT)
                return error;
        } else if (errno != ENOENT) {
            return errno;
        }
        UniqueFd parent(openat(at.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat above;
        if (!parent.valid() || fstat(parent.get(), &above) != 0)
            return errno;
        if (above.st_dev == here.st_dev && above.st_ino == here.st_ino)
            break;  // the top of the tree
        at = std::move(parent);
    }
    return ENOENT;
}

int openItemDepot(int folder, const std::string& name, const std::string& path, UniqueFd& depot) {
    UniqueFd parent;
    std::string leaf = name;
    if (folder < 0) {
        if (const int error = openFolderOf(path, parent, &leaf); error != 0)
            return error;
        folder = parent.get();
    }
    struct stat item;
    if (fstatat(folder, leaf.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (S_ISDIR(item.st_mode)) {
        // A folder may be the share's top, which holds .streams itself.
        const UniqueFd self(
            openat(folder, leaf.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st;
        if (!self.valid() || fstat(self.get(), &st) != 0)
            return errno;
        if (st.st_dev != item.st_dev || st.st_ino != item.st_ino)
            return ENOENT;  // swapped since it was looked at
        return openDepotFolder(self.get(), item, depot);
    }
    return openDepotFolder(folder, item, depot);
}

bool isDepotCarrier(std::u16string_view carrier) {
    return carrier.substr(0, kCarrierPrefix.size()) == kCarrierPrefix;
}

std::u16string depotCarrierOf(std::string_view fileName) {
    return std::u16string(kCarrierPrefix) + textOf(fileName);
}

std::string depotFileOf(std::u16string_view carrier) {
    return isDepotCarrier(carrier) ? bytesOf(carrier.substr(kCarrierPrefix.size())) : "";
}

int openDepotFile(int depot, const std::string& fileName, UniqueFd& content) {
    UniqueFd fd(
        openat(depot, fileName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st;
    if (!fd.valid() || fstat(fd.get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    content = std::move(fd);
    return 0;
}

DepotListing::DepotListing(UniqueFd folder) : dir(std::move(folder)) {}

std::uint32_t DepotListing::next(StreamEntry& entry) {
    if (dir.get() == nullptr)
        return windowsErrorFromErrno(EBADF);
    for (;;) {
        errno = 0;
        const dirent* item = readdir(dir.get());
        if (item == nullptr)
            return errno == 0 ? kErrorHandleEof : lastError();
        if (isDotName(item->d_name))
            continue;
        current = item->d_name;
        opened.reset();
        currentError = openDepotFile(dir.fd(), current, opened);
        if (currentError == ENOENT)
            continue;  // removed since the folder was read
        struct stat st {};
        const bool sized = currentError == 0 && fstat(opened.get(), &st) == 0;
        // Samba names each file ":NAME:TYPE"; any other name is shown as it is.
        setListedName(entry, current.front() == ':' ? textOf(current) : u":" + textOf(current));
        entry.carrier = depotCarrierOf(current);
        entry.size = sized ? static_cast<std::uint64_t>(st.st_size) : 0;
        // What cannot be opened is not known to be empty.
        entry.sizeAtLeast = !sized;
        return kErrorSuccess;
    }
}

std::uint32_t DepotListing::open(UniqueFd& content) {
    if (currentError == 0 && !opened.valid())
        currentError = openDepotFile(dir.fd(), current, opened);
    content = std::move(opened);
    return currentError == 0 ? kErrorSuccess : windowsErrorFromErrno(currentError);
}

int removeDepotFile(int start, const std::string& path, const struct stat& item,
                    const std::string& fileName) {
    if (fileName.empty() || fileName.find('/') != fileName.npos || fileName == "." ||
        fileName == "..")
        return EINVAL;
    UniqueFd parent;
    if (start < 0) {
        if (const int error = openFolderOf(path, parent, nullptr); error != 0)
            return error;
        start = parent.get();
    }
    UniqueFd depot;
    if (const int error = openDepotFolder(start, item, depot); error != 0)
        return error;
    struct stat st;
    if (fstatat(depot.get(), fileName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return EINVAL;
    return unlinkat(depot.get(), fileName.c_str(), 0) == 0 ? 0 : errno;
}

}  // namespace streamscan
