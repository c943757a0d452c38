#include "engine/posix/listed_removal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "engine/posix/descriptors.h"
#include "engine/posix/errno_codes.h"
#include "engine/posix/item_facts.h"
#include "engine/posix/name_codec.h"
#include "engine/posix/stream_attributes.h"
#include "engine/posix/stream_depot.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

// A step that met a link or something other than a folder where the scan
// walked through a folder: the tree is not the one that was scanned.
std::uint32_t stepError(int error) {
    if (error == ENOENT)
        return kErrorPathNotFound;
    return error == ELOOP || error == ENOTDIR ? kErrorItemChanged : windowsErrorFromErrno(error);
}

bool isKnownAndOther(const ItemIdentity& recorded, const struct stat& st) {
    return recorded.known && !(identityOf(st) == recorded);
}

// The names from `root` down to `host`; false when host does not lie below it.
bool namesBelow(std::string_view root, std::string_view host, std::vector<std::string>& names) {
    while (root.size() > 1 && root.back() == '/')
        root.remove_suffix(1);
    if (host.substr(0, root.size()) != root)
        return false;
    std::string_view rest = host.substr(root.size());
    if (root != "/") {
        if (rest.empty() || rest.front() != '/')
            return false;
    }
    std::size_t start = 0;
    while (start < rest.size()) {
        std::size_t slash = rest.find('/', start);
        if (slash == rest.npos)
            slash = rest.size();
        const std::string_view name = rest.substr(start, slash - start);
        if (name == "." || name == "..")
            return false;  // never a way out of the tree
        if (!name.empty())
            names.emplace_back(name);
        start = slash + 1;
    }
    return !names.empty();
}

// Removes the attribute through the item's own descriptor: a regular file or a
// folder is opened again through its O_PATH descriptor (the very same item);
// anything else, or one that will not open for reading, is reached through
// /proc/self/fd, which also leads to exactly that item.
int removeAttribute(int itemFd, const struct stat& st, const std::string& attribute) {
    const std::string proc = "/proc/self/fd/" + std::to_string(itemFd);
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) {
        const UniqueFd opened(::open(proc.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (opened.valid())
            return fremovexattr(opened.get(), attribute.c_str());
    }
    return removexattr(proc.c_str(), attribute.c_str());
}

std::uint32_t removeFromHost(int folderFd, int itemFd, const struct stat& st,
                             const RemovalTarget& target) {
    if (target.sidecarFile) {
        const std::string name = bytesOf(target.carrier);
        if (folderFd < 0 || name.empty() || name.find('/') != name.npos)
            return kErrorInvalidName;
        struct stat sidecar;
        if (fstatat(folderFd, name.c_str(), &sidecar, AT_SYMLINK_NOFOLLOW) != 0)
            return lastError();
        if (!S_ISREG(sidecar.st_mode))
            return kErrorItemChanged;
        return unlinkat(folderFd, name.c_str(), 0) == 0 ? kErrorSuccess : lastError();
    }
    if (isDepotCarrier(target.carrier)) {
        // The depot is found from the verified host (a folder may hold it) or
        // its folder, by the host's identity.
        const int error =
            removeDepotFile(S_ISDIR(st.st_mode) ? itemFd : folderFd, bytesOf(target.hostPath), st,
                            depotFileOf(target.carrier));
        return error == 0 ? kErrorSuccess : windowsErrorFromErrno(error);
    }
    std::vector<std::string> attributes;
    if (!target.carrier.empty())
        attributes.push_back(bytesOf(target.carrier));
    else
        attributes = attributesOfStream(target.streamName, target.streamType);
    int error = ENODATA;
    for (const std::string& attribute : attributes) {
        if (!isStreamAttribute(attribute))
            return kErrorInvalidName;  // never anything outside user.
        if (removeAttribute(itemFd, st, attribute) == 0)
            return kErrorSuccess;
        error = errno;
        if (error != ENODATA)
            break;
    }
    return windowsErrorFromErrno(error);
}

}  // namespace

std::uint32_t removeListedStreamByDescriptors(const RemovalTarget& target) {
    const std::string host = bytesOf(target.hostPath);
    // A row that came from no walk is reached from its own folder.
    std::string root = bytesOf(target.scanRoot);
    if (root.empty()) {
        const std::size_t slash = host.rfind('/');
        root = slash == 0 ? "/" : host.substr(0, slash == host.npos ? 0 : slash);
    }
    struct stat st;
    // The root is the one the user named, reached as the scan reached it.
    bool rootIsLink = false;
    if (target.rootIdentity.known) {
        if (lstat(root.c_str(), &st) != 0)
            return lastError();
        if (isKnownAndOther(target.rootIdentity, st))
            return kErrorItemChanged;
        rootIsLink = S_ISLNK(st.st_mode);
    }
    UniqueFd item;
    UniqueFd folder;
    if (root == host) {
        item.reset(::open(root.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    } else {
        std::vector<std::string> names;
        if (!namesBelow(root, host, names))
            return kErrorInvalidParameter;
        folder.reset(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!folder.valid())
            return lastError();
        // Checked again through the descriptor: a folder swapped in since the
        // look above is not the root that was scanned.
        if (!rootIsLink &&
            (fstat(folder.get(), &st) != 0 || isKnownAndOther(target.rootIdentity, st)))
            return kErrorItemChanged;
        for (std::size_t i = 0; i + 1 < names.size(); ++i) {
            UniqueFd next(openat(folder.get(), names[i].c_str(),
                                 O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!next.valid())
                return stepError(errno);
            folder = std::move(next);
        }
        item.reset(openat(folder.get(), names.back().c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!item.valid() || fstat(item.get(), &st) != 0)
        return lastError();
    if (isKnownAndOther(target.hostIdentity, st))
        return kErrorItemChanged;
    return removeFromHost(folder.get(), item.get(), st, target);
}

}  // namespace streamscan
