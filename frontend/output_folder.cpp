#include "frontend/output_folder.h"

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

namespace tessalin {
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

// The identity the port gives an item: volume serial number and file ID.
streamscan::ItemIdentity identityAt(const std::u16string& path) {
    const streamscan::OwnedHandle item(CreateFileW(
        wide(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!item || !GetFileInformationByHandle(item.get(), &info))
        return {};
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
}

// The root that the folder at `path` (long form) is or lies below: its final
// path, links resolved, walked up one name at a time.
const ScannedRoot* enclosingRoot(const std::u16string& path,
                                 const std::vector<ScannedRoot>& scanned) {
    if (scanned.empty())
        return nullptr;
    const streamscan::OwnedHandle folder(CreateFileW(
        wide(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder)
        return nullptr;
    std::u16string current(32768, u'\0');
    const DWORD length = GetFinalPathNameByHandleW(
        folder.get(), reinterpret_cast<wchar_t*>(current.data()),
        static_cast<DWORD>(current.size()), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= current.size())
        return nullptr;
    current.resize(length);
    for (;;) {
        const streamscan::ItemIdentity identity = identityAt(current);
        for (const ScannedRoot& root : scanned) {
            if (root.identity.known && root.identity == identity)
                return &root;
        }
        while (current.size() > 4 && current.back() == u'\\')
            current.pop_back();
        const std::size_t separator = current.find_last_of(u'\\');
        if (separator == std::u16string::npos || separator < 4)
            return nullptr;
        current.resize(separator);
        if (current.back() == u':')
            current += u'\\';
    }
}

std::u16string insideText(const ScannedRoot& root) {
    return u"it lies inside the scanned tree " + root.path + u", which is never written";
}

}  // namespace

OutputFolder::OutputFolder() : state(std::make_unique<State>()) {}
OutputFolder::~OutputFolder() = default;

std::u16string OutputFolder::open(const std::u16string& path,
                                  const std::vector<ScannedRoot>& scanned) {
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
    std::u16string parent = state->path.substr(0, state->path.find_last_of(u'\\'));
    if (!parent.empty() && parent.back() == u':')
        parent += u'\\';
    if (const ScannedRoot* root = enclosingRoot(parent, scanned))
        return insideText(*root);
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
    if (const ScannedRoot* root = enclosingRoot(state->path, scanned))
        return insideText(*root);
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

// The root that `folder` is or lies below, found by walking up through ".."
// from the folder itself; none when the walk reaches "/" (its own parent).
const ScannedRoot* enclosingRoot(int folder, const std::vector<ScannedRoot>& scanned) {
    int current = dup(folder);
    streamscan::ItemIdentity previous;
    const ScannedRoot* found = nullptr;
    for (int depth = 0; current >= 0 && found == nullptr && depth < 65536; ++depth) {
        struct stat st;
        if (fstat(current, &st) != 0)
            break;
        const streamscan::ItemIdentity identity{static_cast<std::uint64_t>(st.st_dev),
                                                static_cast<std::uint64_t>(st.st_ino), true};
        for (const ScannedRoot& root : scanned) {
            if (root.identity.known && root.identity == identity)
                found = &root;
        }
        if (identity == previous)
            break;
        previous = identity;
        const int parent = openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(current);
        current = parent;
    }
    if (current >= 0)
        ::close(current);
    return found;
}

std::u16string insideText(const ScannedRoot& root) {
    return u"it lies inside the scanned tree " + root.path + u", which is never written";
}

}  // namespace

OutputFolder::OutputFolder() : state(std::make_unique<State>()) {}

OutputFolder::~OutputFolder() {
    if (state->descriptor >= 0)
        ::close(state->descriptor);
}

std::u16string OutputFolder::open(const std::u16string& path,
                                  const std::vector<ScannedRoot>& scanned) {
    std::string bytes = streamscan::encodeName(path);
    while (bytes.size() > 1 && bytes.back() == '/')
        bytes.pop_back();
    const std::size_t slash = bytes.rfind('/');
    const std::string parentPath = slash == std::string::npos ? std::string(".")
                                   : slash == 0               ? std::string("/")
                                                              : bytes.substr(0, slash);
    const std::string leaf = slash == std::string::npos ? bytes : bytes.substr(slash + 1);
    // The folder is made and opened from its parent's descriptor, which is
    // checked first: links on the way are followed once, and what they lead to
    // is what is checked and used.
    const int parent = ::open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return lastError();
    if (const ScannedRoot* root = enclosingRoot(parent, scanned)) {
        ::close(parent);
        return insideText(*root);
    }
    const bool made = mkdirat(parent, leaf.c_str(), 0700) == 0;
    const int madeError = errno;
    if (made || madeError == EEXIST)
        state->descriptor =
            openat(parent, leaf.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const int openError = errno;
    ::close(parent);
    if (!made && madeError != EEXIST)
        return errorText(codeOf(madeError));
    if (state->descriptor < 0) {
        return openError == ENOTDIR || openError == ELOOP ? u"it exists and is not a folder"
                                                          : errorText(codeOf(openError));
    }
    if (made)
        return {};
    if (const ScannedRoot* root = enclosingRoot(state->descriptor, scanned))
        return insideText(*root);
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

}  // namespace tessalin
