// The file-system port. The engine never calls the operating system itself; it
// talks to one FileSystem whose operations mirror the Win32 calls its algorithms
// are written against. Every operation reports failure as a Windows error code
// (0 = success), attributes as Win32 attribute bits and times as FILETIME values.
//
// Paths handed to the port are plain (never the long-path form); a port that
// needs the long-path form makes it itself, where the engine's algorithms say.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/win_codes.h"

namespace streamscan {

enum class PathStyle {
    windows,  // \ and / separate, drive letters, UNC, the \\?\ prefix
    posix,    // only / separates, / is its own parent, no prefix
    image,    // inside a disk image: IMAGE//pN/NAME, / separates, IMAGE//pN is its own parent
};

#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = PathStyle::windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::posix;
#endif

// Which item the system means, whatever its path says: Linux device and inode,
// Windows volume serial number and file ID, an image's MFT entry and sequence.
// Acting on a listed item checks this, never the path spelled again.
struct ItemIdentity {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    bool known = false;

    bool operator==(const ItemIdentity&) const = default;
};

// The answer of queryVolume.
struct VolumeInfo {
    bool known = false;         // the file-system flags could be read
    bool namedStreams = false;  // FILE_NAMED_STREAMS; meaningful only when known
    std::u16string fileSystemName;
    // Images: no file system was recognised on the volume; fileSystemName then
    // says what it seems to be ("BitLocker", "LUKS") or is empty.
    bool notRecognised = false;
    // Images: what the container lacks of the volume (a segment of an evidence
    // set, the end of a cut image), in words; empty when it is whole.
    std::u16string missingPart;
    // An NTFS volume whose mount shows none of its streams (ntfs-3g's windows
    // and none modes, the kernel's drivers), read through the mount.
    bool streamsHidden = false;
};

// What an attribute query says of one item: what its record shows of it.
// A point in time as precisely as its source keeps it: NTFS to 100 ns, Linux
// to the nanosecond.
struct Timestamp {
    std::int64_t unixSeconds = 0;
    std::uint32_t nanoseconds = 0;
    std::uint8_t digits = 0;  // decimals the source keeps (7 NTFS, 9 Linux); 0: no time

    bool operator==(const Timestamp&) const = default;
};

// The four times a file system keeps of an item. On NTFS "changed" is the
// record's change time, on Linux the inode's.
struct ItemTimes {
    Timestamp created;
    Timestamp modified;
    Timestamp changed;
    Timestamp accessed;

    bool operator==(const ItemTimes&) const = default;
};

// What the record of a row keeps of its item beyond the listing's facts.
struct ItemDetails {
    ItemTimes times;          // Linux: statx; NTFS: $STANDARD_INFORMATION
    ItemTimes fileNameTimes;  // NTFS: the $FILE_NAME attribute's; none elsewhere
    std::uint32_t mode = 0;   // Linux st_mode; 0 where there is none
    std::uint32_t uid = 0;
    std::uint32_t gid = 0;
    bool mftKnown = false;  // the item was read from NTFS structures
    std::uint64_t mftEntry = 0;
    std::uint16_t mftSequence = 0;

    bool operator==(const ItemDetails&) const = default;
};

struct ItemFacts {
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;
    std::uint64_t lastWrite = 0;  // FILETIME
    ItemIdentity identity;        // known where the port can say it cheaply
    ItemDetails details;          // filled where the port has them at no extra cost, or for rows
    bool deleted = false;         // a deleted item whose record is still intact (images)
};

// What a listing knows of an entry without asking more: enough for the walk to
// count it and to descend into it or skip it.
enum class EntryKind {
    file,  // anything the walk does not enter: a file, a device, a link to a file
    folder,
    folderLink,  // a folder with the reparse-point attribute (a junction, a link to a folder)
};

inline EntryKind entryKindOf(std::uint32_t attributes) {
    if ((attributes & kAttributeDirectory) == 0) {
        return EntryKind::file;
    }
    return (attributes & kAttributeReparsePoint) != 0 ? EntryKind::folderLink : EntryKind::folder;
}

struct DirectoryEntry {
    std::u16string name;  // leaf name; "." and ".." may appear
    EntryKind kind = EntryKind::file;
    // A folder where another volume is mounted, one that cannot hold streams.
    bool volumeWithoutStreams = false;
    // A folder where an NTFS volume is mounted whose mount shows none of its streams.
    bool volumeHidingStreams = false;
};

// One stream of an item, typed: each port reads its own system's form (the
// Windows listing's ":NAME:TYPE", an attribute's name, an MFT attribute) and
// hands over the name and type, never a text the engine parses back.
struct StreamEntry {
    std::u16string streamName;  // empty for the item's main stream
    std::u16string streamType;  // e.g. "$DATA"; empty when the listing gave none
    std::uint64_t size = 0;
    // The port shows only part of the stream: its size is at least `size`.
    bool sizeAtLeast = false;
    // What carried the stream, in the port's own terms, where the name alone may
    // not tell: the extended attribute it was listed from (Linux), the MFT
    // attribute id (images). Empty and 0 where the name says it all.
    std::u16string carrier;
    std::uint32_t attributeId = 0;
    // The item is one the file system keeps for itself (NTFS metadata files,
    // seen in images). A stream it keeps there itself is counted, not listed.
    bool onFileSystemFile = false;
    bool ownedByFileSystem = false;
    // What carried it holds metadata a desktop program or file server keeps (a
    // tag, a comment), not a stream: counted, and listed only when every
    // attribute is asked for.
    bool metadata = false;
};

// An open directory listing (FindFirstFileW/FindNextFileW). Closed when destroyed.
class DirectoryListing {
  public:
    virtual ~DirectoryListing() = default;
    // Fetches the next entry: 0, or the error the listing ended with
    // (kErrorNoMoreFiles at a normal end).
    virtual std::uint32_t next(DirectoryEntry& entry) = 0;
    // The facts of the entry handed out last. The engine asks only for an item
    // it is about to show, as most items have no stream and show nothing; a
    // port whose listing carries the facts answers from what it has. Returns 0
    // or an error.
    virtual std::uint32_t entryFacts(ItemFacts& facts) = 0;
};

class StreamReader;

// An open stream enumeration (FindFirstStreamW/FindNextStreamW). Closed when destroyed.
class StreamListing {
  public:
    virtual ~StreamListing() = default;
    // Fetches the next entry: 0, or the error the enumeration ended with
    // (kErrorHandleEof or kErrorNoMoreFiles at a normal end).
    virtual std::uint32_t next(StreamEntry& entry) = 0;
    // Opens the stream of the entry last returned, the very one it was listed
    // from, where the names alone may not tell two apart; `error` says how that
    // went. False when the listing leaves the opening to openStream.
    virtual bool openEntry(std::uint32_t& error, std::unique_ptr<StreamReader>& reader) {
        (void)error;
        (void)reader;
        return false;
    }
    // The identity of the item whose streams these are, where the listing's
    // facts did not carry it (asked once per item that shows a row).
    virtual ItemIdentity hostIdentity() { return {}; }
};

// A stream opened for reading (CreateFileW/ReadFile). Closed when destroyed.
class StreamReader {
  public:
    virtual ~StreamReader() = default;
    // Reads up to `size` bytes into `buffer`; `got` is 0 at the end. Returns 0 or an error.
    virtual std::uint32_t read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) = 0;
};

// A file created for writing (the CSV report). Closed by close() or when destroyed.
class FileWriter {
  public:
    virtual ~FileWriter() = default;
    // Writes up to `size` bytes; `written` says how many went. Returns 0 or an error.
    virtual std::uint32_t write(const std::uint8_t* data, std::uint32_t size,
                                std::uint32_t& written) = 0;
    virtual void close() = 0;
    // The file is complete: closes it and, where the port writes beside the
    // target, puts it in the target's place in one step. 0 or an error (the
    // target then keeps what it held).
    virtual std::uint32_t commit() {
        close();
        return 0;
    }
    // The file is not to be kept: closes it and takes back what was written.
    // Where the port writes beside the target, the target keeps what it held.
    virtual void discard() { close(); }
    // Why the owner, group and mode of the file this one is to replace could
    // not be given to it (0 when they were, or nothing is replaced).
    virtual std::uint32_t ownerNotKept() const { return 0; }
};

// What a path names once links are followed: what a file written there would
// replace or write into.
enum class OutputKind : std::uint8_t {
    absent,       // nothing yet: a new file is made
    file,         // a regular file: replaced in one step
    inPlace,      // a character device or a fifo: written as it is, never replaced
    folder,       // never written
    blockDevice,  // a disk: read as an image, never written
    deadLink,     // a link that leads nowhere
    unusable,     // a socket, anything else that is no file
};

struct OutputTarget {
    OutputKind kind = OutputKind::absent;
    ItemIdentity identity;  // of what is there, links followed; unknown when absent
};

// One stream to remove, and where the row that showed it came from. Only the
// first three fields are needed to name it; the rest let a port reach the very
// item and carrier the row was listed from, or refuse.
struct RemovalTarget {
    std::u16string hostPath;
    std::u16string streamName;
    std::u16string streamType;  // empty means $DATA
    ItemIdentity hostIdentity;  // unknown: the port acts on the path alone
    std::u16string carrier;     // StreamEntry::carrier of the listed stream
    bool sidecarFile = false;   // the stream is the file hostPath:Zone.Identifier
    std::u16string scanRoot;    // where the walk started (the host's path begins with it)
    ItemIdentity rootIdentity;
};

struct StreamRecord;

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    virtual PathStyle pathStyle() const = 0;

    // GetFullPathNameW: the absolute form, or `path` unchanged when it cannot be made.
    virtual std::u16string fullPath(const std::u16string& path) = 0;

    // GetVolumePathNameW (with its one long-path retry) and GetVolumeInformationW.
    // An unknown volume comes back with known false.
    virtual VolumeInfo queryVolume(const std::u16string& path) = 0;

    // GetFileAttributesExW at the standard information level.
    virtual std::uint32_t itemFacts(const std::u16string& path, ItemFacts& facts) = 0;

    // GetFileAttributesW: plain attributes (the removal engine's read-only diagnosis).
    virtual std::uint32_t plainAttributes(const std::u16string& path,
                                          std::uint32_t& attributes) = 0;

    // FindFirstFileW on joinPath(folder, "*"). On success `first` holds the first
    // entry and `listing` the open listing.
    virtual std::uint32_t startListing(const std::u16string& folder, DirectoryEntry& first,
                                       std::unique_ptr<DirectoryListing>& listing) = 0;

    // FindFirstStreamW at FindStreamInfoStandard. kErrorHandleEof: no streams at all.
    virtual std::uint32_t startStreams(const std::u16string& hostPath, StreamEntry& first,
                                       std::unique_ptr<StreamListing>& listing) = 0;

    // CreateFileW on the stream hostPath:name:type (the host itself when name is
    // empty), read access, every kind of sharing, backup semantics for a folder.
    virtual std::uint32_t openStream(const std::u16string& hostPath, const std::u16string& name,
                                     const std::u16string& type, bool hostIsFolder,
                                     std::unique_ptr<StreamReader>& reader) = 0;

    // Opens the stream a row showed, from the very carrier it was listed from
    // (the attribute, the sidecar file). This default opens a sidecar file as a
    // file and anything else by the row's name and type, which is exact where
    // names say it all.
    virtual std::uint32_t openListedStream(const StreamRecord& row,
                                           std::unique_ptr<StreamReader>& reader);

    // DeleteFileW on the stream hostPath:name:type.
    virtual std::uint32_t deleteStream(const std::u16string& hostPath, const std::u16string& name,
                                       const std::u16string& type) = 0;

    // Removes the stream a row showed, on the item it was listed from and
    // nothing else: kErrorItemChanged when the host (or the way to it from the
    // scan root) is no longer what was scanned. This default checks the host's
    // identity by its path and then removes by path; the real ports reach the
    // item through descriptors or handles and act through those.
    virtual std::uint32_t removeListedStream(const RemovalTarget& target);

    // CreateFileW with GENERIC_WRITE, no sharing, CREATE_ALWAYS. The real ports
    // write a new file in the target's folder that takes the target's place
    // only on commit(), so a report is complete or the earlier file is intact.
    virtual std::uint32_t createFile(const std::u16string& path,
                                     std::unique_ptr<FileWriter>& writer) = 0;

    // Called on the scanning thread when a scan has ended, however it ended:
    // the port lets go of what it held open for the walk.
    virtual void scanEnded() {}

    // DeleteFileW on a whole file.
    virtual std::uint32_t deleteFile(const std::u16string& path) = 0;

    // What `path` names, links followed (the target of createFile, a scanned
    // root). This default asks itemFacts, which follows no link; the real ports
    // follow them and tell devices and fifos apart.
    virtual std::uint32_t outputTarget(const std::u16string& path, OutputTarget& target);
};

// The port of the platform the program runs on (Win32FileSystem or PosixFileSystem).
FileSystem& nativeFileSystem();

}  // namespace streamscan
