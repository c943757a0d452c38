// Linux names are bytes, and any bytes are a name. Reading one must lead back to
// exactly the same bytes (or the scan reaches a different file), must keep valid
// UTF-8 as its real text, and must show on the terminal as valid UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/unicode.h"
#include "fuzz/fuzz_support.h"

using fuzzing::check;
using namespace streamscan;

namespace {

void checkBytes(std::string_view bytes) {
    const std::u16string name = decodeName(bytes);
    check(encodeName(name) == bytes, "decodeName/encodeName round trip");

    for (std::size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
            name[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        check(!fuzzing::isSurrogate(c) || (c >= 0xDC80 && c <= 0xDCFF),
              "lone surrogates only in U+DC80..U+DCFF");
    }

    std::u16string strict;
    if (fuzzing::isStrictUtf8(bytes)) {
        check(decodeUtf8Strict(bytes, strict), "strict decoder accepts valid UTF-8");
        check(strict == name, "valid UTF-8 reads as its text");
        check(utf8ForDisplay(name) == bytes, "valid UTF-8 shows as itself");
    } else {
        check(!decodeUtf8Strict(bytes, strict) && strict.empty(),
              "strict decoder rejects invalid UTF-8");
        check(fuzzing::hasLoneSurrogate(name), "invalid bytes leave a visible trace");
    }
    check(fuzzing::isStrictUtf8(utf8ForDisplay(name)), "the terminal gets valid UTF-8");
}

// Text that came from elsewhere (a path typed on the command line, a CSV value):
// whole code points survive the way to bytes and back.
void checkText(std::u16string_view text) {
    check(fuzzing::isStrictUtf8(utf8ForDisplay(text)), "the terminal gets valid UTF-8");
    if (!fuzzing::hasLoneSurrogate(text)) {
        const std::string bytes = encodeName(text);
        check(fuzzing::isStrictUtf8(bytes), "whole code points encode as valid UTF-8");
        check(decodeName(bytes) == text, "whole code points survive encodeName/decodeName");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkBytes(fuzzing::bytesOf(data, size));
    checkText(fuzzing::utf16Of(data, size));
    return 0;
}
