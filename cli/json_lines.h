// --json: one JSON object per line on standard output, each row as it is found
// and the summary last. The schema is docs/json.md; kJsonSchema names its version.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/summary.h"
#include "engine/file_system.h"
#include "engine/scan_types.h"

namespace tessalin::cli {

inline constexpr int kJsonSchema = 1;

// What a row carries beyond its record.
struct RowExtras {
    bool hashed = false;       // --hash: the row has a sha256 field
    std::string sha256;        // lowercase hex; empty when the content could not be read
    std::u16string hashError;  // why it could not be read
};

// One row object and its line break.
std::string jsonRow(const streamscan::StreamRecord& record, const RowExtras& extras);

// One notExamined object (a place the scan did not examine) and its line break.
std::string jsonPlace(const streamscan::NotExaminedPlace& place);

struct JsonSummaryFacts {
    const ScanOutcome* outcome = nullptr;
    const std::vector<std::u16string>* roots = nullptr;  // the prepared roots
    std::uint64_t duplicates = 0;
    std::uint64_t nested = 0;
};

// The summary object and its line break. Roots whose volume cannot hold streams
// are asked again through `fs`, as the console's explanation does.
std::string jsonSummary(const JsonSummaryFacts& facts, streamscan::FileSystem& fs);

// A JSON string of a name or path: UTF-8, with a lone surrogate (an undecodable
// byte of a Linux name) written as its <U+DCxx> marker. When that changed the
// text, `key`Bytes follows with the exact name in base64. Appends "key":"..."
// (and the second member) without a leading comma.
void appendJsonName(std::string& out, std::string_view key, std::u16string_view name);
// A JSON string literal of any text, lone surrogates as markers.
void appendJsonString(std::string& out, std::u16string_view text);

// ISO 8601 UTC of a FILETIME, to the second ("2026-12-06T19:41:26Z"); empty for 0.
std::string isoUtcTime(std::uint64_t fileTime);

std::string base64(std::string_view bytes);

}  // namespace tessalin::cli
