// One NTFS file record (an MFT entry), read from its bytes alone: the record's
// own facts and the headers of its attributes. Pure and bounds-checked, so it
// can be handed any bytes; it is what the image port falls back on where the
// library refuses a file, and what a whole-volume reader builds on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace streamscan::mft {

inline constexpr std::uint32_t kTypeStandardInformation = 0x10;
inline constexpr std::uint32_t kTypeAttributeList = 0x20;
inline constexpr std::uint32_t kTypeFileName = 0x30;
inline constexpr std::uint32_t kTypeData = 0x80;

// The entry number (low 48 bits) and sequence number (high 16) of a file reference.
inline std::uint64_t entryOf(std::uint64_t reference) {
    return reference & 0xFFFFFFFFFFFFULL;
}
inline std::uint16_t sequenceOf(std::uint64_t reference) {
    return static_cast<std::uint16_t>(reference >> 48);
}

struct Attribute {
    std::uint32_t type = 0;
    std::u16string name;  // UTF-16 exactly as stored; empty for an unnamed one
    std::uint16_t id = 0;
    bool resident = false;
    bool compressed = false;
    bool encrypted = false;
    bool sparse = false;
    // Declared size of the value. A non-resident attribute spread over several
    // records declares it only in its first piece (lowestVcn 0).
    std::uint64_t size = 0;
    std::uint64_t initializedSize = 0;  // non-resident: bytes past this read as zeros
    std::uint64_t lowestVcn = 0;
    // Within the record bytes: the value of a resident attribute, or the mapping
    // pairs (the run list) of a non-resident one.
    std::size_t valueOffset = 0;
    std::size_t valueLength = 0;
};

struct Record {
    bool inUse = false;
    bool directory = false;
    std::uint16_t sequence = 0;
    std::uint64_t baseReference = 0;  // 0 in a base record; else the record it extends
    std::vector<Attribute> attributes;
    // The attribute chain ended where a record says it ends; false when a header
    // ran past the record, so attributes after it may be missing.
    bool complete = false;
};

// Parses one record; `bytes` is the whole record (usually 1 KiB) and gets its
// update-sequence fixups applied in place. Nothing when the bytes are not a
// file record or fail their fixups (a torn write).
std::optional<Record> parseRecord(std::span<std::uint8_t> bytes);
// The same into `record`, whose room is used again (a pass over millions of
// records); false when the bytes are no record.
bool parseRecord(std::span<std::uint8_t> bytes, Record& record);

// One extent of a non-resident attribute: `length` clusters from virtual
// cluster `vcn`, stored from cluster `lcn`, or nowhere when sparse.
struct Run {
    std::uint64_t vcn = 0;
    std::uint64_t lcn = 0;
    std::uint64_t length = 0;
    bool sparse = false;
};

// Decodes mapping pairs starting at virtual cluster `firstVcn`. Nothing when
// they are malformed (a run that leaves the mapping pairs or the volume's
// 64-bit range).
std::optional<std::vector<Run>> decodeRuns(std::span<const std::uint8_t> pairs,
                                           std::uint64_t firstVcn);

// The four times NTFS keeps in $STANDARD_INFORMATION and in each $FILE_NAME,
// as FILETIME values (0: none), in the order they are stored.
struct Times {
    std::uint64_t created = 0;
    std::uint64_t modified = 0;
    std::uint64_t changed = 0;  // the record's change time
    std::uint64_t accessed = 0;
};

struct StandardInformation {
    Times times;
    std::uint32_t flags = 0;  // the DOS and Win32 attribute bits
};

// A $STANDARD_INFORMATION value; nothing when it is too short to hold the flags.
std::optional<StandardInformation> parseStandardInformation(std::span<const std::uint8_t> value);

// The name spaces of a $FILE_NAME: an 8.3 name alone is kDosNames; a long name
// that is also a valid 8.3 one is kWin32AndDos.
inline constexpr std::uint8_t kPosixNames = 0;
inline constexpr std::uint8_t kWin32Names = 1;
inline constexpr std::uint8_t kDosNames = 2;
inline constexpr std::uint8_t kWin32AndDos = 3;

struct FileName {
    std::uint64_t parent = 0;  // the folder's file reference
    Times times;
    std::uint8_t nameSpace = kPosixNames;
    std::u16string name;  // UTF-16 exactly as stored
};

// A $FILE_NAME value; nothing when it is too short or its name leaves it.
std::optional<FileName> parseFileName(std::span<const std::uint8_t> value);
// The same into `fileName`, whose room is used again.
bool parseFileName(std::span<const std::uint8_t> value, FileName& fileName);

// One entry of an $ATTRIBUTE_LIST value: which record holds which attribute piece.
struct ListEntry {
    std::uint32_t type = 0;
    std::u16string name;
    std::uint64_t lowestVcn = 0;
    std::uint64_t reference = 0;
    std::uint16_t id = 0;
};

// The entries of an attribute list's value; stops at the first malformed one.
std::vector<ListEntry> parseAttributeList(std::span<const std::uint8_t> value);

}  // namespace streamscan::mft
