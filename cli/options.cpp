#include "cli/options.h"

#include "engine/display_escape.h"

namespace tessalin::cli {
namespace {

// Quoted and made safe, since an argument can hold anything a shell can pass.
std::u16string quoted(std::u16string_view argument) {
    std::u16string text(1, u'\'');
    text += streamscan::escapeForDisplay(argument);
    text += u'\'';
    return text;
}

bool startsWith(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

struct ValueOption {
    std::u16string_view name;
    std::u16string_view valueName;
};

constexpr ValueOption kCsvOption{u"--csv", u"FILE"};
constexpr ValueOption kRemoveOption{u"--remove", u"NAME"};

}  // namespace

ParseResult parseArguments(const std::vector<std::u16string>& arguments) {
    ParseResult result;
    CliOptions& options = result.options;
    std::u16string firstError;
    auto fail = [&firstError](std::u16string reason) {
        if (firstError.empty())
            firstError = std::move(reason);
    };

    // Takes the value of --csv or --remove, from "--csv=FILE" or the next argument.
    auto takeValue = [&](std::size_t& i, const std::u16string& argument, const ValueOption& option,
                         std::optional<std::u16string>& target) {
        std::u16string value;
        if (argument.size() > option.name.size()) {
            value = argument.substr(option.name.size() + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            fail(u"option " + quoted(option.name) + u" needs a " +
                 std::u16string(option.valueName));
            return;
        }
        if (target.has_value()) {
            fail(u"option " + quoted(option.name) + u" was given twice");
            return;
        }
        if (value.empty()) {
            fail(u"option " + quoted(option.name) + u" needs a " +
                 std::u16string(option.valueName) + u" that is not empty");
            return;
        }
        target = std::move(value);
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
        } else if (argument == u"--no-subfolders") {
            options.scan.includeSubfolders = false;
        } else if (argument == u"--no-folder-streams") {
            options.scan.includeFolders = false;
        } else if (argument == u"--all-items") {
            options.scan.showItemsWithoutStreams = true;
        } else if (argument == kCsvOption.name || startsWith(argument, u"--csv=")) {
            takeValue(i, argument, kCsvOption, options.csvPath);
        } else if (argument == kRemoveOption.name || startsWith(argument, u"--remove=")) {
            takeValue(i, argument, kRemoveOption, options.removeName);
        } else if (argument == u"--yes") {
            options.yes = true;
        } else if (argument == u"--quiet") {
            options.quiet = true;
        } else if (argument == u"--demo") {
            options.demo = true;
        } else if (argument == u"--help") {
            options.help = true;
        } else if (argument == u"--version") {
            options.version = true;
        } else if (argument[1] == u'-') {
            fail(u"unknown option " + quoted(argument));
        } else {
            // A cluster of one-letter switches, such as -qy.
            for (std::size_t k = 1; k < argument.size(); ++k) {
                switch (argument[k]) {
                    case u'y':
                        options.yes = true;
                        break;
                    case u'q':
                        options.quiet = true;
                        break;
                    case u'h':
                        options.help = true;
                        break;
                    case u'V':
                        options.version = true;
                        break;
                    default:
                        fail(u"unknown option " + quoted(std::u16string{u'-', argument[k]}));
                        break;
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
            fail(u"no PATH to scan (or --demo for a sample tree)");
        }
    }
    result.error = std::move(firstError);
    return result;
}

std::u16string removalAnswerError(const CliOptions& options, bool stdinIsTerminal) {
    if (!options.removeName.has_value() || options.yes || stdinIsTerminal)
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

std::u16string helpText() {
    return u"Usage: tessalin-scan [OPTIONS] PATH...\n"
           u"       tessalin-scan --demo [OPTIONS]\n"
           u"\n"
           u"Finds and explains alternate data streams: lists every named stream of every\n"
           u"file and folder under each PATH, reads the start of each, reads Zone.Identifier\n"
           u"(where a file came from), flags hidden executable content, and counts and says\n"
           u"everything it could not examine. On Linux the streams of NTFS volumes (ntfs-3g)\n"
           u"and of Samba shares are the user. extended attributes, and those are read.\n"
           u"\n"
           u"Options:\n"
           u"  --no-subfolders       list only the entries of each folder named\n"
           u"  --no-folder-streams   do not list the streams of folders themselves\n"
           u"  --all-items           also list items that carry no alternate stream\n"
           u"  --csv FILE            also write the CSV report to FILE (UTF-16LE, sixteen\n"
           u"                        columns, rows in scan order, ending with a note of what\n"
           u"                        the scan did not examine)\n"
           u"  --remove NAME         after the scan, remove every listed stream named NAME\n"
           u"                        (letters A-Z in any case), after listing them and asking\n"
           u"  -y, --yes             do not ask (needed for --remove when standard input is\n"
           u"                        not a terminal)\n"
           u"  -q, --quiet           print no rows, only the summary\n"
           u"  --demo                make a sample tree in a new temporary folder (under\n"
           u"                        TMPDIR), scan it, and say where it is\n"
           u"  -h, --help            show this help and exit\n"
           u"  -V, --version         show the version and exit\n"
           u"  --                    every argument after it is a PATH\n"
           u"\n"
           u"Output:\n"
           u"  One row per stream on standard output, as it is found: severity (Alert or\n"
           u"  Notice), the stream's path (file:name:type), its size, its zone and a note.\n"
           u"  Severity, size and zone have fixed widths; the path gets the rest of the\n"
           u"  terminal's width (COLUMNS, or 120 when the output is not a terminal) less room\n"
           u"  for the note. A longer path is never cut: it pushes the rest of its row to\n"
           u"  the right. Control characters, direction overrides and undecodable bytes in\n"
           u"  names are shown as <U+XXXX>. On a terminal Alert rows are red and Notice rows\n"
           u"  yellow, unless NO_COLOR is set or TERM is dumb. Then a summary: whether the\n"
           u"  scan completed, the counts, what was not examined, and an explanation when an\n"
           u"  empty or partial result must not be read as clean. While scanning, a progress\n"
           u"  line is shown on standard error when it is a terminal.\n"
           u"\n"
           u"  Ctrl+C stops the scan between items; what was listed is kept, the summary and\n"
           u"  the report say the scan was cancelled, and nothing is removed. A second\n"
           u"  Ctrl+C ends the program at once.\n"
           u"\n"
           u"Exit status (the bits add up):\n"
           u"  0    everything was examined and nothing was flagged\n"
           u"  1    at least one row is an Alert or a Notice\n"
           u"  2    something was not examined (the scan was cancelled, or something was\n"
           u"       denied, failed to list, was unreadable, was a link not followed, or sat\n"
           u"       on a volume that cannot hold streams)\n"
           u"  4    a requested removal failed, was refused, or was not made because the\n"
           u"       scan was cancelled\n"
           u"  64   usage error\n"
           u"  70   internal error, or the CSV report could not be written (then nothing is\n"
           u"       removed, so no evidence goes without its report)\n"
           u"  130  interrupted by a second Ctrl+C\n";
}

}  // namespace tessalin::cli
