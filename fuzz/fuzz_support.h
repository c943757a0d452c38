// What the fuzz targets share: a failed check aborts (libFuzzer then keeps the
// input as a finding), and the input read as bytes or as UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzzing {

inline void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

inline std::string_view bytesOf(const std::uint8_t* data, std::size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// Two bytes per code unit, low byte first; a trailing odd byte is dropped.
inline std::u16string utf16Of(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    return text;
}

}  // namespace fuzzing
