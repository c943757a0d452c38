// The command line of tessalin-scan: what it asks for, the usage errors, and the
// help and version texts. Plain logic over the arguments; nothing here looks at
// the terminal or the disk.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/row_filter.h"
#include "engine/digest.h"
#include "engine/scan_types.h"

namespace tessalin::cli {

inline constexpr std::u16string_view kProgramName = u"tessalin-scan";
inline constexpr std::u16string_view kVersion = u"1.0.0";

struct CliOptions {
    streamscan::ScanOptions scan;  // largeStreamThreshold stays at its default
    std::vector<std::u16string> paths;
    std::optional<std::u16string> csvPath;
    // --remove patterns, in the order given; a stream whose name matches any is removed.
    std::vector<std::u16string> removeNames;
    RowFilter filter;
    bool json = false;  // JSON Lines on standard output; every other text on stderr
    bool hash = false;  // each --json row carries its stream's digests
    std::vector<streamscan::DigestKind> digests;  // those --hash named, in order
    std::optional<std::u16string> bodyFile;       // --bodyfile FILE: a timeline of the streams
    std::optional<std::u16string> yaraRules;      // --yara RULES
    std::optional<std::u16string> extractDir;
    bool image = false;         // every PATH is a disk image or device
    bool throughMount = false;  // mounted NTFS read as any folder, never through its device
    std::optional<std::uint32_t> partition;
    bool deleted = false;
    bool hashImages = false;  // the manifest gives each image file's SHA-256
    bool yes = false;
    bool quiet = false;
    bool demo = false;
    bool help = false;
    bool version = false;
};

// One option of the command line. The parser and --help both read the table of
// these, so an option cannot be accepted without being documented, or the reverse.
struct OptionSpec {
    std::u16string_view longName;   // "--csv"
    char16_t shortName = 0;         // u'q' for -q; 0 when there is none
    std::u16string_view valueName;  // "FILE" when it takes a value; empty for a switch
    bool repeatable = false;        // a value option that may be given more than once
    std::u16string_view help;       // its --help lines, joined by '\n'
    // Records the option (with its value, empty for a switch) and returns the usage
    // problem with it, empty when there is none. Null for "--", which the parser
    // itself handles.
    std::u16string (*apply)(CliOptions& options, std::u16string value) = nullptr;
    // The value may be left out ("--follow-links" alone); given, it comes only
    // as "--follow-links=VALUE", never as the next argument.
    bool valueOptional = false;
};

std::span<const OptionSpec> optionTable();

// One exit status the program uses, with the words --help and the manual give it.
struct ExitStatusSpec {
    int value;
    std::u16string_view meaning;  // lines joined by '\n'
};
std::span<const ExitStatusSpec> exitStatusTable();

// The paragraphs of --help after the options (what the rows are, filters,
// Ctrl+C), which the manual repeats.
std::u16string_view outputHelpText();
// The summary of what the program does, shared by --help and the manual.
std::u16string_view descriptionText();

struct ParseResult {
    CliOptions options;
    std::u16string error;  // empty when the arguments are usable
};

// The arguments after the program name. -h and -V win over every other problem,
// so a user who asks for help gets it.
ParseResult parseArguments(const std::vector<std::u16string>& arguments);

// A problem that depends on where the program runs: --remove must be able to ask,
// or be told not to. Empty when there is none.
std::u16string removalAnswerError(const CliOptions& options, bool stdinIsTerminal);

// The two lines a usage error prints on stderr: the reason and the pointer to --help.
std::u16string usageErrorText(const std::u16string& reason);

std::u16string helpText();
std::u16string versionText();

}  // namespace tessalin::cli
