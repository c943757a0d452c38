#include "engine/posix/dos_attributes.h"

#include <cstddef>

namespace streamscan {
namespace {

// Samba marks which fields of versions 3 to 5 hold a value; bit 0 is the attributes.
constexpr std::uint32_t kValidAttributes = 0x1;

std::uint32_t littleEndian(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

// "0x" and hex digits, up to the first byte that is not one.
bool parseHexText(std::string_view text, std::uint32_t& attributes) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    std::uint32_t value = 0;
    std::size_t digits = 0;
    for (std::size_t i = 2; i < text.size() && digits < 8; ++i, ++digits) {
        const char c = text[i];
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            break;
        value = (value << 4) | digit;
    }
    if (digits == 0)
        return false;
    attributes = value;
    return true;
}

// The NDR body from `at`: version and union level (uint16 each, equal), then
// the level's structure aligned to 4 bytes.
bool parseBinary(std::string_view value, std::size_t at, std::uint32_t& attributes) {
    if (value.size() < at + 4)
        return false;
    const std::uint32_t version = littleEndian(value, at, 2);
    if (version < 1 || version > 5 || littleEndian(value, at + 2, 2) != version)
        return false;
    std::size_t body = (at + 4 + 3) & ~static_cast<std::size_t>(3);
    if (version == 1) {
        // attrib comes first
    } else if (version == 2) {
        body += 4;  // flags, then attrib
    } else {
        if (value.size() < body + 4 || (littleEndian(value, body, 4) & kValidAttributes) == 0)
            return false;
        body += 4;  // valid_flags, then attrib
    }
    if (value.size() < body + 4)
        return false;
    attributes = littleEndian(value, body, 4);
    return true;
}

bool looksLikeBareVersion(std::string_view value) {
    return value.size() >= 4 && value[0] >= 1 && value[0] <= 5 && value[1] == 0 &&
           value[2] == value[0] && value[3] == 0;
}

}  // namespace

bool parseDosAttributes(std::string_view value, std::uint32_t& attributes) {
    // Samba 3 wrote the NDR structure alone.
    if (looksLikeBareVersion(value))
        return parseBinary(value, 0, attributes);
    // Later versions lead with a NUL-terminated hex text (empty or "0x20"), so
    // that readers of the old text form still find the attributes.
    const std::size_t end = value.find('\0');
    if (end == value.npos)
        return parseHexText(value, attributes);
    const std::size_t binary = (end + 2) & ~static_cast<std::size_t>(1);
    if (parseBinary(value, binary, attributes))
        return true;
    return parseHexText(value.substr(0, end), attributes);
}

}  // namespace streamscan
