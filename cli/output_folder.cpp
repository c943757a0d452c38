#include "cli/output_folder.h"

#include "engine/removal.h"
#include "engine/unicode.h"

#ifdef _WIN32
#include <windows.h>

#include "engine/win32/owned.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

namespace tessalin::cli {
namespace {

std::u16string errorText(std::uint32_t code) {
    return streamscan::WindowsErrorText(code);
}

}  // namespace

#ifdef _WIN32

struct OutputFolder::State {
    std::u16string path;  // \\?\ form, without a trailing separator
};

namespace {

class Win32OutputFile : public OutputFile {
  public:
    // Takes the handle over only once the object exists, so a failed
    // allocation leaves it with its owner, which closes it.
    explicit Win32OutputFile(streamscan::OwnedHandle& source) : handle(source.release()) {}
    ~Win32OutputFile() override { close(); }
    std::u16string write(const std::uint8_t* data, std::size_t size) override {
        while (size != 0) {
            const DWORD piece = size > 0x4000000 ? 0x4000000 : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(handle.get(), data, piece, &written, nullptr) || written == 0)
                return errorText(GetLastError());
            data += written;
            size -= written;
        }
        return {};
    }
    std::u16string close() override {
        if (!handle)
            return {};
        return CloseHandle(handle.release()) ? std::u16string() : errorText(GetLastError());
    }

  private:
    streamscan::OwnedHandle handle;
};

const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace

OutputFolder::OutputFolder() : state(std::make_unique<State>()) {}
OutputFolder::~OutputFolder() = default;

std::u16string OutputFolder::open(const std::u16string& path) {
    std::u16string full(32768, u'\0');
    const DWORD length = GetFullPathNameW(reinterpret_cast<const wchar_t*>(path.c_str()),
                                          static_cast<DWORD>(full.size()),
                                          reinterpret_cast<wchar_t*>(full.data()), nullptr);
    if (length == 0 || length >= full.size())
        return errorText(GetLastError());
    full.resize(length);
    while (full.size() > 3 && (full.back() == u'\\' || full.back() == u'/'))
        full.pop_back();
    state->path =
        full.rfind(u"\\\\", 0) == 0 ? u"\\\\?\\UNC\\" + full.substr(2) : u"\\\\?\\" + full;
    if (CreateDirectoryW(wide(state->path), nullptr))
        return {};
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS)
        return errorText(error);
    const DWORD attributes = GetFileAttributesW(wide(state->path));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return u"it exists and is not a folder";
    }
    WIN32_FIND_DATAW found;
    const std::u16string pattern = state->path + u"\\*";
    const streamscan::OwnedFind find(FindFirstFileW(wide(pattern), &found));
    bool empty = true;
    if (find) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..")
                empty = false;
        } while (empty && FindNextFileW(find.get(), &found));
    }
    return empty ? std::u16string() : u"it is a folder that is not empty";
}

std::u16string OutputFolder::create(std::u16string_view name, std::unique_ptr<OutputFile>& file) {
    const std::u16string path = state->path + u"\\" + std::u16string(name);
    streamscan::OwnedHandle handle(CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle)
        return errorText(GetLastError());
    file = std::make_unique<Win32OutputFile>(handle);
    return {};
}

std::u16string OutputFolder::rename(std::u16string_view from, std::u16string_view to) {
    const std::u16string source = state->path + u"\\" + std::u16string(from);
    const std::u16string target = state->path + u"\\" + std::u16string(to);
    if (!MoveFileExW(wide(source), wide(target), 0))
        return errorText(GetLastError());
    return {};
}

void OutputFolder::remove(std::u16string_view name) {
    DeleteFileW(wide(state->path + u"\\" + std::u16string(name)));
}

#else

struct OutputFolder::State {
    int descriptor = -1;
};

namespace {

// Errors in the port's own codes, so they read the same as every other.
std::uint32_t codeOf(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return 5;
        case ENOENT:
            return 3;
        case EEXIST:
            return 80;
        case ENOSPC:
        case EDQUOT:
            return 112;
        case EROFS:
            return 19;
        default:
            return 0x20000000u | static_cast<std::uint32_t>(error);
    }
}

std::u16string lastError() {
    return errorText(codeOf(errno));
}

class PosixOutputFile : public OutputFile {
  public:
    explicit PosixOutputFile(int descriptor) : descriptor(descriptor) {}
    ~PosixOutputFile() override { close(); }
    std::u16string write(const std::uint8_t* data, std::size_t size) override {
        while (size != 0) {
            const ssize_t written = ::write(descriptor, data, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return lastError();
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return {};
    }
    std::u16string close() override {
        if (descriptor < 0)
            return {};
        const int result = ::close(descriptor);
        descriptor = -1;
        return result == 0 ? std::u16string() : lastError();
    }

  private:
    int descriptor;
};

}  // namespace

OutputFolder::OutputFolder() : state(std::make_unique<State>()) {}

OutputFolder::~OutputFolder() {
    if (state->descriptor >= 0)
        ::close(state->descriptor);
}

std::u16string OutputFolder::open(const std::u16string& path) {
    const std::string bytes = streamscan::encodeName(path);
    const bool made = mkdir(bytes.c_str(), 0700) == 0;
    if (!made && errno != EEXIST)
        return lastError();
    state->descriptor = ::open(bytes.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (state->descriptor < 0)
        return errno == ENOTDIR || errno == ELOOP ? u"it exists and is not a folder" : lastError();
    if (made)
        return {};
    const int listing = dup(state->descriptor);
    DIR* folder = listing < 0 ? nullptr : fdopendir(listing);
    if (folder == nullptr) {
        if (listing >= 0)
            ::close(listing);
        return lastError();
    }
    bool empty = true;
    while (const dirent* entry = readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            empty = false;
            break;
        }
    }
    closedir(folder);
    return empty ? std::u16string() : u"it is a folder that is not empty";
}

std::u16string OutputFolder::create(std::u16string_view name, std::unique_ptr<OutputFile>& file) {
    const int descriptor = openat(state->descriptor, streamscan::encodeName(name).c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return lastError();
    file = std::make_unique<PosixOutputFile>(descriptor);
    return {};
}

std::u16string OutputFolder::rename(std::u16string_view from, std::u16string_view to) {
    // An existing target is never replaced.
    const std::string source = streamscan::encodeName(from);
    const std::string target = streamscan::encodeName(to);
    if (renameat2(state->descriptor, source.c_str(), state->descriptor, target.c_str(),
                  RENAME_NOREPLACE) == 0) {
        return {};
    }
    if (errno != EINVAL && errno != ENOSYS)
        return lastError();
    // A file system without that flag: a second link, then the first one goes.
    if (linkat(state->descriptor, source.c_str(), state->descriptor, target.c_str(), 0) != 0)
        return lastError();
    unlinkat(state->descriptor, source.c_str(), 0);
    return {};
}

void OutputFolder::remove(std::u16string_view name) {
    unlinkat(state->descriptor, streamscan::encodeName(name).c_str(), 0);
}

#endif

}  // namespace tessalin::cli
