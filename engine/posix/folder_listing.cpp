#include "engine/posix/folder_listing.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "engine/posix/dos_attributes.h"
#include "engine/posix/errno_codes.h"
#include "engine/posix/name_codec.h"
#include "engine/posix/stream_attributes.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

// A folder opened on this thread, held open so that its subfolders are opened
// through it: never by a path spelled again, which a link swapped in on the
// way could redirect and which stops at PATH_MAX.
struct OpenedFolder {
    std::string path;  // without a trailing /
    UniqueFd fd;
    // Entries its listing saw as links to folders: the only names below it whose
    // target is opened, when the walk (following links) asks to list them.
    std::vector<std::string> folderLinks;
};

// The folders opened on this thread from the latest root down to the latest
// folder: the walk is depth-first, so a folder's parent is on this chain.
// Emptied when a root starts and when the scan ends, so no volume stays busy.
thread_local std::vector<OpenedFolder> openedFolders;

std::string_view withoutTrailingSlash(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

bool isAncestorOrSelf(std::string_view ancestor, std::string_view path) {
    if (ancestor == "/")
        return true;
    return path.substr(0, ancestor.size()) == ancestor &&
           (path.size() == ancestor.size() || path[ancestor.size()] == '/');
}

bool isDotName(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

class PosixDirectoryListing;
// The listings open on this thread, latest last. The walk asks for the streams
// of each entry while the entry's folder is still open.
thread_local std::vector<const PosixDirectoryListing*> openListings;

class PosixDirectoryListing : public DirectoryListing {
  public:
    PosixDirectoryListing(DirectoryStream opened, std::string folderPath, VolumeKinds& volumes)
        : dir(std::move(opened)), volumes(volumes) {
        current.folder = dir.fd();
        folder = std::move(folderPath);
        if (folder.empty() || folder.back() != '/')
            folder.push_back('/');
        folderText = textOf(folder);
        struct stat st;
        if (fstat(current.folder, &st) == 0) {
            folderDevice = st.st_dev;
            folderKind = volumes.of(st.st_dev, folder.c_str());
        }
        openListings.push_back(this);
    }
    ~PosixDirectoryListing() override {
        openListings.erase(std::find(openListings.begin(), openListings.end(), this));
    }
    PosixDirectoryListing(const PosixDirectoryListing&) = delete;
    PosixDirectoryListing& operator=(const PosixDirectoryListing&) = delete;

    // The current entry when `path` names it.
    const CurrentEntry* entryAt(std::u16string_view path) const {
        if (current.name.empty() || !holds(path) ||
            bytesOf(path.substr(folderText.size())) != current.name) {
            return nullptr;
        }
        return &current;
    }

    // Whether `path` is an entry of this listing's folder.
    bool holds(std::u16string_view path) const {
        const std::size_t length = folderText.size();
        // memcmp: the code-unit loop of char_traits<char16_t> costs more than the
        // system call it saves.
        return path.size() > length &&
               std::memcmp(path.data(), folderText.data(), length * sizeof(char16_t)) == 0 &&
               path.find(u'/', length) == path.npos;
    }
    int folderFd() const { return current.folder; }

    std::uint32_t next(DirectoryEntry& entry) override {
        current.name.clear();
        for (;;) {
            errno = 0;
            const dirent* item = readdir(dir.get());
            if (item == nullptr)
                return errno == 0 ? kErrorNoMoreFiles : lastError();
            if (isDotName(item->d_name))
                continue;
            // The entry type tells a file from a folder or a link. A file is
            // looked at only if it shows a record (entryFacts); a folder (maybe
            // another volume's mount point, maybe a junction) and a link (maybe
            // to a folder) now, as the walk needs their kind; an entry of no
            // stated type costs one fstatat. The first entry is looked at too:
            // a folder whose items cannot be looked at (no search permission)
            // fails its listing there, as the rest would fail the same way.
            const unsigned char type = item->d_type;
            haveStat = false;
            if (type == DT_DIR || type == DT_LNK || type == DT_UNKNOWN || !probed) {
                if (fstatat(current.folder, item->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    if (errno == ENOENT)
                        continue;  // gone since the folder was read: not there to examine
                    return lastError();
                }
                haveStat = true;
                probed = true;
            }
            describe(item->d_name, entry);
            return kErrorSuccess;
        }
    }

    std::uint32_t entryFacts(ItemFacts& facts) override {
        if (current.name.empty())
            return kErrorFileNotFound;
        if (!factsKnown) {
            std::optional<Timestamp> birth;
            if (!haveStat) {
                // One call for the facts and the birth time: a row's item costs
                // no second look.
                if (const int error =
                        statWithBirth(current.folder, current.name.c_str(), st, birth);
                    error != 0)
                    return windowsErrorFromErrno(error);
                haveStat = true;
                birthAsked = true;
            }
            currentFacts = factsNow();
            factsKnown = true;
            if (birth)
                currentFacts.details.times.created = *birth;
        }
        if (!birthAsked) {
            birthAsked = true;
            addBirthTime(current.folder, current.name.c_str(), currentFacts.details);
        }
        facts = currentFacts;
        return kErrorSuccess;
    }

  private:
    void describe(const char* name, DirectoryEntry& entry) {
        current.name = name;
        current.path.assign(folder).append(name);
        entry = DirectoryEntry();
        entry.name = textOf(current.name);
        factsKnown = false;
        birthAsked = false;
        // The one question every item costs: its attribute names, which say
        // whether it carries a stream.
        const AttributeHost host{current.folder, current.name.c_str(), current.path.c_str()};
        current.namesError = listAttributeNames(host, current.names);
        if (current.namesError != 0)
            current.names.clear();
        if (!haveStat || (!S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode)))
            return;  // a file: EntryKind::file whatever its facts say
        if (st.st_dev != folderDevice) {
            // A volume mounted below the folder that cannot hold streams is
            // counted as such and never entered, like such a root.
            const VolumeKinds::Kind mounted = volumes.of(st.st_dev, current.path.c_str());
            entry.volumeWithoutStreams = S_ISDIR(st.st_mode) && !mounted.holdsStreams;
            entry.volumeHidingStreams = S_ISDIR(st.st_mode) && mounted.hidesStreams;
        }
        currentFacts = factsNow();
        factsKnown = true;
        entry.kind = entryKindOf(currentFacts.attributes);
        // Any owner can write user.DOSATTRIB: the reparse bit it claims is
        // shown, but only the kernel (a link) or NTFS itself makes a folder a
        // link that the walk does not enter.
        if (entry.kind == EntryKind::folderLink && S_ISDIR(st.st_mode) && !ntfsAttributesRead)
            entry.kind = EntryKind::folder;
        if (entry.kind == EntryKind::folderLink && S_ISLNK(st.st_mode))
            noteFolderLink();
    }

    void noteFolderLink() {
        const std::string_view path = withoutTrailingSlash(folder);
        for (auto opened = openedFolders.rbegin(); opened != openedFolders.rend(); ++opened) {
            if (opened->path == path) {
                opened->folderLinks.push_back(current.name);
                return;
            }
        }
    }

    // The facts of the current entry, from its stat and the Windows attributes
    // its volume keeps.
    ItemFacts factsNow() {
        const AttributeHost host{current.folder, current.name.c_str(), current.path.c_str()};
        const VolumeKinds::Kind kind =
            st.st_dev == folderDevice ? folderKind : volumes.of(st.st_dev, current.path.c_str());
        const WindowsAttributes windows =
            windowsAttributesOf(host, kind.ntfsAttributes, &current.names);
        ntfsAttributesRead = windows.ntfs.has_value();
        bool linkToFolder = false;
        if (S_ISLNK(st.st_mode)) {
            struct stat target;
            linkToFolder = fstatat(current.folder, current.name.c_str(), &target, 0) == 0 &&
                           S_ISDIR(target.st_mode);
        }
        return factsOf(st, current.name, windows, linkToFolder);
    }

    DirectoryStream dir;
    VolumeKinds& volumes;
    std::string folder;         // with its trailing /
    std::u16string folderText;  // the same
    dev_t folderDevice = 0;
    VolumeKinds::Kind folderKind;
    CurrentEntry current;
    bool probed = false;  // an entry of this folder was looked at
    struct stat st {};    // of the current entry, when haveStat
    bool haveStat = false;
    ItemFacts currentFacts;  // of the current entry, when factsKnown
    bool factsKnown = false;
    bool birthAsked = false;          // only items that show a row ask for it
    bool ntfsAttributesRead = false;  // its attributes came from NTFS itself
};

}  // namespace

int openFolder(const std::string& folder, UniqueFd& fd) {
    const std::string_view path = withoutTrailingSlash(folder);
    while (!openedFolders.empty() && !isAncestorOrSelf(openedFolders.back().path, path))
        openedFolders.pop_back();
    if (!openedFolders.empty() && openedFolders.back().path == path)
        openedFolders.pop_back();
    const std::size_t slash = path.rfind('/');
    const std::string_view parent = slash == 0 ? std::string_view("/") : path.substr(0, slash);
    if (slash != path.npos && !openedFolders.empty() && openedFolders.back().path == parent) {
        // Below the very folder that was listed, without following a link.
        const std::string leaf(path.substr(slash + 1));
        const OpenedFolder& parentFolder = openedFolders.back();
        fd.reset(openat(parentFolder.fd.get(), leaf.c_str(),
                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        const std::vector<std::string>& links = parentFolder.folderLinks;
        if (!fd.valid() && (errno == ELOOP || errno == ENOTDIR) &&
            std::find(links.begin(), links.end(), leaf) != links.end()) {
            // A link its folder's listing saw, which the walk lists only when it
            // follows links: its target is opened, as a root's is.
            fd.reset(
                openat(parentFolder.fd.get(), leaf.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        }
    } else {
        // A root: a folder the user named is entered, a link included.
        openedFolders.clear();
        fd.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    if (!fd.valid())
        return errno;
    UniqueFd held(fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
    if (!held.valid())
        return errno;
    openedFolders.push_back({std::string(path), std::move(held), {}});
    return 0;
}

void forgetOpenedFolders() {
    openedFolders.clear();
}

int listedFolderOf(std::u16string_view path) {
    for (auto open = openListings.rbegin(); open != openListings.rend(); ++open) {
        if ((*open)->holds(path))
            return (*open)->folderFd();
    }
    return -1;
}

const CurrentEntry* currentEntryFor(std::u16string_view path) {
    for (auto open = openListings.rbegin(); open != openListings.rend(); ++open) {
        if (const CurrentEntry* entry = (*open)->entryAt(path))
            return entry;
    }
    return nullptr;
}

std::uint32_t startFolderListing(std::string folder, VolumeKinds& volumes, DirectoryEntry& first,
                                 std::unique_ptr<DirectoryListing>& listing) {
    UniqueFd fd;
    if (const int error = openFolder(folder, fd); error != 0) {
        // A folder that is gone is a failure, not an empty folder.
        return error == ENOENT ? kErrorPathNotFound : windowsErrorFromErrno(error);
    }
    DirectoryStream dir(std::move(fd));
    if (dir.get() == nullptr)
        return lastError();
    auto opened =
        std::make_unique<PosixDirectoryListing>(std::move(dir), std::move(folder), volumes);
    const std::uint32_t error = opened->next(first);
    if (error != kErrorSuccess)
        return error;  // kErrorNoMoreFiles: nothing but . and ..
    listing = std::move(opened);
    return kErrorSuccess;
}

WindowsAttributes windowsAttributesOf(const AttributeHost& host, bool ntfsVolume,
                                      const std::string* names) {
    WindowsAttributes windows;
    if (ntfsVolume) {
        const AttributeValue ntfs = readAttributeValue(host, kNtfsAttributesName);
        if (ntfs.error == 0)
            windows.ntfs = ntfsAttributesOf(ntfs.bytes);
        if (windows.ntfs)
            return windows;
    }
    bool asked = names == nullptr;
    if (names != nullptr) {
        forEachAttributeName(
            *names, [&](std::string_view name) { asked = asked || name == kDosAttributesName; });
    }
    if (asked) {
        const AttributeValue dos = readAttributeValue(host, kDosAttributesName);
        std::uint32_t bits = 0;
        if (dos.error == 0 && parseDosAttributes(dos.bytes, bits))
            windows.dos = bits;
    }
    return windows;
}

}  // namespace streamscan
