#include "engine/image/record_streams.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace streamscan {
namespace {

// Attribute lists are a few KiB at most; a larger declared size is damage.
constexpr std::uint64_t kAttributeListLimit = 4 * 1024 * 1024;

// The text the library makes of a UTF-16 name: a lone surrogate becomes '^'.
std::u16string asTheLibraryShowsIt(const std::u16string& name) {
    std::u16string shown = name;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const char16_t c = shown[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < shown.size() && shown[i + 1] >= 0xDC00 &&
            shown[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            shown[i] = u'^';
        }
    }
    return shown;
}

class DeclaredReader final : public StreamReader {
  public:
    DeclaredReader(TSK_FS_INFO* fs, DeclaredStream stream) : fs(fs), stream(std::move(stream)) {}

    std::uint32_t read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) override {
        got = 0;
        if (offset >= stream.size || size == 0) {
            return kErrorSuccess;
        }
        std::uint64_t want = std::min<std::uint64_t>(size, stream.size - offset);
        if (stream.resident) {
            if (offset + want > stream.value.size()) {
                return kErrorFileCorrupt;
            }
            std::memcpy(buffer, stream.value.data() + offset, static_cast<std::size_t>(want));
        } else if (const std::uint32_t error = readRuns(buffer, want); error != kErrorSuccess) {
            return error;
        }
        offset += want;
        got = static_cast<std::uint32_t>(want);
        return kErrorSuccess;
    }

  private:
    // Reads from one run at most; `want` shrinks to what was read.
    std::uint32_t readRuns(std::uint8_t* buffer, std::uint64_t& want) const {
        const std::uint64_t cluster = fs->block_size;
        if (cluster == 0) {
            return kErrorFileCorrupt;
        }
        const std::uint64_t vcn = offset / cluster;
        const auto run =
            std::find_if(stream.runs.begin(), stream.runs.end(),
                         [&](const mft::Run& r) { return r.vcn <= vcn && vcn - r.vcn < r.length; });
        if (run == stream.runs.end()) {
            return kErrorFileCorrupt;  // no run maps this part of the stream
        }
        const std::uint64_t clustersLeft = run->length - (vcn - run->vcn);
        if (clustersLeft <= (std::numeric_limits<std::uint64_t>::max() >> 20)) {
            want = std::min(want, clustersLeft * cluster - offset % cluster);
        }
        if (offset < stream.initializedSize) {
            want = std::min(want, stream.initializedSize - offset);
        }
        if (run->sparse || offset >= stream.initializedSize) {
            std::memset(buffer, 0, static_cast<std::size_t>(want));
            return kErrorSuccess;
        }
        const std::uint64_t lcn = run->lcn + (vcn - run->vcn);
        if (lcn < run->lcn || lcn > fs->last_block) {
            return kErrorFileCorrupt;
        }
        const ssize_t read =
            tsk_fs_read(fs, static_cast<TSK_OFF_T>(lcn * cluster + offset % cluster),
                        reinterpret_cast<char*>(buffer), static_cast<std::size_t>(want));
        if (read != static_cast<ssize_t>(want)) {
            tsk_error_reset();
            return kErrorFileCorrupt;
        }
        return kErrorSuccess;
    }

    TSK_FS_INFO* fs;
    DeclaredStream stream;
    std::uint64_t offset = 0;
};

// A stream while its pieces are gathered from the records.
struct Gathering {
    DeclaredStream stream;
    bool firstPiece = false;  // the piece that declares the size was met
    bool blocked = false;     // compressed or encrypted: not readable from here
    bool runsDecoded = true;
};

void gather(const mft::Record& record, std::span<const std::uint8_t> bytes,
            std::vector<Gathering>& streams) {
    for (const mft::Attribute& attribute : record.attributes) {
        if (attribute.type != mft::kTypeData) {
            continue;
        }
        auto found = std::find_if(streams.begin(), streams.end(), [&](const Gathering& g) {
            return g.stream.name == attribute.name;
        });
        if (found == streams.end()) {
            streams.push_back(Gathering{});
            found = std::prev(streams.end());
            found->stream.name = attribute.name;
        }
        const std::span<const std::uint8_t> value =
            bytes.subspan(attribute.valueOffset, attribute.valueLength);
        if (attribute.lowestVcn == 0) {
            found->firstPiece = true;
            found->stream.id = attribute.id;
            found->stream.size = attribute.size;
            found->stream.initializedSize = attribute.initializedSize;
            found->stream.resident = attribute.resident;
            found->blocked = attribute.compressed || attribute.encrypted;
            if (attribute.resident) {
                found->stream.value.assign(value.begin(), value.end());
            }
        }
        if (!attribute.resident) {
            const auto runs = mft::decodeRuns(value, attribute.lowestVcn);
            if (runs) {
                found->stream.runs.insert(found->stream.runs.end(), runs->begin(), runs->end());
            } else {
                found->runsDecoded = false;
            }
        }
    }
}

}  // namespace

std::uint32_t mftRecordSize(TSK_FS_INFO* fs) {
    // Clusters per record, or when negative, 2 to the power of its magnitude in bytes.
    std::uint8_t boot[0x48] = {};
    if (tsk_fs_read(fs, 0, reinterpret_cast<char*>(boot), sizeof boot) !=
        static_cast<ssize_t>(sizeof boot)) {
        tsk_error_reset();
        return 0;
    }
    const auto perRecord = static_cast<std::int8_t>(boot[0x40]);
    const std::uint64_t size = perRecord > 0      ? std::uint64_t{fs->block_size} * perRecord
                               : perRecord >= -16 ? std::uint64_t{1} << -perRecord
                                                  : 0;
    return size < 512 || size > 65536 ? 0 : static_cast<std::uint32_t>(size);
}

RecordReader::RecordReader(TSK_FS_INFO* fs) : fs(fs) {}

RecordReader::~RecordReader() {
    if (mft != nullptr) {
        tsk_fs_file_close(mft);
    }
}

bool RecordReader::readRecord(std::uint64_t entry, std::vector<std::uint8_t>& bytes) {
    if (recordSize == 0) {
        recordSize = mftRecordSize(fs);
        if (recordSize == 0) {
            return false;
        }
    }
    if (mft == nullptr) {
        mft = tsk_fs_file_open_meta(fs, nullptr, 0);
        if (mft == nullptr) {
            tsk_error_reset();
            return false;
        }
    }
    if (entry > static_cast<std::uint64_t>(std::numeric_limits<TSK_OFF_T>::max()) / recordSize) {
        return false;
    }
    bytes.assign(recordSize, 0);
    const ssize_t read = tsk_fs_file_read(mft, static_cast<TSK_OFF_T>(entry * recordSize),
                                          reinterpret_cast<char*>(bytes.data()), recordSize,
                                          TSK_FS_FILE_READ_FLAG_NONE);
    tsk_error_reset();
    return read == static_cast<ssize_t>(recordSize);
}

DeclaredStreams RecordReader::declaredStreams(std::uint64_t entry) {
    DeclaredStreams result;
    std::vector<std::uint8_t> bytes;
    std::optional<mft::Record> base;
    if (readRecord(entry, bytes)) {
        base = mft::parseRecord(bytes);
    }
    if (!base) {
        result.error = kErrorFileCorrupt;
        return result;
    }
    bool whole = base->complete;
    std::vector<Gathering> streams;
    gather(*base, bytes, streams);

    // An item with many attributes keeps some in extension records, which its
    // attribute list names.
    std::vector<std::uint64_t> extensions;
    for (const mft::Attribute& attribute : base->attributes) {
        if (attribute.type != mft::kTypeAttributeList) {
            continue;
        }
        std::vector<std::uint8_t> list;
        if (attribute.resident) {
            const auto value = std::span<const std::uint8_t>(bytes).subspan(attribute.valueOffset,
                                                                            attribute.valueLength);
            list.assign(value.begin(), value.end());
        } else {
            const auto runs = mft::decodeRuns(std::span<const std::uint8_t>(bytes).subspan(
                                                  attribute.valueOffset, attribute.valueLength),
                                              0);
            std::uint32_t got = 0;
            if (!runs || attribute.size > kAttributeListLimit || attribute.compressed ||
                attribute.encrypted) {
                whole = false;
                continue;
            }
            DeclaredStream asStream;
            asStream.size = attribute.size;
            asStream.initializedSize = attribute.initializedSize;
            asStream.runs = *runs;
            DeclaredReader reader(fs, std::move(asStream));
            list.resize(static_cast<std::size_t>(attribute.size));
            for (std::size_t at = 0; at < list.size(); at += got) {
                if (reader.read(list.data() + at, static_cast<std::uint32_t>(list.size() - at),
                                got) != kErrorSuccess ||
                    got == 0) {
                    list.resize(at);
                    whole = false;
                    break;
                }
            }
        }
        for (const mft::ListEntry& listed : mft::parseAttributeList(list)) {
            const std::uint64_t other = mft::entryOf(listed.reference);
            if (other != entry &&
                std::find(extensions.begin(), extensions.end(), other) == extensions.end()) {
                extensions.push_back(other);
            }
        }
    }
    for (const std::uint64_t other : extensions) {
        std::vector<std::uint8_t> more;
        std::optional<mft::Record> record;
        if (readRecord(other, more)) {
            record = mft::parseRecord(more);
        }
        if (!record || mft::entryOf(record->baseReference) != entry) {
            whole = false;
            continue;
        }
        whole = whole && record->complete;
        gather(*record, more, streams);
    }

    for (Gathering& gathered : streams) {
        std::sort(gathered.stream.runs.begin(), gathered.stream.runs.end(),
                  [](const mft::Run& a, const mft::Run& b) { return a.vcn < b.vcn; });
        gathered.stream.readable = gathered.firstPiece && !gathered.blocked &&
                                   (gathered.stream.resident || gathered.runsDecoded);
        whole = whole && gathered.firstPiece;
        result.streams.push_back(std::move(gathered.stream));
    }
    result.error = whole ? kErrorSuccess : kErrorFileCorrupt;
    return result;
}

std::u16string RecordReader::exactName(std::uint64_t entry, std::uint64_t parent,
                                       const std::u16string& shown) {
    std::vector<std::uint8_t> bytes;
    std::optional<mft::Record> record;
    if (readRecord(entry, bytes)) {
        record = mft::parseRecord(bytes);
    }
    if (!record) {
        return shown;
    }
    // The record's long names in that folder (not the 8.3 names) that the
    // library could have shown so: the library's text is not always the same
    // length (it may drop the unit after a lone surrogate), so a single
    // candidate is taken as it is.
    std::vector<std::u16string> candidates;
    for (const mft::Attribute& attribute : record->attributes) {
        if (attribute.type != mft::kTypeFileName || !attribute.resident) {
            continue;
        }
        std::optional<mft::FileName> fileName =
            mft::parseFileName(std::span<const std::uint8_t>(bytes).subspan(attribute.valueOffset,
                                                                            attribute.valueLength));
        if (!fileName || fileName->nameSpace == mft::kDosNames ||
            mft::entryOf(fileName->parent) != parent) {
            continue;
        }
        std::u16string& name = fileName->name;
        if (name == shown || asTheLibraryShowsIt(name) == shown) {
            return name;
        }
        if (asTheLibraryShowsIt(name) != name) {
            candidates.push_back(std::move(name));
        }
    }
    return candidates.size() == 1 ? candidates.front() : shown;
}

std::unique_ptr<StreamReader> RecordReader::open(const DeclaredStream& stream) const {
    if (!stream.readable) {
        return nullptr;
    }
    return std::make_unique<DeclaredReader>(fs, stream);
}

}  // namespace streamscan
