// Names between the UTF-16 the engine holds and the bytes Linux takes: the
// lossless codec (decodeName/encodeName) with a shortcut for plain ASCII, which
// nearly every name on a walk is, as these run for every entry.
#pragma once

#include <string>
#include <string_view>

namespace streamscan {

std::string bytesOf(std::u16string_view text);
std::u16string textOf(std::string_view bytes);

inline bool hasEmbeddedNul(std::u16string_view text) {
    return text.find(u'\0') != text.npos;
}

}  // namespace streamscan
