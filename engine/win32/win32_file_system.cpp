#include "engine/win32/win32_file_system.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "engine/path_forms.h"
#include "engine/stream_listing.h"
#include "engine/win32/owned.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

// A call that failed without setting a code must not read as success: 0 would
// make the engine take an unfilled entry or a missing handle for a result.
constexpr std::uint32_t kErrorGenFailure = 31;

std::uint32_t lastError() {
    const DWORD code = GetLastError();
    return code != 0 ? static_cast<std::uint32_t>(code) : kErrorGenFailure;
}

const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The W API stops at the first NUL, so such a path would reach a different
// file than the one named; it is refused instead.
bool hasEmbeddedNul(const std::u16string& text) {
    return text.find(u'\0') != std::u16string::npos;
}

// Paths the user chose for a report: prefixed only when long, as typed.
std::u16string longForm(const std::u16string& path) {
    return longPathForm(path, PathStyle::windows);
}

// Paths the walk produced: always prefixed, so each name is reached exactly.
std::u16string exactForm(const std::u16string& path) {
    return verbatimPathForm(path, PathStyle::windows);
}

// A fixed-size name field is read only up to its terminator or its end.
template <std::size_t N>
std::u16string textOf(const WCHAR (&field)[N]) {
    std::size_t length = 0;
    while (length < N && field[length] != 0) {
        ++length;
    }
    return std::u16string(reinterpret_cast<const char16_t*>(field), length);
}

std::uint64_t joinHalves(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | static_cast<std::uint64_t>(low);
}

std::uint64_t fileTimeOf(const FILETIME& time) {
    return joinHalves(time.dwHighDateTime, time.dwLowDateTime);
}

DirectoryEntry entryOf(const WIN32_FIND_DATAW& data) {
    DirectoryEntry entry;
    entry.name = textOf(data.cFileName);
    entry.kind = entryKindOf(data.dwFileAttributes);
    return entry;
}

ItemFacts factsOf(const WIN32_FIND_DATAW& data) {
    ItemFacts facts;
    facts.attributes = data.dwFileAttributes;
    facts.size = joinHalves(data.nFileSizeHigh, data.nFileSizeLow);
    facts.lastWrite = fileTimeOf(data.ftLastWriteTime);
    return facts;
}

StreamEntry entryOf(const WIN32_FIND_STREAM_DATA& data) {
    StreamEntry entry;
    setListedName(entry, textOf(data.cStreamName));
    entry.size = static_cast<std::uint64_t>(data.StreamSize.QuadPart);
    return entry;
}

// One open FindFirst*/FindNext* enumeration. The handle is freed as soon as
// the enumeration ends, so only one listing handle is open while the walk
// descends; later calls give back the same end code.
template <typename Listing, typename Entry, typename FindData, auto findNext>
class Win32FindListing : public Listing {
  public:
    // Takes the handle over only once the object exists, so a failed allocation
    // leaves it with its owner, which closes it. `first` is what the start found.
    Win32FindListing(OwnedFind& source, const FindData& first)
        : current(first), find(source.release()) {}

    std::uint32_t next(Entry& entry) override {
        if (endError != 0) {
            return endError;
        }
        FindData data{};
        if (!findNext(find.get(), &data)) {
            endError = lastError();
            find.reset();
            return endError;
        }
        current = data;
        entry = entryOf(data);
        return kErrorSuccess;
    }

  protected:
    FindData current;  // the entry handed out last

  private:
    OwnedFind find;
    std::uint32_t endError = 0;
};

// The listing already carries every entry's facts: asking costs nothing.
class Win32DirectoryListing
    : public Win32FindListing<DirectoryListing, DirectoryEntry, WIN32_FIND_DATAW, FindNextFileW> {
  public:
    using Win32FindListing::Win32FindListing;

    std::uint32_t entryFacts(ItemFacts& facts) override {
        facts = factsOf(current);
        return kErrorSuccess;
    }
};
// The volume serial number and file ID of what `file` is open on.
ItemIdentity identityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info))
        return {};
    return {info.dwVolumeSerialNumber, joinHalves(info.nFileIndexHigh, info.nFileIndexLow), true};
}

// The item itself, never what a reparse point on it leads to; any kind of item.
ItemIdentity identityAt(const std::u16string& path) {
    OwnedHandle item(
        CreateFileW(wide(exactForm(path)), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return item ? identityOf(item.get()) : ItemIdentity{};
}

// The listing does not carry the file ID; it is asked only of an item that
// shows a row, as most have no stream at all.
class Win32StreamListing
    : public Win32FindListing<StreamListing, StreamEntry, WIN32_FIND_STREAM_DATA, FindNextStreamW> {
  public:
    Win32StreamListing(OwnedFind& source, const WIN32_FIND_STREAM_DATA& first,
                       std::u16string hostPath)
        : Win32FindListing(source, first), hostPath(std::move(hostPath)) {}

    ItemIdentity hostIdentity() override { return identityAt(hostPath); }

  private:
    std::u16string hostPath;
};

class Win32StreamReader : public StreamReader {
  public:
    explicit Win32StreamReader(OwnedHandle& source) : file(source.release()) {}

    std::uint32_t read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) override {
        DWORD count = 0;
        const BOOL ok = ReadFile(file.get(), buffer, size, &count, nullptr);
        got = ok ? static_cast<std::uint32_t>(count) : 0;
        return ok ? kErrorSuccess : lastError();
    }

  private:
    OwnedHandle file;
};

// The report: written to a new file in the target's folder and moved over the
// target on commit, so a failure leaves the earlier file as it was and no
// partial file anywhere.
class Win32FileWriter : public FileWriter {
  public:
    // `partial` empty: the file is written in place (a device, a pipe).
    // `replaces`: the target existed, and keeps its security and attributes.
    Win32FileWriter(OwnedHandle& source, std::u16string partial, std::u16string target,
                    bool replaces)
        : file(source.release()),
          partial(std::move(partial)),
          target(std::move(target)),
          replaces(replaces) {}
    ~Win32FileWriter() override { discard(); }
    Win32FileWriter(const Win32FileWriter&) = delete;
    Win32FileWriter& operator=(const Win32FileWriter&) = delete;

    std::uint32_t write(const std::uint8_t* data, std::uint32_t size,
                        std::uint32_t& written) override {
        written = 0;
        if (!file) {
            return ERROR_INVALID_HANDLE;
        }
        DWORD count = 0;
        if (!WriteFile(file.get(), data, size, &count, nullptr)) {
            return lastError();
        }
        written = static_cast<std::uint32_t>(count);
        return kErrorSuccess;
    }

    void close() override { file.reset(); }

    std::uint32_t commit() override {
        if (partial.empty())
            return CloseHandle(file.release()) ? kErrorSuccess : lastError();
        std::uint32_t error = kErrorSuccess;
        // ReplaceFileW keeps the replaced file's owner, permissions and
        // attributes; a new file is only moved in, never over one made meanwhile.
        const bool closed = CloseHandle(file.release()) != 0;
        const bool placed =
            closed &&
            (replaces ? ReplaceFileW(wide(longForm(target)), wide(longForm(partial)), nullptr,
                                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                      : MoveFileExW(wide(longForm(partial)), wide(longForm(target)), 0) != 0);
        if (!placed) {
            error = lastError();
            DeleteFileW(wide(longForm(partial)));
        }
        partial.clear();
        return error;
    }

    void discard() override {
        file.reset();
        if (!partial.empty()) {
            DeleteFileW(wide(longForm(partial)));
            partial.clear();
        }
    }

  private:
    OwnedHandle file;
    std::u16string partial;  // emptied once committed or discarded
    std::u16string target;
    bool replaces = false;
};

// The path a link leads to, as the system names it (without the \\?\ prefix
// where it can be dropped); `path` itself when it cannot be found.
std::u16string finalPathOf(HANDLE file, const std::u16string& path) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length =
            GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
        if (length == 0)
            return path;
        if (length < buffer.size()) {
            std::u16string result(reinterpret_cast<const char16_t*>(buffer.data()), length);
            if (result.rfind(u"\\\\?\\UNC\\", 0) == 0)
                return u"\\\\" + result.substr(8);
            if (result.rfind(u"\\\\?\\", 0) == 0)
                return result.substr(4);
            return result;
        }
        buffer.resize(length + 1);
    }
    return path;
}

// A name for the partial report in the target's folder that no one else uses.
std::u16string partialNameFor(const std::u16string& target, unsigned attempt) {
    const std::size_t separator = target.find_last_of(u"\\/");
    std::u16string name =
        separator == std::u16string::npos ? std::u16string() : target.substr(0, separator + 1);
    name += u".tessalin-report-";
    const unsigned long long unique =
        (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^ GetTickCount64() ^ attempt;
    for (int shift = 60; shift >= 0; shift -= 4)
        name += u"0123456789abcdef"[(unique >> shift) & 0xF];
    name += u".partial";
    return name;
}

// GetVolumePathNameW with a buffer of the larger of (path length + 16) and 261.
bool volumePathOf(const std::u16string& path, std::u16string& volumePath) {
    const std::size_t capacity = std::max<std::size_t>(path.size() + 16, MAX_PATH + 1);
    std::vector<char16_t> buffer(capacity, u'\0');
    if (!GetVolumePathNameW(wide(path), reinterpret_cast<wchar_t*>(buffer.data()),
                            static_cast<DWORD>(capacity))) {
        return false;
    }
    buffer.back() = u'\0';
    volumePath = buffer.data();
    return true;
}

}  // namespace

std::u16string Win32FileSystem::fullPath(const std::u16string& path) {
    if (hasEmbeddedNul(path)) {
        return path;
    }
    const DWORD needed = GetFullPathNameW(wide(path), 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::vector<char16_t> buffer(needed, u'\0');
    const DWORD length =
        GetFullPathNameW(wide(path), needed, reinterpret_cast<wchar_t*>(buffer.data()), nullptr);
    // A length that does not fit means the answer changed between the calls.
    if (length == 0 || length >= needed) {
        return path;
    }
    return std::u16string(buffer.data(), length);
}

VolumeInfo Win32FileSystem::queryVolume(const std::u16string& path) {
    VolumeInfo info;
    if (path.empty() || hasEmbeddedNul(path)) {
        return info;
    }
    // The plain form is the fallback for a path the prefix does not suit.
    std::u16string volumePath;
    const std::u16string exactPath = exactForm(path);
    if (!volumePathOf(exactPath, volumePath)) {
        if (exactPath == path || !volumePathOf(path, volumePath)) {
            return info;
        }
    }
    DWORD flags = 0;
    std::vector<char16_t> name(MAX_PATH + 1, u'\0');
    if (!GetVolumeInformationW(wide(volumePath), nullptr, 0, nullptr, nullptr, &flags,
                               reinterpret_cast<wchar_t*>(name.data()),
                               static_cast<DWORD>(name.size()))) {
        return info;
    }
    name.back() = u'\0';
    info.known = true;
    info.namedStreams = (flags & FILE_NAMED_STREAMS) != 0;
    info.fileSystemName = name.data();
    return info;
}

std::uint32_t Win32FileSystem::itemFacts(const std::u16string& path, ItemFacts& facts) {
    if (hasEmbeddedNul(path)) {
        return kErrorInvalidName;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(wide(exactForm(path)), GetFileExInfoStandard, &data)) {
        return lastError();
    }
    facts.attributes = data.dwFileAttributes;
    facts.size = joinHalves(data.nFileSizeHigh, data.nFileSizeLow);
    facts.lastWrite = fileTimeOf(data.ftLastWriteTime);
    facts.identity = identityAt(path);
    return kErrorSuccess;
}

std::uint32_t Win32FileSystem::plainAttributes(const std::u16string& path,
                                               std::uint32_t& attributes) {
    if (hasEmbeddedNul(path)) {
        return kErrorInvalidName;
    }
    const DWORD result = GetFileAttributesW(wide(exactForm(path)));
    if (result == INVALID_FILE_ATTRIBUTES) {
        return lastError();
    }
    attributes = result;
    return kErrorSuccess;
}

std::uint32_t Win32FileSystem::startListing(const std::u16string& folder, DirectoryEntry& first,
                                            std::unique_ptr<DirectoryListing>& listing) {
    listing.reset();
    if (hasEmbeddedNul(folder)) {
        return kErrorInvalidName;
    }
    const std::u16string pattern = exactForm(joinPath(folder, u"*", PathStyle::windows));
    WIN32_FIND_DATAW data{};
    OwnedFind find(FindFirstFileW(wide(pattern), &data));
    if (!find) {
        return lastError();
    }
    first = entryOf(data);
    listing = std::make_unique<Win32DirectoryListing>(find, data);
    return kErrorSuccess;
}

std::uint32_t Win32FileSystem::startStreams(const std::u16string& hostPath, StreamEntry& first,
                                            std::unique_ptr<StreamListing>& listing) {
    listing.reset();
    if (hasEmbeddedNul(hostPath)) {
        return kErrorInvalidName;
    }
    WIN32_FIND_STREAM_DATA data{};
    OwnedFind find(FindFirstStreamW(wide(exactForm(hostPath)), FindStreamInfoStandard, &data, 0));
    if (!find) {
        return lastError();
    }
    first = entryOf(data);
    listing = std::make_unique<Win32StreamListing>(find, data, hostPath);
    return kErrorSuccess;
}

std::uint32_t Win32FileSystem::openStream(const std::u16string& hostPath,
                                          const std::u16string& name, const std::u16string& type,
                                          bool hostIsFolder,
                                          std::unique_ptr<StreamReader>& reader) {
    reader.reset();
    const std::u16string streamPath = streamPathOf(hostPath, name, type);
    if (hasEmbeddedNul(streamPath)) {
        return kErrorInvalidName;
    }
    OwnedHandle file(CreateFileW(wide(exactForm(streamPath)), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, hostIsFolder ? FILE_FLAG_BACKUP_SEMANTICS : 0,
                                 nullptr));
    if (!file) {
        return lastError();
    }
    reader = std::make_unique<Win32StreamReader>(file);
    return kErrorSuccess;
}

std::uint32_t Win32FileSystem::deleteStream(const std::u16string& hostPath,
                                            const std::u16string& name,
                                            const std::u16string& type) {
    const std::u16string streamPath = streamPathOf(hostPath, name, type);
    if (hasEmbeddedNul(streamPath)) {
        return kErrorInvalidName;
    }
    if (!DeleteFileW(wide(exactForm(streamPath)))) {
        return lastError();
    }
    return kErrorSuccess;
}

std::uint32_t Win32FileSystem::removeListedStream(const RemovalTarget& target) {
    if (!target.hostIdentity.known)
        return FileSystem::removeListedStream(target);
    const std::u16string streamPath =
        streamPathOf(target.hostPath, target.streamName, target.streamType);
    if (hasEmbeddedNul(streamPath)) {
        return kErrorInvalidName;
    }
    // The stream is opened for deletion and its file ID read through that very
    // handle: if a junction or link on the way led elsewhere, or the host was
    // replaced, the IDs differ and nothing is deleted.
    OwnedHandle stream(
        CreateFileW(wide(exactForm(streamPath)), DELETE | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!stream) {
        return lastError();
    }
    if (!(identityOf(stream.get()) == target.hostIdentity)) {
        return kErrorItemChanged;
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (!SetFileInformationByHandle(stream.get(), FileDispositionInfo, &disposition,
                                    sizeof disposition)) {
        return lastError();
    }
    return kErrorSuccess;
}

std::uint32_t Win32FileSystem::outputTarget(const std::u16string& path, OutputTarget& target) {
    target = {};
    if (hasEmbeddedNul(path)) {
        return kErrorInvalidName;
    }
    // Links followed: what a file written there would replace or write into.
    OwnedHandle item(CreateFileW(wide(longForm(path)), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!item) {
        const std::uint32_t error = lastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return error;
        // A link whose target is gone is still there itself.
        const DWORD attributes = GetFileAttributesW(wide(longForm(path)));
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            target.kind = OutputKind::deadLink;
        return kErrorSuccess;
    }
    switch (GetFileType(item.get())) {
        case FILE_TYPE_CHAR:
        case FILE_TYPE_PIPE:
            target.kind = OutputKind::inPlace;
            return kErrorSuccess;
        case FILE_TYPE_DISK:
            break;
        default:
            target.kind = OutputKind::unusable;
            return kErrorSuccess;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(item.get(), &info)) {
        return lastError();
    }
    target.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? OutputKind::folder
                                                                          : OutputKind::file;
    target.identity = identityOf(item.get());
    return kErrorSuccess;
}

std::uint32_t Win32FileSystem::createFile(const std::u16string& path,
                                          std::unique_ptr<FileWriter>& writer) {
    writer.reset();
    if (hasEmbeddedNul(path)) {
        return kErrorInvalidName;
    }
    OutputTarget existing;
    if (const std::uint32_t error = outputTarget(path, existing); error != kErrorSuccess) {
        return error;
    }
    if (existing.kind == OutputKind::folder) {
        return ERROR_ACCESS_DENIED;  // as CreateFileW says of a folder
    }
    if (existing.kind == OutputKind::inPlace) {
        // A console, NUL or a pipe is written as it is, never replaced.
        OwnedHandle device(CreateFileW(wide(longForm(path)), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       0, nullptr));
        if (!device) {
            return lastError();
        }
        writer = std::make_unique<Win32FileWriter>(device, std::u16string(), path, false);
        return kErrorSuccess;
    }
    // Through a link, the file it leads to is replaced and the link stays. The
    // file to replace must let itself be replaced: a read-only file or one in
    // use is said now, before anything is written.
    std::u16string place = path;
    const bool replaces = existing.kind == OutputKind::file;
    if (replaces) {
        OwnedHandle current(CreateFileW(wide(longForm(path)), DELETE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        if (!current) {
            return lastError();
        }
        place = finalPathOf(current.get(), path);
    }
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::u16string partial = partialNameFor(place, attempt);
        OwnedHandle file(CreateFileW(wide(longForm(partial)), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            const std::uint32_t error = lastError();
            if (error == ERROR_FILE_EXISTS)
                continue;
            return error;
        }
        writer = std::make_unique<Win32FileWriter>(file, std::move(partial), place, replaces);
        return kErrorSuccess;
    }
    return ERROR_FILE_EXISTS;
}

std::uint32_t Win32FileSystem::deleteFile(const std::u16string& path) {
    if (hasEmbeddedNul(path)) {
        return kErrorInvalidName;
    }
    if (!DeleteFileW(wide(longForm(path)))) {
        return lastError();
    }
    return kErrorSuccess;
}

FileSystem& nativeFileSystem() {
    static Win32FileSystem fileSystem;
    return fileSystem;
}

}  // namespace streamscan
