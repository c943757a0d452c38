#include "frontend/json_text.h"

#include "engine/unicode.h"

namespace tessalin {
namespace {

bool hasLoneSurrogate(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return true;
        }
    }
    return false;
}

// The name as the system holds it: a Linux name's bytes, a Windows name's UTF-16LE.
std::string exactBytes(std::u16string_view name) {
#ifdef _WIN32
    std::string bytes;
    for (const char16_t c : name) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
#else
    return streamscan::encodeName(name);
#endif
}

}  // namespace

void appendJsonString(std::string& out, std::u16string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    const auto escape = [&](unsigned codeUnit) {
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
            out += kHex[(codeUnit >> shift) & 0xF];
    };
    const std::string bytes = streamscan::utf8ForDisplay(text);
    const auto byteAt = [&](std::size_t i) -> unsigned {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0;
    };
    out += '"';
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned byte = byteAt(i);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += bytes[i];
        } else if (byte < 0x20 || byte == 0x7F) {
            escape(byte);
        } else if (byte == 0xC2 && byteAt(i + 1) >= 0x80 && byteAt(i + 1) <= 0x9F) {
            // The C1 controls and the line and paragraph separators: tools that
            // split lines there must still see one record per line.
            escape(byteAt(i + 1));
            i += 1;
        } else if (byte == 0xE2 && byteAt(i + 1) == 0x80 &&
                   (byteAt(i + 2) == 0xA8 || byteAt(i + 2) == 0xA9)) {
            escape(0x2000 | (byteAt(i + 2) - 0x80));
            i += 2;
        } else {
            out += bytes[i];
        }
    }
    out += '"';
}

void appendJsonName(std::string& out, std::string_view key, std::u16string_view name) {
    out += '"';
    out += key;
    out += "\":";
    appendJsonString(out, name);
    if (hasLoneSurrogate(name)) {
        out += ",\"";
        out += key;
        out += "Bytes\":\"";
        out += base64(exactBytes(name));
        out += '"';
    }
}

std::string base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (left > 1)
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (left > 2)
            group |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(group >> 18) & 63];
        out += kDigits[(group >> 12) & 63];
        out += left > 1 ? kDigits[(group >> 6) & 63] : '=';
        out += left > 2 ? kDigits[group & 63] : '=';
    }
    return out;
}

}  // namespace tessalin
