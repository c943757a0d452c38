#include "cli/manual.h"

#include "cli/options.h"
#include "engine/unicode.h"
#include "engine/value_text.h"

namespace tessalin::cli {
namespace {

std::string utf8(std::u16string_view text) {
    return streamscan::utf8ForDisplay(std::u16string(text));
}

// Text as roff reads it: a backslash is written \e, a hyphen \- (so an option
// can be searched for and copied), and a line that starts with a control
// character is guarded. Lines are joined, since roff fills its paragraphs.
std::string roff(std::u16string_view text) {
    std::string out;
    bool lineStart = true;
    for (const char c : utf8(text)) {
        if (lineStart && (c == '.' || c == '\''))
            out += "\\&";
        lineStart = c == '\n';
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else {
            out += c;
        }
    }
    return out;
}

// Paragraphs separated by an empty line become .PP paragraphs.
std::string paragraphs(std::u16string_view text) {
    std::string out = roff(text);
    std::string result;
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t end = out.find("\n\n", start);
        if (end == std::string::npos)
            end = out.size();
        result += ".PP\n" + out.substr(start, end - start);
        if (result.back() != '\n')
            result += '\n';
        start = end + 2;
    }
    return result;
}

std::string optionUsage(const OptionSpec& spec) {
    std::string usage;
    if (spec.shortName != 0)
        usage += "\\fB\\-" + utf8(std::u16string(1, spec.shortName)) + "\\fR, ";
    usage += "\\fB" + roff(spec.longName) + "\\fR";
    if (!spec.valueName.empty()) {
        usage += spec.valueOptional ? "[=\\fI" + roff(spec.valueName) + "\\fR]"
                                    : " \\fI" + roff(spec.valueName) + "\\fR";
    }
    return usage;
}

// What the shell offers after an option that takes a value.
std::string completedValue(const OptionSpec& spec) {
    if (spec.valueName == u"FILE")
        return "file";
    if (spec.valueName == u"DIR")
        return "dir";
    return "none";
}

}  // namespace

std::string manualPage() {
    std::string page = ".\\\" Made from the option table of tessalin-scan; do not edit.\n";
    page += ".TH TESSALIN\\-SCAN 1 \"\" \"" + utf8(kProgramName) + " " + utf8(kVersion) +
            "\" \"User Commands\"\n";
    page += ".SH NAME\ntessalin\\-scan \\- find and explain alternate data streams\n";
    page +=
        ".SH SYNOPSIS\n"
        ".B tessalin\\-scan\n[\\fIOPTIONS\\fR] \\fIPATH\\fR...\n.br\n"
        ".B tessalin\\-scan \\-\\-image\n[\\fB\\-\\-partition\\fR \\fIN\\fR] "
        "[\\fB\\-\\-deleted\\fR] [\\fIOPTIONS\\fR] \\fIIMAGE\\fR...\n.br\n"
        ".B tessalin\\-scan \\-\\-demo\n[\\fIOPTIONS\\fR]\n";
    page += ".SH DESCRIPTION\n" + paragraphs(descriptionText());
    page += ".SH OPTIONS\n";
    for (const OptionSpec& spec : optionTable())
        page += ".TP\n" + optionUsage(spec) + "\n" + roff(spec.help) + "\n";
    page += ".SH OUTPUT\n" + paragraphs(outputHelpText());
    page +=
        ".SH \"EXIT STATUS\"\nThe values 1, 2 and 4 add up: 3 is a flagged row and "
        "something not examined.\n";
    for (const ExitStatusSpec& exit : exitStatusTable()) {
        page += ".TP\n.B " + utf8(streamscan::decimalText(static_cast<std::uint32_t>(exit.value))) +
                "\n" + roff(exit.meaning) + "\n";
    }
    page +=
        ".SH FILES\n"
        "It writes only what it is asked to:\n"
        ".TP\n\\fB\\-\\-csv\\fR \\fIFILE\\fR\n"
        "The report, written to a new file beside \\fIFILE\\fR and renamed over it only when "
        "complete; it never replaces a scanned root, an item whose streams were listed, or an "
        "image being read.\n"
        ".TP\n\\fB\\-\\-extract\\fR \\fIDIR\\fR\n"
        "A copy of each listed stream, and \\fIDIR\\fR/manifest.json naming each copy's stream, "
        "size and SHA\\-256.\n"
        ".TP\n\\fB\\-\\-demo\\fR\n"
        "A sample tree in a new folder under \\fBTMPDIR\\fR (or /tmp), which it leaves for you "
        "to look at.\n"
        ".PP\n\\fB\\-\\-remove\\fR removes the streams it lists and you confirm; nothing else is "
        "changed.\n";
    page +=
        ".SH EXAMPLES\n"
        ".TP\n.B tessalin\\-scan ~/Downloads\n"
        "Rows as they are found, then the summary.\n"
        ".TP\n.B tessalin\\-scan \\-q \\-\\-csv report.csv /mnt/ntfs\n"
        "Only the summary, and the CSV report.\n"
        ".TP\n.B tessalin\\-scan \\-\\-exclude node_modules \\-\\-follow\\-links ~/src\n"
        "Skip every folder named node_modules; enter links to folders inside the tree.\n"
        ".TP\n.B tessalin\\-scan \\-\\-remove Zone.Identifier \\-\\-remove \\(aq*.exe\\(aq "
        "/mnt/ntfs\n"
        "List, ask, then remove those streams.\n"
        ".TP\n.B tessalin\\-scan \\-\\-json \\-\\-hash /srv/share | jq \\-c .\n"
        "JSON Lines with each stream's SHA\\-256, for scripts.\n"
        ".TP\n.B tessalin\\-scan \\-\\-image \\-\\-deleted disk.E01\n"
        "Read NTFS straight from an evidence file, deleted files' streams too.\n";
    return page;
}

std::string bashCompletion() {
    std::string words;
    std::string files;
    std::string folders;
    std::string values;
    for (const OptionSpec& spec : optionTable()) {
        const std::string name = utf8(spec.longName);
        if (!words.empty())
            words += ' ';
        words += name;
        if (spec.shortName != 0)
            words += " -" + utf8(std::u16string(1, spec.shortName));
        if (spec.valueName.empty())
            continue;
        if (spec.valueOptional) {
            words += ' ' + name + '=' + utf8(spec.valueName);
            continue;
        }
        const std::string kind = completedValue(spec);
        std::string& list = kind == "file" ? files : kind == "dir" ? folders : values;
        list += (list.empty() ? "" : "|") + name;
    }
    std::string script =
        "# bash completion for tessalin-scan; made from its option table, do not edit.\n"
        "_tessalin_scan() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    case $prev in\n";
    if (!files.empty())
        script += "        " + files +
                  ")\n            compopt -o filenames\n"
                  "            COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
    if (!folders.empty())
        script += "        " + folders +
                  ")\n            compopt -o filenames\n"
                  "            COMPREPLY=($(compgen -d -- \"$cur\")); return ;;\n";
    if (!values.empty())
        script += "        " + values + ")\n            COMPREPLY=(); return ;;\n";
    script +=
        "    esac\n"
        "    if [[ $cur == -* ]]; then\n"
        "        COMPREPLY=($(compgen -W ' " +
        words +
        " ' -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    compopt -o filenames\n"
        "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
        "}\n"
        "complete -F _tessalin_scan tessalin-scan\n";
    return script;
}

}  // namespace tessalin::cli
