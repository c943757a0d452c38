#include "engine/image/ntfs_facts.h"

#include "engine/value_text.h"

namespace streamscan {
namespace {

// Bits of the standard information flags that Win32 attributes carry.
constexpr std::uint32_t kSiAttributeMask = 0x0FFFFFFF;

ItemTimes timesOf(const mft::Times& times) {
    return ItemTimes{timestampOfFileTime(times.created), timestampOfFileTime(times.modified),
                     timestampOfFileTime(times.changed), timestampOfFileTime(times.accessed)};
}

}  // namespace

ItemFacts itemFactsOf(bool folder, const mft::StandardInformation* standard,
                      std::uint64_t fallbackWrite, std::uint64_t size) {
    ItemFacts facts;
    if (standard != nullptr) {
        facts.lastWrite = standard->times.modified;
        facts.attributes = standard->flags & kSiAttributeMask;
    } else {
        facts.lastWrite = fallbackWrite;
    }
    if (folder) {
        facts.attributes |= kAttributeDirectory;
    } else {
        facts.attributes &= ~kAttributeDirectory;
        facts.size = size;
    }
    if (facts.attributes == 0) {
        facts.attributes = kAttributeNormal;  // as a Windows listing reports a plain file
    }
    return facts;
}

ItemDetails recordDetails(std::uint64_t entry, std::uint16_t sequence,
                          const mft::StandardInformation* standard, const mft::Times* nameTimes) {
    ItemDetails details;
    details.mftKnown = true;
    details.mftEntry = entry;
    details.mftSequence = sequence;
    if (standard != nullptr) {
        details.times = timesOf(standard->times);
    }
    if (nameTimes != nullptr) {
        details.fileNameTimes = timesOf(*nameTimes);
    }
    return details;
}

}  // namespace streamscan
