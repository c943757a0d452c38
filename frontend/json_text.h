// JSON text shared by the console's JSON Lines and the extraction manifest:
// string literals of any text and of names, and base64.
#pragma once

#include <string>
#include <string_view>

namespace tessalin {

// A JSON string of a name or path: UTF-8, with a lone surrogate (an undecodable
// byte of a Linux name) written as its <U+DCxx> marker. When that changed the
// text, `key`Bytes follows with the exact name in base64. Appends "key":"..."
// (and the second member) without a leading comma.
void appendJsonName(std::string& out, std::string_view key, std::u16string_view name);
// A JSON string literal of any text, lone surrogates as markers.
void appendJsonString(std::string& out, std::u16string_view text);

std::string base64(std::string_view bytes);

}  // namespace tessalin
