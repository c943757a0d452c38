// Listed stream names as a file system or a crafted volume may hand them over:
// the split loses nothing (name and type put together again give the listed
// text), and the name never holds a colon.
#include <cstdint>
#include <string>

#include "engine/stream_listing.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string listed = fuzzing::utf16Of(data, size);
    const auto [name, type] = streamscan::splitStreamName(listed);
    fuzzing::check(name.find(u':') == std::u16string::npos, "the name holds no colon");
    const std::u16string prefix = listed.substr(0, listed.rfind(u':', 0) == 0 ? 1 : 0);
    const bool typed = listed.find(u':', prefix.size()) != std::u16string::npos;
    fuzzing::check(prefix + name + (typed ? u":" + type : type) == listed,
                   "name and type give the listed text");
    return 0;
}
