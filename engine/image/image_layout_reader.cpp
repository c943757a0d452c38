#include "engine/image/image_layout_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include "engine/image/partitions.h"
#include "engine/image/qcow_image.h"
#include "engine/unicode.h"

namespace streamscan {
namespace {

std::u16string containerName(TSK_IMG_INFO* img) {
    switch (img->itype) {
        case TSK_IMG_TYPE_EWF_EWF:
            return u"ewf";
        case TSK_IMG_TYPE_VMDK_VMDK:
            return u"vmdk";
        case TSK_IMG_TYPE_VHD_VHD:
            return u"vhd";
        case TSK_IMG_TYPE_EXTERNAL:
            return qcowContainerName(img);
        default:
            return u"raw";
    }
}

// Bytes of a file or block device (whose size stat does not give).
std::uint64_t sizeOf(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return 0;
    const off_t end = lseek(fd, 0, SEEK_END);
    close(fd);
    return end < 0 ? 0 : static_cast<std::uint64_t>(end);
}

}  // namespace

ImageLayout readLayout(const std::u16string& path, TSK_IMG_INFO* img, TSK_VS_INFO* vs) {
    ImageLayout layout;
    layout.path = path;
    layout.container = containerName(img);
    layout.size = static_cast<std::uint64_t>(img->size);
    layout.sectorSize = img->sector_size;
    // The library names the files it reads; an external image names none.
    for (int i = 0; i < img->num_img && img->images != nullptr; ++i) {
        layout.files.push_back({decodeName(img->images[i]), sizeOf(img->images[i]), {}, {}});
    }
    if (layout.files.empty())
        layout.files.push_back({path, sizeOf(encodeName(path)), {}, {}});
    if (vs == nullptr)
        return layout;
    layout.table = decodeName(tsk_vs_type_toname(vs->vstype));
    layout.sectorSize = vs->block_size;
    std::uint32_t index = 0;
    for (TSK_PNUM_T i = 0; i < vs->part_count; ++i) {
        const TSK_VS_PART_INFO* part = tsk_vs_part_get(vs, i);
        if (!holdsData(part))
            continue;
        PartitionLayout entry{++index, part->start, part->len, partitionTypeOf(vs, part), {}};
        if (vs->vstype == TSK_VS_TYPE_GPT && part->desc != nullptr)
            entry.name = decodeName(part->desc);
        layout.partitions.push_back(std::move(entry));
    }
    return layout;
}

}  // namespace streamscan
