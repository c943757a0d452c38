#include "cli/yara_rules.h"

namespace tessalin::cli {

// The rules library is not built for Windows: --yara says so where it is given.
struct RuleSet::Compiled {};

RuleSet::RuleSet(std::unique_ptr<Compiled> compiled) : compiled(std::move(compiled)) {}
RuleSet::~RuleSet() = default;

std::unique_ptr<RuleSet> RuleSet::load(const std::u16string&, std::u16string& error) {
    error = u"--yara is not available in the Windows build";
    return nullptr;
}

StreamMatches RuleSet::match(const streamscan::StreamRecord&, streamscan::FileSystem&) const {
    return {};
}

std::u16string ruleMatchNote(const StreamMatches&) {
    return {};
}

}  // namespace tessalin::cli
