// --yara RULES: rules compiled once with libyara, matched against the whole
// content of every stream listed (Linux builds only).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/scan_types.h"

namespace tessalin::cli {

struct RuleMatch {
    std::string rule;
    std::string ruleNamespace;
    std::vector<std::string> tags;
};

struct StreamMatches {
    std::vector<RuleMatch> matches;
    // Only the first bytes were matched: the stream is larger than a match reads
    // whole, or the volume hands over only part of it.
    bool partial = false;
    std::u16string error;  // why the content could not be read; nothing was matched
};

// The most of one stream read for matching.
inline constexpr std::uint64_t kRuleReadLimit = 64ull << 20;

class RuleSet {
  public:
    // A rules file, or a folder whose .yar and .yara files are each a namespace
    // of their own. Null with `error` set (the compiler's file, line and
    // message) when the rules cannot be used.
    static std::unique_ptr<RuleSet> load(const std::u16string& path, std::u16string& error);
    ~RuleSet();
    RuleSet(const RuleSet&) = delete;
    RuleSet& operator=(const RuleSet&) = delete;

    // Reads the row's stream from the carrier it was listed from and matches it.
    StreamMatches match(const streamscan::StreamRecord& row, streamscan::FileSystem& fs) const;

  private:
    struct Compiled;
    explicit RuleSet(std::unique_ptr<Compiled> compiled);
    std::unique_ptr<Compiled> compiled;
};

// "YARA rule matched: a, b" (the names escaped for display).
std::u16string ruleMatchNote(const StreamMatches& found);

}  // namespace tessalin::cli
