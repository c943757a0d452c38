#include "engine/posix/attribute_io.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>

namespace streamscan {
namespace {

// Numbered alike on every architecture from Linux 6.13 on.
#if defined(__x86_64__) || defined(__aarch64__)
constexpr long kGetAttributeAt = 464;
constexpr long kListAttributesAt = 465;
#else
constexpr long kGetAttributeAt = -1;
constexpr long kListAttributesAt = -1;
#endif

struct AttributeArguments {
    std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};

// A kernel without the calls says ENOSYS once; a sandbox may refuse them with
// EPERM, and then the path's own answer is the one that counts.
std::atomic<bool> atCallsWork{kGetAttributeAt >= 0};

bool throughFolder(const AttributeHost& host) {
    return host.folder >= 0 && atCallsWork.load(std::memory_order_relaxed);
}

// Without the *at calls an entry of an open folder is still reached through the
// folder's descriptor: /proc/self/fd/N/NAME is that folder's entry, however
// long its full path, and the l* calls do not follow NAME if it is a link.
template <typename Call>
ssize_t byPath(const AttributeHost& host, Call call) {
    if (host.folder >= 0) {
        const std::string entry = "/proc/self/fd/" + std::to_string(host.folder) + "/" + host.name;
        const ssize_t got = call(entry.c_str());
        if (got >= 0 || errno != ENOENT || access("/proc/self/fd", F_OK) == 0)
            return got;
    }
    return call(host.path);
}

// -1 with errno set, or the size; falls back to the path when the call is missing.
ssize_t getValue(const AttributeHost& host, const char* attribute, void* buffer, std::size_t size) {
    if (throughFolder(host)) {
        AttributeArguments arguments{reinterpret_cast<std::uintptr_t>(buffer),
                                     static_cast<std::uint32_t>(size), 0};
        const long got = syscall(kGetAttributeAt, host.folder, host.name, AT_SYMLINK_NOFOLLOW,
                                 attribute, &arguments, sizeof arguments);
        if (got >= 0 || (errno != ENOSYS && errno != EPERM))
            return got;
        if (errno == ENOSYS)
            atCallsWork.store(false, std::memory_order_relaxed);
    }
    return byPath(host, [&](const char* path) { return lgetxattr(path, attribute, buffer, size); });
}

ssize_t listNames(const AttributeHost& host, char* buffer, std::size_t size) {
    if (throughFolder(host)) {
        const long got =
            syscall(kListAttributesAt, host.folder, host.name, AT_SYMLINK_NOFOLLOW, buffer, size);
        if (got >= 0 || (errno != ENOSYS && errno != EPERM))
            return got;
        if (errno == ENOSYS)
            atCallsWork.store(false, std::memory_order_relaxed);
    }
    return byPath(host, [&](const char* path) { return llistxattr(path, buffer, size); });
}

bool tooLarge(int error) {
    return error == ERANGE || error == E2BIG;
}

}  // namespace

int listAttributeNames(const AttributeHost& host, std::string& names) {
    // The usual item has none or one; the stack spares the heap for them.
    char small[1024];
    ssize_t length = listNames(host, small, sizeof small);
    if (length >= 0) {
        names.assign(small, static_cast<std::size_t>(length));
        return 0;
    }
    for (int attempt = 0; attempt < 4 && errno == ERANGE; ++attempt) {
        const ssize_t needed = listNames(host, nullptr, 0);
        if (needed < 0)
            return errno;
        names.resize(static_cast<std::size_t>(needed));
        length = listNames(host, names.data(), names.size());
        if (length >= 0) {
            names.resize(static_cast<std::size_t>(length));
            return 0;
        }
    }
    return errno;
}

AttributeValue readAttributeValue(const AttributeHost& host, const char* attribute) {
    AttributeValue result;
    // Most values are small: one call reads them without asking for the size first.
    char small[4096];
    const ssize_t direct = getValue(host, attribute, small, sizeof small);
    if (direct >= 0) {
        result.bytes.assign(small, static_cast<std::size_t>(direct));
        result.shownSize = result.bytes.size();
        return result;
    }
    result.error = errno;
    // The value is known to be larger than every buffer it did not fit; a size
    // query that says otherwise has wrapped (ntfs-3g gives a 4 GiB stream's
    // size modulo 2^32) and is never taken as the size.
    std::size_t largerThan = sizeof small;
    // A value that grows between the size query and the read is asked for again.
    for (int attempt = 0; attempt < 4 && tooLarge(result.error); ++attempt) {
        const ssize_t size = getValue(host, attribute, nullptr, 0);
        if (size < 0) {
            result.error = errno;
            return result;
        }
        if (static_cast<std::size_t>(size) <= largerThan) {
            result.error = ERANGE;
            result.shownSize = largerThan + 1;
            break;
        }
        result.shownSize = static_cast<std::size_t>(size);
        result.bytes.resize(result.shownSize);
        const ssize_t got = getValue(host, attribute, result.bytes.data(), result.bytes.size());
        if (got >= 0) {
            result.bytes.resize(static_cast<std::size_t>(got));
            result.shownSize = result.bytes.size();
            result.error = 0;
            return result;
        }
        result.error = errno;
        largerThan = result.shownSize;
        // E2BIG at the size the interface itself named: it shows a part of
        // something larger and will not hand it over.
        if (result.error == E2BIG) {
            result.capped = true;
            break;
        }
    }
    if (tooLarge(result.error) && result.shownSize > 0)
        result.capped = true;
    result.bytes.clear();
    return result;
}

}  // namespace streamscan
