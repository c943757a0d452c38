// What a disk image held as the image port read it: its container, its size,
// its partition table and the files it was read from. The extraction manifest
// records it, so copies can be traced to the evidence they came from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace streamscan {

struct PartitionLayout {
    std::uint32_t index = 0;   // N of the roots' IMAGE//pN
    std::uint64_t start = 0;   // in sectors of the table's sector size
    std::uint64_t length = 0;  // in sectors
    std::u16string type;       // "NTFS / exFAT (0x07)"; a GPT type GUID
    std::u16string name;       // a GPT partition's own name, if it has one
};

// One file the image is read from (a split image or an evidence set has several).
struct ImageFileFacts {
    std::u16string path;
    std::uint64_t size = 0;
    std::string sha256;        // lowercase hex, when taken
    std::u16string hashError;  // why it could not be taken
};

struct ImageLayout {
    std::u16string path;       // as the roots write it
    std::u16string container;  // "raw", "ewf", "vmdk", "vhd", "qcow2"
    std::uint64_t size = 0;    // bytes of the disk it holds
    std::uint32_t sectorSize = 0;
    std::u16string table;                     // "dos", "gpt", ...; empty when it has none
    std::vector<PartitionLayout> partitions;  // those that hold data, in disk order
    std::vector<ImageFileFacts> files;
};

}  // namespace streamscan
