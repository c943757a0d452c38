// Listed stream names as a file system or a crafted volume may hand them over.
// The split must lose nothing (name and type put together again give the listed
// text), the name never holds a colon, and only the unnamed data and index
// streams count as the main stream.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/stream_listing.h"
#include "fuzz/fuzz_support.h"

using fuzzing::check;
using namespace streamscan;

namespace {

void checkSplit(const std::u16string& listed) {
    const auto [name, type] = splitStreamName(listed);
    check(name.find(u':') == std::u16string::npos, "the name holds no colon");

    const std::size_t start = !listed.empty() && listed.front() == u':' ? 1 : 0;
    const std::u16string prefix = listed.substr(0, start);
    if (listed.find(u':', start) != std::u16string::npos) {
        check(prefix + name + u":" + type == listed, "name and type give the listed text");
    } else {
        check(type.empty() && prefix + name == listed, "a name without a type is the rest");
    }

    const bool main =
        name.empty() && (type.empty() || fuzzing::sameIgnoringAsciiCase(type, u"$DATA") ||
                         fuzzing::sameIgnoringAsciiCase(type, u"$INDEX_ALLOCATION"));
    check(isMainStream(name, type) == main, "only the unnamed data or index stream is main");
}

// The Linux port lists every attribute as ":NAME:TYPE"; any NAME without a colon
// and any TYPE come back as they went in.
void checkListedForm(std::u16string_view text) {
    const std::size_t half = text.size() / 2;
    std::u16string name;
    for (const char16_t c : text.substr(0, half)) {
        if (c != u':') {
            name.push_back(c);
        }
    }
    const std::u16string type(text.substr(half));
    const auto [splitName, splitType] = splitStreamName(u":" + name + u":" + type);
    check(splitName == name && splitType == type, "a listed :NAME:TYPE splits back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = fuzzing::utf16Of(data, size);
    checkSplit(text);
    checkListedForm(text);
    return 0;
}
