// Parses any bytes as MFT records, and the run lists, attribute lists, names
// and times their headers point at: nothing reads outside the bytes, and every
// value a header names lies inside them. The same bytes, cut into 1 KiB
// records numbered from 0, then build a volume's tree in one pass: every
// folder's names are found again by name.
#include <set>
#include <span>
#include <vector>

#include "engine/image/mft_record.h"
#include "engine/image/volume_index.h"
#include "fuzz/fuzz_support.h"

namespace {

namespace mft = streamscan::mft;

void parseOne(std::vector<std::uint8_t> bytes) {
    const auto record = mft::parseRecord(bytes);
    if (!record)
        return;
    for (const mft::Attribute& attribute : record->attributes) {
        fuzzing::check(attribute.valueOffset <= bytes.size() &&
                           attribute.valueLength <= bytes.size() - attribute.valueOffset,
                       "a value inside the record");
        const std::span<const std::uint8_t> value(bytes.data() + attribute.valueOffset,
                                                  attribute.valueLength);
        if (attribute.resident) {
            mft::parseAttributeList(value);
            mft::parseStandardInformation(value);
            if (const auto name = mft::parseFileName(value))
                fuzzing::check(0x42 + 2 * name->name.size() <= value.size(), "a name inside");
        } else if (const auto runs = mft::decodeRuns(value, attribute.lowestVcn)) {
            for (const mft::Run& run : *runs)
                fuzzing::check(run.length != 0, "no empty run");
        }
    }
}

void buildTree(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kRecord = 1024;
    streamscan::IndexBuilder builder(size % 2 == 1);
    for (std::size_t at = 0; at + kRecord <= size; at += kRecord) {
        std::vector<std::uint8_t> bytes(data + at, data + at + kRecord);
        builder.add(at / kRecord, bytes, (at / kRecord) % 3 != 0);
    }
    const auto index = builder.finish();
    if (!index)
        return;
    // As the walk does: a folder is listed once, whichever entry reaches it.
    std::set<const streamscan::IndexedItem*> listed{&index->itemOf(0)};
    std::vector<std::uint32_t> folders{0};
    while (!folders.empty()) {
        const std::uint32_t folder = folders.back();
        folders.pop_back();
        const streamscan::IndexedItem& item = index->itemOf(folder);
        for (std::uint32_t e = item.firstChild; e < item.firstChild + item.childCount; ++e) {
            fuzzing::check(index->child(folder, index->nameOf(e)) == e, "found by name");
            if (index->itemOf(e).directory && listed.insert(&index->itemOf(e)).second)
                folders.push_back(e);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    parseOne(std::vector<std::uint8_t>(data, data + size));
    buildTree(data, size);
    return 0;
}
