#include "engine/image/mft_record.h"

namespace streamscan::mft {
namespace {

constexpr std::size_t kFixupStride = 512;  // fixups guard every 512 bytes, whatever the sector
constexpr std::size_t kRecordHeaderSize = 0x30;
constexpr std::uint32_t kEndOfAttributes = 0xFFFFFFFF;
constexpr std::uint16_t kFlagInUse = 0x0001;
constexpr std::uint16_t kFlagDirectory = 0x0002;
constexpr std::uint16_t kCompressionMask = 0x00FF;
constexpr std::uint16_t kFlagEncrypted = 0x4000;
constexpr std::uint16_t kFlagSparse = 0x8000;
constexpr std::size_t kResidentHeaderSize = 0x18;
constexpr std::size_t kNonResidentHeaderSize = 0x40;

// Little-endian field of `count` bytes at `at`; the caller has checked the bounds.
std::uint64_t field(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = count; i > 0; --i) {
        value = (value << 8) | bytes[at + i - 1];
    }
    return value;
}

// `count` UTF-16 units at `at`, or nothing when they leave `bytes`.
std::optional<std::u16string> utf16At(std::span<const std::uint8_t> bytes, std::size_t at,
                                      std::size_t count) {
    if (at > bytes.size() || count > (bytes.size() - at) / 2) {
        return std::nullopt;
    }
    std::u16string text(count, u'\0');
    for (std::size_t i = 0; i < count; ++i) {
        text[i] = static_cast<char16_t>(field(bytes, at + 2 * i, 2));
    }
    return text;
}

bool applyFixups(std::span<std::uint8_t> bytes) {
    const std::size_t offset = field(bytes, 0x04, 2);
    const std::size_t count = field(bytes, 0x06, 2);
    // One check value, then one saved pair per stride the record covers.
    if (count < 2 || (count - 1) * kFixupStride > bytes.size() ||
        offset + 2 * count > bytes.size()) {
        return false;
    }
    for (std::size_t i = 1; i < count; ++i) {
        const std::size_t end = i * kFixupStride - 2;
        if (bytes[end] != bytes[offset] || bytes[end + 1] != bytes[offset + 1]) {
            return false;
        }
        bytes[end] = bytes[offset + 2 * i];
        bytes[end + 1] = bytes[offset + 2 * i + 1];
    }
    return true;
}

// The header at `at` of `length` bytes, or nothing when it is malformed.
std::optional<Attribute> parseAttribute(std::span<const std::uint8_t> bytes, std::size_t at,
                                        std::size_t length) {
    const std::span<const std::uint8_t> header = bytes.subspan(at, length);
    Attribute attribute;
    attribute.type = static_cast<std::uint32_t>(field(header, 0x00, 4));
    attribute.resident = header[0x08] == 0;
    const std::uint16_t flags = static_cast<std::uint16_t>(field(header, 0x0C, 2));
    attribute.compressed = (flags & kCompressionMask) != 0;
    attribute.encrypted = (flags & kFlagEncrypted) != 0;
    attribute.sparse = (flags & kFlagSparse) != 0;
    attribute.id = static_cast<std::uint16_t>(field(header, 0x0E, 2));
    std::optional<std::u16string> name = utf16At(header, field(header, 0x0A, 2), header[0x09]);
    if (!name) {
        return std::nullopt;
    }
    attribute.name = std::move(*name);
    std::size_t valueAt = 0;
    if (attribute.resident) {
        if (length < kResidentHeaderSize) {
            return std::nullopt;
        }
        attribute.size = field(header, 0x10, 4);
        attribute.initializedSize = attribute.size;
        valueAt = field(header, 0x14, 2);
        attribute.valueLength = static_cast<std::size_t>(attribute.size);
    } else {
        if (length < kNonResidentHeaderSize) {
            return std::nullopt;
        }
        attribute.lowestVcn = field(header, 0x10, 8);
        valueAt = field(header, 0x20, 2);
        attribute.size = field(header, 0x30, 8);
        attribute.initializedSize = field(header, 0x38, 8);
        attribute.valueLength = valueAt <= length ? length - valueAt : 0;
    }
    if (valueAt > length || attribute.valueLength > length - valueAt) {
        return std::nullopt;
    }
    attribute.valueOffset = at + valueAt;
    return attribute;
}

}  // namespace

std::optional<Record> parseRecord(std::span<std::uint8_t> bytes) {
    Record record;
    if (!parseRecord(bytes, record)) {
        return std::nullopt;
    }
    return record;
}

bool parseRecord(std::span<std::uint8_t> bytes, Record& record) {
    if (bytes.size() < kRecordHeaderSize || field(bytes, 0, 4) != 0x454C4946 /* "FILE" */ ||
        !applyFixups(bytes)) {
        return false;
    }
    record.attributes.clear();
    record.complete = false;
    const std::uint16_t flags = static_cast<std::uint16_t>(field(bytes, 0x16, 2));
    record.inUse = (flags & kFlagInUse) != 0;
    record.directory = (flags & kFlagDirectory) != 0;
    record.sequence = static_cast<std::uint16_t>(field(bytes, 0x10, 2));
    record.baseReference = field(bytes, 0x20, 8);
    const std::size_t used = std::min<std::size_t>(field(bytes, 0x18, 4), bytes.size());
    std::size_t at = field(bytes, 0x14, 2);
    // Each header starts with its type and length; a length of zero or one that
    // runs past the used part ends the chain.
    while (at + 8 <= used) {
        const std::uint32_t type = static_cast<std::uint32_t>(field(bytes, at, 4));
        if (type == kEndOfAttributes) {
            record.complete = true;
            break;
        }
        const std::size_t length = field(bytes, at + 4, 4);
        if (length < kResidentHeaderSize || length > used - at || length % 8 != 0) {
            break;
        }
        std::optional<Attribute> attribute = parseAttribute(bytes, at, length);
        if (!attribute) {
            break;
        }
        record.attributes.push_back(std::move(*attribute));
        at += length;
    }
    return true;
}

std::optional<std::vector<Run>> decodeRuns(std::span<const std::uint8_t> pairs,
                                           std::uint64_t firstVcn) {
    std::vector<Run> runs;
    std::uint64_t vcn = firstVcn;
    std::int64_t lcn = 0;
    std::size_t at = 0;
    while (at < pairs.size() && pairs[at] != 0) {
        const std::size_t lengthBytes = pairs[at] & 0x0F;
        const std::size_t offsetBytes = pairs[at] >> 4;
        ++at;
        if (lengthBytes == 0 || lengthBytes > 8 || offsetBytes > 8 ||
            lengthBytes + offsetBytes > pairs.size() - at) {
            return std::nullopt;
        }
        Run run;
        run.vcn = vcn;
        run.length = field(pairs, at, lengthBytes);
        at += lengthBytes;
        if (offsetBytes == 0) {
            run.sparse = true;
        } else {
            std::uint64_t delta = field(pairs, at, offsetBytes);
            if (offsetBytes < 8 && (delta >> (8 * offsetBytes - 1)) != 0) {
                delta |= ~0ULL << (8 * offsetBytes);  // negative: extend the sign
            }
            at += offsetBytes;
            // Wrapping arithmetic, then a range check: no signed overflow.
            lcn = static_cast<std::int64_t>(static_cast<std::uint64_t>(lcn) + delta);
            if (lcn < 0) {
                return std::nullopt;
            }
            run.lcn = static_cast<std::uint64_t>(lcn);
        }
        if (run.length == 0 || run.length > ~0ULL - vcn) {
            return std::nullopt;
        }
        vcn += run.length;
        runs.push_back(run);
    }
    return runs;
}

std::vector<ListEntry> parseAttributeList(std::span<const std::uint8_t> value) {
    std::vector<ListEntry> entries;
    std::size_t at = 0;
    while (value.size() - at >= 0x1A) {
        const std::size_t length = field(value, at + 0x04, 2);
        if (length < 0x1A || length > value.size() - at) {
            break;
        }
        const std::span<const std::uint8_t> entry = value.subspan(at, length);
        std::optional<std::u16string> name = utf16At(entry, entry[0x07], entry[0x06]);
        if (!name) {
            break;
        }
        entries.push_back(ListEntry{static_cast<std::uint32_t>(field(entry, 0x00, 4)),
                                    std::move(*name), field(entry, 0x08, 8), field(entry, 0x10, 8),
                                    static_cast<std::uint16_t>(field(entry, 0x18, 2))});
        at += length;
    }
    return entries;
}

std::optional<StandardInformation> parseStandardInformation(std::span<const std::uint8_t> value) {
    if (value.size() < 0x24) {
        return std::nullopt;
    }
    StandardInformation info;
    info.times = Times{field(value, 0x00, 8), field(value, 0x08, 8), field(value, 0x10, 8),
                       field(value, 0x18, 8)};
    info.flags = static_cast<std::uint32_t>(field(value, 0x20, 4));
    return info;
}

std::optional<FileName> parseFileName(std::span<const std::uint8_t> value) {
    FileName fileName;
    if (!parseFileName(value, fileName)) {
        return std::nullopt;
    }
    return fileName;
}

bool parseFileName(std::span<const std::uint8_t> value, FileName& fileName) {
    if (value.size() < 0x42) {
        return false;
    }
    const std::size_t length = value[0x40];
    if (length > (value.size() - 0x42) / 2) {
        return false;
    }
    fileName.parent = field(value, 0x00, 8);
    fileName.times = Times{field(value, 0x08, 8), field(value, 0x10, 8), field(value, 0x18, 8),
                           field(value, 0x20, 8)};
    fileName.nameSpace = value[0x41];
    fileName.name.resize(length);
    for (std::size_t i = 0; i < length; ++i) {
        fileName.name[i] = static_cast<char16_t>(field(value, 0x42 + 2 * i, 2));
    }
    return true;
}

}  // namespace streamscan::mft
