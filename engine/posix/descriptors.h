// Owners for what the Linux port opens: a file descriptor and a directory stream.
// Each closes what it holds when it goes, so no path through the port closes by hand.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <utility>

namespace streamscan {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd; }
    bool valid() const { return fd >= 0; }
    int release() { return std::exchange(fd, -1); }
    void reset(int next = -1) {
        if (fd >= 0)
            ::close(fd);
        fd = next;
    }

  private:
    int fd = -1;
};

class DirectoryStream {
  public:
    DirectoryStream() = default;
    // Takes the descriptor over: on success the stream owns it, on failure it is closed.
    explicit DirectoryStream(UniqueFd fd) : dir(fdopendir(fd.get())) {
        if (dir != nullptr)
            fd.release();
    }
    ~DirectoryStream() {
        if (dir != nullptr)
            closedir(dir);
    }
    DirectoryStream(DirectoryStream&& other) noexcept : dir(std::exchange(other.dir, nullptr)) {}
    DirectoryStream& operator=(DirectoryStream&&) = delete;
    DirectoryStream(const DirectoryStream&) = delete;
    DirectoryStream& operator=(const DirectoryStream&) = delete;

    DIR* get() const { return dir; }
    int fd() const { return dirfd(dir); }

  private:
    DIR* dir = nullptr;
};

}  // namespace streamscan
