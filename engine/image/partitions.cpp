#include "engine/image/partitions.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "engine/byte_order.h"
#include "engine/unicode.h"

namespace streamscan {
namespace {

// What a volume whose file system the library cannot read seems to be, from the
// signature it starts with: "BitLocker", "LUKS", or empty.
std::u16string encryptionOf(TSK_IMG_INFO* img, TSK_OFF_T offset) {
    char head[16] = {};
    if (tsk_img_read(img, offset, head, sizeof head) != static_cast<ssize_t>(sizeof head)) {
        tsk_error_reset();
        return {};
    }
    if (std::memcmp(head + 3, "-FVE-FS-", 8) == 0) {
        return u"BitLocker";
    }
    if (std::memcmp(head, "LUKS\xba\xbe", 6) == 0) {
        return u"LUKS";
    }
    return {};
}

// A GPT type GUID as stored (its first three fields little-endian).
using GuidBytes = std::array<std::uint8_t, 16>;

// The type of the GPT entry of the partition that starts at sector `start`;
// nothing on other tables or when the entries cannot be read.
std::optional<GuidBytes> gptTypeBytes(TSK_VS_INFO* vs, TSK_DADDR_T start) {
    if (vs->vstype != TSK_VS_TYPE_GPT) {
        return std::nullopt;
    }
    std::uint8_t header[92] = {};
    const TSK_OFF_T sector = vs->block_size;
    if (tsk_img_read(vs->img_info, vs->offset + sector, reinterpret_cast<char*>(header),
                     sizeof header) != static_cast<ssize_t>(sizeof header)) {
        tsk_error_reset();
        return std::nullopt;
    }
    const std::uint64_t table = littleEndian(header + 0x48, 8);
    const std::uint64_t count = std::min<std::uint64_t>(littleEndian(header + 0x50, 4), 1024);
    const std::uint64_t size = littleEndian(header + 0x54, 4);
    if (size < 48 || size > 4096 || table > (std::uint64_t{1} << 40)) {
        return std::nullopt;
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint8_t entry[48] = {};
        if (tsk_img_read(vs->img_info,
                         vs->offset + static_cast<TSK_OFF_T>(table * sector + i * size),
                         reinterpret_cast<char*>(entry),
                         sizeof entry) != static_cast<ssize_t>(sizeof entry)) {
            tsk_error_reset();
            return std::nullopt;
        }
        if (littleEndian(entry + 0x20, 8) == start) {
            GuidBytes type;
            std::memcpy(type.data(), entry, type.size());
            return type;
        }
    }
    return std::nullopt;
}

// Whether the partition that starts at sector `start` has the Microsoft
// reserved type (E3C9E316-0B5C-4DB8-817D-F92DF00215AE, as stored).
bool isMicrosoftReserved(TSK_VS_INFO* vs, TSK_DADDR_T start) {
    static constexpr GuidBytes kReservedType = {0x16, 0xE3, 0xC9, 0xE3, 0x5C, 0x0B, 0xB8, 0x4D,
                                                0x81, 0x7D, 0xF9, 0x2D, 0xF0, 0x02, 0x15, 0xAE};
    return gptTypeBytes(vs, start) == kReservedType;
}

// NTFS boot sectors carry "NTFS    " at offset 3.
bool startsLikeNtfs(TSK_IMG_INFO* img, TSK_OFF_T offset) {
    char boot[16] = {};
    if (tsk_img_read(img, offset, boot, sizeof boot) != static_cast<ssize_t>(sizeof boot)) {
        tsk_error_reset();
        return false;
    }
    return std::memcmp(boot + 3, "NTFS    ", 8) == 0;
}

}  // namespace

std::u16string fileSystemNameOf(TSK_FS_TYPE_ENUM type) {
    switch (type) {
        case TSK_FS_TYPE_NTFS:
            return u"NTFS";
        case TSK_FS_TYPE_FAT12:
            return u"FAT12";
        case TSK_FS_TYPE_FAT16:
            return u"FAT16";
        case TSK_FS_TYPE_FAT32:
            return u"FAT32";
        case TSK_FS_TYPE_EXFAT:
            return u"exFAT";
        default:
            return decodeName(tsk_fs_type_toname(type));
    }
}

std::u16string partitionTypeOf(TSK_VS_INFO* vs, const TSK_VS_PART_INFO* part) {
    const std::optional<GuidBytes> type = gptTypeBytes(vs, part->start);
    if (!type.has_value()) {
        return decodeName(part->desc != nullptr ? part->desc : "");
    }
    // Written as GUIDs are: the first three fields in the order they are read.
    static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string text;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text += u'-';
        }
        text += kDigits[(*type)[kOrder[i]] >> 4];
        text += kDigits[(*type)[kOrder[i]] & 0xF];
    }
    return text;
}

bool holdsData(const TSK_VS_PART_INFO* part) {
    return part != nullptr && (part->flags & TSK_VS_PART_FLAG_ALLOC) != 0;
}

FoundPartitions findVolumes(TSK_IMG_INFO* img, const std::u16string& imagePath) {
    FoundPartitions found;
    // A GPT disk also carries a protective DOS table; asked for GPT first, the
    // library never builds (and leaks) the DOS reading it would drop.
    found.vs = tsk_vs_open(img, 0, TSK_VS_TYPE_GPT);
    if (found.vs == nullptr) {
        tsk_error_reset();
        found.vs = tsk_vs_open(img, 0, TSK_VS_TYPE_DETECT);
    }
    if (found.vs == nullptr) {
        tsk_error_reset();
        FoundVolume volume;
        volume.root = imagePath + u"//p0";
        volume.fs = tsk_fs_open_img(img, 0, TSK_FS_TYPE_DETECT);
        if (volume.fs == nullptr) {
            volume.seen = encryptionOf(img, 0);
            volume.looksLikeNtfs = startsLikeNtfs(img, 0);
        }
        tsk_error_reset();
        if (volume.fs != nullptr || volume.looksLikeNtfs || !volume.seen.empty()) {
            found.volumes.push_back(std::move(volume));
        }
        return found;
    }
    for (TSK_PNUM_T i = 0; i < found.vs->part_count; ++i) {
        const TSK_VS_PART_INFO* part = tsk_vs_part_get(found.vs, i);
        if (!holdsData(part)) {
            continue;
        }
        FoundVolume volume;
        volume.root = imagePath + u"//p" + widenAscii(std::to_string(found.volumes.size() + 1));
        if (isMicrosoftReserved(found.vs, part->start)) {
            volume.reserved = true;
            found.volumes.push_back(std::move(volume));
            continue;
        }
        volume.fs = tsk_fs_open_vol(part, TSK_FS_TYPE_DETECT);
        const TSK_OFF_T start = static_cast<TSK_OFF_T>(part->start) * found.vs->block_size;
        if (volume.fs == nullptr) {
            volume.looksLikeNtfs = startsLikeNtfs(img, start);
            volume.seen = encryptionOf(img, start);
        }
        tsk_error_reset();
        found.volumes.push_back(std::move(volume));
    }
    return found;
}

}  // namespace streamscan
