#include "engine/posix/report_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <random>

#include "engine/posix/descriptors.h"
#include "engine/posix/errno_codes.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

ItemIdentity identityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), true};
}

OutputKind kindOf(mode_t mode) {
    if (S_ISREG(mode))
        return OutputKind::file;
    if (S_ISCHR(mode) || S_ISFIFO(mode))
        return OutputKind::inPlace;
    if (S_ISDIR(mode))
        return OutputKind::folder;
    if (S_ISBLK(mode))
        return OutputKind::blockDevice;
    return OutputKind::unusable;
}

std::uint32_t writeSome(int fd, const std::uint8_t* data, std::uint32_t size,
                        std::uint32_t& written) {
    written = 0;
    if (fd < 0)
        return windowsErrorFromErrno(EBADF);
    for (;;) {
        const ssize_t n = ::write(fd, data, size);
        if (n >= 0) {
            written = static_cast<std::uint32_t>(n);
            return kErrorSuccess;
        }
        if (errno != EINTR)
            return lastError();
    }
}

// A device or a fifo: there is no earlier content to keep, and no file to put
// in its place, so what went is gone and what failed is said.
class InPlaceWriter : public FileWriter {
  public:
    explicit InPlaceWriter(UniqueFd fd) : fd(std::move(fd)) {}

    std::uint32_t write(const std::uint8_t* data, std::uint32_t size,
                        std::uint32_t& written) override {
        return writeSome(fd.get(), data, size, written);
    }
    void close() override { fd.reset(); }
    std::uint32_t commit() override {
        if (!fd.valid())
            return windowsErrorFromErrno(EBADF);
        return ::close(fd.release()) == 0 ? kErrorSuccess : lastError();
    }

  private:
    UniqueFd fd;
};

// A new file beside the target in the target's folder, held by descriptor so
// that a folder swapped on the way later cannot send the rename elsewhere.
class ReplacingWriter : public FileWriter {
  public:
    ReplacingWriter(UniqueFd folder, UniqueFd fd, std::string partial, std::string leaf,
                    ItemIdentity replaced, std::uint32_t ownerError)
        : folder(std::move(folder)),
          fd(std::move(fd)),
          partial(std::move(partial)),
          leaf(std::move(leaf)),
          replaced(replaced),
          ownerError(ownerError) {}
    ~ReplacingWriter() override { discard(); }
    ReplacingWriter(const ReplacingWriter&) = delete;
    ReplacingWriter& operator=(const ReplacingWriter&) = delete;

    std::uint32_t write(const std::uint8_t* data, std::uint32_t size,
                        std::uint32_t& written) override {
        return writeSome(fd.get(), data, size, written);
    }

    void close() override { fd.reset(); }

    std::uint32_t commit() override {
        if (partial.empty())
            return windowsErrorFromErrno(EBADF);
        // close() itself can report a write the disk refused late (NFS, quotas).
        std::uint32_t error = ::close(fd.release()) == 0 ? kErrorSuccess : lastError();
        if (error == kErrorSuccess)
            error = putInPlace();
        if (error != kErrorSuccess)
            unlinkat(folder.get(), partial.c_str(), 0);
        partial.clear();
        return error;
    }

    void discard() override {
        fd.reset();
        if (!partial.empty()) {
            unlinkat(folder.get(), partial.c_str(), 0);
            partial.clear();
        }
    }

    std::uint32_t ownerNotKept() const override { return ownerError; }

  private:
    std::uint32_t putInPlace() {
        if (!replaced.known) {
            // The name was free when the report began: whatever took it since
            // is someone else's and stays.
            if (renameat2(folder.get(), partial.c_str(), folder.get(), leaf.c_str(),
                          RENAME_NOREPLACE) == 0) {
                return kErrorSuccess;
            }
            if (errno != EINVAL && errno != ENOSYS)
                return lastError();
            if (linkat(folder.get(), partial.c_str(), folder.get(), leaf.c_str(), 0) != 0)
                return lastError();
            unlinkat(folder.get(), partial.c_str(), 0);
            return kErrorSuccess;
        }
        // Only the file that was checked is replaced.
        struct stat now;
        if (fstatat(folder.get(), leaf.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0)
            return lastError();
        if (!(identityOf(now) == replaced) || !S_ISREG(now.st_mode))
            return windowsErrorFromErrno(ESTALE);
        if (renameat(folder.get(), partial.c_str(), folder.get(), leaf.c_str()) != 0)
            return lastError();
        return kErrorSuccess;
    }

    UniqueFd folder;
    UniqueFd fd;
    std::string partial;  // emptied once committed or discarded
    std::string leaf;
    ItemIdentity replaced;  // unknown: the target did not exist
    std::uint32_t ownerError;
};

// A name for the partial report that no one else uses.
std::string partialName() {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    char leaf[48];
    std::snprintf(leaf, sizeof leaf, ".tessalin-report-%08x%04x.partial",
                  seed ^ static_cast<unsigned>(getpid()), counter++ & 0xFFFF);
    return leaf;
}

std::uint32_t openInPlace(const std::string& path, std::unique_ptr<FileWriter>& writer) {
    // Without blocking: a fifo nobody reads is said at once, not waited on.
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        return lastError();
    struct stat st;
    if (fstat(fd.get(), &st) != 0)
        return lastError();
    if (kindOf(st.st_mode) != OutputKind::inPlace)
        return windowsErrorFromErrno(ESTALE);  // replaced since it was looked at
    const int flags = fcntl(fd.get(), F_GETFL);
    if (flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return lastError();
    writer = std::make_unique<InPlaceWriter>(std::move(fd));
    return kErrorSuccess;
}

}  // namespace

std::uint32_t reportTargetOf(const std::string& path, OutputTarget& target) {
    target = {};
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? kErrorSuccess : lastError();
    const bool link = S_ISLNK(st.st_mode);
    if (link && stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT && errno != ELOOP)
            return lastError();
        target.kind = OutputKind::deadLink;
        return kErrorSuccess;
    }
    target.kind = kindOf(st.st_mode);
    target.identity = identityOf(st);
    return kErrorSuccess;
}

std::uint32_t createReportFile(const std::string& path, std::unique_ptr<FileWriter>& writer) {
    OutputTarget target;
    if (const std::uint32_t error = reportTargetOf(path, target); error != kErrorSuccess)
        return error;
    switch (target.kind) {
        case OutputKind::inPlace:
            return openInPlace(path, writer);
        case OutputKind::folder:
            return kErrorAccessDenied;  // as CreateFileW says of a folder
        case OutputKind::deadLink:
            return windowsErrorFromErrno(ENOENT);
        case OutputKind::unusable:
        case OutputKind::blockDevice:
            return windowsErrorFromErrno(EINVAL);
        case OutputKind::absent:
        case OutputKind::file:
            break;
    }

    // Through links to the file itself, so a link stays a link.
    std::string destination = path;
    struct stat replaced {};
    if (target.kind == OutputKind::file) {
        char* resolved = realpath(path.c_str(), nullptr);
        if (resolved == nullptr)
            return lastError();
        destination = resolved;
        std::free(resolved);
        if (stat(destination.c_str(), &replaced) != 0)
            return lastError();
        if (!(identityOf(replaced) == target.identity))
            return windowsErrorFromErrno(ESTALE);
    }
    const std::size_t slash = destination.rfind('/');
    const std::string folderPath = slash == std::string::npos ? std::string(".")
                                   : slash == 0               ? std::string("/")
                                                              : destination.substr(0, slash);
    const std::string leaf =
        slash == std::string::npos ? destination : destination.substr(slash + 1);
    UniqueFd folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
        // A missing folder is "Path not found", as Windows says.
        return errno == ENOENT ? kErrorPathNotFound : lastError();
    }

    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string partial = partialName();
        UniqueFd fd(openat(folder.get(), partial.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!fd.valid() && errno == EEXIST)
            continue;
        if (!fd.valid())
            return errno == ENOENT ? kErrorPathNotFound : lastError();
        std::uint32_t ownerError = kErrorSuccess;
        if (target.kind == OutputKind::file) {
            // The owner first: changing it may clear the set-id bits of the mode.
            struct stat made;
            if (fstat(fd.get(), &made) != 0 ||
                ((made.st_uid != replaced.st_uid || made.st_gid != replaced.st_gid) &&
                 fchown(fd.get(), replaced.st_uid, replaced.st_gid) != 0) ||
                fchmod(fd.get(), replaced.st_mode & 07777) != 0) {
                ownerError = lastError();
            }
        }
        writer = std::make_unique<ReplacingWriter>(
            std::move(folder), std::move(fd), std::move(partial), leaf,
            target.kind == OutputKind::file ? target.identity : ItemIdentity{}, ownerError);
        return kErrorSuccess;
    }
    return windowsErrorFromErrno(EEXIST);
}

}  // namespace streamscan
