// Sizes, times, attributes and counts as text: one form everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace streamscan {

std::u16string sizeText(std::uint64_t bytes);
// A stream's size as every place shows it: "at least 64.0 KB" when only a lower
// bound is known.
std::u16string streamSizeText(std::uint64_t bytes, bool atLeast);
// Local time YYYY-MM-DD HH:MM:SS of a FILETIME; empty for 0 or an unconvertible time.
std::u16string timeText(std::uint64_t fileTime);
std::u16string attributesText(std::uint32_t attributes);
struct Timestamp;
// ISO 8601 in UTC with as many decimals as the source keeps
// ("2021-03-04T05:06:07.1234567Z"); empty for no time.
std::string isoUtcText(const Timestamp& time);
// A FILETIME as a Timestamp to 100 ns; no time for 0.
Timestamp timestampOfFileTime(std::uint64_t fileTime);
// Digits with the user's thousands separator (read again on every call).
std::u16string groupedNumber(std::uint64_t number);
// The grouping itself, for any separator.
std::u16string groupDigits(std::uint64_t number, std::u16string_view separator);
std::u16string countPhrase(std::uint64_t count, std::u16string_view singular,
                           std::u16string_view plural);
void appendCountPhrase(std::u16string& text, std::uint64_t count, std::u16string_view word);
std::u16string decimalText(std::uint32_t number);
// Plain decimal of any unsigned and signed 64-bit value (no grouping).
std::u16string plainDecimal(std::uint64_t number);
std::u16string signedDecimal(std::int64_t number);

}  // namespace streamscan
