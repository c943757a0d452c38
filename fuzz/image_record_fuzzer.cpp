// Parses any bytes as an MFT record, and the run lists and attribute lists its
// headers point at: nothing reads outside the bytes, and every value a header
// names lies inside them.
#include <span>
#include <vector>

#include "engine/image/mft_record.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace mft = streamscan::mft;
    std::vector<std::uint8_t> bytes(data, data + size);
    if (const auto record = mft::parseRecord(bytes)) {
        for (const mft::Attribute& attribute : record->attributes) {
            fuzzing::check(attribute.valueOffset <= bytes.size() &&
                               attribute.valueLength <= bytes.size() - attribute.valueOffset,
                           "a value inside the record");
            const std::span<const std::uint8_t> value(bytes.data() + attribute.valueOffset,
                                                      attribute.valueLength);
            if (attribute.resident) {
                mft::parseAttributeList(value);
            } else if (const auto runs = mft::decodeRuns(value, attribute.lowestVcn)) {
                for (const mft::Run& run : *runs)
                    fuzzing::check(run.length != 0, "no empty run");
            }
        }
    }
    return 0;
}
