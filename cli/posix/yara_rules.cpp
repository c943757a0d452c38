#include "cli/yara_rules.h"

#include <dirent.h>
#include <sys/stat.h>
#include <yara.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/display_escape.h"
#include "engine/posix/name_codec.h"
#include "engine/removal.h"
#include "engine/stream_listing.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"

namespace tessalin::cli {
namespace {

// The library keeps process-wide state; it is set up once and kept.
bool libraryReady() {
    static const bool ready = yr_initialize() == ERROR_SUCCESS;
    return ready;
}

struct CompilerErrors {
    std::string first;  // "FILE(LINE): MESSAGE" of the first error
};

void onCompilerMessage(int level, const char* file, int line, const YR_RULE*, const char* message,
                       void* data) {
    auto* errors = static_cast<CompilerErrors*>(data);
    if (level != YARA_ERROR_LEVEL_ERROR || !errors->first.empty())
        return;
    errors->first = std::string(file != nullptr ? file : "") + "(" + std::to_string(line) +
                    "): " + (message != nullptr ? message : "");
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() > suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The rules files a path names: itself, or a folder's .yar and .yara files in
// name order.
bool rulesFiles(const std::string& path, std::vector<std::string>& files, std::string& error) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    // Only regular files are read: opening a fifo would wait for a writer for ever.
    if (S_ISREG(st.st_mode)) {
        files.push_back(path);
        return true;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = path + ": not a rules file or a folder of them";
        return false;
    }
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        struct stat file;
        if ((endsWith(name, ".yar") || endsWith(name, ".yara")) &&
            stat((path + "/" + name).c_str(), &file) == 0 && S_ISREG(file.st_mode))
            files.push_back(path + "/" + name);
    }
    closedir(dir);
    std::sort(files.begin(), files.end());
    if (files.empty())
        error = path + ": the folder holds no .yar or .yara file";
    return error.empty();
}

std::string leafOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int onScanMessage(YR_SCAN_CONTEXT*, int message, void* data, void* user) {
    if (message == CALLBACK_MSG_RULE_MATCHING) {
        const auto* rule = static_cast<const YR_RULE*>(data);
        RuleMatch match;
        match.rule = rule->identifier;
        match.ruleNamespace =
            rule->ns != nullptr && rule->ns->name != nullptr ? rule->ns->name : "";
        const char* tag = nullptr;
        yr_rule_tags_foreach(rule, tag) {
            match.tags.emplace_back(tag);
        }
        static_cast<std::vector<RuleMatch>*>(user)->push_back(std::move(match));
    }
    return CALLBACK_CONTINUE;
}

}  // namespace

struct RuleSet::Compiled {
    YR_RULES* rules = nullptr;
    ~Compiled() {
        if (rules != nullptr)
            yr_rules_destroy(rules);
    }
};

RuleSet::RuleSet(std::unique_ptr<Compiled> compiled) : compiled(std::move(compiled)) {}
RuleSet::~RuleSet() = default;

std::unique_ptr<RuleSet> RuleSet::load(const std::u16string& path, std::u16string& error) {
    error.clear();
    if (!libraryReady()) {
        error = u"the rules library could not be started";
        return nullptr;
    }
    std::vector<std::string> files;
    std::string problem;
    if (!rulesFiles(streamscan::bytesOf(path), files, problem)) {
        error = streamscan::decodeName(problem);
        return nullptr;
    }
    YR_COMPILER* compiler = nullptr;
    if (yr_compiler_create(&compiler) != ERROR_SUCCESS) {
        error = u"the rules compiler could not be started";
        return nullptr;
    }
    CompilerErrors errors;
    yr_compiler_set_callback(compiler, onCompilerMessage, &errors);
    for (const std::string& file : files) {
        FILE* stream = std::fopen(file.c_str(), "r");
        if (stream == nullptr) {
            errors.first = file + ": " + std::strerror(errno);
            break;
        }
        // Each file a namespace of its own, so two files may name a rule alike.
        const int failures =
            yr_compiler_add_file(compiler, stream, leafOf(file).c_str(), file.c_str());
        std::fclose(stream);
        if (failures != 0)
            break;
    }
    auto compiled = std::make_unique<Compiled>();
    if (errors.first.empty() && yr_compiler_get_rules(compiler, &compiled->rules) != ERROR_SUCCESS)
        errors.first = "the rules could not be compiled";
    yr_compiler_destroy(compiler);
    if (!errors.first.empty()) {
        error = streamscan::decodeName(errors.first);
        return nullptr;
    }
    return std::unique_ptr<RuleSet>(new RuleSet(std::move(compiled)));
}

StreamMatches RuleSet::match(const streamscan::StreamRecord& row,
                             streamscan::FileSystem& fs) const {
    StreamMatches found;
    std::unique_ptr<streamscan::StreamReader> reader;
    std::uint32_t error = fs.openListedStream(row, reader);
    if (error == streamscan::kErrorSuccess && !reader)
        error = streamscan::kErrorFileNotFound;
    if (error != streamscan::kErrorSuccess) {
        found.error = streamscan::WindowsErrorText(error);
        return found;
    }
    // As much as the stream holds, up to the limit: no room is made for more.
    const std::uint64_t limit =
        std::min(kRuleReadLimit, std::max<std::uint64_t>(row.streamSize, 1));
    const streamscan::StreamBytes read = streamscan::readFromStream(*reader, limit);
    if (!read.ok) {
        found.error = streamscan::WindowsErrorText(read.error);
        return found;
    }
    found.partial = !read.reachedEnd || row.streamSizeAtLeast;
    yr_rules_scan_mem(compiled->rules, read.bytes.data(), read.bytes.size(), 0, onScanMessage,
                      &found.matches, 0);
    return found;
}

std::u16string ruleMatchNote(const StreamMatches& found) {
    std::u16string note = u"YARA rule matched: ";
    for (std::size_t i = 0; i < found.matches.size(); ++i) {
        if (i > 0)
            note += u", ";
        note += streamscan::escapeForDisplay(streamscan::decodeName(found.matches[i].rule));
    }
    if (found.partial)
        note += u" (on the part that could be read)";
    return note;
}

}  // namespace tessalin::cli
