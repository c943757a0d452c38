#include "cli/options.h"

#include <algorithm>

#include "cli/summary.h"
#include "engine/display_escape.h"
#include "engine/value_text.h"

namespace tessalin::cli {
namespace {

// Quoted and made safe, since an argument can hold anything a shell can pass.
std::u16string quoted(std::u16string_view argument) {
    std::u16string text(1, u'\'');
    text += streamscan::escapeForDisplay(argument);
    text += u'\'';
    return text;
}

std::u16string noProblem() {
    return {};
}

// A partition number: decimal digits only, 1 to 9999.
std::optional<std::uint32_t> partitionNumber(const std::u16string& text) {
    if (text.empty() || text.size() > 4)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - u'0');
    }
    if (value == 0)
        return std::nullopt;
    return value;
}

const OptionSpec kOptions[] = {
    {u"--no-subfolders",
     0,
     {},
     false,
     u"list only the entries of each folder named",
     [](CliOptions& o, std::u16string) {
         o.scan.includeSubfolders = false;
         return noProblem();
     }},
    {u"--no-folder-streams",
     0,
     {},
     false,
     u"do not list the streams of folders themselves",
     [](CliOptions& o, std::u16string) {
         o.scan.includeFolders = false;
         return noProblem();
     }},
    {u"--all-items",
     0,
     {},
     false,
     u"also list items that carry no alternate stream",
     [](CliOptions& o, std::u16string) {
         o.scan.showItemsWithoutStreams = true;
         return noProblem();
     }},
    {u"--all-attributes",
     0,
     {},
     false,
     u"also list, as streams, the attributes that hold what\n"
     u"desktop programs and file servers keep (tags, comments,\n"
     u"sync state) on volumes that are not NTFS; without it they\n"
     u"are only counted",
     [](CliOptions& o, std::u16string) {
         o.scan.allAttributes = true;
         return noProblem();
     }},
    {u"--exclude", 0, u"PATTERN", true,
     u"do not enter a folder, or list a file, whose name matches\n"
     u"PATTERN (* is any run, ? one character, letters A-Z in any\n"
     u"case), or whose path below a root does when PATTERN holds\n"
     u"a /; give it again to exclude more. The summary says how\n"
     u"many were excluded",
     [](CliOptions& o, std::u16string value) {
         o.scan.excludePatterns.push_back(std::move(value));
         return noProblem();
     }},
    {u"--follow-links", 0, u"all", false,
     u"enter links to folders (a link that leads back into the\n"
     u"walk is counted as a loop and not entered again); a link\n"
     u"that leads out of every root is still not followed, and\n"
     u"counted, unless =all is given",
     [](CliOptions& o, std::u16string value) {
         if (!value.empty() && value != u"all")
             return u"option '--follow-links' takes only '=all', not " + quoted(value);
         o.scan.followLinks = true;
         o.scan.followLinksOutOfRoots = !value.empty();
         return noProblem();
     },
     true},
    {u"--csv", 0, u"FILE", false,
     u"also write the CSV report to FILE (UTF-16LE, sixteen\n"
     u"columns, rows in scan order, ending with a note of what\n"
     u"the scan did not examine)",
     [](CliOptions& o, std::u16string value) {
         o.csvPath = std::move(value);
         return noProblem();
     }},
    {u"--name", 0, u"PATTERN", true,
     u"list only streams whose name matches PATTERN (* is any\n"
     u"run, ? one character, letters A-Z in any case); give it\n"
     u"again to list the streams that match any of them",
     [](CliOptions& o, std::u16string value) {
         o.filter.namePatterns.push_back(std::move(value));
         return noProblem();
     }},
    {u"--min-size", 0, u"SIZE", false,
     u"list only streams of at least SIZE bytes (K, M and G\n"
     u"multiply by 1024, 1024^2 and 1024^3: 64K, 1M)",
     [](CliOptions& o, std::u16string value) {
         const std::optional<std::uint64_t> size = parseSizeArgument(value);
         if (!size.has_value()) {
             return u"option '--min-size' needs a SIZE such as 4096, 64K or 1M, not " +
                    quoted(value);
         }
         o.filter.minimumSize = *size;
         return noProblem();
     }},
    {u"--flagged",
     0,
     {},
     false,
     u"list only Alert and Notice rows",
     [](CliOptions& o, std::u16string) {
         o.filter.flaggedOnly = true;
         return noProblem();
     }},
    {u"--json",
     0,
     {},
     false,
     u"write JSON Lines instead of rows: one object per row as\n"
     u"it is found, then one with the summary (the schema is in\n"
     u"docs/json.md); every other text goes to standard error",
     [](CliOptions& o, std::u16string) {
         o.json = true;
         return noProblem();
     }},
    {u"--hash", 0, u"sha256,sha1,md5", false,
     u"add each stream's digests to its --json row and to the\n"
     u"body file (the whole content is read): SHA-256 alone, or\n"
     u"those named, as in --hash=sha256,md5",
     [](CliOptions& o, std::u16string value) {
         o.hash = true;
         o.digests.clear();
         if (value.empty()) {
             o.digests.push_back(streamscan::DigestKind::sha256);
             return noProblem();
         }
         std::size_t start = 0;
         while (start <= value.size()) {
             const std::size_t comma = std::min(value.find(u',', start), value.size());
             const std::optional<streamscan::DigestKind> kind =
                 streamscan::digestNamed(std::u16string_view(value).substr(start, comma - start));
             if (!kind)
                 return u"option '--hash' takes sha256, sha1 and md5, not " + quoted(value);
             if (std::find(o.digests.begin(), o.digests.end(), *kind) == o.digests.end())
                 o.digests.push_back(*kind);
             start = comma + 1;
         }
         return noProblem();
     },
     true},
    {u"--bodyfile", 0, u"FILE", false,
     u"also write FILE, one line per stream in the body format\n"
     u"that mactime reads (name PATH:STREAM; the MD5 with\n"
     u"--hash=md5), for a timeline of streams",
     [](CliOptions& o, std::u16string value) {
         o.bodyFile = std::move(value);
         return noProblem();
     }},
    {u"--yara", 0, u"RULES", false,
     u"match every listed stream's whole content against the\n"
     u"rules in RULES (a rules file, or a folder of .yar files);\n"
     u"a match makes the row an Alert that names the rules",
     [](CliOptions& o, std::u16string value) {
         o.yaraRules = std::move(value);
         return noProblem();
     }},
    {u"--extract", 0, u"DIR", false,
     u"copy the content of every listed stream into DIR, which\n"
     u"must be new or empty, under names the program makes, with\n"
     u"manifest.json naming each copy's stream, size and SHA-256\n"
     u"(and each stream that could not be read, with why), and\n"
     u"the run: program, command line, host, start and end (UTC)\n"
     u"and each image read with its partition table",
     [](CliOptions& o, std::u16string value) {
         o.extractDir = std::move(value);
         return noProblem();
     }},
    {u"--remove", 0, u"NAME", true,
     u"after the scan, remove every listed stream whose name\n"
     u"matches NAME (* is any run, ? one character, letters A-Z\n"
     u"in any case), after listing each name with its count and\n"
     u"asking; give it again to remove the streams of any of them",
     [](CliOptions& o, std::u16string value) {
         o.removeNames.push_back(std::move(value));
         return noProblem();
     }},
    {u"--image",
     0,
     {},
     false,
     u"every PATH is a disk image or device (raw or split\n"
     u"images, E01, VMDK, VHD/VHDX), read directly and never\n"
     u"written; its NTFS file systems are scanned partition by\n"
     u"partition, with exact stream sizes. Paths inside are\n"
     u"written IMAGE//pN/FOLDER/NAME (p0: no partition table)",
     [](CliOptions& o, std::u16string) {
         o.image = true;
         return noProblem();
     }},
    {u"--through-mount",
     0,
     {},
     false,
     u"read a mounted NTFS volume through its mount as any other\n"
     u"folder; by default it is read through its device or image\n"
     u"file (exact sizes, every stream whatever the mount shows),\n"
     u"and through the mount only where that cannot be read",
     [](CliOptions& o, std::u16string) {
         o.throughMount = true;
         return noProblem();
     }},
    {u"--partition", 0, u"N", false,
     u"with --image: scan only the Nth partition (numbered\n"
     u"from 1 in disk order)",
     [](CliOptions& o, std::u16string value) {
         o.partition = partitionNumber(value);
         if (o.partition.has_value())
             return noProblem();
         return u"option '--partition' needs a partition number from 1 to 9999, not " +
                quoted(value);
     }},
    {u"--deleted",
     0,
     {},
     false,
     u"with --image: also list the streams of deleted files\n"
     u"whose entries are still intact, marked as deleted",
     [](CliOptions& o, std::u16string) {
         o.deleted = true;
         return noProblem();
     }},
    {u"--hash-images",
     0,
     {},
     false,
     u"with --image and --extract: also give each image file's\n"
     u"SHA-256 in manifest.json (each file is read whole once\n"
     u"more, before the scan)",
     [](CliOptions& o, std::u16string) {
         o.hashImages = true;
         return noProblem();
     }},
    {u"--yes",
     u'y',
     {},
     false,
     u"do not ask (needed for --remove when standard input is\n"
     u"not a terminal)",
     [](CliOptions& o, std::u16string) {
         o.yes = true;
         return noProblem();
     }},
    {u"--quiet",
     u'q',
     {},
     false,
     u"print no rows, only the summary",
     [](CliOptions& o, std::u16string) {
         o.quiet = true;
         return noProblem();
     }},
    {u"--demo",
     0,
     {},
     false,
     u"make a sample tree in a new temporary folder (under\n"
     u"TMPDIR), scan it, and say where it is",
     [](CliOptions& o, std::u16string) {
         o.demo = true;
         return noProblem();
     }},
    {u"--help",
     u'h',
     {},
     false,
     u"show this help and exit",
     [](CliOptions& o, std::u16string) {
         o.help = true;
         return noProblem();
     }},
    {u"--version",
     u'V',
     {},
     false,
     u"show the version and exit",
     [](CliOptions& o, std::u16string) {
         o.version = true;
         return noProblem();
     }},
    {u"--", 0, {}, false, u"every argument after it is a PATH", nullptr},
};

// What follows the option's name in its usage: " FILE", "[=all]" or nothing.
std::u16string optionValueText(const OptionSpec& spec) {
    if (spec.valueName.empty())
        return {};
    if (spec.valueOptional)
        return u"[=" + std::u16string(spec.valueName) + u"]";
    return u" " + std::u16string(spec.valueName);
}

const ExitStatusSpec kExitStatuses[] = {
    {0, u"everything was examined and nothing was flagged"},
    {kExitFlagged, u"at least one row is an Alert or a Notice"},
    {kExitNotExamined,
     u"something was not examined (the scan was cancelled, or something was\n"
     u"denied, failed to list, was unreadable, was a link not followed, or sat\n"
     u"on a volume that cannot hold streams)"},
    {kExitRemovalFailed,
     u"a requested removal failed, was refused, or was not made because the\n"
     u"scan was cancelled"},
    {kExitUsage, u"usage error"},
    {kExitInternal,
     u"internal error, the output could not be written in full, the CSV report\n"
     u"or the --extract manifest could not be written, or a copy could not be\n"
     u"written (a report that failed means nothing is removed, so no evidence\n"
     u"goes without its report)"},
    {kExitInterrupted, u"interrupted by a second Ctrl+C"},
};

// Where the help of each option starts, counted from the start of its line.
constexpr std::size_t kHelpColumn = 24;

std::u16string optionHelpLines() {
    std::u16string text;
    for (const OptionSpec& spec : kOptions) {
        std::u16string usage = u"  ";
        if (spec.shortName != 0) {
            usage += u'-';
            usage += spec.shortName;
            usage += u", ";
        }
        usage += spec.longName;
        usage += optionValueText(spec);
        if (usage.size() + 2 > kHelpColumn)
            usage += u'\n';
        usage.resize(usage.size() + 2 > kHelpColumn ? usage.size() + kHelpColumn : kHelpColumn,
                     u' ');
        text += usage;
        for (char16_t c : spec.help) {
            text += c;
            if (c == u'\n')
                text.append(kHelpColumn, u' ');
        }
        text += u'\n';
    }
    return text;
}

const OptionSpec* findLong(std::u16string_view name) {
    for (const OptionSpec& spec : kOptions) {
        if (spec.longName == name)
            return &spec;
    }
    return nullptr;
}

const OptionSpec* findShort(char16_t letter) {
    for (const OptionSpec& spec : kOptions) {
        if (spec.shortName == letter && spec.valueName.empty())
            return &spec;
    }
    return nullptr;
}

}  // namespace

std::span<const OptionSpec> optionTable() {
    return kOptions;
}

ParseResult parseArguments(const std::vector<std::u16string>& arguments) {
    ParseResult result;
    CliOptions& options = result.options;
    std::u16string firstError;
    auto fail = [&firstError](std::u16string reason) {
        if (firstError.empty())
            firstError = std::move(reason);
    };
    std::vector<const OptionSpec*> seen;

    // A value comes from "--csv=FILE" or from the next argument.
    auto applyLong = [&](std::size_t& i, const OptionSpec& spec,
                         std::optional<std::u16string> inlineValue) {
        std::u16string value;
        if (spec.valueOptional) {
            value = inlineValue.value_or(std::u16string());
        } else if (spec.valueName.empty()) {
            if (inlineValue.has_value()) {
                fail(u"option " + quoted(spec.longName) + u" takes no value");
                return;
            }
        } else {
            if (inlineValue.has_value()) {
                value = std::move(*inlineValue);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                fail(u"option " + quoted(spec.longName) + u" needs a " +
                     std::u16string(spec.valueName));
                return;
            }
            if (!spec.repeatable && std::find(seen.begin(), seen.end(), &spec) != seen.end()) {
                fail(u"option " + quoted(spec.longName) + u" was given twice");
                return;
            }
            if (value.empty()) {
                fail(u"option " + quoted(spec.longName) + u" needs a " +
                     std::u16string(spec.valueName) + u" that is not empty");
                return;
            }
        }
        seen.push_back(&spec);
        fail(spec.apply(options, std::move(value)));
    };

    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::u16string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != u'-') {
            // "-" alone is a name like any other.
            options.paths.push_back(argument);
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
        } else if (argument[1] == u'-') {
            const std::size_t equals = argument.find(u'=');
            const OptionSpec* spec = findLong(std::u16string_view(argument).substr(0, equals));
            if (spec == nullptr || spec->apply == nullptr) {
                fail(u"unknown option " + quoted(argument));
            } else if (equals == std::u16string::npos) {
                applyLong(i, *spec, std::nullopt);
            } else {
                applyLong(i, *spec, argument.substr(equals + 1));
            }
        } else {
            // A cluster of one-letter switches, such as -qy.
            for (std::size_t k = 1; k < argument.size(); ++k) {
                const OptionSpec* spec = findShort(argument[k]);
                if (spec == nullptr) {
                    fail(u"unknown option " + quoted(std::u16string{u'-', argument[k]}));
                } else {
                    fail(spec->apply(options, {}));
                }
            }
        }
    }

    if (options.help || options.version)
        return result;
    if (firstError.empty()) {
        if (options.demo && !options.paths.empty()) {
            fail(u"--demo scans a sample tree of its own and takes no PATH");
        } else if (!options.demo && options.paths.empty()) {
            fail(options.image ? u"--image needs an IMAGE to scan"
                               : u"no PATH to scan (or --demo for a sample tree)");
        } else if ((options.partition.has_value() || options.deleted) && !options.image) {
            fail(options.deleted ? u"--deleted lists deleted items of disk images: add --image"
                                 : u"--partition chooses a partition of a disk image: add --image");
        } else if (options.image && options.demo) {
            fail(u"--demo scans a sample tree of its own and reads no image");
        } else if (options.image && !options.removeNames.empty()) {
            fail(
                u"--remove cannot be used with --image: images are evidence and are never "
                u"written");
        } else if (options.hashImages && (!options.image || !options.extractDir.has_value())) {
            fail(options.image ? u"--hash-images records the hashes in the manifest: add --extract"
                               : u"--hash-images hashes disk images: add --image");
        } else if (options.hash && !options.json && !options.bodyFile.has_value()) {
            fail(u"--hash adds digests to --json rows and the body file: add --json or --bodyfile");
        }
    }
    result.error = std::move(firstError);
    return result;
}

std::u16string removalAnswerError(const CliOptions& options, bool stdinIsTerminal) {
    if (options.removeNames.empty() || options.yes || stdinIsTerminal)
        return {};
    return u"--remove asks before it removes anything, and standard input is not a terminal: "
           u"add --yes to remove without asking";
}

std::u16string usageErrorText(const std::u16string& reason) {
    std::u16string text(kProgramName);
    text += u": ";
    text += reason;
    text += u"\nTry '";
    text += kProgramName;
    text += u" --help' for more information.\n";
    return text;
}

std::u16string versionText() {
    return std::u16string(kProgramName) + u" " + std::u16string(kVersion) + u"\n";
}

std::u16string_view descriptionText() {
    return u"Finds and explains alternate data streams: lists every named stream of every\n"
           u"file and folder under each PATH, reads the start of each, reads Zone.Identifier\n"
           u"(where a file came from), flags hidden executable content, and counts and says\n"
           u"everything it could not examine. On Linux the streams of NTFS volumes (ntfs-3g)\n"
           u"and of Samba shares are the user. extended attributes, and those are read.\n"
           u"Where a Linux download came from (user.xdg.origin.url and user.xdg.referrer.url,\n"
           u"as browsers, wget --xattr and curl --xattr keep it) is explained like a\n"
           u"Zone.Identifier, and a sidecar file NAME:Zone.Identifier that Windows leaves\n"
           u"beside NAME is listed as NAME's Zone.Identifier.\n";
}

std::u16string_view outputHelpText() {
    return u"One row per stream on standard output, as it is found: severity (Alert or\n"
           u"Notice), size and zone, then the stream's path (file:name:type), then a note;\n"
           u"where a Zone.Identifier names the address a file was downloaded from, the note\n"
           u"says it. On a terminal the rows fit its width: the columns take only what\n"
           u"they hold, a path that does not fit goes to its own line, indented, and a\n"
           u"note too long for the line ends in an ellipsis. On a pipe or in a file each\n"
           u"row is one line, whatever its length, with the path in a column COLUMNS (or\n"
           u"120) wide less room for the note. Control characters, direction overrides and\n"
           u"undecodable bytes in names are shown as <U+XXXX>. On a terminal Alert rows\n"
           u"are red and Notice rows yellow, unless NO_COLOR is set or TERM is dumb. Then\n"
           u"a summary: whether the scan completed, the counts, what was excluded, what was\n"
           u"not examined, and an explanation when an empty or partial result must not be\n"
           u"read as clean. While scanning, a progress line is shown on standard error\n"
           u"when it is a terminal.\n"
           u"\n"
           u"The filters (--name, --min-size, --flagged) narrow the rows shown, written to\n"
           u"the report and offered for --remove; the counts and the exit status still\n"
           u"speak for every row found, and the summary says how many rows they left out.\n"
           u"\n"
           u"Ctrl+C stops the scan between items; what was listed is kept, the summary and\n"
           u"the report say the scan was cancelled, and nothing is removed. A second Ctrl+C\n"
           u"ends the program at once.\n";
}

std::span<const ExitStatusSpec> exitStatusTable() {
    return kExitStatuses;
}

std::u16string helpText() {
    std::u16string output;
    // Each line of the Output paragraphs indented by two, empty lines left empty.
    bool lineStart = true;
    for (char16_t c : outputHelpText()) {
        if (lineStart && c != u'\n')
            output += u"  ";
        output += c;
        lineStart = c == u'\n';
    }
    std::u16string exits;
    for (const ExitStatusSpec& exit : kExitStatuses) {
        std::u16string value =
            u"  " + streamscan::decimalText(static_cast<std::uint32_t>(exit.value));
        value.resize(7, u' ');
        exits += value;
        for (char16_t c : exit.meaning) {
            exits += c;
            if (c == u'\n')
                exits += u"       ";
        }
        exits += u'\n';
    }
    return u"Usage: tessalin-scan [OPTIONS] PATH...\n"
           u"       tessalin-scan --image [--partition N] [--deleted] [OPTIONS] IMAGE...\n"
           u"       tessalin-scan --demo [OPTIONS]\n"
           u"\n" +
           std::u16string(descriptionText()) +
           u"\n"
           u"Options:\n" +
           optionHelpLines() + u"\nOutput:\n" + output + u"\nExit status (1, 2 and 4 add up):\n" +
           exits;
}

}  // namespace tessalin::cli
