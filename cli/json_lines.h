// --json: one JSON object per line on standard output, each row as it is found
// and the summary last. The schema is docs/json.md; kJsonSchema names its version.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/summary.h"
#include "cli/yara_rules.h"
#include "engine/file_system.h"
#include "engine/scan_types.h"
#include "frontend/extraction.h"
#include "frontend/json_text.h"

namespace tessalin::cli {

inline constexpr int kJsonSchema = 1;

using tessalin::appendJsonName;
using tessalin::appendJsonString;
using tessalin::base64;
using tessalin::RowExtras;

// One row object and its line break.
// `rules`: what --yara found in the stream, when it was asked for.
std::string jsonRow(const streamscan::StreamRecord& record, const RowExtras& extras,
                    const StreamMatches* rules = nullptr);

// One notExamined object (a place the scan did not examine) and its line break.
std::string jsonPlace(const streamscan::NotExaminedPlace& place);

struct JsonSummaryFacts {
    const ScanOutcome* outcome = nullptr;
    const std::vector<std::u16string>* roots = nullptr;  // the prepared roots
    std::uint64_t duplicates = 0;
    std::uint64_t nested = 0;
    // Mounted NTFS volumes read through their source: (mount point, source).
    std::vector<std::pair<std::u16string, std::u16string>> readThrough;
};

// The summary object and its line break. Roots whose volume cannot hold streams
// are asked again through `fs`, as the console's explanation does.
std::string jsonSummary(const JsonSummaryFacts& facts, streamscan::FileSystem& fs);

// ISO 8601 UTC of a FILETIME, to the second ("2026-12-06T19:41:26Z"); empty for 0.
std::string isoUtcTime(std::uint64_t fileTime);

}  // namespace tessalin::cli
