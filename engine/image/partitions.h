// Which volumes a disk image holds: its partition table read through the
// library, and what each partition seems to be when no file system on it can
// be read.
#pragma once

#include <tsk/libtsk.h>

#include <string>
#include <vector>

namespace streamscan {

inline constexpr char16_t kReservedNote[] = u"a Microsoft reserved partition, which holds no files";

// One partition (or the whole image) as discovery found it.
struct FoundVolume {
    std::u16string root;         // IMAGE//pN
    TSK_FS_INFO* fs = nullptr;   // null: no file system could be opened; the caller closes it
    bool looksLikeNtfs = false;  // then a failure to open is damage, not absence
    std::u16string seen;         // what a volume without a file system seems to be ("BitLocker")
    bool reserved = false;       // holds no files by its type: not scanned, said once
};

struct FoundPartitions {
    TSK_VS_INFO* vs = nullptr;  // the partition table; null when the image has none
    // With a table, one per partition that holds data, in disk order (pN is the
    // Nth); without, the one file system that fills the image, if any.
    std::vector<FoundVolume> volumes;
};

// A partition's type: on GPT its type GUID ("EBD0A0A2-B9E5-4433-87C0-68B6B72699C7"),
// elsewhere as the library names it ("NTFS / exFAT (0x07)").
std::u16string partitionTypeOf(TSK_VS_INFO* vs, const TSK_VS_PART_INFO* part);

// Whether a table entry is a partition (pN) and not free space or the table itself.
bool holdsData(const TSK_VS_PART_INFO* part);

// `imagePath` in the form roots are written with.
FoundPartitions findVolumes(TSK_IMG_INFO* img, const std::u16string& imagePath);

// The file system's name as a volume query gives it ("NTFS", "FAT32").
std::u16string fileSystemNameOf(TSK_FS_TYPE_ENUM type);

}  // namespace streamscan
