#include "engine/posix/item_facts.h"

#include <fcntl.h>
#include <sys/sysmacros.h>

#include <cerrno>

#include "engine/win_codes.h"

namespace streamscan {
namespace {

// Seconds between 1601-01-01 and 1970-01-01, in FILETIME units.
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000LL;

// NTFS keeps these two index flags in the same word; Windows shows the first
// as the directory attribute and never shows the second.
constexpr std::uint32_t kNtfsDirectoryIndex = 0x10000000;
constexpr std::uint32_t kNtfsViewIndex = 0x20000000;

}  // namespace

std::uint64_t fileTimeOf(const struct timespec& time) {
    // tmpfs keeps any 64-bit time; one a FILETIME cannot hold is no time at all,
    // checked before the multiplication could overflow.
    constexpr std::int64_t kTicksPerSecond = 10000000;
    constexpr std::int64_t kEarliest = -kUnixEpochAsFileTime / kTicksPerSecond;
    constexpr std::int64_t kLatest =
        (INT64_MAX - kUnixEpochAsFileTime - (kTicksPerSecond - 1)) / kTicksPerSecond;
    const auto seconds = static_cast<std::int64_t>(time.tv_sec);
    if (seconds < kEarliest || seconds > kLatest)
        return 0;
    const std::int64_t value = kUnixEpochAsFileTime + seconds * kTicksPerSecond +
                               static_cast<std::int64_t>(time.tv_nsec) / 100;
    return value < 0 ? 0 : static_cast<std::uint64_t>(value);
}

std::optional<std::uint32_t> ntfsAttributesOf(std::string_view value) {
    if (value.size() != 4)
        return std::nullopt;
    std::uint32_t attributes = 0;
    for (std::size_t i = 0; i < 4; ++i)
        attributes |= static_cast<std::uint32_t>(static_cast<unsigned char>(value[i])) << (8 * i);
    return attributes;
}

ItemIdentity identityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), true};
}

Timestamp timestampOf(const struct timespec& time) {
    return {static_cast<std::int64_t>(time.tv_sec), static_cast<std::uint32_t>(time.tv_nsec), 9};
}

void addBirthTime(int folder, const char* name, ItemDetails& details) {
    struct statx sx {};
    if (statx(folder, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_BTIME, &sx) == 0 &&
        (sx.stx_mask & STATX_BTIME) != 0) {
        details.times.created = {static_cast<std::int64_t>(sx.stx_btime.tv_sec),
                                 sx.stx_btime.tv_nsec, 9};
    }
}

int statWithBirth(int folder, const char* name, struct stat& st, std::optional<Timestamp>& birth) {
    struct statx sx {};
    if (statx(folder, name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return errno;
    st = {};
    st.st_dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    st.st_ino = sx.stx_ino;
    st.st_mode = sx.stx_mode;
    st.st_nlink = sx.stx_nlink;
    st.st_uid = sx.stx_uid;
    st.st_gid = sx.stx_gid;
    st.st_size = static_cast<off_t>(sx.stx_size);
    const auto time = [](const struct statx_timestamp& t) {
        return timespec{static_cast<time_t>(t.tv_sec), static_cast<long>(t.tv_nsec)};
    };
    st.st_atim = time(sx.stx_atime);
    st.st_mtim = time(sx.stx_mtime);
    st.st_ctim = time(sx.stx_ctime);
    if ((sx.stx_mask & STATX_BTIME) != 0)
        birth = Timestamp{static_cast<std::int64_t>(sx.stx_btime.tv_sec), sx.stx_btime.tv_nsec, 9};
    return 0;
}

ItemFacts factsOf(const struct stat& st, std::string_view leaf, const WindowsAttributes& windows,
                  bool linkToFolder) {
    ItemFacts facts;
    facts.details.times.modified = timestampOf(st.st_mtim);
    facts.details.times.changed = timestampOf(st.st_ctim);
    facts.details.times.accessed = timestampOf(st.st_atim);
    facts.details.mode = st.st_mode;
    facts.details.uid = st.st_uid;
    facts.details.gid = st.st_gid;
    facts.lastWrite = fileTimeOf(st.st_mtim);
    facts.identity = identityOf(st);
    const bool isLink = S_ISLNK(st.st_mode);
    bool isFolder = S_ISDIR(st.st_mode) || (isLink && linkToFolder);
    std::uint32_t attributes = 0;
    if (windows.ntfs) {
        const std::uint32_t ntfs = *windows.ntfs;
        if (isLink && (ntfs & (kAttributeDirectory | kNtfsDirectoryIndex)) != 0)
            isFolder = true;
        attributes = ntfs & ~(kNtfsViewIndex | kNtfsDirectoryIndex | kAttributeDirectory);
    } else {
        if (windows.dos)
            attributes = *windows.dos & ~(kAttributeDirectory | kAttributeNormal);
        else if (S_ISREG(st.st_mode))
            attributes |= kAttributeArchive;
        if (!leaf.empty() && leaf.front() == '.')
            attributes |= kAttributeHidden;
    }
    if (isFolder)
        attributes |= kAttributeDirectory;
    if (isLink) {
        attributes |= kAttributeReparsePoint;
    } else if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        // A link's own permission bits mean nothing.
        attributes |= kAttributeReadOnly;
    }
    if (attributes == 0)
        attributes = kAttributeNormal;
    facts.attributes = attributes;
    facts.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    return facts;
}

}  // namespace streamscan
