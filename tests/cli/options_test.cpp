#include "cli/options.h"

#include <gtest/gtest.h>

namespace tessalin::cli {
namespace {

using Args = std::vector<std::u16string>;

TEST(CliOptions, EachOptionReachesTheScanOrTheRun) {
    const ParseResult parsed = parseArguments(
        {u"--no-subfolders", u"--no-folder-streams", u"--all-items", u"--csv", u"out.csv",
         u"--remove=Zone.Identifier", u"-qy", u"--name", u"*.exe", u"--name=zone.*", u"--min-size",
         u"64K", u"--flagged", u"--json", u"--hash", u"--extract", u"copies", u"a"});
    ASSERT_EQ(parsed.error, u"");
    const CliOptions& o = parsed.options;
    EXPECT_FALSE(o.scan.includeSubfolders);
    EXPECT_FALSE(o.scan.includeFolders);
    EXPECT_TRUE(o.scan.showItemsWithoutStreams);
    EXPECT_EQ(o.csvPath, u"out.csv");
    EXPECT_EQ(o.removeName, u"Zone.Identifier");
    EXPECT_TRUE(o.quiet && o.yes && o.json && o.hash && o.filter.flaggedOnly);
    EXPECT_EQ(o.filter.namePatterns, (Args{u"*.exe", u"zone.*"}));
    EXPECT_EQ(o.filter.minimumSize, 65536u);
    EXPECT_EQ(o.extractDir, u"copies");
    EXPECT_EQ(o.paths, Args{u"a"});
    EXPECT_FALSE(o.image);

    const CliOptions image =
        parseArguments({u"--image", u"--partition=2", u"--deleted", u"-", u"--", u"-q"}).options;
    EXPECT_TRUE(image.image && image.deleted);
    EXPECT_EQ(image.partition, 2u);
    EXPECT_EQ(image.paths, (Args{u"-", u"-q"}));  // after "--" nothing is an option
    EXPECT_FALSE(image.quiet);
    EXPECT_TRUE(parseArguments({u"--bogus", u"-h"}).options.help);  // help wins over errors
    EXPECT_TRUE(parseArguments({u"-V"}).options.version);
}

TEST(CliOptions, UsageErrorsNameTheFirstProblem) {
    const std::pair<Args, std::u16string> cases[] = {
        {{u"-q"}, u"no PATH to scan (or --demo for a sample tree)"},
        {{u"-qx", u"a"}, u"unknown option '-x'"},
        {{u"--\x1b[2J", u"a"}, u"unknown option '--<U+001B>[2J'"},
        {{u"--quiet=yes", u"a"}, u"option '--quiet' takes no value"},
        {{u"--hash", u"a"}, u"--hash adds the SHA-256 to --json rows: add --json"},
        {{u"a", u"--min-size", u"1.5M"},
         u"option '--min-size' needs a SIZE such as 4096, 64K or 1M, not '1.5M'"},
        {{u"a", u"--remove="}, u"option '--remove' needs a NAME that is not empty"},
        {{u"a", u"--csv", u"x", u"--csv=y"}, u"option '--csv' was given twice"},
        {{u"--demo", u"a"}, u"--demo scans a sample tree of its own and takes no PATH"},
        {{u"--image"}, u"--image needs an IMAGE to scan"},
        {{u"--deleted", u"a"}, u"--deleted lists deleted items of disk images: add --image"},
        {{u"--partition", u"1", u"a"},
         u"--partition chooses a partition of a disk image: add --image"},
        {{u"--image", u"--partition=0", u"a"},
         u"option '--partition' needs a partition number from 1 to 9999, not '0'"},
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

TEST(CliOptions, RemovalWithoutAnswerIsAUsageErrorOnlyWithoutTerminalOrYes) {
    CliOptions options = parseArguments({u"--remove", u"x", u"a"}).options;
    EXPECT_NE(removalAnswerError(options, false), u"");
    EXPECT_EQ(removalAnswerError(options, true), u"");
    options.yes = true;
    EXPECT_EQ(removalAnswerError(options, false), u"");
    EXPECT_EQ(removalAnswerError(parseArguments({u"a"}).options, false), u"");
}

TEST(CliOptions, HelpDocumentsEveryOptionOfTheTableAndEveryExitStatus) {
    const std::u16string help = helpText();
    for (const OptionSpec& spec : optionTable()) {
        // Appended piece by piece: g++ 12 warns falsely about `literal + string`.
        std::u16string usage(spec.longName);
        if (!spec.valueName.empty())
            usage.append(u" ").append(spec.valueName);
        if (spec.shortName != 0)
            usage.insert(0, {u'-', spec.shortName, u',', u' '});
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
