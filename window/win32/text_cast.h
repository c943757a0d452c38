// char16_t text at the Win32 boundary: both are 16 bits on Windows.
#pragma once

#include <string>
#include <string_view>

namespace tessalin {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Win32 glue needs 16-bit wchar_t");

// The view must be NUL-terminated where the API expects a string.
inline const wchar_t* wideText(std::u16string_view text) {
    return reinterpret_cast<const wchar_t*>(text.data());
}
inline const wchar_t* wideText(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::u16string fromWide(const wchar_t* text) {
    return text == nullptr ? std::u16string()
                           : std::u16string(reinterpret_cast<const char16_t*>(text));
}

}  // namespace tessalin
