#include "cli/options.h"
#include "cli/manual.h"
#include "cli/row_filter.h"
#include "cli/summary.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "engine/unicode.h"

namespace tessalin::cli {
namespace {

using Args = std::vector<std::u16string>;

// The options the end-to-end runs leave out, and the joined forms.
TEST(CliOptions, EachOptionReachesTheScanOrTheRun) {
    const ParseResult parsed = parseArguments(
        {u"--no-subfolders", u"--no-folder-streams", u"--all-items", u"--all-attributes",
         u"--remove=Zone.Identifier", u"-qy", u"--name=zone.*", u"--min-size", u"64K", u"a",
         u"--remove", u"*.exe", u"--exclude", u"node_modules", u"--follow-links=all"});
    ASSERT_EQ(parsed.error, u"");
    const CliOptions& o = parsed.options;
    EXPECT_FALSE(o.scan.includeSubfolders || o.scan.includeFolders);
    EXPECT_TRUE(o.scan.showItemsWithoutStreams && o.scan.allAttributes && o.quiet && o.yes);
    EXPECT_EQ(o.removeNames, (Args{u"Zone.Identifier", u"*.exe"}));
    EXPECT_EQ(o.scan.excludePatterns, Args{u"node_modules"});
    EXPECT_TRUE(o.scan.followLinks && o.scan.followLinksOutOfRoots);
    // Alone, --follow-links takes no value from the next argument.
    const ParseResult inside = parseArguments({u"--follow-links", u"all"});
    EXPECT_FALSE(inside.options.scan.followLinksOutOfRoots);
    EXPECT_EQ(inside.options.paths, Args{u"all"});
    EXPECT_EQ(o.filter.namePatterns, Args{u"zone.*"});
    EXPECT_EQ(o.filter.minimumSize, 65536u);
    EXPECT_EQ(o.paths, Args{u"a"});
    EXPECT_EQ(parseArguments({u"--", u"-q"}).options.paths, Args{u"-q"});  // no option after "--"
    EXPECT_TRUE(parseArguments({u"--bogus", u"-h"}).options.help);         // help wins over errors
    EXPECT_TRUE(parseArguments({u"-V"}).options.version);
}

TEST(CliOptions, UsageErrorsNameTheFirstProblem) {
    const std::pair<Args, std::u16string> cases[] = {
        {{u"-q"}, u"no PATH to scan (or --demo for a sample tree)"},
        {{u"-qx", u"a"}, u"unknown option '-x'"},
        {{u"--\x1b[2J", u"a"}, u"unknown option '--<U+001B>[2J'"},
        {{u"--quiet=yes", u"a"}, u"option '--quiet' takes no value"},
        {{u"--follow-links=some", u"a"}, u"option '--follow-links' takes only '=all', not 'some'"},
        {{u"--hash", u"a"},
         u"--hash adds digests to --json rows and the body file: add --json or --bodyfile"},
        {{u"--hash=sha256,crc32", u"--json", u"a"},
         u"option '--hash' takes sha256, sha1 and md5, not 'sha256,crc32'"},
        {{u"a", u"--min-size", u"1.5M"},
         u"option '--min-size' needs a SIZE such as 4096, 64K or 1M, not '1.5M'"},
        {{u"a", u"--remove="}, u"option '--remove' needs a NAME that is not empty"},
        {{u"a", u"--csv", u"x", u"--csv=y"}, u"option '--csv' was given twice"},
        {{u"--demo", u"a"}, u"--demo scans a sample tree of its own and takes no PATH"},
        {{u"--deleted", u"a"}, u"--deleted lists deleted items of disk images: add --image"},
        {{u"--image", u"--partition=0", u"a"},
         u"option '--partition' needs a partition number from 1 to 9999, not '0'"},
        {{u"--image", u"--hash-images", u"a"},
         u"--hash-images records the hashes in the manifest: add --extract"},
        {{u"--hash-images", u"--extract", u"d", u"a"},
         u"--hash-images hashes disk images: add --image"},
        {{u"--image", u"--remove", u"x", u"a"},
         u"--remove cannot be used with --image: images are evidence and are never written"},
    };
    for (const auto& [args, error] : cases) {
        EXPECT_EQ(parseArguments(args).error, error);
    }
    EXPECT_EQ(usageErrorText(u"unknown option '--x'"),
              u"tessalin-scan: unknown option '--x'\n"
              u"Try 'tessalin-scan --help' for more information.\n");
}

// --help, the manual page and the bash completion are made from one table; each
// must name every option, and --help exactly the exit values the program uses.
TEST(CliOptions, HelpManualAndCompletionNameEveryOptionAndEveryExitValue) {
    const std::string help = streamscan::utf8ForDisplay(helpText());
    const std::string page = manualPage();
    const std::string completion = bashCompletion();
    for (const OptionSpec& spec : optionTable()) {
        const std::string name = streamscan::utf8ForDisplay(std::u16string(spec.longName));
        std::string inPage;
        for (const char c : name)
            inPage += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(help.find((spec.shortName != 0 ? ", " : "  ") + name), std::string::npos) << name;
        EXPECT_NE(page.find("\\fB" + inPage + "\\fR"), std::string::npos) << name;
        EXPECT_NE(completion.find(" " + name + " "), std::string::npos) << name;
        if (spec.shortName != 0) {
            const std::string letter(1, static_cast<char>(spec.shortName));
            EXPECT_NE(help.find("  -" + letter + ", " + name), std::string::npos) << name;
            EXPECT_NE(completion.find(" -" + letter + " "), std::string::npos) << name;
        }
    }
    // The values at the start of the lines after "Exit status".
    std::set<int> named;
    for (std::size_t at = help.find("\n", help.find("Exit status")); at != std::string::npos;
         at = help.find('\n', at + 1)) {
        if (at + 3 < help.size() && help.compare(at + 1, 2, "  ") == 0 &&
            std::isdigit(static_cast<unsigned char>(help[at + 3]))) {
            named.insert(std::stoi(help.substr(at + 3)));
        }
    }
    const std::set<int> used{0,          kExitFlagged,  kExitNotExamined, kExitRemovalFailed,
                             kExitUsage, kExitInternal, kExitInterrupted};
    EXPECT_EQ(named, used);
    for (const int value : used)
        EXPECT_NE(page.find(".B " + std::to_string(value) + "\n"), std::string::npos) << value;
}

TEST(RowFilter, WildcardsMatchWholeNamesFoldingOnlyAsciiLetters) {
    const std::tuple<std::u16string, std::u16string, bool> cases[] = {
        {u"zone.identifier", u"Zone.Identifier", true},
        {u"*.exe", u"payload.exe.txt", false},
        {u"*", u"", true},
        {u"a*b*c", u"aXbYbZ", false},
        {u"??", u"ab", true},
        {u"\u00E9t\u00E9", u"\u00C9T\u00C9", false},
    };
    for (const auto& [pattern, name, matches] : cases) {
        EXPECT_EQ(wildcardMatches(pattern, name), matches)
            << std::string(pattern.begin(), pattern.end()) << " / "
            << std::string(name.begin(), name.end());
    }
}

TEST(RowFilter, SizesTakeBinarySuffixesAndRefuseWhatIsNotASize) {
    const std::pair<std::u16string, std::optional<std::uint64_t>> cases[] = {
        {u"64k", 65536},
        {u"1M", 1048576},
        {u"18446744073709551615", 18446744073709551615ull},
        {u"18446744073709551616", std::nullopt},
        {u"17179869184G", std::nullopt},
        {u"-1", std::nullopt},
        {u"1KB", std::nullopt},
    };
    for (const auto& [text, size] : cases) {
        EXPECT_EQ(parseSizeArgument(text), size) << std::string(text.begin(), text.end());
    }
}

TEST(RowFilter, EveryFilterMustAgreeAndItemRowsPassOnlyWithoutFilters) {
    const streamscan::StreamRecord stream{
        .streamName = u"payload.exe", .streamSize = 100, .severity = 1};
    const streamscan::StreamRecord plain{.streamName = u"s", .streamSize = 100};
    const streamscan::StreamRecord item{.hostName = u"plain.txt"};
    const struct {
        RowFilter filter;
        bool streamPasses, plainPasses, itemPasses;
    } cases[] = {
        {{}, true, true, true},
        {{{u"*.txt", u"*.exe"}, 0, false}, true, false, false},
        {{{}, 100, false}, true, true, false},
        {{{}, 101, false}, false, false, false},
        {{{}, 0, true}, true, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.filter.passes(stream), c.streamPasses);
        EXPECT_EQ(c.filter.passes(plain), c.plainPasses);
        EXPECT_EQ(c.filter.passes(item), c.itemPasses);
    }
}

}  // namespace
}  // namespace tessalin::cli
