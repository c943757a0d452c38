// What the image port reads of an NTFS item straight from its file records,
// where the library gives less: the $DATA streams of an item whose attributes
// the library refuses to load (a sparse run longer than the volume, say), and
// a name exactly as stored when the library's text has lost part of it.
// Called on the scanning thread, with the volume's library handle.
#pragma once

#include <tsk/libtsk.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/image/mft_record.h"

namespace streamscan {

// One $DATA stream as the headers of the item's records declare it.
struct DeclaredStream {
    std::u16string name;  // empty: the unnamed stream
    std::uint16_t id = 0;
    std::uint64_t size = 0;
    std::uint64_t initializedSize = 0;
    bool resident = false;
    // Its content can be read from what the headers give: not compressed or
    // encrypted, and its runs decoded.
    bool readable = false;
    std::vector<std::uint8_t> value;  // resident content
    std::vector<mft::Run> runs;       // in order of their virtual clusters
};

// The streams of an item, and whether its records could be read whole.
struct DeclaredStreams {
    // 0: every record was read; kErrorFileCorrupt with `streams` empty: nothing
    // could be; with streams: some records or headers could not be.
    std::uint32_t error = 0;
    std::vector<DeclaredStream> streams;
};

// The size of the volume's file records from its boot sector; 0 when it gives
// none this can believe.
std::uint32_t mftRecordSize(TSK_FS_INFO* fs);

class RecordReader {
  public:
    explicit RecordReader(TSK_FS_INFO* fs);
    ~RecordReader();
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    // The $DATA streams of the item whose base record is `entry`.
    DeclaredStreams declaredStreams(std::uint64_t entry);

    // The name the record `entry` holds for the link in folder `parent` whose
    // text the library gave as `shown` (where it replaced a lone surrogate);
    // `shown` itself when the record holds no such name.
    std::u16string exactName(std::uint64_t entry, std::uint64_t parent,
                             const std::u16string& shown);

    // A reader of a stream's content; null when it cannot be read.
    std::unique_ptr<StreamReader> open(const DeclaredStream& stream) const;

  private:
    bool readRecord(std::uint64_t entry, std::vector<std::uint8_t>& bytes);

    TSK_FS_INFO* fs;
    TSK_FS_FILE* mft = nullptr;  // opened when first needed
    std::uint32_t recordSize = 0;
};

}  // namespace streamscan
