#include "engine/posix/name_codec.h"

#include "engine/unicode.h"

namespace streamscan {

std::string bytesOf(std::u16string_view text) {
    std::string bytes(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] >= 0x80)
            return encodeName(text);
        bytes[i] = static_cast<char>(text[i]);
    }
    return bytes;
}

std::u16string textOf(std::string_view bytes) {
    std::u16string text(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return decodeName(bytes);
        text[i] = static_cast<char16_t>(bytes[i]);
    }
    return text;
}

}  // namespace streamscan
