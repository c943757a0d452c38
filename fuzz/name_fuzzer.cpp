// Names as a file system or a crafted volume may hand them over.
//
// Linux names are bytes, and any bytes are a name. Reading one must lead back to
// exactly the same bytes (or the scan reaches a different file), must keep valid
// UTF-8 as its real text, and must show on the terminal as valid UTF-8.
//
// A listed stream name splits without losing anything (name and type put
// together again give the listed text), and the type never holds a colon: it is
// what follows the last one, so a name that holds colons stays whole.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/stream_listing.h"
#include "engine/unicode.h"
#include "fuzz/fuzz_support.h"

using fuzzing::check;
using namespace streamscan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzzing::bytesOf(data, size);
    const std::u16string name = decodeName(bytes);
    check(encodeName(name) == bytes, "decodeName/encodeName round trip");
    std::u16string text;
    if (decodeUtf8Strict(bytes, text)) {
        check(text == name, "valid UTF-8 reads as its text");
        check(utf8ForDisplay(name) == bytes, "valid UTF-8 shows as itself");
    } else {
        const auto marked = [](char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; };
        check(std::any_of(name.begin(), name.end(), marked), "invalid bytes leave a visible trace");
    }
    check(decodeUtf8Strict(utf8ForDisplay(name), text), "the terminal gets valid UTF-8");
    const std::u16string listed = fuzzing::utf16Of(data, size);
    check(decodeUtf8Strict(utf8ForDisplay(listed), text), "any text shows as valid UTF-8");

    const auto [streamName, type] = splitStreamName(listed);
    check(type.find(u':') == std::u16string::npos, "the type holds no colon");
    const std::u16string prefix = listed.substr(0, listed.rfind(u':', 0) == 0 ? 1 : 0);
    const bool typed = listed.find(u':', prefix.size()) != std::u16string::npos;
    check(prefix + streamName + (typed ? u":" + type : type) == listed,
          "name and type give the listed text");
    return 0;
}
