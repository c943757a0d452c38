#include "cli/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessalin::cli {
namespace {

using Args = std::vector<std::u16string>;

TEST(CliOptions, EachOptionReachesTheScanOrTheRun) {
    const ParseResult parsed = parseArguments(
        {u"--no-subfolders", u"--no-folder-streams", u"--all-items", u"--csv", u"out.csv",
         u"--remove=Zone.Identifier", u"-qy", u"--name", u"*.exe", u"--name=zone.*", u"--min-size",
         u"64K", u"--flagged", u"--json", u"--hash", u"--extract", u"copies", u"a", u"b"});
    ASSERT_EQ(parsed.error, u"");
    const CliOptions& o = parsed.options;
    EXPECT_FALSE(o.scan.includeSubfolders);
    EXPECT_FALSE(o.scan.includeFolders);
    EXPECT_TRUE(o.scan.showItemsWithoutStreams);
    EXPECT_FALSE(o.scan.followLinks);
    EXPECT_EQ(o.scan.largeStreamThreshold, streamscan::kDefaultLargeStreamThreshold);
    EXPECT_EQ(o.csvPath.value_or(u""), u"out.csv");
    EXPECT_EQ(o.removeName.value_or(u""), u"Zone.Identifier");
    EXPECT_TRUE(o.quiet);
    EXPECT_TRUE(o.yes);
    EXPECT_EQ(o.filter.namePatterns, (Args{u"*.exe", u"zone.*"}));
    EXPECT_EQ(o.filter.minimumSize, 65536u);
    EXPECT_TRUE(o.filter.flaggedOnly);
    EXPECT_TRUE(o.json);
    EXPECT_TRUE(o.hash);
    EXPECT_EQ(o.extractDir.value_or(u""), u"copies");
    EXPECT_EQ(o.paths, (Args{u"a", u"b"}));
    EXPECT_FALSE(o.image);

    const CliOptions images =
        parseArguments({u"--image", u"--partition=2", u"--deleted", u"d.E01"}).options;
    EXPECT_TRUE(images.image);
    EXPECT_EQ(images.partition.value_or(0), 2u);
    EXPECT_TRUE(images.deleted);
}

TEST(CliOptions, PathsThatLookLikeOptionsPassAfterDoubleDashOrAlone) {
    const ParseResult parsed = parseArguments({u"-", u"--", u"--all-items", u"-q"});
    ASSERT_EQ(parsed.error, u"");
    EXPECT_EQ(parsed.options.paths, (Args{u"-", u"--all-items", u"-q"}));
    EXPECT_FALSE(parsed.options.quiet);
    EXPECT_FALSE(parsed.options.scan.showItemsWithoutStreams);
}

TEST(CliOptions, UsageErrorsNameTheProblem) {
    struct Case {
        Args args;
        std::u16string error;
    };
    const Case cases[] = {
        {{}, u"no PATH to scan (or --demo for a sample tree)"},
        {{u"-q"}, u"no PATH to scan (or --demo for a sample tree)"},
        {{u"--bogus", u"a"}, u"unknown option '--bogus'"},
        {{u"-qx", u"a"}, u"unknown option '-x'"},
        {{u"--csvfile", u"a"}, u"unknown option '--csvfile'"},
        {{u"--quiet=yes", u"a"}, u"option '--quiet' takes no value"},
        {{u"--hash", u"a"}, u"--hash adds the SHA-256 to --json rows: add --json"},
        {{u"a", u"--min-size", u"1.5M"},
         u"option '--min-size' needs a SIZE such as 4096, 64K or 1M, not '1.5M'"},
        {{u"a", u"--csv"}, u"option '--csv' needs a FILE"},
        {{u"a", u"--remove"}, u"option '--remove' needs a NAME"},
        {{u"a", u"--remove="}, u"option '--remove' needs a NAME that is not empty"},
        {{u"a", u"--csv", u"x", u"--csv=y"}, u"option '--csv' was given twice"},
        {{u"--demo", u"a"}, u"--demo scans a sample tree of its own and takes no PATH"},
        {{u"--image"}, u"--image needs an IMAGE to scan"},
        {{u"--image", u"--demo"}, u"--demo scans a sample tree of its own and reads no image"},
        {{u"--deleted", u"a"}, u"--deleted lists deleted items of disk images: add --image"},
        {{u"--partition", u"1", u"a"},
         u"--partition chooses a partition of a disk image: add --image"},
        {{u"--image", u"--partition", u"0", u"a"},
         u"option '--partition' needs a partition number from 1 to 9999, not '0'"},
        {{u"--image", u"--partition=1x", u"a"},
         u"option '--partition' needs a partition number from 1 to 9999, not '1x'"},
        {{u"--image", u"--partition=1", u"--partition=2", u"a"},
         u"option '--partition' was given twice"},
        {{u"--image", u"--remove", u"x", u"a"},
         u"--remove cannot be used with --image: images are evidence and are never written"},
        // A hostile option is shown escaped, never raw on the terminal.
        {{u"--\x1b[2J", u"a"}, u"unknown option '--<U+001B>[2J'"},
        // The first problem is the one reported.
        {{u"--one", u"--two"}, u"unknown option '--one'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseArguments(c.args).error, c.error);
    }
}

TEST(CliOptions, HelpAndVersionWinOverUsageErrors) {
    EXPECT_EQ(parseArguments({u"--bogus", u"-h"}).error, u"");
    EXPECT_TRUE(parseArguments({u"--bogus", u"-h"}).options.help);
    EXPECT_TRUE(parseArguments({u"--version"}).options.version);
    EXPECT_TRUE(parseArguments({u"-V"}).options.version);
}

TEST(CliOptions, RemovalWithoutAnswerIsAUsageErrorOnlyWithoutTerminalOrYes) {
    CliOptions options = parseArguments({u"--remove", u"x", u"a"}).options;
    EXPECT_NE(removalAnswerError(options, false), u"");
    EXPECT_EQ(removalAnswerError(options, true), u"");
    options.yes = true;
    EXPECT_EQ(removalAnswerError(options, false), u"");
    EXPECT_EQ(removalAnswerError(parseArguments({u"a"}).options, false), u"");
}

TEST(CliOptions, UsageErrorIsOneReasonLineAndAPointerToHelp) {
    EXPECT_EQ(usageErrorText(u"unknown option '--x'"),
              u"tessalin-scan: unknown option '--x'\n"
              u"Try 'tessalin-scan --help' for more information.\n");
}

TEST(CliOptions, HelpDocumentsEveryOptionOfTheTableAndEveryExitStatus) {
    const std::u16string help = helpText();
    for (const OptionSpec& spec : optionTable()) {
        std::u16string usage(spec.longName);
        if (!spec.valueName.empty())
            usage += u" " + std::u16string(spec.valueName);
        if (spec.shortName != 0)
            usage = u"-" + std::u16string(1, spec.shortName) + u", " + usage;
        const std::size_t at = help.find(u"\n  " + usage + u" ");
        ASSERT_NE(at, std::u16string::npos) << std::string(usage.begin(), usage.end());
        // Its first help line follows on the same line or the next.
        EXPECT_NE(help.find(spec.help.substr(0, spec.help.find(u'\n')), at), std::u16string::npos);
    }
    for (const char16_t* word : {u"NO_COLOR", u"IMAGE//pN", u"\n  64 ", u"\n  70 ", u"\n  130 ",
                                 u"\n  4 ", u"\n  2 ", u"\n  1 "}) {
        EXPECT_NE(help.find(word), std::u16string::npos) << std::string(word, word + 3);
    }
    EXPECT_EQ(versionText(), u"tessalin-scan 1.0.0\n");
}

}  // namespace
}  // namespace tessalin::cli
